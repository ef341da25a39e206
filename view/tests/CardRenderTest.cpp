#include "view/CardRender.h"

#include "engine/Maker.h"
#include "engine/WMLBrowser.h"
#include "wml/WMLCard.h"

#include "view/RVStyle.h"
#include "view/RichView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPointer>
#include <QTemporaryDir>

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pivrel::view {
namespace {

    // Records what card rendering and the widgets ask of the window.
    class TFakeHost : public TCardHost
    {
    public:
        std::vector<std::pair<int, std::string>> Statuses;
        std::string Caption;
        std::string Location;
        std::string PageSource;
        std::shared_ptr<const std::string> PageSourceHeld;
        std::vector<std::string> Recent;
        bool StopEnabled = true;
        bool BackEnabled = false;
        bool ForwardEnabled = false;
        std::vector<std::pair<std::string, bool>> Pending;
        std::vector<std::string> Picks;
        std::vector<std::pair<TPVBtn*, std::string>> ButtonClicks;
        std::vector<std::string> Compared;
        bool NewerAnswer = false;
        std::vector<wml::TWMLCard*> Timers;
        TCardDisplaySettings Settings;

        void SetStatusText(int panel, const std::string& text) override
        {
            Statuses.emplace_back(panel, text);
        }

        void SetCaption(const std::string& caption) override { Caption = caption; }

        void SetLocationText(const std::string& url) override { Location = url; }

        void SetPageSource(std::shared_ptr<const std::string> bytes, const std::string&) override
        {
            PageSource = *bytes;
            PageSourceHeld = std::move(bytes);
        }

        void AddRecentURL(const std::string& url) override { Recent.push_back(url); }

        void EnableStop(bool enabled) override { StopEnabled = enabled; }

        void EnableBack(bool enabled) override { BackEnabled = enabled; }

        void EnableForward(bool enabled) override { ForwardEnabled = enabled; }

        void SetPendingURL(const std::string& url, bool refresh) override
        {
            Pending.emplace_back(url, refresh);
        }

        void SetPendingPick(const std::string& url) override { Picks.push_back(url); }

        void CardButtonClick(TPVBtn& sender, const std::string& link) override
        {
            ButtonClicks.emplace_back(&sender, link);
        }

        bool CompareAnnouncedVersion(const std::string& announced) override
        {
            Compared.push_back(announced);
            return NewerAnswer;
        }

        void StartCardTimer(wml::TWMLCard& card) override { Timers.push_back(&card); }

        TCardDisplaySettings CardDisplaySettings() const override { return Settings; }

        QPixmap PrevButtonGlyph() const override
        {
            QPixmap glyph(16, 16);
            glyph.fill(Qt::darkGreen);
            return glyph;
        }
    };

    std::string Deck(const std::string& cards)
    {
        return "<?xml version=\"1.0\"?>\n<wml>\n" + cards + "\n</wml>\n";
    }

    class CardRender : public ::testing::Test
    {
    protected:
        CardRender()
        {
            browser.WMLDeck.ImageLoader = nullptr;
            TCardRenderer::SetupStyles(style);
            view.SetStyle(&style);
            TCardRenderer::SetupView(view);
            view.resize(240, 400);
        }

        void Show(const std::string& cards, const std::string& url = "http://host/deck.wml")
        {
            browser.SetCurrentURL(url);
            browser.SetBodyBytes(Deck(cards));
            browser.WMLDeck.Parse(browser.Body());
            renderer.RenderCard(browser, view, host);
        }

        // A card built record by record, for element sequences the parser would not produce.
        wml::TWMLCard& HandBuiltCard(const std::string& id = "hand")
        {
            browser.WMLDeck.Clear();
            auto card = std::make_unique<wml::TWMLCard>();
            card->ID = id;
            wml::TWMLCard& result = *card;
            browser.WMLDeck.CardList.push_back({ id, std::move(card) });
            return result;
        }

        void Render(const std::string& url = "http://host/deck.wml")
        {
            browser.SetCurrentURL(url);
            renderer.RenderCard(browser, view, host);
        }

        wml::TWMLCard& Shown()
        {
            return *browser.WMLDeck.CardList.at(std::size_t(browser.WMLDeck.CurrentCard)).Card;
        }

        template <class TWidget> std::vector<TWidget*> Widgets() const
        {
            std::vector<TWidget*> found;
            for (const TRVItem& item : view.Items()) {
                if (auto* widget = qobject_cast<TWidget*>(item.Info.Gr.data()))
                    found.push_back(widget);
            }
            return found;
        }

        // The text items as (text, style, paragraph style, starts a paragraph).
        struct TItemRow {
            std::string Text;
            int Style;
            int Para;
            bool NewPara;
            bool operator==(const TItemRow&) const = default;
        };

        std::vector<TItemRow> Rows() const
        {
            std::vector<TItemRow> rows;
            for (const TRVItem& item : view.Items())
                rows.push_back({ item.Text, item.Info.StyleNo, item.Info.ParaNo, !item.Info.SameAsPrev });
            return rows;
        }

        engine::TWMLBrowser browser;
        TRVStyle style;
        TRichView view;
        TFakeHost host;
        TCardRenderer renderer;
    };

    TEST_F(CardRender, StyleSheetAndViewAreSetUpForCards)
    {
        ASSERT_EQ(style.TextStyles().size(), 64u);
        ASSERT_EQ(style.ParaStyles().size(), 7u);

        struct TRow {
            int No;
            const char* Name;
            int Size;
            TFontStyles Style;
            bool Jump;
        };

        const TRow rows[] = {
            { 0, "Small", 8, 0, false },
            { 3, "Small Bold Italic", 8, fsBold | fsItalic, false },
            { 5, "Normal Bold", 10, fsBold, false },
            { 7, "Normal Bold Italic", 10, fsBold | fsItalic, false },
            { 10, "Big Italic", 12, fsItalic, false },
            { 12, "Small Jump", 8, fsUnderline, true },
            { 13, "Normal Jump", 10, fsUnderline, true },
            { 14, "Big Jump", 12, fsUnderline, true },
            { 15, "NewLine", 4, 0, false },
        };
        for (const TRow& row : rows) {
            const TFontInfo& info = style.TextStyles()[std::size_t(row.No)];
            EXPECT_EQ(info.StyleName, row.Name);
            EXPECT_EQ(info.FontName, "Arial");
            EXPECT_EQ(info.Size, row.Size) << row.Name;
            EXPECT_EQ(info.Style, row.Style) << row.Name;
            EXPECT_EQ(info.Jump, row.Jump) << row.Name;
            EXPECT_EQ(info.Color, row.Jump ? clBlue : clBlack) << row.Name;
            EXPECT_EQ(info.BackColor, clNone);
        }
        EXPECT_EQ(style.ParaStyles()[1].Alignment, rvaCenter);
        EXPECT_EQ(style.ParaStyles()[2].Alignment, rvaRight);
        EXPECT_EQ(style.ParaStyles()[3].StyleName, "Justify");
        EXPECT_EQ(style.SpacesInTab(), 8);
        EXPECT_EQ(style.Color(), clWindow);
        EXPECT_EQ(view.LeftMargin() + view.RightMargin() + view.TopMargin() + view.BottomMargin(), 20);
        EXPECT_EQ(view.FirstJumpNo(), 0);
        EXPECT_TRUE(view.VScrollVisible());
        EXPECT_EQ(view.Delimiters(), " .;,:(){}\"/\\");
        EXPECT_EQ(view.Options() & rvoSingleClick, 0u);
        EXPECT_NE(view.Options() & rvoDblClickSelectsWord, 0u);
    }

    TEST_F(CardRender, FontsPickTheirTextStyles)
    {
        struct TCase {
            int Size;
            bool Bold, Italic, Underline;
            int Text, Link;
        };

        const TCase cases[] = {
            { 10, false, false, false, 4, 13 },
            { 10, true, true, false, 7, 13 },
            // Underlined text has styles of its own after the sixteen.
            { 10, true, false, true, 37, 13 },
            { 10, false, true, true, 38, 13 },
            { 10, true, true, true, 39, 13 },
            { 8, false, false, true, 20, 12 },
            { 8, true, false, false, 1, 12 },
            { 12, false, true, false, 10, 14 },
            // Nested small and big: the nearest shown size.
            { 6, false, false, false, 0, 12 },
            { 2, true, false, false, 1, 12 },
            { -40, false, false, false, 0, 12 },
            { 14, false, false, false, 8, 14 },
            { 400, true, true, false, 11, 14 },
            { 9, false, false, false, 4, 13 },
            { 11, false, false, false, 4, 13 },
        };
        for (const TCase& c : cases) {
            base::TFontDesc font;
            font.Size = c.Size;
            font.Bold = c.Bold;
            font.Italic = c.Italic;
            font.Underline = c.Underline;
            EXPECT_EQ(TCardRenderer::TextStyleFor(font), c.Text)
                << c.Size << c.Bold << c.Italic << c.Underline;
            EXPECT_EQ(TCardRenderer::LinkStyleFor(font), c.Link) << c.Size;
        }
    }

    TEST_F(CardRender, LinksAreNumberedFrom4096AndFoundAgain)
    {
        Show(R"WML(<card id="c" title="Links"><p>
<a href="one.wml">One</a> <big><big><a href="big.wml">Huge</a></big></big>
<small><small>tiny text</small></small> <a href="three.wml">Three</a>
<anchor>Send<go href="post.wml" method="post"/></anchor></p></card>)WML");
        std::vector<std::pair<std::int32_t, std::string>> links;
        for (const auto& element : Shown().Elements) {
            if (element.Object->Class() == wml::TWMLClass::Link) {
                const auto& link = element.Object->As<wml::TWMLLink>();
                links.emplace_back(link.JumpID, link.Link);
            }
        }
        const std::vector<std::pair<std::int32_t, std::string>> expected
            = { { 4096, "one.wml" }, { 4097, "big.wml" }, { 4098, "three.wml" }, { 4099, "post.wml" } };
        EXPECT_EQ(links, expected);
        EXPECT_EQ(view.FirstJumpNo(), 4096);

        // The view numbers its hot items in the same order, so every number leads to its link.
        std::vector<std::string> byView;
        for (const TRVItem& item : view.Items()) {
            if (item.Info.JumpNo >= 0) {
                const auto found = renderer.FindLinkByJumpID(item.Info.JumpNo + view.FirstJumpNo());
                byView.push_back(found ? found->Link + "|" + item.Text : "missing");
            }
        }
        EXPECT_EQ(byView,
            (std::vector<std::string> { "one.wml|One", "big.wml|Huge", "three.wml|Three", "post.wml|Send" }));

        bool tinyShown = false;
        for (const TRVItem& item : view.Items()) {
            if (item.Text.find("tiny text") != std::string::npos) {
                tinyShown = true;
                EXPECT_EQ(item.Info.StyleNo, 0);
            }
            if (item.Text == "Huge") {
                EXPECT_EQ(item.Info.StyleNo, 14);
            }
        }
        EXPECT_TRUE(tinyShown) << "text in nested small is shown in the smallest style";

        EXPECT_FALSE(renderer.FindLinkByJumpID(4100));
        EXPECT_FALSE(renderer.FindLinkByJumpID(0));
        EXPECT_TRUE(renderer.FindLinkByJumpID(4099)->Post);
        EXPECT_FALSE(renderer.FindLinkByJumpID(4096)->Post);

        renderer.RichViewMouseMove(4098);
        renderer.RichViewMouseMove(-1);
        renderer.RichViewMouseMove(9999);
        const std::vector<std::pair<int, std::string>> tail(host.Statuses.end() - 3, host.Statuses.end());
        EXPECT_EQ(
            tail, (std::vector<std::pair<int, std::string>> { { 2, "three.wml" }, { 2, "" }, { 2, "" } }));

        browser.WMLDeck.Clear();
        EXPECT_FALSE(renderer.FindLinkByJumpID(4096)) << "no deck, no link";
        browser.WMLDeck.CurrentCard = 7;
        EXPECT_FALSE(TCardRenderer::FindLinkByJumpID(browser.WMLDeck, 4096));
    }

    TEST_F(CardRender, WindowIsUpdatedAroundTheDrawing)
    {
        Show(R"WML(<card id="a" title="T&amp;$(who)"><p><input name="who" value="x"/></p></card>
<card id="b"><p>B</p></card>)WML",
            "http://host/deck.wml#a");
        EXPECT_EQ(host.Statuses,
            (std::vector<std::pair<int, std::string>> { { 0, "Drawing" }, { 1, "2 Cards" }, { 0, "Done" } }));
        EXPECT_FALSE(host.StopEnabled);
        EXPECT_EQ(host.Recent, std::vector<std::string> { "http://host/deck.wml#a" });
        EXPECT_EQ(host.Location, "http://host/deck.wml#a");
        EXPECT_EQ(host.PageSource, browser.BodyBytes());
        EXPECT_EQ(host.PageSourceHeld, browser.SharedBodyBytes()) << "the page source is shared, not copied";
        EXPECT_EQ(host.Caption, "Pivrel 2.2 - T&x");
        EXPECT_EQ(renderer.ShownCardTitle(), "T&amp;$(who)");
        EXPECT_FALSE(host.BackEnabled);
        EXPECT_FALSE(host.ForwardEnabled);
        EXPECT_FALSE(view.DrawLines().empty()) << "the view is formatted";
    }

    TEST_F(CardRender, FragmentChoosesTheCardIgnoringCase)
    {
        const std::string cards = R"WML(<card id="one" title="First"><p>1</p></card>
<card id="two" title="Second"><p>2</p></card><card id="Three" title="Third"><p>3</p></card>)WML";
        const std::vector<std::pair<std::string, int>> cases = {
            { "http://h/d.wml#Two", 1 },
            { "http://h/d.wml#THREE", 2 },
            { "http://h/d.wml#", 0 },
            { "http://h/d.wml", 0 },
            { "http://h/d.wml#nothing", 0 },
            { "http://h/d.wml#two#three", 0 },
            { "http://h/d.wml?q=#one#two", 0 },
        };
        for (const auto& [url, index] : cases) {
            Show(cards, url);
            EXPECT_EQ(browser.WMLDeck.CurrentCard, index) << url;
        }
        Show(cards, "http://h/d.wml#two");
        EXPECT_EQ(host.Caption, "Pivrel 2.2 - Second");
        EXPECT_EQ(renderer.ShownCardTitle(), "Second");
    }

    TEST_F(CardRender, EmptyDeckKeepsThePreviousView)
    {
        Show(R"WML(<card id="a" title="Kept"><p><a href="x.wml">x</a><input name="q"/></p></card>)WML");
        const std::vector<TItemRow> before = Rows();
        ASSERT_FALSE(before.empty());
        host.Statuses.clear();

        browser.WMLDeck.Clear();
        Render("http://host/other.wml");
        EXPECT_EQ(Rows(), before);
        EXPECT_EQ(host.Caption, "Pivrel 2.2 - Kept");
        EXPECT_EQ(host.Location, "http://host/other.wml");
        EXPECT_EQ(host.Statuses,
            (std::vector<std::pair<int, std::string>> { { 0, "Drawing" }, { 1, "0 Cards" }, { 0, "Done" } }));
        // The kept input must not write into the deck that is gone.
        auto inputs = Widgets<TPVInput>();
        ASSERT_EQ(inputs.size(), 1u);
        EXPECT_EQ(inputs[0]->VarObject(), nullptr);
        inputs[0]->setText("typed after the deck went");
    }

    TEST_F(CardRender, AlignmentChangesOpenParagraphsOrBreakLines)
    {
        using A = wml::TWMLAlignment;

        struct TCase {
            std::vector<A> Changes;
            std::vector<TItemRow> Rows;
        };

        const std::vector<TCase> cases = {
            // Of two different changes in a row the first is passed over.
            { { A::Center, A::Right }, { { "", 15, 2, true } } },
            // Twice the same new alignment: a paragraph start, then a line break.
            { { A::Right, A::Right }, { { "", 15, 2, true }, { "", 0, 2, true } } },
            // The alignment in force already: a line break.
            { { A::Left }, { { "", 0, 0, true } } },
            { { A::Center, A::Left }, { { "", 0, 0, true } } },
            { { A::Center, A::Center, A::Left }, { { "", 15, 1, true }, { "", 15, 0, true } } },
        };
        for (const TCase& c : cases) {
            wml::TWMLCard& card = HandBuiltCard();
            for (A change : c.Changes)
                card.AddAlignmentChange(change);
            card.AddText("x");
            Render();
            std::vector<TItemRow> expected = c.Rows;
            expected.push_back({ "x", 4, expected.back().Para, false });
            expected.push_back({ "", 0, 0, true });
            EXPECT_EQ(Rows(), expected) << "changes: " << c.Changes.size();
        }
    }

    TEST_F(CardRender, CardWithoutElementsStillGetsTheButtonsParagraph)
    {
        HandBuiltCard();
        Render();
        EXPECT_EQ(Rows(), (std::vector<TItemRow> { { "", 0, 0, true } }));
        EXPECT_FALSE(view.DrawLines().empty());
        EXPECT_EQ(host.Statuses.back(), std::make_pair(0, std::string("Done")));
    }

    TEST_F(CardRender, ButtonsFollowInOneLeftParagraph)
    {
        Show(
            R"WML(<card id="c"><do type="accept" label="Go"><go href="next.wml"/><setvar name="v" value="1"/></do>
<p align="center">Text</p>
<do type="prev" label="Back"><prev/></do><do type="options" label="Again"><refresh/></do></card>)WML");
        const std::vector<TRVItem>& items = view.Items();
        ASSERT_GE(items.size(), 4u);
        const std::size_t first = items.size() - 3;
        EXPECT_EQ(items[first - 1].Text, "");
        EXPECT_EQ(items[first - 1].Info.StyleNo, 0);
        EXPECT_EQ(items[first - 1].Info.ParaNo, 0);
        EXPECT_FALSE(items[first - 1].Info.SameAsPrev);
        for (std::size_t i = first; i < items.size(); ++i) {
            EXPECT_EQ(items[i].Info.StyleNo, rvsComponent);
            EXPECT_TRUE(items[i].Info.SameAsPrev);
            EXPECT_FALSE(items[i].Info.Centred);
            EXPECT_EQ(items[i].Info.ParaNo, 0);
        }
        const auto buttons = Widgets<TPVBtn>();
        ASSERT_EQ(buttons.size(), 3u);
        EXPECT_EQ(buttons[0]->text().toStdString(), "Go");
        EXPECT_EQ(buttons[1]->Link(), "@prev");
        EXPECT_FALSE(buttons[1]->icon().isNull());
        EXPECT_TRUE(buttons[2]->DoRefresh());
        ASSERT_NE(buttons[0]->VarObject(), nullptr);
        EXPECT_EQ(buttons[0]->VarObject()->SetVarNames, base::TStringList { "v" });

        buttons[0]->click();
        buttons[1]->click();
        ASSERT_EQ(host.ButtonClicks.size(), 2u);
        EXPECT_EQ(host.ButtonClicks[0], std::make_pair(buttons[0], std::string("next.wml")));
        EXPECT_EQ(host.ButtonClicks[1].second, "@prev");
    }

    TEST_F(CardRender, WidgetsWriteTheCardsVariables)
    {
        Show(R"WML(<card id="c"><p>Name <input name="who" value="ann" size="10"/>
<select name="top" multiple="true" ivalue="10"><option value="o1">1</option><option value="o2">2</option>
<option value="o3">3</option><option value="o4">4</option><option value="o5">5</option>
<option value="o6">6</option><option value="o7">7</option><option value="o8">8</option>
<option value="o9">9</option><option value="o10">10</option></select>
<select name="size" value="M"><option value="s">S</option><option value="m">M</option>
<option value="l" onpick="#large">L</option></select></p></card>)WML");
        auto inputs = Widgets<TPVInput>();
        auto multiple = Widgets<TPVSelect>();
        auto single = Widgets<TPVSelectSingle>();
        ASSERT_EQ(inputs.size(), 1u);
        ASSERT_EQ(multiple.size(), 1u);
        ASSERT_EQ(single.size(), 1u);
        EXPECT_EQ(inputs[0]->width(), 80);
        EXPECT_EQ(inputs[0]->text().toStdString(), "ann");
        for (int row = 0; row < 10; ++row)
            EXPECT_EQ(multiple[0]->IsChecked(row), row == 9) << row;
        EXPECT_EQ(single[0]->currentIndex(), 1);

        // Every list starts on a line of its own; the widgets sit in the running paragraph.
        const std::vector<TRVItem>& items = view.Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (qobject_cast<QListWidget*>(items[i].Info.Gr.data())
                || qobject_cast<QComboBox*>(items[i].Info.Gr.data())) {
                ASSERT_GT(i, 0u);
                EXPECT_EQ(items[i - 1].Text, "");
                EXPECT_FALSE(items[i - 1].Info.SameAsPrev);
            }
            if (items[i].Info.StyleNo == rvsComponent && !qobject_cast<TPVBtn*>(items[i].Info.Gr.data())) {
                EXPECT_TRUE(items[i].Info.Centred);
                EXPECT_TRUE(items[i].Info.SameAsPrev);
            }
        }

        inputs[0]->setText("bob");
        EXPECT_EQ(browser.GetVariable("who"), "bob");
        multiple[0]->SetChecked(0, true);
        EXPECT_EQ(browser.GetVariable("top"), "o1;o10");
        single[0]->setCurrentIndex(0);
        EXPECT_TRUE(host.Picks.empty());
        EXPECT_EQ(browser.GetVariable("size"), "s");
        single[0]->setCurrentIndex(2);
        EXPECT_EQ(host.Picks, std::vector<std::string> { "#large" });
        EXPECT_TRUE(host.Pending.empty()) << "a pick leaves the refresh flag alone";

        // Showing the card again builds the widgets from what was typed and picked.
        Render("http://host/deck.wml#c");
        EXPECT_EQ(Widgets<TPVInput>()[0]->text().toStdString(), "bob");
        EXPECT_TRUE(Widgets<TPVSelect>()[0]->IsChecked(0));
        EXPECT_EQ(Widgets<TPVSelectSingle>()[0]->currentIndex(), 2);
    }

    TEST_F(CardRender, WidgetsOutlivingTheirDeckWriteNothing)
    {
        const std::string cards = R"WML(<card id="c"><do type="accept" label="Set"><go href="#c"/>
<setvar name="v" value="1"/></do><p><input name="who"/>
<select name="m" multiple="true"><option value="a">A</option><option value="b">B</option></select>
<select name="s"><option value="x">X</option><option value="y" onpick="#y">Y</option></select></p></card>)WML";
        Show(cards);
        QPointer<TPVInput> input = Widgets<TPVInput>().at(0);
        QPointer<TPVSelect> multiple = Widgets<TPVSelect>().at(0);
        QPointer<TPVSelectSingle> single = Widgets<TPVSelectSingle>().at(0);
        QPointer<TPVBtn> button = Widgets<TPVBtn>().at(0);
        input->setText("before");
        EXPECT_EQ(browser.GetVariable("who"), "before");

        // The engine empties the deck before a fetch that may keep the loop turning a long time.
        browser.WMLDeck.Clear();
        input->setText("during the fetch");
        multiple->SetChecked(1, true);
        single->setCurrentIndex(1);
        EXPECT_EQ(button->VarObject(), nullptr);
        EXPECT_TRUE(host.Picks.empty()) << "an option of a gone deck navigates nowhere";

        // A new deck of the same shape: the old widgets must not write into it either.
        browser.WMLDeck.Parse(base::SplitLines(Deck(cards)));
        renderer.DeckReplacing();
        input->setText("into the new deck");
        // What was typed before stays in the browser context; the old widget adds nothing.
        EXPECT_EQ(browser.GetVariable("who"), "before");
        EXPECT_EQ(button->VarObject(), nullptr);

        // Rendering it replaces the widgets; the old ones leave through the event loop.
        Render();
        ASSERT_FALSE(input.isNull());
        input->setText("queued signal of a widget on its way out");
        EXPECT_EQ(browser.GetVariable("who"), "before");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(input.isNull());
        EXPECT_TRUE(multiple.isNull());
        Widgets<TPVInput>().at(0)->setText("fresh");
        EXPECT_EQ(browser.GetVariable("who"), "fresh");

        // The renderer going away leaves its widgets inert as well.
        auto gone = std::make_unique<TCardRenderer>();
        gone->RenderCard(browser, view, host);
        QPointer<TPVInput> orphan = Widgets<TPVInput>().at(0);
        gone.reset();
        orphan->setText("after the renderer");
        EXPECT_EQ(browser.GetVariable("who"), "fresh");
    }

    TEST_F(CardRender, TimerElementStartsTheCardTimer)
    {
        Show(
            R"WML(<card id="c" ontimer="#d"><timer value="25"/><p>wait</p></card><card id="d"><p>d</p></card>)WML");
        wml::TWMLCard& card = Shown();
        EXPECT_TRUE(card.Timer.Enabled);
        EXPECT_EQ(card.Timer.Interval, 2500);
        EXPECT_EQ(host.Timers, std::vector<wml::TWMLCard*> { &card });

        Show(R"WML(<card id="c"><p>no timer</p></card>)WML");
        EXPECT_EQ(host.Timers.size(), 1u);
    }

    TEST_F(CardRender, UpgradePageShowsTheVersionAnswer)
    {
        const std::string upgrade
            = "http://" + std::string(engine::kMakerWebServer) + std::string(engine::kUpgradePath);
        const std::string cards = R"WML(<card id="u"><p><pivrel version="3.0"/>Version page</p></card>)WML";

        Show(cards, "http://elsewhere/upg.wml");
        EXPECT_EQ(renderer.AnnouncedVersion(), "3.0");
        EXPECT_TRUE(host.Compared.empty());

        host.NewerAnswer = true;
        Show(cards, upgrade);
        EXPECT_EQ(host.Compared, std::vector<std::string> { "3.0" });
        EXPECT_EQ(Rows().back(), (TItemRow { "You should download a newer version of Pivrel", 5, 1, true }));

        host.NewerAnswer = false;
        Show(R"WML(<card id="u"><p>No announcement here</p></card>)WML", upgrade);
        EXPECT_EQ(host.Compared.size(), 2u) << "the last announcement seen still counts";
        EXPECT_EQ(Rows().back(), (TItemRow { "You are using the newest version of Pivrel.", 5, 1, true }));
    }

    TEST_F(CardRender, UnreadableAnnouncementAddsNoAnswer)
    {
        const std::string upgrade
            = "http://" + std::string(engine::kMakerWebServer) + std::string(engine::kUpgradePath);
        for (const char* version : { "3", "x.5", "beta", "3-" }) {
            Show(std::string(R"WML(<card id="u"><p><pivrel version=")WML") + version
                    + R"WML("/>Version page</p></card>)WML",
                upgrade);
            for (const auto& row : Rows())
                EXPECT_EQ(row.Text.find("version of Pivrel"), std::string::npos) << version;
        }
        EXPECT_TRUE(host.Compared.empty());
    }

    TEST_F(CardRender, BackgroundFollowsTheSettings)
    {
        QTemporaryDir dir;
        const std::string picture = dir.filePath("back.png").toStdString();
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(QString::fromStdString(picture)));
        const std::string notAPicture = dir.filePath("text.png").toStdString();
        std::ofstream(notAPicture) << "not a picture";
        const std::string cards = R"WML(<card id="c"><p>x</p></card>)WML";

        host.Settings.UseBackImage = true;
        host.Settings.BackImageFile = picture;
        const std::pair<int, TBackgroundStyle> modes[]
            = { { 0, bsStretched }, { 1, bsTiled }, { 2, bsTiledAndScrolled } };
        for (auto [mode, expected] : modes) {
            host.Settings.BackImageMode = mode;
            Show(cards);
            EXPECT_EQ(view.BackgroundStyle(), expected);
            EXPECT_EQ(view.BackgroundBitmap().size(), QSize(4, 4));
        }

        host.Settings.BackImageFile = notAPicture;
        Show(cards);
        EXPECT_EQ(view.BackgroundStyle(), bsTiledAndScrolled) << "a file that does not load is passed over";
        EXPECT_EQ(view.BackgroundBitmap().size(), QSize(4, 4));

        host.Settings.UseBackImage = false;
        Show(cards);
        EXPECT_EQ(view.BackgroundStyle(), bsNoBitmap);
        EXPECT_FALSE(view.BackgroundBitmap().isNull()) << "switching off keeps the picture";

        host.Settings.UseBackImage = true;
        host.Settings.BackImageFile = dir.filePath("missing.png").toStdString();
        Show(cards);
        EXPECT_EQ(view.BackgroundStyle(), bsNoBitmap);
        EXPECT_TRUE(view.BackgroundBitmap().isNull());
    }

    TEST_F(CardRender, JumpNavigatesToTheLinkAndShowsTheNewDeck)
    {
        QTemporaryDir dir;
        const std::string first = dir.filePath("first.wml").toStdString();
        const std::string second = dir.filePath("second.wml").toStdString();
        std::ofstream(first) << Deck(R"WML(<card id="a" title="First"><p>
<big><big><a href="elsewhere.wml">unshown size</a></big></big> <a href="second.wml#Z">Next</a></p></card>)WML");
        std::ofstream(second) << Deck(R"WML(<card id="y" title="Y"><p>y</p></card>
<card id="z" title="Zed"><p><input name="q"/><a href="first.wml">Back</a></p></card>)WML");
        browser.OnParseComplete = [this](engine::TWMLBrowser&) { renderer.RenderCard(browser, view, host); };

        browser.Navigate("file://" + first, true, false, false);
        ASSERT_EQ(host.Caption, "Pivrel 2.2 - First");
        renderer.RichViewJump(4097);
        EXPECT_EQ(host.Caption, "Pivrel 2.2 - Zed");
        EXPECT_EQ(browser.WMLDeck.CurrentCard, 1);
        EXPECT_TRUE(host.BackEnabled);
        EXPECT_EQ(host.Location, browser.CurrentURL());

        renderer.RichViewJump(4242);
        EXPECT_EQ(host.Caption, "Pivrel 2.2 - Zed") << "a number without a link does nothing";
    }

    TEST_F(CardRender, SameNamedInputsOnTwoCardsAreOneVariable)
    {
        Show(R"(<card id="a"><p><input name="city"/><a href="#b">On</a></p></card>)"
             R"(<card id="b"><p>City: <input name="city"/> $(city)</p></card>)",
            "http://host/deck.wml#a");
        Widgets<TPVInput>().at(0)->setText("Bern");
        EXPECT_EQ(browser.GetVariable("city"), "Bern");
        // Entered as a link enters it: the card is built then, and takes the context's values.
        browser.Navigate("#b", true, false, false);
        Render(browser.CurrentURL());
        EXPECT_EQ(Widgets<TPVInput>().at(0)->text().toStdString(), "Bern");
        Widgets<TPVInput>().at(0)->setText("Basel");
        EXPECT_EQ(browser.GetVariable("city"), "Basel");
        EXPECT_EQ(browser.ExpandText("$(city)"), "Basel");
    }

    TEST_F(CardRender, InputsKeepToTheirFormatAndCommitOnlyCompleteValues)
    {
        Show(
            R"(<card id="f"><p><input name="tel" format="NNN\-NNNN"/><input name="pw" type="password"/>)"
            R"(<input name="opt" format="N" emptyok="true"/><input name="req" emptyok="false" value="x"/></p></card>)");
        const std::vector<TPVInput*> inputs = Widgets<TPVInput>();
        ASSERT_EQ(inputs.size(), 4u);
        TPVInput& tel = *inputs[0];
        EXPECT_TRUE(tel.Incomplete());

        struct TTyping {
            std::string Typed;
            std::string Shown;
            bool Incomplete;
            std::string Variable;
        };

        const std::vector<TTyping> typing = {
            { "555", "555", true, "" },
            { "5551", "555-1", true, "" },
            { "555123a", "555-123", true, "" },
            { "5551234", "555-1234", false, "555-1234" },
            { "55512345", "555-1234", false, "555-1234" },
            { "55", "55", true, "555-1234" },
        };
        for (const TTyping& t : typing) {
            tel.clear();
            for (char c : t.Typed)
                tel.insert(QString(QChar(c)));
            EXPECT_EQ(tel.text().toStdString(), t.Shown) << t.Typed;
            EXPECT_EQ(tel.Incomplete(), t.Incomplete) << t.Typed;
            EXPECT_EQ(browser.GetVariable("tel"), t.Variable) << t.Typed;
        }
        EXPECT_EQ(inputs[1]->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(inputs[2]->Incomplete());
        inputs[3]->setText("");
        EXPECT_TRUE(inputs[3]->Incomplete());
        EXPECT_EQ(browser.GetVariable("req"), "x");
    }

    TEST_F(CardRender, LinksRunTheirTasksAndButtonsCarryTheirFields)
    {
        Show(R"(<card id="c"><do type="accept" label="Send"><go href="s" method="post">)"
             R"~(<postfield name="a" value="$(n)"/></go></do>)~"
             R"(<p>n=$(n) <a>Reset<refresh><setvar name="n" value="0"/></refresh></a></p></card>)");
        const TPVBtn* send = Widgets<TPVBtn>().at(0);
        EXPECT_TRUE(send->Post());
        EXPECT_EQ(send->PostFields(), (wml::TWMLPostFields { { "a", "$(n)" } }));

        int renders = 0;
        browser.OnParseComplete = [&](engine::TWMLBrowser&) {
            ++renders;
            renderer.RenderCard(browser, view, host);
        };
        browser.SetVariable("n", "5");
        renderer.RichViewJump(kFirstCardJumpNo);
        EXPECT_EQ(renders, 1);
        EXPECT_EQ(browser.GetVariable("n"), "0");
        const std::vector<TItemRow> rows = Rows();
        EXPECT_TRUE(
            std::any_of(rows.begin(), rows.end(), [](const TItemRow& row) { return row.Text == "n=0 "; }));
    }

    // Pictures for the names it knows, each 4 by 3 pixels; no picture for any other name.
    class TFakePictures : public wml::TCardImageLoader
    {
    public:
        void LoadCardImage(wml::TWMLImage& image, const std::string& src) override
        {
            if (src.find("missing") != std::string::npos)
                return;
            image.Image.Fill(4, 3, 0);
            image.SourceWidth = 4;
            image.SourceHeight = 3;
        }
    };

    TEST_F(CardRender, PreformattedBlanksStayAndNoWrapParagraphsScrollSideways)
    {
        Show("<card id=\"c\" title=\"t\"><p><pre>a  b\n c</pre>"
             "<p mode=\"nowrap\">"
            + std::string(300, 'x') + " y</p></p></card>");
        std::vector<std::string> texts;
        std::vector<int> paras;
        std::vector<std::string> faces;
        for (const TRVItem& item : view.Items()) {
            if (!item.Text.empty()) {
                texts.push_back(item.Text);
                paras.push_back(item.Info.ParaNo);
                faces.push_back(style.TextStyle(item.Info.StyleNo).FontName);
            }
        }
        const std::string nbsp = "\xC2\xA0";
        EXPECT_EQ(texts,
            (std::vector<std::string> { "a" + nbsp + nbsp + "b", nbsp + "c", std::string(300, 'x') + " y" }));
        EXPECT_EQ(paras, (std::vector<int> { kParaLeft, kParaLeft, kParaNoWrapOffset + kParaLeft }));
        const std::string fixed(wml::kFixedFace);
        EXPECT_EQ(faces, (std::vector<std::string> { fixed, fixed, "Arial" }));
        EXPECT_GT(view.DocumentWidth(), 300 * 5);
    }

    TEST_F(CardRender, PicturesInAnchorsAreHotLinksAndAltTextStandsInForMissingOnes)
    {
        TFakePictures pictures;
        browser.WMLDeck.ImageLoader = &pictures;
        Show(R"WML(<card id="c" title="Pictures"><p>
<a href="kino.wml"><img src="kino.wbmp" alt="Kino"/></a>
<a href="menu.wml"><img src="missing.wbmp" alt="Menu"/></a>
<a href="bus.wml">Bus</a> <a href="icon.wml"><img src="i.wbmp" alt="*"/>Label</a> <a href="end.wml">End</a></p></card>)WML");
        std::vector<std::string> shown;
        for (const TRVItem& item : view.Items()) {
            if (item.Info.JumpNo < 0)
                continue;
            const auto found = renderer.FindLinkByJumpID(item.Info.JumpNo + view.FirstJumpNo());
            const bool picture
                = item.Info.StyleNo == rvsHotspot && qobject_cast<TPVImage*>(item.Info.Gr.data());
            shown.push_back((found ? found->Link : "missing") + "|" + (picture ? "picture" : item.Text));
        }
        EXPECT_EQ(shown,
            (std::vector<std::string> { "kino.wml|picture", "menu.wml|Menu", "bus.wml|Bus",
                "icon.wml|picture", "icon.wml|Label", "end.wml|End" }));
        const std::vector<TPVImage*> images = Widgets<TPVImage>();
        ASSERT_EQ(images.size(), 2u);
        EXPECT_TRUE(images[0]->testAttribute(Qt::WA_TransparentForMouseEvents));

        // Hovering and clicking the picture act on its link.
        renderer.RichViewMouseMove(4096);
        EXPECT_EQ(host.Statuses.back(), (std::pair<int, std::string> { 2, "kino.wml" }));
        ASSERT_FALSE(view.JumpInfos().empty());
        EXPECT_EQ(view.JumpInfos()[0].Width, images[0]->width() + 2);
    }

    // A table of picture links, as portal decks use for their menus: one column per cell, the
    // pictures hot.
    TEST_F(CardRender, TableOfPictureLinksIsAGridOfHotPictures)
    {
        TFakePictures pictures;
        browser.WMLDeck.ImageLoader = &pictures;
        Show(R"WML(<card id="c" title="Grid"><p>
<table columns="2">
<tr><td><a href="a.wml"><img src="a.wbmp" alt="A"/></a></td><td><a href="b.wml"><img src="b.wbmp" alt="B"/></a></td></tr>
<tr><td><a href="c.wml"><img src="c.wbmp" alt="C"/></a></td><td>Dee and more <a href="d.wml">D</a></td></tr>
</table>after</p></card>)WML");
        std::vector<std::pair<int, int>> places;
        for (const TRVJumpInfo& jump : view.JumpInfos())
            places.emplace_back(jump.Left, jump.Top);
        ASSERT_EQ(places.size(), 4u);
        EXPECT_EQ(places[0].first, places[2].first) << "A and C share the first column";
        EXPECT_EQ(places[1].first, 5 + 6 + 8)
            << "B stands right of A's column, which is as wide as a picture";
        EXPECT_EQ(places[0].second, places[1].second) << "A and B share the first row";
        EXPECT_GT(places[2].second, places[0].second);
        EXPECT_GT(places[3].first, places[1].first) << "D follows the text of its cell";
        for (int jump = 4096; jump < 4100; ++jump)
            EXPECT_TRUE(renderer.FindLinkByJumpID(jump)) << jump;
    }

    TEST_F(CardRender, ButtonsWithoutLabelShowTheirTypesCaption)
    {
        Show(R"WML(<card id="c" title="Do"><do type="accept"><go href="a.wml"/></do>
<do type="options"><go href="o.wml"/></do><do type="x-custom"><go href="x.wml"/></do><p>x</p></card>)WML");
        std::vector<std::string> captions;
        for (TPVBtn* button : Widgets<TPVBtn>())
            captions.push_back(button->text().toStdString());
        EXPECT_EQ(captions, (std::vector<std::string> { "OK", "Options", "x-custom" }));
    }

} // namespace
} // namespace pivrel::view
