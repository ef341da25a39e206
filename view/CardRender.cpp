#include "view/CardRender.h"

#include "base/Ascii.h"
#include "engine/Maker.h"
#include "engine/WMLBrowser.h"
#include "wml/WMLCard.h"
#include "wml/WMLDeck.h"

#include "view/RVStyle.h"
#include "view/RichView.h"

#include <QFileInfo>
#include <QPixmap>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace pivrel::view {

namespace {

    constexpr std::string_view kCaptionPrefix = "Pivrel 2.2 - ";

    struct TTextStyleRow {
        const char* Name;
        int Size;
        TFontStyles Style;
    };

    // The card sheet's text styles in number order; 12 to 14 are the link styles.
    constexpr TTextStyleRow kTextStyles[] = {
        { "Small", 8, 0 },
        { "Small Bold", 8, fsBold },
        { "Small Italic", 8, fsItalic },
        { "Small Bold Italic", 8, fsBold | fsItalic },
        { "Normal", 10, 0 },
        { "Normal Bold", 10, fsBold },
        { "Normal Italic", 10, fsItalic },
        { "Normal Bold Italic", 10, fsBold | fsItalic },
        { "Big", 12, 0 },
        { "Big Bold", 12, fsBold },
        { "Big Italic", 12, fsItalic },
        { "Big Bold Italic", 12, fsBold | fsItalic },
        { "Small Jump", 8, fsUnderline },
        { "Normal Jump", 10, fsUnderline },
        { "Big Jump", 12, fsUnderline },
        { "NewLine", 4, 0 },
    };

    struct TParaStyleRow {
        const char* Name;
        TRVAlignment Alignment;
    };

    constexpr TParaStyleRow kParaStyles[] = {
        { "Paragraph Style", rvaLeft },
        { "Centered", rvaCenter },
        { "Right", rvaRight },
        { "Justify", rvaJustify },
    };

    constexpr TParaStyleRow kNoWrapParaStyles[] = {
        { "No Wrap", rvaLeft },
        { "Centered No Wrap", rvaCenter },
        { "Right No Wrap", rvaRight },
    };

    constexpr const char* kSizeNames[] = { "Small", "Normal", "Big" };
    constexpr int kSizes[] = { 8, 10, 12 };

    // The extra styles: for each size, the sixteen combinations of bold, italic, underline and
    // fixed width.
    void AddExtraStyles(std::vector<TFontInfo>& textStyles)
    {
        for (int size = 0; size < 3; ++size) {
            for (unsigned bits = 0; bits < 16; ++bits) {
                TFontInfo info;
                info.StyleName = kSizeNames[size];
                info.StyleName += (bits & 1) ? " Bold" : "";
                info.StyleName += (bits & 2) ? " Italic" : "";
                info.StyleName += (bits & 4) ? " Underline" : "";
                info.StyleName += (bits & 8) ? " Fixed" : "";
                info.FontName = (bits & 8) ? std::string(wml::kFixedFace) : "Arial";
                info.Size = kSizes[size];
                // The low three bits are fsBold, fsItalic and fsUnderline.
                info.Style = bits & (fsBold | fsItalic | fsUnderline);
                info.Color = clBlack;
                info.BackColor = clNone;
                info.Jump = false;
                textStyles.push_back(info);
            }
        }
    }

    // 0 for 8 points, 1 for 10, 2 for 12; other sizes go to the nearest of them (9 and 11 to 10).
    int SizeClass(int size)
    {
        if (size < 9)
            return 0;
        if (size <= 11)
            return 1;
        return 2;
    }

    int ParaStyleFor(wml::TWMLAlignment alignment)
    {
        switch (alignment) {
        case wml::TWMLAlignment::Right:
            return kParaRight;
        case wml::TWMLAlignment::Center:
            return kParaCentered;
        case wml::TWMLAlignment::Left:
            break;
        }
        return kParaLeft;
    }

