#pragma once

#include "base/EventLoop.h"
#include "base/StringList.h"
#include "base/TextMeasurer.h"
#include "base/WeakRef.h"
#include "engine/URLParser.h"
#include "engine/WMLHistory.h"
#include "net/CookieJar.h"
#include "net/HttpProt.h"
#include "wml/Entities.h"
#include "wml/WMLDeck.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace pivrel::base {
class TPollEventLoop;
} // namespace pivrel::base

namespace pivrel::engine {

class TWMLBrowser;
class TBrowserImageLoader;

using TWMLBrowserNotifyEvent = std::function<void(TWMLBrowser& sender)>;
using TWMLBrowserTraceEvent = std::function<void(TWMLBrowser& sender, const std::string& traceStr)>;
using TWMLBrowserCheckEvent = std::function<void(
    TWMLBrowser& sender, const std::string& url, const std::string& content, bool& isOK)>;

// How the card about to be shown is entered: its onenterforward or onenterbackward task runs, and a
// card with newcontext="true" clears the browser context, only when it is entered forward or
// backward; a refresh shows it again without either.
enum class TEnterDirection { Forward, Backward, Refresh };

// The browser engine: turns a navigation request into a loaded deck. It owns the history, the
// HTTP client, the deck and the URL parser, reports progress through its events, and hosts the
// variable operations over the deck's element records.
//
// Everything runs on the loop's thread. A fetch keeps the loop turning, so Stop and another
// navigation are handled while it waits; a navigation that arrives while a deck is being parsed
// (a picture fetch turns the loop too) waits until the parse is over.
class TWMLBrowser
{
    // Declared first so that the loop outlives every member that registers with it.
    std::unique_ptr<base::TPollEventLoop> m_ownedLoop;
    base::TEventLoop& m_loop;

public:
    // Runs on a poll() loop of its own.
    TWMLBrowser();
    explicit TWMLBrowser(base::TEventLoop& loop);
    ~TWMLBrowser();
    TWMLBrowser(const TWMLBrowser&) = delete;
    TWMLBrowser& operator=(const TWMLBrowser&) = delete;

    TWMLHistory History;
    net::THttpCli HttpCli;
    wml::TWMLDeck WMLDeck;
    TURLParser URLParser;

    // Content-Type of the last HTTP response, lower-cased.
    std::string ContentType;
    // Header lines of the last HTTP response.
    base::TStringList Header;

    // The last loaded document byte for byte, line ends and character set as they came. It is
    // shared, never copied, with whoever keeps it beside the page shown (the page source window).
    const std::string& BodyBytes() const { return *m_bodyBytes; }

    std::shared_ptr<const std::string> SharedBodyBytes() const { return m_bodyBytes; }

    void SetBodyBytes(std::string bytes)
    {
        m_bodyBytes = std::make_shared<const std::string>(std::move(bytes));
    }

    void SetBodyBytes(std::shared_ptr<const std::string> bytes);
    // Its character set as the response named it, empty for a local file.
    std::string BodyCharset;
    // A setting held for the shell; the engine itself does not read it.
    bool EnableWML10 = true;
    // The cookies of the run, sent with deck and picture requests and filled from their
    // responses while CookiesEnabled; the shell loads and saves the persistent ones.
    net::TCookieJar CookieJar;
    bool CookiesEnabled = true;
    // Directory of the temporary body files, without a trailing separator; created when missing.
    std::string CacheDir;
    // HTTP status of the last fetch, or 404 after a local file that could not be read.
    int StatusCode = 0;
    std::string Accept;
    std::string Agent;
    // Bytes the decoded pictures of one deck may take together; each picture counts once, however
    // many tags name it. Past that, a picture shows its alternative text.
    std::size_t PictureBudget = std::size_t(64) << 20;
    // The last failure in plain words ("host name not found: wap.example", "404 - Not Found",
    // "cannot read /home/me/deck.wml: No such file or directory"); set before OnConnectFailed and
    // OnParseError fire.
    std::string FailureReason;

