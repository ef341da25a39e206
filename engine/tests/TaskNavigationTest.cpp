// Following the tasks of links, buttons and card events: what reaches the server, which card is
// shown, and which variables the browser context keeps.
#include "engine/tests/BrowserFixture.h"

#include <algorithm>

namespace pivrel::engine::browsertest {
namespace {

    using TaskNavigationTest = TBrowserFixture;

    template <typename Record> const Record* FindRecord(const wml::TWMLDeck& deck, std::size_t nth = 0)
    {
        for (const auto& entry : deck.CardList) {
            for (const auto& element : entry.Card->Elements) {
                if (dynamic_cast<const Record*>(element.Object.get()) != nullptr && nth-- == 0)
                    return static_cast<const Record*>(element.Object.get());
            }
        }
        return nullptr;
    }

    // The post fields of the nth link of the deck, as following it sends them.
    wml::TWMLPostFields LinkFields(const wml::TWMLDeck& deck, std::size_t nth)
    {
        for (const auto& entry : deck.CardList) {
            const wml::TWMLElementList& elements = entry.Card->Elements;
            for (std::size_t i = 0; i < elements.size(); ++i) {
                if (elements[i].Object->Class() == wml::TWMLClass::Link && nth-- == 0)
                    return wml::LinkPostFields(elements, i);
            }
        }
        return {};
    }

