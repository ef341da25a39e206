#include "engine/WMLBrowser.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace pivrel::engine {
namespace {

    // Hostile inputs of a megabyte: a quadratic pass over them would run into the test timeout.

    // Builds decks record by record, so that the variable operations are tested apart from the parser.
    class TDeckBuilder
    {
    public:
        explicit TDeckBuilder(TWMLBrowser& browser)
            : m_browser(browser)
        { }

        TDeckBuilder& Card(const std::string& id)
        {
            auto card = std::make_unique<wml::TWMLCard>();
            card->ID = id;
            m_card = card.get();
            m_browser.WMLDeck.CardList.push_back({ id, std::move(card) });
            return *this;
        }

        TDeckBuilder& Input(const std::string& name, const std::string& value)
        {
            auto& input = Add<wml::TWMLInput>(name);
            input.VarObject.Edit().VarName = name;
            input.VarObject.Edit().VarValue = value;
            input.VarObject.Edit().DefaultValue = value;
            return *this;
        }

        TDeckBuilder& Select(const std::string& name, const std::string& value, const std::string& iname,
            const std::string& ivalue)
        {
            auto& select = Add<wml::TWMLSelect>("Select");
            select.VarObject.Edit().VarName = name;
            select.VarObject.Edit().VarValue = value;
            select.VarObject.Edit().DefaultValue = value;
            select.VarObject.Edit().iVarName = iname;
            select.VarObject.Edit().iVarValue = ivalue;
            select.VarObject.Edit().DefaultIValue = ivalue;
            return *this;
        }

        TDeckBuilder& PostField(const std::string& name, const std::string& value)
        {
            auto& field = Add<wml::TWMLPostVariable>("postfield");
            field.VarObject.Edit().VarName = name;
            field.VarObject.Edit().VarValue = value;
            field.VarObject.Edit().DefaultValue = value;
            field.VarObject.Edit().PostVariable = true;
            return *this;
        }

        TDeckBuilder& Text(const std::string& text)
        {
            Add<wml::TWMLText>("").Text = text;
            return *this;
        }

        wml::TWMLCard& CurrentCard() { return *m_card; }

    private:
        template <typename Record> Record& Add(const std::string& key)
        {
            auto record = std::make_unique<Record>();
            Record& result = *record;
            m_card->Elements.push_back({ key, std::move(record) });
            return result;
        }

        TWMLBrowser& m_browser;
        wml::TWMLCard* m_card = nullptr;
    };

    struct TCase {
        std::string Input;
        std::string Expected;
    };

    TEST(Variables, UrlReferencesInEveryFormTakeTheirConvertedValue)
    {
        TWMLBrowser browser;
        TDeckBuilder(browser).Card("c1").Input("q", "a b&amp;c").Input("r", "x%41%2").Input("w", "wap");
        const std::vector<TCase> cases = {
            { "search?q=$(q)", "search?q=a%20b%26c" },
            { "search?q=$q", "search?q=a%20b%26c" },
            { "?$(q:escape)|$(q:e)", "?a%20b%26c|a%20b%26c" },
            { "?$(q:unesc)|$(q:u)|$(q:N)", "?a b&amp;c|a b&amp;c|a b&amp;c" },
            { "?$(r:u)", "?xA%2" },
            { "?$(w)$w$(w:e)$(w:u)$(w:N)", "?wapwapwapwapwap" },
            // A name runs as far as name characters go: $wx names wx, which nothing holds.
            { "?$wx", "?$wx" },
            { "?$w.x", "?wap.x" },
            { "?$$w", "?$$w" },
            { "?$(z)&$z", "?$(z)&$z" },
            { "?$(q:E)", "?$(q:E)" },
            { "no references", "no references" },
        };
        for (const TCase& c : cases)
            EXPECT_EQ(browser.ReplaceVariables(c.Input, false), c.Expected) << c.Input;
    }

    TEST(Variables, ReplaceVarTerminatesWhenAValueHoldsItsOwnReference)
    {
        const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases = {
            { "$(a:N)", "a", "$(a:N)", "$(a:N)" },
            { "$(a:N)$(a:N)", "a", "[$(a:N)]", "[$(a:N)][$(a:N)]" },
            { "$(a:u)", "a", "$(a:u)", "$(a:u)" },
            { "$(a)", "a", "$(a)", "%24%28a%29" },
            { "$a$a", "a", "x", "xx" },
            { "$(a)", "", "x", "$(a)" },
            { "", "a", "x", "" },
        };
        for (const auto& [text, name, value, expected] : cases)
            EXPECT_EQ(TWMLBrowser::ReplaceVar(text, name, value), expected)
                << text << " / " << name << " / " << value;
    }

