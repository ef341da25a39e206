#include "wml/WMLCard.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace pivrel::wml {
namespace {

    std::unique_ptr<TWMLCard> ParseCard(const std::string& code, const std::string& templ = {})
    {
        auto card = std::make_unique<TWMLCard>();
        card->WMLCode = code;
        card->Template = templ;
        card->Parse(code);
        return card;
    }

    // A task as one line: kind, address, method, post fields and setvars.
    std::string Describe(const TWMLTask& task)
    {
        static const char* const kKinds[] = { "none", "go", "prev", "refresh", "noop" };
        std::string out = kKinds[static_cast<int>(task.Kind)];
        if (!task.Href.empty())
            out += " " + task.Href;
        if (task.Post)
            out += " post";
        for (const TWMLPostField& field : task.PostFields)
            out += " " + field.Name + "=" + field.Value;
        for (std::size_t i = 0; i < task.SetVarNames.size() && i < task.SetVarValues.size(); ++i)
            out += " set " + task.SetVarNames[i] + ":" + task.SetVarValues[i];
        return out;
    }

    template <typename Record> const Record* Find(const TWMLCard& card, std::size_t nth = 0)
    {
        for (const TWMLElement& element : card.Elements) {
            if (dynamic_cast<const Record*>(element.Object.get()) != nullptr && nth-- == 0)
                return static_cast<const Record*>(element.Object.get());
        }
        return nullptr;
    }

    TEST(WMLTask, ParseTaskReadsTheFirstTaskElement)
    {
        const std::vector<std::pair<std::string, std::string>> cases = {
            { R"~(<go href="a.wml"/>)~", "go a.wml" },
            { R"~(<go href="f" method="post"><postfield name="u" value="$(u)"/><postfield name="p" value="x"/>)~"
              R"~(<setvar name="s" value="1"/></go>)~",
                "go f post u=$(u) p=x set s:1" },
            { R"~(<go method="get" href="f"><postfield name="q" value="1"/></go>)~", "go f q=1" },
            { R"~(<prev><setvar name="a" value=""/></prev>)~", "prev set a:" },
            { R"~(<refresh><setvar name="n" value="2"/></refresh>)~", "refresh set n:2" },
            { "<noop/>", "noop" },
            // A longer tag name is no task, and the first task wins.
            { R"~(<previous/><good/><prev/><go href="x"/>)~", "prev" },
            { R"~(<go href="x" method="POST"/>)~", "go x" },
            { "no task here", "none" },
            { "<go", "go" },
        };
        for (const auto& [code, expected] : cases)
            EXPECT_EQ(Describe(ParseTask(code)), expected) << code;
    }

    TEST(WMLTask, ADoCarriesItsOwnPostFieldsAndMethod)
    {
        const auto card
            = ParseCard(R"~(<card id="login"><do type="accept" label="Login">)~"
                        R"~(<go href="/login" method="post"><postfield name="user" value="$(user)"/>)~"
                        R"~(<postfield name="pass" value="$(pass)"/></go></do>)~"
                        R"~(<do type="options" label="Find"><go href="find"><postfield name="q" value="1"/>)~"
                        R"~(</go></do><p><input name="user"/></p></card>)~");
        const TWMLBtn* login = Find<TWMLBtn>(*card);
        ASSERT_NE(login, nullptr);
        EXPECT_TRUE(login->Post);
        EXPECT_EQ(login->Link, "/login");
        EXPECT_EQ(login->PostFields, (TWMLPostFields { { "user", "$(user)" }, { "pass", "$(pass)" } }));
        const TWMLBtn* find = Find<TWMLBtn>(*card, 1);
        ASSERT_NE(find, nullptr);
        EXPECT_FALSE(find->Post);
        EXPECT_EQ(find->PostFields, (TWMLPostFields { { "q", "1" } }));
        // No loose post field records: the fields live in their buttons.
        EXPECT_EQ(Find<TWMLPostVariable>(*card), nullptr);
    }

