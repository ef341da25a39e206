#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace pivrel::engine {

// The body of a WBXML document (what follows its string table) cut into the content items of
// its root element: each top-level element with all it holds, and each text run between them,
// in order and without gaps. The root is a single tag token with content and no attributes;
// strings end in one zero byte. None when the body is otherwise (a code page switch, a root with
// attributes or a literal name, a string in a two-byte charset is the caller's to rule out), is
// cut short, or goes on past its root's end.
std::optional<std::vector<std::string_view>> SplitRootContent(std::string_view body);

// True when every token of the body can be followed to the end of its root element and through
// the processing instructions after it (code page switches allowed), and every character entity
// names a character.
// The library that decodes compiled decks trusts its input on points a damaged or hostile body
// gets wrong: such a body is refused before it reaches the library.
bool ReadableBody(std::string_view body);

} // namespace pivrel::engine
