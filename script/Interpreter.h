#pragma once

#include "script/Bytecode.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pivrel::script {

// What a running script reaches outside itself: the browser's variables and dialogs, and other
// units. The browser and the command-line tool implement it; tests fake it.
class TScriptHost
{
public:
    virtual ~TScriptHost() = default;

    virtual std::string GetVar(const std::string& name) = 0;
    virtual void SetVar(const std::string& name, const std::string& value) = 0;
    // The address of the card shown, empty when there is none.
    virtual std::string CurrentCard() = 0;
    virtual std::string Prompt(const std::string& message, const std::string& defaultInput) = 0;
    virtual bool Confirm(const std::string& message, const std::string& ok, const std::string& cancel) = 0;
    virtual void Alert(const std::string& message) = 0;
    // The unit at an absolute address (fetched, compiled or verified), or null with the reason.
    // The host keeps the unit alive for the rest of the invocation.
    virtual std::shared_ptr<const TUnit> LoadUnit(const std::string& url, std::string& error) = 0;
    // The text at an address, if its content type is the one asked for; otherwise an error code
    // (an HTTP status, or -1 when it could not be fetched).
    virtual bool LoadString(
        const std::string& url, const std::string& contentType, std::string& text, int& code)
        = 0;

    // Asked now and then while a script runs: true ends it (the user pressed Stop).
    virtual bool ShouldStop() { return false; }
};

// Limits per invocation. The defaults are far beyond what an honest script needs and keep a
// runaway one from hanging the window or eating the memory.
struct TLimits {
    std::uint64_t Instructions = 50'000'000;
    int CallDepth = 100;
    std::size_t StackSize = 4096;
    std::size_t StringLength = 1 << 20;
};

enum class TNavigation { None, Go, Prev };

struct TInvocation {
    bool Ok = false;
    std::string Error;
    TValue Result;
    // The requests the browser carries out once the script has ended. The last of go and prev
    // wins; go with an empty address cancels either.
    TNavigation Navigation = TNavigation::None;
    std::string GoUrl;
    bool NewContext = false;
    bool Refresh = false;
    // Every setVar that took effect, in order.
    std::vector<std::pair<std::string, std::string>> VariablesSet;
};

// Calls the extern function name of unit, which lives at unitUrl, with args.
TInvocation Invoke(std::shared_ptr<const TUnit> unit, const std::string& unitUrl, const std::string& name,
    std::vector<TValue> args, TScriptHost& host, const TLimits& limits = {});

// May the unit at unitUrl be called from a resource at callerUrl? A unit without an access pragma
// may be called from anywhere; one with it only from an address whose host ends with its domain
// (on a label boundary) and whose path starts with its path (on a segment boundary).
bool AccessAllowed(const TUnit& unit, const std::string& unitUrl, const std::string& callerUrl);

} // namespace pivrel::script
