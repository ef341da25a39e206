#include "script/Operators.h"

#include "script/Bytecode.h"

#include <cmath>
#include <limits>

namespace pivrel::script {

namespace {

    TValue IntResult(std::int64_t v)
    {
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
            return TValue::Invalid();
        return TValue::Integer(static_cast<std::int32_t>(v));
    }

    TValue Arithmetic(std::uint8_t op, const TValue& a, const TValue& b)
    {
        const TValue x = ToNumber(a);
        const TValue y = ToNumber(b);
        if (x.IsInvalid() || y.IsInvalid())
            return TValue::Invalid();
        if (op == kDiv || x.Type == TType::Float || y.Type == TType::Float) {
            const double fx = x.Type == TType::Float ? x.Float : x.Int;
            const double fy = y.Type == TType::Float ? y.Float : y.Int;
            switch (op) {
            case kAdd:
                return CheckedFloat(fx + fy);
            case kSub:
                return CheckedFloat(fx - fy);
            case kMul:
                return CheckedFloat(fx * fy);
            default:
                return fy == 0 ? TValue::Invalid() : CheckedFloat(fx / fy);
            }
        }
        const std::int64_t ix = x.Int;
        const std::int64_t iy = y.Int;
        switch (op) {
        case kAdd:
            return IntResult(ix + iy);
        case kSub:
            return IntResult(ix - iy);
        default:
            return IntResult(ix * iy);
        }
    }

    TValue Add(const TValue& a, const TValue& b)
    {
        if (a.IsInvalid() || b.IsInvalid())
            return TValue::Invalid();
        if (a.Type == TType::Integer && b.Type == TType::Integer)
            return IntResult(static_cast<std::int64_t>(a.Int) + b.Int);
        if (a.Type == TType::String || b.Type == TType::String)
            return TValue::String(*ToString(a) + *ToString(b));
        return Arithmetic(kAdd, a, b);
    }

    TValue IntegerOperation(std::uint8_t op, const TValue& a, const TValue& b)
    {
        const std::optional<std::int32_t> x = ToInteger(a);
        const std::optional<std::int32_t> y = ToInteger(b);
        if (!x || !y)
            return TValue::Invalid();
        const auto ux = static_cast<std::uint32_t>(*x);
        // Shift counts use their low five bits, so that every count has a defined result.
        const unsigned count = static_cast<unsigned>(*y) & 31U;
        switch (op) {
        case kIDiv:
            return *y == 0 ? TValue::Invalid() : IntResult(static_cast<std::int64_t>(*x) / *y);
        case kRem:
            return *y == 0 ? TValue::Invalid()
                           : TValue::Integer(static_cast<std::int32_t>(static_cast<std::int64_t>(*x) % *y));
        case kBAnd:
            return TValue::Integer(*x & *y);
        case kBOr:
            return TValue::Integer(*x | *y);
        case kBXor:
            return TValue::Integer(*x ^ *y);
        case kBLShift:
            return TValue::Integer(static_cast<std::int32_t>(ux << count));
        case kBRSShift:
            return TValue::Integer(*x >> count);
        default:
            return TValue::Integer(static_cast<std::int32_t>(ux >> count));
        }
    }

    // -1, 0 or 1; nullopt when the operands cannot be compared.
    std::optional<int> Compare(const TValue& a, const TValue& b)
    {
        if (a.IsInvalid() || b.IsInvalid())
            return std::nullopt;
        if (a.Type == TType::String || b.Type == TType::String) {
            const std::u32string x = *ToString(a);
            const std::u32string y = *ToString(b);
            return x < y ? -1 : x == y ? 0 : 1;
        }
        const TValue x = ToNumber(a);
        const TValue y = ToNumber(b);
        if (x.Type == TType::Float || y.Type == TType::Float) {
            const double fx = x.Type == TType::Float ? x.Float : x.Int;
            const double fy = y.Type == TType::Float ? y.Float : y.Int;
            return fx < fy ? -1 : fx == fy ? 0 : 1;
        }
        return x.Int < y.Int ? -1 : x.Int == y.Int ? 0 : 1;
    }

    TValue Comparison(std::uint8_t op, const TValue& a, const TValue& b)
    {
        const std::optional<int> c = Compare(a, b);
        if (!c)
            return TValue::Invalid();
        switch (op) {
        case kEq:
            return TValue::Boolean(*c == 0);
        case kNe:
            return TValue::Boolean(*c != 0);
        case kLt:
            return TValue::Boolean(*c < 0);
        case kLe:
            return TValue::Boolean(*c <= 0);
        case kGt:
            return TValue::Boolean(*c > 0);
        default:
            return TValue::Boolean(*c >= 0);
        }
    }

    TValue Step(const TValue& a, int by)
    {
        const TValue x = ToNumber(a);
        if (x.Type == TType::Integer)
            return IntResult(static_cast<std::int64_t>(x.Int) + by);
        if (x.Type == TType::Float)
            return CheckedFloat(static_cast<double>(x.Float) + by);
        return TValue::Invalid();
    }

} // namespace

TValue BinaryOperation(std::uint8_t op, const TValue& a, const TValue& b)
{
    switch (op) {
    case kAdd:
        return Add(a, b);
    case kSub:
    case kMul:
    case kDiv:
        return Arithmetic(op, a, b);
    case kIDiv:
    case kRem:
    case kBAnd:
    case kBOr:
    case kBXor:
    case kBLShift:
    case kBRSShift:
    case kBRSZShift:
        return IntegerOperation(op, a, b);
    default:
        return Comparison(op, a, b);
    }
}

TValue UnaryOperation(std::uint8_t op, const TValue& a)
{
    switch (op) {
    case kUMinus: {
        const TValue x = ToNumber(a);
        if (x.Type == TType::Integer)
            return IntResult(-static_cast<std::int64_t>(x.Int));
        return x.Type == TType::Float ? TValue::FromFloat(-x.Float) : TValue::Invalid();
    }
    case kIncr:
        return Step(a, 1);
    case kDecr:
        return Step(a, -1);
    case kBNot: {
        const std::optional<std::int32_t> x = ToInteger(a);
        return x ? TValue::Integer(~*x) : TValue::Invalid();
    }
    case kNot:
    case kToBool: {
        const std::optional<bool> x = ToBoolean(a);
        return x ? TValue::Boolean(op == kNot ? !*x : *x) : TValue::Invalid();
    }
    case kTypeOf:
        return TValue::Integer(static_cast<std::int32_t>(a.Type));
    default:
        return TValue::Boolean(!a.IsInvalid());
    }
}

} // namespace pivrel::script
