#include "script/Interpreter.h"

#include "base/Ascii.h"
#include "script/Library.h"
#include "script/Operators.h"
#include "script/ScriptURL.h"

#include <algorithm>
#include <limits>

namespace pivrel::script {

namespace {

    constexpr std::uint64_t kStopCheckInterval = 1 << 16;

    // How many instructions run before the next check: a whole interval, or just past the budget
    // when less than that is left (so that the instruction over the budget is the one caught).
    std::uint64_t NextInterval(std::uint64_t budget, std::uint64_t executed)
    {
        const std::uint64_t left = budget - executed;
        return left >= kStopCheckInterval ? kStopCheckInterval : left + 1;
    }

    struct TFrame {
        std::shared_ptr<const TUnit> Unit;
        const TFunction* Function = nullptr;
        std::size_t Pc = 0;
        std::size_t VarBase = 0;
        std::string Url;
    };

    class TInterpreter
    {
    public:
        TInterpreter(TScriptHost& host, const TLimits& limits, TInvocation& result)
            : m_host(host)
            , m_limits(limits)
            , m_context { host, result, limits, {} }
        {
            m_stack.reserve(limits.StackSize);
            m_interval = NextInterval(limits.Instructions, 0);
            m_untilCheck = m_interval;
        }

        TValue Run(
            std::shared_ptr<const TUnit> unit, const std::string& url, int function, std::vector<TValue> args)
        {
            for (TValue& a : args)
                Push(std::move(a));
            Enter(std::move(unit), url, function);
            return Loop();
        }

    private:
        [[noreturn]] static void Fatal(const std::string& reason) { throw TScriptError { reason }; }

        void Push(TValue v)
        {
            if (m_stack.size() >= m_limits.StackSize)
                Fatal("the operand stack is full");
            if (v.Type == TType::String && v.Str.size() > m_limits.StringLength)
                Fatal("a string grew past " + std::to_string(m_limits.StringLength) + " characters");
            m_stack.push_back(std::move(v));
        }

        TValue Pop()
        {
            if (m_stack.size() <= m_stackFloor)
                Fatal("an instruction found too few values on the operand stack");
            TValue v = std::move(m_stack.back());
            m_stack.pop_back();
            return v;
        }

        TValue& Top()
        {
            if (m_stack.size() <= m_stackFloor)
                Fatal("an instruction found too few values on the operand stack");
            return m_stack.back();
        }

        void Enter(std::shared_ptr<const TUnit> unit, const std::string& url, int index)
        {
            if (static_cast<int>(m_frames.size()) >= m_limits.CallDepth)
                Fatal("calls nested deeper than " + std::to_string(m_limits.CallDepth));
            const TFunction& f = unit->Functions[static_cast<std::size_t>(index)];
            if (m_stack.size() < m_stackFloor + f.Arguments)
                Fatal("a call found too few arguments on the operand stack");
            TFrame frame { std::move(unit), &f, 0, m_vars.size(), url };
            m_vars.resize(m_vars.size() + f.Arguments + f.Locals);
            for (std::size_t i = f.Arguments; i-- > 0;)
                m_vars[frame.VarBase + i] = Pop();
            m_frames.push_back(std::move(frame));
        }

        // Ends the current frame; true when it was the outermost.
        bool Leave(TValue result)
        {
            m_vars.resize(m_frames.back().VarBase);
            m_frames.pop_back();
            m_returned = std::move(result);
            if (m_frames.empty())
                return true;
            Push(std::move(m_returned));
            return false;
        }

        void CallUrl(std::uint16_t urlIndex, std::uint16_t nameIndex, int arguments)
        {
            const TFrame& caller = m_frames.back();
            const std::string target = ToUtf8(caller.Unit->Constants[urlIndex].Str);
            const std::string name = ToUtf8(caller.Unit->Constants[nameIndex].Str);
            const std::string url = ResolveURL(caller.Url, target.substr(0, target.find('#')));
            std::string error;
            std::shared_ptr<const TUnit> unit = m_host.LoadUnit(url, error);
            if (!unit)
                Fatal("cannot load " + url + ": " + error);
            if (!AccessAllowed(*unit, url, caller.Url))
                Fatal(url + " refuses calls from " + caller.Url);
            const int index = unit->FindExtern(name);
            if (index < 0)
                Fatal(url + " has no extern function " + name);
            if (unit->Functions[static_cast<std::size_t>(index)].Arguments != arguments)
                Fatal(url + "#" + name + " takes " + std::to_string(unit->Functions[index].Arguments)
                    + " arguments, not " + std::to_string(arguments));
            Enter(std::move(unit), url, index);
        }

