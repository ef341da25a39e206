#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pivrel::engine {

// A compiled deck (WBXML-encoded WML) turned back into WML text, or the reason it could not be.
struct TWmlcResult {
    bool Ok = false;
    // The deck as UTF-8 WML text, with its XML declaration and document type.
    std::string Text;
    // Why the body is not a deck, in words for the status bar.
    std::string Reason;
};

// A deck text longer than this is not produced: a small compiled deck whose strings are repeated
// by reference could otherwise grow without end.
inline constexpr std::size_t kMaxWmlcTextBytes = std::size_t(64) << 20;

// Decodes a compiled deck. A body that is not WBXML, is cut short, or would decode to more than
// maxText bytes fails with a reason.
TWmlcResult DecodeWmlc(std::string_view bytes, std::size_t maxText = kMaxWmlcTextBytes);

// True when the bytes start as a deck's text does ('<' after optional blanks and byte-order
// mark): no compiled deck can, since its first byte is a WBXML version. Servers label text
// decks as compiled ones often enough that such a body is taken as the text it is.
bool LooksLikeDeckText(std::string_view bytes);

// True for the content type of compiled decks ("application/vnd.wap.wmlc", parameters allowed).
bool IsWmlcContentType(std::string_view contentType);

// True for a local file name ending in ".wmlc", in any letter case.
bool IsWmlcFileName(std::string_view path);

} // namespace pivrel::engine
