#include "engine/WMLBrowser.h"

#include "base/Ascii.h"
#include "base/Event.h"
#include "base/PollEventLoop.h"
#include "engine/CardImageLoader.h"
#include "engine/FileIO.h"
#include "engine/Maker.h"
#include "engine/Wmlc.h"
#include "script/CallAddress.h"
#include "wml/Charset.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace pivrel::engine {

using base::Fire;

namespace {

    constexpr std::string_view kBodyFileSuffix = ".$$$";
    // A body file this old that no fetch holds was left by a run that was killed.
    constexpr int kStaleBodyFileSeconds = 60;
    // A deck larger than the client accepts over the network is not read from disk either.
    constexpr std::size_t kMaxDocumentBytes = static_cast<std::size_t>(net::THttpCli::kDefaultMaxBodySize);

    std::string CutFragment(const std::string& url)
    {
        return url.substr(0, url.find('#'));
    }

    std::string FragmentOf(const std::string& url)
    {
        std::size_t hash = url.find('#');
        return hash == std::string::npos ? std::string() : url.substr(hash);
    }

    constexpr const char* kLocalFileRefused = "A page from the network may not open local files";

    bool IsNetworkAddress(std::string_view url)
    {
        return base::StartsWithIgnoringCase(url, "http:") || base::StartsWithIgnoringCase(url, "https:");
    }

    // Scheme, "://" and authority of an absolute address ("http://host:port"), or empty.
    std::string Origin(const std::string& address)
    {
        std::size_t mark = address.find("://");
        if (mark == std::string::npos)
            return {};
        return address.substr(0, address.find('/', mark + 3));
    }

    const char* StateText(net::THttpState state)
    {
        switch (state) {
        case net::httpReady:
            return "Ready";
        case net::httpNotConnected:
            return "Not Connected";
        case net::httpConnected:
            return "Connected";
        case net::httpDnsLookup:
            return "DNS Lookup";
        case net::httpDnsLookupDone:
            return "DNS Lookup Complete";
        case net::httpWaitingHeader:
            return "Waiting for Header";
        case net::httpWaitingBody:
            return "Waiting for Body";
        case net::httpAborting:
            return "Aborting";
        }
        return "";
    }

    // Sets a flag for the length of a scope, and clears it however the scope is left.
    class TFlagScope
    {
    public:
        explicit TFlagScope(bool& flag)
            : m_flag(flag)
        {
            m_flag = true;
        }

        ~TFlagScope() { m_flag = false; }

        TFlagScope(const TFlagScope&) = delete;
        TFlagScope& operator=(const TFlagScope&) = delete;

    private:
        bool& m_flag;
    };

    // Reports the first navigation to start and the last to end, however they nest.
    class TBusyScope
    {
    public:
        TBusyScope(int& depth, const std::function<void(bool)>& onBusy)
            : m_depth(depth)
            , m_onBusy(onBusy)
        {
            if (m_depth++ == 0)
                Fire(m_onBusy, true);
        }

        ~TBusyScope()
        {
            if (--m_depth == 0)
                Fire(m_onBusy, false);
        }

        TBusyScope(const TBusyScope&) = delete;
        TBusyScope& operator=(const TBusyScope&) = delete;

    private:
        int& m_depth;
        const std::function<void(bool)>& m_onBusy;
    };

} // namespace

namespace {

    // The 1-based number of the first line holding marker (ASCII case ignored), or 0.
    std::size_t LineOf(const base::TStringList& lines, std::string_view marker)
    {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            for (std::size_t at = 0; at + marker.size() <= line.size(); ++at) {
                if (base::StartsWithIgnoringCase(line.substr(at), marker))
                    return i + 1;
            }
        }
        return 0;
    }

} // namespace

