#pragma once

#include "base/PollEventLoop.h"
#include "engine/WMLBrowser.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "tests/support/LoopbackHttpServer.h"

namespace pivrel::engine::browsertest {

using testsupport::MakeRedirect;
using testsupport::MakeResponse;
using testsupport::TScriptedResponse;
namespace fs = std::filesystem;

constexpr int kWatchdogMs = 15000;

inline std::string Deck(const std::string& cards)
{
    return "<?xml version=\"1.0\"?>\r\n<wml>\r\n" + cards + "\r\n</wml>\r\n";
}

inline const std::string kTwoCards = Deck("<card id=\"a\"><p>One</p></card><card id=\"b\"><p>Two</p></card>");
inline const std::string kOtherDeck = Deck("<card id=\"x\"><p>Other</p></card>");

inline TScriptedResponse Ok(const std::string& body, const std::string& contentType = "text/vnd.wap.wml")
{
    return MakeResponse("HTTP/1.0 200 OK", { "Content-Type: " + contentType }, body);
}

inline std::vector<std::string> CardIDs(const wml::TWMLDeck& deck)
{
    std::vector<std::string> ids;
    for (const auto& entry : deck.CardList)
        ids.push_back(entry.Key);
    return ids;
}

inline std::string FirstLine(const std::string& request)
{
    return request.substr(0, request.find("\r\n"));
}

inline std::string RequestBody(const std::string& request)
{
    std::size_t end = request.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : request.substr(end + 4);
}

class TBrowserFixture : public ::testing::Test
{
protected:
    TBrowserFixture()
    {
        char pattern[] = "/tmp/pivrel-engine-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_root = made != nullptr ? made : "";
        browser.CacheDir = m_root + "/Cache";
        browser.Accept = "text/x-wap,wml,*/*";
        browser.Agent = "Pivrel 2.2 WML 1.1";
        Record();
        // Every wait below ends, whatever the code under test does.
        m_watchdog = loop.StartTimer(kWatchdogMs, false, [this] {
            timedOut = true;
            browser.Stop();
        });
    }

    ~TBrowserFixture() override
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    void TearDown() override { EXPECT_FALSE(timedOut); }

    void Record()
    {
        auto note
            = [this](const char* name) { return [this, name](TWMLBrowser&) { events.push_back(name); }; };
        browser.OnConnecting = note("connecting");
        browser.OnConnect = note("connect");
        browser.OnDisconnect = note("disconnect");
        browser.OnWaiting = note("waiting");
        browser.OnConnectFailed = note("failed");
        browser.OnParsing = note("parsing");
        browser.OnParseComplete = note("complete");
        browser.OnParseError = note("parse error");
        browser.OnTrace = [this](TWMLBrowser&, const std::string& text) { traces.push_back(text); };
        browser.OnContentTypeCheck
            = [this](TWMLBrowser&, const std::string& url, const std::string& content, bool& isOK) {
                  events.push_back("check");
                  checkedURL = url;
                  checkedContent = content;
                  cacheFilesAtCheck = CacheFiles();
                  isOK = acceptContent;
              };
        browser.OnBusy = [this](bool busy) { events.push_back(busy ? "busy" : "idle"); };
    }

    std::vector<std::string> CacheFiles() const
    {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(browser.CacheDir, error))
            names.push_back(entry.path().filename().string());
        return names;
    }

    std::string WriteFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = m_root + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Turns the loop until done holds or ms have passed.
    bool RunFor(int ms, const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            loop.WaitAndProcess(10);
        return done();
    }

    // Loads the two-card deck from the server and forgets the events of doing so.
    void LoadFirstDeck(const std::string& path = "/d.wml")
    {
        server.AddResponse(Ok(kTwoCards));
        browser.Navigate(server.Url(path), true, false, false);
        ASSERT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        events.clear();
        traces.clear();
    }

    base::TPollEventLoop loop;
    testsupport::TLoopbackHttpServer server;
    TWMLBrowser browser { loop };
    std::vector<std::string> events;
    std::vector<std::string> traces;
    std::string checkedURL;
    std::string checkedContent;
    std::vector<std::string> cacheFilesAtCheck;
    bool acceptContent = true;
    bool timedOut = false;

private:
    std::string m_root;
    std::unique_ptr<base::TEventHandle> m_watchdog;
};

} // namespace pivrel::engine::browsertest