    bool EndsWith(const std::string& text, const std::string& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    TEST_F(TaskNavigationTest, LoginCardPostsItsFieldsWithASoftKey)
    {
        server.AddResponse(
            Ok(Deck(R"~(<card id="login" title="Login"><do type="accept" label="Login">)~"
                    R"~(<go href="/login.php" method="post"><postfield name="user" value="$(user)"/>)~"
                    R"~(<postfield name="pass" value="$(pass)"/></go></do>)~"
                    R"~(<p><input name="user"/><input name="pass" type="password"/></p></card>)~")));
        browser.Navigate(server.Url("/login.wml"), true, false, false);
        const wml::TWMLBtn* login = FindRecord<wml::TWMLBtn>(browser.WMLDeck);
        ASSERT_NE(login, nullptr);
        browser.SetVariable("user", "bob");
        browser.SetVariable("pass", "a&b c");

        server.AddResponse(Ok(kOtherDeck));
        // Copied, as the button widget holds them: the navigation replaces the deck.
        const std::string link = login->Link;
        const wml::TWMLPostFields fields = login->PostFields;
        ASSERT_TRUE(login->Post);
        browser.NavigateTask(link, true, true, fields);
        ASSERT_EQ(server.RequestCount(), 2u);
        const std::string request = server.Requests()[1];
        EXPECT_EQ(FirstLine(request), "POST /login.php HTTP/1.0");
        EXPECT_EQ(RequestBody(request), "user=bob&pass=a%26b+c");
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "x" }));
    }

    TEST_F(TaskNavigationTest, OnlyTheFollowedLinksFieldsAreSentInTheirOrder)
    {
        server.AddResponse(Ok(Deck(
            R"~(<card id="a"><p><a>Vote<go href="/vote" method="post">)~"
            R"~(<postfield name="z" value="last"/><postfield name="a" value="first"/></go></a></p></card>)~"
            R"~(<card id="b"><p><a>Pay<go href="http://elsewhere/pay" method="post">)~"
            R"~(<postfield name="pw" value="secret"/></go></a></p></card>)~")));
        browser.Navigate(server.Url("/forms.wml"), true, false, false);
        server.AddResponse(Ok(kOtherDeck));
        browser.NavigateTask("/vote", true, true, LinkFields(browser.WMLDeck, 0));
        ASSERT_EQ(server.RequestCount(), 2u);
        EXPECT_EQ(RequestBody(server.Requests()[1]), "z=last&a=first");
    }

    TEST_F(TaskNavigationTest, GetCarriesTheFieldsAsAQuery)
    {
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "/find", "GET /find?q=wap+x&n=1 HTTP/1.0" },
            { "/find?s=1", "GET /find?s=1&q=wap+x&n=1 HTTP/1.0" },
            { "/find?#r", "GET /find?q=wap+x&n=1 HTTP/1.0" },
        };
        const wml::TWMLPostFields fields = { { "q", "$(q)" }, { "n", "1" } };
        LoadFirstDeck();
        browser.SetVariable("q", "wap x");
        for (const auto& [href, line] : cases) {
            server.AddResponse(Ok(kOtherDeck));
            const std::size_t before = server.RequestCount();
            browser.NavigateTask(href, true, false, fields);
            ASSERT_EQ(server.RequestCount(), before + 1) << href;
            EXPECT_EQ(FirstLine(server.Requests()[before]), line);
        }
        EXPECT_TRUE(EndsWith(browser.CurrentURL(), "#r")) << browser.CurrentURL();
    }

    TEST_F(TaskNavigationTest, VariablesLiveInTheContextUntilANewContextCard)
    {
        const std::string first
            = WriteFile("first.wml", Deck(R"(<card id="f"><p><input name="who"/></p></card>)"));
        const std::string second = WriteFile("second.wml",
            Deck(R"(<card id="s"><p>Hi $(who)</p></card><card id="n" newcontext="true"><p>New</p></card>)"));
        browser.Navigate("file://" + first, true, false, false);
        browser.SetVariable("who", "ann");
        browser.Navigate("file://" + second, true, false, false);
        EXPECT_EQ(browser.ExpandText("Hi $(who)"), "Hi ann");

        // Going back shows what was typed.
        ASSERT_TRUE(browser.Back());
        const wml::TWMLInput* input = FindRecord<wml::TWMLInput>(browser.WMLDeck);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(input->GetVarValue(), "ann");

        ASSERT_TRUE(browser.Forward());
        browser.Navigate("#n", true, false, false);
        EXPECT_TRUE(browser.Context().empty());
        EXPECT_EQ(browser.ExpandText("[$(who)]"), "[]");
    }

    TEST_F(TaskNavigationTest, TimerEventShowsTheLocalCardWithoutAFetch)
    {
        const std::string deck = WriteFile("timer.wml",
            Deck(
                R"(<card id="a"><onevent type="ontimer"><go href="#b"><setvar name="by" value="timer"/></go>)"
                R"(</onevent><timer value="1"/><p>A</p></card><card id="b"><p>B</p></card>)"));
        browser.Navigate("file://" + deck, true, false, false);
        events.clear();
        browser.StartCardTimer(*browser.WMLDeck.CardList[0].Card);
        EXPECT_TRUE(RunFor(2000, [this] { return EndsWith(browser.CurrentURL(), "#b"); }));
        EXPECT_EQ(browser.GetVariable("by"), "timer");
        EXPECT_EQ(std::count(events.begin(), events.end(), "connecting"), 0);
        EXPECT_EQ(std::count(events.begin(), events.end(), "failed"), 0);
        EXPECT_EQ(std::count(events.begin(), events.end(), "complete"), 1);
    }

    TEST_F(TaskNavigationTest, EnteringCardsRunsTheirForwardAndBackwardTasks)
    {
        const std::string deck = WriteFile("enter.wml",
            Deck(
                R"(<card id="a" onenterbackward="#c"><p>A</p></card>)"
                R"(<card id="b"><onevent type="onenterforward"><go href="#a"/></onevent><p>B</p></card>)"
                R"(<card id="c"><onevent type="onenterforward"><refresh><setvar name="seen" value="c"/></refresh>)"
                R"(</onevent><p>C $(seen)</p></card>)"));
        browser.Navigate("file://" + deck + "#c", true, false, false);
        EXPECT_EQ(browser.GetVariable("seen"), "c");
        browser.Navigate("#b", true, false, false);
        EXPECT_TRUE(RunFor(2000, [this] { return EndsWith(browser.CurrentURL(), "#a"); }));

        // Back to b (whose forward task does not run backward) and on back to c.
        ASSERT_TRUE(browser.Back());
        loop.WaitAndProcess(10);
        EXPECT_TRUE(EndsWith(browser.CurrentURL(), "#b")) << browser.CurrentURL();
        browser.SetVariable("seen", "");
        ASSERT_TRUE(browser.Back());
        EXPECT_TRUE(EndsWith(browser.CurrentURL(), "#c"));
        EXPECT_EQ(browser.GetVariable("seen"), "") << "a forward task does not run backward";
    }

    TEST_F(TaskNavigationTest, CardsThatSendEachOtherOnStopAfterAWhile)
    {
        const std::string deck = WriteFile("loop.wml",
            Deck(
                R"(<card id="a" onenterforward="#b"><p>A</p></card><card id="b" onenterforward="#a"><p>B</p></card>)"));
        browser.Navigate("file://" + deck, true, false, false);
        RunFor(500, [] { return false; });
        const std::size_t entries = browser.History.URLHistory().size();
        EXPECT_LT(entries, 40u);
        RunFor(100, [] { return false; });
        EXPECT_EQ(browser.History.URLHistory().size(), entries);
    }

    TEST_F(TaskNavigationTest, RefreshAppliesItsSetvarsAndShowsTheCardAgain)
    {
        LoadFirstDeck();
        browser.SetVariable("n", "1");
        wml::TWMLTask refresh;
        refresh.Kind = wml::TWMLTaskKind::Refresh;
        refresh.SetVarNames = { "n" };
        refresh.SetVarValues = { "" };
        browser.RunTask(refresh);
        EXPECT_EQ(browser.GetVariable("n"), "");
        EXPECT_EQ(events, (std::vector<std::string> { "complete" }));
        EXPECT_EQ(server.RequestCount(), 1u);
    }

} // namespace
} // namespace pivrel::engine::browsertest
