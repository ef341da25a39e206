#include "engine/WMLBrowser.h"

#include "engine/tests/BrowserFixture.h"

namespace pivrel::engine {
namespace {

    using namespace browsertest;
    using WMLBrowserTest = TBrowserFixture;

    TEST_F(WMLBrowserTest, FetchReportsEveryStageInOrderAndLoadsTheDeck)
    {
        server.AddResponse(Ok(kTwoCards, "text/vnd.wap.wml"));
        EXPECT_TRUE(browser.Navigate(server.Url("/dir/d.wml"), true, false, false));

        EXPECT_EQ(events,
            (std::vector<std::string> { "busy", "connecting", "connect", "waiting", "waiting", "disconnect",
                "check", "parsing", "complete", "idle" }));
        EXPECT_EQ(traces,
            (std::vector<std::string> { "Not Connected", "DNS Lookup", "DNS Lookup Complete", "Connected",
                "Waiting for Header", "Waiting for Body", "Ready" }));
        ASSERT_EQ(server.RequestCount(), 1u);
        EXPECT_EQ(server.Requests()[0],
            "GET /dir/d.wml HTTP/1.0\r\nAccept: text/x-wap,wml,*/*\r\nUser-Agent: Pivrel 2.2 WML 1.1\r\n"
            "Host: "
                + server.HostPort() + "\r\n\r\n");
        EXPECT_EQ(browser.CurrentURL(), server.Url("/dir/d.wml"));
        EXPECT_EQ(checkedURL, server.Url("/dir/d.wml"));
        EXPECT_EQ(checkedContent, "text/vnd.wap.wml");
        EXPECT_EQ(browser.StatusCode, 200);
        EXPECT_EQ(browser.ContentType, "text/vnd.wap.wml");
        ASSERT_FALSE(browser.Header.empty());
        EXPECT_EQ(browser.Header[0], "HTTP/1.0 200 OK");
        EXPECT_EQ(browser.Body(), base::SplitLines(kTwoCards));
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        EXPECT_EQ(browser.History.URLHistory(), (base::TStringList { server.Url("/dir/d.wml") }));

        // The body lived in one private file of the cache directory, and only during the fetch.
        ASSERT_EQ(cacheFilesAtCheck.size(), 1u);
        const std::string& name = cacheFilesAtCheck[0];
        EXPECT_EQ(name.size(), 12u);
        EXPECT_EQ(name.substr(8), ".$$$");
        EXPECT_EQ(name.substr(0, 8).find_first_not_of("0123456789ABCDEF"), std::string::npos);
        EXPECT_TRUE(CacheFiles().empty());

        struct stat info { };

        ASSERT_EQ(::stat(browser.CacheDir.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }

    TEST_F(WMLBrowserTest, JumpsWithinTheLoadedDeckFetchNothing)
    {
        LoadFirstDeck();
        const std::string base = server.Url("/d.wml");

        struct TCase {
            std::string url;
            std::string expected;
        };

        const std::vector<TCase> cases {
            { "#b", base + "#b" },
            { base + "#a", base + "#a" },
            { base, base },
            { "d.wml#b", base + "#b" },
        };
        for (const TCase& c : cases) {
            events.clear();
            EXPECT_TRUE(browser.Navigate(c.url, true, false, false)) << c.url;
            EXPECT_EQ(events, (std::vector<std::string> { "busy", "complete", "idle" })) << c.url;
            EXPECT_EQ(browser.CurrentURL(), c.expected) << c.url;
            EXPECT_EQ(browser.History.URLHistory().back(), c.expected) << c.url;
        }
        // Not even a POST leaves the deck.
        events.clear();
        browser.Navigate("#a", false, false, true);
        EXPECT_EQ(events, (std::vector<std::string> { "busy", "complete", "idle" }));
        EXPECT_EQ(server.RequestCount(), 1u);
        EXPECT_EQ(browser.History.URLHistory().size(), 5u);

        // Emptying CurrentURL makes the same address a reload.
        server.AddResponse(Ok(kOtherDeck));
        browser.SetCurrentURL("");
        browser.Navigate(base, false, true, false);
        EXPECT_EQ(server.RequestCount(), 2u);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "x" }));
    }

