#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pivrel::base {

// A 32-bit colour value as the window system knows it (0x00BBGGRR); kNoColor means "not set".
using TColor = std::uint32_t;
inline constexpr TColor kNoColor = 0x1FFFFFFF;
inline constexpr TColor kBlack = 0x00000000;

// A font's face name. Every element record carries a font, and a run meets only a handful of
// faces, so each distinct name is kept once for the whole run and a font refers to it: copying a
// font then copies a pointer, and a deck of a million records holds no million copies of "Arial".
class TFaceName
{
public:
    // "Arial", the face every font starts from.
    TFaceName();
    explicit TFaceName(std::string_view name);

    TFaceName& operator=(std::string_view name) { return *this = TFaceName(name); }

    const std::string& Text() const { return *m_name; }

    operator const std::string&() const { return *m_name; }

    // One name, one entry: equal names are the same entry.
    bool operator==(const TFaceName& other) const { return m_name == other.m_name; }

    bool operator==(std::string_view name) const { return *m_name == name; }

private:
    const std::string* m_name;
};

// Font description carried by every element record: face, size in points, style set, colour
// and character set.
struct TFontDesc {
    TFaceName Name;
    int Size = 10;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    TColor Color = kBlack;
    int Charset = 1; // the window system's "default character set"

    bool operator==(const TFontDesc&) const = default;
};

} // namespace pivrel::base
