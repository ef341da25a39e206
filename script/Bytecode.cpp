#include "script/Bytecode.h"

#include "base/Utf8.h"
#include "script/LibraryTable.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace pivrel::script {

namespace {

    constexpr std::uint8_t kVersion = 0x01; // 1.1: major - 1 in the high nibble, minor in the low one
    constexpr std::uint16_t kUtf8MibEnum = 106;
    constexpr std::uint16_t kLatin1MibEnum = 4;
    constexpr std::uint16_t kAsciiMibEnum = 3;

    enum TConstantType : std::uint8_t {
        kInt8,
        kInt16,
        kInt32,
        kFloat32,
        kUtf8String,
        kEmptyString,
        kExtString
    };

    void PutMultiByte(std::string& out, std::uint32_t v)
    {
        char buf[5];
        int n = 0;
        do {
            buf[n++] = static_cast<char>(v & 0x7F);
            v >>= 7;
        } while (v != 0);
        while (n-- > 0)
            out.push_back(static_cast<char>(buf[n] | (n > 0 ? 0x80 : 0)));
    }

    void PutBigEndian(std::string& out, std::uint32_t v, int bytes)
    {
        for (int i = bytes - 1; i >= 0; --i)
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }

    void PutConstant(std::string& out, const TValue& c)
    {
        if (c.Type == TType::Integer) {
            if (c.Int >= -128 && c.Int <= 127) {
                out.push_back(kInt8);
                PutBigEndian(out, static_cast<std::uint32_t>(c.Int), 1);
            } else if (c.Int >= -32768 && c.Int <= 32767) {
                out.push_back(kInt16);
                PutBigEndian(out, static_cast<std::uint32_t>(c.Int), 2);
            } else {
                out.push_back(kInt32);
                PutBigEndian(out, static_cast<std::uint32_t>(c.Int), 4);
            }
        } else if (c.Type == TType::Float) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &c.Float, 4);
            out.push_back(kFloat32);
            PutBigEndian(out, bits, 4);
        } else if (c.Str.empty()) {
            out.push_back(kEmptyString);
        } else {
            const std::string utf8 = ToUtf8(c.Str);
            out.push_back(kUtf8String);
            PutMultiByte(out, static_cast<std::uint32_t>(utf8.size()));
            out += utf8;
        }
    }

    // Reads the file front to back; every read checks the bytes left, and a failed read sticks.
    class TReader
    {
    public:
        explicit TReader(std::string_view bytes)
            : m_bytes(bytes)
        { }

        bool Failed() const { return m_failed; }

        std::size_t Left() const { return m_bytes.size() - m_pos; }

        std::uint32_t Byte() { return Fixed(1); }

        std::uint32_t Fixed(int n)
        {
            if (m_failed || Left() < static_cast<std::size_t>(n))
                return Fail();
            std::uint32_t v = 0;
            for (int i = 0; i < n; ++i)
                v = (v << 8) | static_cast<std::uint8_t>(m_bytes[m_pos++]);
            return v;
        }

        std::uint32_t MultiByte(std::uint32_t max)
        {
            std::uint64_t v = 0;
            for (int i = 0; i < 5; ++i) {
                const std::uint32_t b = Byte();
                if (m_failed)
                    return 0;
                v = (v << 7) | (b & 0x7F);
                if ((b & 0x80) == 0)
                    return v <= max ? static_cast<std::uint32_t>(v) : Fail();
            }
            return Fail();
        }

        std::string_view Bytes(std::size_t n)
        {
            if (m_failed || Left() < n) {
                Fail();
                return {};
            }
            const std::string_view s = m_bytes.substr(m_pos, n);
            m_pos += n;
            return s;
        }

    private:
        std::uint32_t Fail()
        {
            m_failed = true;
            return 0;
        }

        std::string_view m_bytes;
        std::size_t m_pos = 0;
        bool m_failed = false;
    };

    std::int32_t SignExtend(std::uint32_t v, int bits)
    {
        const std::uint32_t sign = 1U << (bits - 1);
        return static_cast<std::int32_t>((v ^ sign) - sign);
    }

    bool ReadConstant(TReader& in, std::uint16_t charset, TValue& out, std::string& error)
    {
        const std::uint32_t type = in.Byte();
        switch (type) {
        case kInt8:
            out = TValue::Integer(SignExtend(in.Fixed(1), 8));
            return true;
        case kInt16:
            out = TValue::Integer(SignExtend(in.Fixed(2), 16));
            return true;
        case kInt32:
            out = TValue::Integer(static_cast<std::int32_t>(in.Fixed(4)));
            return true;
        case kFloat32: {
            const std::uint32_t bits = in.Fixed(4);
            float f = 0;
            std::memcpy(&f, &bits, 4);
            out = std::isfinite(f) ? TValue::FromFloat(f) : TValue::Invalid();
            return true;
        }
        case kEmptyString:
            out = TValue::String({});
            return true;
        case kUtf8String:
        case kExtString: {
            const std::string_view bytes = in.Bytes(in.MultiByte(std::numeric_limits<std::uint32_t>::max()));
            const bool utf8 = type == kUtf8String || charset == kUtf8MibEnum;
            if (utf8 && !base::IsValidUtf8(bytes)) {
                error = "a string constant is not valid UTF-8";
                return false;
            }
            if (utf8) {
                out = TValue::String(FromUtf8(bytes));
                return true;
            }
            if (charset != kLatin1MibEnum && charset != kAsciiMibEnum) {
                error = "the character set " + std::to_string(charset) + " is not supported";
                return false;
            }
            std::u32string s;
            for (char c : bytes)
                s.push_back(static_cast<std::uint8_t>(c));
            out = TValue::String(std::move(s));
            return true;
        }
        default:
            error = "unknown constant type " + std::to_string(type);
            return false;
        }
    }

    bool IsStringConstant(const TUnit& unit, std::uint32_t index)
    {
        return index < unit.Constants.size() && unit.Constants[index].Type == TType::String;
    }

    bool ReadPragma(TReader& in, TUnit& unit, std::string& error)
    {
        TPragma p;
        const std::uint32_t type = in.Byte();
        if (type > 3) {
            error = "unknown pragma type " + std::to_string(type);
            return false;
        }
        p.Type = static_cast<TPragmaType>(type);
        const int count = type <= 1 ? 1 : static_cast<int>(type);
        for (int i = 0; i < count; ++i) {
            const std::uint32_t index = in.MultiByte(0xFFFF);
            if (!in.Failed() && !IsStringConstant(unit, index)) {
                error = "a pragma names constant " + std::to_string(index) + ", which is not a string";
                return false;
            }
            p.Indices.push_back(static_cast<std::uint16_t>(index));
        }
        unit.Pragmas.push_back(std::move(p));
        return true;
    }

    bool IsIdentifier(std::string_view name)
    {
        if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
            return false;
        for (char c : name)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
                return false;
        return true;
    }

    struct TVerifier {
        const TUnit& Unit;
        const TFunction& Function;
        std::string& Error;

        bool Fail(std::size_t pc, const std::string& what)
        {
            Error = "instruction at " + std::to_string(pc) + ": " + what;
            return false;
        }

        std::uint32_t Operand(std::size_t at, int bytes) const
        {
            std::uint32_t v = 0;
            for (int i = 0; i < bytes; ++i)
                v = (v << 8) | static_cast<std::uint8_t>(Function.Code[at + i]);
            return v;
        }

        bool CheckVar(std::size_t pc, std::uint32_t index)
        {
            if (index >= static_cast<std::uint32_t>(Function.Arguments) + Function.Locals)
                return Fail(pc, "variable " + std::to_string(index) + " out of range");
            return true;
        }

        bool CheckConst(std::size_t pc, std::uint32_t index)
        {
            if (index >= Unit.Constants.size())
                return Fail(pc, "constant " + std::to_string(index) + " out of range");
            return true;
        }

        bool CheckLibrary(std::size_t pc, std::uint32_t library, std::uint32_t function)
        {
            if (library > 0xFFFF || function > 0xFF
                || !LibraryFunctionAt(
                    static_cast<std::uint16_t>(library), static_cast<std::uint8_t>(function)))
                return Fail(
                    pc, "no library function " + std::to_string(library) + "." + std::to_string(function));
            return true;
        }

        bool CheckCall(std::size_t pc, std::uint32_t function)
        {
            if (function >= Unit.Functions.size())
                return Fail(pc, "function " + std::to_string(function) + " out of range");
            return true;
        }

        bool CheckUrlCall(std::size_t pc, std::uint32_t url, std::uint32_t name)
        {
            if (!IsStringConstant(Unit, url) || !IsStringConstant(Unit, name))
                return Fail(pc, "an external call names a constant that is not a string");
            return true;
        }

        // The jump's target, which may lie outside the function, or -1 when the instruction is no jump.
        static std::int64_t JumpTarget(
            std::uint8_t op, std::size_t pc, std::size_t length, std::uint32_t operand)
        {
            const auto at = static_cast<std::int64_t>(pc);
            if (op >= 0x80 && op < 0xE0) {
                const std::int64_t offset = op & 0x1F;
                return (op & 0xE0) == kJumpBwS ? at - offset : at + 1 + offset;
            }
            if (op >= kJumpFw && op <= kTJumpBwW) {
                const bool backward = op == kJumpBw || op == kJumpBwW || op == kTJumpBw || op == kTJumpBwW;
                return backward ? at - operand : at + static_cast<std::int64_t>(length) + operand;
            }
            return -1;
        }

        bool CheckOperands(std::size_t pc, std::uint8_t op)
        {
            if (op >= kLoadVarS)
                return CheckVar(pc, op & 0x1F);
            if (op >= 0x80)
                return true;
            if (op >= kIncrVarS && op < kIncrVarS + 8)
                return CheckVar(pc, op & 0x07);
            if (op >= kCallLibS && op < kCallLibS + 8)
                return CheckLibrary(pc, Operand(pc + 1, 1), op & 0x07);
            if (op >= kCallS && op < kCallS + 8)
                return CheckCall(pc, op & 0x07);
            if (op >= kLoadConstS && op < kLoadConstS + 16)
                return CheckConst(pc, op & 0x0F);
            if (op >= kStoreVarS && op < kStoreVarS + 16)
                return CheckVar(pc, op & 0x0F);
            switch (op) {
            case kCall:
                return CheckCall(pc, Operand(pc + 1, 1));
            case kCallLib:
                return CheckLibrary(pc, Operand(pc + 2, 1), Operand(pc + 1, 1));
            case kCallLibW:
                return CheckLibrary(pc, Operand(pc + 2, 2), Operand(pc + 1, 1));
            case kCallUrl:
                return CheckUrlCall(pc, Operand(pc + 1, 1), Operand(pc + 2, 1));
            case kCallUrlW:
                return CheckUrlCall(pc, Operand(pc + 1, 2), Operand(pc + 3, 2));
            case kLoadVar:
            case kStoreVar:
            case kIncrVar:
            case kDecrVar:
            case kAddAsg:
            case kSubAsg:
                return CheckVar(pc, Operand(pc + 1, 1));
            case kLoadConst:
                return CheckConst(pc, Operand(pc + 1, 1));
            case kLoadConstW:
                return CheckConst(pc, Operand(pc + 1, 2));
            default:
                return true;
            }
        }

        bool Run()
        {
            const std::string& code = Function.Code;
            std::vector<bool> starts(code.size() + 1, false);
            std::vector<std::size_t> targets;
            for (std::size_t pc = 0; pc < code.size();) {
                const auto op = static_cast<std::uint8_t>(code[pc]);
                const std::size_t length = InstructionLength(op);
                if (length == 0)
                    return Fail(pc, "reserved opcode " + std::to_string(op));
                if (pc + length > code.size())
                    return Fail(pc, "instruction cut off by the end of the function");
                if (!CheckOperands(pc, op))
                    return false;
                const std::uint32_t operand = length == 2 ? Operand(pc + 1, 1)
                    : length == 3                         ? Operand(pc + 1, 2)
                                                          : 0;
                const bool isJump = op >= 0x80 ? op < kLoadVarS : op >= kJumpFw && op <= kTJumpBwW;
                if (isJump) {
                    const std::int64_t target = JumpTarget(op, pc, length, operand);
                    if (target < 0 || target > static_cast<std::int64_t>(code.size()))
                        return Fail(pc, "jump out of the function");
                    targets.push_back(static_cast<std::size_t>(target));
                }
                starts[pc] = true;
                pc += length;
            }
            starts[code.size()] = true;
            for (std::size_t t : targets)
                if (!starts[t])
                    return Fail(t, "jump into the middle of an instruction");
            return true;
        }
    };

    bool ReadFunctions(TReader& in, TUnit& unit, std::string& error)
    {
        const std::uint32_t functions = in.Byte();
        const std::uint32_t names = in.Byte();
        for (std::uint32_t i = 0; i < names && !in.Failed(); ++i) {
            TFunctionName n;
            n.Index = static_cast<std::uint8_t>(in.Byte());
            n.Name = std::string(in.Bytes(in.Byte()));
            if (in.Failed())
                break;
            if (n.Index >= functions || !IsIdentifier(n.Name) || unit.FindExtern(n.Name) >= 0) {
                error = "the function name table is malformed";
                return false;
            }
            unit.Names.push_back(std::move(n));
        }
        for (std::uint32_t i = 0; i < functions && !in.Failed(); ++i) {
            TFunction f;
            f.Arguments = static_cast<std::uint8_t>(in.Byte());
            f.Locals = static_cast<std::uint8_t>(in.Byte());
            f.Code = std::string(in.Bytes(in.MultiByte(std::numeric_limits<std::uint32_t>::max())));
            unit.Functions.push_back(std::move(f));
        }
        if (in.Failed())
            return true;
        for (std::size_t i = 0; i < unit.Functions.size(); ++i) {
            std::string why;
            if (!TVerifier { unit, unit.Functions[i], why }.Run()) {
                error = "function " + std::to_string(i) + ", " + why;
                return false;
            }
        }
        return true;
    }

} // namespace

