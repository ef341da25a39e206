#include "view/QtTextMeasurer.h"

#include "images/AltTextBox.h"

#include <gtest/gtest.h>

namespace pivrel::view {
namespace {

    // The box of a missing picture, drawn with a Qt font: sized by the text, outlined in black,
    // with dark pixels of the text inside and nothing drawn outside the clip.
    TEST(QtTextMeasurerTest, DrawsTheAlternativeTextBoxInsideItsFrame)
    {
        TQtTextMeasurer measurer(QFont("Liberation Sans", 10));
        const base::TTextSize size = measurer.MeasureText("Logo");
        EXPECT_GT(size.Width, 10);
        EXPECT_GT(size.Height, 8);
        EXPECT_EQ(measurer.MeasureText("").Width, 0);

        const base::TBitmap box = images::DrawAltTextBox("Logo", measurer);
        ASSERT_EQ(box.Width, size.Width + 5);
        ASSERT_EQ(box.Height, size.Height + 6);
        int dark = 0;
        for (int y = 2; y < box.Height - 2; ++y) {
            for (int x = 2; x < box.Width - 2; ++x)
                dark += (box.Pixel(x, y) & 0xFF) < 0x80;
        }
        EXPECT_GT(dark, 5);

        base::TBitmap blank;
        blank.Fill(20, 20, 0xFFFFFF);
        measurer.DrawText(blank, 0, 0, "WWWW", { 0, 0, 5, 5 });
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) {
                if (x >= 5 || y >= 5) {
                    ASSERT_EQ(blank.Pixel(x, y), 0xFFFFFFu) << x << "," << y;
                }
            }
        }
        // A clip outside the bitmap and a bitmap without pixels draw nothing and do not crash.
        measurer.DrawText(blank, 0, 0, "x", { 30, 30, 60, 60 });
        base::TBitmap empty;
        empty.Width = 10;
        empty.Height = 10;
        measurer.DrawText(empty, 0, 0, "x", { 0, 0, 10, 10 });
    }

} // namespace
} // namespace pivrel::view
