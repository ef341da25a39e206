#include "wml/WMLParser.h"

namespace pivrel::wml {
// Stub: to be implemented.
bool TWMLParser::Parse(const TStringList&) { return false; }
std::string TWMLParser::Normalize(std::string_view text) { return std::string(text); }
} // namespace pivrel::wml
