#include "script/Interpreter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

// Answers everything, loads nothing.
class TNullHost : public pivrel::script::TScriptHost
{
public:
    std::string GetVar(const std::string&) override { return "v"; }

    void SetVar(const std::string&, const std::string&) override { }

    std::string CurrentCard() override { return "http://h/d.wml#c"; }

    std::string Prompt(const std::string&, const std::string& d) override { return d; }

    bool Confirm(const std::string&, const std::string&, const std::string&) override { return true; }

    void Alert(const std::string&) override { }

    std::shared_ptr<const pivrel::script::TUnit> LoadUnit(const std::string&, std::string& error) override
    {
        error = "none";
        return nullptr;
    }

    bool LoadString(const std::string&, const std::string&, std::string&, int& code) override
    {
        code = 404;
        return false;
    }
};

} // namespace

// Bytecode that passes the verifier runs every extern function to its end or to a fatal error,
// within the instruction budget: never a crash.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pivrel::script;
    const TLoadResult r = LoadUnit(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!r.Ok)
        return 0;
    auto unit = std::make_shared<TUnit>(r.Unit);
    TLimits limits;
    limits.Instructions = 20000;
    limits.StringLength = 4096;
    TNullHost host;
    for (const TFunctionName& name : unit->Names) {
        std::vector<TValue> args(unit->Functions[name.Index].Arguments, TValue::Integer(3));
        const TInvocation run = Invoke(unit, "http://h/s.wmls", name.Name, args, host, limits);
        if (!run.Ok && run.Error.empty())
            std::abort();
    }
    return 0;
}
