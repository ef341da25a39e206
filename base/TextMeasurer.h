#pragma once

#include "base/Bitmap.h"

#include <string_view>

namespace pivrel::base {

// A rectangle in pixels; Right and Bottom are exclusive, as the window system's rectangles are.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

struct TTextSize {
    int Width = 0;
    int Height = 0;
};

// Measures and draws one line of UTF-8 text in the measurer's default font. The graphical
// front end implements it with its toolkit; the core draws the alternative-text box of a
// missing picture through it and so never needs a toolkit itself.
class TTextMeasurer
{
public:
    virtual ~TTextMeasurer() = default;

    // The size the text takes; the height is the font's line height even for an empty text.
    virtual TTextSize MeasureText(std::string_view text) const = 0;

    // Draws the text in black with its top-left corner at (x, y), touching only pixels inside
    // both the clip rectangle and the bitmap.
    virtual void DrawText(TBitmap& bitmap, int x, int y, std::string_view text, const TRect& clip) const = 0;
};

// The headless default: a built-in fixed-size font of 6 x 10 pixel cells. Printable ASCII has
// its own glyphs; every other code point, and every byte that is not valid UTF-8, is one cell
// showing a hollow box, so that any text measures and draws without failing.
class TFixedFontMeasurer : public TTextMeasurer
{
public:
    static constexpr int kCellWidth = 6;
    static constexpr int kCellHeight = 10;

    TTextSize MeasureText(std::string_view text) const override;
    void DrawText(TBitmap& bitmap, int x, int y, std::string_view text, const TRect& clip) const override;
};

// The number of cells the fixed font gives the text: one per UTF-8 code point, one per stray
// byte of a malformed sequence.
std::size_t CountCodePoints(std::string_view text);

} // namespace pivrel::base
