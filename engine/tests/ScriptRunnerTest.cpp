#include "engine/ScriptRunner.h"

#include "engine/tests/BrowserFixture.h"

#include <deque>

namespace pivrel::engine::browsertest {
namespace {

    class TPresetScriptDialogs : public TScriptDialogs
    {
    public:
        std::deque<std::string> Answers;
        std::vector<std::string> Shown;

        std::string Prompt(const std::string& message, const std::string& defaultInput) override
        {
            Shown.push_back("prompt:" + message);
            if (Answers.empty())
                return defaultInput;
            std::string a = Answers.front();
            Answers.pop_front();
            return a;
        }

        bool Confirm(const std::string& message, const std::string&, const std::string&) override
        {
            Shown.push_back("confirm:" + message);
            return true;
        }

        void Alert(const std::string& message) override { Shown.push_back("alert:" + message); }

        void ShowScriptError(const std::string& reason) override { Shown.push_back("error:" + reason); }
    };

    const char* kCalc = R"(
        extern function ask() {
            var age = Dialogs.prompt("Age?", "18");
            WMLBrowser.setVar("age", age);
            if (age >= 18) WMLBrowser.go("#b");
        }
        extern function add(a, b) { WMLBrowser.setVar("sum", a + b); WMLBrowser.refresh(); }
        extern function back() { WMLBrowser.prev(); }
        extern function broken() { Lang.abort("no way"); WMLBrowser.go("#b"); }
        extern function spin() { WMLBrowser.go("#b"); while (true) {} }
    )";

    // The variables live in the deck's input fields.
    const std::string kFormDeck = Deck("<card id=\"a\"><p><input name=\"age\"/><input name=\"sum\"/>"
                                       "<input name=\"x\"/><input name=\"who\"/></p></card>"
                                       "<card id=\"b\"><p>Two</p></card>");

    class ScriptRunnerTest : public TBrowserFixture
    {
    protected:
        void LoadLocalDeck()
        {
            WriteFile("calc.wmls", kCalc);
            const std::string deck = WriteFile("d.wml", kFormDeck);
            browser.Navigate("file://" + deck, true, false, false);
            ASSERT_EQ(browser.CurrentURL(), "file://" + deck);
            events.clear();
        }

        TPresetScriptDialogs dialogs;
        TScriptRunner runner { browser, dialogs };
    };

    TEST_F(ScriptRunnerTest, PromptSetVarAndGoTakeEffectAfterTheScript)
    {
        LoadLocalDeck();
        const std::string deck = browser.CurrentURL();
        dialogs.Answers = { "12", "42" };
        browser.Navigate("calc.wmls#ask()", true, false, false);
        EXPECT_EQ(browser.GetVariable("age"), "12");
        EXPECT_EQ(browser.CurrentURL(), deck);
        browser.Navigate("calc.wmls#ask()", true, false, false);
        EXPECT_EQ(browser.CurrentURL(), deck + "#b");
        EXPECT_EQ(dialogs.Shown, (std::vector<std::string> { "prompt:Age?", "prompt:Age?" }));
    }

    TEST_F(ScriptRunnerTest, ArgumentsTakeVariablesUnescaped)
    {
        LoadLocalDeck();
        browser.SetVariable("x", "40");
        browser.SetVariable("who", "A B&C");
        browser.Navigate("calc.wmls#add($(x), 2)", true, false, false);
        EXPECT_EQ(browser.GetVariable("sum"), "42");
        EXPECT_EQ(events, (std::vector<std::string> { "complete" })); // the refresh
        browser.Navigate("calc.wmls#add('$(who)', '!')", true, false, false);
        EXPECT_EQ(browser.GetVariable("sum"), "A B&C!");
        browser.SetVariable("who", "calc");
        browser.Navigate("$(who).wmls#add(2, 3)", true, false, false);
        EXPECT_EQ(browser.GetVariable("sum"), "5");
    }

    TEST_F(ScriptRunnerTest, FailuresShowTheReasonAndLeaveTheCard)
    {
        LoadLocalDeck();
        const std::string card = browser.CurrentURL();
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "calc.wmls#broken()", "error:the script aborted: no way" },
            { "calc.wmls#nothing()", "error:the script has no extern function nothing" },
            { "calc.wmls#add(1)", "error:add takes 2 arguments, not 1" },
            { "missing.wmls#f()", "error:cannot load " },
            { "calc.wmls#add('open, 1)",
                "error:the address calc.wmls#add('open, 1) does not name a function call" },
        };
        for (const auto& [address, shown] : cases) {
            dialogs.Shown.clear();
            events.clear();
            browser.Navigate(address, true, false, false);
            ASSERT_EQ(dialogs.Shown.size(), 1U) << address;
            EXPECT_EQ(dialogs.Shown[0].substr(0, shown.size()), shown) << address;
            EXPECT_EQ(browser.CurrentURL(), card) << address;
            EXPECT_TRUE(events.empty()) << address;
        }
    }

    TEST_F(ScriptRunnerTest, StopEndsARunningScriptAndDropsItsRequests)
    {
        LoadLocalDeck();
        const std::string card = browser.CurrentURL();
        runner.Limits.Instructions = UINT64_MAX;
        const auto stopper = loop.StartTimer(50, false, [this] { browser.Stop(); });
        browser.Navigate("calc.wmls#spin()", true, false, false);
        EXPECT_EQ(dialogs.Shown, (std::vector<std::string> { "error:stopped" }));
        EXPECT_EQ(browser.CurrentURL(), card);
        EXPECT_FALSE(runner.Running());
    }

    TEST_F(ScriptRunnerTest, UnitsComeOverHttpOnceAndAreCached)
    {
        server.AddResponse(Ok(kFormDeck));
        browser.Navigate(server.Url("/app/d.wml"), true, false, false);
        server.AddResponse(Ok(kCalc, "text/vnd.wap.wmlscript"));
        browser.Navigate("calc.wmls#add(1, 2)", true, false, false);
        browser.Navigate("calc.wmls#add(3, 4)", true, false, false);
        EXPECT_EQ(browser.GetVariable("sum"), "7");
        EXPECT_EQ(runner.Loader().Fetches(), 1);
        ASSERT_EQ(server.Requests().size(), 2U);
        EXPECT_EQ(FirstLine(server.Requests()[1]).substr(0, 19), "GET /app/calc.wmls ");
    }

    TEST_F(ScriptRunnerTest, ScriptTextInLatin1IsReadInItsCharset)
    {
        server.AddResponse(Ok(kFormDeck));
        browser.Navigate(server.Url("/app/d.wml"), true, false, false);
        server.AddResponse(Ok("extern function f() { WMLBrowser.setVar(\"who\", \"Jos\xE9\"); }",
            "text/vnd.wap.wmlscript; charset=ISO-8859-1"));
        browser.Navigate("s.wmls#f()", true, false, false);
        EXPECT_EQ(browser.GetVariable("who"), "Jos\xC3\xA9");
    }

    TEST_F(ScriptRunnerTest, RefusedContentTypeIsAnError)
    {
        LoadFirstDeck("/app/d.wml");
        server.AddResponse(Ok(kCalc, "text/html"));
        browser.Navigate("calc.wmls#add(1, 2)", true, false, false);
        ASSERT_EQ(dialogs.Shown.size(), 1U);
        EXPECT_NE(dialogs.Shown[0].find("not a script (content type text/html)"), std::string::npos);
    }

} // namespace
} // namespace pivrel::engine::browsertest
