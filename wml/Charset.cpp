#include "wml/Charset.h"

#include "base/Ascii.h"
#include "base/Utf8.h"

#include <array>
#include <cerrno>
#include <iconv.h>

namespace pivrel::wml {

namespace {

    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

    // The declaration is looked for only near the start: a deck whose first bytes are not it has none.
    constexpr std::size_t kDeclarationWindow = 1024;

    bool IsBlank(char c)
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    }

    std::string LowerTrimmed(std::string_view name)
    {
        while (!name.empty() && (IsBlank(name.front()) || name.front() == '"' || name.front() == '\''))
            name.remove_prefix(1);
        while (!name.empty() && (IsBlank(name.back()) || name.back() == '"' || name.back() == '\''))
            name.remove_suffix(1);
        return base::AsciiLower(name);
    }

    // Every ill-formed part of text as U+FFFD; well-formed text is returned byte for byte.
    std::string SanitizeUtf8(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        std::size_t i = 0;
        while (i < text.size()) {
            const std::size_t n = base::Utf8SequenceLength(text, i);
            if (n != 0) {
                out.append(text.substr(i, n));
                i += n;
            } else {
                out.append(kReplacement);
                i += base::Utf8InvalidLength(text, i);
            }
        }
        return out;
    }

    // Code points of 0x80 to 0x9F in Windows-1252. The five bytes the code page leaves undefined map
    // to the C1 control of the same value, as web browsers read them.
    constexpr std::array<char16_t, 32> kWindows1252High = {
        0x20AC,
        0x0081,
        0x201A,
        0x0192,
        0x201E,
        0x2026,
        0x2020,
        0x2021,
        0x02C6,
        0x2030,
        0x0160,
        0x2039,
        0x0152,
        0x008D,
        0x017D,
        0x008F,
        0x0090,
        0x2018,
        0x2019,
        0x201C,
        0x201D,
        0x2022,
        0x2013,
        0x2014,
        0x02DC,
        0x2122,
        0x0161,
        0x203A,
        0x0153,
        0x009D,
        0x017E,
        0x0178,
    };

    std::string Windows1252ToUtf8(std::string_view text)
    {
        std::string out;
        out.reserve(text.size() + text.size() / 2);
        for (char c : text) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x80)
                out += c;
            else if (b < 0xA0)
                base::AppendUtf8(out, kWindows1252High[b - 0x80]);
            else
                base::AppendUtf8(out, b);
        }
        return out;
    }

    enum class TDecoder { None, Utf8, Windows1252, Iconv };

    // Labels that web content uses for Windows-1252; ISO-8859-1 is among them because pages that say
    // Latin-1 routinely carry the code page's quotes and euro sign.
    bool IsWindows1252Label(const std::string& name)
    {
        static constexpr std::array<std::string_view, 11> kLabels = {
            "windows-1252",
            "cp1252",
            "x-cp1252",
            "iso-8859-1",
            "iso8859-1",
            "iso_8859-1",
            "latin1",
            "l1",
            "us-ascii",
            "ascii",
            "iso-ir-100",
        };
        for (std::string_view label : kLabels) {
            if (name == label)
                return true;
        }
        return false;
    }

    bool IsUtf16Or32Label(const std::string& name)
    {
        return name.rfind("utf-16", 0) == 0 || name.rfind("utf16", 0) == 0 || name.rfind("utf-32", 0) == 0
            || name.rfind("utf32", 0) == 0 || name.rfind("ucs-2", 0) == 0 || name.rfind("ucs-4", 0) == 0;
    }

    // Converts the whole text with an iconv descriptor; a byte the charset cannot read becomes U+FFFD
    // and the conversion goes on after it, a truncated sequence at the end becomes one U+FFFD.
    std::string ConvertWithIconv(iconv_t cd, std::string_view text)
    {
        std::string out;
        out.reserve(text.size() + text.size() / 2);
        std::array<char, 16384> buffer {};
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        while (inLeft != 0) {
            char* outPtr = buffer.data();
            std::size_t outLeft = buffer.size();
            const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
            const int error = rc == std::size_t(-1) ? errno : 0;
            out.append(buffer.data(), std::size_t(outPtr - buffer.data()));
            if (error == 0 || error == E2BIG)
                continue;
            out.append(kReplacement);
            const std::size_t skip = error == EINVAL ? inLeft : 1;
            in += skip;
            inLeft -= skip;
        }
        // A stateful charset may still owe the bytes that return it to its initial state.
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer.data(), std::size_t(outPtr - buffer.data()));
        return out;
    }

    // The decoder for a charset name, or None when the name is empty or unknown.
    TDecoder DecoderFor(const std::string& name, iconv_t* cd)
    {
        if (name.empty())
            return TDecoder::None;
        if (name == "utf-8" || name == "utf8")
            return TDecoder::Utf8;
        if (IsWindows1252Label(name))
            return TDecoder::Windows1252;
        *cd = iconv_open("UTF-8", name.c_str());
        return *cd == iconv_t(-1) ? TDecoder::None : TDecoder::Iconv;
    }

    std::string Decode(std::string_view bytes, const std::string& charset)
    {
        iconv_t cd = iconv_t(-1);
        switch (DecoderFor(charset, &cd)) {
        case TDecoder::Utf8:
            return IsValidUtf8(bytes) ? std::string(bytes) : SanitizeUtf8(bytes);
        case TDecoder::Windows1252:
            return Windows1252ToUtf8(bytes);
        case TDecoder::Iconv: {
            std::string out = ConvertWithIconv(cd, bytes);
            iconv_close(cd);
            // A charset whose output could still be ill-formed (none should) must not leak bytes.
            return IsValidUtf8(out) ? out : SanitizeUtf8(out);
        }
        case TDecoder::None:
            break;
        }
        return IsValidUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
    }

    // The charset that a byte-order mark announces, or empty.
    std::string BomCharset(std::string_view bytes)
    {
        if (bytes.substr(0, 3) == kUtf8Bom)
            return "utf-8";
        if (bytes.substr(0, 2) == "\xFF\xFE")
            return "utf-16le";
        if (bytes.substr(0, 2) == "\xFE\xFF")
            return "utf-16be";
        return {};
    }

    void DropLeadingBom(std::string& text)
    {
        if (std::string_view(text).substr(0, 3) == kUtf8Bom)
            text.erase(0, 3);
    }

} // namespace

