#include "images/AltTextBox.h"

#include "images/Wbmp.h"

#include <climits>
#include <gtest/gtest.h>
#include <optional>
#include <string>

using pivrel::base::kBlack;
using pivrel::base::TBitmap;
using pivrel::base::TFixedFontMeasurer;
using pivrel::base::TRect;
using pivrel::base::TTextMeasurer;
using pivrel::base::TTextSize;
using pivrel::images::DrawAltTextBox;
using pivrel::images::kWhite;

namespace {

// Every byte is 4 pixels wide, every line 7 high; drawing records where it was asked to draw.
class TFakeMeasurer : public TTextMeasurer
{
public:
    TTextSize MeasureText(std::string_view text) const override
    {
        if (Forced)
            return *Forced;
        return { static_cast<int>(text.size()) * 4, 7 };
    }

    void DrawText(TBitmap&, int x, int y, std::string_view text, const TRect& clip) const override
    {
        ++Draws;
        DrawX = x;
        DrawY = y;
        DrawnText = std::string(text);
        Clip = clip;
    }

    std::optional<TTextSize> Forced;
    mutable int Draws = 0;
    mutable int DrawX = -1;
    mutable int DrawY = -1;
    mutable std::string DrawnText;
    mutable TRect Clip;
};

bool IsBlack(const TBitmap& bitmap, int x, int y)
{
    return bitmap.Pixel(x, y) == kBlack;
}

} // namespace

TEST(DrawAltTextBox, FramesOnePixelInFromEveryEdge)
{
    TFakeMeasurer measurer;
    const TBitmap box = DrawAltTextBox("abc", measurer);
    ASSERT_EQ(box.Width, 12 + 5);
    ASSERT_EQ(box.Height, 7 + 6);
    ASSERT_TRUE(box.Complete());
    EXPECT_FALSE(box.Transparent);

    // The outline covers columns 1 .. 15 and rows 1 .. 11; everything else is white.
    for (int y = 0; y < box.Height; ++y) {
        for (int x = 0; x < box.Width; ++x) {
            const bool inside = x >= 1 && x <= 15 && y >= 1 && y <= 11;
            const bool outline = inside && (x == 1 || x == 15 || y == 1 || y == 11);
            SCOPED_TRACE(testing::Message() << x << "," << y);
            EXPECT_EQ(box.Pixel(x, y), outline ? kBlack : kWhite);
        }
    }

    EXPECT_EQ(measurer.Draws, 1);
    EXPECT_EQ(measurer.DrawX, 3);
    EXPECT_EQ(measurer.DrawY, 2);
    EXPECT_EQ(measurer.DrawnText, "abc");
    EXPECT_EQ(measurer.Clip.Left, 1);
    EXPECT_EQ(measurer.Clip.Top, 1);
    EXPECT_EQ(measurer.Clip.Right, 16);
    EXPECT_EQ(measurer.Clip.Bottom, 12);
}

TEST(DrawAltTextBox, StaysWithinBoundsWhateverTheMeasurerSays)
{
    struct TCase {
        TTextSize Measured;
        int Width;
        int Height;
    };

    const TCase cases[] {
        { { 0, 7 }, 5, 13 },
        { { 0, 0 }, 5, 6 },
        { { -40, -3 }, 5, 6 },
        { { INT_MAX, INT_MAX }, 2048 + 5, 256 + 6 },
        { { 2049, 257 }, 2048 + 5, 256 + 6 },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Measured.Width << "x" << c.Measured.Height);
        TFakeMeasurer measurer;
        measurer.Forced = c.Measured;
        const TBitmap box = DrawAltTextBox("x", measurer);
        EXPECT_EQ(box.Width, c.Width);
        EXPECT_EQ(box.Height, c.Height);
        EXPECT_TRUE(box.Complete());
        EXPECT_TRUE(IsBlack(box, 1, 1));
        EXPECT_TRUE(IsBlack(box, c.Width - 2, c.Height - 2));
    }
}

TEST(DrawAltTextBox, FixedFontTextStaysInsideTheFrame)
{
    const TFixedFontMeasurer measurer;
    const TBitmap box = DrawAltTextBox("Hi", measurer);
    ASSERT_EQ(box.Width, 12 + 5);
    ASSERT_EQ(box.Height, 10 + 6);
    // 'H' starts in the text's first column, three pixels in, one row below the text's top.
    EXPECT_TRUE(IsBlack(box, 3, 3));
    EXPECT_FALSE(IsBlack(box, 2, 3));

    // A megabyte of text still makes a box of bounded size, clipped to its frame.
    const std::string longText(1 << 20, 'W');
    const TBitmap wide = DrawAltTextBox(longText, measurer);
    EXPECT_EQ(wide.Width, 2048 + 5);
    EXPECT_EQ(wide.Height, 16);
    for (int y = 0; y < wide.Height; ++y)
        EXPECT_FALSE(IsBlack(wide, wide.Width - 1, y));
    for (int x = 0; x < wide.Width; ++x) {
        EXPECT_FALSE(IsBlack(wide, x, 0));
        EXPECT_FALSE(IsBlack(wide, x, wide.Height - 1));
    }
}
