#include "wml/WMLParser.h"

#include <gtest/gtest.h>

namespace pivrel::wml {
namespace {

    std::string Joined(const TStringList& lines)
    {
        // The markers make the text a deck; the test looks at what lies between them.
        TStringList all = { "<wml><card>" };
        all.insert(all.end(), lines.begin(), lines.end());
        all.push_back("</card></wml>");
        TWMLParser parser;
        EXPECT_TRUE(parser.Parse(all));
        const std::string& code = parser.WMLCode;
        return code.substr(11, code.size() - 11 - 13);
    }

    TEST(WMLParserJoin, LinesJoinWithOneBlankOnlyAfterText)
    {
        EXPECT_EQ(Joined({ "<p>", "Hello", "world</p>" }), "<p>Hello world</p>");
        EXPECT_EQ(Joined({ "Hello", "", "world" }), "Helloworld");
        EXPECT_EQ(Joined({ "Hello", "<br/>" }), "Hello<br/>");
        EXPECT_EQ(Joined({ "  Hello  ", "\tworld\t" }), "Hello world");
        // The previous line is judged as stored, with only blanks trimmed: a trailing tab counts as text.
        EXPECT_EQ(Joined({ "<p>\t", "x" }), "<p> x");
        EXPECT_EQ(Joined({ "a\x01"
                           "b",
                      "\x1f" }),
            "a b");
    }

    TEST(WMLParserAccept, AllFourMarkersAreNeeded)
    {
        TWMLParser parser;
        EXPECT_TRUE(parser.Parse({ "<WML><Card>x</CARD></wml>" }));
        EXPECT_EQ(parser.WMLCode, "<wml><card>x</card></wml>");
        EXPECT_EQ(parser.WMLLines, (TStringList { "<WML><Card>x</CARD></wml>" }));

        // A rejected text keeps the code of the last accepted one.
        EXPECT_FALSE(parser.Parse({ "<wml><card>no end</wml>" }));
        EXPECT_EQ(parser.WMLCode, "<wml><card>x</card></wml>");
        EXPECT_EQ(parser.WMLLines, (TStringList { "<wml><card>no end</wml>" }));
        EXPECT_FALSE(parser.Parse({}));
        EXPECT_FALSE(parser.Parse({ "<html><body>card</body></html>" }));
    }

    TEST(WMLParserNormalize, TagsAreLoweredAndQuotedOutsideValues)
    {
        const std::pair<const char*, const char*> cases[] = {
            { "<CARD ID='Main' Title=\"Start Page\">", "<card id=\"Main\" title=\"Start Page\">" },
            { "Text <B>Keeps</B> Case", "Text <b>Keeps</b> Case" },
            { "<p title=\"Bob's\">", "<p title=\"Bob\"s\">" },
            { "<p title=\"open>rest", "<p title=\"open>rest" },
            { "a <b", "a <b" },
            { "<<b>", "<<b>" },
            { ">>", ">>" },
            { "", "" },
            { "<x A=\"Q\" B>", "<x a=\"Q\" b>" },
        };
        for (const auto& [text, expected] : cases)
            EXPECT_EQ(TWMLParser::Normalize(text), expected) << text;
    }

    TEST(WMLParserNormalize, OldFormsAreRewritten)
    {
        const std::pair<const char*, const char*> cases[] = {
            { "<card name=\"start\">", "<card id=\"start\">" },
            // "id" inside the value "video" stops the rewrite.
            { "<card name=\"video\">", "<card name=\"video\">" },
            { "<select key=\"k\">", "<select name=\"k\">" },
            { "<select name=\"n\" key=\"k\">", "<select name=\"n\" key=\"k\">" },
            { "<option onclick=\"#a\">", "<option onpick=\"#a\">" },
            { "<input key=\"k\" default=\"d\">", "<input name=\"k\" value=\"d\">" },
            { "<input name=\"n\" default=\"d\" value=\"v\">",
                "<input name=\"n\" default=\"d\" value=\"v\">" },
            { "<go url=\"next.wml\"/>", "<go href=\"next.wml\"></go>" },
            { "<go href=\"x?url=y\">", "<go href=\"x?href=y\">" },
            { "<anchor>Next<go href=\"#b\"/></anchor>", "<a>Next<go href=\"#b\"></go></a>" },
            { "<ANCHOR TITLE='t'>", "<a title=\"t\">" },
        };
        for (const auto& [text, expected] : cases)
            EXPECT_EQ(TWMLParser::Normalize(text), expected) << text;
    }

} // namespace
} // namespace pivrel::wml
