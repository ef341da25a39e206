#pragma once

#include "script/Interpreter.h"
#include "script/LibraryTable.h"

#include <cstdint>
#include <string>

namespace pivrel::script {

// A fatal error: the invocation ends and the reason is shown.
struct TScriptError {
    std::string Reason;
};

// Lang.exit: the invocation ends normally with this value.
struct TScriptExit {
    TValue Value;
};

// What the library functions reach besides their arguments.
struct TLibraryContext {
    TScriptHost& Host;
    TInvocation& Result;
    const TLimits& Limits;
    std::string UnitUrl; // the running unit's address
    std::uint64_t RandomState = 0x9E3779B97F4A7C15ULL;
};

// Calls a standard library function with its arguments (args[0] the first). May throw
// TScriptError or TScriptExit.
TValue CallLibrary(const TLibraryFunction& f, const TValue* args, TLibraryContext& context);

} // namespace pivrel::script
