#include "engine/WMLBrowser.h"
#include "engine/tests/BrowserFixture.h"

namespace pivrel::engine {
namespace {

    using namespace browsertest;
    using FailureReasonTest = TBrowserFixture;

    TEST_F(FailureReasonTest, EachFailedLoadSaysWhatHappened)
    {
        const std::string deck = WriteFile("deck.wml", kTwoCards);
        const std::string folder = deck.substr(0, deck.find_last_of('/'));
        server.AddResponse(MakeResponse("HTTP/1.0 404 Not Found", {}, "gone"));
        server.AddResponse(MakeResponse("HTTP/1.0 503 Service Unavailable", {}, ""));
        server.AddResponse(MakeResponse("HTTP/1.0 410", {}, ""));

        struct TCase {
            std::string address;
            std::string reason;
        };

        const std::vector<TCase> cases {
            { server.Url("/a.wml"), "404 - Not Found" },
            { server.Url("/b.wml"), "503 - Service Unavailable" },
            { server.Url("/c.wml"), "410 - HTTP error" },
            { "file://" + folder + "/missing.wml",
                "cannot read " + folder + "/missing.wml: No such file or directory" },
            { "file://" + folder, "cannot read " + folder + ": Is a directory" },
        };
        for (const TCase& c : cases) {
            browser.FailureReason.clear();
            browser.Navigate(c.address, true, true, false);
            EXPECT_EQ(browser.FailureReason, c.reason) << c.address;
            EXPECT_NE(std::find(events.begin(), events.end(), "failed"), events.end()) << c.address;
        }
    }

    TEST_F(FailureReasonTest, RedirectionLoopIsNamed)
    {
        for (int i = 0; i < 30; ++i)
            server.AddResponse(MakeRedirect(302, "/loop.wml"));
        browser.Navigate(server.Url("/loop.wml"), true, true, false);
        EXPECT_EQ(browser.FailureReason, "Too many redirections");
    }

    TEST_F(FailureReasonTest, ProgressCountsTheBodyAgainstItsLength)
    {
        std::vector<std::pair<std::int64_t, std::int64_t>> seen;
        browser.OnProgress = [&seen](const std::string&, std::int64_t received, std::int64_t total) {
            seen.emplace_back(received, total);
        };
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK",
            { "Content-Type: text/vnd.wap.wml", "Content-Length: " + std::to_string(kTwoCards.size()) },
            kTwoCards));
        browser.Navigate(server.Url("/d.wml"), true, true, false);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().first, std::int64_t(kTwoCards.size()));
        EXPECT_EQ(seen.back().second, std::int64_t(kTwoCards.size()));
    }

    TEST(DeckProblemTest, ParseFailuresSayWhyAndWhere)
    {
        struct TCase {
            base::TStringList lines;
            std::string problem;
        };

        const std::vector<TCase> cases {
            { { "hello" }, "no <wml> element found" },
            { { "<?xml?>", "<WML>", "<card>", "</card>" }, "missing </wml> (the deck opens at line 2)" },
            { { "<wml>", "<p/>", "</wml>" }, "no card found (the deck opens at line 1)" },
            { { "<wml>", "", "<card id='a'>", "</wml>" },
                "missing </card> (the first card opens at line 3)" },
            { {}, "no <wml> element found" },
        };
        for (const TCase& c : cases)
            EXPECT_EQ(DeckProblem(c.lines), c.problem) << c.problem;
    }

    TEST_F(FailureReasonTest, BrokenDeckFiresParseErrorWithItsReason)
    {
        std::string reason;
        browser.OnParseError = [&reason](TWMLBrowser& sender) { reason = sender.FailureReason; };
        const std::string path = WriteFile("broken.wml", "<wml>\n<card>\n</card>\n");
        browser.Navigate("file://" + path, true, true, false);
        EXPECT_EQ(reason, "missing </wml> (the deck opens at line 1)");
    }

} // namespace
} // namespace pivrel::engine