    // A text run as shown. Preformatted text keeps every blank: they become non-breaking spaces,
    // which expanding does not collapse and at which no line breaks.
    std::string ExpandRun(const std::string& text, const base::TFontDesc& font, const TTextExpander& expand)
    {
        if (font.Name != wml::kFixedFace || text.find(' ') == std::string::npos)
            return expand(text);
        std::string kept;
        kept.reserve(text.size() * 2);
        for (char c : text) {
            if (c == ' ')
                kept += "\xC2\xA0";
            else
                kept += c;
        }
        return expand(kept);
    }

    // The decoded picture of the picture link at index i, or null when the link shows as text.
    const wml::TWMLImage* ShownPicture(const wml::TWMLElementList& elements, std::size_t i)
    {
        const auto& link = elements[i].Object->As<wml::TWMLLink>();
        if (!link.Picture || i + 1 >= elements.size() || !elements[i + 1].Object)
            return nullptr;
        const auto* picture = elements[i + 1].Object->AsIf<wml::TWMLImage>();
        return picture != nullptr && picture->SourceWidth > 0 ? picture : nullptr;
    }

    // A picture link whose anchor has text of its own shows it beside the picture, as a second
    // hot link to the same address numbered right after the picture.
    bool ShowsTextBeside(const wml::TWMLLink& link, const wml::TWMLImage& picture)
    {
        return !link.Text.empty() && link.Text != picture.Alt;
    }

    wml::TWMLCard* ShownCard(const wml::TWMLDeck& deck)
    {
        if (deck.CurrentCard < 0 || std::size_t(deck.CurrentCard) >= deck.CardList.size())
            return nullptr;
        return deck.CardList[std::size_t(deck.CurrentCard)].Card.get();
    }

} // namespace

// What the widgets' resolvers share with the renderer: a widget writes only while the count of
// renders and deck replacements is still the one it was built under.
struct TCardRenderer::TState {
    std::uint64_t Generation = 0;
    engine::TWMLBrowser* Browser = nullptr;
};

// The state of one render: the paragraph style in force, whether lines wrap, the table being
// filled and the next jump number.
class TCardRenderer::TRun
{
public:
    explicit TRun(TRichView& view)
        : m_view(view)
    { }

    void LineBreak() { m_view.AppendParagraph("", kStyleSmall, ParaStyle()); }

    void AlignmentChange(int paraStyle)
    {
        if (paraStyle == m_alignState) {
            LineBreak();
            return;
        }
        m_alignState = paraStyle;
        m_view.AppendParagraph("", kStyleNewLine, ParaStyle());
    }

    // A line break record with a mode: the wrap mode of the paragraphs from here on, or a mark of
    // a table's structure.
    void ModeChange(const std::string& mode)
    {
        if (mode == "wrap" || mode == "nowrap") {
            m_noWrap = mode == "nowrap";
            // A paragraph that has only just started takes the mode; otherwise one starts.
            const TRVItemList& items = m_view.Items();
            if (!items.empty() && !items.back().Info.SameAsPrev && items.back().Text.empty()
                && items.back().Info.StyleNo >= 0)
                m_view.SetLastParagraphStyle(ParaStyle());
            else
                m_view.AppendParagraph("", kStyleNewLine, ParaStyle());
        } else if (mode.rfind("table", 0) == 0) {
            m_columns = std::atoi(mode.c_str() + 5);
            m_row = 0;
            m_column = 0;
            m_view.SetTableCell(++m_table, m_row, m_column);
            m_rowSeen = false;
        } else if (mode == "row" && m_table != 0) {
            m_row += m_rowSeen ? 1 : 0;
            m_rowSeen = true;
            m_column = -1;
        } else if (mode == "cell" && m_table != 0) {
            // Cells past the table's columns join its last column.
            if (m_columns <= 0 || m_column + 1 < m_columns)
                ++m_column;
            m_view.SetTableCell(m_table, m_row, std::max(m_column, 0));
        } else if (mode == "/table") {
            EndTable();
        } else {
            LineBreak();
        }
    }

    void EndTable()
    {
        if (m_table != 0)
            m_view.SetTableCell(0, 0, 0);
    }

    std::int32_t NextJump() { return m_jumpCounter++; }

private:
    int ParaStyle() const { return m_noWrap ? m_alignState + kParaNoWrapOffset : m_alignState; }

