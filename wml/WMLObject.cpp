#include "wml/WMLObject.h"

namespace pivrel::wml {
// Stub: to be implemented.
const char* TWMLObject::ClassName() const { return "TWMLObject"; }
const std::string& TWMLObject::GetVarValue() const { return VarObject.VarValue; }
const std::string& TWMLObject::GetIVarValue() const { return VarObject.iVarValue; }
std::string GetElement(std::string_view, std::string_view) { return {}; }
std::string GetAttribute(std::string_view, std::string_view, std::string_view d) { return std::string(d); }
bool DeleteElement(std::string_view, std::string&) { return true; }
std::string GetElementText(std::string_view) { return {}; }
std::string_view GetElementView(std::string_view, std::string_view) { return {}; }
std::string_view GetAttributeView(std::string_view, std::string_view, std::string_view d) { return d; }
std::string_view GetElementTextView(std::string_view) { return {}; }
void TWMLBtn::Parse(std::string_view) { }
void TWMLInput::Parse(std::string_view) { }
void TWMLImage::Parse(std::string_view) { }
} // namespace pivrel::wml
