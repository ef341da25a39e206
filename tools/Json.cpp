#include "tools/Json.h"

#include "base/ByteWords.h"
#include "base/Utf8.h"

#include <array>
#include <charconv>
#include <cstring>

namespace pivrel::tools {

namespace {

    constexpr char kHex[] = "0123456789abcdef";

    // Strings up to this length that need no escape are quoted on the stack.
    constexpr std::size_t kShortString = 126;

    void AppendEscapedByte(std::string& out, unsigned char b)
    {
        out += "\\u00";
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }

    // Bytes that cannot be copied as they are: controls, the quote, the backslash, and every byte
    // of a multi-byte sequence (which must be checked for well-formedness).
    constexpr std::array<bool, 256> MakeEscapeTable()
    {
        std::array<bool, 256> table {};
        for (int b = 0; b < 256; ++b)
            table[std::size_t(b)] = b < 0x20 || b == '"' || b == '\\' || b >= 0x80;
        return table;
    }

    constexpr std::array<bool, 256> kNeedsEscape = MakeEscapeTable();

    bool NeedsEscape(unsigned char b)
    {
        return kNeedsEscape[b];
    }

    // Whether any of eight bytes needs escaping; each test below is exact about whether some byte
    // qualifies, though not about which.
    bool AnyNeedsEscape(std::uint64_t w)
    {
        return (base::BelowMarks(w, 0x20) | base::ByteMarks(w, '"') | base::ByteMarks(w, '\\')
                   | (w & base::kHighBits))
            != 0;
    }

    // The end of the run of bytes from i on that need nothing: eight at a time, then one by one.
    std::size_t PlainRunEnd(std::string_view text, std::size_t i)
    {
        while (text.size() - i >= 8) {
            std::uint64_t w;
            std::memcpy(&w, text.data() + i, 8);
            if (AnyNeedsEscape(w))
                break;
            i += 8;
        }
        while (i < text.size() && !NeedsEscape(static_cast<unsigned char>(text[i])))
            ++i;
        return i;
    }

} // namespace

void AppendJsonString(std::string& out, std::string_view text)
{
    std::size_t i = PlainRunEnd(text, 0);
    // Nearly every string needs no escape at all; a short one is written with its quotes in one
    // step from the stack.
    if (i == text.size() && i <= kShortString) {
        char quoted[kShortString + 2];
        quoted[0] = '"';
        if (i > 0)
            std::memcpy(quoted + 1, text.data(), i);
        quoted[i + 1] = '"';
        out.append(quoted, i + 2);
        return;
    }
    out += '"';
    out.append(text.data(), i);
    while (i < text.size()) {
        const std::size_t run = PlainRunEnd(text, i);
        out.append(text.data() + i, run - i);
        i = run;
        if (i >= text.size())
            break;
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x80) {
            const std::size_t n = base::Utf8SequenceLength(text, i);
            if (n == 0) {
                AppendEscapedByte(out, b);
                ++i;
            } else {
                out.append(text.data() + i, n);
                i += n;
            }
            continue;
        }
        switch (b) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            AppendEscapedByte(out, b);
            break;
        }
        ++i;
    }
    out += '"';
}

std::string& TJsonObject::EscapedKey(std::string_view name)
{
    if (!m_first)
        m_out += ',';
    m_first = false;
    AppendJsonString(m_out, name);
    m_out += ':';
    return m_out;
}

TJsonObject& TJsonObject::Null(std::string_view name)
{
    Key(name) += "null";
    return *this;
}

} // namespace pivrel::tools
