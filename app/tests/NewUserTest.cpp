// The window as a new user meets it: a profile that does not exist yet, failures that must not
// cost the page on show, and a card driven from the keyboard and the wheel.

#include "app/CommandLine.h"
#include "app/fMainForm.h"
#include "view/PVObjects.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempDir.h"

namespace pivrel::app {
namespace {

    namespace fs = std::filesystem;

    class NewUserTest : public ::testing::Test
    {
    protected:
        // The profile lies two levels below a folder that exists.
        NewUserTest() { ::setenv("PIVREL_HOME", home.c_str(), 1); }

        ~NewUserTest() override
        {
            form.reset();
            server.Stop();
        }

        TMainForm& Start(bool openHome = false)
        {
            form = std::make_unique<TMainForm>(dialogs);
            form->SetOpenHomeOnShow(openHome);
            form->show();
            QApplication::setActiveWindow(form.get());
            QTest::qWait(20);
            return *form;
        }

        std::string WriteDeck(const std::string& name, const std::string& cards)
        {
            const std::string path = temp.Path() + "/" + name;
            std::ofstream(path, std::ios::binary) << "<?xml version=\"1.0\"?>\r\n<wml>\r\n"
                                                  << cards << "\r\n</wml>\r\n";
            return "file://" + path;
        }

        bool ShowsTitle(const std::string& title)
        {
            const std::string wanted = "Pivrel 2.2 - " + title;
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (form->windowTitle().toStdString() != wanted) {
                if (std::chrono::steady_clock::now() > end)
                    return false;
                QTest::qWait(5);
            }
            return true;
        }

        testsupport::TTempDir temp { "pivrel-newuser" };
        const std::string home = temp.Path() + "/not/yet";
        testsupport::TLoopbackHttpServer server;
        TPresetDialogs dialogs;
        std::unique_ptr<TMainForm> form;
    };

    TEST_F(NewUserTest, FirstStartShowsTheWelcomeDeckWithoutABox)
    {
        Start(true);
        ASSERT_TRUE(ShowsTitle("Welcome to Pivrel"));
        EXPECT_TRUE(dialogs.Shown.empty());
        EXPECT_TRUE(form->Browser().CurrentURL().ends_with("/samples/welcome.wml"));
    }

    TEST_F(NewUserTest, StartAddressThatFailsStaysInTheLocationBox)
    {
        const std::string missing = temp.Path() + "/missing.wml";
        form = std::make_unique<TMainForm>(dialogs);
        form->SetStartParameters({ missing });
        form->show();
        for (int i = 0; i < 200 && dialogs.Shown.empty(); ++i)
            QTest::qWait(5);
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_NE(dialogs.Shown[0].Text.find("cannot read " + missing), std::string::npos);
        // The home page does not replace the address that was asked for.
        QTest::qWait(100);
        EXPECT_EQ(form->RenderCount(), 0);
        EXPECT_EQ(form->LocationBox->currentText().toStdString(), "file://" + missing);
    }

    TEST_F(NewUserTest, FirstFetchMakesTheMissingFoldersAndLoads)
    {
        server.AddResponse(testsupport::MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/vnd.wap.wml" },
            "<wml><card id=\"n\" title=\"Net\"><p>n</p></card></wml>"));
        Start();
        form->NavigateAsTyped(server.Url("/n.wml"));
        ASSERT_TRUE(ShowsTitle("Net"));
        EXPECT_TRUE(fs::is_directory(home + "/Cache"));
        EXPECT_TRUE(dialogs.Shown.empty());
    }

    TEST_F(NewUserTest, FailedLoadKeepsThePageItsAddressAndItsLinks)
    {
        const std::string deck = WriteDeck("a.wml",
            "<card id=\"a\" title=\"A\"><p><a href=\"b.wml\">to b</a></p></card><card "
            "id=\"x\"><p>x</p></card>");
        WriteDeck("b.wml", "<card id=\"b\" title=\"B\"><p>b</p></card>");
        Start();
        form->NavigateAsTyped(deck);
        ASSERT_TRUE(ShowsTitle("A"));

        const std::string missing = temp.Path() + "/missing.wml";
        form->NavigateAsTyped(missing);
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Text,
            "Unable to locate server. Check your spelling.\r\rReason : cannot read " + missing
                + ": No such file or directory");
        EXPECT_EQ(form->Browser().CurrentURL(), deck);
        EXPECT_EQ(form->LocationBox->currentText().toStdString(), deck);
        EXPECT_EQ(form->StatusText(1), "2 Cards");
        EXPECT_FALSE(form->Action("Browser_Stop")->isEnabled());

