#pragma once

#include "script/Value.h"

#include <cstdint>

namespace pivrel::script {

// The result of a two-operand instruction (kAdd ... kNe from the instruction set) on a and b,
// with the language's conversions: invalid where an operand cannot be converted, where an integer
// result overflows or where a division has no result.
TValue BinaryOperation(std::uint8_t op, const TValue& a, const TValue& b);

// The one-operand instructions: kUMinus, kIncr, kDecr, kBNot, kNot, kToBool, kTypeOf, kIsValid.
TValue UnaryOperation(std::uint8_t op, const TValue& a);

} // namespace pivrel::script