        void CallLib(std::uint16_t library, std::uint8_t function)
        {
            const TLibraryFunction* f = LibraryFunctionAt(library, function);
            if (m_stack.size() < m_stackFloor + f->Arguments)
                Fatal("a library call found too few arguments on the operand stack");
            m_context.UnitUrl = m_frames.back().Url;
            const std::size_t first = m_stack.size() - f->Arguments;
            TValue result = CallLibrary(*f, m_stack.data() + first, m_context);
            m_stack.resize(first);
            Push(std::move(result));
        }

        void Budget()
        {
            if (--m_untilCheck != 0)
                return;
            m_executed += m_interval;
            if (m_executed > m_limits.Instructions)
                Fatal("the script ran past " + std::to_string(m_limits.Instructions) + " instructions");
            if (m_host.ShouldStop())
                Fatal("stopped");
            m_interval = NextInterval(m_limits.Instructions, m_executed);
            m_untilCheck = m_interval;
        }

        TValue& Var(std::size_t index) { return m_vars[m_frames.back().VarBase + index]; }

        void Jump(std::int64_t target) { m_frames.back().Pc = static_cast<std::size_t>(target); }

        TValue Loop();
        bool IntegerFastPath(std::uint8_t op);
        bool Step(std::uint8_t op, std::size_t at, const std::string& code);

        TScriptHost& m_host;
        const TLimits& m_limits;
        TLibraryContext m_context;
        std::vector<TFrame> m_frames;
        std::vector<TValue> m_stack;
        std::vector<TValue> m_vars;
        std::size_t m_stackFloor = 0;
        // Instructions counted so far in whole check intervals, and those left before the next
        // check of the budget and of Stop.
        std::uint64_t m_executed = 0;
        std::uint64_t m_untilCheck = 0;
        std::uint64_t m_interval = 0;
        TValue m_returned;
    };

    std::uint32_t Operand(const std::string& code, std::size_t at, int bytes)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | static_cast<std::uint8_t>(code[at + i]);
        return v;
    }

    // The instructions that carry most loops run here without leaving the function, integers
    // on a short path; everything else, and every case the short path does not cover, goes
    // through Step.
    TValue TInterpreter::Loop()
    {
        for (;;) {
            TFrame& frame = m_frames.back();
            const std::string& codeText = frame.Function->Code;
            const auto* code = reinterpret_cast<const std::uint8_t*>(codeText.data());
            const std::size_t size = codeText.size();
            TValue* vars = m_vars.data() + frame.VarBase;
            std::size_t pc = frame.Pc;
            bool slow = false;
            while (pc < size && !slow) {
                Budget();
                const std::uint8_t op = code[pc];
                if (op >= kLoadVarS) {
                    if (m_stack.size() >= m_limits.StackSize)
                        Fatal("the operand stack is full");
                    m_stack.push_back(vars[op & 0x1F]);
                    ++pc;
                } else if (op >= kStoreVarS && op < kStoreVarS + 16 && m_stack.size() > m_stackFloor) {
                    vars[op & 0x0F] = std::move(m_stack.back());
                    m_stack.pop_back();
                    ++pc;
                } else if (op >= kIncrVarS && op < kIncrVarS + 8 && vars[op & 7].Type == TType::Integer
                    && vars[op & 7].Int < std::numeric_limits<std::int32_t>::max()) {
                    ++vars[op & 7].Int;
                    ++pc;
                } else if ((op & 0xE0) == kJumpBwS) {
                    pc -= op & 0x1F;
                } else if (op >= kAdd && op <= kNe && op != kBNot && m_stack.size() >= m_stackFloor + 2
                    && IntegerFastPath(op)) {
                    ++pc;
                } else if ((op == kTJumpFwW || (op & 0xE0) == kTJumpFwS) && m_stack.size() > m_stackFloor
                    && m_stack.back().Type == TType::Boolean) {
                    const bool jump = !m_stack.back().Bool;
                    m_stack.pop_back();
                    if (op == kTJumpFwW)
                        pc += 3 + (jump ? (static_cast<std::size_t>(code[pc + 1]) << 8 | code[pc + 2]) : 0);
                    else
                        pc += 1 + (jump ? (op & 0x1F) : 0);
                } else {
                    slow = true;
                }
            }
            frame.Pc = pc;
            if (!slow) {
                if (Leave(TValue::String({})))
                    return std::move(m_returned);
                continue;
            }
            const std::uint8_t op = code[pc];
            frame.Pc += InstructionLength(op);
            if (Step(op, pc, codeText))
                return std::move(m_returned);
        }
    }

