#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pivrel::script {

// The type codes are the ones typeof gives.
enum class TType : std::uint8_t { Integer = 0, Float = 1, String = 2, Boolean = 3, Invalid = 4 };

// One script value. Strings hold code points so that the library's indices count characters.
struct TValue {
    TType Type = TType::String;
    std::int32_t Int = 0;
    float Float = 0;
    bool Bool = false;
    std::u32string Str;

    static TValue Integer(std::int32_t v);
    static TValue FromFloat(float v);
    static TValue String(std::u32string v);
    static TValue Boolean(bool v);
    static TValue Invalid();

    bool IsInvalid() const { return Type == TType::Invalid; }
};

// Whitespace as the script text and the string library see it.
bool IsScriptSpace(char32_t c);

std::u32string FromUtf8(std::string_view text);
std::string ToUtf8(std::u32string_view text);

// A float result as the language keeps it: infinities and NaN become invalid, values too small
// to be held normalised become 0.
TValue CheckedFloat(double v);

// The text of a float: the shortest form that reads back as the same float.
std::string FloatText(float v);

// A string as a number: optional surrounding whitespace, an optional sign and a decimal integer
// (an Integer) or decimal fraction with optional exponent (a Float); anything else is invalid.
TValue ParseNumber(std::u32string_view text);

// Conversions; an empty optional is the conversion's failure (the operand is invalid or cannot be
// read as the wanted type).
std::optional<bool> ToBoolean(const TValue& v);
std::optional<std::int32_t> ToInteger(const TValue& v);
std::optional<float> ToFloat(const TValue& v);
std::optional<std::u32string> ToString(const TValue& v);

// For operators over numbers: booleans as 0/1, strings read with ParseNumber; invalid otherwise.
TValue ToNumber(const TValue& v);

} // namespace pivrel::script
