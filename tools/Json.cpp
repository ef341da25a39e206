#include "tools/Json.h"

#include <array>
#include <charconv>

namespace pivrel::tools {

namespace {

    constexpr char kHex[] = "0123456789abcdef";

    void AppendEscapedByte(std::string& out, unsigned char b)
    {
        out += "\\u00";
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }

    // Length of the well-formed UTF-8 sequence starting at text[i] (no overlong forms, surrogates or
    // code points past U+10FFFF), or 0.
    std::size_t SequenceLength(std::string_view text, std::size_t i)
    {
        const auto b0 = static_cast<unsigned char>(text[i]);
        std::size_t need = 0;
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            need = 1;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            need = 2;
            lo = b0 == 0xE0 ? 0xA0 : 0x80;
            hi = b0 == 0xED ? 0x9F : 0xBF;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            need = 3;
            lo = b0 == 0xF0 ? 0x90 : 0x80;
            hi = b0 == 0xF4 ? 0x8F : 0xBF;
        } else {
            return 0;
        }
        if (i + need >= text.size())
            return 0;
        for (std::size_t k = 1; k <= need; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF))
                return 0;
        }
        return need + 1;
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

} // namespace

void AppendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        // Copy the run of bytes that need nothing in one go: that is nearly all of a deck.
        std::size_t run = i;
        while (run < text.size() && !NeedsEscape(static_cast<unsigned char>(text[run])))
            ++run;
        out.append(text.data() + i, run - i);
        i = run;
        if (i >= text.size())
            break;
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x80) {
            const std::size_t n = SequenceLength(text, i);
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
