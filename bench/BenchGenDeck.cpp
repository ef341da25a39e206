// Writes a generated deck to a file, so that whole-process timings (pivrel-cli, xmllint) read the
// same bytes that the in-process benchmark parses.
//   bench_gen_deck SIZE OUT            a regular deck of about SIZE bytes (1k, 10k, 100k, 1m, 10m)
//   bench_gen_deck SIZE OUT PATHOLOGY  one of the hostile decks, by name
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "bench/DeckGenerator.h"

namespace {

constexpr pivrel::bench::TPathology kPathologies[] = {
    pivrel::bench::TPathology::AnchorOpenings,
    pivrel::bench::TPathology::ParagraphOpenings,
    pivrel::bench::TPathology::LessThanSigns,
    pivrel::bench::TPathology::NumericEntities,
    pivrel::bench::TPathology::VariableOpenings,
    pivrel::bench::TPathology::UnclosedSelects,
    pivrel::bench::TPathology::UnendedCards,
};

int Usage()
{
    std::cerr << "usage: bench_gen_deck SIZE OUT [PATHOLOGY]\n  SIZE: bytes, or with k or m (1k, 10k, 1m)\n"
                 "  PATHOLOGY:";
    for (auto kind : kPathologies)
        std::cerr << ' ' << pivrel::bench::PathologyName(kind);
    std::cerr << '\n';
    return 64;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4)
        return Usage();
    const std::size_t size = pivrel::bench::ParseSize(argv[1]);
    if (size == 0)
        return Usage();
    std::string deck;
    if (argc == 4) {
        for (auto kind : kPathologies) {
            if (pivrel::bench::PathologyName(kind) == argv[3])
                deck = pivrel::bench::PathologicalDeck(kind, size);
        }
        if (deck.empty())
            return Usage();
    } else {
        deck = pivrel::bench::GenerateDeck(size);
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(deck.data(), std::streamsize(deck.size()));
    out.close();
    if (!out) {
        std::perror(argv[2]);
        return 2;
    }
    return 0;
}
