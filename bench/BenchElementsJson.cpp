// Writing a parsed deck's records as JSON Lines, what `pivrel-cli elements` does after the parse:
// the 1 MB generated deck is parsed once and written again and again into a stream that counts
// the bytes and drops them.
#include "engine/WMLBrowser.h"

#include <benchmark/benchmark.h>
#include <optional>
#include <ostream>

#include "bench/CountingBuf.h"
#include "bench/DeckGenerator.h"
#include "tools/CliCommands.h"

namespace {

void BM_ElementsJson(benchmark::State& state)
{
    // Every card is built before the timing starts, so that only the writing is timed.
    pivrel::engine::TWMLBrowser browser;
    browser.WMLDeck.BuildOnDemand = false;
    const bool accepted = browser.WMLDeck.ParseText(pivrel::bench::GenerateDeck(std::size_t(state.range(0))));
    pivrel::bench::TCountingBuf counter;
    std::ostream out(&counter);
    for (auto _ : state)
        pivrel::tools::WriteDeckLines(out, browser, accepted, std::nullopt);
    state.SetBytesProcessed(std::int64_t(counter.Count));
    state.counters["json_bytes_per_run"] = double(counter.Count) / double(state.iterations());
}

BENCHMARK(BM_ElementsJson)->Arg(1000 * 1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
