// A compiled deck against its text: decoding 1 MB of deck text back out of WBXML must take no
// longer than parsing that text, so that a gateway's compiled decks never load slower than text.
#include "base/StringList.h"
#include "engine/Wmlc.h"
#include "wml/Charset.h"
#include "wml/WMLDeck.h"

#include <benchmark/benchmark.h>
#include <map>
#include <string>

#include "bench/DeckGenerator.h"
#include "tests/support/WmlcEncoder.h"

namespace {

const std::string& TextDeck(std::size_t size)
{
    static std::map<std::size_t, std::string> decks;
    auto it = decks.find(size);
    if (it == decks.end())
        it = decks.emplace(size, pivrel::bench::GenerateDeck(size)).first;
    return it->second;
}

const std::string& CompiledDeck(std::size_t size)
{
    static std::map<std::size_t, std::string> decks;
    auto it = decks.find(size);
    if (it == decks.end())
        it = decks
                 .emplace(size,
                     pivrel::testsupport::EncodeWmlc(
                         TextDeck(size), pivrel::testsupport::TWmlcStrings::Inline))
                 .first;
    return it->second;
}

// What loading a deck's text costs the browser: the character set, the lines, the records.
std::size_t LoadText(const std::string& bytes)
{
    pivrel::wml::TWMLDeck deck;
    deck.Parse(pivrel::base::SplitLines(pivrel::wml::DeckTextToUtf8(bytes)));
    std::size_t elements = 0;
    for (const auto& entry : deck.CardList)
        elements += entry.Card ? entry.Card->Elements.size() : 0;
    return elements;
}

void Count(benchmark::State& state, std::size_t textBytes, std::size_t compiledBytes)
{
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(textBytes));
    state.counters["text_bytes"] = double(textBytes);
    state.counters["wmlc_bytes"] = double(compiledBytes);
}

// The text deck parsed into records.
void BM_TextDeckParse(benchmark::State& state)
{
    const std::size_t size = std::size_t(state.range(0));
    const std::string& text = TextDeck(size);
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadText(text));
    Count(state, text.size(), CompiledDeck(size).size());
}

// The compiled deck decoded back into text, which is the step compiled decks add.
void BM_WmlcDecode(benchmark::State& state)
{
    const std::size_t size = std::size_t(state.range(0));
    const std::string& compiled = CompiledDeck(size);
    if (compiled.empty()) {
        state.SkipWithError("the encoder refused the deck");
        return;
    }
    for (auto _ : state) {
        const pivrel::engine::TWmlcResult result = pivrel::engine::DecodeWmlc(compiled);
        if (!result.Ok) {
            state.SkipWithError(result.Reason.c_str());
            break;
        }
        benchmark::DoNotOptimize(result.Text.data());
    }
    Count(state, TextDeck(size).size(), compiled.size());
}

// The whole load of a compiled deck: decoded, then parsed as its text is.
void BM_WmlcDeckLoad(benchmark::State& state)
{
    const std::size_t size = std::size_t(state.range(0));
    const std::string& compiled = CompiledDeck(size);
    for (auto _ : state) {
        const pivrel::engine::TWmlcResult result = pivrel::engine::DecodeWmlc(compiled);
        benchmark::DoNotOptimize(LoadText(result.Text));
    }
    Count(state, TextDeck(size).size(), compiled.size());
}

constexpr std::int64_t kMegabyte = 1000 * 1000;

BENCHMARK(BM_TextDeckParse)->Arg(kMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WmlcDecode)->Arg(kMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WmlcDeckLoad)->Arg(kMegabyte)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
