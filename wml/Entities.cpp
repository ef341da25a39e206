#include "wml/Entities.h"

namespace pivrel::wml {
// Stub: to be implemented.
std::string DecodeEntities(std::string_view text) { return std::string(text); }
std::string DecodeEntityTable(std::string_view text) { return std::string(text); }
std::string EncodeUtf8(char32_t) { return {}; }
} // namespace pivrel::wml
