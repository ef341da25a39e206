#include "wml/WMLDeck.h"

namespace pivrel::wml {
// Stub: to be implemented.
bool TWMLDeck::Clear() { CardList.clear(); return true; }
bool TWMLDeck::Parse(const TStringList&) { return false; }
std::int32_t TWMLDeck::CardIndexForURL(std::string_view) const { return 0; }
} // namespace pivrel::wml
