#include "app/Dialogs.h"
#include "app/fFormBookmarkEdit.h"
#include "app/fFormOpenLocation.h"
#include "app/fPropertiesForm.h"
#include "app/tests/TempHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>

#include <deque>
#include <gtest/gtest.h>

namespace pivrel::app {

namespace {

    using FormsTest = testing::TempHomeTest;

    std::string Text(const QAbstractButton* button)
    {
        return button->text().toStdString();
    }

    // The caption of the label that names this field.
    std::string LabelFor(const QWidget* form, const QWidget* buddy)
    {
        for (const QLabel* label : form->findChildren<QLabel*>()) {
            if (label->buddy() == buddy)
                return label->text().toStdString();
        }
        return "<none>";
    }

} // namespace

TEST_F(FormsTest, PropertiesFormHasEveryFieldWithItsCaption)
{
    TPresetDialogs dialogs;
    TPropertiesForm form(dialogs);
    EXPECT_EQ(form.windowTitle().toStdString(), "Properties");
    ASSERT_EQ(form.PageControl1->count(), 3);
    EXPECT_EQ(form.PageControl1->tabText(0).toStdString(), "General");
    EXPECT_EQ(form.PageControl1->tabText(1).toStdString(), "Network");
    EXPECT_EQ(form.PageControl1->tabText(2).toStdString(), "History");
    EXPECT_EQ(Text(form.BoxUseBGImage), "Use &background image behind text");
    EXPECT_EQ(form.SpeedButton1->toolTip().toStdString(), "Browse");
    EXPECT_EQ(form.RadioBGMode->title().toStdString(), "Image Mode");
    EXPECT_EQ(Text(form.RadioBGMode->Item(0)), "&1 Streched");
    EXPECT_EQ(Text(form.RadioBGMode->Item(1)), "&2 Tiled");
    EXPECT_EQ(Text(form.RadioBGMode->Item(2)), "&3 Tiled and Scrolling");
    EXPECT_EQ(Text(form.BoxUseButtonText), "&Show Button Texts");
    EXPECT_EQ(Text(form.Box_Transparent), "&Transparent Images ( wbmp )");
    EXPECT_EQ(LabelFor(&form, form.EditHomePage), "&Home Page");
    EXPECT_EQ(Text(form.BoxUseProxy), "Use &Proxy");
    EXPECT_EQ(LabelFor(&form, form.SpinProxyPort), "P&ort");
    EXPECT_EQ(Text(form.BoxUseAuthentication), "Use &Authentication");
    EXPECT_EQ(LabelFor(&form, form.EditUserName), "&Username");
    EXPECT_EQ(LabelFor(&form, form.EditPassword), "Pass&word");
    EXPECT_EQ(LabelFor(&form, form.SpinMaxHistory), "&Max number of entries in history");
    EXPECT_EQ(Text(form.BitBtn3), "Clear &History");
    EXPECT_EQ(Text(form.BitBtn1), "&OK");
    EXPECT_EQ(Text(form.BitBtn2), "&Cancel");
    for (const char* name : { "BoxUseBGImage", "EditBGFilename", "SpeedButton1", "RadioBGMode",
             "BoxUseButtonText", "Box_Transparent", "EditHomePage", "BoxUseProxy", "EditProxyAddr",
             "SpinProxyPort", "BoxUseAuthentication", "EditUserName", "EditPassword", "SpinMaxHistory",
             "BitBtn1", "BitBtn2", "BitBtn3", "BoxAcceptCookies", "BtnClearCookies" })
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(form.EditPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.EditPassword->style()->styleHint(
                  QStyle::SH_LineEdit_PasswordCharacter, nullptr, form.EditPassword),
        '*');

    // The design values, before any settings are loaded.
    EXPECT_FALSE(form.BoxUseBGImage->isChecked());
    EXPECT_FALSE(form.BoxUseProxy->isChecked());
    EXPECT_TRUE(form.EditHomePage->text().isEmpty());
    EXPECT_EQ(form.SpinProxyPort->value(), 80);
    EXPECT_EQ(form.SpinMaxHistory->value(), 100);
    EXPECT_EQ(form.RadioBGMode->ItemIndex(), 0);
    EXPECT_FALSE(Exists("Pivrel.ini"));
}

TEST_F(FormsTest, PropertiesFormCarriesSettingsBothWaysWithinFieldRanges)
{
    TPresetDialogs dialogs;
    TPropertiesForm form(dialogs);
    TPivrelSettings settings;
    settings.UseBackImage = false;
    settings.BackImageFile = "/pics/\xc3\xa9t\xc3\xa9.bmp";
    settings.BackImageMode = 2;
    settings.UseButtonTexts = false;
    settings.Transparent = false;
    settings.HomePage = "file:///h.wml";
    settings.MaxHistory = 250;
    settings.UseProxy = true;
    settings.ProxyAddr = "p";
    settings.ProxyPort = 3128;
    settings.UseAuthentication = true;
    settings.UserName = "u";
    settings.Password = "pw";
    settings.AcceptCookies = false;
    form.ToDialog(settings);
    EXPECT_EQ(form.FromDialog(), settings);
    form.ToDialog(TPivrelSettings());
    EXPECT_EQ(form.FromDialog(), TPivrelSettings());

    // Values outside a field's range are clamped to it; a picture mode outside the choices
    // takes the first.
    settings.MaxHistory = 5;
    settings.ProxyPort = 99999;
    settings.BackImageMode = 9;
    form.ToDialog(settings);
    EXPECT_EQ(form.SpinMaxHistory->value(), 10);
    EXPECT_EQ(form.SpinProxyPort->value(), 65535);
    EXPECT_EQ(form.RadioBGMode->ItemIndex(), 0);
}

TEST_F(FormsTest, ClearHistoryAsksThenEmptiesListsAndFiles)
{
    TPresetDialogs dialogs;
    TPropertiesForm form(dialogs);
    int cleared = 0;
    form.OnClearHistory = [&] { ++cleared; };
    for (const char* name : { "Recent.lst", "ManLocations.lst", "Locations.lst" })
        Write(name, "http://x/\r\n");

    dialogs.YesNoAnswers = { false };
    form.BitBtn3->click();
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Kind, "question");
    EXPECT_EQ(dialogs.Shown[0].Text, "Are you sure that you want to clear the history ?");
    EXPECT_EQ(cleared, 0);
    EXPECT_TRUE(Exists("Recent.lst"));

