#include "wml/Charset.h"

namespace pivrel::wml {
// Stub: to be implemented.
std::string XmlDeclarationEncoding(std::string_view) { return {}; }
bool IsValidUtf8(std::string_view) { return true; }
std::string DeckTextToUtf8(std::string_view bytes, std::string_view) { return std::string(bytes); }
} // namespace pivrel::wml
