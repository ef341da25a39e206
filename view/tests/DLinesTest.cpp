#include "view/DLines.h"

#include "view/RichView.h"

#include <QWidget>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace pivrel::view {
namespace {

    // Every character is 6 pixels wide; style 1 is a taller font, style 2 a hot link.
    class TFixedMeasurer : public TRVMeasurer
    {
    public:
        TRVFontMetrics Metrics(int styleNo) const override
        {
            if (styleNo == 1)
                return { 16, 4, 2 };
            return { 8, 2, 0 };
        }

        double Advance(int, char32_t) const override { return 6; }
    };

    class DLinesTest : public ::testing::Test
    {
    protected:
        DLinesTest()
        {
            m_style.TextStyles().resize(3);
            m_style.TextStyles()[2].Jump = true;
            m_style.ParaStyles().resize(4);
            m_style.ParaStyles()[1].Alignment = rvaCenter;
            m_style.ParaStyles()[2].Alignment = rvaRight;
            m_style.ParaStyles()[3].Alignment = rvaJustify;
        }

        void Text(std::string text, int styleNo = 0, int paraNo = -1)
        {
            TRVItem item;
            item.Text = std::move(text);
            item.Info.StyleNo = std::int16_t(styleNo);
            item.Info.SameAsPrev = paraNo == -1 && !m_items.empty();
            item.Info.ParaNo
                = std::int16_t(paraNo == -1 ? (m_items.empty() ? 0 : m_items.back().Info.ParaNo) : paraNo);
            m_items.push_back(std::move(item));
        }

        void Control(int width, int height, bool centred)
        {
            auto widget = std::make_unique<QWidget>();
            widget->resize(width, height);
            TRVItem item;
            item.Info.StyleNo = rvsComponent;
            item.Info.Centred = centred;
            item.Info.SameAsPrev = !m_items.empty();
            item.Info.ParaNo = m_items.empty() ? 0 : m_items.back().Info.ParaNo;
            item.Info.Gr = widget.get();
            m_items.push_back(std::move(item));
            m_widgets.push_back(std::move(widget));
        }

        TRVLayout Layout(int textWidth)
        {
            return LayoutItems(m_items, m_style, m_measurer, { textWidth, 5, 5, 5 });
        }

        std::string SegmentText(const TRVDrawLineInfo& segment) const
        {
            return m_items[std::size_t(segment.ItemNo)].Text.substr(
                std::size_t(segment.Offs - 1), std::size_t(segment.Length));
        }

        std::vector<std::string> Texts(const TRVLayout& layout) const
        {
            std::vector<std::string> texts;
            for (const auto& segment : layout.Lines)
                texts.push_back((segment.FromNewLine ? "|" : "") + SegmentText(segment));
            return texts;
        }

        TRVStyle m_style;
        TFixedMeasurer m_measurer;
        std::vector<TRVItem> m_items;
        std::vector<std::unique_ptr<QWidget>> m_widgets;
    };

    using Strings = std::vector<std::string>;

    TEST_F(DLinesTest, LinesBreakAtSpacesWhichAreDroppedAndLongWordsAreCut)
    {
        struct Case {
            std::string text;
            int width; // in characters of 6 pixels
            Strings expected;
        };

        const Case cases[] = {
            { "hello world", 20, { "|hello world" } },
            // The space at the break is drawn neither at the end nor at the start of a line.
            { "hello world", 8, { "|hello", "|world" } },
            // The space just after a full line breaks it too.
            { "hello world", 5, { "|hello", "|world" } },
            { "aa bb cc dd", 5, { "|aa bb", "|cc dd" } },
            // A word longer than the line is cut where it stops fitting.
            { "abcdefghij", 4, { "|abcd", "|efgh", "|ij" } },
            { "ab abcdefghij", 4, { "|ab", "|abcd", "|efgh", "|ij" } },
            // Not even one character fits: one is taken anyway, so the layout always advances.
            { "abc", 0, { "|a", "|b", "|c" } },
            { "two  spaces", 4, { "|two ", "|spac", "|es" } },
            { "", 5, { "|" } },
        };
        for (const Case& c : cases) {
            m_items.clear();
            Text(c.text);
            const TRVLayout layout = Layout(c.width * 6);
            EXPECT_EQ(Texts(layout), c.expected) << c.text << " at " << c.width;
        }
    }

