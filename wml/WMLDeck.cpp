#include "wml/WMLDeck.h"

#include "base/Ascii.h"
#include "wml/WMLCutText.h"

#include <utility>

namespace pivrel::wml {

namespace {

    void Fire(const TWMLDeckEvent& event, TWMLDeck& sender)
    {
        if (event)
            event(sender);
    }

    std::size_t SaturatingLimit(std::size_t perByte, std::size_t size, std::size_t slack)
    {
        if (perByte != 0 && size > (SIZE_MAX - slack) / perByte)
            return SIZE_MAX;
        return perByte * size + slack;
    }

} // namespace

bool TWMLDeck::Clear()
{
    CardList.clear();
    m_recordBytes = 0;
    Template.clear();
    WMLCode.clear();
    Language.clear();
    return true;
}

bool TWMLDeck::Parse(const TStringList& lines)
{
    return Parse(TStringList(lines));
}

bool TWMLDeck::Parse(TStringList&& lines)
{
    Fire(OnParsing, *this);
    Clear();
    return Build(Parser.Parse(std::move(lines)));
}

bool TWMLDeck::ParseText(std::string text)
{
    Fire(OnParsing, *this);
    Clear();
    const bool accepted = Parser.ParseText(text);
    // The cards are cut from the normalised text alone, so the text given goes before they are
    // built rather than staying beside them.
    std::string().swap(text);
    return Build(accepted);
}

bool TWMLDeck::Build(bool accepted)
{
    if (!accepted) {
        // A text that is not a deck leaves the deck empty rather than showing the previous one.
        Fire(OnParseError, *this);
        Fire(OnParseComplete, *this);
        return false;
    }
    // The parser hands its text over: the deck is the one holder of the whole text.
    WMLCode = std::move(Parser.WMLCode);
    Parser.WMLCode.clear();
    bool built = false;
    const std::string_view wml = GetElementView("wml", WMLCode);
    if (!wml.empty())
        built = CutCards(wml);
    Fire(OnParseComplete, *this);
    return built;
}

bool TWMLDeck::CutCards(std::string_view wml)
{
    // The cards are cut out of the wml element one after another; what lies between them stays,
    // so the template is looked for again in every round, but its text is copied only when a cut
    // could have changed it.
    TCutText rest(wml);
    const TElementSlots templateSlots = AddElementSlots(rest, "<template", "</template>");
    const TElementSlots cardSlots = AddElementSlots(rest, "<card", "</card>");
    const std::size_t limit = SaturatingLimit(Limits.BytesPerInputByte, WMLCode.size(), Limits.Slack);
    m_recordLimit = SaturatingLimit(Limits.RecordBytesPerInputByte, WMLCode.size(), Limits.RecordSlack);
    std::size_t handedOver = 0;
    TTextRange templateRange;
    auto sharedTemplate = std::make_shared<const std::string>();
    for (;;) {
        const TTextRange found = FindElement(rest, templateSlots, rest.Size());
        bool templateChanged = false;
        if (found.Found() && (found.Pos != templateRange.Pos || found.Count != templateRange.Count)) {
            Template = rest.Extract(found.Pos, found.Count);
            templateRange = found;
            templateChanged = true;
        }
        const TTextRange card = FindElement(rest, cardSlots, rest.Size());
        if (!card.Found())
            break;
        const std::size_t cost = Template.size() + card.Count;
        if (cost > limit - handedOver)
            break;
        TWMLSource cardText = CardText(rest, card);
        // The card's text and its copy of the template come out of the same budget as its
        // records: a long template repeated on every card weighs as much as records would.
        const std::size_t textBytes = cardText.HeapBytes() + StringHeapBytes(Template);
        if (textBytes > m_recordLimit - m_recordBytes)
            break;
        handedOver += cost;
        m_recordBytes += cardText.HeapBytes();
        if (templateChanged) {
            sharedTemplate = std::make_shared<const std::string>(Template);
            m_recordBytes += std::min(StringHeapBytes(Template), m_recordLimit - m_recordBytes);
        }
        rest.Remove(card.Pos, card.Count);
        if (templateRange.Found() && card.Pos < templateRange.End())
            templateRange = {};
        std::string id = GetAttribute("id", GetElementView("card", cardText), "");
        CardList.push_back(TWMLCardEntry { std::move(id), nullptr, std::move(cardText), sharedTemplate });
        if (!BuildOnDemand && Card(CardList.size() - 1)->LimitReached())
            break;
    }
    return !CardList.empty();
}

TWMLSource TWMLDeck::CardText(const TCutText& rest, TTextRange card) const
{
    // A card that lies in one piece in the deck's text shares it; one joined from the pieces
    // around an earlier cut gets a copy of its own.
    TWMLSource text;
    if (card.Pos >= rest.KeptSize())
        text.Share(WMLCode, rest.RestView(card.Pos, card.Count));
    else
        text = rest.Extract(card.Pos, card.Count);
    return text;
}

TWMLCard* TWMLDeck::Card(std::size_t index)
{
    if (index >= CardList.size())
        return nullptr;
    TWMLCardEntry& entry = CardList[index];
    if (!entry.Card) {
        // The card's copies are paid for before its records.
        m_recordBytes += std::min(CardCopyBytes(entry), m_recordLimit - m_recordBytes);
        entry.Card = MakeCard(entry, m_recordLimit - m_recordBytes);
        m_recordBytes += std::min(entry.Card->RecordBytes(), m_recordLimit - m_recordBytes);
    }
    return entry.Card.get();
}

void TWMLDeck::ReleaseCard(std::size_t index)
{
    if (index >= CardList.size() || !CardList[index].Card)
        return;
    TWMLCardEntry& entry = CardList[index];
    const std::size_t bytes = entry.Card->RecordBytes() + CardCopyBytes(entry);
    m_recordBytes -= std::min(bytes, m_recordBytes);
    entry.Card.reset();
}

std::size_t TWMLDeck::CardCopyBytes(const TWMLCardEntry& entry) const
{
    // The card's own copy of the template, and its share of the text it is built from.
    return (entry.Template ? StringHeapBytes(*entry.Template) : 0) + TWMLSource::SharedPartBytes();
}

std::unique_ptr<TWMLCard> TWMLDeck::MakeCard(const TWMLCardEntry& entry, std::size_t recordBudget)
{
    auto card = std::make_unique<TWMLCard>();
    card->WMLCode.Share(entry.Text, entry.Text.Text());
    if (entry.Template)
        card->Template = *entry.Template;
    card->TextFont = MainFont;
    card->TextFont.Name = "Arial";
    card->TextFont.Size = 10;
    card->Alignment = Alignment;
    card->ImageLoader = ImageLoader;
    card->OnTimerNavigate = OnCardTimer;
    card->OnTimerTask = OnCardTimerTask;
    card->Limits.BytesPerInputByte = 0;
    card->Limits.Slack = recordBudget;
    card->Parse(card->WMLCode);
    return card;
}

std::int32_t TWMLDeck::CardIndexForURL(std::string_view url) const
{
    const std::size_t hash = url.find('#');
    if (hash == std::string_view::npos)
        return 0;
    const std::string fragment = base::AsciiLower(url.substr(hash + 1));
    for (std::size_t i = 0; i < CardList.size(); ++i) {
        if (base::AsciiLower(CardList[i].Key) == fragment)
            return static_cast<std::int32_t>(i);
    }
    return 0;
}

} // namespace pivrel::wml
