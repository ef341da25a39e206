#include "engine/WMLHistory.h"

namespace pivrel::engine {
// Stub: to be implemented.
bool TWMLHistory::Add(const std::string&) { return true; }
bool TWMLHistory::CanGoBack() const { return false; }
bool TWMLHistory::CanGoForward() const { return false; }
bool TWMLHistory::Back() { return false; }
bool TWMLHistory::Forward() { return false; }
} // namespace pivrel::engine