    TEST_F(DLinesTest, MultiByteCharactersAreNeverSplit)
    {
        Text("\xC3\xA9\xC3\xA9\xC3\xA9\xE2\x82\xAC\xE2\x82\xAC"); // five characters, 10 bytes
        const TRVLayout layout = Layout(2 * 6);
        EXPECT_EQ(Texts(layout), (Strings { "|\xC3\xA9\xC3\xA9", "|\xC3\xA9\xE2\x82\xAC", "|\xE2\x82\xAC" }));
        EXPECT_EQ(layout.Lines[1].Offs, 5);
        EXPECT_EQ(layout.Lines[1].Width, 12);

        const std::string broken = "a\xC3(\xE2\x82\xF0\x9F\x98\x80\xC0\xAF\xED\xA0\x80";
        std::vector<char32_t> decoded;
        for (std::size_t pos = 0; pos < broken.size();)
            decoded.push_back(NextCodePoint(broken, pos));
        EXPECT_EQ(decoded,
            (std::vector<char32_t> {
                'a', 0xFFFD, '(', 0xFFFD, 0xFFFD, 0x1F600, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD }));
    }

    TEST_F(DLinesTest, ItemsOfOneParagraphShareLinesAndItemsAfterAFullLineWrap)
    {
        Text("abc");
        Text(" def");
        Text("ghijk");
        Text("new", 0, 0);
        const TRVLayout layout = Layout(8 * 6);
        // "abc def" fills 7 of 8 cells; "ghijk" does not fit after it and has no space to break
        // at, so it starts the next line.
        EXPECT_EQ(Texts(layout), (Strings { "|abc", " def", "|ghijk", "|new" }));
        EXPECT_EQ(layout.Lines[1].Left, 5 + 18);
        ASSERT_EQ(layout.LineInfos.size(), 3u);
        EXPECT_EQ(layout.LineInfos[1].Top, 15);
        EXPECT_EQ(layout.DocumentHeight, 5 + 3 * 10 + 5);

        // An item beginning with a space that does not fit breaks there and drops the space.
        m_items.clear();
        Text("abcdef");
        Text(" ghi");
        EXPECT_EQ(Texts(Layout(8 * 6)), (Strings { "|abcdef", "|ghi" }));
    }

    TEST_F(DLinesTest, SegmentsOfALineShareTheBaseline)
    {
        Text("ab");
        Text("CD", 1);
        Text("ef");
        Control(20, 30, false);
        Control(20, 10, true);
        const TRVLayout layout = Layout(300);
        // Above the baseline: small text 8, tall text 18 (ascent and leading), the baseline
        // control 31, the centred one 6; below: 2, 4, 1, 6.
        ASSERT_EQ(layout.Lines.size(), 5u);
        const int baseline = 5 + 31;
        EXPECT_EQ(layout.Lines[0].Top, baseline - 8);
        EXPECT_EQ(layout.Lines[1].Top, baseline - 18);
        EXPECT_EQ(layout.Lines[2].Top, baseline - 8);
        EXPECT_EQ(layout.Lines[3].Top, baseline - 31);
        EXPECT_EQ(layout.Lines[3].Height, 32);
        EXPECT_EQ(layout.Lines[4].Top, baseline - 6);
        EXPECT_EQ(layout.Lines[4].Height, 12);
        EXPECT_EQ(layout.LineInfos[0].Height, 31 + 6);
        EXPECT_EQ(layout.Lines[3].Left, 5 + 36);
        EXPECT_EQ(layout.Lines[3].Width, 22);
    }

    TEST_F(DLinesTest, ControlsWrapLikeWords)
    {
        // Two buttons wider than the line together: the second goes to the next line, and one
        // wider than the line still takes a line of its own.
        Text("", 0, 0);
        Control(60, 20, false);
        Control(60, 20, false);
        Control(200, 20, false);
        Control(10, 20, false);
        const TRVLayout layout = Layout(100);
        ASSERT_EQ(layout.Lines.size(), 5u);
        EXPECT_FALSE(layout.Lines[1].FromNewLine); // beside the empty paragraph opener
        EXPECT_TRUE(layout.Lines[2].FromNewLine);
        EXPECT_TRUE(layout.Lines[3].FromNewLine);
        EXPECT_TRUE(layout.Lines[4].FromNewLine);
        EXPECT_EQ(layout.Lines[1].Left, 5);
        EXPECT_EQ(layout.Lines[3].Left, 5);
        EXPECT_EQ(layout.LineInfos.size(), 4u);
    }

