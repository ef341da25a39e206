#pragma once

#include "base/Bitmap.h"

#include <vector>

namespace pivrel::testsupport {

// Every pixel of a bitmap, row by row, whichever way it stores them.
inline std::vector<base::TColor> AllPixels(const base::TBitmap& bitmap)
{
    std::vector<base::TColor> pixels;
    for (int y = 0; y < bitmap.Height; ++y)
        for (int x = 0; x < bitmap.Width; ++x)
            pixels.push_back(bitmap.Pixel(x, y));
    return pixels;
}

} // namespace pivrel::testsupport
