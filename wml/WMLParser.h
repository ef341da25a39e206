#pragma once

#include "base/StringList.h"

#include <string>
#include <string_view>

namespace pivrel::wml {

using base::TStringList;

// Joins a deck's lines, checks that they look like a deck, and normalises every tag so that the
// substring searches of the text operations can work on it.
class TWMLParser
{
public:
    TStringList WMLLines;
    std::string WMLCode;

    bool Parse(const TStringList& lines);
    // The same, keeping the lines without copying them.
    bool Parse(TStringList&& lines);
    static std::string Normalize(std::string_view text);
};

} // namespace pivrel::wml
