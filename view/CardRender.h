#pragma once

#include "base/FontDesc.h"
#include "wml/WMLObject.h"

#include "view/CardHost.h"
#include "view/PVObjects.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace pivrel::engine {
class TWMLBrowser;
}

namespace pivrel::wml {
class TWMLCard;
class TWMLDeck;
class TWMLObject;
} // namespace pivrel::wml

namespace pivrel::view {

class TRichView;
class TRVStyle;

// The jump number of a card's first link.
inline constexpr int kFirstCardJumpNo = 0x1000;

// The text styles of the card sheet by number.
inline constexpr int kStyleSmall = 0;
inline constexpr int kStyleNormal = 4;
inline constexpr int kStyleNormalBold = 5;
inline constexpr int kStyleBig = 8;
inline constexpr int kStyleSmallJump = 12;
inline constexpr int kStyleNormalJump = 13;
inline constexpr int kStyleBigJump = 14;
inline constexpr int kStyleNewLine = 15;

// The styles of underlined and of fixed-width text follow the sixteen above: 16 per size (8, 10,
// 12 points), numbered by the style bits bold 1, italic 2, underline 4, fixed width 8.
inline constexpr int kFirstExtraStyle = 16;

// Paragraph styles of the card sheet; the last three are those of paragraphs whose lines are not
// broken (left, centred, right), which the view scrolls sideways.
inline constexpr int kParaLeft = 0;
inline constexpr int kParaCentered = 1;
inline constexpr int kParaRight = 2;
inline constexpr int kParaJustify = 3;
inline constexpr int kParaNoWrapOffset = 4;

// The link that a jump number leads to.
struct TFoundLink {
    std::string Link;
    bool Post = false;
    // The link's own post fields, its refresh flag and its setvars.
    wml::TWMLPostFields PostFields;
    bool Refresh = false;
    base::TStringList SetVarNames;
    base::TStringList SetVarValues;

    // The task that following the link runs.
    wml::TWMLTask Task() const;
};

// Turns the current card of the loaded deck into the content of the window's document view, and
// maps the view's jump numbers back to the card's links.
class TCardRenderer
{
public:
    TCardRenderer();
    ~TCardRenderer();
    TCardRenderer(const TCardRenderer&) = delete;
    TCardRenderer& operator=(const TCardRenderer&) = delete;

    // The 16 text styles, 4 paragraph styles and sheet-wide values cards are drawn with.
    static void SetupStyles(TRVStyle& style);
    // Margins, options and word delimiters of the card view.
    static void SetupView(TRichView& view);

    // The text style of a text run and of a link in a font. Sizes other than 8, 10 and 12 points
    // take the nearest of the three, so that no card text goes missing. Underlined and fixed-width
    // text take the styles after the sixteen.
    static int TextStyleFor(const base::TFontDesc& font);
    static int LinkStyleFor(const base::TFontDesc& font);

    // Uses the browser and the window from now on; RenderCard attaches too. Both must outlive
    // the renderer or be detached first.
    void Attach(engine::TWMLBrowser& browser, TCardHost& host);
    void Detach();

    // The handler of the engine's OnParseComplete: rebuilds the view from the current card and
    // updates the window around it.
    void RenderCard(engine::TWMLBrowser& browser, TRichView& view, TCardHost& host);

    // The handler of the engine's OnParsing: the deck is about to be replaced, so the widgets
    // of the card on show stop writing into it.
    void DeckReplacing();

    // The view's OnJump and OnRVMouseMove.
    void RichViewJump(int jumpNo);
    void RichViewMouseMove(int jumpNo);

    std::optional<TFoundLink> FindLinkByJumpID(int jumpNo) const;
    static std::optional<TFoundLink> FindLinkByJumpID(const wml::TWMLDeck& deck, int jumpNo);

    // The raw title of the card on show; the default name of a bookmark.
    const std::string& ShownCardTitle() const { return m_shownCardTitle; }

    // The version the last shown version element announced; empty until one was seen.
    const std::string& AnnouncedVersion() const { return m_announcedVersion; }

private:
    struct TState;
    class TRun;

    TVariableResolver MakeResolver(
        std::int32_t cardIndex, std::size_t elementIndex, wml::TWMLObject& element) const;
    std::function<void(const wml::TWMLVariable&)> MakeVarChanged() const;
    void RenderElements(engine::TWMLBrowser& browser, TRichView& view, TCardHost& host, wml::TWMLCard& card);
    void ApplyBackground(TRichView& view, TCardHost& host) const;
    void ShowUpgradeAnswer(engine::TWMLBrowser& browser, TRichView& view, TCardHost& host) const;

    std::shared_ptr<TState> m_state;
    TCardHost* m_host = nullptr;
    std::string m_shownCardTitle;
    std::string m_announcedVersion;
};

} // namespace pivrel::view