std::string DeckProblem(const base::TStringList& lines)
{
    const std::size_t wml = LineOf(lines, "<wml");
    if (wml == 0)
        return "no <wml> element found";
    const std::string where = " (the deck opens at line " + std::to_string(wml) + ")";
    if (LineOf(lines, "</wml>") == 0)
        return "missing </wml>" + where;
    const std::size_t card = LineOf(lines, "<card");
    if (card == 0)
        return "no card found" + where;
    if (LineOf(lines, "</card>") == 0)
        return "missing </card> (the first card opens at line " + std::to_string(card) + ")";
    return "the deck could not be read" + where;
}

std::string ContentTypeCharset(std::string_view contentType)
{
    constexpr std::string_view kBlanks = " \t";
    std::size_t semicolon = contentType.find(';');
    while (semicolon != std::string_view::npos) {
        contentType.remove_prefix(semicolon + 1);
        semicolon = contentType.find(';');
        std::string_view parameter = contentType.substr(0, semicolon);
        parameter.remove_prefix(std::min(parameter.find_first_not_of(kBlanks), parameter.size()));
        if (!base::StartsWithIgnoringCase(parameter, "charset="))
            continue;
        parameter.remove_prefix(8);
        parameter = parameter.substr(0, parameter.find_last_not_of(kBlanks) + 1);
        if (parameter.size() >= 2 && parameter.front() == '"' && parameter.back() == '"')
            parameter = parameter.substr(1, parameter.size() - 2);
        return std::string(parameter);
    }
    return {};
}

TWMLBrowser::TWMLBrowser()
    : m_ownedLoop(std::make_unique<base::TPollEventLoop>())
    , m_loop(*m_ownedLoop)
    , HttpCli(m_loop)
{
    Construct();
}

TWMLBrowser::TWMLBrowser(base::TEventLoop& loop)
    : m_loop(loop)
    , HttpCli(m_loop)
{
    Construct();
}

TWMLBrowser::~TWMLBrowser()
{
    // The deck must not reach the loader while it goes, nor the client the engine.
    WMLDeck.ImageLoader = nullptr;
    HttpCli.OnStateChange = nullptr;
    m_cardTimer.reset();
}

void TWMLBrowser::Construct()
{
    HttpCli.SetProxy("");
    HttpCli.SetProxyPort("80");
    HttpCli.SetLocation("");
    HttpCli.SetURL("");
    HttpCli.OnRequestDone = [](net::THttpCli&, net::THttpRequest, std::uint16_t) {};
    HttpCli.OnStateChange = [this](net::THttpCli& sender) { StateChanged(sender); };
    WMLDeck.OnParsing = [this](wml::TWMLDeck&) { Fire(OnParsing, *this); };
    WMLDeck.OnParseComplete = [this](wml::TWMLDeck&) {
        CardEntered();
        Fire(OnParseComplete, *this);
    };
    WMLDeck.OnParseError = [this](wml::TWMLDeck&) {
        FailureReason = DeckProblem(WMLDeck.Parser.WMLLines);
        Fire(OnParseError, *this);
    };
    HttpCli.OnDocData = [this](net::THttpCli& sender, const char*, int) {
        Fire(OnProgress, sender.URL(), sender.ReceivedCount(), sender.ContentLength());
    };
    WMLDeck.OnCardTimer = [this](const std::string& url) { CardTimerNavigate(url); };
    WMLDeck.OnCardTimerTask = [this](const wml::TWMLTask& task) {
        // Run from the loop, never inside the card's own TimerExpired: loading the next deck frees
        // the card whose timer asked for it.
        m_loop.Post([alive = m_alive.Ref(), this, task] {
            if (!alive.Expired())
                RunTask(task);
        });
    };
    m_fixedMeasurer = std::make_unique<base::TFixedFontMeasurer>();
    m_measurer = m_fixedMeasurer.get();
    m_imageLoader = std::make_unique<TBrowserImageLoader>(*this);
    WMLDeck.ImageLoader = m_imageLoader.get();
    WMLDeck.BuildOnDemand = true;
    UseCookieJar(HttpCli);
}

