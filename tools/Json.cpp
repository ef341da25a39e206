#include "tools/Json.h"

#include "base/Utf8.h"

#include <array>
#include <charconv>
#include <cstring>

namespace pivrel::tools {

namespace {

    constexpr char kHex[] = "0123456789abcdef";

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
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
        const auto hasZero = [](std::uint64_t x) { return (x - kOnes) & ~x & kHigh; };
        const std::uint64_t control = (w - kOnes * 0x20) & ~w & kHigh;
        const std::uint64_t quote = hasZero(w ^ (kOnes * '"'));
        const std::uint64_t backslash = hasZero(w ^ (kOnes * '\\'));
        return (control | quote | backslash | (w & kHigh)) != 0;
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
    const std::size_t start = out.size();
    // Nearly every string needs no escape at all; it is written with its quotes in one step.
    out.resize(start + i + 2);
    char* written = out.data() + start;
    written[0] = '"';
    if (i > 0)
        std::memcpy(written + 1, text.data(), i);
    written[i + 1] = '"';
    if (i == text.size())
        return;
    out.pop_back();
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

TJsonObject::TJsonObject(std::string& out)
    : m_out(out)
{
    m_out += '{';
}

std::string& TJsonObject::Key(std::string_view name)
{
    // Member names are short words that need no escape; the separator, the quoted name and the
    // colon then go in as one piece.
    if (PlainRunEnd(name, 0) == name.size()) {
        const std::size_t start = m_out.size();
        const std::size_t comma = m_first ? 0 : 1;
        m_out.resize(start + comma + name.size() + 3);
        char* piece = m_out.data() + start;
        piece[0] = ',';
        piece[comma] = '"';
        if (!name.empty())
            std::memcpy(piece + comma + 1, name.data(), name.size());
        piece[comma + 1 + name.size()] = '"';
        piece[comma + 2 + name.size()] = ':';
        m_first = false;
        return m_out;
    }
    if (!m_first)
        m_out += ',';
    m_first = false;
    AppendJsonString(m_out, name);
    m_out += ':';
    return m_out;
}

TJsonObject& TJsonObject::String(std::string_view name, std::string_view value)
{
    AppendJsonString(Key(name), value);
    return *this;
}

TJsonObject& TJsonObject::Bool(std::string_view name, bool value)
{
    Key(name) += value ? "true" : "false";
    return *this;
}

TJsonObject& TJsonObject::Int(std::string_view name, std::int64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    Key(name).append(digits, result.ptr);
    return *this;
}

TJsonObject& TJsonObject::Null(std::string_view name)
{
    Key(name) += "null";
    return *this;
}

void TJsonObject::Close()
{
    m_out += '}';
}

} // namespace pivrel::tools
