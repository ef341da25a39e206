#include "script/Library.h"

#include "script/ScriptURL.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace pivrel::script {

// Declared in LibraryString.cpp and LibraryURL.cpp.
TValue CallStringLibrary(std::uint8_t function, const TValue* args, std::size_t maxLength);
TValue CallURLLibrary(std::uint8_t function, const TValue* args, TLibraryContext& context);

namespace {

    // Integer arguments that arrive as floats are cut to their integer part first.
    std::optional<std::int32_t> IntegerArgument(const TValue& v)
    {
        const TValue n = ToNumber(v);
        if (n.Type == TType::Integer)
            return n.Int;
        if (n.Type == TType::Float && std::fabs(n.Float) < 2147483648.0F)
            return static_cast<std::int32_t>(n.Float);
        return std::nullopt;
    }

    // The leading number of a string for parseInt/parseFloat: parsing stops at the first character
    // that cannot continue it. Returns the numeric prefix, empty when there is none.
    std::u32string NumericPrefix(const std::u32string& s, bool allowFloat)
    {
        std::size_t pos = 0;
        while (pos < s.size() && IsScriptSpace(s[pos]))
            ++pos;
        const std::size_t start = pos;
        if (pos < s.size() && (s[pos] == '+' || s[pos] == '-'))
            ++pos;
        const std::size_t digitsStart = pos;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9')
            ++pos;
        std::size_t digits = pos - digitsStart;
        if (allowFloat) {
            if (pos < s.size() && s[pos] == '.') {
                std::size_t p = pos + 1;
                while (p < s.size() && s[p] >= '0' && s[p] <= '9')
                    ++p;
                digits += p - pos - 1;
                if (digits > 0)
                    pos = p;
            }
            if (digits > 0 && pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
                std::size_t p = pos + 1;
                if (p < s.size() && (s[p] == '+' || s[p] == '-'))
                    ++p;
                const std::size_t expStart = p;
                while (p < s.size() && s[p] >= '0' && s[p] <= '9')
                    ++p;
                if (p > expStart)
                    pos = p;
            }
        }
        return digits == 0 ? std::u32string() : s.substr(start, pos - start);
    }

    TValue ParseInt(const TValue& v)
    {
        const std::optional<std::u32string> s = ToString(v);
        if (!s)
            return TValue::Invalid();
        return ParseNumber(NumericPrefix(*s, false));
    }

    TValue ParseFloat(const TValue& v)
    {
        const std::optional<std::u32string> s = ToString(v);
        if (!s)
            return TValue::Invalid();
        const std::u32string prefix = NumericPrefix(*s, true);
        if (prefix.empty())
            return TValue::Invalid();
        return CheckedFloat(std::strtod(ToUtf8(prefix).c_str(), nullptr));
    }

    TValue MinMax(const TValue& a, const TValue& b, bool wantMax)
    {
        const TValue x = ToNumber(a);
        const TValue y = ToNumber(b);
        if (x.IsInvalid() || y.IsInvalid())
            return TValue::Invalid();
        const double fx = x.Type == TType::Float ? x.Float : x.Int;
        const double fy = y.Type == TType::Float ? y.Float : y.Int;
        if (fx == fy)
            return x;
        return (fy > fx) == wantMax ? y : x;
    }

