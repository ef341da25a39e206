// Deck parsing against libxml2's tree on the same bytes, and the hostile decks that a
// string-searching parser must still get through quickly.
#include "engine/WMLBrowser.h"
#include "wml/Charset.h"
#include "wml/WMLDeck.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <map>
#include <string>

#include "bench/DeckGenerator.h"

namespace {

using pivrel::bench::TPathology;

constexpr std::size_t kMegabyte = 1000 * 1000;

// Generating a 10 MB deck costs more than parsing it; each size is built once per run.
const std::string& Deck(std::size_t size)
{
    static std::map<std::size_t, std::string> decks;
    auto it = decks.find(size);
    if (it == decks.end())
        it = decks.emplace(size, pivrel::bench::GenerateDeck(size)).first;
    return it->second;
}

const std::string& Pathological(TPathology kind)
{
    static std::map<TPathology, std::string> decks;
    auto it = decks.find(kind);
    if (it == decks.end())
        it = decks.emplace(kind, pivrel::bench::PathologicalDeck(kind, kMegabyte)).first;
    return it->second;
}

// The text in, element records out, the deck freed: what loading a deck costs the browser.
std::size_t ParseDeck(const std::string& bytes)
{
    pivrel::wml::TWMLDeck deck;
    deck.ParseText(bytes);
    std::size_t elements = 0;
    for (const auto& entry : deck.CardList)
        elements += entry.Card ? entry.Card->Elements.size() : 0;
    return elements;
}

void RunDeckParse(benchmark::State& state, const std::string& bytes)
{
    std::size_t elements = 0;
    for (auto _ : state) {
        elements = ParseDeck(bytes);
        benchmark::DoNotOptimize(elements);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
    state.counters["elements"] = double(elements);
    state.counters["deck_bytes"] = double(bytes.size());
}

void BM_DeckParse(benchmark::State& state)
{
    RunDeckParse(state, Deck(std::size_t(state.range(0))));
}

void BM_LibXml2Tree(benchmark::State& state)
{
    const std::string& bytes = Deck(std::size_t(state.range(0)));
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(bytes.data(), int(bytes.size()), "deck.wml", nullptr,
            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        if (!doc) {
            state.SkipWithError("libxml2 rejected the deck");
            break;
        }
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void BM_DeckTextToUtf8(benchmark::State& state)
{
    const std::string& bytes = Deck(std::size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(pivrel::wml::DeckTextToUtf8(bytes));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void BM_PathologicalDeck(benchmark::State& state)
{
    const auto kind = TPathology(state.range(0));
    state.SetLabel(std::string(pivrel::bench::PathologyName(kind)));
    RunDeckParse(state, Pathological(kind));
}

// The same hostile runs handed to the text expansion that shows every card text.
void BM_PathologicalExpandText(benchmark::State& state)
{
    const auto kind = TPathology(state.range(0));
    state.SetLabel(std::string(pivrel::bench::PathologyName(kind)));
    std::string body;
    while (body.size() < kMegabyte)
        body += kind == TPathology::NumericEntities ? "&#" : "$(";
    pivrel::engine::TWMLBrowser browser;
    for (auto _ : state)
        benchmark::DoNotOptimize(browser.ExpandText(body));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(body.size()));
}

constexpr std::int64_t kSizes[] = { 1000, 10 * 1000, 100 * 1000, 1000 * 1000, 10 * 1000 * 1000 };

void Sizes(benchmark::internal::Benchmark* b)
{
    for (std::int64_t size : kSizes)
        b->Arg(size);
}

} // namespace

BENCHMARK(BM_DeckParse)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibXml2Tree)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeckTextToUtf8)->Arg(1000 * 1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PathologicalDeck)
    ->DenseRange(int(TPathology::AnchorOpenings), int(TPathology::UnendedCards))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PathologicalExpandText)
    ->Arg(int(TPathology::NumericEntities))
    ->Arg(int(TPathology::VariableOpenings))
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
