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
        built = BuildCards(wml);
    Fire(OnParseComplete, *this);
    return built;
}

bool TWMLDeck::BuildCards(std::string_view wml)
{
    // The cards are cut out of the wml element one after another; what lies between them stays,
    // so the template is looked for again in every round, but its text is copied only when a cut
    // could have changed it.
    TCutText rest(wml);
    const TElementSlots templateSlots = AddElementSlots(rest, "<template", "</template>");
    const TElementSlots cardSlots = AddElementSlots(rest, "<card", "</card>");
    const std::size_t limit = SaturatingLimit(Limits.BytesPerInputByte, WMLCode.size(), Limits.Slack);
    const std::size_t recordLimit
        = SaturatingLimit(Limits.RecordBytesPerInputByte, WMLCode.size(), Limits.RecordSlack);
    std::size_t handedOver = 0;
    std::size_t recordBytes = 0;
    TTextRange templateRange;
    bool built = false;
    for (;;) {
        const TTextRange found = FindElement(rest, templateSlots, rest.Size());
        if (found.Found() && (found.Pos != templateRange.Pos || found.Count != templateRange.Count)) {
            Template = rest.Extract(found.Pos, found.Count);
            templateRange = found;
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
        if (textBytes > recordLimit - recordBytes)
            break;
        handedOver += cost;
        recordBytes += textBytes;
        std::unique_ptr<TWMLCard> parsed = BuildCard(std::move(cardText), recordLimit - recordBytes);
        recordBytes += parsed->RecordBytes();
        rest.Remove(card.Pos, card.Count);
        if (templateRange.Found() && card.Pos < templateRange.End())
            templateRange = {};
        std::string id = parsed->ID;
        const bool full = parsed->LimitReached();
        CardList.push_back(TWMLCardEntry { std::move(id), std::move(parsed) });
        built = true;
        if (full)
            break;
    }
    return built;
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

std::unique_ptr<TWMLCard> TWMLDeck::BuildCard(TWMLSource cardText, std::size_t recordBudget)
{
    auto card = std::make_unique<TWMLCard>();
    card->WMLCode = std::move(cardText);
    card->Template = Template;
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
