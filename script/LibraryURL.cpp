#include "base/Hex.h"
#include "script/Library.h"
#include "script/ScriptURL.h"

namespace pivrel::script {

TValue CallURLLibrary(std::uint8_t function, const TValue* args, TLibraryContext& context);

namespace {

    // The argument as ASCII text; empty for invalid or anything beyond ASCII.
    std::optional<std::string> AsciiArgument(const TValue& v)
    {
        const std::optional<std::u32string> s = ToString(v);
        if (!s)
            return std::nullopt;
        std::string out;
        for (char32_t c : *s) {
            if (c > 0x7F)
                return std::nullopt;
            out.push_back(static_cast<char>(c));
        }
        return out;
    }

    TValue Text(const std::string& s)
    {
        return TValue::String(std::u32string(s.begin(), s.end()));
    }

    bool IsUnreserved(char c)
    {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return true;
        for (char ok : std::string_view("-_.!~*'()"))
            if (c == ok)
                return true;
        return false;
    }

    TValue Escape(const std::string& s)
    {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string out;
        for (char c : s) {
            if (IsUnreserved(c)) {
                out.push_back(c);
            } else {
                out.push_back('%');
                out.push_back(kHex[(static_cast<unsigned char>(c) >> 4) & 15]);
                out.push_back(kHex[c & 15]);
            }
        }
        return Text(out);
    }

    TValue Unescape(const std::string& s)
    {
        std::u32string out;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] != '%') {
                out.push_back(static_cast<unsigned char>(s[i]));
                continue;
            }
            if (i + 2 >= s.size() || base::HexDigitValue(s[i + 1]) < 0 || base::HexDigitValue(s[i + 2]) < 0)
                return TValue::Invalid();
            out.push_back(
                static_cast<char32_t>(base::HexDigitValue(s[i + 1]) * 16 + base::HexDigitValue(s[i + 2])));
            i += 2;
        }
        return TValue::String(std::move(out));
    }

    TValue Part(std::uint8_t function, const TURLParts& p)
    {
        switch (function) {
        case 1:
            return Text(p.Scheme);
        case 2:
            return Text(p.Host);
        case 3:
            return Text(p.Port);
        case 4:
            return Text(p.PathWithoutParameters());
        case 5:
            return Text(p.Parameters());
        case 6:
            return Text(p.Query);
        default:
            return Text(p.Fragment);
        }
    }

    TValue LoadString(const TValue* args, TLibraryContext& context)
    {
        const std::optional<std::string> url = AsciiArgument(args[0]);
        const std::optional<std::string> type = AsciiArgument(args[1]);
        // Only text may come back as a string, and the type is one type, without parameters.
        if (!url || !type || type->compare(0, 5, "text/") != 0
            || type->find_first_of("; ,") != std::string::npos || !SplitURL(*url))
            return TValue::Invalid();
        std::string text;
        int code = 0;
        if (!context.Host.LoadString(ResolveURL(context.UnitUrl, *url), *type, text, code))
            return TValue::Integer(code);
        if (text.size() > context.Limits.StringLength)
            throw TScriptError { "loadString fetched more than the longest string allowed" };
        return TValue::String(FromUtf8(text));
    }

} // namespace

TValue CallURLLibrary(std::uint8_t function, const TValue* args, TLibraryContext& context)
{
    switch (function) {
    case 8: {
        const std::string base = context.UnitUrl.substr(0, context.UnitUrl.find('#'));
        return Text(base);
    }
    case 9: {
        const std::string card = context.Host.CurrentCard();
        return Text(card.empty() ? card : RelativeURL(context.UnitUrl, card.substr(0, card.find('#'))));
    }
    case 10: {
        const std::optional<std::string> base = AsciiArgument(args[0]);
        const std::optional<std::string> embedded = AsciiArgument(args[1]);
        if (!base || !embedded || !SplitURL(*base) || !SplitURL(*embedded))
            return TValue::Invalid();
        return Text(ResolveURL(*base, *embedded));
    }
    case 13:
        return LoadString(args, context);
    default:
        break;
    }
    const std::optional<std::string> s = AsciiArgument(args[0]);
    if (!s)
        return TValue::Invalid();
    if (function == 11)
        return Escape(*s);
    if (function == 12)
        return Unescape(*s);
    const std::optional<TURLParts> parts = SplitURL(*s);
    if (function == 0)
        return TValue::Boolean(parts.has_value());
    return parts ? Part(function, *parts) : TValue::Invalid();
}

} // namespace pivrel::script