    TEST(Variables, UrlSubstitutionUsesTheFirstHolderAndSkipsPostFields)
    {
        TWMLBrowser browser;
        TDeckBuilder(browser)
            .Card("c1")
            .Input("a", "1")
            .PostField("p", "secret")
            .Card("c2")
            .Input("a", "2")
            .Select("s", "v", "is", "3");
        EXPECT_EQ(browser.ReplaceVariables("u?a=$(a)&p=$(p)&s=$(s)&i=$(is)", false), "u?a=1&p=$(p)&s=v&i=3");
        EXPECT_EQ(browser.GetVariable("a"), "1");
        EXPECT_EQ(browser.GetVariable("p"), "");
        EXPECT_EQ(browser.GetVariable("is"), "3");
        EXPECT_EQ(browser.GetVariable("A"), "");
        // A value that holds a reference is substituted as it is, not read again.
        browser.SetVariable("a", "$(s:N)");
        EXPECT_EQ(browser.ReplaceVariables("$(a:N)", false), "$(s:N)");
    }

    TEST(Variables, PostBodyIsTheFieldsFormEncodedWithEveryReferenceExpanded)
    {
        TWMLBrowser browser;
        TDeckBuilder(browser).Card("c1").PostField("deck", "never").Input("pw", "x&y");
        const wml::TWMLPostFields fields = {
            { "u", "bob" },
            { "v", "x y&amp;z=1" },
            { "p", "$(pw)" },
            { "q", "$pw:e)" },
            { "lit", "x$(pw)$$" },
            { "na me", "" },
            { "none", "$(nobody)" },
            { "esc", "$(pw:e)" },
        };
        EXPECT_EQ(browser.FormData(fields),
            "u=bob&v=x+y%26z%3D1&p=x%26y&q=x%26y%3Ae%29&lit=xx%26y%24&na+me=&none=&esc=x%2526y");
        // Without a task to follow, the deck's post fields stay at home.
        EXPECT_EQ(browser.ReplaceVariables("u?pw=$(pw)", true), "u?pw=x%26y");
        EXPECT_EQ(browser.SendStream, std::optional<std::string>(""));

        // A GET hands over an empty body; a deck without cards hands over none, whatever was there.
        browser.ReplaceVariables("u", false);
        EXPECT_EQ(browser.SendStream, std::optional<std::string>(""));
        TWMLBrowser empty;
        empty.SendStream = "stale";
        empty.ReplaceVariables("u", true);
        EXPECT_FALSE(empty.SendStream.has_value());
    }

    TEST(Variables, SetVariableWritesEveryHolderAndApplySetVarsKeepsValuesAsWritten)
    {
        TWMLBrowser browser;
        TDeckBuilder builder(browser);
        builder.Card("c1")
            .Input("a", "1")
            .Select("s", "v", "is", "0")
            .Card("c2")
            .Input("a", "2")
            .PostField("a", "p");
        browser.SetVariable("a", "3");
        EXPECT_EQ(browser.GetVariable("a"), "3");
        EXPECT_EQ(browser.WMLDeck.CardList[1].Card->Elements[0].Object->VarObject->VarValue, "3");
        browser.SetVariable("is", "5");
        EXPECT_EQ(browser.GetVariable("is"), "5");
        auto& select = *browser.WMLDeck.CardList[0].Card->Elements[1].Object;
        EXPECT_EQ(select.VarObject->DefaultIValue, "5");
        auto& field = *browser.WMLDeck.CardList[1].Card->Elements[1].Object;
        // A post field sends what the deck wrote, whatever variable shares its name.
        EXPECT_EQ(field.VarObject->VarValue, "p");
        EXPECT_EQ(field.VarObject->DefaultValue, "p");

        wml::TWMLVariable setvars;
        setvars.SetVarNames = { "a", "nobody", "s", "extra" };
        setvars.SetVarValues = { "$(b)", "x", "w" };
        browser.ApplySetVars(setvars);
        EXPECT_EQ(browser.GetVariable("a"), "$(b)");
        EXPECT_EQ(browser.GetVariable("s"), "w");
        // A name no record holds lives in the browser context.
        EXPECT_EQ(browser.GetVariable("nobody"), "x");
        EXPECT_EQ(browser.GetVariable("extra"), "");
    }