    TEST_F(WMLBrowserTest, FragmentStaysHomeAndFollowsTheRedirection)
    {
        struct TCase {
            std::string location;
            std::string finalPath;
        };

        const std::vector<TCase> cases {
            { "/moved/new.wml", "/moved/new.wml" },
            { server.Url("/abs.wml"), "/abs.wml" },
            { server.Url("/frag.wml#ignored"), "/frag.wml" },
        };
        for (const TCase& c : cases) {
            const std::size_t before = server.RequestCount();
            server.AddResponse(MakeRedirect(302, c.location));
            server.AddResponse(Ok(kTwoCards));
            browser.SetCurrentURL("");
            browser.Navigate(server.Url("/old.wml#b"), true, false, false);
            ASSERT_EQ(server.RequestCount(), before + 2) << c.location;
            const std::vector<std::string> requests = server.Requests();
            EXPECT_EQ(FirstLine(requests[before]), "GET /old.wml HTTP/1.0") << c.location;
            EXPECT_EQ(FirstLine(requests[before + 1]), "GET " + c.finalPath + " HTTP/1.0") << c.location;
            EXPECT_EQ(browser.CurrentURL(), server.Url(c.finalPath) + "#b") << c.location;
            EXPECT_EQ(checkedURL, server.Url(c.finalPath) + "#b") << c.location;
        }
    }

    TEST_F(WMLBrowserTest, FailedFetchesLeaveTheDeckAndRemoveTheirFile)
    {
        LoadFirstDeck();
        const std::string loaded = browser.CurrentURL();
        const base::TStringList body = browser.Body();

        // A 404 whose body is a deck: the body is not read.
        server.AddResponse(
            MakeResponse("HTTP/1.0 404 Not Found", { "Content-Type: text/vnd.wap.wml" }, kOtherDeck));
        browser.Navigate(server.Url("/missing.wml"), true, false, false);
        EXPECT_EQ(events,
            (std::vector<std::string> {
                "busy", "connecting", "connect", "waiting", "disconnect", "failed", "idle" }));
        EXPECT_EQ(browser.StatusCode, 404);
        EXPECT_EQ(browser.CurrentURL(), loaded);
        EXPECT_EQ(browser.Body(), body);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        EXPECT_EQ(browser.History.URLHistory().back(), server.Url("/missing.wml"));
        EXPECT_TRUE(CacheFiles().empty());

        // A server error status is kept as it came.
        events.clear();
        server.AddResponse(MakeResponse("HTTP/1.0 500 Broken", {}, "oops"));
        browser.Navigate(server.Url("/broken.wml"), false, false, false);
        EXPECT_EQ(browser.StatusCode, 500);
        EXPECT_EQ(events.back(), "idle");
        EXPECT_EQ(events[events.size() - 2], "failed");

        // A redirection loop ends as a failure instead of running until Stop.
        events.clear();
        for (int i = 0; i < 30; ++i)
            server.AddResponse(MakeRedirect(302, "/loop.wml"));
        const std::size_t before = server.RequestCount();
        browser.Navigate(server.Url("/loop.wml"), false, false, false);
        EXPECT_EQ(events[events.size() - 2], "failed");
        EXPECT_LE(server.RequestCount() - before, 22u);
        EXPECT_EQ(browser.CurrentURL(), loaded);

        // Nobody listening: the failure comes from the client itself.
        testsupport::TLoopbackHttpServer closed;
        const std::string deadUrl = closed.Url("/d.wml");
        closed.Stop();
        // The deck on show survives a failed load, whether it was a navigation or a step back.
        events.clear();
        browser.Navigate(deadUrl, false, false, false);
        EXPECT_EQ(browser.StatusCode, 404);
        EXPECT_NE(std::find(events.begin(), events.end(), "failed"), events.end());
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        EXPECT_EQ(browser.FailureReason.rfind("cannot connect to 127.0.0.1:", 0), 0u)
            << browser.FailureReason;
        browser.DoNavigate(deadUrl, false, false, false, true);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        EXPECT_EQ(browser.CurrentURL(), loaded);
        EXPECT_TRUE(CacheFiles().empty());
    }

