#include "wml/Entities.h"

#include "base/Hex.h"
#include "base/Utf8.h"

#include <array>
#include <cstdint>
#include <optional>

namespace pivrel::wml {

namespace {

    // The text one decoding pass reads: the bytes of a replacement come back in front of the rest of the
    // input, so that they are scanned again together with what follows them. Every replacement is shorter
    // than what it replaces, which keeps a whole pass linear in the length of the text.
    class TReplayInput
    {
    public:
        explicit TReplayInput(std::string_view text)
            : m_text(text)
        { }

        bool Next(char& c)
        {
            if (!m_replay.empty()) {
                c = m_replay.back();
                m_replay.pop_back();
                return true;
            }
            if (m_pos >= m_text.size())
                return false;
            c = m_text[m_pos++];
            return true;
        }

        bool AtEnd() const { return m_replay.empty() && m_pos >= m_text.size(); }

        void PushFront(std::string_view bytes) { m_replay.append(bytes.rbegin(), bytes.rend()); }

        // Consumes everything up to and including the next ";" and returns what lay before it, or nothing
        // (consuming nothing) when no ";" follows.
        std::optional<std::string> TakeThroughSemicolon()
        {
            std::string taken;
            for (auto it = m_replay.rbegin(); it != m_replay.rend(); ++it) {
                if (*it == ';') {
                    m_replay.erase(m_replay.size() - (it - m_replay.rbegin()) - 1);
                    return taken;
                }
                taken.push_back(*it);
            }
            std::size_t semicolon = NextSemicolon();
            if (semicolon == std::string_view::npos)
                return std::nullopt;
            taken.append(m_text.substr(m_pos, semicolon - m_pos));
            m_replay.clear();
            m_pos = semicolon + 1;
            return taken;
        }

    private:
        // The next ";" at or after the read position. The answer is remembered: the read position only
        // grows, so the text is searched at most once in all.
        std::size_t NextSemicolon()
        {
            if (m_semicolonKnown && (m_semicolon == std::string_view::npos || m_semicolon >= m_pos))
                return m_semicolon;
            m_semicolon = m_text.find(';', m_pos);
            m_semicolonKnown = true;
            return m_semicolon;
        }

        std::string_view m_text;
        std::size_t m_pos = 0;
        std::string m_replay; // Stored reversed: the next byte is at the back.
        std::size_t m_semicolon = 0;
        bool m_semicolonKnown = false;
    };

    bool EndsWith(const std::string& text, std::string_view tail)
    {
        return text.size() >= tail.size() && std::string_view(text).substr(text.size() - tail.size()) == tail;
    }

    // Replaces the entity again and again, each time its first occurrence: the text before a replacement
    // holds no occurrence, so scanning on from the replacement with the output tail in view is the same.
    std::string ReplaceRepeatedly(
        std::string_view text, std::string_view entity, std::string_view replacement)
    {
        std::string out;
        out.reserve(text.size());
        TReplayInput input(text);
        char c;
        while (input.Next(c)) {
            out.push_back(c);
            if (c == entity.back() && EndsWith(out, entity)) {
                out.resize(out.size() - entity.size());
                input.PushFront(replacement);
            }
        }
        return out;
    }

    bool IsScalarValue(std::uint64_t value)
    {
        return value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
    }

    // The code point that a run of hex digits names, or nothing when it is not a Unicode scalar value.
    std::optional<char32_t> HexCodePoint(std::string_view digits)
    {
        std::uint64_t value = 0;
        for (char c : digits) {
            value = value * 16 + base::HexDigitValue(c);
            if (value > 0x10FFFF)
                return std::nullopt;
        }
        if (!IsScalarValue(value))
            return std::nullopt;
        return static_cast<char32_t>(value);
    }

    // The code point of a decimal number text (an optional "+", then digits), or nothing.
    std::optional<char32_t> DecimalCodePoint(std::string_view text)
    {
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        if (text.empty())
            return std::nullopt;
        std::uint64_t value = 0;
        for (char c : text) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > 0x10FFFF)
                return std::nullopt;
        }
        if (!IsScalarValue(value))
            return std::nullopt;
        return static_cast<char32_t>(value);
    }

    // "&#x" + hex digits + ";". When a ";" arrives, the output tail tells whether it closes a reference:
    // hex digits hold no "&", so at most one candidate is open at a time. A reference that is not well
    // formed is left for the decimal rule.
    std::string ReplaceHexReferences(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        TReplayInput input(text);
        char c;
        while (input.Next(c)) {
            if (c != ';') {
                out.push_back(c);
                continue;
            }
            std::size_t digitsStart = out.size();
            while (digitsStart > 0 && base::HexDigitValue(out[digitsStart - 1]) >= 0)
                --digitsStart;
            bool wellFormed = digitsStart < out.size() && digitsStart >= 3
                && std::string_view(out).substr(digitsStart - 3, 3) == "&#x";
            std::optional<char32_t> codePoint;
            if (wellFormed)
                codePoint = HexCodePoint(std::string_view(out).substr(digitsStart));
            if (!codePoint) {
                out.push_back(c);
                continue;
            }
            out.resize(digitsStart - 3);
            input.PushFront(EncodeUtf8(*codePoint));
        }
        return out;
    }

    // "&#" + number text + the first ";" after it. Whatever lies between counts as the number text, other
    // references included, so the ";" is looked up ahead rather than found by scanning.
    std::string ReplaceDecimalReferences(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        TReplayInput input(text);
        char c;
        while (input.Next(c)) {
            if (c != '#' || out.empty() || out.back() != '&') {
                out.push_back(c);
                continue;
            }
            out.pop_back();
            std::optional<std::string> number = input.TakeThroughSemicolon();
            if (!number) {
                // Without a closing ";" the "&", the "#" and the character after them give one blank.
                char skipped;
                input.Next(skipped);
                input.PushFront(" ");
                continue;
            }
            std::optional<char32_t> codePoint = DecimalCodePoint(*number);
            input.PushFront(codePoint ? EncodeUtf8(*codePoint) : std::string(" "));
        }
        return out;
    }

    std::string CollapseBlanks(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        for (char c : text) {
            if (c == ' ' && !out.empty() && out.back() == ' ')
                continue;
            out.push_back(c);
        }
        return out;
    }

    struct TEntity {
        std::string_view Name;
        std::string_view Replacement;
    };

    constexpr std::array<TEntity, 7> kNamedEntities { {
        // A non-breaking space: lines never break at it and blanks never swallow it.
        { "&nbsp;", "\xC2\xA0" },
        { "&amp;", "&" },
        { "&lt;", "<" },
        { "&gt;", ">" },
        { "&quot;", "\"" },
        { "&shy;", "\xC2\xAD" },
        { "&apos;", "'" },
    } };

} // namespace

std::string DecodeEntityTable(std::string_view text)
{
    std::string result(text);
    for (const TEntity& entity : kNamedEntities) {
        if (result.find(entity.Name) != std::string::npos)
            result = ReplaceRepeatedly(result, entity.Name, entity.Replacement);
    }
    if (result.find("&#") == std::string::npos)
        return result;
    result = ReplaceHexReferences(result);
    return ReplaceDecimalReferences(result);
}

std::string DecodeEntities(std::string_view text)
{
    return DecodeEntityTable(CollapseBlanks(text));
}

std::string EncodeUtf8(char32_t codePoint)
{
    std::uint32_t cp = codePoint;
    if (!IsScalarValue(cp) && cp != 0)
        return {};
    std::string out;
    base::AppendUtf8(out, codePoint);
    return out;
}

} // namespace pivrel::wml