    TEST_F(DLinesTest, AlignmentMovesLinesByTheSpaceLeft)
    {
        struct Case {
            int paraNo;
            int chars;
            int textWidth;
            int expectedLeft;
        };

        const Case cases[] = {
            { 0, 5, 100, 5 }, { 2, 5, 100, 5 + 70 },
            { 1, 5, 40, 5 + 5 }, // 10 pixels narrower: 5 to the right
            { 1, 5, 39, 5 + 4 }, // 9 pixels narrower: 4
            { 1, 5, 30, 5 }, // exactly full
            { 1, 10, 30, 5 }, // a cut word fills its line
            { 2, 1, 3, 5 }, // one character wider than the line stays at the margin
        };
        for (const Case& c : cases) {
            m_items.clear();
            Text(std::string(std::size_t(c.chars), 'x'), 0, c.paraNo);
            const TRVLayout layout = Layout(c.textWidth);
            EXPECT_EQ(layout.Lines[0].Left, c.expectedLeft) << c.paraNo << " " << c.textWidth;
        }
    }

    TEST_F(DLinesTest, JustifiedLinesShareTheSpaceAmongWordsButNotTheLastLine)
    {
        Text("aa bb cc dd ee", 0, 3);
        const TRVLayout layout = Layout(10 * 6 + 5); // "aa bb cc" is 8 cells: 17 px left
        ASSERT_EQ(Texts(layout), (Strings { "|aa", " bb", " cc", "|dd", " ee" }));
        // 17 pixels shared from the left: 17 / 2 = 8, then 9.
        EXPECT_EQ(layout.Lines[0].Left, 5);
        EXPECT_EQ(layout.Lines[1].Left, 5 + 12 + 8);
        EXPECT_EQ(layout.Lines[2].Left, 5 + 30 + 17);
        // The paragraph's last line stays left-aligned.
        EXPECT_EQ(layout.Lines[3].Left, 5);
        EXPECT_EQ(layout.Lines[4].Left, 5 + 12);

        // A line ended by a new paragraph is that paragraph's last line too.
        m_items.clear();
        Text("aa bb", 0, 3);
        Text("cc", 0, 0);
        const TRVLayout two = Layout(100);
        EXPECT_EQ(two.Lines[1].Left, 5 + 12);
    }

    TEST_F(DLinesTest, IndentsNarrowTheLinesAndTheFirstLineMoreSo)
    {
        m_style.ParaStyles()[0].LeftIndent = 6;
        m_style.ParaStyles()[0].RightIndent = 6;
        m_style.ParaStyles()[0].FirstIndent = 12;
        Text("aaa bbb ccc ddd");
        const TRVLayout layout = Layout(12 * 6);
        // First line: 12 - 1 - 1 - 2 = 8 cells; later lines 10.
        EXPECT_EQ(Texts(layout), (Strings { "|aaa bbb", "|ccc ddd" }));
        EXPECT_EQ(layout.Lines[0].Left, 5 + 18);
        EXPECT_EQ(layout.Lines[1].Left, 5 + 6);
    }

    TEST_F(DLinesTest, HotLinkItemsGetOneJumpNumberEachWithAnAreaPerSegment)
    {
        Text("plain");
        Text("first link wraps", 2);
        Text("more plain");
        Text("", 2);
        Text("second", 2, 0);
        const TRVLayout layout = Layout(6 * 6);
        EXPECT_EQ(layout.ItemJumpNo, (std::vector<int> { -1, 0, -1, 1, 2 }));
        std::vector<int> ids;
        for (const auto& jump : layout.Jumps)
            ids.push_back(jump.Id);
        EXPECT_EQ(ids, (std::vector<int> { 0, 0, 0, 1, 2 }));
        for (const auto& jump : layout.Jumps)
            EXPECT_EQ(jump.Cursor, crJump);
        const TRVDrawLineInfo& wrapped = layout.Lines[2];
        EXPECT_EQ(layout.Jumps[1].Left, wrapped.Left);
        EXPECT_EQ(layout.Jumps[1].Top, wrapped.Top);
        EXPECT_EQ(layout.Jumps[1].Width, wrapped.Width);
    }

