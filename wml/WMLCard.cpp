#include "wml/WMLCard.h"

namespace pivrel::wml {
// Stub: to be implemented.
bool TWMLCard::Parse(std::string_view) { return true; }
void TWMLCard::TimerExpired() { }
void TWMLCard::AddText(std::string_view) { }
void TWMLCard::AddBR() { }
void TWMLCard::AddAlignmentChange(TWMLAlignment) { }
void TWMLCard::AddLink(std::string_view, std::string_view, bool) { }
void TWMLCard::AddTimer(std::string_view, std::int32_t) { }
void TWMLCard::AddInput(std::string_view) { }
void TWMLCard::AddImage(std::string_view) { }
void TWMLCard::AddSelect(std::string_view) { }
void TWMLCard::AddPostField(std::string_view) { }
std::int32_t TimerValue(std::string_view) { return 1; }
} // namespace pivrel::wml
