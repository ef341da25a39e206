#include "base/Bitmap.h"

#include <gtest/gtest.h>
#include <utility>

using pivrel::base::kBlack;
using pivrel::base::TBitmap;
using pivrel::base::TColor;

namespace {

constexpr TColor kWhite = 0xFFFFFF;

TEST(Bitmap, CopiesSharePixelsUntilOneIsWritten)
{
    for (const bool mono : { false, true }) {
        SCOPED_TRACE(mono ? "black and white" : "colour");
        TBitmap original;
        mono ? original.FillMonochrome(100, 50) : original.Fill(100, 50, kWhite);
        const TBitmap copy = original;
        EXPECT_TRUE(copy.SharesPixelsWith(original));

        original.SetPixel(99, 49, kBlack);
        EXPECT_FALSE(copy.SharesPixelsWith(original));
        EXPECT_EQ(original.Pixel(99, 49), kBlack);
        EXPECT_EQ(copy.Pixel(99, 49), kWhite);
    }
}

TEST(Bitmap, BlackAndWhiteTakesABitAPixelUntilAColourIsWritten)
{
    TBitmap bitmap;
    bitmap.FillMonochrome(33, 2);
    // 33 pixels take 5 bytes, rounded up to a row of 8.
    EXPECT_EQ(bitmap.MonoStride(), 8u);
    EXPECT_EQ(bitmap.PixelBytes(), 16u);
    bitmap.SetPixel(32, 1, kBlack);
    EXPECT_EQ(bitmap.MonoRow(1)[4], 0x7F);
    EXPECT_TRUE(bitmap.Monochrome());

    bitmap.SetPixel(0, 0, 0x0000FF);
    EXPECT_FALSE(bitmap.Monochrome());
    EXPECT_EQ(bitmap.PixelBytes(), 33u * 2u * sizeof(TColor));
    EXPECT_EQ(bitmap.Pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(bitmap.Pixel(32, 1), kBlack);
    EXPECT_EQ(bitmap.Pixel(31, 1), kWhite);
}

TEST(Bitmap, PixelsOutsideThePictureOrItsPixelsReadWhiteAndStayUnwritten)
{
    TBitmap bitmap;
    bitmap.Fill(2, 2, kBlack);
    bitmap.Width = 5; // a size set by hand does not grow the pixels
    for (auto [x, y] : { std::pair { -1, 0 }, { 0, -1 }, { 2, 0 }, { 0, 2 }, { 4, 1 } }) {
        bitmap.SetPixel(x, y, 0x123456);
        EXPECT_EQ(bitmap.Pixel(x, y), kWhite) << x << "," << y;
    }
    EXPECT_FALSE(bitmap.Complete());
    EXPECT_EQ(bitmap.StoredColourRow(2), nullptr);
    EXPECT_EQ(bitmap.MonoRow(0), nullptr);

    TBitmap none;
    none.Fill(0, 3, kBlack);
    EXPECT_TRUE(none.Empty());
    EXPECT_EQ(none.PixelBytes(), 0u);
    EXPECT_EQ(none.Pixel(0, 0), kWhite);
}

} // namespace
