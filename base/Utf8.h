#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pivrel::base {

// Well-formed UTF-8 here is the strict form: no overlong encodings, no surrogates and nothing
// past U+10FFFF, so that one character can never hide inside another's bytes.

// The length of the well-formed sequence that starts at text[pos] (1 for ASCII), or 0 when none
// starts there. pos must be inside text.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// For a position where no well-formed sequence starts: how many bytes form the longest prefix
// that could have begun one (at least 1). Replacing each such prefix by one U+FFFD gives the
// usual count of replacement characters for a broken text.
std::size_t Utf8InvalidLength(std::string_view text, std::size_t pos);

// Decodes the character at text[pos] and advances pos past it. Where no well-formed sequence
// starts, it yields invalid and advances by one byte only, so that the bytes after it are read
// afresh.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos, char32_t invalid);

bool IsValidUtf8(std::string_view text);

// Appends the UTF-8 form of a code point below 0x110000; the caller has checked the value.
void AppendUtf8(std::string& out, char32_t codePoint);

} // namespace pivrel::base
