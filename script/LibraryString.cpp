#include "script/Library.h"

#include <cmath>
#include <cstdio>

namespace pivrel::script {

TValue CallStringLibrary(std::uint8_t function, const TValue* args, std::size_t maxLength);

namespace {

    std::optional<std::int32_t> IndexArgument(const TValue& v)
    {
        const TValue n = ToNumber(v);
        if (n.Type == TType::Integer)
            return n.Int;
        if (n.Type == TType::Float && std::fabs(n.Float) < 2147483648.0F)
            return static_cast<std::int32_t>(n.Float);
        return std::nullopt;
    }

    // The elements of s between separators; an empty string is one empty element.
    std::vector<std::u32string> Split(const std::u32string& s, char32_t separator)
    {
        std::vector<std::u32string> out(1);
        for (char32_t c : s) {
            if (c == separator)
                out.emplace_back();
            else
                out.back().push_back(c);
        }
        return out;
    }

    std::u32string Join(const std::vector<std::u32string>& parts, char32_t separator)
    {
        std::u32string out;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i > 0)
                out.push_back(separator);
            out += parts[i];
        }
        return out;
    }

    std::size_t ClampIndex(std::int32_t index, std::size_t count)
    {
        if (index < 0)
            return 0;
        return std::min(static_cast<std::size_t>(index), count - 1);
    }

    // String.elements ... insertAt: the string, the separator (its first character) and the index.
    TValue ElementFunction(std::uint8_t function, const TValue* args)
    {
        const std::optional<std::u32string> s = ToString(args[0]);
        const bool withElement = function == 9 || function == 10;
        const std::optional<std::u32string> element = withElement ? ToString(args[1]) : std::u32string();
        const TValue& indexArg = args[withElement ? 2 : 1];
        const std::optional<std::u32string> separator = ToString(args[function == 6 ? 1
                : withElement                                                       ? 3
                                                                                    : 2]);
        if (!s || !element || !separator || separator->empty())
            return TValue::Invalid();
        std::vector<std::u32string> parts = Split(*s, (*separator)[0]);
        if (function == 6)
            return TValue::Integer(static_cast<std::int32_t>(parts.size()));
        const std::optional<std::int32_t> index = IndexArgument(indexArg);
        if (!index)
            return TValue::Invalid();
        const std::size_t i = ClampIndex(*index, parts.size());
        switch (function) {
        case 7:
            return TValue::String(parts[i]);
        case 8:
            parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(i));
            return TValue::String(Join(parts, (*separator)[0]));
        case 9:
            parts[i] = *element;
            return TValue::String(Join(parts, (*separator)[0]));
        default:
            if (s->empty())
                return TValue::String(*element);
            if (*index >= static_cast<std::int32_t>(parts.size()))
                parts.push_back(*element);
            else
                parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(i), *element);
            return TValue::String(Join(parts, (*separator)[0]));
        }
    }

    TValue Format(const std::u32string& format, const TValue& value)
    {
        std::u32string out;
        bool used = false;
        for (std::size_t i = 0; i < format.size(); ++i) {
            if (format[i] != '%') {
                out.push_back(format[i]);
                continue;
            }
            if (i + 1 < format.size() && format[i + 1] == '%') {
                out.push_back('%');
                ++i;
                continue;
            }
            std::size_t p = i + 1;
            int width = 0;
            int precision = -1;
            while (p < format.size() && format[p] >= '0' && format[p] <= '9')
                width = std::min(width * 10 + static_cast<int>(format[p++] - '0'), 1000);
            if (p < format.size() && format[p] == '.') {
                precision = 0;
                ++p;
                while (p < format.size() && format[p] >= '0' && format[p] <= '9')
                    precision = std::min(precision * 10 + static_cast<int>(format[p++] - '0'), 1000);
            }
            if (p >= format.size() || (format[p] != 'd' && format[p] != 'f' && format[p] != 's'))
                return TValue::Invalid();
            i = p;
            // Only the first conversion takes the value; later ones stand for nothing.
            if (used)
                continue;
            used = true;
            std::u32string piece;
            if (format[p] == 's') {
                const std::optional<std::u32string> s = ToString(value);
                if (!s)
                    return TValue::Invalid();
                piece = precision >= 0 ? s->substr(0, static_cast<std::size_t>(precision)) : *s;
            } else {
                char buf[2200];
                if (format[p] == 'd') {
                    const std::optional<std::int32_t> n = IndexArgument(value);
                    if (!n)
                        return TValue::Invalid();
                    std::snprintf(buf, sizeof buf, "%.*d", precision < 0 ? 1 : precision, *n);
                } else {
                    const std::optional<float> f = ToFloat(value);
                    if (!f)
                        return TValue::Invalid();
                    std::snprintf(buf, sizeof buf, "%.*f", precision < 0 ? 6 : std::min(precision, 100),
                        static_cast<double>(*f));
                }
                piece = FromUtf8(buf);
            }
            if (piece.size() < static_cast<std::size_t>(width))
                piece.insert(0, static_cast<std::size_t>(width) - piece.size(), U' ');
            out += piece;
        }
        return TValue::String(std::move(out));
    }

    TValue Squeeze(const std::u32string& s)
    {
        // A run of whitespace keeps its first character.
        std::u32string out;
        for (std::size_t i = 0; i < s.size(); ++i)
            if (!(IsScriptSpace(s[i]) && i > 0 && IsScriptSpace(s[i - 1])))
                out.push_back(s[i]);
        return TValue::String(std::move(out));
    }

    TValue Trim(const std::u32string& s)
    {
        std::size_t begin = 0;
        std::size_t end = s.size();
        while (begin < end && IsScriptSpace(s[begin]))
            ++begin;
        while (end > begin && IsScriptSpace(s[end - 1]))
            --end;
        return TValue::String(s.substr(begin, end - begin));
    }

    TValue Replace(
        const std::u32string& s, const std::u32string& from, const std::u32string& to, std::size_t maxLength)
    {
        if (from.empty())
            return TValue::Invalid();
        std::u32string out;
        std::size_t pos = 0;
        for (std::size_t hit; (hit = s.find(from, pos)) != std::u32string::npos; pos = hit + from.size()) {
            out.append(s, pos, hit - pos);
            out += to;
            // Checked as it grows: a long replacement repeated many times would otherwise build a
            // string far past the limit before anything looked at it.
            if (out.size() > maxLength)
                throw TScriptError { "a string grew past " + std::to_string(maxLength) + " characters" };
        }
        return TValue::String(out + s.substr(pos));
    }

} // namespace