int TUnit::FindExtern(std::string_view name) const
{
    for (const TFunctionName& n : Names)
        if (n.Name == name)
            return n.Index;
    return -1;
}

std::u32string TUnit::AccessDomain() const
{
    for (const TPragma& p : Pragmas)
        if (p.Type == TPragmaType::AccessDomain)
            return Constants[p.Indices[0]].Str;
    return {};
}

std::u32string TUnit::AccessPath() const
{
    for (const TPragma& p : Pragmas)
        if (p.Type == TPragmaType::AccessPath)
            return Constants[p.Indices[0]].Str;
    return {};
}

std::size_t InstructionLength(std::uint8_t op)
{
    if (op >= 0x80 || (op >= kStoreVarS && op < kCallLibS) || (op >= kIncrVarS && op < kIncrVarS + 8))
        return 1;
    if (op >= kCallLibS && op < kCallLibS + 8)
        return 2;
    switch (op) {
    case kJumpFw:
    case kJumpBw:
    case kTJumpFw:
    case kTJumpBw:
    case kCall:
    case kLoadVar:
    case kStoreVar:
    case kIncrVar:
    case kDecrVar:
    case kLoadConst:
    case kAddAsg:
    case kSubAsg:
        return 2;
    case kJumpFwW:
    case kJumpBwW:
    case kTJumpFwW:
    case kTJumpBwW:
    case kCallLib:
    case kLoadConstW:
        return 3;
    case kCallLibW:
    case kCallUrl:
        return 4;
    case kCallUrlW:
        return 6;
    default:
        return op >= kConst0 && op <= kDebug ? 1 : 0;
    }
}

