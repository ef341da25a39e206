#include "base/Utf8.h"

#include "base/ByteWords.h"

#include <cstdint>
#include <cstring>

namespace pivrel::base {

namespace {

    // What a lead byte asks of the sequence: its whole length (0 for a byte that cannot lead) and
    // the range allowed for the second byte; later bytes are always 0x80 to 0xBF.
    struct TLead {
        std::size_t Length = 0;
        unsigned char Low = 0x80;
        unsigned char High = 0xBF;
        char32_t Bits = 0;
    };

    TLead LeadOf(unsigned char b0)
    {
        if (b0 < 0x80)
            return { 1, 0x80, 0xBF, b0 };
        if (b0 >= 0xC2 && b0 <= 0xDF)
            return { 2, 0x80, 0xBF, char32_t(b0 & 0x1F) };
        if (b0 >= 0xE0 && b0 <= 0xEF) {
            const unsigned char low = b0 == 0xE0 ? 0xA0 : 0x80; // no overlong forms
            const unsigned char high = b0 == 0xED ? 0x9F : 0xBF; // no surrogates
            return { 3, low, high, char32_t(b0 & 0x0F) };
        }
        if (b0 >= 0xF0 && b0 <= 0xF4) {
            const unsigned char low = b0 == 0xF0 ? 0x90 : 0x80;
            const unsigned char high = b0 == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
            return { 4, low, high, char32_t(b0 & 0x07) };
        }
        return {};
    }

    // How many bytes from pos on agree with the sequence the lead byte announces, the lead
    // included; it equals lead.Length exactly when the sequence is well formed.
    std::size_t MatchedBytes(std::string_view text, std::size_t pos, const TLead& lead)
    {
        std::size_t matched = 1;
        while (matched < lead.Length && pos + matched < text.size()) {
            const auto b = static_cast<unsigned char>(text[pos + matched]);
            const unsigned char low = matched == 1 ? lead.Low : 0x80;
            const unsigned char high = matched == 1 ? lead.High : 0xBF;
            if (b < low || b > high)
                break;
            ++matched;
        }
        return matched;
    }

} // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos)
{
    const TLead lead = LeadOf(static_cast<unsigned char>(text[pos]));
    if (lead.Length <= 1)
        return lead.Length;
    return MatchedBytes(text, pos, lead) == lead.Length ? lead.Length : 0;
}

std::size_t Utf8InvalidLength(std::string_view text, std::size_t pos)
{
    const TLead lead = LeadOf(static_cast<unsigned char>(text[pos]));
    return lead.Length == 0 ? 1 : MatchedBytes(text, pos, lead);
}

char32_t DecodeUtf8(std::string_view text, std::size_t& pos, char32_t invalid)
{
    const TLead lead = LeadOf(static_cast<unsigned char>(text[pos]));
    if (lead.Length == 1) {
        ++pos;
        return lead.Bits;
    }
    if (lead.Length == 0 || MatchedBytes(text, pos, lead) != lead.Length) {
        ++pos;
        return invalid;
    }
    char32_t value = lead.Bits;
    for (std::size_t i = 1; i < lead.Length; ++i)
        value = (value << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
    pos += lead.Length;
    return value;
}

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t size = text.size();
    while (i < size) {
        // Runs of ASCII are the common case of a deck; check them eight bytes at a time.
        while (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if ((word & kHighBits) != 0)
                break;
            i += 8;
        }
        if (i >= size)
            break;
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t codePoint)
{
    const std::uint32_t cp = codePoint;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace pivrel::base
