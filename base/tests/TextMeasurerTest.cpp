#include "base/TextMeasurer.h"

#include <climits>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

using pivrel::base::CountCodePoints;
using pivrel::base::kBlack;
using pivrel::base::TBitmap;
using pivrel::base::TColor;
using pivrel::base::TFixedFontMeasurer;
using pivrel::base::TRect;

namespace {

constexpr TColor kWhite = 0xFFFFFF;

TBitmap White(int width, int height)
{
    TBitmap bitmap;
    bitmap.Fill(width, height, kWhite);
    return bitmap;
}

// The black pixels of a bitmap as rows of '#' and '.'.
std::string Picture(const TBitmap& bitmap)
{
    std::string picture;
    for (int y = 0; y < bitmap.Height; ++y) {
        for (int x = 0; x < bitmap.Width; ++x)
            picture += bitmap.Pixel(x, y) == kBlack ? '#' : '.';
        picture += '\n';
    }
    return picture;
}

std::string DrawCell(const std::string& text)
{
    TBitmap cell = White(TFixedFontMeasurer::kCellWidth, TFixedFontMeasurer::kCellHeight);
    TFixedFontMeasurer().DrawText(cell, 0, 0, text, { 0, 0, cell.Width, cell.Height });
    return Picture(cell);
}

} // namespace

TEST(CountCodePoints, CountsOneCellPerCodePointOrStrayByte)
{
    struct TCase {
        std::string Text;
        std::size_t Count;
    };

    const std::vector<TCase> cases {
        { "", 0 },
        { "abc", 3 },
        { "\xC3\xA9", 1 }, // e acute
        { "\xE2\x82\xAC", 1 }, // euro sign
        { "\xF0\x9F\x98\x80!", 2 }, // an emoji, then '!'
        { "\xC3", 1 }, // a lead byte at the end
        { "\xC3"
          "A",
            2 }, // a lead byte without its continuation
        { "\x80\xBF", 2 }, // continuations without a lead
        { "\xC0\xAF", 2 }, // overlong
        { "\xE0\x80\xAF", 3 }, // overlong in three bytes
        { "\xED\xA0\x80", 3 }, // a surrogate
        { "\xF4\x90\x80\x80", 4 }, // beyond U+10FFFF
        { "\xF5\x80", 2 },
        { "\xF0\x9F\x98", 3 }, // cut short
        { std::string("a\0b", 3), 3 },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(CountCodePoints(c.Text), c.Count);
        const auto size = TFixedFontMeasurer().MeasureText(c.Text);
        EXPECT_EQ(size.Width, static_cast<int>(c.Count) * 6);
        EXPECT_EQ(size.Height, 10);
    }
}

TEST(TFixedFontMeasurer, DrawsDistinctGlyphsAndABoxForTheRest)
{
    EXPECT_EQ(DrawCell("!"),
        "......\n"
        "..#...\n"
        "..#...\n"
        "..#...\n"
        "..#...\n"
        "..#...\n"
        "......\n"
        "..#...\n"
        "......\n"
        "......\n");
    const std::string box = DrawCell("\xE2\x82\xAC");
    EXPECT_EQ(box,
        "......\n"
        "#####.\n"
        "#...#.\n"
        "#...#.\n"
        "#...#.\n"
        "#...#.\n"
        "#...#.\n"
        "#####.\n"
        "......\n"
        "......\n");
    EXPECT_EQ(DrawCell("\xFF"), box);
    EXPECT_EQ(DrawCell("\t"), box);
    EXPECT_EQ(DrawCell(" ").find('#'), std::string::npos);

    // Every printable character has a glyph of its own, none of them the box.
    std::set<std::string> seen { box };
    for (char c = '!'; c <= '~'; ++c) {
        SCOPED_TRACE(c);
        EXPECT_TRUE(seen.insert(DrawCell(std::string(1, c))).second);
    }
}

TEST(TFixedFontMeasurer, NeverDrawsOutsideTheClipOrTheBitmap)
{
    const TFixedFontMeasurer measurer;
    const std::string text = "MW#@\xE2\x82\xAC";

    struct TCase {
        int X, Y;
        TRect Clip;
    };

    const std::vector<TCase> cases {
        { 0, 0, { 2, 3, 9, 8 } },
        { -7, -4, { 0, 0, 20, 12 } },
        { 15, 8, { -100, -100, 100, 100 } },
        { INT_MIN, INT_MIN, { 0, 0, 20, 12 } },
        { INT_MAX, INT_MAX, { 0, 0, 20, 12 } },
        { 0, 0, { 10, 10, 5, 5 } },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.X << "," << c.Y);
        TBitmap bitmap = White(20, 12);
        measurer.DrawText(bitmap, c.X, c.Y, text, c.Clip);
        for (int y = 0; y < bitmap.Height; ++y) {
            for (int x = 0; x < bitmap.Width; ++x) {
                const bool outside
                    = x < c.Clip.Left || x >= c.Clip.Right || y < c.Clip.Top || y >= c.Clip.Bottom;
                const TColor pixel = bitmap.Pixel(x, y);
                EXPECT_TRUE(!outside || pixel == kWhite) << x << "," << y;
            }
        }
    }

    // Something is drawn where the clip allows it.
    TBitmap bitmap = White(20, 12);
    measurer.DrawText(bitmap, 0, 0, text, { 2, 3, 9, 8 });
    EXPECT_NE(Picture(bitmap).find('#'), std::string::npos);

    // A bitmap whose pixels do not match its size is left alone.
    TBitmap broken;
    broken.Fill(1, 1, kWhite);
    broken.Width = 20;
    broken.Height = 12;
    measurer.DrawText(broken, 0, 0, text, { 0, 0, 20, 12 });
    EXPECT_EQ(broken.Pixel(0, 0), kWhite);
}
