#include "base/TextMeasurer.h"
#include "images/AltTextBox.h"
#include "images/Wbmp.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Any bytes as a picture, then the same bytes as the text of the box that stands in for it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    pivrel::base::TBitmap bitmap;
    int width = 0, height = 0;
    if (pivrel::images::DecodeWBMP(bytes, bitmap, width, height)) {
        if (!bitmap.Complete() || bitmap.Width != width || bitmap.Height != height)
            __builtin_trap();
        pivrel::images::EncodePBM(bitmap);
    } else {
        pivrel::images::DrawAltTextBox(bytes.substr(0, 4096), pivrel::base::TFixedFontMeasurer());
    }
    return 0;
}