    TEST(TextWidthTest, FollowsClientControlsAndLimits)
    {
        std::vector<TParaInfo> paras(2);
        paras[1].LeftIndent = 10;
        paras[1].RightIndent = 5;
        paras[1].FirstIndent = 20;

        struct Case {
            TRVTextWidthParams params;
            int expected;
        };

        const Case cases[] = {
            { { 400, 5, 5, 0, 0, 0, false }, 390 },
            { { 100, 5, 5, 200, 0, 0, false }, 235 }, // widest control + deepest indents
            { { 100, 5, 5, 0, 300, 0, false }, 300 },
            { { 400, 5, 5, 0, 0, 250, false }, 250 },
            { { 400, 5, 5, 0, 0, 500, false }, 390 },
            { { 100, 5, 5, 200, 0, 150, true }, 90 }, // the client width rules
            { { 100, 5, 5, 200, 120, 0, true }, 120 },
            { { 4, 5, 5, 0, 0, 0, false }, 35 },
        };
        for (const Case& c : cases)
            EXPECT_EQ(ComputeTextWidth(c.params, paras), c.expected) << c.params.ClientWidth;
    }

    TEST(ScrollRangeTest, StepSizeGrowsPastThirtyThousandStepsAndRangeShowsTheLastRow)
    {
        EXPECT_EQ(GrownStepSize(10, 1000000), 33);
        EXPECT_EQ(GrownStepSize(10, 200000), 10);
        EXPECT_EQ(GrownStepSize(10, 300000), 10);
        EXPECT_EQ(GrownStepSize(10, 300010), 10);
        EXPECT_EQ(GrownStepSize(10, 300010 + 9), 10);
        EXPECT_EQ(GrownStepSize(10, 300010 + 10), 10);
        EXPECT_EQ(GrownStepSize(10, 300010 + 10 * 30000), 20);
        EXPECT_EQ(GrownStepSize(33, 100), 33); // never shrinks

        EXPECT_EQ(MaxVPos(400, 400, 10), 0);
        EXPECT_EQ(MaxVPos(300, 400, 10), 0);
        EXPECT_EQ(MaxVPos(401, 400, 10), 1);
        EXPECT_EQ(MaxVPos(1000, 400, 10), 60);
        EXPECT_EQ(MaxVPos(1005, 400, 10), 61);
    }

    TEST(MeasurerTest, FitLengthAndOffsetAtRoundTheSameWay)
    {
        class THalves : public TRVMeasurer
        {
        public:
            TRVFontMetrics Metrics(int) const override { return {}; }

            double Advance(int, char32_t) const override { return 2.5; }
        };

        const THalves measurer;
        EXPECT_EQ(measurer.TextWidth(0, "abc"), 8); // 7.5 rounds up
        EXPECT_EQ(measurer.FitLength(0, "abcd", 7), 2u);
        EXPECT_EQ(measurer.FitLength(0, "abcd", 8), 3u);
        EXPECT_EQ(measurer.FitLength(0, "abcd", -3), 0u);
        EXPECT_EQ(measurer.OffsetAt(0, "abcd", -10), 0u);
        EXPECT_EQ(measurer.OffsetAt(0, "abcd", 1), 0u);
        EXPECT_EQ(measurer.OffsetAt(0, "abcd", 2), 1u);
        EXPECT_EQ(measurer.OffsetAt(0, "abcd", 100), 4u);
        EXPECT_EQ(measurer.OffsetAt(0, "\xC3\xA9\xC3\xA9", 4), 4u);
    }

    // The cells of tables as (text, table, row, column), each cell its own item.
    struct TCellRow {
        const char* Text;
        int Table, Row, Column;
    };