    TRichView& m_view;
    int m_alignState = kParaLeft;
    bool m_noWrap = false;
    int m_table = 0;
    int m_columns = 0;
    int m_row = 0;
    int m_column = 0;
    bool m_rowSeen = false;
    std::int32_t m_jumpCounter = kFirstCardJumpNo;
};

TCardRenderer::TCardRenderer()
    : m_state(std::make_shared<TState>())
{ }

TCardRenderer::~TCardRenderer() = default;

void TCardRenderer::SetupStyles(TRVStyle& style)
{
    std::vector<TFontInfo>& textStyles = style.TextStyles();
    textStyles.clear();
    for (const TTextStyleRow& row : kTextStyles) {
        TFontInfo info;
        info.StyleName = row.Name;
        info.FontName = "Arial";
        info.Size = row.Size;
        info.Style = row.Style;
        info.Color = (row.Style & fsUnderline) != 0 ? clBlue : clBlack;
        info.BackColor = clNone;
        info.VShift = 0;
        info.Jump = (row.Style & fsUnderline) != 0;
        info.JumpCursor = crJump;
        textStyles.push_back(info);
    }
    std::vector<TParaInfo>& paraStyles = style.ParaStyles();
    paraStyles.clear();
    AddExtraStyles(textStyles);
    for (const TParaStyleRow& row : kParaStyles)
        paraStyles.push_back({ 0, 0, 0, row.Alignment, row.Name });
    for (const TParaStyleRow& row : kNoWrapParaStyles)
        paraStyles.push_back({ 0, 0, 0, row.Alignment, row.Name, true });
    style.SetSpacesInTab(8);
    style.SetJumpCursor(crJump);
    style.SetColor(clWindow);
    style.SetSelColor(clHighlight);
    style.SetSelTextColor(clHighlightText);
}

void TCardRenderer::SetupView(TRichView& view)
{
    view.SetLeftMargin(5);
    view.SetRightMargin(5);
    view.SetTopMargin(5);
    view.SetBottomMargin(5);
    view.SetMaxTextWidth(0);
    view.SetMinTextWidth(0);
    view.SetVScrollVisible(true);
    view.SetTracking(true);
    view.SetFirstJumpNo(0);
    view.SetOptions(rvoAllowSelection | rvoScrollToEnd | rvoAutoCopyText | rvoAutoCopyRVF | rvoAutoCopyImage
        | rvoFormatInvalidate | rvoDblClickSelectsWord | rvoRClickDeselects);
    view.SetBackgroundStyle(bsNoBitmap);
    view.SetDelimiters(" .;,:(){}\"/\\");
}

int TCardRenderer::TextStyleFor(const base::TFontDesc& font)
{
    const bool fixed = font.Name == wml::kFixedFace;
    if (font.Underline || fixed)
        return kFirstExtraStyle + 16 * SizeClass(font.Size) + (font.Bold ? 1 : 0) + (font.Italic ? 2 : 0)
            + (font.Underline ? 4 : 0) + (fixed ? 8 : 0);
    const int base = 4 * SizeClass(font.Size);
    if (font.Bold && !font.Italic && !font.Underline)
        return base + 1;
    if (font.Italic && !font.Bold && !font.Underline)
        return base + 2;
    if (font.Bold && font.Italic)
        return base + 3;
    return base;
}

int TCardRenderer::LinkStyleFor(const base::TFontDesc& font)
{
    return kStyleSmallJump + SizeClass(font.Size);
}

void TCardRenderer::Attach(engine::TWMLBrowser& browser, TCardHost& host)
{
    m_state->Browser = &browser;
    m_host = &host;
}

void TCardRenderer::Detach()
{
    ++m_state->Generation;
    m_state->Browser = nullptr;
    m_host = nullptr;
}

void TCardRenderer::DeckReplacing()
{
    ++m_state->Generation;
}

