// Script compile and run speed: a generated 50 KB unit through the compiler and the verifying
// loader, and a loop of integer additions through the interpreter.

#include "script/Compiler.h"
#include "script/Interpreter.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <string>

namespace {

using namespace pivrel::script;

// A unit of about size bytes: many functions mixing loops, conditions, strings and library calls,
// the same text on every run.
std::string GenerateScript(std::size_t size)
{
    std::string text = "use url lib \"lib.wmls\";\nuse access domain \"example.com\";\n";
    for (int n = 0; text.size() < size; ++n) {
        const std::string k = std::to_string(n);
        text += "extern function check" + k
            + "(a, b) {\n"
              "    var total = 0, label = \"item"
            + k
            + "\";\n"
              "    for (var i = 0; i < a; i++) {\n"
              "        if (i % 3 == 0 && b > "
            + k
            + ") total += i * 2; else total -= 1;\n"
              "    }\n"
              "    while (total > 1000) { total = total div 2; }\n"
              "    var s = String.format(\"%5.2f\", total / 7) + String.subString(label, 1, 3);\n"
              "    WMLBrowser.setVar(\"v"
            + k + "\", s + Lang.abs(b - " + k
            + "));\n"
              "    return typeof total == 0 ? total : lib#fallback(total, '"
            + k
            + "');\n"
              "}\n";
    }
    return text;
}

class TQuietHost : public TScriptHost
{
public:
    std::string GetVar(const std::string&) override { return {}; }

    void SetVar(const std::string&, const std::string&) override { }

    std::string CurrentCard() override { return {}; }

    std::string Prompt(const std::string&, const std::string& d) override { return d; }

    bool Confirm(const std::string&, const std::string&, const std::string&) override { return true; }

    void Alert(const std::string&) override { }

    std::shared_ptr<const TUnit> LoadUnit(const std::string&, std::string& error) override
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

void BM_CompileScript(benchmark::State& state)
{
    const std::string text = GenerateScript(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        TCompileResult r = Compile(text);
        if (!r.Ok)
            state.SkipWithError(r.Error.c_str());
        benchmark::DoNotOptimize(r.Unit.Functions.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_CompileScript)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_LoadAndVerify(benchmark::State& state)
{
    const std::string bytes
        = EncodeUnit(Compile(GenerateScript(static_cast<std::size_t>(state.range(0)))).Unit);
    for (auto _ : state) {
        TLoadResult r = LoadUnit(bytes);
        benchmark::DoNotOptimize(r.Ok);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["bytecode_bytes"] = static_cast<double>(bytes.size());
}

BENCHMARK(BM_LoadAndVerify)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_IntegerLoop(benchmark::State& state)
{
    const auto unit
        = std::make_shared<TUnit>(Compile("extern function loop(n) { var s = 0;"
                                          " for (var i = 0; i < n; i++) { s = s + 3; } return s; }")
                                      .Unit);
    TQuietHost host;
    TLimits limits;
    limits.Instructions = 1'000'000'000;
    for (auto _ : state) {
        const TInvocation r = Invoke(unit, "file:///loop.wmls", "loop",
            { TValue::Integer(static_cast<int>(state.range(0))) }, host, limits);
        if (!r.Ok)
            state.SkipWithError(r.Error.c_str());
        benchmark::DoNotOptimize(r.Result.Int);
    }
    state.counters["additions_per_s"] = benchmark::Counter(
        static_cast<double>(state.range(0)) * state.iterations(), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_IntegerLoop)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
