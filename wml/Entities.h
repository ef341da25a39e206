#pragma once

#include <string>
#include <string_view>

namespace pivrel::wml {

// Collapses every run of blanks to one blank, then decodes the character entities in table order
// (&nbsp; &amp; &lt; &gt; &quot; &shy; &apos; &#x...; &#...;). Numeric references give the UTF-8
// encoding of their code point, and &nbsp; that of U+00A0; a malformed one gives a blank.
std::string DecodeEntities(std::string_view text);

// The same entity table without the blank collapsing: values written into addresses and POST
// bodies are freed of their entities this way.
std::string DecodeEntityTable(std::string_view text);

// The UTF-8 encoding of a code point; empty for a value that is not a Unicode scalar value.
std::string EncodeUtf8(char32_t codePoint);

} // namespace pivrel::wml