    // The request body that ReplaceVariables hands over for a POST; empty optional while the deck
    // had no card to build one from.
    std::optional<std::string> SendStream;

    // The address of the document now loaded, with its card fragment. The shell empties it to
    // force a reload.
    const std::string& CurrentURL() const { return m_currentURL; }

    void SetCurrentURL(const std::string& value) { m_currentURL = value; }

    // The last loaded document as its bytes came, one entry per line. The lines are cut from
    // BodyBytes when asked for: a kept list would weigh twice the document.
    base::TStringList Body() const { return base::SplitLines(*m_bodyBytes); }

    // The proxy settings live in the HTTP client.
    const std::string& ProxyHost() const { return HttpCli.Proxy(); }

    void SetProxyHost(const std::string& value) { HttpCli.SetProxy(value); }

    // The client's port text as a number, 0 when it is not one.
    int ProxyPort() const;
    void SetProxyPort(int value);

    const std::string& ProxyUser() const { return HttpCli.ProxyUsername(); }

    void SetProxyUser(const std::string& value) { HttpCli.SetProxyUsername(value); }

    const std::string& ProxyPassword() const { return HttpCli.ProxyPassword(); }

    void SetProxyPassword(const std::string& value) { HttpCli.SetProxyPassword(value); }

    bool CanGoBack() const { return History.CanGoBack(); }

    bool CanGoForward() const { return History.CanGoForward(); }

    // Draws the alternative text of missing pictures; the engine's fixed-font measurer unless the
    // shell sets one (nullptr returns to it). Used, not owned.
    const base::TTextMeasurer& TextMeasurer() const { return *m_measurer; }

    void SetTextMeasurer(const base::TTextMeasurer* measurer);

    base::TEventLoop& Loop() { return m_loop; }

    // True while the deck is being parsed, or one of its cards built, pictures included.
    bool Parsing() const { return m_parsing; }

    // The deck's card at index, built first if it is not yet: the deck is cut into cards as it
    // loads, and a card's records are built, and its pictures fetched, when it is first entered or
    // asked for. Null past the last card.
    wml::TWMLCard* Card(std::size_t index);

    TWMLBrowserNotifyEvent OnConnecting;
    TWMLBrowserNotifyEvent OnConnect;
    TWMLBrowserNotifyEvent OnDisconnect;
    TWMLBrowserNotifyEvent OnWaiting;
    TWMLBrowserNotifyEvent OnConnectFailed;
    TWMLBrowserTraceEvent OnTrace;
    TWMLBrowserCheckEvent OnContentTypeCheck;
    TWMLBrowserNotifyEvent OnParsing;
    TWMLBrowserNotifyEvent OnParseComplete;
    TWMLBrowserNotifyEvent OnParseError;
    // The hour-glass: true when a navigation starts, false when the outermost one has ended.
    std::function<void(bool busy)> OnBusy;
    // An address that names a function of a script ("calc.wmls#add(1,2)") goes here instead of
    // being fetched as a deck; Stop is passed on to whatever runs it.
    std::function<void(const std::string& address)> OnScriptCall;
    TWMLBrowserNotifyEvent OnStop;
    // Bytes of a deck or a picture (address) received so far, of total (-1 when unknown).
    std::function<void(const std::string& address, std::int64_t received, std::int64_t total)> OnProgress;

