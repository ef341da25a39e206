#pragma once

#include <string>
#include <string_view>

namespace pivrel::wml {

// The encoding named by an XML declaration at the start of the text (<?xml ... encoding="..."?>),
// or empty.
std::string XmlDeclarationEncoding(std::string_view text);

bool IsValidUtf8(std::string_view text);

// A deck's bytes as UTF-8 text. The charset of the Content-Type, when given, wins over the XML
// declaration's encoding; without either, valid UTF-8 stays as it is and anything else is read as
// Windows-1252. An unknown charset name is treated as if none was given; bytes that do not fit the
// named charset become U+FFFD.
std::string DeckTextToUtf8(std::string_view bytes, std::string_view contentTypeCharset = {});

} // namespace pivrel::wml
