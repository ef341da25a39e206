#include "wml/WMLDeck.h"

#include "base/StringList.h"

#include <gtest/gtest.h>
#include <memory>

namespace pivrel::wml {
namespace {

    std::vector<std::string> CardIDs(const TWMLDeck& deck)
    {
        std::vector<std::string> ids;
        for (const TWMLCardEntry& entry : deck.CardList)
            ids.push_back(entry.Key);
        return ids;
    }

    std::string FirstText(const TWMLCard& card)
    {
        for (const TWMLElement& element : card.Elements) {
            if (element.Object->Class() == TWMLClass::Text)
                return element.Object->As<TWMLText>().Text;
        }
        return "<none>";
    }

    TEST(WMLDeckParse, CardsTemplateAndEvents)
    {
        TWMLDeck deck;
        std::vector<std::string> events;
        deck.OnParsing = [&](TWMLDeck&) { events.push_back("parsing"); };
        deck.OnParseComplete = [&](TWMLDeck&) { events.push_back("complete"); };
        deck.OnParseError = [&](TWMLDeck&) { events.push_back("error"); };
        deck.MainFont.Name = "Tahoma";
        deck.MainFont.Size = 14;
        deck.MainFont.Bold = true;
        EXPECT_TRUE(deck.Parse({ "<?xml version=\"1.0\"?>", "<wml>", "<card id=\"a\" title=\"A\">",
            "<p>One</p></card>", "<template><do type=\"prev\" label=\"Back\"><prev/></do></template>",
            "<card id=\"b\"><p>Two</p></card>", "</wml>" }));
        EXPECT_EQ(events, (std::vector<std::string> { "parsing", "complete" }));
        EXPECT_EQ(CardIDs(deck), (std::vector<std::string> { "a", "b" }));
        EXPECT_EQ(deck.Template, "<template><do type=\"prev\" label=\"Back\"><prev/></do></template>");
        for (const TWMLCardEntry& entry : deck.CardList) {
            const TWMLCard& card = *entry.Card;
            // Every card sees the template, wherever it stands, ahead of its own elements.
            EXPECT_EQ(card.Template, deck.Template);
            ASSERT_FALSE(card.Elements.empty());
            EXPECT_EQ(card.Elements[0].Key, "Back");
            EXPECT_EQ(card.TextFont.Name, "Arial");
            EXPECT_EQ(card.TextFont.Size, 10);
            EXPECT_TRUE(card.TextFont.Bold);
        }
        EXPECT_EQ(FirstText(*deck.CardList[0].Card), "One");
        EXPECT_EQ(deck.CardList[1].Card->WMLCode, "<card id=\"b\"><p>Two</p></card>");
        EXPECT_EQ(deck.WMLCode.Text().substr(0, 5), "<?xml");
    }

    TEST(WMLDeckParse, RejectedTextLeavesNoCards)
    {
        TWMLDeck deck;
        ASSERT_TRUE(deck.Parse({ "<wml><card id=\"x\">x</card></wml>" }));
        int errors = 0;
        int completes = 0;
        deck.OnParseError = [&](TWMLDeck&) { ++errors; };
        deck.OnParseComplete = [&](TWMLDeck&) { ++completes; };
        deck.CurrentCard = 3;
        EXPECT_FALSE(deck.Parse({ "<wml><card id=\"only\">no closing tag</wml>" }));
        EXPECT_TRUE(deck.CardList.empty());
        EXPECT_TRUE(deck.WMLCode.empty());
        EXPECT_EQ(errors, 1);
        EXPECT_EQ(completes, 1);
        EXPECT_EQ(deck.CurrentCard, 3); // card rendering sets it again
    }