    // Integer arithmetic and comparisons in place on the stack; false (nothing done) for any
    // other operands or a result that overflows.
    bool TInterpreter::IntegerFastPath(std::uint8_t op)
    {
        TValue& a = m_stack[m_stack.size() - 2];
        const TValue& b = m_stack.back();
        if (a.Type != TType::Integer || b.Type != TType::Integer)
            return false;
        std::int32_t r = 0;
        switch (op) {
        case kAdd:
            if (__builtin_add_overflow(a.Int, b.Int, &r))
                return false;
            a.Int = r;
            break;
        case kSub:
            if (__builtin_sub_overflow(a.Int, b.Int, &r))
                return false;
            a.Int = r;
            break;
        case kLt:
        case kLe:
        case kGt:
        case kGe:
        case kEq:
        case kNe: {
            const bool v = op == kLt ? a.Int < b.Int
                : op == kLe          ? a.Int <= b.Int
                : op == kGt          ? a.Int > b.Int
                : op == kGe          ? a.Int >= b.Int
                : op == kEq          ? a.Int == b.Int
                                     : a.Int != b.Int;
            a.Type = TType::Boolean;
            a.Bool = v;
            break;
        }
        default:
            return false;
        }
        m_stack.pop_back();
        return true;
    }

    // Runs one instruction; true when the outermost function has returned.
    bool TInterpreter::Step(std::uint8_t op, std::size_t at, const std::string& code)
    {
        const auto signedAt = static_cast<std::int64_t>(at);
        if (op >= 0x80) {
            const std::uint32_t low = op & 0x1F;
            switch (op & 0xE0) {
            case kJumpFwS:
                Jump(signedAt + 1 + low);
                return false;
            case kJumpBwS:
                Jump(signedAt - low);
                return false;
            case kTJumpFwS:
                if (ToBoolean(Pop()).value_or(false) == false)
                    Jump(signedAt + 1 + low);
                return false;
            default:
                Push(Var(low));
                return false;
            }
        }
        if (op >= kStoreVarS && op < kStoreVarS + 16) {
            Var(op & 0x0F) = Pop();
            return false;
        }
        if (op >= kLoadConstS && op < kLoadConstS + 16) {
            Push(m_frames.back().Unit->Constants[op & 0x0F]);
            return false;
        }
        if (op >= kCallS && op < kCallS + 8) {
            Enter(m_frames.back().Unit, m_frames.back().Url, op & 0x07);
            return false;
        }
        if (op >= kCallLibS && op < kCallLibS + 8) {
            CallLib(static_cast<std::uint16_t>(Operand(code, at + 1, 1)), op & 0x07);
            return false;
        }
        if (op >= kIncrVarS && op < kIncrVarS + 8) {
            TValue& v = Var(op & 0x07);
            v = UnaryOperation(kIncr, v);
            return false;
        }
        const std::uint32_t b1 = InstructionLength(op) >= 2 ? Operand(code, at + 1, 1) : 0;
        const std::uint32_t w1 = InstructionLength(op) >= 3 ? Operand(code, at + 1, 2) : 0;
        switch (op) {
        case kJumpFw:
            Jump(signedAt + 2 + b1);
            return false;
        case kJumpFwW:
            Jump(signedAt + 3 + w1);
            return false;
        case kJumpBw:
            Jump(signedAt - b1);
            return false;
        case kJumpBwW:
            Jump(signedAt - w1);
            return false;
        case kTJumpFw:
        case kTJumpFwW:
        case kTJumpBw:
        case kTJumpBwW:
            if (ToBoolean(Pop()).value_or(false) == false) {
                const std::int64_t offset = op == kTJumpFw || op == kTJumpBw ? b1 : w1;
                const std::int64_t length = op == kTJumpFw || op == kTJumpBw ? 2 : 3;
                Jump(op == kTJumpFw || op == kTJumpFwW ? signedAt + length + offset : signedAt - offset);
            }
            return false;
        case kCall:
            Enter(m_frames.back().Unit, m_frames.back().Url, static_cast<int>(b1));
            return false;
        case kCallLib:
            CallLib(static_cast<std::uint16_t>(Operand(code, at + 2, 1)), static_cast<std::uint8_t>(b1));
            return false;
        case kCallLibW:
            CallLib(static_cast<std::uint16_t>(Operand(code, at + 2, 2)), static_cast<std::uint8_t>(b1));
            return false;
        case kCallUrl:
            CallUrl(static_cast<std::uint16_t>(b1), static_cast<std::uint16_t>(Operand(code, at + 2, 1)),
                static_cast<int>(Operand(code, at + 3, 1)));
            return false;
        case kCallUrlW:
            CallUrl(static_cast<std::uint16_t>(w1), static_cast<std::uint16_t>(Operand(code, at + 3, 2)),
                static_cast<int>(Operand(code, at + 5, 1)));
            return false;
        case kLoadVar:
            Push(Var(b1));
            return false;
        case kStoreVar:
            Var(b1) = Pop();
            return false;
        case kIncrVar:
        case kDecrVar: {
            TValue& v = Var(b1);
            v = UnaryOperation(op == kIncrVar ? kIncr : kDecr, v);
            return false;
        }
        case kLoadConst:
        case kLoadConstW:
            Push(m_frames.back().Unit->Constants[op == kLoadConst ? b1 : w1]);
            return false;
        case kConst0:
        case kConst1:
        case kConstM1:
            Push(TValue::Integer(op == kConst0 ? 0 : op == kConst1 ? 1 : -1));
            return false;
        case kConstEs:
            Push(TValue::String({}));
            return false;
        case kConstInvalid:
            Push(TValue::Invalid());
            return false;
        case kConstTrue:
        case kConstFalse:
            Push(TValue::Boolean(op == kConstTrue));
            return false;
        case kAddAsg:
        case kSubAsg: {
            TValue value = Pop();
            TValue& v = Var(b1);
            v = BinaryOperation(op == kAddAsg ? kAdd : kSub, v, value);
            if (v.Type == TType::String && v.Str.size() > m_limits.StringLength)
                Fatal("a string grew past " + std::to_string(m_limits.StringLength) + " characters");
            return false;
        }
        case kScAnd:
        case kScOr: {
            const std::optional<bool> v = ToBoolean(Pop());
            const bool decided = !v || *v == (op == kScOr);
            if (decided) {
                Push(v ? TValue::Boolean(*v) : TValue::Invalid());
                Push(TValue::Boolean(false));
            } else {
                Push(TValue::Boolean(true));
            }
            return false;
        }
        case kPop:
            Pop();
            return false;
        case kReturn:
            return Leave(Pop());
        case kReturnEs:
            return Leave(TValue::String({}));
        case kDebug:
            return false;
        default:
            break;
        }
        if (op >= kUMinus && op <= kNe && op != kBNot && op != kUMinus) {
            TValue b = Pop();
            TValue& a = Top();
            a = BinaryOperation(op, a, b);
            if (a.Type == TType::String && a.Str.size() > m_limits.StringLength)
                Fatal("a string grew past " + std::to_string(m_limits.StringLength) + " characters");
            return false;
        }
        TValue& a = Top();
        a = UnaryOperation(op, a);
        return false;
    }

