#include "engine/WMLBrowser.h"

namespace pivrel::engine {
// Stub: to be implemented.
TWMLBrowser::TWMLBrowser() { }
std::string TWMLBrowser::ReplaceVariables(std::string_view url, bool) { return std::string(url); }
std::string TWMLBrowser::ReplaceVar(std::string_view text, std::string_view, std::string_view) { return std::string(text); }
std::string TWMLBrowser::GetVariable(std::string_view) const { return {}; }
void TWMLBrowser::SetVariable(std::string_view, std::string_view) { }
void TWMLBrowser::ApplySetVars(const wml::TWMLVariable&) { }
std::string TWMLBrowser::ExpandText(std::string_view text) const { return std::string(text); }
std::string TWMLBrowser::DecodeEntities(std::string_view text) { return wml::DecodeEntities(text); }
std::string UrlEscape(std::string_view v) { return std::string(v); }
std::string UrlUnescape(std::string_view v) { return std::string(v); }
std::string FormEncode(std::string_view v) { return std::string(v); }
} // namespace pivrel::engine