std::string XmlDeclarationEncoding(std::string_view text)
{
    if (text.substr(0, 3) == kUtf8Bom)
        text.remove_prefix(3);
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    text = text.substr(start, kDeclarationWindow);
    if (!base::StartsWithIgnoringCase(text, "<?xml") || text.size() < 6 || !IsBlank(text[5]))
        return {};
    const std::size_t end = text.find("?>");
    const std::string_view declaration = text.substr(0, end);
    for (std::size_t i = 5; i + 8 <= declaration.size(); ++i) {
        if (!IsBlank(declaration[i - 1]) || !base::StartsWithIgnoringCase(declaration.substr(i), "encoding"))
            continue;
        std::size_t p = i + 8;
        while (p < declaration.size() && IsBlank(declaration[p]))
            ++p;
        if (p >= declaration.size() || declaration[p] != '=')
            continue;
        ++p;
        while (p < declaration.size() && IsBlank(declaration[p]))
            ++p;
        if (p >= declaration.size() || (declaration[p] != '"' && declaration[p] != '\''))
            return {};
        const std::size_t close = declaration.find(declaration[p], p + 1);
        if (close == std::string_view::npos)
            return {};
        return std::string(declaration.substr(p + 1, close - p - 1));
    }
    return {};
}

bool IsValidUtf8(std::string_view text)
{
    return base::IsValidUtf8(text);
}

std::string DeckTextToUtf8(std::string_view bytes, std::string_view contentTypeCharset)
{
    std::string charset = LowerTrimmed(contentTypeCharset);
    iconv_t probe = iconv_t(-1);
    if (DecoderFor(charset, &probe) == TDecoder::None)
        charset = BomCharset(bytes);
    if (probe != iconv_t(-1))
        iconv_close(probe);
    if (charset.empty()) {
        charset = LowerTrimmed(XmlDeclarationEncoding(bytes));
        // A declaration readable as ASCII cannot be telling the truth about a 16- or 32-bit form.
        if (IsUtf16Or32Label(charset))
            charset.clear();
    }
    std::string text = Decode(bytes, charset);
    DropLeadingBom(text);
    return text;
}

} // namespace pivrel::wml