    // Setting and reading variables walks every record of the deck: the records that hold none
    // must stay without a variable block, or a large deck would grow by one block a record.
    TEST(Variables, RecordsWithoutVariablesGainNoBlock)
    {
        TWMLBrowser browser;
        TDeckBuilder(browser).Card("c1").Text("one").Input("a", "1").Card("c2").Text("two");
        browser.SetVariable("a", "2");
        browser.SetVariable("b", "3");
        EXPECT_EQ(browser.GetVariable("a"), "2");
        EXPECT_EQ(browser.ExpandText("$(b)$(c)"), "3");
        const auto& cards = browser.WMLDeck.CardList;
        EXPECT_FALSE(cards[0].Card->Elements[0].Object->VarObject.Exists());
        EXPECT_FALSE(cards[1].Card->Elements[0].Object->VarObject.Exists());
        EXPECT_EQ(cards[0].Card->Elements[1].Object->VarObject->VarValue, "2");
    }

    TEST(Variables, SameNamedHoldersAreOneVariableWithOneValue)
    {
        TWMLBrowser browser;
        TDeckBuilder(browser).Card("c1").Input("a", "").Input("a", "x").Card("c2").Input("a", "y");
        EXPECT_EQ(browser.GetVariable("a"), "");
        browser.SetVariable("a", "typed");
        EXPECT_EQ(browser.GetVariable("a"), "typed");
        EXPECT_EQ(browser.ExpandText("$(a)"), "typed");
        EXPECT_EQ(browser.WMLDeck.CardList[1].Card->Elements[0].Object->VarObject->VarValue, "typed");
        // A list of several choices keeps its own joined value.
        browser.SetVariable("a", "a;c");
        EXPECT_EQ(browser.GetVariable("a"), "a;c");
    }

    TEST(Variables, ExpandTextExpandsEveryReferenceAndDecodes)
    {
        TWMLBrowser browser;
        TDeckBuilder(browser).Card("c1").Input("q", "wap").Input("age", "7").Input("e", "a&amp;b c");
        const std::vector<TCase> cases = {
            { "You typed $(q) and $(q)", "You typed wap and wap" },
            { "Hello $(q), you are $(age)", "Hello wap, you are 7" },
            { "$a or $(q)", " or wap" },
            { "Price: $$5", "Price: $5" },
            { "$$(q) $(q)", "$(q) wap" },
            { "$(q:escape)!", "wap!" },
            { "$(e:e)", "a%26b%20c" },
            // A name is a WML name: punctuation ends it.
            { "$q, $q.", "wap, wap." },
            { "[$q_2|$q2|$_q]", "[||]" },
            { "$(e)", "a&b c" },
            { "cost $ 5", "cost $ 5" },
            { "ends in $", "ends in $" },
            { "$(q", "$(q" },
            { "$(q:bad) $(1q) $1", "$(q:bad) $(1q) $1" },
            { "$(nobody)x", "x" },
            { "a  b&amp;lt;", "a b<" },
            { "$$$", "$$" },
            { "", "" },
        };
        for (const TCase& c : cases)
            EXPECT_EQ(browser.ExpandText(c.Input), c.Expected) << c.Input;
    }

    TEST(Variables, EscapingHelpersCoverEveryByteClass)
    {
        EXPECT_EQ(UrlEscape("Az09-_.~ /?&=%+\x01\xFF"), "Az09-_.~%20%2F%3F%26%3D%25%2B%01%FF");
        EXPECT_EQ(FormEncode("a b+c\xC3\xA9"), "a+b%2Bc%C3%A9");
        const std::vector<TCase> unescapes = {
            { "%41%4a%4A", "AJJ" },
            { "%", "%" },
            { "%4", "%4" },
            { "%G1%1G", "%G1%1G" },
            { "%%41", "%A" },
            { "%00", std::string(1, '\0') },
            { "a%2", "a%2" },
        };
        for (const TCase& c : unescapes)
            EXPECT_EQ(UrlUnescape(c.Input), c.Expected) << c.Input;
        for (int byte = 0; byte < 256; ++byte) {
            std::string one(1, static_cast<char>(byte));
            EXPECT_EQ(UrlUnescape(UrlEscape(one)), one);
        }
    }