    TEST(WMLTask, EachLinkOwnsOnlyThePostFieldsInFrontOfIt)
    {
        const auto card
            = ParseCard(R"~(<card id="c"><p>)~"
                        R"~(<a>A<go href="a" method="post"><postfield name="x" value="1"/>)~"
                        R"~(<postfield name="y" value="2"/></go></a>)~"
                        R"~(<a href="plain">P</a>)~"
                        R"~(<a>B<go href="b" method="post"><postfield name="pw" value="s"/></go></a>)~"
                        R"~(</p></card>)~");
        std::vector<TWMLPostFields> perLink;
        for (std::size_t i = 0; i < card->Elements.size(); ++i) {
            if (card->Elements[i].Object->Class() == TWMLClass::Link)
                perLink.push_back(LinkPostFields(card->Elements, i));
        }
        const std::vector<TWMLPostFields> expected = {
            { { "x", "1" }, { "y", "2" } },
            {},
            { { "pw", "s" } },
        };
        EXPECT_EQ(perLink, expected);
        EXPECT_TRUE(LinkPostFields(card->Elements, 0).empty());
        EXPECT_TRUE(LinkPostFields(card->Elements, 999).empty());
    }

    TEST(WMLTask, AnchorsOfPrevRefreshAndSetvarTasks)
    {
        const auto card = ParseCard(R"~(<card id="c"><p><a>Back<prev/></a>)~"
                                    R"~(<a>Reset<refresh><setvar name="n" value=""/></refresh></a>)~"
                                    R"~(<a>Go<go href="#d"><setvar name="a" value="1"/></go></a>)~"
                                    R"~(<a href="x.wml">X</a></p></card>)~");

        struct TRow {
            std::string Link;
            bool Refresh;
            TStringList Names;
        };

        const std::vector<TRow> expected = {
            { "@prev", false, {} },
            { "", true, { "n" } },
            { "#d", false, { "a" } },
            { "x.wml", false, {} },
        };
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const TWMLLink* link = Find<TWMLLink>(*card, i);
            ASSERT_NE(link, nullptr) << i;
            EXPECT_EQ(link->Link, expected[i].Link) << i;
            EXPECT_EQ(link->Refresh, expected[i].Refresh) << i;
            EXPECT_EQ(link->VarObject->SetVarNames, expected[i].Names) << i;
        }
    }

    TEST(WMLTask, EventsBindTasksToTheCard)
    {
        const auto card = ParseCard(
            R"~(<card id="c" onenterbackward="#back" ontimer="#old">)~"
            R"~(<onevent type="onenterforward"><refresh><setvar name="v" value="1"/></refresh></onevent>)~"
            R"~(<onevent type="ontimer"><go href="#b" method="post"><postfield name="t" value="x"/></go></onevent>)~"
            R"~(<onevent type="onpick"><go href="#never"/></onevent>)~"
            R"~(<timer value="10"/><p>Text</p></card>)~");
        EXPECT_EQ(Describe(card->OnEnterForward), "refresh set v:1");
        EXPECT_EQ(Describe(card->OnEnterBackward), "go #back");
        EXPECT_EQ(Describe(card->OnTimer), "go #b post t=x");
        // The timer record shows where the event's go leads, and the events leave no records.
        EXPECT_EQ(card->OnTimerURL, "#b");
        const TWMLTimer* timer = Find<TWMLTimer>(*card);
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->Link, "#b");
        EXPECT_EQ(card->Elements.size(), 3u);

        // The card's own binding follows the template's and so replaces it.
        const auto templated = ParseCard(R"~(<card id="d"><onevent type="ontimer"><prev/></onevent></card>)~",
            R"~(<onevent type="ontimer"><go href="#t"/></onevent>)~");
        EXPECT_EQ(Describe(templated->OnTimer), "prev");
        EXPECT_EQ(templated->OnTimerURL, "");
    }

    TEST(WMLTask, TimerExpiryHandsOverTheTimerTask)
    {
        const auto card
            = ParseCard(R"~(<card id="a"><onevent type="ontimer"><go href="#b"/></onevent></card>)~");
        std::vector<std::string> tasks;
        std::vector<std::string> urls;
        card->OnTimerNavigate = [&](const std::string& url) { urls.push_back(url); };
        card->OnTimerTask = [&](const TWMLTask& task) { tasks.push_back(Describe(task)); };
        card->Timer.Enabled = true;
        card->TimerExpired();
        EXPECT_FALSE(card->Timer.Enabled);
        EXPECT_EQ(tasks, std::vector<std::string> { "go #b" });
        EXPECT_TRUE(urls.empty());
    }

} // namespace
} // namespace pivrel::wml