    TEST_F(WMLBrowserTest, RefusedContentTypeChangesNothing)
    {
        LoadFirstDeck();
        const std::string loaded = browser.CurrentURL();
        acceptContent = false;
        server.AddResponse(Ok("<html>page</html>", "text/html"));
        browser.Navigate(server.Url("/page.html"), true, false, false);
        EXPECT_EQ(events.back(), "idle");
        EXPECT_EQ(events[events.size() - 2], "check");
        EXPECT_EQ(checkedContent, "text/html");
        EXPECT_EQ(browser.ContentType, "text/html");
        EXPECT_EQ(browser.CurrentURL(), loaded);
        EXPECT_EQ(browser.Body(), base::SplitLines(kTwoCards));
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        EXPECT_EQ(cacheFilesAtCheck.size(), 1u);
        EXPECT_TRUE(CacheFiles().empty());
    }

    TEST_F(WMLBrowserTest, PostSendsTheLinksFieldsOrFailsWithoutADeck)
    {
        // Without cards there is nothing to post: the client refuses before connecting.
        browser.Navigate(server.Url("/form"), true, false, true);
        EXPECT_EQ(events, (std::vector<std::string> { "busy", "connecting", "failed", "idle" }));
        EXPECT_EQ(server.ConnectionCount(), 0u);
        EXPECT_TRUE(CacheFiles().empty());

        server.AddResponse(Ok(Deck("<card id=\"f\"><p><a>Send<go href=\"/form\" method=\"post\">"
                                   "<postfield name=\"who\" value=\"a&amp;b=c d\"/>"
                                   "<postfield name=\"n\" value=\"2\"/></go></a></p></card>")));
        browser.Navigate(server.Url("/f.wml"), true, false, false);
        ASSERT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "f" }));
        const wml::TWMLElementList& elements = browser.WMLDeck.CardList[0].Card->Elements;
        std::size_t link = 0;
        while (link < elements.size() && elements[link].Object->Class() != wml::TWMLClass::Link)
            ++link;
        ASSERT_LT(link, elements.size());
        const std::string expectedBody = "who=a%26b%3Dc+d&n=2";
        EXPECT_EQ(browser.FormData(wml::LinkPostFields(elements, link)), expectedBody);

        server.AddResponse(Ok(kOtherDeck));
        browser.NavigateTask("/form", true, true, wml::LinkPostFields(elements, link));
        ASSERT_EQ(server.RequestCount(), 2u);
        const std::string request = server.Requests()[1];
        EXPECT_EQ(FirstLine(request), "POST /form HTTP/1.0");
        EXPECT_NE(request.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
        EXPECT_NE(request.find("Content-Length: " + std::to_string(expectedBody.size()) + "\r\n"),
            std::string::npos);
        EXPECT_EQ(RequestBody(request), expectedBody);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "x" }));
        EXPECT_EQ(browser.HttpCli.SendStream(), nullptr);
    }

    TEST_F(WMLBrowserTest, LocalFilesLoadOnlyFromRegularFiles)
    {
        const std::string path = WriteFile("a.wml", kTwoCards);
        browser.Navigate("file://" + path + "#b", true, false, false);
        EXPECT_EQ(events, (std::vector<std::string> { "busy", "parsing", "complete", "idle" }));
        EXPECT_EQ(browser.CurrentURL(), "file://" + path + "#b");
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        EXPECT_EQ(browser.Body(), base::SplitLines(kTwoCards));
        EXPECT_EQ(browser.StatusCode, 0);

        // The prefix goes in any letter case when the file is loaded directly.
        const std::string other = WriteFile("o.wml", kOtherDeck);
        EXPECT_TRUE(browser.LoadLocalFile("FiLe://" + other + "#x"));
        EXPECT_EQ(browser.CurrentURL(), "FiLe://" + other + "#x");
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "x" }));

        // Nothing readable as a document: missing, a directory, a FIFO (which must not block).
        const std::string fifo = std::string(path) + ".fifo";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const std::string directory = fs::path(path).parent_path().string();
        for (const std::string& bad : { path + ".missing", directory, fifo }) {
            events.clear();
            browser.StatusCode = 200;
            browser.Navigate("file://" + bad, true, false, false);
            EXPECT_EQ(events, (std::vector<std::string> { "busy", "failed", "idle" })) << bad;
            EXPECT_EQ(browser.StatusCode, 404) << bad;
            EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "x" })) << bad;
            EXPECT_FALSE(browser.LoadLocalFile("file://" + bad)) << bad;
        }
        EXPECT_EQ(server.ConnectionCount(), 0u);
    }

    TEST_F(WMLBrowserTest, OnlyLowerCaseFileSchemeIsLocal)
    {
        // FILE:// goes to the HTTP client, which refuses every scheme but http and https.
        browser.Navigate("FILE://" + server.HostPort() + "/x.wml", true, false, false);
        EXPECT_EQ(server.ConnectionCount(), 0u);
        EXPECT_EQ(browser.StatusCode, 404);
        EXPECT_EQ(browser.HttpCli.ReasonPhrase(), "Unsupported protocol 'file'");
    }

    TEST_F(WMLBrowserTest, BackAndForwardWalkTheHistoryWithoutAddingToIt)
    {
        EXPECT_FALSE(browser.Back());
        EXPECT_FALSE(browser.Forward());
        EXPECT_TRUE(events.empty());

        const std::string first = WriteFile("1.wml", kTwoCards);
        const std::string second = WriteFile("2.wml", kOtherDeck);
        browser.Navigate("file://" + first, true, false, false);
        EXPECT_FALSE(browser.CanGoBack());
        EXPECT_FALSE(browser.Back());
        browser.Navigate("file://" + second, true, false, false);
        ASSERT_TRUE(browser.CanGoBack());

        EXPECT_TRUE(browser.Back());
        EXPECT_EQ(browser.CurrentURL(), "file://" + first);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        EXPECT_TRUE(browser.CanGoForward());
        EXPECT_TRUE(browser.Forward());
        EXPECT_EQ(browser.CurrentURL(), "file://" + second);
        EXPECT_FALSE(browser.Forward());
        EXPECT_EQ(browser.History.URLHistory().size(), 2u);
    }

    TEST_F(WMLBrowserTest, BusyClientRefusesAFetchWithoutEvents)
    {
        TScriptedResponse endless = Ok(kTwoCards);
        endless.KeepOpen = true;
        server.AddResponse(endless);
        browser.HttpCli.SetURL(server.Url("/slow.wml"));
        browser.HttpCli.StartRequest(net::httpGET);
        events.clear();
        traces.clear();
        EXPECT_FALSE(browser.Fetch(server.Url("/other.wml"), false));
        EXPECT_FALSE(browser.CheckForNewVersion());
        EXPECT_TRUE(events.empty());
        EXPECT_TRUE(CacheFiles().empty());

        // A navigation does not wait: it aborts the running request first.
        server.AddResponse(Ok(kOtherDeck));
        browser.Navigate(server.Url("/other.wml"), true, false, false);
        EXPECT_EQ(traces.front(), "Aborting");
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "x" }));
    }

    TEST_F(WMLBrowserTest, VersionCheckGoesThroughTheProxySettings)
    {
        browser.SetProxyHost("127.0.0.1");
        browser.SetProxyPort(server.Port());
        browser.SetProxyUser("u");
        browser.SetProxyPassword("p");
        server.AddResponse(Ok(Deck("<card id=\"v\"><p>new</p></card>")));
        EXPECT_TRUE(browser.CheckForNewVersion());
        ASSERT_EQ(server.RequestCount(), 1u);
        const std::string request = server.Requests()[0];
        EXPECT_EQ(FirstLine(request), "GET http://www.pivrel.example/pivrel/upg.wml HTTP/1.0");
        EXPECT_NE(request.find("Proxy-Authorization: Basic dTpw\r\n"), std::string::npos);
        EXPECT_TRUE(browser.History.URLHistory().empty());
        EXPECT_EQ(browser.CurrentURL(), "http://www.pivrel.example/pivrel/upg.wml");
    }

    TEST(WMLBrowserProperties, ProxyPortIsTheClientsTextAsANumber)
    {
        base::TPollEventLoop loop;
        TWMLBrowser browser(loop);
        EXPECT_EQ(browser.HttpCli.ProxyPort(), "80");
        EXPECT_EQ(browser.ProxyPort(), 80);
        EXPECT_TRUE(browser.ProxyHost().empty());
        EXPECT_TRUE(browser.EnableWML10);
        browser.SetProxyPort(8080);
        EXPECT_EQ(browser.HttpCli.ProxyPort(), "8080");
        for (const char* text : { "", "abc", "80x", " 80", "99999999999", "8.0" }) {
            browser.HttpCli.SetProxyPort(text);
            EXPECT_EQ(browser.ProxyPort(), 0) << text;
        }
        // The engine made without a loop runs on one of its own.
        TWMLBrowser standalone;
        EXPECT_EQ(standalone.ProxyPort(), 80);
    }

    TEST_F(WMLBrowserTest, CacheDirectoryThatCannotBeMadeIsReported)
    {
        const std::string blocker = WriteFile("plain", "x");
        browser.CacheDir = blocker + "/Cache";
        EXPECT_FALSE(browser.Fetch(server.Url("/d.wml"), false));
        browser.Navigate(server.Url("/d.wml"), true, false, false);
        EXPECT_EQ(events, (std::vector<std::string> { "failed", "busy", "failed", "idle" }));
        EXPECT_EQ(browser.FailureReason,
            "cannot create a temporary file in " + blocker + "/Cache: Not a directory");
        EXPECT_EQ(server.ConnectionCount(), 0u);
    }

    TEST_F(WMLBrowserTest, CharsetOfTheContentTypeWinsAndBodyKeepsTheBytes)
    {
        const std::string latin1
            = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<wml><card id=\"c\"><p>caf\xE9</p>"
              "</card></wml>\r\n";
        server.AddResponse(Ok(latin1, "text/vnd.wap.wml; charset=\"ISO-8859-1\""));
        browser.Navigate(server.Url("/l.wml"), true, false, false);
        ASSERT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "c" }));
        EXPECT_NE(browser.WMLDeck.WMLCode.Text().find("caf\xC3\xA9"), std::string::npos);
        EXPECT_EQ(browser.Body(), base::SplitLines(latin1));

        // A local file has no Content-Type: its own declaration decides.
        const std::string path = WriteFile("w.wml",
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?><wml><card id=\"w\">"
            "<p>\x80</p></card></wml>");
        ASSERT_TRUE(browser.LoadLocalFile("file://" + path));
        EXPECT_NE(browser.WMLDeck.WMLCode.Text().find("\xE2\x82\xAC"), std::string::npos);
    }

    TEST(WMLBrowserContentType, CharsetParameter)
    {
        const std::vector<std::pair<std::string, std::string>> cases {
            { "text/vnd.wap.wml", "" },
            { "text/vnd.wap.wml; charset=utf-8", "utf-8" },
            { "text/vnd.wap.wml;charset=ISO-8859-1", "ISO-8859-1" },
            { "text/vnd.wap.wml; level=1; CHARSET=\"koi8-r\" ", "koi8-r" },
            { "text/vnd.wap.wml; xcharset=utf-8", "" },
            { "text/vnd.wap.wml; charset=", "" },
            { "text/vnd.wap.wml; charset=\"", "\"" },
            { ";;;", "" },
            { "", "" },
        };
        for (const auto& [value, charset] : cases)
            EXPECT_EQ(ContentTypeCharset(value), charset) << value;
    }

} // namespace
} // namespace pivrel::engine
