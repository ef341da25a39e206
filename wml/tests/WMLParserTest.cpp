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
        // The line ends around the lines under test are blanks of their own.
        const std::size_t start = code.compare(11, 1, " ") == 0 ? 12 : 11;
        const std::size_t end = code.size() - 13 - (code.compare(code.size() - 14, 1, " ") == 0 ? 1 : 0);
        return code.substr(start, end - start);
    }

    // A line end is white space wherever it stands: a menu of one link per line keeps its words
    // apart, and so does a paragraph split by an empty line.
    TEST(WMLParserJoin, LineEndsJoinAsOneBlank)
    {
        const std::pair<TStringList, const char*> cases[] = {
            { { "<p>", "Hello", "world</p>" }, "<p> Hello world</p>" },
            { { "Hello", "", "world" }, "Hello world" },
            { { "Hello", "<br/>" }, "Hello <br/>" },
            { { "<a href=\"k\">Kino</a>", "<a href=\"w\">Wetter</a>" },
                "<a href=\"k\">Kino</a> <a href=\"w\">Wetter</a>" },
            { { "  Hello  ", "\tworld\t" }, "Hello world" },
            { { "<p>\t", "x" }, "<p> x" },
            { { "a\x01"
                "b",
                  "\x1f" },
                "a b" },
        };
        for (const auto& [lines, joined] : cases)
            EXPECT_EQ(Joined(lines), joined) << lines.front();
    }

    // Control characters inside a line are found eight bytes at a time; one at any place of a long
    // line, a line of exactly eight and one with bytes from 0x80 up must come out as blanks.
    TEST(WMLParserJoin, ControlsAtEveryPlaceOfALongLineBecomeBlanks)
    {
        for (std::size_t at = 1; at <= 20; ++at) {
            const std::string head(at, 'x');
            EXPECT_EQ(Joined({ head + "\tyy" }), head + " yy") << at;
            EXPECT_EQ(Joined({ head + "\x01\x1f" + head }), head + "  " + head) << at;
            EXPECT_EQ(Joined({ head + "\xC3\xA4 \x7f" + head }), head + "\xC3\xA4 \x7f" + head) << at;
        }
        EXPECT_EQ(Joined({ "abcdefgh" }), "abcdefgh");
        EXPECT_EQ(Joined({ "abc\x0b"
                           "efgh" }),
            "abc efgh");
    }

    // Preformatted text keeps its line ends and the blanks that indent its lines.
    TEST(WMLParserJoin, PreformattedTextKeepsLinesAndIndents)
    {
        const std::pair<TStringList, const char*> cases[] = {
            { { "<pre>", "  a  b", "", "c</pre>", "  d" }, "<pre>\n  a  b\n\nc</pre> d" },
            { { "<PRE>x", " y</PRE>" }, "<pre>x\n y</pre>" },
            { { "<pre/>", "  x" }, "<pre/> x" },
            { { "<prefix>", "  x" }, "<prefix> x" },
        };
        for (const auto& [lines, joined] : cases)
            EXPECT_EQ(Joined(lines), joined) << lines.front();
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

    // Long tags are lowered several bytes at a time: quotes at every place within such a run, the
    // characters on either side of "A" and "Z", and bytes of other scripts must come out as a
    // byte-by-byte lowering gives them.
    TEST(WMLParserNormalize, LongTagsAreLoweredLikeShortOnes)
    {
        const std::pair<const char*, const char*> cases[] = {
            { "<INPUT NAME=\"ABCDEFGHIJ\" VALUE='KLMNOP' TITLE=QRSTUVWXYZ>",
                "<input name=\"ABCDEFGHIJ\" value=\"KLMNOP\" title=qrstuvwxyz>" },
            { "<X @[`{AZaz09 \"@[`{AZaz\" @[`{AZ>", "<x @[`{azaz09 \"@[`{AZaz\" @[`{az>" },
            { "<P\"A\"B'C'D\"E\"F'G'H\"I\"J'K'L>", "<p\"A\"b\"C\"d\"E\"f\"G\"h\"I\"j\"K\"l>" },
            { "<ABCDEFG\"HIJKLMNOPQRSTUV", "<ABCDEFG\"HIJKLMNOPQRSTUV" },
            { "<ABCDEFG'HIJKLMNOP'QRSTUVW>", "<abcdefg\"HIJKLMNOP\"qrstuvw>" },
            { "<CAF\xC3\x89 \xC3\x89T\xC3\x89=\"\xC3\x89\" ABCDEFGH>",
                "<caf\xC3\x89 \xC3\x89t\xC3\x89=\"\xC3\x89\" abcdefgh>" },
            { "<ABCDEFGHIJKLMNOPQRSTUVWXYZ\xFF\x80"
              "ABC>",
                "<abcdefghijklmnopqrstuvwxyz\xFF\x80"
                "abc>" },
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
