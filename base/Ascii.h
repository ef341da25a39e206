#pragma once

#include <string>
#include <string_view>

namespace pivrel::base {

// Letter case of ASCII letters only: bytes of UTF-8 sequences and the current locale never
// change the result, so addresses, tags and header names compare the same everywhere.
constexpr char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
bool SameTextIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

} // namespace pivrel::base