    std::uint32_t NextRandom(std::uint64_t& state)
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 32);
    }

    TValue CallLang(std::uint8_t function, const TValue* args, TLibraryContext& context)
    {
        switch (function) {
        case 0: { // abs
            const TValue n = ToNumber(args[0]);
            if (n.Type == TType::Integer)
                return n.Int == std::numeric_limits<std::int32_t>::min()
                    ? TValue::Invalid()
                    : TValue::Integer(n.Int < 0 ? -n.Int : n.Int);
            return n.Type == TType::Float ? TValue::FromFloat(std::fabs(n.Float)) : n;
        }
        case 1:
        case 2:
            return MinMax(args[0], args[1], function == 2);
        case 3:
            return ParseInt(args[0]);
        case 4:
            return ParseFloat(args[0]);
        case 5:
        case 6: {
            if (args[0].IsInvalid())
                return TValue::Invalid();
            return TValue::Boolean(!(function == 5 ? ParseInt(args[0]) : ParseFloat(args[0])).IsInvalid());
        }
        case 7:
            return TValue::Integer(std::numeric_limits<std::int32_t>::max());
        case 8:
            return TValue::Integer(std::numeric_limits<std::int32_t>::min());
        case 9:
            return TValue::Boolean(true);
        case 10:
            throw TScriptExit { args[0] };
        case 11: {
            const std::optional<std::u32string> s = ToString(args[0]);
            throw TScriptError { "the script aborted: " + (s ? ToUtf8(*s) : std::string("invalid")) };
        }
        case 12: { // random
            const std::optional<std::int32_t> n = IntegerArgument(args[0]);
            if (!n || *n < 0)
                return TValue::Invalid();
            if (*n == 0)
                return TValue::Integer(0);
            return TValue::Integer(static_cast<std::int32_t>(
                NextRandom(context.RandomState) % (static_cast<std::uint32_t>(*n) + 1)));
        }
        case 13: { // seed
            const std::optional<std::int32_t> n = IntegerArgument(args[0]);
            if (!n || *n < 0)
                return TValue::Invalid();
            context.RandomState
                = static_cast<std::uint64_t>(*n) * 0x9E3779B97F4A7C15ULL + 0x2545F4914F6CDD1DULL;
            return TValue::String({});
        }
        default:
            return TValue::Integer(106); // UTF-8
        }
    }

    TValue IntegerFromDouble(double v)
    {
        if (!(v >= -2147483648.0 && v <= 2147483647.0))
            return TValue::Invalid();
        return TValue::Integer(static_cast<std::int32_t>(v));
    }

    TValue CallFloat(std::uint8_t function, const TValue* args)
    {
        if (function == 6)
            return TValue::FromFloat(FLT_MAX);
        if (function == 7)
            return TValue::FromFloat(FLT_MIN);
        const TValue n = ToNumber(args[0]);
        if (n.IsInvalid())
            return n;
        const double x = n.Type == TType::Float ? n.Float : n.Int;
        switch (function) {
        case 0:
            return n.Type == TType::Integer ? n : IntegerFromDouble(std::trunc(x));
        case 1:
            return n.Type == TType::Integer ? n : IntegerFromDouble(std::floor(x));
        case 2:
            return n.Type == TType::Integer ? n : IntegerFromDouble(std::ceil(x));
        case 3: {
            const TValue m = ToNumber(args[1]);
            if (m.IsInvalid())
                return m;
            const double y = m.Type == TType::Float ? m.Float : m.Int;
            if ((x == 0 && y < 0) || (x < 0 && y != std::trunc(y)))
                return TValue::Invalid();
            return CheckedFloat(std::pow(x, y));
        }
        case 4:
            // Halves round up: 3.5 to 4, -3.5 to -3.
            return n.Type == TType::Integer ? n : IntegerFromDouble(std::floor(x + 0.5));
        default:
            return x < 0 ? TValue::Invalid() : CheckedFloat(std::sqrt(x));
        }
    }

    std::optional<std::string> StringArgument(const TValue& v)
    {
        const std::optional<std::u32string> s = ToString(v);
        if (!s)
            return std::nullopt;
        return ToUtf8(*s);
    }

    // Variable names as decks write them: a letter or underscore, then letters, digits, underscores.
    bool IsVariableName(std::string_view name)
    {
        if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
            return false;
        for (char c : name)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
                return false;
        return true;
    }

    TValue CallWMLBrowser(std::uint8_t function, const TValue* args, TLibraryContext& context)
    {
        TInvocation& r = context.Result;
        switch (function) {
        case 0: { // getVar
            const std::optional<std::string> name = StringArgument(args[0]);
            if (!name || !IsVariableName(*name))
                return TValue::Invalid();
            return TValue::String(FromUtf8(context.Host.GetVar(*name)));
        }
        case 1: { // setVar
            const std::optional<std::string> name = StringArgument(args[0]);
            const std::optional<std::string> value = StringArgument(args[1]);
            if (!name || !value || !IsVariableName(*name))
                return TValue::Invalid();
            context.Host.SetVar(*name, *value);
            r.VariablesSet.emplace_back(*name, *value);
            return TValue::Boolean(true);
        }
        case 2: { // go
            const std::optional<std::string> url = StringArgument(args[0]);
            if (!url)
                return TValue::Invalid();
            // A bare "#card" names a card of the calling deck, since a unit has no cards; any
            // other relative address is resolved against the unit, as its other addresses are.
            const std::string base
                = !url->empty() && (*url)[0] == '#' ? context.Host.CurrentCard() : context.UnitUrl;
            r.Navigation = url->empty() ? TNavigation::None : TNavigation::Go;
            r.GoUrl = url->empty() ? std::string() : ResolveURL(base, *url);
            return TValue::String({});
        }
        case 3: // prev
            r.Navigation = TNavigation::Prev;
            r.GoUrl.clear();
            return TValue::String({});
        case 4: // newContext
            r.NewContext = true;
            return TValue::String({});
        case 5: { // getCurrentCard
            const std::string card = context.Host.CurrentCard();
            if (card.empty())
                return TValue::Invalid();
            return TValue::String(FromUtf8(RelativeURL(context.UnitUrl, card)));
        }
        default: // refresh
            r.Refresh = true;
            return TValue::String({});
        }
    }

    TValue CallDialogs(std::uint8_t function, const TValue* args, TLibraryContext& context)
    {
        std::optional<std::string> texts[3];
        const int count = function == 0 ? 2 : function == 1 ? 3 : 1;
        for (int i = 0; i < count; ++i) {
            texts[i] = StringArgument(args[i]);
            if (!texts[i])
                return TValue::Invalid();
        }
        switch (function) {
        case 0:
            return TValue::String(FromUtf8(context.Host.Prompt(*texts[0], *texts[1])));
        case 1:
            return TValue::Boolean(context.Host.Confirm(*texts[0], *texts[1], *texts[2]));
        default:
            context.Host.Alert(*texts[0]);
            return TValue::String({});
        }
    }

} // namespace

TValue CallLibrary(const TLibraryFunction& f, const TValue* args, TLibraryContext& context)
{
    switch (f.LibraryIndex) {
    case 0:
        return CallLang(f.FunctionIndex, args, context);
    case 1:
        return CallFloat(f.FunctionIndex, args);
    case 2:
        return CallStringLibrary(f.FunctionIndex, args, context.Limits.StringLength);
    case 3:
        return CallURLLibrary(f.FunctionIndex, args, context);
    case 4:
        return CallWMLBrowser(f.FunctionIndex, args, context);
    default:
        return CallDialogs(f.FunctionIndex, args, context);
    }
}

} // namespace pivrel::script
