// Deck text in, element records out: the deck parser, the card parser and the text operations
// must finish on any bytes and leave records that can be read field by field.
#include "base/StringList.h"
#include "wml/WMLDeck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::size_t Touch(const pivrel::wml::TWMLObject& record)
{
    std::size_t sum = record.WMLCode.size() + record.GetVarName().size() + record.GetVarValue().size()
        + record.GetIVarName().size() + record.GetIVarValue().size() + record.VarObject->NameList.size()
        + record.VarObject->SetVarNames.size() + static_cast<std::size_t>(record.TextFont.Size);
    sum += std::string_view(record.ClassName()).size();
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    pivrel::wml::TWMLDeck deck;
    deck.Parse(pivrel::base::SplitLines(text));
    std::size_t sum = 0;
    std::size_t recordBytes = 0;
    for (const pivrel::wml::TWMLCardEntry& entry : deck.CardList) {
        recordBytes += entry.Card->RecordBytes();
        sum += entry.Key.size() + Touch(*entry.Card) + entry.Card->Title.size();
        for (const pivrel::wml::TWMLElement& element : entry.Card->Elements)
            sum += element.Key.size() + Touch(*element.Object);
        for (const pivrel::wml::TCardVariable& variable : entry.Card->Variables)
            sum += variable.Key.size() + variable.Variable->VarName.size();
    }
    // The records of all cards together stay within the deck's budget.
    const pivrel::wml::TDeckParseLimits& limits = deck.Limits;
    if (recordBytes > limits.RecordBytesPerInputByte * deck.WMLCode.size() + limits.RecordSlack)
        __builtin_trap();
    // The whole text read in place gives the deck its lines give.
    pivrel::wml::TWMLDeck fromText;
    fromText.ParseText(std::string(text));
    if (!(fromText.WMLCode == deck.WMLCode) || fromText.CardList.size() != deck.CardList.size())
        __builtin_trap();
    // Built one at a time when asked, and let go, each card holds what it holds when the deck
    // builds them all, unless the budget cut either short.
    pivrel::wml::TWMLDeck onDemand;
    onDemand.BuildOnDemand = true;
    onDemand.ParseText(std::string(text));
    for (std::size_t i = 0; i < deck.CardList.size(); ++i) {
        const pivrel::wml::TWMLCard* card = onDemand.Card(i);
        const pivrel::wml::TWMLCard& built = *deck.CardList[i].Card;
        if (card == nullptr || card->ID != built.ID)
            __builtin_trap();
        if (!card->LimitReached() && !built.LimitReached() && card->Elements.size() != built.Elements.size())
            __builtin_trap();
        onDemand.ReleaseCard(i);
    }
    sum += static_cast<std::size_t>(deck.CardIndexForURL("x#a"));
    return sum == static_cast<std::size_t>(-1) ? 1 : 0;
}
