#pragma once

#include <cstdint>
#include <string>

namespace pivrel::base {

// A 32-bit colour value as the window system knows it (0x00BBGGRR); kNoColor means "not set".
using TColor = std::uint32_t;
inline constexpr TColor kNoColor = 0x1FFFFFFF;
inline constexpr TColor kBlack = 0x00000000;

// Font description carried by every element record: face, size in points, style set, colour
// and character set.
struct TFontDesc {
    std::string Name = "Arial";
    int Size = 10;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    TColor Color = kBlack;
    int Charset = 1; // the window system's "default character set"

    bool operator==(const TFontDesc&) const = default;
};

} // namespace pivrel::base
