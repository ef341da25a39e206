#pragma once

#include <string>
#include <string_view>

namespace pivrel::testsupport {

// Compiles WML text into a WBXML deck with libwbxml2's own encoder, keeping the white space of
// the text; empty when the encoder refuses the text.
std::string EncodeWmlc(std::string_view wmlText);

} // namespace pivrel::testsupport
