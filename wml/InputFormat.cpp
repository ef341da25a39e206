#include "wml/InputFormat.h"

#include "base/Utf8.h"

#include <limits>
#include <optional>
#include <vector>

namespace pivrel::wml {

namespace {

    constexpr char32_t kInvalid = 0xFFFD;

    // One position of the mask: a class letter, or a literal when Letter is 0.
    struct TMaskEntry {
        char Letter = 0;
        char32_t Literal = 0;
    };

    struct TMask {
        std::vector<TMaskEntry> Fixed;
        // The trailing "*f" or "nf": its class letter and how many characters it allows.
        char TailLetter = 0;
        std::size_t TailCount = 0;
    };

    bool IsClassLetter(char c)
    {
        return c == 'A' || c == 'a' || c == 'N' || c == 'X' || c == 'x' || c == 'M' || c == 'm';
    }

    std::optional<TMask> ParseMask(std::string_view format)
    {
        TMask mask;
        std::size_t i = 0;
        while (i < format.size()) {
            const char c = format[i];
            if (IsClassLetter(c)) {
                mask.Fixed.push_back({ c, 0 });
                ++i;
            } else if (c == '\\' && i + 1 < format.size()) {
                ++i;
                mask.Fixed.push_back({ 0, base::DecodeUtf8(format, i, kInvalid) });
            } else if ((c == '*' || (c >= '1' && c <= '9')) && i + 2 == format.size()
                && IsClassLetter(format[i + 1])) {
                mask.TailLetter = format[i + 1];
                mask.TailCount
                    = c == '*' ? std::numeric_limits<std::size_t>::max() : static_cast<std::size_t>(c - '0');
                i += 2;
            } else {
                return std::nullopt;
            }
        }
        return mask;
    }

    bool IsDigit(char32_t c)
    {
        return c >= '0' && c <= '9';
    }

    bool IsUpper(char32_t c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    }

    bool IsLower(char32_t c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7);
    }

    bool Allows(char letter, char32_t c)
    {
        switch (letter) {
        case 'A':
            return !IsDigit(c) && !IsLower(c);
        case 'a':
            return !IsDigit(c) && !IsUpper(c);
        case 'N':
            return IsDigit(c);
        case 'X':
            return !IsLower(c);
        case 'x':
            return !IsUpper(c);
        default:
            return true;
        }
    }

    bool Fits(const TMaskEntry& entry, char32_t c)
    {
        return entry.Letter == 0 ? c == entry.Literal : Allows(entry.Letter, c);
    }

} // namespace

TEmptyInput EmptyInputFromAttribute(std::string_view emptyok, bool present)
{
    if (!present)
        return TEmptyInput::ByFormat;
    return emptyok == "true" ? TEmptyInput::Accepted : TEmptyInput::Refused;
}

bool IsValidInputFormat(std::string_view format)
{
    return !format.empty() && ParseMask(format).has_value();
}

TFormatFit FitInputFormat(std::string_view format, std::string_view value, TEmptyInput empty)
{
    if (value.empty() && empty != TEmptyInput::ByFormat)
        return empty == TEmptyInput::Accepted ? TFormatFit::Complete : TFormatFit::Incomplete;
    const std::optional<TMask> mask = format.empty() ? std::nullopt : ParseMask(format);
    if (!mask)
        return TFormatFit::Complete;
    std::size_t pos = 0;
    for (const TMaskEntry& entry : mask->Fixed) {
        if (pos >= value.size())
            return TFormatFit::Incomplete;
        if (!Fits(entry, base::DecodeUtf8(value, pos, kInvalid)))
            return TFormatFit::Invalid;
    }
    for (std::size_t count = 0; pos < value.size(); ++count) {
        if (count >= mask->TailCount || !Allows(mask->TailLetter, base::DecodeUtf8(value, pos, kInvalid)))
            return TFormatFit::Invalid;
    }
    return TFormatFit::Complete;
}

std::string InsertFormatLiterals(std::string_view format, std::string_view value)
{
    const std::optional<TMask> mask = format.empty() ? std::nullopt : ParseMask(format);
    if (!mask)
        return std::string(value);
    std::string out;
    std::size_t pos = 0;
    for (const TMaskEntry& entry : mask->Fixed) {
        if (pos >= value.size())
            break;
        if (entry.Letter != 0) {
            const std::size_t start = pos;
            base::DecodeUtf8(value, pos, kInvalid);
            out.append(value.substr(start, pos - start));
            continue;
        }
        std::size_t next = pos;
        if (base::DecodeUtf8(value, next, kInvalid) == entry.Literal) {
            out.append(value.substr(pos, next - pos));
            pos = next;
        } else {
            base::AppendUtf8(out, entry.Literal);
        }
    }
    out.append(value.substr(pos));
    return out;
}

} // namespace pivrel::wml
