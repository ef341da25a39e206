#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pivrel::base {

// The ordered list of byte strings that decks, bodies and list files travel in.
using TStringList = std::vector<std::string>;

// Splits text into lines ended by CR LF, CR or LF; a last line without an end still counts,
// and a text that ends with a line end has no empty line after it.
TStringList SplitLines(std::string_view text);

// Reads a whole file as bytes. Returns false and sets error (the system's reason text) when the
// file cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error);

// Writes the lines, each followed by CR LF.
bool SaveLinesToFile(const TStringList& lines, const std::string& path, std::string& error);

} // namespace pivrel::base
