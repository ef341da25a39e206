#include "engine/ScriptRunner.h"

#include "base/Event.h"
#include "engine/FileIO.h"
#include "engine/WMLBrowser.h"
#include "script/CallAddress.h"
#include "script/ScriptURL.h"
#include "wml/Charset.h"

#include <sstream>

namespace pivrel::engine {

namespace {

    constexpr std::size_t kMaxScriptBytes = 4 * 1024 * 1024;
    constexpr const char* kScriptAccept = "text/vnd.wap.wmlscript, application/vnd.wap.wmlscriptc";

    bool IsLocal(const std::string& url)
    {
        return url.compare(0, 5, "file:") == 0 || (!url.empty() && url[0] == '/');
    }

    std::string LocalPath(const std::string& url)
    {
        std::string path = url.substr(0, url.find('#'));
        if (path.compare(0, 7, "file://") == 0)
            path.erase(0, 7);
        else if (path.compare(0, 5, "file:") == 0)
            path.erase(0, 5);
        return path;
    }

} // namespace

TScriptUnitLoader::TScriptUnitLoader(base::TEventLoop& loop)
    : m_http(loop)
{ }

bool TScriptUnitLoader::Fetch(const std::string& url, const std::string& accept, std::string& bytes,
    std::string& contentType, int& code, std::string& error)
{
    if (IsLocal(url)) {
        if (!ReadRegularFile(LocalPath(url), bytes, kMaxScriptBytes)) {
            code = 404;
            error = "cannot read " + LocalPath(url);
            return false;
        }
        contentType.clear();
        return true;
    }
    std::ostringstream body;
    m_http.SetURL(url.substr(0, url.find('#')));
    m_http.SetAccept(accept);
    m_http.SetAgent(Agent);
    m_http.SetDocStream(&body);
    m_http.SetSendStream(nullptr);
    m_http.SetMaxBodySize(kMaxScriptBytes);
    bool ok = true;
    try {
        m_http.Get();
    } catch (...) {
        ok = false;
    }
    m_http.SetDocStream(nullptr);
    code = ok ? m_http.StatusCode() : -1;
    if (!ok || code != 200) {
        error = ok ? "the server answered " + std::to_string(code) : "the fetch failed";
        return false;
    }
    bytes = body.str();
    contentType = m_http.ContentType();
    return true;
}

std::shared_ptr<const script::TUnit> TScriptUnitLoader::Load(const std::string& url, std::string& error)
{
    const std::string key = url.substr(0, url.find('#'));
    const auto cached = m_cache.find(key);
    if (cached != m_cache.end())
        return cached->second;
    std::string bytes;
    std::string contentType;
    int code = 0;
    if (!Fetch(key, kScriptAccept, bytes, contentType, code, error))
        return nullptr;
    ++m_fetches;
    // Script text in another character set is read as decks are: the content type's charset
    // first, then UTF-8 when it is valid, else Windows-1252.
    if (script::UnitKindOf(contentType, key) == script::TUnitKind::Text)
        bytes = wml::DeckTextToUtf8(bytes, ContentTypeCharset(contentType));
    script::TLoadResult r = script::UnitFromResource(bytes, contentType, key);
    if (!r.Ok) {
        error = r.Error;
        return nullptr;
    }
    auto unit = std::make_shared<const script::TUnit>(std::move(r.Unit));
    m_cache[key] = unit;
    return unit;
}

bool TScriptUnitLoader::LoadText(
    const std::string& url, const std::string& contentType, std::string& text, int& code)
{
    std::string type;
    std::string error;
    if (!Fetch(url, contentType, text, type, code, error))
        return false;
    const std::string bare = type.substr(0, type.find(';'));
    if (!type.empty() && bare != contentType) {
        code = 415;
        return false;
    }
    return true;
}

void TScriptUnitLoader::Abort()
{
    m_http.Abort();
}

// The browser as the interpreter sees it.
class TScriptRunner::THost : public script::TScriptHost
{
public:
    THost(TScriptRunner& runner)
        : m_runner(runner)
    { }

    std::string GetVar(const std::string& name) override { return m_runner.m_browser.GetVariable(name); }

    void SetVar(const std::string& name, const std::string& value) override
    {
        m_runner.m_browser.SetVariable(name, value);
    }

    std::string CurrentCard() override { return m_runner.m_browser.CurrentURL(); }

