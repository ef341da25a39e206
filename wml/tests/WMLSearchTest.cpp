#include "wml/WMLCutText.h"
#include "wml/WMLDeck.h"
#include "wml/WMLParser.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace pivrel::wml {
namespace {

    // The search must answer exactly as the library's find does, for every start, near the ends of
    // the text and across the blocks it examines at once.
    TEST(WMLSearch, FindTextAgreesWithPlainFind)
    {
        std::mt19937 random(11);
        const std::string alphabet = "<a=b/>\"p";
        const char* patterns[] = { "<", ">", "=", "<a", "<p", "</p>", "a=", "href=", "<a=b", "pp", "\"", "<<",
            "</a>", "b/>", "<ab", "" };
        for (int trial = 0; trial < 400; ++trial) {
            std::string text(random() % 70, ' ');
            for (char& c : text)
                c = alphabet[random() % alphabet.size()];
            for (const char* pattern : patterns) {
                for (std::size_t from = 0; from <= text.size() + 1; ++from) {
                    const std::size_t want = std::string_view(text).find(pattern, from);
                    ASSERT_EQ(FindText(text, pattern, from), want)
                        << "text '" << text << "' pattern '" << pattern << "' from " << from;
                }
            }
        }
    }

    // A match in the last characters of a view must be found without reading past the view.
    TEST(WMLSearch, FindTextStaysWithinItsView)
    {
        const std::string backing = "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx<p>tail<p>";
        for (std::size_t size = 0; size <= 40; ++size) {
            const std::string_view view(backing.data(), size);
            EXPECT_EQ(FindText(view, "<p>"), view.find("<p>")) << size;
            EXPECT_EQ(FindText(view, "<"), view.find('<')) << size;
        }
    }

    // The four markers are looked for regardless of case, wherever they stand.
    TEST(WMLSearch, DeckMarkersInAnyCaseAndPlace)
    {
        struct TCase {
            TStringList Lines;
            bool Accepted;
        };

        const TCase cases[] = {
            { { "<WmL><CARD>x</cArD></WML>" }, true },
            { { "<wml>", "<CARD>x", "</card>", "</wml>" }, true },
            // A line that continues text is joined with a blank, which splits the marker.
            { { "<wml><card></card", "></wml>" }, false },
            { { "text<<<wml><card></card></wml>" }, true },
            { { "<wml><card></card></wml" }, false },
            { { "<wml><card></card>", "</wm>" }, false },
            { { "< wml><card></card></wml>" }, false },
            { { "<wml><car></card></wml>" }, false },
            { { "<" }, false },
            { { "" }, false },
        };
        for (const TCase& c : cases) {
            TWMLParser parser;
            EXPECT_EQ(parser.Parse(c.Lines), c.Accepted) << c.Lines.front();
        }
    }

    // Lines handed over without a copy give the same deck as lines that are copied, and the parser
    // keeps them either way.
    TEST(WMLSearch, MovedLinesParseLikeCopiedLines)
    {
        const TStringList lines = { "<wml><template><do type=\"prev\" label=\"Back\"><prev/></do></template>",
            "<card id=\"a\" title=\"A\"><p>one <b>two</b><br/>", "three</p></card>",
            "<card id=\"b\"><p><a href=\"#a\">back</a></p></card></wml>" };
        TWMLDeck copied;
        TWMLDeck moved;
        ASSERT_TRUE(copied.Parse(lines));
        TStringList handed = lines;
        ASSERT_TRUE(moved.Parse(std::move(handed)));
        EXPECT_EQ(moved.Parser.WMLLines, lines);
        EXPECT_EQ(moved.WMLCode, copied.WMLCode);
        EXPECT_EQ(moved.Template, copied.Template);
        ASSERT_EQ(moved.CardList.size(), copied.CardList.size());
        for (std::size_t i = 0; i < moved.CardList.size(); ++i) {
            const TWMLCard& a = *moved.CardList[i].Card;
            const TWMLCard& b = *copied.CardList[i].Card;
            EXPECT_EQ(a.ID, b.ID);
            ASSERT_EQ(a.Elements.size(), b.Elements.size());
            for (std::size_t k = 0; k < a.Elements.size(); ++k) {
                EXPECT_EQ(a.Elements[k].Key, b.Elements[k].Key);
                EXPECT_EQ(a.Elements[k].Object->Class(), b.Elements[k].Object->Class());
            }
        }
        // A parser handed its own lines keeps them.
        TWMLParser parser;
        ASSERT_TRUE(parser.Parse(lines));
        ASSERT_TRUE(parser.Parse(parser.WMLLines));
        EXPECT_EQ(parser.WMLLines, lines);
    }

} // namespace
} // namespace pivrel::wml