    bool HostEndsWith(std::string_view host, std::string_view domain)
    {
        const std::string h = base::AsciiLower(host);
        const std::string d = base::AsciiLower(domain);
        if (d.empty() || h == d)
            return true;
        return h.size() > d.size() && h.compare(h.size() - d.size(), d.size(), d) == 0
            && h[h.size() - d.size() - 1] == '.';
    }

    bool PathStartsWith(std::string_view path, std::string_view prefix)
    {
        if (prefix.empty() || prefix == "/" || path == prefix)
            return true;
        std::string p(prefix);
        if (p.back() != '/')
            p += '/';
        return path.substr(0, p.size()) == p;
    }

} // namespace

bool AccessAllowed(const TUnit& unit, const std::string& unitUrl, const std::string& callerUrl)
{
    bool hasPragma = false;
    for (const TPragma& p : unit.Pragmas)
        hasPragma = hasPragma || p.Type == TPragmaType::AccessDomain || p.Type == TPragmaType::AccessPath;
    if (!hasPragma)
        return true;
    const std::optional<TURLParts> own = SplitURL(unitUrl);
    const std::optional<TURLParts> caller = SplitURL(callerUrl);
    if (!own || !caller)
        return false;
    std::string domain = ToUtf8(unit.AccessDomain());
    if (domain.empty())
        domain = own->Host;
    std::string path = ToUtf8(unit.AccessPath());
    if (path.empty())
        path = "/";
    else if (path[0] != '/')
        path = SplitURL(ResolveURL(unitUrl, path)).value_or(TURLParts {}).Path;
    return HostEndsWith(caller->Host, domain) && PathStartsWith(caller->PathWithoutParameters(), path);
}

TInvocation Invoke(std::shared_ptr<const TUnit> unit, const std::string& unitUrl, const std::string& name,
    std::vector<TValue> args, TScriptHost& host, const TLimits& limits)
{
    TInvocation result;
    const int index = unit->FindExtern(name);
    if (index < 0) {
        result.Error = "the script has no extern function " + name;
        return result;
    }
    if (unit->Functions[static_cast<std::size_t>(index)].Arguments != args.size()) {
        result.Error = name + " takes " + std::to_string(unit->Functions[index].Arguments)
            + " arguments, not " + std::to_string(args.size());
        return result;
    }
    try {
        TInterpreter interpreter(host, limits, result);
        result.Result = interpreter.Run(std::move(unit), unitUrl, index, std::move(args));
        result.Ok = true;
    } catch (const TScriptError& e) {
        result.Error = e.Reason;
    } catch (const TScriptExit& e) {
        result.Result = e.Value;
        result.Ok = true;
    }
    if (!result.Ok) {
        result.Navigation = TNavigation::None;
        result.NewContext = false;
        result.Refresh = false;
    }
    return result;
}

} // namespace pivrel::script