void TCardRenderer::RenderCard(engine::TWMLBrowser& browser, TRichView& view, TCardHost& host)
{
    Attach(browser, host);
    // The widgets of the previous render stay in the view when this deck has no card, but the
    // records they wrote into may be gone: none of them writes again.
    ++m_state->Generation;
    const std::string url = browser.CurrentURL();
    host.EnableStop(false);
    host.SetStatusText(0, "Drawing");
    host.AddRecentURL(url);
    host.EnableBack(browser.CanGoBack());
    host.EnableForward(browser.CanGoForward());
    wml::TWMLDeck& deck = browser.WMLDeck;
    if (!deck.CardList.empty()) {
        view.Clear();
        view.SetFirstJumpNo(kFirstCardJumpNo);
        deck.CurrentCard = deck.CardIndexForURL(url);
        if (wml::TWMLCard* card = browser.Card(std::size_t(deck.CurrentCard))) {
            host.SetCaption(std::string(kCaptionPrefix) + browser.ExpandText(card->Title));
            m_shownCardTitle = card->Title;
            view.Clear();
            RenderElements(browser, view, host, *card);
        }
    }
    ApplyBackground(view, host);
    host.SetPageSource(browser.SharedBodyBytes(), browser.BodyCharset);
    host.SetLocationText(url);
    host.SetStatusText(1, std::to_string(deck.CardList.size()) + " Cards");
    view.Format();
    host.SetStatusText(0, "Done");
    ShowUpgradeAnswer(browser, view, host);
}

TVariableResolver TCardRenderer::MakeResolver(
    std::int32_t cardIndex, std::size_t elementIndex, wml::TWMLObject& element) const
{
    return [state = std::weak_ptr<TState>(m_state), generation = m_state->Generation, cardIndex, elementIndex,
               block = &element.VarObject]() -> wml::TWMLVariable* {
        const std::shared_ptr<TState> alive = state.lock();
        if (!alive || alive->Generation != generation || alive->Browser == nullptr)
            return nullptr;
        const engine::TWMLBrowser& browser = *alive->Browser;
        if (browser.Parsing())
            return nullptr;
        const auto& cards = browser.WMLDeck.CardList;
        if (cardIndex < 0 || std::size_t(cardIndex) >= cards.size() || !cards[std::size_t(cardIndex)].Card)
            return nullptr;
        const wml::TWMLElementList& elements = cards[std::size_t(cardIndex)].Card->Elements;
        if (elementIndex >= elements.size() || !elements[elementIndex].Object)
            return nullptr;
        return &elements[elementIndex].Object->VarObject == block ? &block->Edit() : nullptr;
    };
}

std::function<void(const wml::TWMLVariable&)> TCardRenderer::MakeVarChanged() const
{
    return [state = std::weak_ptr<TState>(m_state), generation = m_state->Generation](
               const wml::TWMLVariable& variable) {
        const std::shared_ptr<TState> alive = state.lock();
        if (!alive || alive->Generation != generation || alive->Browser == nullptr)
            return;
        // Copied: storing the value writes into the record these strings live in.
        const std::string name = variable.VarName;
        const std::string value = variable.VarValue;
        const std::string indexName = variable.iVarName;
        const std::string index = variable.iVarValue;
        if (engine::IsNamedVariable(name))
            alive->Browser->SetVariable(name, value);
        if (engine::IsNamedVariable(indexName))
            alive->Browser->SetVariable(indexName, index);
    };
}