    dialogs.YesNoAnswers = { true };
    form.BitBtn3->click();
    EXPECT_EQ(cleared, 1);
    EXPECT_FALSE(Exists("Recent.lst"));
    EXPECT_FALSE(Exists("ManLocations.lst"));
    EXPECT_FALSE(Exists("Locations.lst"));
}

TEST_F(FormsTest, BrowsingForAPictureFillsTheFileNameOnlyOnOk)
{
    TPresetDialogs dialogs;
    TPropertiesForm form(dialogs);
    form.EditBGFilename->setText("./pics/skin1.bmp");
    std::string answer;
    int asked = 0;
    form.PictureChooser = [&](QWidget*, const std::string&) {
        ++asked;
        return answer;
    };
    form.SpeedButton1->click();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(form.EditBGFilename->text().toStdString(), "./pics/skin1.bmp");
    answer = "/home/u/Backgrounds/sky.jpg";
    form.SpeedButton1->click();
    EXPECT_EQ(form.EditBGFilename->text().toStdString(), "/home/u/Backgrounds/sky.jpg");
}

TEST_F(FormsTest, OpenLocationDialogOffersSortedListAndSavesOnEveryClose)
{
    Write("Locations.lst", "http://zeta/\r\nfile:///b.wml\r\nHTTP://alpha/\r\n");
    {
        TFormOpenLocation dialog;
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Open a Location");
        EXPECT_EQ(dialog.Label1->text().toStdString(), "&Location (Can be a file or an internet address)");
        EXPECT_EQ(dialog.GroupBox1->title().toStdString(), "Open location");
        EXPECT_EQ(Text(dialog.BitBtn1), "&Browse");
        EXPECT_EQ(Text(dialog.BitBtn2), "OK");
        ASSERT_EQ(dialog.BoxLocation->count(), 3);
        EXPECT_EQ(dialog.BoxLocation->itemText(0).toStdString(), "file:///b.wml");
        EXPECT_EQ(dialog.Location(), "");
        dialog.show();
        EXPECT_EQ(dialog.Location(), "file:///b.wml") << "showing chooses the first entry";

        dialog.FileChooser = [](QWidget*) { return std::string("/tmp/a deck.wml"); };
        dialog.BitBtn1->click();
        EXPECT_EQ(dialog.Location(), "file:///tmp/a deck.wml");
        dialog.BitBtn2->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(Bytes("Locations.lst"),
        "file:///b.wml\r\nfile:///tmp/a deck.wml\r\nHTTP://alpha/\r\nhttp://zeta/\r\n");
    {
        TFormOpenLocation dialog;
        dialog.show();
        dialog.BoxLocation->setEditText("http://ALPHA/");
        dialog.BitBtn2->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.Locations().Items().size(), 4u) << "known ignoring case";
    }
    {
        TFormOpenLocation dialog;
        dialog.BoxLocation->setEditText("");
        dialog.BitBtn2->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    Write("Locations.lst", "");
    {
        TFormOpenLocation dialog;
        dialog.show();
        dialog.BoxLocation->setEditText("http://new/");
        dialog.reject(); // Cancel: not added, but the list is still written
    }
    EXPECT_EQ(Bytes("Locations.lst"), "");
}

TEST_F(FormsTest, BookmarkWindowAddsGoesDeletesAndFinds)
{
    TPresetDialogs dialogs;
    TFormBookmarkEdit window(dialogs);
    EXPECT_EQ(window.windowTitle().toStdString(), "Pivrel Bookmarks");
    EXPECT_EQ(Text(window.ToolButton2), "&Go To");
    EXPECT_EQ(Text(window.ToolButton1), "&Add New");
    EXPECT_EQ(Text(window.ToolButton3), "&Delete");
    EXPECT_EQ(Text(window.ToolButton5), "&Find");
    EXPECT_EQ(Text(window.ToolButton7), "&Close");
    EXPECT_EQ(window.ImageList1.size(), 6u);
    std::vector<std::string> opened;
    window.OnNavigate = [&](const std::string& address) { opened.push_back(address); };

    // Cancelling either input box stores nothing.
    window.ToolButton1->click();
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Caption, "Name of Bookmark");
    EXPECT_EQ(dialogs.Shown[0].Text, "Name");
    dialogs.InputAnswers = { { true, "Half" } };
    window.ToolButton1->click();
    ASSERT_EQ(dialogs.Shown.size(), 3u);
    EXPECT_EQ(dialogs.Shown[2].Caption, "URL to site");
    EXPECT_EQ(dialogs.Shown[2].Text, "URL");
    EXPECT_EQ(window.ListBox1->count(), 0);
    EXPECT_FALSE(std::filesystem::exists(m_home / "bookmarks.dat"));
    // An empty name is stored as its placeholder.
    window.AddBookmark("", "http://");
    EXPECT_EQ(Bytes("bookmarks.dat"), "[NAME]\r\n1=Unknown Name\r\n[URL]\r\n1=http://\r\n");
    dialogs.InputAnswers = { { true, "Abc" }, { true, "http://abc/" } };
    window.ToolButton1->click();
    window.AddBookmark("xab", "http://xab/");
    EXPECT_EQ(window.ListBox1->count(), 3);
    window.show();
    EXPECT_EQ(window.StatusText(), "Bookmarks : 3");

    // Go To without a selection does nothing; with one it opens the stored address.
    window.ToolButton2->click();
    EXPECT_TRUE(opened.empty());
    dialogs.Shown.clear();
    dialogs.InputAnswers = { { true, "ab" } };
    window.ToolButton5->click();
    EXPECT_EQ(window.ListBox1->currentRow(), 1);
    window.ListBox1Click();
    EXPECT_EQ(window.StatusText(), "http://abc/");
    window.ToolButton2->click();
    EXPECT_EQ(opened, (std::vector<std::string> { "http://abc/" }));
    EXPECT_EQ(window.StatusText(), "Connecting to http://abc/");
    EXPECT_FALSE(window.isVisible());

    dialogs.InputAnswers = { { true, "zz" } };
    window.ToolButton5->click();
    ASSERT_FALSE(dialogs.Shown.empty());
    EXPECT_EQ(dialogs.Shown.back().Kind, "information");
    EXPECT_EQ(dialogs.Shown.back().Text, "ZZ was not found");

    // Delete asks first; No keeps the bookmark, Yes compacts the file.
    window.ListBox1->setCurrentRow(0);
    dialogs.YesNoAnswers = { false, true };
    window.ToolButton3->click();
    EXPECT_EQ(dialogs.Shown.back().Text, "Do you want to delete : Unknown Name?");
    EXPECT_EQ(window.ListBox1->count(), 3);
    window.ToolButton3->click();
    EXPECT_EQ(window.ListBox1->count(), 2);
    EXPECT_EQ(window.StatusText(), "Bookmarks : 2");
    EXPECT_EQ(
        Bytes("bookmarks.dat"), "[NAME]\r\n1=Abc\r\n2=xab\r\n[URL]\r\n1=http://abc/\r\n2=http://xab/\r\n");
}