    TEST_F(DLinesTest, TableColumnsAreAsWideAsTheirWidestCellAndNarrowedToFit)
    {
        struct Case {
            const char* Name;
            std::vector<TCellRow> Cells;
            int Width; // in characters of 6 pixels
            Strings Expected;
            std::vector<int> Lefts;
        };

        const Case cases[] = {
            { "natural widths", { { "a", 1, 0, 0 }, { "bbb", 1, 0, 1 }, { "cc", 1, 1, 0 }, { "d", 1, 1, 1 } },
                40, { "|a", "bbb", "|cc", "d" }, { 5, 5 + 12 + 8, 5, 5 + 12 + 8 } },
            { "narrowed and wrapped", { { "aaaa bbbb", 1, 0, 0 }, { "cc dd", 1, 0, 1 } }, 10,
                { "|aaaa", "cc", "|bbbb", "dd" }, { 5, 5 + 26 + 8, 5, 5 + 26 + 8 } },
            { "a short row", { { "a", 1, 0, 0 }, { "b", 1, 0, 1 }, { "c", 1, 1, 0 } }, 40,
                { "|a", "b", "|c" }, { 5, 19, 5 } },
            { "two tables", { { "aaa", 1, 0, 0 }, { "b", 2, 0, 0 }, { "c", 2, 0, 1 } }, 40,
                { "|aaa", "|b", "c" }, { 5, 5, 19 } },
        };
        for (const Case& c : cases) {
            m_items.clear();
            for (const TCellRow& cell : c.Cells) {
                Text(cell.Text);
                m_items.back().Info.Table = cell.Table;
                m_items.back().Info.Row = std::int16_t(cell.Row);
                m_items.back().Info.Column = std::int16_t(cell.Column);
            }
            const TRVLayout layout = Layout(c.Width * 6);
            EXPECT_EQ(Texts(layout), c.Expected) << c.Name;
            std::vector<int> lefts;
            for (const auto& segment : layout.Lines)
                lefts.push_back(segment.Left);
            EXPECT_EQ(lefts, c.Lefts) << c.Name;
            // Lines follow each other down the page, one per row and cell line.
            for (std::size_t i = 1; i < layout.LineInfos.size(); ++i)
                EXPECT_EQ(
                    layout.LineInfos[i].Top, layout.LineInfos[i - 1].Top + layout.LineInfos[i - 1].Height)
                    << c.Name;
        }
    }

    TEST_F(DLinesTest, TextAfterATableStartsBelowItAndLinksInCellsAreHot)
    {
        Text("before");
        Text("hot", 2);
        m_items.back().Info.Table = 1;
        Text("after");
        const TRVLayout layout = Layout(60);
        EXPECT_EQ(Texts(layout), (Strings { "|before", "|hot", "|after" }));
        ASSERT_EQ(layout.Jumps.size(), 1u);
        EXPECT_EQ(layout.Jumps[0].Left, 5);
        EXPECT_EQ(layout.Jumps[0].Top, layout.Lines[1].Top);
    }

    TEST_F(DLinesTest, LinesThatDoNotWrapRunPastTheTextWidth)
    {
        m_style.ParaStyles().resize(5);
        m_style.ParaStyles()[4].NoWrap = true;
        Text("hello world again", 0, 4);
        Control(30, 10, false);
        Text("wrapped text", 0, 0);
        const TRVLayout layout = Layout(7 * 6);
        EXPECT_EQ(Texts(layout), (Strings { "|hello world again", "", "|wrapped", "|text" }));
        EXPECT_EQ(layout.ContentRight, 5 + 17 * 6 + 32);
    }

    TEST_F(DLinesTest, HotControlsArePlacedLikeControlsAndNumberedAsLinks)
    {
        Text("a", 2);
        Control(20, 10, false);
        m_items.back().Info.StyleNo = rvsHotspot;
        const TRVLayout layout = Layout(100);
        ASSERT_EQ(layout.Lines.size(), 2u);
        EXPECT_EQ(layout.Lines[1].Width, 22);
        EXPECT_EQ(layout.ItemJumpNo, (std::vector<int> { 0, 1 }));
        ASSERT_EQ(layout.Jumps.size(), 2u);
        EXPECT_EQ(layout.Jumps[1].Left, layout.Lines[1].Left);
        EXPECT_EQ(layout.Jumps[1].Width, 22);
    }

} // namespace
} // namespace pivrel::view
