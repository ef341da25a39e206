#pragma once

#include "script/Bytecode.h"

#include <string>
#include <string_view>

namespace pivrel::script {

struct TCompileResult {
    bool Ok = false;
    // "line N: what is wrong", for the first fault found.
    std::string Error;
    int Line = 0;
    TUnit Unit;
};

// Compiles script text (UTF-8) into a unit.
TCompileResult Compile(std::string_view text);

} // namespace pivrel::script