TEST_F(FormsTest, BookmarkWindowEditsNameAndAddress)
{
    TPresetDialogs dialogs;
    TFormBookmarkEdit window(dialogs);
    window.AddBookmark("One", "http://one/");
    window.AddBookmark("Two", "http://two/");
    window.ListBox1->setCurrentRow(1);

    struct TCase {
        std::deque<std::pair<bool, std::string>> Answers;
        std::string Stored;
    };

    const std::string untouched = "[NAME]\r\n1=One\r\n2=Two\r\n[URL]\r\n1=http://one/\r\n2=http://two/\r\n";
    const std::vector<TCase> cases {
        { { { false, "" } }, untouched },
        { { { true, "Changed" }, { false, "" } }, untouched },
        { { { true, "Deux" }, { true, "http://deux/" } },
            "[NAME]\r\n1=One\r\n2=Deux\r\n[URL]\r\n1=http://one/\r\n2=http://deux/\r\n" },
    };
    for (const TCase& c : cases) {
        dialogs.InputAnswers = c.Answers;
        window.ToolButton4->click();
        EXPECT_EQ(Bytes("bookmarks.dat"), c.Stored);
    }
    EXPECT_EQ(window.ListBox1->item(1)->text().toStdString(), "Deux");
    // The boxes start from what is stored.
    EXPECT_EQ(dialogs.Shown.back().Caption, "URL to site");
}

TEST_F(FormsTest, BookmarkWindowReportsAFileItCannotWrite)
{
    std::filesystem::create_directories(m_home / "bookmarks.dat");
    TPresetDialogs dialogs;
    TFormBookmarkEdit window(dialogs);
    window.AddBookmark("a", "http://a/");
    EXPECT_EQ(window.ListBox1->count(), 1);
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Text, "Could not update bookmark file!");
}

} // namespace pivrel::app