    TEST(Variables, EmptyCurrentValuesFallBackToTheInitialOnes)
    {
        TWMLBrowser browser;
        TDeckBuilder builder(browser);
        builder.Card("c1").Select("s", "v", "is", "2");
        auto& select = *builder.CurrentCard().Elements[0].Object;
        select.VarObject.Edit().VarValue.clear();
        select.VarObject.Edit().iVarValue.clear();
        EXPECT_EQ(browser.ReplaceVariables("$(s)/$(is)", false), "v/2");
        EXPECT_EQ(browser.GetVariable("s"), "v");
        EXPECT_EQ(browser.ExpandText("[$(is)]"), "[2]");
    }

    TEST(Variables, ParsedDeckCarriesInputsPostFieldsAndSetVars)
    {
        TWMLBrowser browser;
        const base::TStringList lines = base::SplitLines(R"WML(<?xml version="1.0"?>
<wml><card id="c1"><p>Name: <input name="q" value="a b"/>
<anchor>Go<go href="s?q=$(q)" method="post"><postfield name="u" value="$(q)"/></go></anchor>
You typed $(q).</p></card>
<card id="c2"><do type="accept" label="Set"><go href="#c1"/><setvar name="q" value="new&amp;x"/></do>
<p>x</p></card></wml>)WML");
        // The records of both cards are read, the second never entered.
        browser.WMLDeck.BuildOnDemand = false;
        ASSERT_TRUE(browser.WMLDeck.Parse(lines));
        EXPECT_EQ(browser.ReplaceVariables("s?q=$(q)", true), "s?q=a%20b");
        const wml::TWMLElementList& first = browser.WMLDeck.CardList[0].Card->Elements;
        std::size_t link = 0;
        while (link < first.size() && first[link].Object->Class() != wml::TWMLClass::Link)
            ++link;
        const wml::TWMLPostFields fields = wml::LinkPostFields(first, link);
        EXPECT_EQ(browser.FormData(fields), "u=a+b");

        const wml::TWMLObject* button = nullptr;
        for (const auto& entry : browser.WMLDeck.CardList) {
            for (const auto& element : entry.Card->Elements) {
                if (element.Object->Class() == wml::TWMLClass::Btn)
                    button = element.Object.get();
            }
        }
        ASSERT_NE(button, nullptr);
        browser.ApplySetVars(*button->VarObject);
        EXPECT_EQ(browser.GetVariable("q"), "new&amp;x");
        EXPECT_EQ(browser.ExpandText("You typed $(q)."), "You typed new&x.");
        EXPECT_EQ(browser.ReplaceVariables("s?q=$(q)&raw=$(q:N)", true), "s?q=new%26x&raw=new&amp;x");
        EXPECT_EQ(browser.FormData(fields), "u=new%26x");
    }

    TEST(Variables, HostileTextsGoThroughInLinearTime)
    {
        TWMLBrowser browser;
        TDeckBuilder(browser)
            .Card("c1")
            .Input("a", "$(a)")
            .Input(std::string(1000, 'a'), "v")
            .PostField("p", "$(a)");
        const std::size_t n = 1 << 20;
        std::vector<std::string> texts;
        std::string opens;
        for (std::size_t i = 0; i < n / 2; ++i)
            opens += "$(";
        texts.push_back(opens);
        texts.push_back(std::string(n, '$'));
        texts.push_back("$(" + std::string(n, 'a'));
        texts.push_back(std::string(n, 'a') + "$");
        std::string refs;
        for (std::size_t i = 0; i < n / 4; ++i)
            refs += "$(a)";
        texts.push_back(refs);
        texts.push_back("$" + std::string(n, 'a'));
        for (const std::string& text : texts) {
            std::string expanded = browser.ExpandText(text);
            std::string url = browser.ReplaceVariables(text, true);
            std::string replaced = TWMLBrowser::ReplaceVar(text, std::string(999, 'a'), text.substr(0, 1000));
            EXPECT_LE(url.size(), 3 * text.size() + 16);
        }
    }

} // namespace
} // namespace pivrel::engine
