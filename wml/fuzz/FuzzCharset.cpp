// Deck bytes of any kind, under any of a few charsets, must come out as well-formed UTF-8.
#include "wml/Charset.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::string_view kCharsets[] = { "", "utf-8", "windows-1252", "iso-8859-1", "koi8-r",
        "shift_jis", "utf-16", "utf-16be", "iso-2022-jp", "gb18030", "utf-7", "no-such-charset" };
    if (size == 0)
        return 0;
    const std::string_view charset = kCharsets[data[0] % std::size(kCharsets)];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (!pivrel::wml::IsValidUtf8(pivrel::wml::DeckTextToUtf8(bytes, charset)))
        std::abort();
    pivrel::wml::XmlDeclarationEncoding(bytes);
    return 0;
}
