#pragma once

#include "base/FontDesc.h"

#include <cstdint>
#include <vector>

namespace pivrel::base {

// A small picture in memory: Width x Height pixels, row by row, each a TColor.
struct TBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<TColor> Pixels;
    bool Transparent = false;
    TColor TransparentColor = kNoColor;

    bool Empty() const { return Width == 0 || Height == 0; }
};

} // namespace pivrel::base
