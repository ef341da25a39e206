#include "script/JumpLayout.h"

#include "script/Bytecode.h"

#include <vector>

namespace pivrel::script {

namespace {

    // One instruction of a finished function, with its jump target as an instruction index.
    struct TInstruction {
        std::size_t Start = 0;
        std::size_t Length = 0;
        int Kind = 0; // 0 no jump, 1 jump forward, 2 conditional jump forward, 3 jump backward
        std::size_t Target = 0;
    };

    std::size_t JumpLength(std::size_t offset)
    {
        return offset < 32 ? 1 : offset < 256 ? 2 : 3;
    }

    void EmitJump(std::string& out, int kind, std::size_t offset)
    {
        static constexpr std::uint8_t shortOps[] = { 0, kJumpFwS, kTJumpFwS, kJumpBwS };
        static constexpr std::uint8_t byteOps[] = { 0, kJumpFw, kTJumpFw, kJumpBw };
        static constexpr std::uint8_t wordOps[] = { 0, kJumpFwW, kTJumpFwW, kJumpBwW };
        if (offset < 32) {
            out.push_back(static_cast<char>(shortOps[kind] | offset));
        } else if (offset < 256) {
            out.push_back(static_cast<char>(byteOps[kind]));
            out.push_back(static_cast<char>(offset));
        } else {
            out.push_back(static_cast<char>(wordOps[kind]));
            out.push_back(static_cast<char>(offset >> 8));
            out.push_back(static_cast<char>(offset & 0xFF));
        }
    }

} // namespace

// Jumps are written at full width while their targets are unknown; shortening one moves the code
// after it, which can only bring other targets closer, so repeating until nothing changes settles.
std::string ShortenJumps(const std::string& code)
{
    std::vector<TInstruction> list;
    std::vector<std::size_t> indexAt(code.size() + 1, 0);
    for (std::size_t pc = 0; pc < code.size();) {
        const auto op = static_cast<std::uint8_t>(code[pc]);
        TInstruction in { pc, InstructionLength(op), 0, 0 };
        const std::size_t word = in.Length == 3
            ? (static_cast<std::uint8_t>(code[pc + 1]) << 8) | static_cast<std::uint8_t>(code[pc + 2])
            : 0;
        const std::size_t byte = in.Length == 2 ? static_cast<std::uint8_t>(code[pc + 1]) : 0;
        if (op == kJumpFwW || op == kTJumpFwW) {
            in.Kind = op == kJumpFwW ? 1 : 2;
            in.Target = pc + 3 + word;
        } else if ((op & 0xE0) == kJumpBwS || op == kJumpBw || op == kJumpBwW) {
            in.Kind = 3;
            in.Target = pc - ((op & 0xE0) == kJumpBwS ? (op & 0x1F) : op == kJumpBw ? byte : word);
        }
        indexAt[pc] = list.size();
        list.push_back(in);
        pc += in.Length;
    }
    indexAt[code.size()] = list.size();
    for (TInstruction& in : list)
        in.Target = in.Kind ? indexAt[in.Target] : 0;
    std::vector<std::size_t> position(list.size() + 1);
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 0; i < list.size(); ++i)
            position[i + 1] = position[i] + list[i].Length;
        for (std::size_t i = 0; i < list.size(); ++i) {
            TInstruction& in = list[i];
            if (in.Kind == 0)
                continue;
            const std::size_t offset = in.Kind == 3 ? position[i] - position[in.Target]
                                                    : position[in.Target] - position[i] - in.Length;
            const std::size_t length = JumpLength(offset);
            if (length < in.Length) {
                in.Length = length;
                changed = true;
            }
        }
    }
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i)
        position[i + 1] = position[i] + list[i].Length;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TInstruction& in = list[i];
        if (in.Kind == 0) {
            out.append(code, in.Start, in.Length);
            continue;
        }
        const std::size_t offset = in.Kind == 3 ? position[i] - position[in.Target]
                                                : position[in.Target] - position[i] - in.Length;
        EmitJump(out, in.Kind, offset);
    }
    return out;
}

} // namespace pivrel::script
