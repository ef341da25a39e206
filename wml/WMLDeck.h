#pragma once

#include "wml/WMLCard.h"
#include "wml/WMLCutText.h"
#include "wml/WMLObject.h"
#include "wml/WMLParser.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pivrel::wml {

struct TWMLCardEntry {
    std::string Key;
    // The card's records: null until the card is built (see TWMLDeck::BuildOnDemand).
    std::unique_ptr<TWMLCard> Card;
    // What the card is built from: its card element and the template in force where it stood.
    TWMLSource Text {};
    std::shared_ptr<const std::string> Template {};
};

class TWMLDeck;
using TWMLDeckEvent = std::function<void(TWMLDeck& sender)>;

// Limits on the work one deck may cause, so that no input exhausts time or memory.
struct TDeckParseLimits {
    // The card texts handed to the card parser (template included) may add up to this many times
    // the deck text plus Slack; cards past that are not built.
    // Every card carries the template, so a template that only ends after many cards would
    // otherwise hand each of them nearly the whole deck.
    std::size_t BytesPerInputByte = 4;
    std::size_t Slack = std::size_t(8) << 20;
    // The element records of all cards together, with the cards' copies of their own text and of
    // the template, may cost this many times the deck text plus RecordSlack (what they take in
    // memory, strings and list entries included); past that the rest of the card being parsed is
    // dropped and no further card is built. Beside them live only the document's bytes and the
    // deck's one normalised text, so a whole load stays within eight times the deck plus 100 MiB.
    std::size_t RecordBytesPerInputByte = 5;
    std::size_t RecordSlack = std::size_t(64) << 20;
};

class TWMLDeck : public TWMLObject
{
public:
    TWMLDeck() { Clear(); }

    TWMLClass Class() const override { return TWMLClass::Deck; }

    std::string Language;
    std::string Template;
    std::vector<TWMLCardEntry> CardList;
    std::int32_t CurrentCard = 0;
    TWMLParser Parser;

    TWMLDeckEvent OnParsing;
    TWMLDeckEvent OnParseComplete;
    // Fired when Parse is handed a text that is not a deck; the deck is then left without cards.
    TWMLDeckEvent OnParseError;

    // The main window's font, which every card starts from before its face becomes "Arial" and its
    // size 10 points.
    TFontDesc MainFont;
    // Used, not owned: handed to every card for its pictures.
    TCardImageLoader* ImageLoader = nullptr;
    // Handed to every card: the card timer's navigation request.
    std::function<void(const std::string& url)> OnCardTimer;
    // Handed to every card: the card timer's task, which wins over OnCardTimer when set.
    std::function<void(const TWMLTask& task)> OnCardTimerTask;
    TDeckParseLimits Limits;
    // When set, Parse only cuts the deck into its cards and Card builds each one when first asked
    // for, so that a window showing one card of a large deck holds the records of that card only.
    // When clear, Parse builds every card.
    bool BuildOnDemand = false;

    bool Clear();
    // True when the deck holds at least one card.
    bool Parse(const TStringList& lines);
    // The same, handing the lines to the parser without copying them.
    bool Parse(TStringList&& lines);
    // The same over a whole text, its lines ended by CR LF, CR or LF; no list of its lines is
    // made, and the text is let go as soon as it is read.
    bool ParseText(std::string text);

    // The index of the card that the address's fragment names (compared without regard to case),
    // or 0 when the address has no fragment or no card matches.
    std::int32_t CardIndexForURL(std::string_view url) const;

    // The card at index, built first if it is not yet; null past the last card. Building fetches
    // the card's pictures through ImageLoader. A card built when the record budget is spent keeps
    // what fitted, as Parse does.
    TWMLCard* Card(std::size_t index);
    // Lets the card's records go; Card builds it again. Their bytes go back to the record budget.
    void ReleaseCard(std::size_t index);

private:
    bool Build(bool accepted);
    bool CutCards(std::string_view wml);
    TWMLSource CardText(const TCutText& rest, TTextRange card) const;
    std::unique_ptr<TWMLCard> MakeCard(const TWMLCardEntry& entry, std::size_t recordBudget);
    std::size_t CardCopyBytes(const TWMLCardEntry& entry) const;

    std::size_t m_recordLimit = 0;
    std::size_t m_recordBytes = 0;
};

} // namespace pivrel::wml