    // The shell's entry point: DoNavigate without emptying the deck first. Always true.
    bool Navigate(const std::string& url, bool addToHistory, bool fresh, bool post);
    // Follows a go task: Navigate, sending the task's post fields, with their references
    // expanded, as the form-encoded POST body when post is true and as a query added to the
    // address otherwise. Always true.
    bool NavigateTask(
        const std::string& url, bool addToHistory, bool post, const wml::TWMLPostFields& fields);
    // Runs a task: a go applies its setvars and follows its address, a prev steps back, a refresh
    // applies its setvars and shows the card again, a noop does nothing.
    void RunTask(const wml::TWMLTask& task);
    // Shows the card on show again with the variables' current values, firing OnParseComplete.
    void ShowCardAgain();
    // Substitutes, resolves, records and loads the address. Always true.
    bool DoNavigate(const std::string& url, bool addToHistory, bool fresh, bool post, bool clearDeck);
    // A navigation the deck asked for (a link, a timer): as Navigate, except that a deck from
    // the network may not open a local file. Always true.
    bool FollowLink(const std::string& url, bool addToHistory, bool post);
    // Step through the history and load that address afresh; false when there is no such step.
    bool Back();
    bool Forward();
    // Aborts the running fetch, a running picture fetch included, and drops a navigation that
    // was waiting for a parse to end. Always true.
    bool Stop();
    // Fetches the maker's upgrade page as it is: no substitution, resolution or history.
    bool CheckForNewVersion();
    // Fetches the address over HTTP and, when that worked and the content type was accepted,
    // hands the body to the deck. True when a deck was loaded.
    bool Fetch(const std::string& url, bool post);
    // Loads a "file://" address from the local disk; false when that file cannot be read.
    bool LoadLocalFile(const std::string& url);
    // Lets the client send the jar's cookies with each of its requests, every step of a
    // redirection included, and keep what each response sets.
    void UseCookieJar(net::THttpCli& client);
    // The HTTP client's state changes, reported as trace texts and events.
    void StateChanged(net::THttpCli& sender);

    // Runs the card's timer on the loop, as showing the card does: a timer element sets the
    // interval and enables it. When it fires, card.TimerExpired() asks for the timer's navigation.
    // Starting a timer stops the previous one; a card that has left the deck by then is left alone.
    void StartCardTimer(wml::TWMLCard& card);
    void StopCardTimer();

    // Writes the deck's variables into the address; when post is true also builds the POST body
    // (application/x-www-form-urlencoded) into SendStream.
    std::string ReplaceVariables(std::string_view url, bool post);
    // The same for the task being followed: its fields go as the body or as the query.
    std::string ReplaceVariables(std::string_view url, bool post, const wml::TWMLPostFields& fields);
    // Replaces every reference to name in text by value, converted as each reference form asks:
    // $(name), $name, :escape and :e URL-escape the value freed of its entities; :unesc and :u
    // decode its %XX sequences; :N leaves it as it is.
    static std::string ReplaceVar(std::string_view text, std::string_view name, std::string_view value);
    // The variable's one current value: the browser context's, or, for a name the context does
    // not hold, that of its first holder in the deck; empty when neither has it.
    std::string GetVariable(std::string_view name) const;
    // Every variable the records of the deck's built cards name, in deck order, each with its
    // value as GetVariable reads it; one pass over the records, however many names.
    std::vector<std::pair<std::string, std::string>> DeckVariables() const;
    // Stores the value in the browser context and in every holder of the name in the deck.
    void SetVariable(std::string_view name, std::string_view value);
    void ApplySetVars(const wml::TWMLVariable& varObject);
    void ApplySetVars(const base::TStringList& names, const base::TStringList& values);
    // The text as shown: every variable reference expanded, "$$" made "$", entities decoded.
    std::string ExpandText(std::string_view text) const;
    // The fields as application/x-www-form-urlencoded pairs, their values' references expanded.
    std::string FormData(const wml::TWMLPostFields& fields) const;

    // The browser context: the variables that the user, setvar or the cards shown gave a value.
    // It outlives the deck, so the next deck, Back and Forward see the same values; entering a card
    // with newcontext="true" clears it.
    const std::map<std::string, std::string, std::less<>>& Context() const { return m_context; }

    void ClearContext() { m_context.clear(); }

    static std::string DecodeEntities(std::string_view text);

private:
    enum class TLinkOrigin { User, Deck };

    bool StartNavigation(
        TLinkOrigin origin, const std::string& url, bool addToHistory, bool fresh, bool post);
    bool NavigateFrom(
        TLinkOrigin origin, const std::string& url, bool addToHistory, bool fresh, bool post, bool clearDeck);
    void Construct();

