#pragma once

#include <string>
#include <string_view>

namespace pivrel::wml {

// How far a value fits an input's format mask: a value that does not fit cannot be typed, an
// incomplete one can be typed but is not committed to the input's variable.
enum class TFormatFit { Invalid, Incomplete, Complete };

// What the input's emptyok attribute says about an empty value: absent, the mask decides (a mask
// that allows no characters at all, such as "*M", accepts it).
enum class TEmptyInput { ByFormat, Accepted, Refused };

TEmptyInput EmptyInputFromAttribute(std::string_view emptyok, bool present);

// Whether the mask is well formed: the letters A a N X x M m and "\c" literals, with at most one
// "*f" or "nf" (n from 1 to 9) at its end. A malformed mask counts as none.
bool IsValidInputFormat(std::string_view format);

// The fit of a UTF-8 value to the mask. Without a valid mask every value fits, except an empty
// one that emptyok refuses.
TFormatFit FitInputFormat(std::string_view format, std::string_view value, TEmptyInput empty);

// The value with the mask's literals put in where the typed characters have reached them: with
// "NN\-NN", "123" becomes "12-3".
std::string InsertFormatLiterals(std::string_view format, std::string_view value);

} // namespace pivrel::wml