void TCardRenderer::RenderElements(
    engine::TWMLBrowser& browser, TRichView& view, TCardHost& host, wml::TWMLCard& card)
{
    const TTextExpander expand = [&browser](std::string_view text) { return browser.ExpandText(text); };
    const std::int32_t cardIndex = browser.WMLDeck.CurrentCard;
    wml::TWMLElementList& elements = card.Elements;
    TRun run(view);
    bool timerSet = false;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        wml::TWMLObject* object = elements[i].Object.get();
        if (object == nullptr)
            continue;
        switch (object->Class()) {
        case wml::TWMLClass::AlignmentChange: {
            const wml::TWMLObject* next = i + 1 < elements.size() ? elements[i + 1].Object.get() : nullptr;
            if (next != nullptr && next->Class() == wml::TWMLClass::AlignmentChange
                && next->Alignment != object->Alignment)
                break;
            run.AlignmentChange(ParaStyleFor(object->Alignment));
            break;
        }
        case wml::TWMLClass::Timer:
            card.Timer.Interval = object->As<wml::TWMLTimer>().Time;
            card.Timer.Enabled = true;
            timerSet = true;
            break;
        case wml::TWMLClass::Text:
            view.AppendText(ExpandRun(object->As<wml::TWMLText>().Text, object->TextFont, expand),
                TextStyleFor(object->TextFont));
            break;
        case wml::TWMLClass::Link: {
            auto* link = &object->As<wml::TWMLLink>();
            link->JumpID = run.NextJump();
            // The picture is the link; without a decoded picture its text is.
            const wml::TWMLImage* picture = ShownPicture(elements, i);
            if (picture == nullptr) {
                view.AppendText(expand(link->Text), LinkStyleFor(link->TextFont));
            } else {
                auto* image = new TPVImage(view.viewport());
                image->Build(*picture, expand, host.CardDisplaySettings().Transparent);
                view.AppendHotControl(image, -1);
                if (ShowsTextBeside(*link, *picture)) {
                    run.NextJump();
                    view.AppendText(" ", TextStyleFor(link->TextFont));
                    view.AppendText(expand(link->Text), LinkStyleFor(link->TextFont));
                }
            }
            if (link->Picture && i + 1 < elements.size() && elements[i + 1].Object
                && elements[i + 1].Object->Class() == wml::TWMLClass::Image)
                ++i;
            break;
        }
        case wml::TWMLClass::BR: {
            const std::string& mode = object->As<wml::TWMLBR>().Mode;
            if (mode.empty())
                run.LineBreak();
            else
                run.ModeChange(mode);
            break;
        }
        case wml::TWMLClass::PivrelVersion:
            m_announcedVersion = object->As<wml::TWMLPivrelVersion>().NewestVersion;
            break;
        case wml::TWMLClass::Input: {
            auto* input = new TPVInput(view.viewport());
            input->Build(object->As<wml::TWMLInput>(), expand);
            input->SetVarResolver(MakeResolver(cardIndex, i, *object));
            input->OnVarChanged = MakeVarChanged();
            view.AppendControl("", input, true, -1);
            break;
        }
        case wml::TWMLClass::Select: {
            auto* select = &object->As<wml::TWMLSelect>();
            run.LineBreak();
            if (select->Multiple) {
                auto* list = new TPVSelect(view.viewport());
                list->Build(*select, expand);
                list->SetVarResolver(MakeResolver(cardIndex, i, *object));
                list->OnVarChanged = MakeVarChanged();
                view.AppendControl("", list, true, -1);
            } else {
                auto* list = new TPVSelectSingle(view.viewport());
                list->Build(*select, expand);
                list->SetVarResolver(MakeResolver(cardIndex, i, *object));
                list->OnVarChanged = MakeVarChanged();
                list->OnPick = [&host](const std::string& pick) { host.SetPendingPick(pick); };
                view.AppendControl("", list, true, -1);
            }
            break;
        }
        case wml::TWMLClass::Image: {
            auto* image = new TPVImage(view.viewport());
            image->Build(object->As<wml::TWMLImage>(), expand, host.CardDisplaySettings().Transparent);
            view.AppendControl("", image, true, -1);
            break;
        }
        default:
            break;
        }
    }
    run.EndTable();
    view.AppendParagraph("", kStyleSmall, kParaLeft);
    const QPixmap glyph = host.PrevButtonGlyph();
    for (std::size_t i = 0; i < elements.size(); ++i) {
        wml::TWMLObject* object = elements[i].Object.get();
        if (object == nullptr || object->Class() != wml::TWMLClass::Btn)
            continue;
        auto* button = new TPVBtn(view.viewport());
        button->Build(object->As<wml::TWMLBtn>(), expand, glyph);
        button->SetVarResolver(MakeResolver(cardIndex, i, *object));
        button->OnBtnClick
            = [&host](TPVBtn& sender, const std::string& link) { host.CardButtonClick(sender, link); };
        view.AppendControl("", button, false, -1);
    }
    if (timerSet)
        host.StartCardTimer(card);
}

