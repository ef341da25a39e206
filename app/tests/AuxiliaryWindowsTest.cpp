#include "app/FileInfo.h"
#include "app/fAboutForm.h"
#include "app/fDeckInformationForm.h"
#include "app/fFormPrintPreview.h"
#include "app/fMainForm.h"
#include "app/fPageSourceForm.h"
#include "app/tests/TempHome.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace pivrel::app {
namespace {

    class AuxiliaryWindowsTest : public testing::TempHomeTest
    {
    protected:
        void TearDown() override
        {
            form.reset();
            TempHomeTest::TearDown();
        }

        TMainForm& Form()
        {
            if (!form) {
                form = std::make_unique<TMainForm>(dialogs);
                form->SetOpenHomeOnShow(false);
                form->show();
                QTest::qWait(20);
            }
            return *form;
        }

        // Writes a deck beside the home directory and opens it in the window.
        std::string Open(const std::string& name, const std::string& bytes, const std::string& card = "")
        {
            const std::string path = (m_root / name).string();
            std::ofstream(path, std::ios::binary) << bytes;
            Form().Navigate("file://" + path + (card.empty() ? "" : "#" + card), true, true, false);
            return path;
        }

        // Rows of the deck-information tree as "depth:text", and the selected row's text.
        static std::vector<std::string> TreeRows(QTreeWidget& tree)
        {
            std::vector<std::string> rows;
            std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
                rows.push_back(std::to_string(depth) + ":" + item->text(0).toStdString());
                for (int i = 0; i < item->childCount(); ++i)
                    walk(item->child(i), depth + 1);
            };
            for (int i = 0; i < tree.topLevelItemCount(); ++i)
                walk(tree.topLevelItem(i), 0);
            return rows;
        }

        static bool Has(const std::vector<std::string>& rows, const std::string& row)
        {
            return std::find(rows.begin(), rows.end(), row) != rows.end();
        }

