#pragma once

#include "base/Ascii.h"
#include "base/StringList.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace pivrel::base {

// The per-user files are small; these bounds keep a damaged or hostile file from taking the
// program's memory or time. What lies past them is ignored.
inline constexpr std::size_t kMaxListFileBytes = 8 * 1024 * 1024;
inline constexpr std::size_t kMaxListLineBytes = 64 * 1024;
inline constexpr std::size_t kMaxListLines = 100000;

// Splits text into lines ended by CR LF, CR or LF. A line longer than kMaxListLineBytes is
// dropped whole, and splitting stops after maxLines lines.
TStringList SplitBoundedLines(std::string_view text, std::size_t maxLines = kMaxListLines);

// Reads at most kMaxListFileBytes of a regular file. False when the file is missing, is not a
// regular file or cannot be read; bytes is then empty.
bool ReadBoundedFile(const std::string& path, std::string& bytes);

// Writes the bytes to a new file beside path (mode 0600) and renames it over path, so that a
// failed write never leaves a half-written file behind. When path is a symbolic link, the file
// it leads to is replaced and the link stays.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// The entries of an address list: one per line; empty lines and lines holding control bytes
// (binary junk) are skipped.
TStringList ParseListText(std::string_view text);

// A missing or unreadable file is an empty list.
TStringList LoadListFile(const std::string& path);

// Every entry is followed by CR LF. A line end inside an entry becomes a blank, so that one entry
// can never turn into two.
std::string FormatListText(const TStringList& lines);
bool SaveListFile(const TStringList& lines, const std::string& path, std::string& error);

} // namespace pivrel::base
