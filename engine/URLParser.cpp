#include "engine/URLParser.h"

namespace pivrel::engine {
// Stub: to be implemented.
bool TURLParser::Clear() { return true; }
std::string TURLParser::Resolve(std::string_view, bool) { return {}; }
std::string TURLParser::BuildURL() const { return {}; }
} // namespace pivrel::engine