        // A reload that fails keeps the address the relative link resolves against.
        fs::rename(temp.Path() + "/a.wml", temp.Path() + "/gone.wml");
        form->Action("Browser_Reload")->trigger();
        EXPECT_EQ(form->Browser().CurrentURL(), deck);
        QTest::keyClick(form->RichView1, Qt::Key_1);
        EXPECT_TRUE(ShowsTitle("B"));
    }

    TEST_F(NewUserTest, FailuresToSaveAreReported)
    {
        const std::string deck = WriteDeck("a.wml", "<card id=\"a\" title=\"A\"><p>a</p></card>");
        fs::create_directories(home + "/Recent.lst");
        Start();
        form->NavigateAsTyped(deck);
        ASSERT_TRUE(ShowsTitle("A"));
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Text.rfind("Could not save " + home + "/Recent.lst: ", 0), 0u);
        // Once per file: the next page does not ask again.
        form->NavigateAsTyped(WriteDeck("b.wml", "<card id=\"b\" title=\"B\"><p>b</p></card>"));
        ASSERT_TRUE(ShowsTitle("B"));
        EXPECT_EQ(dialogs.Shown.size(), 1u);

        const std::string unwritable = temp.Path() + "/no/such/folder/page.txt";
        for (const auto format : { TMainForm::TPageFormat::Text, TMainForm::TPageFormat::Html }) {
            dialogs.Shown.clear();
            EXPECT_FALSE(form->SavePageAs(unwritable, format));
            ASSERT_EQ(dialogs.Shown.size(), 1u);
            EXPECT_EQ(dialogs.Shown[0].Text.rfind("Could not save the page as " + unwritable, 0), 0u);
        }
        dialogs.Shown.clear();
        EXPECT_TRUE(form->SavePageAs(temp.Path() + "/page.txt", TMainForm::TPageFormat::Text));
        EXPECT_TRUE(dialogs.Shown.empty());

        fs::create_directories(home + "/Pivrel.ini");
        form->SaveSettings();
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Text.rfind("Could not save " + home + "/Pivrel.ini: ", 0), 0u);
    }

    TEST_F(NewUserTest, TabStepsThroughLinksAndInputsAndDigitsFollowLinks)
    {
        const std::string deck = WriteDeck("k.wml",
            "<card id=\"a\" title=\"Keys\"><p><a href=\"#b\">first</a> <input name=\"v\"/> "
            "<a href=\"#c\">second</a></p></card>"
            "<card id=\"b\" title=\"B\"><p>b</p></card><card id=\"c\" title=\"C\"><p>c</p></card>");
        Start();
        form->NavigateAsTyped(deck);
        ASSERT_TRUE(ShowsTitle("Keys"));
        view::TRichView& card = *form->RichView1;
        card.setFocus();
        const int first = card.LinkJump(0);
        const int second = card.LinkJump(1);
        ASSERT_GE(first, 0);
        ASSERT_GT(second, first);
        EXPECT_EQ(card.LinkJump(2), -1);

        struct TStep {
            bool Forward;
            int Jump; // -1: the input has the focus
        };

        const TStep steps[]
            = { { true, first }, { true, -1 }, { true, second }, { false, -1 }, { false, first } };
        for (const TStep& step : steps) {
            EXPECT_TRUE(card.MoveFocus(step.Forward));
            EXPECT_EQ(card.FocusedJump(), step.Jump);
            EXPECT_EQ(qobject_cast<view::TPVInput*>(QApplication::focusWidget()) != nullptr, step.Jump < 0);
        }
        EXPECT_FALSE(card.MoveFocus(false));

        // A digit typed into the input is text, not a link.
        view::TPVInput* input = card.findChild<view::TPVInput*>();
        ASSERT_NE(input, nullptr);
        QTest::keyClick(input, Qt::Key_2);
        EXPECT_EQ(input->text().toStdString(), "2");
        EXPECT_EQ(form->windowTitle().toStdString(), "Pivrel 2.2 - Keys");

        QTest::keyClick(&card, Qt::Key_2);
        ASSERT_TRUE(ShowsTitle("C"));
        form->Action("Browser_Back")->trigger();
        ASSERT_TRUE(ShowsTitle("Keys"));
        card.setFocus();
        card.MoveFocus(true);
        QTest::keyClick(&card, Qt::Key_Return);
        EXPECT_TRUE(ShowsTitle("B"));
    }

    TEST_F(NewUserTest, WheelOverAClosedListPicksNothing)
    {
        std::string lines;
        for (int i = 0; i < 80; ++i)
            lines += "line " + std::to_string(i) + "<br/>";
        const std::string deck = WriteDeck("w.wml",
            "<card id=\"a\" title=\"Wheel\"><p><select name=\"s\"><option value=\"1\">one</option>"
            "<option value=\"2\" onpick=\"#b\">two</option></select><br/>"
                + lines + "</p></card><card id=\"b\" title=\"Picked\"><p>b</p></card>");
        Start();
        form->resize(300, 300);
        form->NavigateAsTyped(deck);
        ASSERT_TRUE(ShowsTitle("Wheel"));
        QTest::qWait(20);
        auto* list = form->RichView1->findChild<view::TPVSelectSingle*>();
        ASSERT_NE(list, nullptr);
        const int before = list->currentIndex();
        const int top = form->RichView1->VPos();
        const QPointF at(list->width() / 2.0, list->height() / 2.0);
        QWheelEvent notch(at, list->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        // The list leaves the notch unaccepted, so that it travels on to the card, which scrolls.
        QApplication::sendEvent(list, &notch);
        EXPECT_FALSE(notch.isAccepted());
        QTest::qWait(50);
        EXPECT_EQ(list->currentIndex(), before);
        EXPECT_TRUE(form->PendingURL().empty());
        EXPECT_EQ(form->RichView1->VPos(), top);
        EXPECT_EQ(form->windowTitle().toStdString(), "Pivrel 2.2 - Wheel");
    }

    TEST_F(NewUserTest, NewCardStartsAtItsTopAndCopyUsesLineFeeds)
    {
        std::string lines;
        for (int i = 0; i < 80; ++i)
            lines += "line " + std::to_string(i) + "<br/>";
        const std::string deck = WriteDeck("s.wml",
            "<card id=\"a\" title=\"Long\"><p>" + lines + "<a href=\"#b\">down</a></p></card>"
                + "<card id=\"b\" title=\"Also long\"><p>top</p><p>" + lines + "</p></card>");
        Start();
        form->resize(300, 300);
        form->NavigateAsTyped(deck);
        ASSERT_TRUE(ShowsTitle("Long"));
        form->RichView1->ScrollTo(1000);
        ASSERT_GT(form->RichView1->VPos(), 0);
        form->NavigateAsTyped(deck + "#b");
        ASSERT_TRUE(ShowsTitle("Also long"));
        EXPECT_EQ(form->RichView1->VPos(), 0);

        form->Action("Edit_Copy")->trigger();
        const std::string copied = QApplication::clipboard()->text().toStdString();
        EXPECT_EQ(copied.rfind("top\nline 0\n", 0), 0u) << copied.substr(0, 40);
        EXPECT_EQ(copied.find('\r'), std::string::npos);
    }

    TEST_F(NewUserTest, LocationBoxOpensWhatWasTypedAndPathsAsFiles)
    {
        const std::string deck = WriteDeck("typed.wml", "<card id=\"t\" title=\"Typed\"><p>t</p></card>");
        Start();
        EXPECT_EQ(form->LocationBox->completer(), nullptr);
        form->LocationBox->addItem(QString::fromStdString(deck + "x"));
        QLineEdit* edit = form->LocationBox->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, QString::fromStdString(deck.substr(7)));
        EXPECT_EQ(form->LocationBox->currentText().toStdString(), deck.substr(7));
        QTest::keyClick(edit, Qt::Key_Return);
        ASSERT_TRUE(ShowsTitle("Typed"));
        EXPECT_EQ(form->Browser().CurrentURL(), deck);
    }

    TEST_F(NewUserTest, ShortcutsReachTheLocationBoxAndTheHistory)
    {
        Start();
        const QKeySequence keys[] = { QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::Key_F6) };
        for (const QKeySequence& key : keys)
            EXPECT_TRUE(form->Action("Location_Focus")->shortcuts().contains(key))
                << key.toString().toStdString();
        form->LocationBox->setEditText("typed");
        form->Action("Location_Focus")->trigger();
        EXPECT_EQ(form->LocationBox->lineEdit()->selectedText(), "typed");
        EXPECT_TRUE(form->Action("Browser_Back")->shortcuts().contains(QKeySequence(Qt::ALT | Qt::Key_Left)));
        EXPECT_TRUE(
            form->Action("Browser_Forward")->shortcuts().contains(QKeySequence(Qt::ALT | Qt::Key_Right)));
        EXPECT_EQ(form->Action("Browser_Stop")->shortcut(), QKeySequence(Qt::Key_Escape));
    }

    TEST(CommandLineTest, WindowArgumentsAreReadStrictly)
    {
        struct TCase {
            std::vector<std::string> Arguments;
            bool Valid;
            TWindowOptions::TAction Action;
            std::string Address;
            int ViewportWidth;
        };

        using TAction = TWindowOptions::TAction;
        const std::vector<TCase> cases {
            { {}, true, TAction::Open, "", 0 },
            { { "file:///home/me/deck.wml" }, true, TAction::Open, "file:///home/me/deck.wml", 0 },
            { { "/my", "decks/a.wml" }, true, TAction::Open, "/my decks/a.wml", 0 },
            { { "--viewport", "96x65", "http://h/" }, true, TAction::Open, "http://h/", 96 },
            { { "--help" }, true, TAction::Help, "", 0 },
            { { "http://h/", "--version" }, true, TAction::Version, "http://h/", 0 },
            { { "--bogus" }, false, TAction::Open, "", 0 },
            { { "--viewport" }, false, TAction::Open, "", 0 },
            { { "--size", "0x10" }, false, TAction::Open, "", 0 },
        };
        for (const TCase& c : cases) {
            std::string error;
            const auto options = ParseWindowArguments(c.Arguments, error);
            const std::string shown = c.Arguments.empty() ? "(none)" : c.Arguments[0];
            ASSERT_EQ(options.has_value(), c.Valid) << shown;
            EXPECT_EQ(error.empty(), c.Valid) << shown;
            if (!options)
                continue;
            EXPECT_EQ(options->Action, c.Action) << shown;
            EXPECT_EQ(options->Address, c.Address) << shown;
            EXPECT_EQ(options->ViewportWidth, c.ViewportWidth) << shown;
        }
    }

    TEST(CommandLineTest, PathsBecomeFileAddressesAndHostsStay)
    {
        testsupport::TTempDir dir { "pivrel-paths" };
        std::ofstream(dir.Path() + "/here.wml") << "x";
        const fs::path previous = fs::current_path();
        fs::current_path(dir.Path());
        const char* home = std::getenv("HOME");
        const std::string oldHome = home != nullptr ? home : "";
        ::setenv("HOME", "/home/me", 1);
        const std::pair<std::string, std::string> cases[] = {
            { "here.wml", "file://" + dir.Path() + "/here.wml" },
            { "./sub/../here.wml", "file://" + dir.Path() + "/here.wml" },
            { "~/deck.wml", "file:///home/me/deck.wml" },
            { "/abs/missing.wml", "file:///abs/missing.wml" },
            { "wap.example.com", "wap.example.com" },
            { "http://h/x.wml", "http://h/x.wml" },
            { "file:rel.wml", "file:rel.wml" },
        };
        for (const auto& [typed, address] : cases)
            EXPECT_EQ(AddressFromArgument(typed), address) << typed;
        ::setenv("HOME", oldHome.c_str(), 1);
        fs::current_path(previous);
    }

    TEST(ProgressTextTest, NamesTheFileAndCountsItsBytes)
    {
        const std::tuple<std::string, std::int64_t, std::int64_t, std::string> cases[] = {
            { "http://h/dir/deck.wml?x=1", 300, 1200, "deck.wml: 300 of 1200 bytes" },
            { "http://h/pic.wbmp", 40, -1, "pic.wbmp: 40 bytes" },
            { "http://h/", 0, 0, "http://h/: 0 of 0 bytes" },
        };
        for (const auto& [address, received, total, text] : cases)
            EXPECT_EQ(ProgressText(address, received, total), text) << address;
    }

} // namespace
} // namespace pivrel::app