TValue CallStringLibrary(std::uint8_t function, const TValue* args, std::size_t maxLength)
{
    if (function == 14) {
        const std::optional<std::u32string> s = ToString(args[0]);
        return TValue::String(s ? *s : U"invalid");
    }
    if (function >= 6 && function <= 10)
        return ElementFunction(function, args);
    const std::optional<std::u32string> s = ToString(args[0]);
    if (!s)
        return TValue::Invalid();
    switch (function) {
    case 0:
        return TValue::Integer(static_cast<std::int32_t>(s->size()));
    case 1:
        return TValue::Boolean(s->empty());
    case 2: {
        const std::optional<std::int32_t> i = IndexArgument(args[1]);
        if (!i)
            return TValue::Invalid();
        if (*i < 0 || static_cast<std::size_t>(*i) >= s->size())
            return TValue::String({});
        return TValue::String(std::u32string(1, (*s)[static_cast<std::size_t>(*i)]));
    }
    case 3: {
        const std::optional<std::int32_t> start = IndexArgument(args[1]);
        const std::optional<std::int32_t> length = IndexArgument(args[2]);
        if (!start || !length)
            return TValue::Invalid();
        const std::size_t from = static_cast<std::size_t>(std::max(*start, 0));
        if (*length <= 0 || from >= s->size())
            return TValue::String({});
        return TValue::String(s->substr(from, static_cast<std::size_t>(*length)));
    }
    case 4:
    case 5:
    case 13:
    case 15: {
        const std::optional<std::u32string> t = ToString(args[1]);
        if (function == 15)
            return t ? Format(*s, args[1]) : TValue::Invalid();
        if (!t)
            return TValue::Invalid();
        if (function == 4) {
            const std::size_t at = s->find(*t);
            return TValue::Integer(at == std::u32string::npos ? -1 : static_cast<std::int32_t>(at));
        }
        if (function == 13)
            return TValue::Integer(*s < *t ? -1 : *s == *t ? 0 : 1);
        const std::optional<std::u32string> to = ToString(args[2]);
        return to ? Replace(*s, *t, *to, maxLength) : TValue::Invalid();
    }
    case 11:
        return Squeeze(*s);
    default:
        return Trim(*s);
    }
}

} // namespace pivrel::script