    void LoadTarget(const std::string& target, bool post, bool clearDeck);
    bool RunRequest(const std::string& url, bool post, std::ostream& doc);
    bool Request(bool post, const std::string& requestAddress, const std::string& fragment);
    std::string FinalAddress(const std::string& requestAddress) const;
    std::string HttpFailureReason() const;
    void FailLoad(std::string reason);
    bool DecodeCompiledDeck(std::string& bytes, std::string& charset);
    void LoadDeck(std::string bytes, std::string_view charset);
    void ClearDeck();
    void Defer(std::function<void()> request);
    void RunDeferred();
    void CardTimerFired(const wml::TWMLCard* card);
    void CardTimerNavigate(const std::string& url);
    void CardEntered();
    // Runs the navigation deferred during a parse or a card's build once the loop is free.
    void PostDeferred();
    void ApplyContextToDeck();
    void SeedContext(const wml::TWMLCard& card);
    void RunEnterTask(const wml::TWMLTask& task);
    void PostTask(const wml::TWMLTask& task);
    bool IsKnownVariable(std::string_view name) const;

    std::string m_currentURL;
    std::map<std::string, std::string, std::less<>> m_context;
    // The post fields of the task being followed, for the one navigation it asks for.
    wml::TWMLPostFields m_taskFields;
    TEnterDirection m_enterDirection = TEnterDirection::Forward;
    // Tasks that entering cards ran one after another without the user: a chain of cards that
    // send each other on is cut off instead of turning for ever.
    int m_eventChain = 0;
    bool m_inEventTask = false;
    std::unique_ptr<base::TFixedFontMeasurer> m_fixedMeasurer;
    const base::TTextMeasurer* m_measurer = nullptr;
    std::shared_ptr<const std::string> m_bodyBytes = std::make_shared<const std::string>();
    std::unique_ptr<TBrowserImageLoader> m_imageLoader;
    // The POST body the client reads during one fetch.
    std::unique_ptr<std::istringstream> m_sendBody;
    std::unique_ptr<base::TEventHandle> m_cardTimer;
    // Counts navigations and fetches: a fetch that finds it changed when its request returns was
    // overtaken by a newer navigation and leaves everything to that one.
    std::uint64_t m_navigationSerial = 0;
    // Body files of killed runs are looked for once, before the first fetch.
    bool m_staleFilesRemoved = false;
    int m_busyDepth = 0;
    bool m_parsing = false;
    // How far the running request got, to tell a host that was not found from one that could
    // not be reached and from a connection that broke.
    bool m_lookupDone = false;
    bool m_connected = false;
    // The latest navigation asked for during a parse.
    std::function<void()> m_deferred;
    base::TWeakAnchor<TWMLBrowser> m_alive { *this };
};

// False for an empty name and for the names a list without name or iname stands under ("VarX",
// "VarIX"): what such a list holds is no variable the browser context keeps.
bool IsNamedVariable(std::string_view name);

// Every byte outside A-Z a-z 0-9 - _ . ~ as %XX with upper-case hex digits.
std::string UrlEscape(std::string_view value);
// Each %XX with two hex digits becomes its byte; anything else stays.
std::string UrlUnescape(std::string_view value);
// application/x-www-form-urlencoded: a blank as "+", other bytes as UrlEscape does.
std::string FormEncode(std::string_view value);

// The start of the reason of a fetch that could not make its body file; the directory and the
// system's reason follow.
inline constexpr std::string_view kNoBodyFileReason = "cannot create a temporary file in ";

// Why a text that failed to parse is no deck, naming the line where that is known: "no <wml>
// element found", "missing </wml> (the deck opens at line 2)", "no card found", ...
std::string DeckProblem(const base::TStringList& lines);

// The charset parameter of a Content-Type value ("text/vnd.wap.wml; charset=utf-8"), without
// quotes, or empty.
std::string ContentTypeCharset(std::string_view contentType);

} // namespace pivrel::engine
