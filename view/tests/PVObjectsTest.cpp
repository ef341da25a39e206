#include "view/PVObjects.h"

#include <QFontMetrics>
#include <QSignalSpy>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace pivrel::view {
namespace {

    // Marks what went through the substitution, so that a test sees which texts were expanded.
    std::string Bracket(std::string_view text)
    {
        return "[" + std::string(text) + "]";
    }

    std::unique_ptr<wml::TWMLSelect> MakeSelect(const std::vector<std::string>& names,
        const std::vector<std::string>& values, const std::vector<std::string>& onpicks = {})
    {
        auto select = std::make_unique<wml::TWMLSelect>();
        select->VarObject.Edit().NameList = names;
        select->VarObject.Edit().ValueList = values;
        select->VarObject.Edit().OnPickList = onpicks;
        return select;
    }

    std::vector<int> CheckedRows(const TPVSelect& list)
    {
        std::vector<int> rows;
        for (int row = 0; row < list.count(); ++row) {
            if (list.IsChecked(row))
                rows.push_back(row);
        }
        return rows;
    }

    TEST(CardWidgets, BitmapsBecomeImagesInTheirOwnColours)
    {
        base::TBitmap bitmap;
        // 0x00BBGGRR: red, green, blue, then white, black, white.
        bitmap.Fill(3, 2, 0xFFFFFF);
        bitmap.SetPixel(0, 0, 0x0000FF);
        bitmap.SetPixel(1, 0, 0x00FF00);
        bitmap.SetPixel(2, 0, 0xFF0000);
        bitmap.SetPixel(1, 1, 0x000000);
        const QImage plain = BitmapToImage(bitmap);
        ASSERT_EQ(plain.size(), QSize(3, 2));
        EXPECT_EQ(plain.pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(plain.pixel(1, 0), qRgb(0, 255, 0));
        EXPECT_EQ(plain.pixel(2, 0), qRgb(0, 0, 255));
        EXPECT_EQ(plain.pixel(1, 1), qRgb(0, 0, 0));
        EXPECT_EQ(plain.pixel(2, 1), qRgb(255, 255, 255));
        base::TBitmap part = bitmap;
        part.Width = 4;
        EXPECT_EQ(BitmapToImage(part).pixel(3, 1), qRgb(255, 255, 255)) << "a missing pixel is white";

        const QImage keyed = BitmapToImage(bitmap, 0xFFFFFF);
        EXPECT_EQ(qAlpha(keyed.pixel(0, 1)), 0);
        EXPECT_EQ(qAlpha(keyed.pixel(2, 1)), 0);
        EXPECT_EQ(qAlpha(keyed.pixel(1, 1)), 255);

        for (auto [w, h] : { std::pair { 0, 5 }, { 5, 0 }, { -1, 4 }, { 4, -1 } }) {
            base::TBitmap odd;
            odd.Width = w;
            odd.Height = h;
            EXPECT_TRUE(BitmapToImage(odd).isNull()) << w << "x" << h;
        }
    }

    TEST(CardWidgets, NumbersReadAsTheyAreOrAsZero)
    {
        const std::vector<std::pair<std::string, int>> cases = {
            { "10", 10 },
            { " 10 ", 10 },
            { "+4", 4 },
            { "-3", -3 },
            { "", 0 },
            { "   ", 0 },
            { "x", 0 },
            { "10x", 0 },
            { "1 0", 0 },
            { "99999999999", 0 },
            { "0x10", 0 },
        };
        for (const auto& [text, value] : cases)
            EXPECT_EQ(TextToIntDef0(text), value) << '"' << text << '"';
    }

    TEST(CardWidgets, InputTakesItsSizeValueAndKindFromTheElement)
    {
        struct TCase {
            std::string Size;
            int Width;
        };

        const std::vector<TCase> cases = {
            { "10", 80 },
            { "16", 122 },
            { "abc", 10 },
            { "", 10 },
            { "-5", 10 },
            { "99999", 7 * TPVInput::kMaxSizeChars + 10 },
            { "2147483647", 7 * TPVInput::kMaxSizeChars + 10 },
        };
        for (const TCase& c : cases) {
            wml::TWMLInput element;
            element.Size = c.Size;
            TPVInput input;
            input.Build(element, Bracket);
            EXPECT_EQ(input.width(), c.Width) << "size " << c.Size;
            EXPECT_EQ(input.Size, c.Size);
        }

        wml::TWMLInput element;
        element.Title = "Name";
        element.MaxLength = "5";
        element.Password = true;
        element.VarObject.Edit().VarName = "who";
        element.VarObject.Edit().DefaultValue = "fallback";
        element.TextFont.Size = 400;
        TPVInput input;
        input.Build(element, Bracket);
        EXPECT_EQ(input.text().toStdString(), "fallback");
        EXPECT_EQ(input.VarValue, "fallback");
        EXPECT_EQ(input.VarName, "who");
        EXPECT_EQ(input.maxLength(), 8) << "a longer value than the limit is shown whole";
        EXPECT_EQ(input.echoMode(), QLineEdit::Password);
        EXPECT_EQ(input.TypeOf, "password");
        EXPECT_EQ(input.toolTip().toStdString(), "[Name]");
        EXPECT_LE(input.font().pointSize(), 72) << "a card's runaway font size is not copied";
        EXPECT_EQ(element.VarObject->VarValue, "") << "building writes nothing back";

        element.VarObject.Edit().DefaultValue = "abc";
        TPVInput limited;
        limited.Build(element, Bracket);
        EXPECT_EQ(limited.maxLength(), 5);

        element.VarObject.Edit().VarValue = "typed";
        element.MaxLength = "many";
        TPVInput again;
        again.Build(element, Bracket);
        EXPECT_EQ(again.text().toStdString(), "typed");
        EXPECT_EQ(again.maxLength(), QLineEdit().maxLength())
            << "a maxlength that is no number sets no limit";
    }

    TEST(CardWidgets, InputChangesWriteTheVariable)
    {
        wml::TWMLInput element;
        element.VarObject.Edit().VarValue = "old";
        element.VarObject.Edit().DefaultValue = "old";
        TPVInput input;
        input.Build(element, Bracket);
        input.setText("new text");
        EXPECT_EQ(element.VarObject->VarValue, "new text");
        EXPECT_EQ(element.VarObject->DefaultValue, "new text");
        EXPECT_EQ(input.DefaultText, "new text");
        input.clear();
        EXPECT_EQ(element.VarObject->VarValue, "");
        EXPECT_EQ(element.VarObject->DefaultValue, "");

        // A widget whose record is gone writes nowhere.
        input.SetVarResolver([] { return nullptr; });
        input.setText("lost");
        EXPECT_EQ(element.VarObject->VarValue, "");
        EXPECT_EQ(input.DefaultText, "lost");
    }

    TEST(CardWidgets, MultipleListChecksWholeEntriesOnly)
    {
        const std::vector<std::string> ten = { "v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9", "v10" };

        struct TCase {
            std::vector<std::string> Values;
            std::string DefaultValue;
            std::string DefaultIValue;
            std::vector<int> Checked;
        };

        const std::vector<TCase> cases = {
            { ten, "", "10", { 9 } },
            { ten, "", "1;10", { 0, 9 } },
            { ten, "", " 2 ;3", { 1, 2 } },
            { ten, "", "0;11;-1;x;;", {} },
            { { "a", "b", "c" }, "a;c", "", { 0, 2 } },
            { { "a", "b", "ab" }, "ab", "", { 2 } },
            { { "a", "b", "c" }, "A", "", {} },
            { { "a", "b", "c" }, "a;c", "2", { 1 } },
            { { "", "b" }, "", "", {} },
            { { "", "b" }, "b;", "", { 0, 1 } },
            { { "a" }, "a;b", "", { 0 } },
        };
        for (const TCase& c : cases) {
            std::vector<std::string> names(c.Values.size(), "n");
            auto selectOwner = MakeSelect(names, c.Values);
            wml::TWMLSelect& select = *selectOwner;
            select.Multiple = true;
            select.VarObject.Edit().DefaultValue = c.DefaultValue;
            select.VarObject.Edit().DefaultIValue = c.DefaultIValue;
            TPVSelect list;
            list.Build(select, Bracket);
            EXPECT_EQ(CheckedRows(list), c.Checked)
                << "value " << c.DefaultValue << " ivalue " << c.DefaultIValue;
        }

        // More options than values: the extra lines have no value to match.
        auto selectOwner = MakeSelect({ "x", "y", "z" }, { "a" });
        wml::TWMLSelect& select = *selectOwner;
        select.VarObject.Edit().DefaultValue = "a";
        TPVSelect list;
        list.Build(select, Bracket);
        EXPECT_EQ(CheckedRows(list), std::vector<int> { 0 });
        EXPECT_EQ(list.item(2)->text().toStdString(), "[z]");
    }

    TEST(CardWidgets, MultipleListClicksWriteValuesAndIndexes)
    {
        auto selectOwner = MakeSelect({ "A", "B", "C" }, { "a", "b", "c" });
        wml::TWMLSelect& select = *selectOwner;
        select.Multiple = true;
        TPVSelect list;
        list.Build(select, Bracket);
        EXPECT_TRUE(CheckedRows(list).empty());
        wml::TWMLVariable& variable = select.VarObject.Edit();

        list.SetChecked(0, true);
        EXPECT_EQ(variable.VarValue, "a");
        EXPECT_EQ(variable.iVarValue, "1");
        list.SetChecked(2, true);
        EXPECT_EQ(variable.VarValue, "a;c");
        EXPECT_EQ(variable.iVarValue, "1;3");
        EXPECT_EQ(variable.DefaultValue, "a;c");
        EXPECT_EQ(variable.DefaultIValue, "1;3");

        // The next build shows what was picked.
        TPVSelect shownAgain;
        shownAgain.Build(select, Bracket);
        EXPECT_EQ(CheckedRows(shownAgain), (std::vector<int> { 0, 2 }));

        list.SetChecked(0, false);
        list.SetChecked(2, false);
        EXPECT_EQ(variable.VarValue, "");
        EXPECT_EQ(variable.iVarValue, "");
        EXPECT_EQ(variable.DefaultValue, "");
        EXPECT_EQ(variable.DefaultIValue, "");

        list.SetVarResolver([] { return nullptr; });
        list.SetChecked(1, true);
        EXPECT_EQ(variable.VarValue, "");
    }

    TEST(CardWidgets, MultipleListIsTallAndWideEnoughForItsOptions)
    {
        const std::string longName = "A rather long option text that needs room";
        auto selectOwner = MakeSelect({ "a", longName, "c" }, { "1", "2", "3" });
        wml::TWMLSelect& select = *selectOwner;
        TPVSelect list;
        list.Build(select, Bracket);
        const int expected
            = QFontMetrics(list.font()).horizontalAdvance(QString::fromStdString("XX " + longName)) + 32;
        EXPECT_EQ(list.width(), std::max(expected, TPVSelect::kDefaultWidth));
        EXPECT_EQ(list.height(), 3 * list.sizeHintForRow(0) + 2 * list.frameWidth());

        auto emptyOwner = MakeSelect({}, {});
        wml::TWMLSelect& empty = *emptyOwner;
        TPVSelect none;
        none.Build(empty, Bracket);
        EXPECT_EQ(none.count(), 0);
        EXPECT_EQ(none.width(), TPVSelect::kDefaultWidth);
    }

    TEST(CardWidgets, SingleListSelectsByValueIgnoringCase)
    {
        struct TCase {
            std::string VarValue;
            std::string DefaultValue;
            int Index;
        };

        const std::vector<TCase> cases = {
            { "", "b", 1 }, { "C", "b", 2 }, { "", "B", 1 }, { "", "nothing", -1 }, { "", "a;b", -1 },
            { "", "", -1 }, { "d", "", -1 } // a value beyond the shown options
        };
        for (const TCase& c : cases) {
            auto selectOwner = MakeSelect({ "A", "B", "C" }, { "a", "b", "c", "d" });
            wml::TWMLSelect& select = *selectOwner;
            select.VarObject.Edit().VarValue = c.VarValue;
            select.VarObject.Edit().DefaultValue = c.DefaultValue;
            TPVSelectSingle list;
            list.Build(select, Bracket);
            EXPECT_EQ(list.currentIndex(), c.Index) << c.VarValue << "/" << c.DefaultValue;
            EXPECT_FALSE(list.isEditable());
            EXPECT_EQ(select.VarObject->iVarValue, "") << "building writes nothing back";
        }
    }

    TEST(CardWidgets, SingleListPickWritesVariablesAndAsksForItsAddress)
    {
        auto selectOwner = MakeSelect({ "A", "B", "C" }, { "a", "b", "c" }, { "", "#bee", "" });
        wml::TWMLSelect& select = *selectOwner;
        select.VarObject.Edit().DefaultValue = "a";
        TPVSelectSingle list;
        list.Build(select, Bracket);
        std::vector<std::string> picks;
        list.OnPick = [&picks](const std::string& url) { picks.push_back(url); };

        list.setCurrentIndex(2);
        EXPECT_EQ(select.VarObject->VarValue, "c");
        EXPECT_EQ(select.VarObject->iVarValue, "3");
        EXPECT_EQ(select.VarObject->DefaultValue, "a") << "a pick leaves the initial value";
        EXPECT_TRUE(picks.empty()) << "an option without onpick navigates nowhere";

        list.setCurrentIndex(1);
        EXPECT_EQ(select.VarObject->VarValue, "b");
        EXPECT_EQ(select.VarObject->iVarValue, "2");
        EXPECT_EQ(picks, std::vector<std::string> { "#bee" });

        list.setCurrentIndex(-1);
        EXPECT_EQ(select.VarObject->VarValue, "b") << "no selection writes nothing";

        // Lists shorter than the options yield empty values, not reads past their end.
        auto raggedOwner = MakeSelect({ "A", "B" }, { "a" });
        wml::TWMLSelect& ragged = *raggedOwner;
        TPVSelectSingle short_;
        short_.Build(ragged, Bracket);
        short_.setCurrentIndex(1);
        EXPECT_EQ(ragged.VarObject->VarValue, "");
        EXPECT_EQ(ragged.VarObject->iVarValue, "2");

        list.SetVarResolver([] { return nullptr; });
        list.setCurrentIndex(2);
        EXPECT_EQ(select.VarObject->VarValue, "b");
        EXPECT_EQ(picks.size(), 1u);
    }

    TEST(CardWidgets, ButtonShowsItsCaptionAndReportsItsTarget)
    {
        wml::TWMLBtn element;
        element.Caption = "Go on";
        element.Link = "$(next)";
        element.Refresh = true;
        element.DoType = "accept";
        TPVBtn button;
        button.Build(element, Bracket, QPixmap());
        const QFontMetrics metrics(button.font());
        EXPECT_EQ(button.text().toStdString(), "[Go on]");
        EXPECT_EQ(button.toolTip().toStdString(), "[Go on]");
        EXPECT_EQ(button.Link(), "$(next)") << "the target goes to the engine unexpanded";
        EXPECT_TRUE(button.DoRefresh());
        EXPECT_EQ(button.VarObject(), &*element.VarObject);
        EXPECT_EQ(button.width(), metrics.horizontalAdvance("[Go on]") + 20);
        EXPECT_TRUE(button.icon().isNull());

        std::vector<std::string> clicks;
        button.OnBtnClick = [&](TPVBtn& sender, const std::string& link) {
            EXPECT_EQ(&sender, &button);
            clicks.push_back(link);
        };
        button.click();
        EXPECT_EQ(clicks, std::vector<std::string> { "$(next)" });

        QPixmap glyph(16, 16);
        glyph.fill(Qt::black);
        wml::TWMLBtn back;
        back.Caption = "Back";
        back.DoType = "PREV";
        TPVBtn prev;
        prev.Build(back, Bracket, glyph);
        EXPECT_FALSE(prev.icon().isNull());
        EXPECT_FALSE(prev.isDefault());
        EXPECT_EQ(prev.width(), QFontMetrics(prev.font()).horizontalAdvance("[Back]") + 16 + 10);
    }

    TEST(CardWidgets, ImageShowsItsPictureWithWhiteSeeThrough)
    {
        for (const bool mono : { false, true }) {
            SCOPED_TRACE(mono ? "black and white" : "colour");
            wml::TWMLImage element;
            element.Alt = "Logo";
            element.Src = "$(pic).wbmp";
            mono ? element.Image.FillMonochrome(2, 1) : element.Image.Fill(2, 1, 0xFFFFFF);
            element.Image.SetPixel(1, 0, 0x000000);
            element.SourceWidth = 2;
            element.SourceHeight = 1;

            TPVImage opaque;
            opaque.Build(element, Bracket, false);
            EXPECT_EQ(opaque.AltText, "[Logo]");
            EXPECT_EQ(opaque.ImageURL, "$(pic).wbmp");
            EXPECT_EQ(opaque.size(), QSize(2, 1));
            EXPECT_EQ(opaque.SourceWidth, 2);
            EXPECT_EQ(qAlpha(opaque.Picture().toImage().pixel(0, 0)), 255);
            EXPECT_EQ(opaque.Picture().toImage().pixel(1, 0), qRgb(0, 0, 0));
            // The widget draws from the record's own pixels rather than from a copy of them.
            const base::TBitmap& record = element.Image;
            EXPECT_EQ(opaque.Image().constBits(),
                mono ? record.MonoRow(0) : reinterpret_cast<const uchar*>(record.StoredColourRow(0)));

            TPVImage seeThrough;
            seeThrough.Build(element, Bracket, true);
            const QImage shown = seeThrough.Picture().toImage();
            EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
            EXPECT_EQ(qAlpha(shown.pixel(1, 0)), 255);

            element.Image.TransparentColor = 0x000000;
            TPVImage keyedBlack;
            keyedBlack.Build(element, Bracket, true);
            EXPECT_EQ(qAlpha(keyedBlack.Picture().toImage().pixel(1, 0)), 0);
            EXPECT_EQ(qAlpha(keyedBlack.Picture().toImage().pixel(0, 0)), 255);
        }

        wml::TWMLImage missing;
        TPVImage empty;
        empty.Build(missing, Bracket, true);
        EXPECT_EQ(empty.width(), 0);
        EXPECT_TRUE(empty.Picture().isNull());
    }

} // namespace
} // namespace pivrel::view