void TCardRenderer::ApplyBackground(TRichView& view, TCardHost& host) const
{
    const TCardDisplaySettings settings = host.CardDisplaySettings();
    if (!settings.UseBackImage) {
        view.SetBackgroundStyle(bsNoBitmap);
        return;
    }
    const QString file = QString::fromStdString(settings.BackImageFile);
    if (!QFileInfo::exists(file)) {
        view.SetBackgroundStyle(bsNoBitmap);
        view.SetBackgroundBitmap(QPixmap());
        return;
    }
    QPixmap picture;
    if (picture.load(file))
        view.SetBackgroundBitmap(picture);
    switch (settings.BackImageMode) {
    case 0:
        view.SetBackgroundStyle(bsStretched);
        break;
    case 1:
        view.SetBackgroundStyle(bsTiled);
        break;
    case 2:
        view.SetBackgroundStyle(bsTiledAndScrolled);
        break;
    default:
        break;
    }
}

void TCardRenderer::ShowUpgradeAnswer(engine::TWMLBrowser& browser, TRichView& view, TCardHost& host) const
{
    const std::string upgradePage
        = "http://" + std::string(engine::kMakerWebServer) + std::string(engine::kUpgradePath);
    // An announcement that cannot be read says nothing about this version either way.
    if (!engine::IsReadableVersion(m_announcedVersion) || browser.CurrentURL() != upgradePage)
        return;
    // Copied: the question the window may ask turns the event loop.
    const std::string announced = m_announcedVersion;
    const bool newer = host.CompareAnnouncedVersion(announced);
    view.AppendParagraph(newer ? "You should download a newer version of Pivrel"
                               : "You are using the newest version of Pivrel.",
        kStyleNormalBold, kParaCentered);
    view.Format();
}

void TCardRenderer::RichViewJump(int jumpNo)
{
    if (m_state->Browser == nullptr)
        return;
    // Copied before the call: the navigation replaces the deck that holds the link.
    const std::optional<TFoundLink> found = FindLinkByJumpID(jumpNo);
    if (found)
        m_state->Browser->RunTask(found->Task());
}

void TCardRenderer::RichViewMouseMove(int jumpNo)
{
    if (m_host == nullptr)
        return;
    const std::optional<TFoundLink> found = FindLinkByJumpID(jumpNo);
    m_host->SetStatusText(2, found ? found->Link : std::string());
}

std::optional<TFoundLink> TCardRenderer::FindLinkByJumpID(int jumpNo) const
{
    if (m_state->Browser == nullptr)
        return std::nullopt;
    return FindLinkByJumpID(m_state->Browser->WMLDeck, jumpNo);
}

std::optional<TFoundLink> TCardRenderer::FindLinkByJumpID(const wml::TWMLDeck& deck, int jumpNo)
{
    const wml::TWMLCard* card = ShownCard(deck);
    if (card == nullptr)
        return std::nullopt;
    const wml::TWMLElementList& elements = card->Elements;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (!elements[i].Object || elements[i].Object->Class() != wml::TWMLClass::Link)
            continue;
        const auto& link = elements[i].Object->As<wml::TWMLLink>();
        const wml::TWMLImage* picture = ShownPicture(elements, i);
        if (link.JumpID == jumpNo
            || (picture != nullptr && ShowsTextBeside(link, *picture) && link.JumpID + 1 == jumpNo)) {
            return TFoundLink { link.Link, link.Post, wml::LinkPostFields(elements, i), link.Refresh,
                link.VarObject->SetVarNames, link.VarObject->SetVarValues };
        }
    }
    return std::nullopt;
}

wml::TWMLTask TFoundLink::Task() const
{
    wml::TWMLTask task;
    task.Kind = Refresh   ? wml::TWMLTaskKind::Refresh
        : Link == "@prev" ? wml::TWMLTaskKind::Prev
                          : wml::TWMLTaskKind::Go;
    task.Href = Link;
    task.Post = Post;
    task.PostFields = PostFields;
    task.SetVarNames = SetVarNames;
    task.SetVarValues = SetVarValues;
    return task;
}

} // namespace pivrel::view
