#pragma once

#include <string>
#include <string_view>

namespace pivrel::testsupport {

// Whether repeated strings go into the document's string table, as gateways do. The encoder's
// table takes time quadratic in the number of strings, too slow for a megabyte deck.
enum class TWmlcStrings { Table, Inline };

// Compiles WML text into a WBXML deck with libwbxml2's own encoder, keeping the white space of
// the text; empty when the encoder refuses the text.
std::string EncodeWmlc(std::string_view wmlText, TWmlcStrings strings = TWmlcStrings::Table);

} // namespace pivrel::testsupport
