#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::base {

// The ordered list of byte strings that decks, bodies and list files travel in.
using TStringList = std::vector<std::string>;

// The position of the first CR or LF at or after from, or the text's size when there is none.
std::size_t FindLineEnd(std::string_view text, std::size_t from);

// Calls visit with each line of the text, as a view into it, ended by CR LF, CR or LF; a last
// line without an end still counts, and a text that ends with a line end has no empty line after
// it. Reading lines in place spares a copy of the whole text.
template <class Visit> void ForEachLine(std::string_view text, Visit&& visit)
{
    std::size_t start = 0;
    for (std::size_t i = FindLineEnd(text, 0); i < text.size(); i = FindLineEnd(text, start)) {
        visit(text.substr(start, i - start));
        i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size())
        visit(text.substr(start));
}

// The lines of the text, split as ForEachLine splits them.
TStringList SplitLines(std::string_view text);

// Reads a whole file as bytes. Returns false and sets error (the system's reason text) when the
// file cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error);

// Writes the lines, each followed by CR LF.
bool SaveLinesToFile(const TStringList& lines, const std::string& path, std::string& error);

} // namespace pivrel::base
