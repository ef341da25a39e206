#pragma once

#include "base/EventLoop.h"
#include "net/HttpProt.h"
#include "script/Interpreter.h"

#include <map>
#include <memory>
#include <string>

namespace pivrel::engine {

class TWMLBrowser;

// What a script shows the user. The window answers with its boxes; tests preset the answers.
class TScriptDialogs
{
public:
    virtual ~TScriptDialogs() = default;

    virtual std::string Prompt(const std::string& message, const std::string& defaultInput) = 0;
    virtual bool Confirm(const std::string& message, const std::string& ok, const std::string& cancel) = 0;
    virtual void Alert(const std::string& message) = 0;
    // A script that could not run or ended in a fatal error; the card stays as it was.
    virtual void ShowScriptError(const std::string& reason) = 0;
};

// Loads script units by address, local files ("file://" or a plain path) and HTTP alike, and
// keeps each unit for the rest of the run so that a second call does not fetch it again.
class TScriptUnitLoader
{
public:
    explicit TScriptUnitLoader(base::TEventLoop& loop);

    std::string Agent;

    std::shared_ptr<const script::TUnit> Load(const std::string& url, std::string& error);
    // The text of a resource of the given content type, for URL.loadString; code is the HTTP
    // status (or -1) when it fails.
    bool LoadText(const std::string& url, const std::string& contentType, std::string& text, int& code);
    void Abort();

    // How many units came from their source rather than from the cache.
    int Fetches() const { return m_fetches; }

private:
    bool Fetch(const std::string& url, const std::string& accept, std::string& bytes,
        std::string& contentType, int& code, std::string& error);

    net::THttpCli m_http;
    std::map<std::string, std::shared_ptr<const script::TUnit>> m_cache;
    int m_fetches = 0;
};

// Runs the function that a link's address names ("calc.wmls#check($(age))") with the browser's
// variables and dialogs, then carries out what the script asked for: go, prev, refresh. It
// attaches itself to the browser for its lifetime.
class TScriptRunner
{
public:
    TScriptRunner(TWMLBrowser& browser, TScriptDialogs& dialogs);
    ~TScriptRunner();
    TScriptRunner(const TScriptRunner&) = delete;
    TScriptRunner& operator=(const TScriptRunner&) = delete;

    script::TLimits Limits;

    // Runs the call the address names, resolved against the current card. The address may still
    // hold variable references, which are put in unescaped. Returns the invocation's outcome.
    script::TInvocation Run(const std::string& address);
    // Ends a running script at its next check, and a unit fetch at once.
    void Stop();

    bool Running() const { return m_running; }

    TScriptUnitLoader& Loader() { return m_loader; }

private:
    class THost;

    void CarryOut(const script::TInvocation& result);
    std::string Substitute(const std::string& text) const;

    TWMLBrowser& m_browser;
    TScriptDialogs& m_dialogs;
    TScriptUnitLoader m_loader;
    bool m_running = false;
    bool m_stopRequested = false;
};

} // namespace pivrel::engine
