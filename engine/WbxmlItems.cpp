#include "engine/WbxmlItems.h"

#include <cstdint>

namespace pivrel::engine {

namespace {

    constexpr unsigned char kSwitchPage = 0x00;
    constexpr unsigned char kEnd = 0x01;
    constexpr unsigned char kEntity = 0x02;
    constexpr unsigned char kStrI = 0x03;
    constexpr unsigned char kLiteral = 0x04;
    constexpr unsigned char kPi = 0x43;
    constexpr unsigned char kStrT = 0x83;
    constexpr unsigned char kOpaque = 0xC3;
    constexpr unsigned char kHasAttributes = 0x80;
    constexpr unsigned char kHasContent = 0x40;
    // The library aborts the whole program on a character entity past this, so such a body is
    // refused before it gets there; nothing past it is a character anyway.
    constexpr std::uint32_t kLastCharacter = 0x10FFFF;

    // Reads through the body; every read past its end fails the whole walk.
    class TTokenReader
    {
    public:
        explicit TTokenReader(std::string_view body)
            : m_body(body)
        { }

        bool AtEnd() const { return m_pos >= m_body.size(); }

        std::size_t Pos() const { return m_pos; }

        bool Byte(unsigned char& out)
        {
            if (AtEnd())
                return false;
            out = static_cast<unsigned char>(m_body[m_pos++]);
            return true;
        }

        bool MultiByte(std::uint32_t& value)
        {
            value = 0;
            for (int i = 0; i < 5; ++i) {
                unsigned char byte = 0;
                if (!Byte(byte))
                    return false;
                value = (value << 7) | (byte & 0x7F);
                if ((byte & 0x80) == 0)
                    return true;
            }
            return false;
        }

        bool TerminatedString()
        {
            const std::size_t zero = m_body.find('\0', m_pos);
            if (zero == std::string_view::npos)
                return false;
            m_pos = zero + 1;
            return true;
        }

        bool Skip(std::uint32_t count)
        {
            if (count > m_body.size() - m_pos)
                return false;
            m_pos += count;
            return true;
        }

    private:
        std::string_view m_body;
        std::size_t m_pos = 0;
    };

    // The payload of a token that may stand in content and in attribute lists alike; false for
    // a token that is none of those or whose payload is cut short. *known tells which.
    bool SkipGlobal(TTokenReader& reader, unsigned char token, bool& known)
    {
        known = true;
        std::uint32_t value = 0;
        switch (token) {
        case kEntity:
            return reader.MultiByte(value) && value <= kLastCharacter;
        case 0x80: // EXT_T_0..2 and STR_T carry a number
        case 0x81:
        case 0x82:
        case kStrT:
            return reader.MultiByte(value);
        case kStrI:
        case 0x40: // EXT_I_0..2 carry a string
        case 0x41:
        case 0x42:
            return reader.TerminatedString();
        case 0xC0: // EXT_0..2 carry nothing
        case 0xC1:
        case 0xC2:
            return true;
        case kOpaque:
            return reader.MultiByte(value) && reader.Skip(value);
        default:
            known = false;
            return false;
        }
    }

    enum class TPageSwitches { Refuse, Follow };

    bool SkipSwitch(TTokenReader& reader, TPageSwitches switches)
    {
        unsigned char page = 0;
        return switches == TPageSwitches::Follow && reader.Byte(page);
    }

    // An attribute list or a processing instruction, up to and including its END.
    bool SkipAttributes(TTokenReader& reader, TPageSwitches switches)
    {
        unsigned char token = 0;
        while (reader.Byte(token)) {
            if (token == kEnd)
                return true;
            if (token == kSwitchPage) {
                if (!SkipSwitch(reader, switches))
                    return false;
                continue;
            }
            bool known = false;
            if (SkipGlobal(reader, token, known))
                continue;
            if (known)
                return false;
            std::uint32_t index = 0;
            // Every other token is a one-byte attribute start or value, but LITERAL names one.
            if (token == kLiteral && !reader.MultiByte(index))
                return false;
        }
        return false;
    }

    // A tag token with its literal name and attributes; depth grows when it has content.
    bool SkipTag(TTokenReader& reader, unsigned char token, int& depth, TPageSwitches switches)
    {
        std::uint32_t index = 0;
        if ((token & 0x3F) == kLiteral && !reader.MultiByte(index))
            return false;
        if ((token & kHasAttributes) != 0 && !SkipAttributes(reader, switches))
            return false;
        if ((token & kHasContent) != 0)
            ++depth;
        return true;
    }

    // One token of content; depth falls below 0 at the root's END.
    bool SkipContentToken(TTokenReader& reader, int& depth, TPageSwitches switches)
    {
        unsigned char token = 0;
        if (!reader.Byte(token))
            return false;
        if (token == kSwitchPage)
            return SkipSwitch(reader, switches);
        if (token == kEnd) {
            --depth;
            return true;
        }
        if (token == kPi)
            return SkipAttributes(reader, switches);
        bool known = false;
        if (SkipGlobal(reader, token, known))
            return true;
        return !known && SkipTag(reader, token, depth, switches);
    }

    // Skips the processing instructions and page switches that may come before the root, and
    // reads the root's token.
    bool ReadRootToken(TTokenReader& reader, unsigned char& token)
    {
        while (reader.Byte(token)) {
            if (token == kPi) {
                if (!SkipAttributes(reader, TPageSwitches::Follow))
                    return false;
            } else if (token == kSwitchPage) {
                if (!SkipSwitch(reader, TPageSwitches::Follow))
                    return false;
            } else {
                return true;
            }
        }
        return false;
    }

} // namespace

std::optional<std::vector<std::string_view>> SplitRootContent(std::string_view body)
{
    TTokenReader reader(body);
    unsigned char root = 0;
    if (!reader.Byte(root) || (root & 0x3F) == kLiteral || (root & 0x3F) < 0x05
        || (root & kHasAttributes) != 0 || (root & kHasContent) == 0)
        return std::nullopt;
    std::vector<std::string_view> items;
    std::size_t itemStart = reader.Pos();
    int depth = 0;
    while (depth >= 0) {
        if (!SkipContentToken(reader, depth, TPageSwitches::Refuse))
            return std::nullopt;
        if (depth == 0 && reader.Pos() > itemStart) {
            items.push_back(body.substr(itemStart, reader.Pos() - itemStart));
            itemStart = reader.Pos();
        }
    }
    if (!reader.AtEnd())
        return std::nullopt;
    return items;
}

bool ReadableBody(std::string_view body)
{
    TTokenReader reader(body);
    unsigned char token = 0;
    const bool root = ReadRootToken(reader, token);
    int depth = 0;
    // Only a tag can be the root: the low bits of every other token are below LITERAL's.
    if (!root || (token & 0x3F) < kLiteral || !SkipTag(reader, token, depth, TPageSwitches::Follow))
        return false;
    while (depth > 0) {
        if (!SkipContentToken(reader, depth, TPageSwitches::Follow))
            return false;
    }
    // Processing instructions may follow the root; whatever else follows is never read.
    while (reader.Byte(token) && token == kPi) {
        if (!SkipAttributes(reader, TPageSwitches::Follow))
            return false;
    }
    return true;
}

} // namespace pivrel::engine
