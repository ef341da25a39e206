#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace pivrel::tools {

// Appends text as a JSON string literal, quotes included. Well-formed UTF-8 passes through as it
// is; a byte that is not part of a well-formed sequence is written as \u00XX so that the output
// stays valid JSON whatever the deck held.
void AppendJsonString(std::string& out, std::string_view text);

// Builds one JSON object into a caller's buffer, member by member, without a tree.
class TJsonObject
{
public:
    // New: the object is opened ("{") at the end of out. Continued: out already ends with the
    // object's opening and at least one member, written by the caller. Close appends the "}".
    enum class TOpen { New, Continued };

    explicit TJsonObject(std::string& out, TOpen open = TOpen::New)
        : m_out(out)
        , m_first(open == TOpen::New)
    {
        if (m_first)
            m_out += '{';
    }

    [[gnu::always_inline]] TJsonObject& String(std::string_view name, std::string_view value)
    {
        AppendJsonString(Key(name), value);
        return *this;
    }

    [[gnu::always_inline]] TJsonObject& Bool(std::string_view name, bool value)
    {
        Key(name).append(value ? "true" : "false", value ? 4 : 5);
        return *this;
    }

    [[gnu::always_inline]] TJsonObject& Int(std::string_view name, std::int64_t value)
    {
        std::string& out = Key(name);
        // Alignments, counts and flags are mostly one digit.
        if (value >= 0 && value <= 9) {
            out += static_cast<char>('0' + value);
            return *this;
        }
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        out.append(digits, static_cast<std::size_t>(result.ptr - digits));
        return *this;
    }

    TJsonObject& Null(std::string_view name);

    // The member's name and colon; the caller appends the value itself. The member names are
    // written in the program as short words that need no escape; with the call written out where
    // it is made, the name is known there, so its separator, quotes and colon are put together
    // on the stack in a few moves and go in as one piece. Writing the records' JSON is most of
    // the inspector's work after the parse.
    [[gnu::always_inline]] std::string& Key(std::string_view name)
    {
        if (name.size() > kShortKey || !IsPlainName(name))
            return EscapedKey(name);
        char piece[kShortKey + 4];
        piece[0] = ',';
        piece[1] = '"';
        if (!name.empty())
            std::memcpy(piece + 2, name.data(), name.size());
        piece[name.size() + 2] = '"';
        piece[name.size() + 3] = ':';
        const std::size_t comma = m_first ? 1 : 0;
        m_first = false;
        return m_out.append(piece + comma, name.size() + 4 - comma);
    }

    void Close() { m_out += '}'; }

private:
    static constexpr std::size_t kShortKey = 60;

    [[gnu::always_inline]] static bool IsPlainName(std::string_view name)
    {
        for (const char c : name) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x20 || b >= 0x80 || b == '"' || b == '\\')
                return false;
        }
        return true;
    }

    std::string& EscapedKey(std::string_view name);

    std::string& m_out;
    bool m_first;
};

} // namespace pivrel::tools
