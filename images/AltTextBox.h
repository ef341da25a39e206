#pragma once

#include "base/Bitmap.h"
#include "base/TextMeasurer.h"

#include <string_view>

namespace pivrel::images {

// The box never grows past these text sizes, however long the text: what does not fit is clipped.
inline constexpr int kMaxAltTextWidth = 2048;
inline constexpr int kMaxAltTextHeight = 256;

// The stand-in for a missing picture: a white bitmap of (text width + 5) x (text height + 6)
// with a one-pixel black frame one pixel in from each edge, and the text inside it with its
// top-left corner at (3, 2).
base::TBitmap DrawAltTextBox(std::string_view alt, const base::TTextMeasurer& measurer);

} // namespace pivrel::images