std::string EncodeUnit(const TUnit& unit)
{
    std::string body;
    PutMultiByte(body, static_cast<std::uint32_t>(unit.Constants.size()));
    PutMultiByte(body, kUtf8MibEnum);
    for (const TValue& c : unit.Constants)
        PutConstant(body, c);
    PutMultiByte(body, static_cast<std::uint32_t>(unit.Pragmas.size()));
    for (const TPragma& p : unit.Pragmas) {
        body.push_back(static_cast<char>(p.Type));
        for (std::uint16_t index : p.Indices)
            PutMultiByte(body, index);
    }
    body.push_back(static_cast<char>(unit.Functions.size()));
    body.push_back(static_cast<char>(unit.Names.size()));
    for (const TFunctionName& n : unit.Names) {
        body.push_back(static_cast<char>(n.Index));
        body.push_back(static_cast<char>(n.Name.size()));
        body += n.Name;
    }
    for (const TFunction& f : unit.Functions) {
        body.push_back(static_cast<char>(f.Arguments));
        body.push_back(static_cast<char>(f.Locals));
        PutMultiByte(body, static_cast<std::uint32_t>(f.Code.size()));
        body += f.Code;
    }
    std::string out(1, static_cast<char>(kVersion));
    PutMultiByte(out, static_cast<std::uint32_t>(body.size()));
    return out + body;
}

