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
    // The same over a whole text, its lines ended by CR LF, CR or LF and read where they lie. The
    // lines are kept only when the text is rejected, for the report of what it lacks; an accepted
    // text lives on as WMLCode alone, since a copy of its lines would weigh twice the text.
    bool ParseText(std::string_view text);
    static std::string Normalize(std::string_view text);

private:
    bool Accept(std::string joined);
};

} // namespace pivrel::wml