        TPresetDialogs dialogs;
        std::unique_ptr<TMainForm> form;
    };

    // A text of many lines, so that the preview has pages to turn.
    std::string LongDeck(int lines)
    {
        std::string deck = "<?xml version=\"1.0\"?>\n<wml><card id=\"long\" title=\"Long\"><p>\n";
        for (int i = 1; i <= lines; ++i)
            deck += "Row " + std::to_string(i) + "<br/>\n";
        return deck + "</p></card></wml>\n";
    }

    TEST(ZoomBoxTest, TheTextReadsAsTheDigitsItStartsWith)
    {
        struct TRow {
            const char* Text;
            int Zoom;
        };

        const TRow rows[] = {
            { "150 %", 150 },
            { "150%", 150 },
            { "150", 150 },
            { " 75 %", 75 },
            { "zoom", 100 },
            { "", 100 },
            { "%", 100 },
            { "0 %", 100 },
            { "2x5", 2 },
        };
        for (const TRow& row : rows)
            EXPECT_EQ(ZoomFromText(row.Text), row.Zoom) << '"' << row.Text << '"';
    }

    TEST_F(AuxiliaryWindowsTest, PreviewZoomBoxFollowsTypedTextAndClampsItsOwnChanges)
    {
        Open("long.wml", LongDeck(200));
        QPrinter printer(QPrinter::HighResolution);
        printer.setFullPage(true);
        printer.setPageSize(QPageSize(QPageSize::A4));
        view::TQtRVPrinter adapter(printer);
        TFormPrintPreview preview(*Form().RichView1, adapter, &Form());
        preview.show();
        QTest::qWait(10);
        EXPECT_EQ(preview.RVPrintPreview1->ZoomPercent(), 100);
        ASSERT_GT(preview.RVPrint1->PagesCount(), 2);
        EXPECT_EQ(preview.StatusText(0), "Page 1 / " + std::to_string(preview.RVPrint1->PagesCount()));
        EXPECT_EQ(preview.windowTitle(), Form().windowTitle());

        struct TTyped {
            const char* Text;
            int Zoom;
        };

        for (const TTyped typed :
            { TTyped { "150 %", 150 }, TTyped { "150%", 150 }, TTyped { "abc", 100 } }) {
            QLineEdit* edit = preview.ComboBox1->lineEdit();
            edit->clear();
            QTest::keyClicks(edit, typed.Text);
            QTest::keyClick(edit, Qt::Key_Return);
            EXPECT_EQ(preview.RVPrintPreview1->ZoomPercent(), typed.Zoom) << typed.Text;
        }

        struct TOwn {
            int Asked;
            int Zoom;
            const char* Box;
        };

        for (const TOwn own :
            { TOwn { 300, 250, "250 %" }, TOwn { 10, 20, "20 %" }, TOwn { 125, 125, "125 %" } }) {
            preview.RVPrintPreview1->SetZoomPercent(own.Asked);
            EXPECT_EQ(preview.RVPrintPreview1->ZoomPercent(), own.Zoom);
            EXPECT_EQ(preview.ComboBox1->currentText().toStdString(), own.Box);
        }
    }

    TEST_F(AuxiliaryWindowsTest, PreviewButtonsTurnThePagesWithinTheDocument)
    {
        Open("long.wml", LongDeck(200));
        QPrinter printer(QPrinter::HighResolution);
        printer.setFullPage(true);
        view::TQtRVPrinter adapter(printer);
        TFormPrintPreview preview(*Form().RichView1, adapter, &Form());
        preview.show();
        QTest::qWait(10);
        const int last = preview.RVPrint1->PagesCount();

        struct TRow {
            const char* Button;
            int Page;
        };

        const TRow rows[] = {
            { "ToolButton2", 1 }, // Prev on the first page
            { "ToolButton3", 2 }, // Next
            { "ToolButton4", last }, // Last
            { "ToolButton3", last }, // Next on the last page
            { "ToolButton2", last - 1 }, // Prev
            { "ToolButton1", 1 }, // First
        };
        for (const TRow& row : rows) {
            QTest::mouseClick(preview.Button(row.Button), Qt::LeftButton);
            EXPECT_EQ(preview.RVPrintPreview1->PageNo(), row.Page) << row.Button;
        }
        EXPECT_EQ(preview.StatusText(0), "Page 1 / " + std::to_string(last));
    }

    TEST_F(AuxiliaryWindowsTest, PrintPreviewOpensOnlyWhenAnAddressIsShown)
    {
        for (const bool loaded : { false, true }) {
            SCOPED_TRACE(loaded ? "deck shown" : "nothing shown");
            if (loaded)
                Open("short.wml", LongDeck(3));
            bool opened = false;
            bool maximised = false;
            QTimer::singleShot(50, [&] {
                if (auto* preview = qobject_cast<TFormPrintPreview*>(QApplication::activeModalWidget())) {
                    opened = true;
                    maximised = preview->windowState() & Qt::WindowMaximized;
                    preview->close();
                }
            });
            Form().Action("File_PrintPreview")->trigger();
            QTest::qWait(80);
            EXPECT_EQ(opened, loaded);
            EXPECT_EQ(maximised, loaded);
        }
    }

    TEST_F(AuxiliaryWindowsTest, PageSourceIsFilledForEveryCardAndSavedByteForByte)
    {
        // Mixed line ends and a Latin-1 byte: the saved file must be the deck itself.
        const std::string deck = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<wml>\n"
                                 "<card id=\"a\" title=\"A\"><p>Caf\xE9</p></card>\r"
                                 "<card id=\"b\" title=\"B\"><p>Two</p></card>\r\n</wml>";
        Open("deck.wml", deck);
        TPageSourceForm& source = Form().PageSourceForm();
        EXPECT_EQ(source.SourceBytes(), deck);
        // The editor is filled when the window shows.
        EXPECT_TRUE(source.RichEdit1->toPlainText().isEmpty());
        Form().Action("View_Source")->trigger();
        const QString shown = source.RichEdit1->toPlainText();
        EXPECT_TRUE(shown.contains(QString::fromUtf8("Caf\xC3\xA9"))) << shown.toStdString();
        EXPECT_TRUE(source.RichEdit1->isReadOnly());

        const std::string saved = (m_root / "saved.wml").string();
        source.OnChooseFile = [&](const QString&) { return QString::fromStdString(saved); };
        source.Window_SaveAsExecute();
        std::string bytes;
        ASSERT_TRUE(base::ReadBoundedFile(saved, bytes));
        EXPECT_EQ(bytes, deck);
        EXPECT_TRUE(dialogs.Shown.empty());

        Form().CompareAnnouncedVersion("1.0");
        EXPECT_TRUE(source.RichEdit1->toPlainText().isEmpty());
        // While the window shows, a newly shown card fills it at once.
        Open("deck.wml", deck, "b");
        EXPECT_EQ(source.SourceBytes(), deck);
        EXPECT_TRUE(source.RichEdit1->toPlainText().contains("Two"));
        source.hide();
    }

    TEST_F(AuxiliaryWindowsTest, AFailedSaveIsReportedInABox)
    {
        Open("deck.wml", LongDeck(2));
        TPageSourceForm& source = Form().PageSourceForm();
        source.OnChooseFile = [&](const QString&) {
            return QString::fromStdString((m_root / "no-such-dir" / "x.wml").string());
        };
        source.Window_SaveAsExecute();
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Kind, "error");
        EXPECT_NE(dialogs.Shown[0].Text.find("no-such-dir"), std::string::npos);
    }

    TEST_F(AuxiliaryWindowsTest, FileInfoReadsTheVersionBlockOfAProgramFile)
    {
        const std::string text = (m_root / "plain.txt").string();
        std::ofstream(text) << "no version here";

        struct TRow {
            const char* Case;
            std::string File;
            bool Read;
            const char* FileVersion;
            const char* Description;
            const char* ProductVersion;
            std::size_t Values;
        };

        const TRow rows[] = {
            { "the pivrel program", PIVREL_BINARY, true, "2.2.1.149", "Pivrel Browser", "2.2", 8 },
            { "a program without a block", QCoreApplication::applicationFilePath().toStdString(), false, "",
                "", "", 0 },
            { "a text file", text, false, "", "", "", 0 },
            { "a missing file", (m_root / "missing").string(), false, "", "", "", 0 },
        };
        for (const TRow& row : rows) {
            SCOPED_TRACE(row.Case);
            TFileInfo info;
            info.SourceFileName = row.File;
            EXPECT_EQ(info.ReadVersionInfo(), row.Read);
            EXPECT_EQ(info.FileVersion, row.FileVersion);
            EXPECT_EQ(info.FileDescription, row.Description);
            EXPECT_EQ(info.ProductVersion, row.ProductVersion);
            EXPECT_EQ(info.AllOfThem.size(), row.Values);
        }
    }

    TEST_F(AuxiliaryWindowsTest, AboutShowsTheVersionOfTheProgramFile)
    {
        TAboutForm about(PIVREL_BINARY);
        EXPECT_EQ(about.AppLabel->text().toStdString(), "Pivrel Browser");
        EXPECT_EQ(about.VersionLabel->text().toStdString(), "Version 2.2.1.149");
        EXPECT_EQ(about.VersionLabel->geometry().right(), about.AppLabel->geometry().right());
        TAboutForm bare(QCoreApplication::applicationFilePath().toStdString());
        EXPECT_EQ(bare.AppLabel->text().toStdString(), "");
        EXPECT_EQ(bare.VersionLabel->text().toStdString(), "Version ");
        std::string opened;
        about.OnOpenURL = [&](const std::string& url) {
            opened = url;
            return true;
        };
        QTest::mouseClick(about.Label1, Qt::LeftButton);
        EXPECT_EQ(opened, MakerAddress("/index.htm"));
    }

    TEST_F(AuxiliaryWindowsTest, DeckInformationFollowsNavigationAndVariables)
    {
        const std::string deck = "<?xml version=\"1.0\"?>\n<wml>"
                                 "<card id=\"first\" title=\"First card\"><p>Hello "
                                 "<input name=\"who\" value=\"Ann\"/> <a href=\"#second\">on</a></p></card>"
                                 "<card id=\"second\" title=\"Second card\"><p>Bye $(who)</p></card></wml>";
        const std::string path = Open("info.wml", deck);
        TDeckInformationForm& info = Form().DeckInformationForm();
        Form().activateWindow();
        QTest::keyClick(&Form(), Qt::Key_I, Qt::ControlModifier);
        ASSERT_TRUE(info.isVisible());
        std::vector<std::string> rows = TreeRows(*info.TreeView1);
        EXPECT_EQ(info.NumCards->text().toStdString(), "2");
        EXPECT_EQ(info.CardTitle->text().toStdString(), "First card");
        ASSERT_NE(info.TreeView1->currentItem(), nullptr);
        EXPECT_EQ(info.TreeView1->currentItem()->text(0).toStdString(), "#first  \"First card\"");
        EXPECT_TRUE(Has(rows, "0:Cards (2)"));
        EXPECT_TRUE(Has(rows, "2:TWMLText  \"Hello \""));
        EXPECT_TRUE(Has(rows, "2:TWMLInput  who = \"Ann\""));
        EXPECT_TRUE(Has(rows, "2:TWMLLink  \"on\"  -> #second"));
        EXPECT_TRUE(Has(rows, "1:who = \"Ann\""));
        EXPECT_TRUE(Has(rows, "1:> file://" + path));

        Form().Navigate("#second", true, false, false);
        Form().Browser().SetVariable("who", "Bob");
        info.Refresh();
        rows = TreeRows(*info.TreeView1);
        EXPECT_EQ(info.CardTitle->text().toStdString(), "Second card");
        EXPECT_EQ(info.TreeView1->currentItem()->text(0).toStdString(), "#second  \"Second card\"");
        EXPECT_TRUE(Has(rows, "1:who = \"Bob\""));
        EXPECT_TRUE(Has(rows, "1:  file://" + path));
        EXPECT_TRUE(Has(rows, "1:> file://" + path + "#second"));
        EXPECT_TRUE(Has(rows, "0:History (2)"));
    }

    TEST_F(AuxiliaryWindowsTest, SourceAndDeckInformationOpenWithoutBlocking)
    {
        struct TRow {
            const char* Action;
            QWidget* (*Window)(TMainForm&);
        };

        const TRow rows[] = {
            { "View_Source", [](TMainForm& f) -> QWidget* { return &f.PageSourceForm(); } },
            { "View_DeckInformation", [](TMainForm& f) -> QWidget* { return &f.DeckInformationForm(); } },
        };
        for (const TRow& row : rows) {
            SCOPED_TRACE(row.Action);
            Form().Action(row.Action)->trigger();
            EXPECT_TRUE(row.Window(Form())->isVisible());
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
            row.Window(Form())->hide();
        }
    }

} // namespace
} // namespace pivrel::app