void TWMLBrowser::UseCookieJar(net::THttpCli& client)
{
    // The address is taken as each request starts: a redirection's Location may come before its
    // Set-Cookie lines, and the cookies belong to the address that answered.
    auto address = std::make_shared<std::string>();
    client.OnRequestHeaderBegin = [this, address](net::THttpCli& sender) {
        *address = sender.Location();
        sender.SetCookie(CookiesEnabled ? CookieJar.CookieHeader(*address) : std::string());
    };
    client.OnCookie = [this, address](net::THttpCli&, const std::string& value, bool&) {
        if (CookiesEnabled)
            CookieJar.SetCookie(*address, value);
    };
}

int TWMLBrowser::ProxyPort() const
{
    const std::string& text = HttpCli.ProxyPort();
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

void TWMLBrowser::SetProxyPort(int value)
{
    HttpCli.SetProxyPort(std::to_string(value));
}

void TWMLBrowser::SetTextMeasurer(const base::TTextMeasurer* measurer)
{
    m_measurer = measurer != nullptr ? measurer : m_fixedMeasurer.get();
}

bool TWMLBrowser::Navigate(const std::string& url, bool addToHistory, bool fresh, bool post)
{
    return StartNavigation(TLinkOrigin::User, url, addToHistory, fresh, post);
}

bool TWMLBrowser::FollowLink(const std::string& url, bool addToHistory, bool post)
{
    return StartNavigation(TLinkOrigin::Deck, url, addToHistory, false, post);
}

bool TWMLBrowser::StartNavigation(
    TLinkOrigin origin, const std::string& url, bool addToHistory, bool fresh, bool post)
{
    if (!m_inEventTask)
        m_eventChain = 0;
    m_enterDirection = TEnterDirection::Forward;
    return NavigateFrom(origin, url, addToHistory, fresh, post, false);
}

bool TWMLBrowser::NavigateTask(
    const std::string& url, bool addToHistory, bool post, const wml::TWMLPostFields& fields)
{
    if (m_parsing) {
        Defer([this, url, addToHistory, post, fields] { NavigateTask(url, addToHistory, post, fields); });
        return true;
    }
    m_taskFields = fields;
    FollowLink(url, addToHistory, post);
    m_taskFields.clear();
    return true;
}

void TWMLBrowser::RunTask(const wml::TWMLTask& task)
{
    switch (task.Kind) {
    case wml::TWMLTaskKind::Go:
        ApplySetVars(task.SetVarNames, task.SetVarValues);
        NavigateTask(task.Href, true, task.Post, task.PostFields);
        break;
    case wml::TWMLTaskKind::Prev:
        ApplySetVars(task.SetVarNames, task.SetVarValues);
        Back();
        break;
    case wml::TWMLTaskKind::Refresh:
        ApplySetVars(task.SetVarNames, task.SetVarValues);
        ShowCardAgain();
        break;
    case wml::TWMLTaskKind::None:
    case wml::TWMLTaskKind::Noop:
        break;
    }
}

void TWMLBrowser::ShowCardAgain()
{
    if (m_parsing || WMLDeck.CardList.empty())
        return;
    m_enterDirection = TEnterDirection::Refresh;
    CardEntered();
    m_enterDirection = TEnterDirection::Forward;
    Fire(OnParseComplete, *this);
}

wml::TWMLCard* TWMLBrowser::Card(std::size_t index)
{
    if (m_parsing || index >= WMLDeck.CardList.size() || WMLDeck.CardList[index].Card)
        return WMLDeck.Card(index);
    // Fetching the card's pictures runs the loop: a navigation asked for meanwhile waits, as it
    // does while a deck is parsed.
    wml::TWMLCard* card = nullptr;
    m_imageLoader->Resume();
    {
        TFlagScope parsing(m_parsing);
        card = WMLDeck.Card(index);
    }
    PostDeferred();
    return card;
}

void TWMLBrowser::CardEntered()
{
    const wml::TWMLCard* shown = Card(std::size_t(WMLDeck.CardIndexForURL(m_currentURL)));
    if (shown == nullptr)
        return;
    const wml::TWMLCard& card = *shown;
    const TEnterDirection direction = m_enterDirection;
    if (card.NewContext && direction != TEnterDirection::Refresh)
        m_context.clear();
    ApplyContextToDeck();
    SeedContext(card);
    if (direction == TEnterDirection::Forward)
        RunEnterTask(card.OnEnterForward);
    else if (direction == TEnterDirection::Backward)
        RunEnterTask(card.OnEnterBackward);
}

void TWMLBrowser::RunEnterTask(const wml::TWMLTask& task)
{
    // A refresh only assigns before the card shows; a go or prev leaves the card once it shows.
    if (task.Kind == wml::TWMLTaskKind::Refresh)
        ApplySetVars(task.SetVarNames, task.SetVarValues);
    else if (task.Kind == wml::TWMLTaskKind::Go || task.Kind == wml::TWMLTaskKind::Prev)
        PostTask(task);
}

void TWMLBrowser::PostTask(const wml::TWMLTask& task)
{
    constexpr int kLongestEventChain = 16;
    m_loop.Post([alive = m_alive.Ref(), this, task] {
        if (alive.Expired() || ++m_eventChain > kLongestEventChain)
            return;
        const bool outer = m_inEventTask;
        m_inEventTask = true;
        RunTask(task);
        m_inEventTask = outer;
    });
}

bool TWMLBrowser::DoNavigate(const std::string& url, bool addToHistory, bool fresh, bool post, bool clearDeck)
{
    return NavigateFrom(TLinkOrigin::User, url, addToHistory, fresh, post, clearDeck);
}

bool TWMLBrowser::NavigateFrom(
    TLinkOrigin origin, const std::string& url, bool addToHistory, bool fresh, bool post, bool clearDeck)
{
    if (OnScriptCall && script::ParseCallAddress(url)) {
        // A relative address from a network deck stays on the network, so only an absolute
        // file: address can reach the disk.
        if (origin == TLinkOrigin::Deck && IsNetworkAddress(m_currentURL)
            && base::StartsWithIgnoringCase(url, "file:")) {
            StatusCode = net::THttpCli::kLocalFailureStatus;
            FailureReason = kLocalFileRefused;
            Fire(OnConnectFailed, *this);
            return true;
        }
        OnScriptCall(url);
        return true;
    }
    if (m_parsing) {
        // The pictures the parse still waits for are not worth the wait any more.
        m_imageLoader->Abort();
        Defer([this, origin, url, addToHistory, fresh, post, clearDeck] {
            NavigateFrom(origin, url, addToHistory, fresh, post, clearDeck);
        });
        return true;
    }

    TBusyScope busy(m_busyDepth, OnBusy);
    ++m_navigationSerial;
    if (HttpCli.State() != net::httpReady) {
        HttpCli.Abort();
        m_loop.ProcessPending();
    }
    std::string target = ReplaceVariables(url, post);
    // The task's fields went with this navigation; none that runs while it waits takes them.
    m_taskFields.clear();
    URLParser.Clear();
    URLParser.Resolve(m_currentURL, fresh);
    target = URLParser.Resolve(target, fresh);
    if (origin == TLinkOrigin::Deck && IsNetworkAddress(m_currentURL)
        && base::StartsWithIgnoringCase(target, "file:")) {
        StatusCode = net::THttpCli::kLocalFailureStatus;
        FailureReason = kLocalFileRefused;
        Fire(OnConnectFailed, *this);
        return true;
    }
    const std::string oldDocument = CutFragment(m_currentURL);
    const std::string newDocument = CutFragment(target);
    if (addToHistory)
        History.Add(target);
    if (!m_currentURL.empty() && !target.empty() && !oldDocument.empty() && !newDocument.empty()
        && oldDocument == newDocument) {
        // Another card of the deck already loaded.
        m_currentURL = target;
        CardEntered();
        Fire(OnParseComplete, *this);
    } else {
        LoadTarget(target, post, clearDeck);
    }
    return true;
}

void TWMLBrowser::LoadTarget(const std::string& target, bool post, bool clearDeck)
{
    FailureReason.clear();
    if (target.compare(0, 5, "file:") == 0) {
        if (!LoadLocalFile(target))
            FailLoad(FailureReason);
        return;
    }
    // The deck on show stays until a new one replaces it, so that a failed load leaves its links
    // working; only its timer must not fire into the navigation.
    if (clearDeck)
        StopCardTimer();
    Fetch(target, post);
}

bool TWMLBrowser::Back()
{
    if (m_parsing) {
        Defer([this] { Back(); });
        return CanGoBack();
    }
    if (!History.Back())
        return false;
    m_enterDirection = TEnterDirection::Backward;
    DoNavigate(History.CurrentURL(), false, false, false, true);
    return true;
}

bool TWMLBrowser::Forward()
{
    if (m_parsing) {
        Defer([this] { Forward(); });
        return CanGoForward();
    }
    if (!History.Forward())
        return false;
    m_enterDirection = TEnterDirection::Forward;
    DoNavigate(History.CurrentURL(), false, false, false, true);
    return true;
}

bool TWMLBrowser::Stop()
{
    m_deferred = nullptr;
    Fire(OnStop, *this);
    m_imageLoader->Abort();
    HttpCli.Abort();
    return true;
}

bool TWMLBrowser::CheckForNewVersion()
{
    return Fetch("http://" + std::string(kMakerWebServer) + std::string(kUpgradePath), false);
}

bool TWMLBrowser::Fetch(const std::string& url, bool post)
{
    // A parse still uses the deck, and a busy client serves another request.
    if (m_parsing || HttpCli.State() != net::httpReady)
        return false;
    const std::uint64_t serial = ++m_navigationSerial;
    if (!m_staleFilesRemoved) {
        m_staleFilesRemoved = true;
        RemoveStaleBodyFiles(CacheDir, kBodyFileSuffix, kStaleBodyFileSeconds);
    }
    FailureReason.clear();
    // The body file comes first, so that a fetch that cannot have one ends before any event.
    TTempBodyFile bodyFile;
    std::string error;
    if (!bodyFile.Create(CacheDir, kBodyFileSuffix, error)) {
        FailLoad(std::string(kNoBodyFileReason) + CacheDir + ": " + error);
        return false;
    }
    m_lookupDone = false;
    m_connected = false;
    Fire(OnConnecting, *this);
    bool ok = RunRequest(url, post, bodyFile.Stream());
    // A navigation that started while the request ran took over: what is left is its own.
    if (serial != m_navigationSerial)
        return false;
    ok = bodyFile.Flush() && ok;
    StatusCode = HttpCli.StatusCode();
    ContentType = HttpCli.ContentType();
    Header = HttpCli.ResponseHeader();
    FailureReason = ok ? std::string() : HttpCli.ReasonPhrase();
    if (!ok) {
        FailureReason = HttpFailureReason();
        Fire(OnConnectFailed, *this);
        return false;
    }
    bool isOK = true;
    if (OnContentTypeCheck)
        OnContentTypeCheck(*this, HttpCli.URL(), ContentType, isOK);
    if (!isOK || serial != m_navigationSerial)
        return false;
    std::string bytes;
    if (!bodyFile.ReadAll(bytes, kMaxDocumentBytes))
        return false;
    // A compiled deck that does not decode leaves the page shown as it was.
    std::string charset = ContentTypeCharset(ContentType);
    if (IsWmlcContentType(ContentType) && !DecodeCompiledDeck(bytes, charset)) {
        Fire(OnConnectFailed, *this);
        return false;
    }
    m_currentURL = HttpCli.Location();
    if (!IsNetworkAddress(m_currentURL) && m_currentURL.substr(0, 5).find(':') == std::string::npos)
        m_currentURL = "http://" + m_currentURL;
    LoadDeck(std::move(bytes), charset);
    return true;
}

// Replaces a compiled deck by its text, which carries its own encoding; false with the reason
// set when the bytes are not one.
bool TWMLBrowser::DecodeCompiledDeck(std::string& bytes, std::string& charset)
{
    if (LooksLikeDeckText(bytes))
        return true;
    TWmlcResult decoded = DecodeWmlc(bytes, kMaxDocumentBytes);
    if (!decoded.Ok) {
        FailureReason = decoded.Reason;
        return false;
    }
    bytes = std::move(decoded.Text);
    charset.clear();
    return true;
}

// Runs the request for the address without its fragment, with the body going to doc, and puts
// the fragment back on the address finally fetched. False when the client raised, whatever it
// raised. The client keeps no stream of this fetch afterwards.
bool TWMLBrowser::RunRequest(const std::string& url, bool post, std::ostream& doc)
{
    HttpCli.SetAccept(Accept);
    HttpCli.SetAgent(Agent);
    const std::string requestAddress = CutFragment(url);
    HttpCli.SetURL(requestAddress);
    HttpCli.SetDocStream(&doc);
    m_sendBody.reset();
    if (post && SendStream)
        m_sendBody = std::make_unique<std::istringstream>(*SendStream);
    HttpCli.SetSendStream(m_sendBody.get());
    const bool ok = Request(post, requestAddress, FragmentOf(url));
    HttpCli.SetSendStream(nullptr);
    m_sendBody.reset();
    HttpCli.SetDocStream(nullptr);
    return ok;
}

bool TWMLBrowser::Request(bool post, const std::string& requestAddress, const std::string& fragment)
{
    try {
        if (post) {
            if (m_sendBody)
                m_sendBody->seekg(0);
            HttpCli.Post();
        } else {
            HttpCli.Get();
        }
        const std::string fetched = FinalAddress(requestAddress);
        HttpCli.SetURL(fetched);
        const std::string withFragment = fetched + fragment;
        HttpCli.SetLocation(withFragment);
        HttpCli.SetURL(withFragment);
        return true;
    } catch (...) {
        return false;
    }
}

// The client's Location resolved on its own; one that names only a path (no scheme, no host)
// is first made absolute against the address that was asked for.
std::string TWMLBrowser::FinalAddress(const std::string& requestAddress) const
{
    std::string location = HttpCli.Location();
    if (location.starts_with("/") && !location.starts_with("//"))
        location = Origin(requestAddress) + location;
    TURLParser parser;
    return parser.Resolve(location, true);
}

void TWMLBrowser::FailLoad(std::string reason)
{
    StatusCode = net::THttpCli::kLocalFailureStatus;
    FailureReason = std::move(reason);
    Fire(OnConnectFailed, *this);
}

// The client's own words for what went wrong, with the host a lookup or a connection failed on.
std::string TWMLBrowser::HttpFailureReason() const
{
    const int status = HttpCli.StatusCode();
    const std::string& phrase = HttpCli.ReasonPhrase();
    if (HttpCli.RequestDoneError() == 0 && status >= 400)
        return std::to_string(status) + " - " + (phrase.empty() ? "HTTP error" : phrase);
    if (HttpCli.RequestDoneError() == net::THttpCli::kErrAborted)
        return "stopped";
    if (HttpCli.RequestDoneError() >= 100 && !m_lookupDone)
        return "host name not found: " + HttpCli.ConnectHost();
    if (HttpCli.RequestDoneError() >= 100 && !m_connected)
        return "cannot connect to " + HttpCli.ConnectHost() + ":" + HttpCli.ConnectPort() + ": " + phrase;
    return phrase.empty() ? "the connection failed" : phrase;
}

bool TWMLBrowser::LoadLocalFile(const std::string& url)
{
    if (m_parsing)
        return false;
    FailureReason.clear();
    std::string path = CutFragment(url);
    if (base::StartsWithIgnoringCase(path, "file://"))
        path.erase(0, 7);
    std::string bytes;
    if (path.empty()) {
        FailureReason = "no file name in " + url;
        return false;
    }
    if (const base::TFileReadResult read = ReadRegularFile(path, bytes, kMaxDocumentBytes); !read) {
        FailureReason = "cannot read " + path + ": " + read.Reason();
        return false;
    }
    std::string charset;
    if (IsWmlcFileName(path) && !DecodeCompiledDeck(bytes, charset))
        return false;
    m_currentURL = url;
    LoadDeck(std::move(bytes), charset);
    return true;
}

void TWMLBrowser::SetBodyBytes(std::shared_ptr<const std::string> bytes)
{
    m_bodyBytes = bytes ? std::move(bytes) : std::make_shared<const std::string>();
}

void TWMLBrowser::LoadDeck(std::string bytes, std::string_view charset)
{
    // The old deck goes first, and the bytes are kept rather than copied: a large deck is then
    // held in memory as few times as possible while the new one is built.
    ClearDeck();
    SetBodyBytes(std::move(bytes));
    BodyCharset.assign(charset);
    {
        TFlagScope parsing(m_parsing);
        WMLDeck.ParseText(wml::DeckTextToUtf8(*m_bodyBytes, BodyCharset));
    }
    PostDeferred();
}

void TWMLBrowser::PostDeferred()
{
    if (!m_deferred)
        return;
    m_loop.Post([alive = m_alive.Ref()] {
        if (TWMLBrowser* self = alive.Lock())
            self->RunDeferred();
    });
}

void TWMLBrowser::ClearDeck()
{
    StopCardTimer();
    WMLDeck.Clear();
    // Pictures are shared within one deck only, and its budget starts afresh with the next.
    m_imageLoader->Reset();
}

void TWMLBrowser::Defer(std::function<void()> request)
{
    m_deferred = std::move(request);
}

void TWMLBrowser::RunDeferred()
{
    std::function<void()> request = std::move(m_deferred);
    m_deferred = nullptr;
    if (request)
        request();
}

void TWMLBrowser::StateChanged(net::THttpCli& sender)
{
    const net::THttpState state = sender.State();
    if (OnTrace)
        OnTrace(*this, StateText(state));
    switch (state) {
    case net::httpReady:
        Fire(OnDisconnect, *this);
        break;
    case net::httpDnsLookupDone:
        m_lookupDone = true;
        break;
    case net::httpConnected:
        m_connected = true;
        Fire(OnConnect, *this);
        break;
    case net::httpWaitingHeader:
    case net::httpWaitingBody:
        Fire(OnWaiting, *this);
        break;
    default:
        break;
    }
}

void TWMLBrowser::StartCardTimer(wml::TWMLCard& card)
{
    StopCardTimer();
    // As the card is shown, each timer element sets the interval and enables the timer.
    for (const auto& element : card.Elements) {
        if (const auto* timer = element.Object ? element.Object->AsIf<wml::TWMLTimer>() : nullptr) {
            card.Timer.Interval = timer->Time;
            card.Timer.Enabled = true;
        }
    }
    if (!card.Timer.Enabled)
        return;
    const wml::TWMLCard* target = &card;
    m_cardTimer = m_loop.StartTimer(
        std::max(card.Timer.Interval, 0), false, [this, target] { CardTimerFired(target); });
}

void TWMLBrowser::StopCardTimer()
{
    m_cardTimer.reset();
}

void TWMLBrowser::CardTimerFired(const wml::TWMLCard* card)
{
    // The card is looked up again: the deck may have been replaced since the timer started.
    for (auto& entry : WMLDeck.CardList) {
        if (entry.Card.get() == card) {
            entry.Card->TimerExpired();
            return;
        }
    }
}

void TWMLBrowser::CardTimerNavigate(const std::string& url)
{
    // The navigation runs from the loop, never inside the card's own TimerExpired: loading the
    // next deck frees the card whose timer asked for it.
    m_loop.Post([alive = m_alive.Ref(), target = url] {
        if (TWMLBrowser* self = alive.Lock())
            self->FollowLink(target, true, false);
    });
}

} // namespace pivrel::engine