TLoadResult LoadUnit(std::string_view bytes)
{
    TLoadResult r;
    TReader in(bytes);
    const std::uint32_t version = in.Byte();
    if (!in.Failed() && (version >> 4) != 0) {
        r.Error = "bytecode version " + std::to_string((version >> 4) + 1) + "."
            + std::to_string(version & 15) + " is not supported";
        return r;
    }
    const std::uint32_t codeSize = in.MultiByte(std::numeric_limits<std::uint32_t>::max());
    if (!in.Failed() && codeSize != in.Left()) {
        r.Error = "the code size does not match the file";
        return r;
    }
    const std::uint32_t constants = in.MultiByte(0xFFFF);
    const auto charset = static_cast<std::uint16_t>(in.MultiByte(0xFFFF));
    for (std::uint32_t i = 0; i < constants && !in.Failed(); ++i) {
        TValue c;
        if (!ReadConstant(in, charset, c, r.Error))
            return r;
        r.Unit.Constants.push_back(std::move(c));
    }
    const std::uint32_t pragmas = in.MultiByte(0xFFFF);
    for (std::uint32_t i = 0; i < pragmas && !in.Failed(); ++i)
        if (!ReadPragma(in, r.Unit, r.Error))
            return r;
    if (!ReadFunctions(in, r.Unit, r.Error))
        return r;
    if (in.Failed()) {
        r.Error = "the bytecode ends too early";
        return r;
    }
    if (in.Left() != 0) {
        r.Error = "bytes follow the last function";
        return r;
    }
    r.Ok = true;
    return r;
}

} // namespace pivrel::script
