#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pivrel::bench {

// A well-formed deck of about targetBytes bytes (never less), the same for the same size: a
// template, then cards mixing styled text, links, anchors with post fields, inputs, selects,
// entities, variable references and tables, the way real decks mix them.
std::string GenerateDeck(std::size_t targetBytes);

// Hostile decks of about targetBytes bytes, each aimed at one way a string-searching parser can be
// made to work hard.
enum class TPathology {
    AnchorOpenings, // "<a " repeated inside a card
    ParagraphOpenings, // "<p" repeated
    LessThanSigns, // "<" repeated
    NumericEntities, // "&#" repeated inside a card
    VariableOpenings, // "$(" repeated inside a card
    UnclosedSelects, // 10,000 selects without their end, one "</select>" at the end
    UnendedCards, // cards that never end, one "</card>" at the end of the deck
};

std::string PathologicalDeck(TPathology kind, std::size_t targetBytes);
std::string_view PathologyName(TPathology kind);

// "1k", "10K", "1m", "10M" or a plain number of bytes; 0 when the text is none of these.
std::size_t ParseSize(std::string_view text);

} // namespace pivrel::bench