    std::string Prompt(const std::string& message, const std::string& defaultInput) override
    {
        return m_runner.m_dialogs.Prompt(message, defaultInput);
    }

    bool Confirm(const std::string& message, const std::string& ok, const std::string& cancel) override
    {
        return m_runner.m_dialogs.Confirm(message, ok, cancel);
    }

    void Alert(const std::string& message) override { m_runner.m_dialogs.Alert(message); }

    std::shared_ptr<const script::TUnit> LoadUnit(const std::string& url, std::string& error) override
    {
        return m_runner.m_loader.Load(url, error);
    }

    bool LoadString(
        const std::string& url, const std::string& contentType, std::string& text, int& code) override
    {
        return m_runner.m_loader.LoadText(url, contentType, text, code);
    }

    // Lets the window handle its events now and then, so that Stop can be pressed.
    bool ShouldStop() override
    {
        m_runner.m_browser.Loop().ProcessPending();
        return m_runner.m_stopRequested;
    }

private:
    TScriptRunner& m_runner;
};

TScriptRunner::TScriptRunner(TWMLBrowser& browser, TScriptDialogs& dialogs)
    : m_browser(browser)
    , m_dialogs(dialogs)
    , m_loader(browser.Loop())
{
    m_loader.Agent = browser.Agent;
    m_browser.OnScriptCall = [this](const std::string& address) { Run(address); };
    m_browser.OnStop = [this](TWMLBrowser&) { Stop(); };
}

TScriptRunner::~TScriptRunner()
{
    m_browser.OnScriptCall = nullptr;
    m_browser.OnStop = nullptr;
}

void TScriptRunner::Stop()
{
    m_stopRequested = true;
    m_loader.Abort();
}

std::string TScriptRunner::Substitute(const std::string& text) const
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t dollar = text.find('$', i);
        out += text.substr(i, dollar - i);
        if (dollar == std::string::npos)
            break;
        const std::size_t close = text.find(')', dollar);
        if (dollar + 1 < text.size() && text[dollar + 1] == '(' && close != std::string::npos) {
            std::string name = text.substr(dollar + 2, close - dollar - 2);
            name = name.substr(0, name.find(':'));
            out += m_browser.GetVariable(name);
            i = close + 1;
        } else {
            out += '$';
            i = dollar + (dollar + 1 < text.size() && text[dollar + 1] == '$' ? 2 : 1);
        }
    }
    return out;
}

script::TInvocation TScriptRunner::Run(const std::string& address)
{
    script::TInvocation result;
    if (m_running) {
        result.Error = "another script is running";
        return result;
    }
    const std::optional<script::TCallAddress> call = script::ParseCallAddress(address);
    std::optional<std::vector<script::TValue>> args;
    if (call)
        args = script::ParseCallArguments(Substitute(call->Arguments));
    if (!call || !args) {
        result.Error = "the address " + address + " does not name a function call";
        m_dialogs.ShowScriptError(result.Error);
        return result;
    }
    m_running = true;
    m_stopRequested = false;
    const std::string unitUrl = script::ResolveURL(m_browser.CurrentURL(), Substitute(call->Unit));
    std::string error;
    std::shared_ptr<const script::TUnit> unit = m_loader.Load(unitUrl, error);
    if (!unit) {
        result.Error = "cannot load " + unitUrl + ": " + error;
    } else if (!script::AccessAllowed(*unit, unitUrl, m_browser.CurrentURL())) {
        result.Error = unitUrl + " refuses calls from " + m_browser.CurrentURL();
    } else {
        THost host(*this);
        result = script::Invoke(std::move(unit), unitUrl, call->Function, std::move(*args), host, Limits);
    }
    m_running = false;
    CarryOut(result);
    return result;
}

void TScriptRunner::CarryOut(const script::TInvocation& result)
{
    if (!result.Ok) {
        m_dialogs.ShowScriptError(result.Error);
        return;
    }
    if (result.NewContext)
        m_browser.ClearContext();
    if (result.Navigation == script::TNavigation::Go)
        m_browser.FollowLink(result.GoUrl, true, false);
    else if (result.Navigation == script::TNavigation::Prev)
        m_browser.Back();
    else if (result.Refresh || !result.VariablesSet.empty())
        base::Fire(m_browser.OnParseComplete, m_browser);
}

} // namespace pivrel::engine
