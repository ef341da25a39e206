#include "images/AltTextBox.h"

#include "images/Wbmp.h"

#include <algorithm>

namespace pivrel::images {

namespace {

    // The frame of the rectangle whose right and bottom edges are exclusive: its outline covers
    // columns left .. right - 1 and rows top .. bottom - 1.
    void FrameRect(base::TBitmap& bitmap, const base::TRect& rect)
    {
        for (int x = rect.Left; x < rect.Right; ++x) {
            bitmap.SetPixel(x, rect.Top, base::kBlack);
            bitmap.SetPixel(x, rect.Bottom - 1, base::kBlack);
        }
        for (int y = rect.Top; y < rect.Bottom; ++y) {
            bitmap.SetPixel(rect.Left, y, base::kBlack);
            bitmap.SetPixel(rect.Right - 1, y, base::kBlack);
        }
    }

} // namespace

base::TBitmap DrawAltTextBox(std::string_view alt, const base::TTextMeasurer& measurer)
{
    const base::TTextSize text = measurer.MeasureText(alt);
    base::TBitmap box;
    box.Fill(std::clamp(text.Width, 0, kMaxAltTextWidth) + 5,
        std::clamp(text.Height, 0, kMaxAltTextHeight) + 6, kWhite);
    const base::TRect frame { 1, 1, box.Width - 1, box.Height - 1 };
    FrameRect(box, frame);
    measurer.DrawText(box, 3, 2, alt, frame);
    return box;
}

} // namespace pivrel::images
