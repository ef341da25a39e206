#pragma once

#include "base/EventLoop.h"
#include "base/StringList.h"
#include "base/TextMeasurer.h"
#include "engine/URLParser.h"
#include "engine/WMLHistory.h"
#include "net/CookieJar.h"
#include "net/HttpProt.h"
#include "wml/Entities.h"
#include "wml/WMLDeck.h"

#include <cstdint>
#include <functional>
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
    // The last loaded document as its bytes came, one entry per line.
    base::TStringList Body;
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
    // Why the last navigation failed although its document arrived (a compiled deck that does
    // not decode); empty for every other failure, which StatusCode describes.
    std::string FailureReason;
    std::string Accept;
    std::string Agent;

    // The request body that ReplaceVariables hands over for a POST; empty optional while the deck
    // had no card to build one from.
    std::optional<std::string> SendStream;

    // The address of the document now loaded, with its card fragment. The shell empties it to
    // force a reload.
    const std::string& CurrentURL() const { return m_currentURL; }

    void SetCurrentURL(const std::string& value) { m_currentURL = value; }

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

    // True while the deck is being parsed, pictures included.
    bool Parsing() const { return m_parsing; }

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

    // The shell's entry point: DoNavigate without emptying the deck first. Always true.
    bool Navigate(const std::string& url, bool addToHistory, bool fresh, bool post);
    // Substitutes, resolves, records and loads the address. Always true.
    bool DoNavigate(const std::string& url, bool addToHistory, bool fresh, bool post, bool clearDeck);
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
    // Replaces every reference to name in text by value, converted as each reference form asks:
    // $(name), $name, :escape and :e URL-escape the value freed of its entities; :unesc and :u
    // decode its %XX sequences; :N leaves it as it is.
    static std::string ReplaceVar(std::string_view text, std::string_view name, std::string_view value);
    std::string GetVariable(std::string_view name) const;
    void SetVariable(std::string_view name, std::string_view value);
    void ApplySetVars(const wml::TWMLVariable& varObject);
    // The text as shown: the first variable reference expanded, "$$" made "$", entities decoded.
    std::string ExpandText(std::string_view text) const;
    static std::string DecodeEntities(std::string_view text);

private:
    void Construct();
    void AppendPostPair(std::string& body, const wml::TWMLVariable& variable) const;

    void LoadTarget(const std::string& target, bool post, bool clearDeck);
    bool RunRequest(const std::string& url, bool post, std::ostream& doc);
    bool Request(bool post, const std::string& requestAddress, const std::string& fragment);
    std::string FinalAddress(const std::string& requestAddress) const;
    bool DecodeCompiledDeck(std::string& bytes, std::string& charset);
    void LoadDeck(std::string_view bytes, std::string_view charset);
    void ClearDeck();
    void Defer(std::function<void()> request);
    void RunDeferred();
    void CardTimerFired(const wml::TWMLCard* card);
    void CardTimerNavigate(const std::string& url);

    std::string m_currentURL;
    std::unique_ptr<base::TFixedFontMeasurer> m_fixedMeasurer;
    const base::TTextMeasurer* m_measurer = nullptr;
    std::unique_ptr<TBrowserImageLoader> m_imageLoader;
    // The POST body the client reads during one fetch.
    std::unique_ptr<std::istringstream> m_sendBody;
    std::unique_ptr<base::TEventHandle> m_cardTimer;
    // Counts navigations and fetches: a fetch that finds it changed when its request returns was
    // overtaken by a newer navigation and leaves everything to that one.
    std::uint64_t m_navigationSerial = 0;
    int m_busyDepth = 0;
    bool m_parsing = false;
    // The latest navigation asked for during a parse.
    std::function<void()> m_deferred;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

// Every byte outside A-Z a-z 0-9 - _ . ~ as %XX with upper-case hex digits.
std::string UrlEscape(std::string_view value);
// Each %XX with two hex digits becomes its byte; anything else stays.
std::string UrlUnescape(std::string_view value);
// application/x-www-form-urlencoded: a blank as "+", other bytes as UrlEscape does.
std::string FormEncode(std::string_view value);

// The charset parameter of a Content-Type value ("text/vnd.wap.wml; charset=utf-8"), without
// quotes, or empty.
std::string ContentTypeCharset(std::string_view contentType);

} // namespace pivrel::engine