    TEST(WMLDeckParse, OddCardLayouts)
    {
        struct TCase {
            TStringList Lines;
            std::vector<std::string> IDs;
        };

        const TCase cases[] = {
            { { "<wml><card id=\"a\"/><card id=\"b\">x</card></wml>" }, { "a", "b" } },
            { { "<wml><card name=\"start\">x</card><card name=\"video\">y</card></wml>" }, { "start", "" } },
            { { "<wml><card id=\"a\">x</card><card id=\"a\">y</card><card>z</card></wml>" },
                { "a", "a", "" } },
            // A stray closing tag before the first card: the search cannot delimit it.
            { { "<wml></card><card id=\"a\">x</card></wml>" }, {} },
            // Nested cards end at the first closing tag; the outer rest is no card.
            { { "<wml><card id=\"a\"><card id=\"b\">x</card>y</card></wml>" }, { "a" } },
            // Cutting a card can join "<ca" and "rd" into a new card start.
            { { "<wml><ca<card id=\"a\">x</card>rd id=\"b\">y</card></wml>" }, { "a", "b" } },
            { { "<wml>", "</wml><card>x</card>" }, {} },
            { { "<WML>", "<CARD ID=\"Up\">x</CARD>", "</WML>" }, { "Up" } },
        };
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Lines[0]);
            TWMLDeck deck;
            EXPECT_EQ(deck.Parse(c.Lines), !c.IDs.empty());
            EXPECT_EQ(CardIDs(deck), c.IDs);
        }
    }

    // A card's text is the part of the deck's text it was cut from, shared rather than copied,
    // unless the cut joined it from pieces; either way it reads as the card element and stays
    // readable when the card outlives its deck.
    TEST(WMLDeckParse, CardsShareTheDecksTextWhereItLiesInOnePiece)
    {
        const struct {
            const char* Text;
            std::vector<std::string> Cards;
            std::vector<bool> Shared;
        } cases[] = {
            { "<wml><card id=\"a\">x</card> <card id=\"b\">y</card></wml>",
                { "<card id=\"a\">x</card>", "<card id=\"b\">y</card>" }, { true, true } },
            { "<wml><template>t</template><card id=\"a\"><p>x</p></card></wml>",
                { "<card id=\"a\"><p>x</p></card>" }, { true } },
            { "<wml><ca<card id=\"a\">x</card>rd id=\"b\">y</card></wml>",
                { "<card id=\"a\">x</card>", "<card id=\"b\">y</card>" }, { true, false } },
            { "<wml><card id=\"a\"><card id=\"b\">x</card>y</card></wml>",
                { "<card id=\"a\"><card id=\"b\">x</card>" }, { true } },
        };

        for (const auto& c : cases) {
            SCOPED_TRACE(c.Text);
            auto deck = std::make_unique<TWMLDeck>();
            ASSERT_TRUE(deck->ParseText(c.Text));
            ASSERT_EQ(deck->CardList.size(), c.Cards.size());
            const std::string_view whole = deck->WMLCode;
            std::vector<std::unique_ptr<TWMLCard>> kept;
            for (std::size_t i = 0; i < c.Cards.size(); ++i) {
                const std::string_view text = deck->CardList[i].Card->WMLCode;
                EXPECT_EQ(text, c.Cards[i]);
                const bool shared = text.data() >= whole.data() && text.data() < whole.data() + whole.size();
                EXPECT_EQ(shared, c.Shared[i]) << i;
                kept.push_back(std::move(deck->CardList[i].Card));
            }
            deck.reset();
            for (std::size_t i = 0; i < c.Cards.size(); ++i)
                EXPECT_EQ(kept[i]->WMLCode, c.Cards[i]);
        }
    }

    TEST(WMLDeckParse, TemplateWithinCardsChangesAsCardsAreCut)
    {
        // The template's closing tag lies after the first card: its text shrinks once that card is cut.
        TWMLDeck deck;
        ASSERT_TRUE(deck.Parse(
            { "<wml><template><card id=\"a\">x</card>t</template><card id=\"b\">y</card></wml>" }));
        EXPECT_EQ(CardIDs(deck), (std::vector<std::string> { "a", "b" }));
        EXPECT_EQ(deck.CardList[0].Card->Template, "<template><card id=\"a\">x</card>t</template>");
        EXPECT_EQ(deck.CardList[1].Card->Template, "<template>t</template>");
    }

    TEST(WMLDeckParse, CardTimerAndImagesAreHandedToEveryCard)
    {
        class TLoader : public TCardImageLoader
        {
        public:
            void LoadCardImage(TWMLImage&, const std::string& src) override { Sources.push_back(src); }

            std::vector<std::string> Sources;
        } loader;

        TWMLDeck deck;
        std::vector<std::string> urls;
        deck.ImageLoader = &loader;
        deck.OnCardTimer = [&](const std::string& url) { urls.push_back(url); };
        ASSERT_TRUE(
            deck.Parse({ "<wml><card ontimer=\"#b\"><img src=\"a.wbmp\"/></card><card id=\"b\"/></wml>" }));
        EXPECT_EQ(loader.Sources, (std::vector<std::string> { "a.wbmp" }));
        deck.CardList[0].Card->TimerExpired();
        EXPECT_EQ(urls, (std::vector<std::string> { "#b" }));
    }

    TEST(WMLDeckParse, DeckLimitStopsBuildingCards)
    {
        TWMLDeck deck;
        deck.Limits.BytesPerInputByte = 1;
        deck.Limits.Slack = 0;
        // Every card gets the whole template, so the card texts add up to more than the deck.
        std::string text = "<wml><template>" + std::string(200, 'x') + "</template>";
        for (int i = 0; i < 10; ++i)
            text += "<card id=\"c" + std::to_string(i) + "\">y</card>";
        text += "</wml>";
        EXPECT_TRUE(deck.Parse({ text }));
        EXPECT_GT(deck.CardList.size(), 0u);
        EXPECT_LT(deck.CardList.size(), 10u);
    }

    // A record budget counts at least what the records take: the record itself and its place in the
    // element list. Records of every kind, spread over many cards, stay within one deck-wide budget.
    TEST(WMLDeckParse, RecordBudgetCountsWhatRecordsReallyCost)
    {
        constexpr std::size_t kBudget = std::size_t(1) << 20;
        const auto repeat = [](std::string_view piece, std::size_t times) {
            std::string out;
            for (std::size_t i = 0; i < times; ++i)
                out.append(piece);
            return out;
        };

        const struct {
            const char* Name;
            std::string Body;
            std::size_t RecordSize;
        } cases[] = {
            { "line breaks", repeat("<br/>", 20000), sizeof(TWMLBR) },
            { "anchor openings", repeat("<a ", 20000), sizeof(TWMLLink) },
            { "words between tags", repeat("w<b>", 20000), sizeof(TWMLText) },
            { "inputs", repeat("<input name=\"n\"/>", 20000), sizeof(TWMLInput) },
        };

        for (const auto& c : cases) {
            SCOPED_TRACE(c.Name);
            TWMLDeck deck;
            deck.Limits.RecordBytesPerInputByte = 0;
            deck.Limits.RecordSlack = kBudget;
            EXPECT_TRUE(deck.Parse({ "<wml>" + repeat("<card>" + c.Body + "</card>", 3) + "</wml>" }));
            std::size_t records = 0;
            std::size_t accounted = 0;
            for (const TWMLCardEntry& entry : deck.CardList) {
                records += entry.Card->Elements.size();
                accounted += entry.Card->RecordBytes();
            }
            EXPECT_GT(records, 0u);
            EXPECT_LE(accounted, kBudget);
            EXPECT_LE(records * (c.RecordSize + sizeof(TWMLElement)), kBudget);
            // The budget ends the deck: the card that reached it is the last one built.
            EXPECT_LT(deck.CardList.size(), 3u);
        }
    }

    // Every card holds the template and its own text; those copies weigh as much as records and
    // come out of the same budget, so a long template cannot multiply the deck past it.
    TEST(WMLDeckParse, RecordBudgetCountsTheCardsTextCopies)
    {
        constexpr std::size_t kBudget = std::size_t(1) << 20;
        std::string text = "<wml><template>" + std::string(64 << 10, 'x') + "</template>";
        for (int i = 0; i < 100; ++i)
            text += "<card id=\"c" + std::to_string(i) + "\"><p>y</p></card>";
        TWMLDeck deck;
        deck.Limits.RecordBytesPerInputByte = 0;
        deck.Limits.RecordSlack = kBudget;
        EXPECT_TRUE(deck.Parse({ text + "</wml>" }));
        std::size_t copies = 0;
        for (const TWMLCardEntry& entry : deck.CardList)
            copies += entry.Card->Template.size() + entry.Card->WMLCode.size();
        EXPECT_GT(deck.CardList.size(), 0u);
        EXPECT_LE(copies, kBudget);
        EXPECT_LT(deck.CardList.size(), 16u);
    }

    std::vector<std::string> ElementKeys(const TWMLCard& card)
    {
        std::vector<std::string> keys;
        for (const TWMLElement& element : card.Elements)
            keys.emplace_back(element.Key);
        return keys;
    }

    // A deck that builds its cards when asked holds the same cards as one built at once.
    TEST(WMLDeckParse, CardsBuiltOnDemandMatchCardsBuiltAtOnce)
    {
        const TStringList lines { "<wml><template><do type=\"prev\"><prev/></do></template>",
            "<card id=\"a\"><p>One <a href=\"#b\">b</a></p></card>",
            "<card id=\"b\" title=\"B\"><p>Two</p><p><input name=\"n\"/></p></card></wml>" };
        TWMLDeck atOnce;
        ASSERT_TRUE(atOnce.Parse(lines));
        TWMLDeck onDemand;
        onDemand.BuildOnDemand = true;
        ASSERT_TRUE(onDemand.Parse(lines));
        EXPECT_EQ(CardIDs(onDemand), CardIDs(atOnce));
        EXPECT_EQ(onDemand.CardList[0].Card, nullptr);
        EXPECT_EQ(onDemand.CardList[1].Card, nullptr);
        EXPECT_EQ(onDemand.Card(2), nullptr);
        for (int round = 0; round < 2; ++round) {
            for (std::size_t i = 0; i < 2; ++i) {
                const TWMLCard& expected = *atOnce.CardList[i].Card;
                const TWMLCard* card = onDemand.Card(i);
                ASSERT_NE(card, nullptr);
                EXPECT_EQ(card, onDemand.Card(i)) << "built once";
                EXPECT_EQ(card->Title, expected.Title);
                EXPECT_EQ(card->Template, expected.Template);
                EXPECT_EQ(ElementKeys(*card), ElementKeys(expected));
                EXPECT_EQ(FirstText(*card), FirstText(expected));
                onDemand.ReleaseCard(i);
                EXPECT_EQ(onDemand.CardList[i].Card, nullptr);
            }
        }
    }

    // A card let go gives its records' bytes back: a budget that holds one card's records at a
    // time builds every card in turn, but not two at once.
    TEST(WMLDeckParse, ReleasedCardsGiveTheirBudgetBack)
    {
        std::string text = "<wml>";
        for (int i = 0; i < 2; ++i)
            text += "<card id=\"c" + std::to_string(i) + "\"><p>" + std::string(200, 'w')
                + "<br/>x<br/>y</p></card>";
        TWMLDeck measure;
        measure.BuildOnDemand = true;
        ASSERT_TRUE(measure.Parse({ text + "</wml>" }));
        const std::size_t oneCard = measure.Card(0)->RecordBytes();

        TWMLDeck deck;
        deck.BuildOnDemand = true;
        deck.Limits.RecordBytesPerInputByte = 0;
        deck.Limits.RecordSlack = text.size() + oneCard + oneCard / 2;
        ASSERT_TRUE(deck.Parse({ text + "</wml>" }));
        EXPECT_FALSE(deck.Card(0)->LimitReached());
        EXPECT_TRUE(deck.Card(1)->LimitReached());
        deck.ReleaseCard(1);
        deck.ReleaseCard(0);
        EXPECT_FALSE(deck.Card(1)->LimitReached());
    }

    // A whole text read in place gives the deck its lines give, whatever ends its lines; only a
    // rejected text leaves its lines behind, for the report of what it lacks.
    TEST(WMLDeckParse, TextParsesAsItsLinesDo)
    {
        const struct {
            const char* Text;
            bool Accepted;
        } cases[] = {
            { "<wml>\r\n<card id=\"a\"><p>one\r\ntwo</p></card>\r\n</wml>\r\n", true },
            { "<wml>\r<card id=\"a\"><p>one\rtwo</p></card></wml>", true },
            { "<wml>\n<card id=\"a\"><pre>  one\n\n  two</pre></card>\n</wml>", true },
            { "<wml><template><do type=\"prev\"><prev/></do></template>\n<card id=\"a\"/>\n"
              "<card id=\"b\">b\n</card></wml>",
                true },
            { "<wml>\r\n<card id=\"a\">no end\r\n</wml>\r\n", false },
            { "", false },
        };

        for (const auto& c : cases) {
            SCOPED_TRACE(c.Text);
            TWMLDeck fromLines;
            TWMLDeck fromText;
            const bool linesBuilt = fromLines.Parse(base::SplitLines(c.Text));
            EXPECT_EQ(fromText.ParseText(c.Text), linesBuilt);
            EXPECT_EQ(fromText.WMLCode, fromLines.WMLCode);
            EXPECT_EQ(fromText.Template, fromLines.Template);
            ASSERT_EQ(fromText.CardList.size(), fromLines.CardList.size());
            for (std::size_t i = 0; i < fromText.CardList.size(); ++i) {
                EXPECT_EQ(fromText.CardList[i].Key, fromLines.CardList[i].Key);
                EXPECT_EQ(FirstText(*fromText.CardList[i].Card), FirstText(*fromLines.CardList[i].Card));
            }
            EXPECT_EQ(fromText.WMLCode.empty(), !c.Accepted);
            EXPECT_EQ(fromText.Parser.WMLLines, c.Accepted ? TStringList {} : base::SplitLines(c.Text));
        }
    }

    // What a card reads as, its text runs and link texts one after the other, a line break as "|".
    std::string CardText(const TWMLCard& card)
    {
        std::string out;
        for (const TWMLElement& element : card.Elements) {
            if (element.Object->Class() == TWMLClass::Text)
                out += element.Object->As<TWMLText>().Text;
            else if (element.Object->Class() == TWMLClass::Link)
                out += element.Object->As<TWMLLink>().Text;
            else if (element.Object->Class() == TWMLClass::BR)
                out += "|";
        }
        return out;
    }

    // Decks as authors write them, one element or phrase per line.
    TEST(WMLDeckParse, LineEndsSeparateWordsAsAuthorsExpect)
    {
        const std::pair<TStringList, const char*> cases[] = {
            { { "<wml><card><p>", "<a href=\"#k\">Kino</a>", "<a href=\"#w\">Wetter</a>",
                  "<a href=\"#b\">Bus</a>", "</p></card></wml>" },
                "Kino Wetter Bus" },
            { { "<wml><card><p>", "word", "<b>bold</b>", "</p></card></wml>" }, "word bold" },
            { { "<wml><card><p>", "  First line", "", "  <br/>", "second", "</p>", "</card></wml>" },
                "First line|second" },
            { { "<wml><card><p><pre>", "a  b", "  c", "</pre></p></card></wml>" }, "a  b|  c|" },
        };
        for (const auto& [lines, text] : cases) {
            TWMLDeck deck;
            ASSERT_TRUE(deck.Parse(lines));
            EXPECT_EQ(CardText(*deck.CardList[0].Card), text) << lines[1];
        }
    }

    TEST(WMLDeckParse, HostileDecksFinish)
    {
        const auto repeat = [](std::string_view piece, std::size_t times) {
            std::string out;
            for (std::size_t i = 0; i < times; ++i)
                out.append(piece);
            return out;
        };
        const std::string decks[] = {
            "<wml>" + repeat("<card>", 30000) + "</card></wml>",
            "<wml>" + repeat("<card id=\"a\">x</card>", 10000) + "</wml>",
            "<wml><card>" + repeat("<select><option>x</option>", 5000) + "</select></card></wml>",
            "<wml><template><do type=\"prev\"><prev/></do>" + repeat("<card>x</card>", 300)
                + "</template></wml>",
            "<wml>" + repeat("</card><card>", 10000) + "</wml>",
        };
        for (const std::string& text : decks) {
            TWMLDeck deck;
            deck.Parse({ text });
            EXPECT_LE(deck.CardList.size(), 10000u);
        }
    }

    TEST(WMLDeckCards, CardIndexForURL)
    {
        TWMLDeck deck;
        ASSERT_TRUE(
            deck.Parse({ "<wml><card id=\"Main\">a</card><card id=\"Next\">b</card><card>c</card></wml>" }));
        EXPECT_EQ(deck.CardIndexForURL("http://h/d.wml"), 0);
        EXPECT_EQ(deck.CardIndexForURL("http://h/d.wml#next"), 1);
        EXPECT_EQ(deck.CardIndexForURL("http://h/d.wml#NEXT"), 1);
        EXPECT_EQ(deck.CardIndexForURL("#missing"), 0);
        EXPECT_EQ(deck.CardIndexForURL("d.wml#Next#x"), 0);
        // An empty fragment names the first card without an id.
        EXPECT_EQ(deck.CardIndexForURL("d.wml#"), 2);
    }

} // namespace
} // namespace pivrel::wml
