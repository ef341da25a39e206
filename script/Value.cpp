#include "script/Value.h"

#include "base/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace pivrel::script {

TValue TValue::Integer(std::int32_t v)
{
    TValue r;
    r.Type = TType::Integer;
    r.Int = v;
    return r;
}

TValue TValue::FromFloat(float v)
{
    TValue r;
    r.Type = TType::Float;
    r.Float = v;
    return r;
}

TValue TValue::String(std::u32string v)
{
    TValue r;
    r.Str = std::move(v);
    return r;
}

TValue TValue::Boolean(bool v)
{
    TValue r;
    r.Type = TType::Boolean;
    r.Bool = v;
    return r;
}

TValue TValue::Invalid()
{
    TValue r;
    r.Type = TType::Invalid;
    return r;
}

bool IsScriptSpace(char32_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::u32string FromUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size())
        out.push_back(base::DecodeUtf8(text, pos, U'\uFFFD'));
    return out;
}

std::string ToUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        base::AppendUtf8(out, c < 0x110000 && (c < 0xD800 || c > 0xDFFF) ? c : U'\uFFFD');
    return out;
}

TValue CheckedFloat(double v)
{
    if (std::isnan(v) || std::isinf(v) || std::fabs(v) > FLT_MAX)
        return TValue::Invalid();
    if (std::fabs(v) < FLT_MIN)
        return TValue::FromFloat(0.0F);
    return TValue::FromFloat(static_cast<float>(v));
}

std::string FloatText(float v)
{
    char buf[64];
    int precision = 1;
    for (; precision < 9; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(v));
        if (std::strtof(buf, nullptr) == v)
            break;
    }
    // Plain decimals for everyday magnitudes, the exponent form only for the very large or small.
    const int exponent
        = v == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(static_cast<double>(v)))));
    if (exponent >= -5 && exponent < 15)
        std::snprintf(buf, sizeof buf, "%.*f", std::max(0, precision - 1 - exponent), static_cast<double>(v));
    else
        std::snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(v));
    return buf;
}

namespace {

    // The numeric part of text[pos...]: digits with at most one point and an optional exponent.
    // Returns how many characters form a number, 0 when none does; sets isFloat for a fraction or an
    // exponent.
    std::size_t ScanDecimal(std::u32string_view text, std::size_t pos, bool& isFloat)
    {
        const std::size_t start = pos;
        std::size_t digits = 0;
        isFloat = false;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
            ++pos, ++digits;
        if (pos < text.size() && text[pos] == '.') {
            isFloat = true;
            ++pos;
            while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
                ++pos, ++digits;
        }
        if (digits == 0)
            return 0;
        if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
            std::size_t p = pos + 1;
            if (p < text.size() && (text[p] == '+' || text[p] == '-'))
                ++p;
            const std::size_t expStart = p;
            while (p < text.size() && text[p] >= '0' && text[p] <= '9')
                ++p;
            if (p > expStart) {
                pos = p;
                isFloat = true;
            }
        }
        return pos - start;
    }

} // namespace

TValue ParseNumber(std::u32string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsScriptSpace(text[begin]))
        ++begin;
    while (end > begin && IsScriptSpace(text[end - 1]))
        --end;
    std::size_t pos = begin;
    if (pos < end && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    bool isFloat = false;
    const std::size_t n = ScanDecimal(text, pos, isFloat);
    if (n == 0 || pos + n != end)
        return TValue::Invalid();
    const std::string ascii = ToUtf8(text.substr(begin, end - begin));
    if (!isFloat) {
        errno = 0;
        const long long v = std::strtoll(ascii.c_str(), nullptr, 10);
        if (errno == 0 && v >= std::numeric_limits<std::int32_t>::min()
            && v <= std::numeric_limits<std::int32_t>::max())
            return TValue::Integer(static_cast<std::int32_t>(v));
        return TValue::Invalid();
    }
    return CheckedFloat(std::strtod(ascii.c_str(), nullptr));
}

std::optional<bool> ToBoolean(const TValue& v)
{
    switch (v.Type) {
    case TType::Integer:
        return v.Int != 0;
    case TType::Float:
        return v.Float != 0.0F;
    case TType::String:
        return !v.Str.empty();
    case TType::Boolean:
        return v.Bool;
    case TType::Invalid:
        break;
    }
    return std::nullopt;
}

std::optional<std::int32_t> ToInteger(const TValue& v)
{
    switch (v.Type) {
    case TType::Integer:
        return v.Int;
    case TType::Boolean:
        return v.Bool ? 1 : 0;
    case TType::String: {
        const TValue n = ParseNumber(v.Str);
        if (n.Type == TType::Integer)
            return n.Int;
        break;
    }
    case TType::Float:
    case TType::Invalid:
        break;
    }
    return std::nullopt;
}

std::optional<float> ToFloat(const TValue& v)
{
    switch (v.Type) {
    case TType::Integer:
        return static_cast<float>(v.Int);
    case TType::Float:
        return v.Float;
    case TType::Boolean:
        return v.Bool ? 1.0F : 0.0F;
    case TType::String: {
        const TValue n = ParseNumber(v.Str);
        if (n.Type == TType::Integer)
            return static_cast<float>(n.Int);
        if (n.Type == TType::Float)
            return n.Float;
        break;
    }
    case TType::Invalid:
        break;
    }
    return std::nullopt;
}

std::optional<std::u32string> ToString(const TValue& v)
{
    switch (v.Type) {
    case TType::Integer: {
        const std::string s = std::to_string(v.Int);
        return std::u32string(s.begin(), s.end());
    }
    case TType::Float: {
        const std::string s = FloatText(v.Float);
        return std::u32string(s.begin(), s.end());
    }
    case TType::String:
        return v.Str;
    case TType::Boolean:
        return v.Bool ? U"true" : U"false";
    case TType::Invalid:
        break;
    }
    return std::nullopt;
}

TValue ToNumber(const TValue& v)
{
    switch (v.Type) {
    case TType::Integer:
    case TType::Float:
        return v;
    case TType::Boolean:
        return TValue::Integer(v.Bool ? 1 : 0);
    case TType::String:
        return ParseNumber(v.Str);
    case TType::Invalid:
        break;
    }
    return TValue::Invalid();
}

} // namespace pivrel::script
