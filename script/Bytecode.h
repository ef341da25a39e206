#pragma once

#include "script/Value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::script {

// The instruction set of compiled units. Opcodes from 0x40 up carry a small operand in their low
// bits; the others are followed by their operands.
enum TOp : std::uint8_t {
    kJumpFwS = 0x80, // 100iiiii
    kJumpBwS = 0xA0, // 101iiiii
    kTJumpFwS = 0xC0, // 110iiiii
    kLoadVarS = 0xE0, // 111iiiii
    kStoreVarS = 0x40, // 0100iiii
    kLoadConstS = 0x50, // 0101iiii
    kCallS = 0x60, // 01100iii
    kCallLibS = 0x68, // 01101iii (function) + library byte
    kIncrVarS = 0x70, // 01110iii
    kJumpFw = 0x01,
    kJumpFwW,
    kJumpBw,
    kJumpBwW,
    kTJumpFw,
    kTJumpFwW,
    kTJumpBw,
    kTJumpBwW,
    kCall,
    kCallLib,
    kCallLibW,
    kCallUrl,
    kCallUrlW,
    kLoadVar,
    kStoreVar,
    kIncrVar,
    kDecrVar,
    kLoadConst,
    kLoadConstW,
    kConst0,
    kConst1,
    kConstM1,
    kConstEs,
    kConstInvalid,
    kConstTrue,
    kConstFalse,
    kIncr,
    kDecr,
    kAddAsg,
    kSubAsg,
    kUMinus,
    kAdd,
    kSub,
    kMul,
    kDiv,
    kIDiv,
    kRem,
    kBAnd,
    kBOr,
    kBXor,
    kBNot,
    kBLShift,
    kBRSShift,
    kBRSZShift,
    kEq,
    kLe,
    kLt,
    kGe,
    kGt,
    kNe,
    kNot,
    kScAnd,
    kScOr,
    kToBool,
    kPop,
    kTypeOf,
    kIsValid,
    kReturn,
    kReturnEs,
    kDebug, // 0x3C
};

enum class TPragmaType : std::uint8_t {
    AccessDomain = 0,
    AccessPath = 1,
    UserAgent = 2,
    UserAgentScheme = 3
};

struct TPragma {
    TPragmaType Type = TPragmaType::AccessDomain;
    // Constant indices: the domain or path, or the property name, content and scheme.
    std::vector<std::uint16_t> Indices;
};

struct TFunction {
    std::uint8_t Arguments = 0;
    std::uint8_t Locals = 0;
    std::string Code;
};

struct TFunctionName {
    std::uint8_t Index = 0;
    std::string Name;
};

// A compilation unit: what the bytecode file holds.
struct TUnit {
    std::vector<TValue> Constants;
    std::vector<TPragma> Pragmas;
    std::vector<TFunction> Functions;
    // The extern functions, the only ones other units may call.
    std::vector<TFunctionName> Names;

    // The index of the extern function called name, or -1.
    int FindExtern(std::string_view name) const;
    // The access pragmas' values, empty when the unit has none.
    std::u32string AccessDomain() const;
    std::u32string AccessPath() const;
};

// The unit as bytecode, strings in UTF-8.
std::string EncodeUnit(const TUnit& unit);

struct TLoadResult {
    bool Ok = false;
    std::string Error;
    TUnit Unit;
};

// Reads bytecode and verifies it: every constant, variable, function and library index and every
// jump target in range and every instruction whole. Nothing that fails here reaches the
// interpreter.
TLoadResult LoadUnit(std::string_view bytes);

// The length in bytes of the instruction starting with op, or 0 for a reserved opcode.
std::size_t InstructionLength(std::uint8_t op);

} // namespace pivrel::script
