#include "app/CommandLine.h"
#include "app/Headless.h"
#include "app/fFormBookmarkEdit.h"
#include "app/fFormOpenLocation.h"
#include "app/fMainForm.h"
#include "app/fPropertiesForm.h"
#include "view/PVObjects.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"

namespace pivrel::app {
namespace {

    using testsupport::MakeResponse;
    using testsupport::TScriptedResponse;
    namespace fs = std::filesystem;

    constexpr int kWaitMs = 10000;

    std::string Deck(const std::string& cards)
    {
        return "<?xml version=\"1.0\"?>\r\n<wml>\r\n" + cards + "\r\n</wml>\r\n";
    }

    TScriptedResponse Ok(const std::string& body, const std::string& contentType = "text/vnd.wap.wml")
    {
        return MakeResponse("HTTP/1.0 200 OK", { "Content-Type: " + contentType }, body);
    }

    std::string RequestBody(const std::string& request)
    {
        const std::size_t end = request.find("\r\n\r\n");
        return end == std::string::npos ? std::string() : request.substr(end + 4);
    }

    std::string FirstLine(const std::string& request)
    {
        return request.substr(0, request.find("\r\n"));
    }

    // Turns the loop until the condition holds or the time is up.
    template <typename Condition> bool WaitUntil(Condition condition, int timeoutMs = kWaitMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            QTest::qWait(5);
        }
        return true;
    }

    // Runs the action on the next modal window that opens (bounded: gives up after the wait).
    template <typename Window> void WhenModal(std::function<void(Window&)> action)
    {
        auto* poll = new QTimer;
        auto started
            = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
        QObject::connect(poll, &QTimer::timeout, [poll, action, started] {
            if (auto* window = qobject_cast<QWidget*>(QApplication::activeModalWidget())) {
                if (auto* typed = dynamic_cast<Window*>(window)) {
                    poll->stop();
                    poll->deleteLater();
                    action(*typed);
                    return;
                }
            }
            if (std::chrono::steady_clock::now() - *started > std::chrono::milliseconds(kWaitMs)) {
                poll->stop();
                poll->deleteLater();
                if (QWidget* window = QApplication::activeModalWidget())
                    window->close();
            }
        });
        poll->start(10);
    }

    template <typename Widget> std::vector<Widget*> Widgets(QWidget& view)
    {
        std::vector<Widget*> found;
        for (Widget* widget : view.findChildren<Widget*>()) {
            // Widgets of an earlier card wait for their deferred deletion.
            if (widget->isVisibleTo(&view))
                found.push_back(widget);
        }
        return found;
    }

    class MainFormTest : public ::testing::Test
    {
    protected:
        MainFormTest() { ::setenv("PIVREL_HOME", home.c_str(), 1); }

        ~MainFormTest() override
        {
            form.reset();
            server.Stop();
        }

        // The window as the program shows it, but without opening the home page.
        TMainForm& Form()
        {
            if (!form) {
                form = std::make_unique<TMainForm>(dialogs);
                form->SetOpenHomeOnShow(false);
                form->OnStatusText = [this](int panel, const std::string& text) {
                    if (panel == 0)
                        statusTexts.push_back(text);
                };
                form->show();
                // Every wait below ends, whatever the window does.
                watchdog = std::make_unique<QTimer>();
                watchdog->setSingleShot(true);
                QObject::connect(watchdog.get(), &QTimer::timeout, [this] {
                    if (form)
                        form->Browser().Stop();
                });
                watchdog->start(3 * kWaitMs);
                QTest::qWait(20);
            }
            return *form;
        }

        // Types the address into the location box and presses Enter.
        void Type(const std::string& text)
        {
            QLineEdit* edit = Form().LocationBox->lineEdit();
            edit->clear();
            QTest::keyClicks(edit, QString::fromStdString(text));
            QTest::keyClick(edit, Qt::Key_Return);
        }

        std::string ViewText()
        {
            std::string text;
            for (const auto& item : Form().RichView1->Items())
                text += item.Text + "|";
            return text;
        }

        std::string Title() { return Form().windowTitle().toStdString(); }

        void WriteFile(const std::string& path, const std::string& text)
        {
            fs::create_directories(fs::path(path).parent_path());
            std::ofstream(path, std::ios::binary) << text;
        }

        // Navigates to a server that answers with a status line and then nothing, and calls
        // duringFetch once from a timer while the navigation waits; the navigation's wait is below
        // every later callback, so that is the only place such checks can run. Returns once the
        // navigation has returned and done() holds; false when duringFetch never ran.
        bool WhileAFetchHangs(
            const std::function<void()>& duringFetch, const std::function<bool()>& done = [] { return true; })
        {
            TScriptedResponse endless = Ok(Deck("<card id=\"a\"><p>never</p></card>"));
            endless.Chunks = { "HTTP/1.0 200 OK\r\n" };
            endless.KeepOpen = true;
            server.AddResponse(endless);
            Form();
            bool navigationReturned = false;
            bool ran = false;
            QTimer::singleShot(0, [&] {
                form->Navigate(server.Url("/slow.wml"), true, true, false);
                navigationReturned = true;
            });
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (ran || server.RequestCount() == 0)
                    return;
                ran = true;
                duringFetch();
            });
            poll.start(5);
            EXPECT_TRUE(WaitUntil([&] { return navigationReturned && done(); }));
            return ran;
        }

        testsupport::TTempDir temp { "pivrel-mainform" };
        const std::string home = temp.Path();
        TPresetDialogs dialogs;
        testsupport::TLoopbackHttpServer server;
        std::unique_ptr<TMainForm> form;
        std::unique_ptr<QTimer> watchdog;
        std::vector<std::string> statusTexts;
    };

    TEST_F(MainFormTest, ActionsStartWithTheirCaptionsShortcutsImagesAndStates)
    {
        struct TRow {
            const char* Name;
            const char* Caption;
            const char* Shortcut;
            int Image;
            bool Enabled;
        };

        const TRow rows[] = {
            { "File_Open", "&Open location ...", "Ctrl+O", 8, true },
            { "File_Exit", "E&xit", "Alt+X", -1, true },
            { "File_SaveAs", "Save &As", "Ctrl+S", 7, true },
            { "File_PrintSetup", "Printer Set&up", "", -1, true },
            { "File_PrintPreview", "Print Pre&view", "", 6, true },
            { "File_Print", "&Print", "Ctrl+P", 10, true },
            { "Edit_Copy", "&Copy", "", -1, true },
            { "Edit_SelectAll", "Select &All", "Ctrl+A", -1, true },
            { "Edit_Properties", "Properties", "", 5, true },
            { "Browser_Back", "Back", "Alt+Left", 0, false },
            { "Browser_Forward", "Forward", "Alt+Right", 1, false },
            { "Browser_Reload", "Reload", "F5", 3, true },
            { "Browser_Stop", "Stop", "Esc", 4, false },
            { "Browser_Home", "Home", "Ctrl+H", 2, true },
            { "View_EricssonMC218", "&Ericsson MC-218", "Alt+1", -1, true },
            { "View_R320", "Ericsson &R320", "Alt+2", -1, true },
            { "View_Nokia7110", "&Nokia 7110", "Alt+3", -1, true },
            { "View_A4_Width", "&A4 paper size", "Alt+0", -1, true },
            { "View_Source", "&Source", "", -1, true },
            { "View_DeckInformation", "Deck &Information", "Ctrl+I", -1, false },
            { "Bookmark_AddBookmark", "&Add Bookmark", "Ctrl+B", -1, true },
            { "Bookmark_EditBookmarks", "&Open Bookmarks", "", -1, true },
            { "Help_Contents", "&Contents", "F1", -1, true },
            { "Help_Search", "Search", "", 11, true },
            { "Check4NewVersion", "Check if newer version is available", "", -1, true },
            { "Feedback", "Send us feedback", "", -1, true },
            { "Help_Quillfen", "Quillfen's WWW Site", "", -1, true },
            { "Help_QuillfenWap", "Quillfen's WAP Site", "", -1, true },
            { "Help_About", "About", "Ctrl+F1", -1, true },
        };
        for (const TRow& row : rows) {
            SCOPED_TRACE(row.Name);
            QAction* action = Form().Action(row.Name);
            ASSERT_NE(action, nullptr);
            EXPECT_EQ(action->text().toStdString(), row.Caption);
            EXPECT_EQ(action->shortcut().toString().toStdString(), row.Shortcut);
            const QVariant image = action->property("ImageIndex");
            EXPECT_EQ(image.isValid() ? image.toInt() : -1, row.Image);
            EXPECT_EQ(action->isEnabled(), row.Enabled);
        }
        EXPECT_FALSE(Form().Action("View_DeckInformation")->isVisible());
        EXPECT_EQ(Form().Action("Browser_Reload")->toolTip().toStdString(), "Reload page");
        EXPECT_EQ(Form().Action("Browser_Home")->toolTip().toStdString(), "Go to Homepage");
        EXPECT_EQ(Title(), "Pivrel 2.2");
    }

    TEST_F(MainFormTest, PadlockShowsWhileAnHttpsPageIsShown)
    {
        testsupport::TTempDir certificateDir;
        const testsupport::TTestCertificates certificates(certificateDir.Path());
        std::ofstream(home + "/Pivrel.ini") << "[NETWORK]\r\nCaFile=" << certificates.Authority << "\r\n";
        testsupport::TLoopbackHttpServer secure(&certificates.Good);
        secure.SetFallback(Ok(Deck("<card id=\"s\"><p>Secure</p></card>")));
        server.AddResponse(Ok(Deck("<card id=\"p\"><p>Plain</p></card>")));
        auto* padlock = Form().findChild<QLabel*>("SecurePanel");
        ASSERT_NE(padlock, nullptr);
        EXPECT_FALSE(padlock->isVisible());

        Type(secure.Url("/s.wml"));
        ASSERT_TRUE(WaitUntil([&] { return ViewText().find("Secure") != std::string::npos; }));
        EXPECT_TRUE(padlock->isVisible());
        Type(server.Url("/p.wml"));
        ASSERT_TRUE(WaitUntil([&] { return ViewText().find("Plain") != std::string::npos; }));
        EXPECT_FALSE(padlock->isVisible());
    }

    TEST_F(MainFormTest, TypedAddressLoadsTheDeckWithStatusTextsInOrder)
    {
        server.AddResponse(Ok(Deck("<card id=\"a\" title=\"First $(x)\"><p>One</p></card>"
                                   "<card id=\"b\" title=\"Second\"><p>Two</p></card>")));
        Type(server.Url("/d.wml"));

        EXPECT_EQ(Title(), "Pivrel 2.2 - First ");
        EXPECT_EQ(Form().ShownCardTitle(), "First $(x)");
        EXPECT_EQ(Form().LocationBox->currentText().toStdString(), server.Url("/d.wml"));
        EXPECT_EQ(Form().StatusText(1), "2 Cards");
        EXPECT_EQ(Form().StatusText(0), "Done");
        EXPECT_NE(ViewText().find("One"), std::string::npos);
        ASSERT_EQ(server.RequestCount(), 1u);
        EXPECT_EQ(FirstLine(server.Requests()[0]), "GET /d.wml HTTP/1.0");

        // Every status reaches the panel in the order the fetch goes through its stages; the
        // trace lines go only to the log.
        const std::vector<std::string> expected { "Connecting...", "Connected", "Waiting ...", "Waiting ...",
            "Disconnected", "Parsing...", "Drawing", "Done" };
        EXPECT_EQ(statusTexts, expected);
        std::vector<std::string> logged;
        bool traced = false;
        for (const std::string& line : Form().Log()) {
            if (line.rfind("* ", 0) == 0)
                traced = true;
            else
                logged.push_back(line);
        }
        EXPECT_TRUE(traced);
        EXPECT_EQ(logged, std::vector<std::string>(expected.begin(), expected.end() - 2));
        // A typed address is offered again by the box; nothing is pending.
        ASSERT_EQ(Form().TypedLocations().Items().size(), 1u);
        EXPECT_EQ(Form().TypedLocations().Items()[0], server.Url("/d.wml"));
        EXPECT_TRUE(Form().PendingURL().empty());
        EXPECT_FALSE(Form().Action("Browser_Stop")->isEnabled());
    }

    TEST_F(MainFormTest, LinksJumpFromTheirNumbersBackForwardAndReloadFollowTheHistory)
    {
        server.AddResponse(Ok(Deck("<card id=\"a\" title=\"A\"><p><a href=\"/one.wml\">One</a> "
                                   "<a href=\"/two.wml\">Two</a> "
                                   "<anchor>Send<go href=\"/post.wml\" method=\"post\">"
                                   "<postfield name=\"n\" value=\"2\"/></go></anchor></p></card>")));
        Type(server.Url("/links.wml"));
        ASSERT_EQ(Title(), "Pivrel 2.2 - A");
        EXPECT_FALSE(Form().Action("Browser_Back")->isEnabled());

        // The second link has the second number of the card.
        server.AddResponse(Ok(Deck("<card id=\"t\" title=\"Two\"><p>2</p></card>")));
        Form().RichView1->OnJump(*Form().RichView1, 4097);
        ASSERT_EQ(server.RequestCount(), 2u);
        EXPECT_EQ(FirstLine(server.Requests()[1]), "GET /two.wml HTTP/1.0");
        EXPECT_EQ(Title(), "Pivrel 2.2 - Two");
        EXPECT_TRUE(Form().Action("Browser_Back")->isEnabled());
        EXPECT_FALSE(Form().Action("Browser_Forward")->isEnabled());

        // Back and Forward fetch afresh and set their actions from the history.
        server.AddResponse(Ok(Deck("<card id=\"a\" title=\"A\"><p><a href=\"/one.wml\">One</a> "
                                   "<a href=\"/two.wml\">Two</a> "
                                   "<anchor>Send<go href=\"/post.wml\" method=\"post\">"
                                   "<postfield name=\"n\" value=\"2\"/></go></anchor></p></card>")));
        Form().Action("Browser_Back")->trigger();
        EXPECT_EQ(Title(), "Pivrel 2.2 - A");
        EXPECT_FALSE(Form().Action("Browser_Back")->isEnabled());
        EXPECT_TRUE(Form().Action("Browser_Forward")->isEnabled());

        // Reload fetches the same address again rather than treating it as a move in the deck.
        server.AddResponse(Ok(Deck("<card id=\"a\" title=\"A again\"><p><a href=\"/one.wml\">One</a> "
                                   "<a href=\"/two.wml\">Two</a> "
                                   "<anchor>Send<go href=\"/post.wml\" method=\"post\">"
                                   "<postfield name=\"n\" value=\"2\"/></go></anchor></p></card>")));
        Form().Action("Browser_Reload")->trigger();
        ASSERT_EQ(server.RequestCount(), 4u);
        EXPECT_EQ(FirstLine(server.Requests()[3]), "GET /links.wml HTTP/1.0");
        EXPECT_EQ(Title(), "Pivrel 2.2 - A again");

        // The third link posts the card's fields.
        server.AddResponse(Ok(Deck("<card id=\"p\" title=\"Posted\"><p>ok</p></card>")));
        Form().RichView1->OnJump(*Form().RichView1, 4098);
        ASSERT_EQ(server.RequestCount(), 5u);
        EXPECT_EQ(FirstLine(server.Requests()[4]), "POST /post.wml HTTP/1.0");
        EXPECT_NE(server.Requests()[4].find("n=2"), std::string::npos);

        // A number no link has is ignored; the mouse over a link names it in panel 2.
        Form().RichView1->OnJump(*Form().RichView1, 4200);
        EXPECT_EQ(server.RequestCount(), 5u);
    }

    TEST_F(MainFormTest, ButtonsApplySetvarsAndRefreshThroughTheTimer)
    {
        server.AddResponse(
            Ok(Deck("<card id=\"a\" title=\"X=$(x)\"><do type=\"accept\" label=\"Set\">"
                    "<refresh><setvar name=\"x\" value=\"7\"/></refresh></do>"
                    "<do type=\"options\" label=\"Next\"><go href=\"/next.wml\">"
                    "<setvar name=\"x\" value=\"5\"/></go></do><p>x is $(x)<input name=\"x\"/></p></card>")));
        Type(server.Url("/buttons.wml"));
        ASSERT_EQ(Title(), "Pivrel 2.2 - X=");
        auto buttons = Widgets<view::TPVBtn>(*Form().RichView1);
        ASSERT_EQ(buttons.size(), 2u);

        // The click only records the request; the navigation starts from the timer.
        const int renders = Form().RenderCount();
        buttons[0]->click();
        EXPECT_EQ(Form().RenderCount(), renders);
        EXPECT_TRUE(Form().PendingRefresh());
        EXPECT_EQ(Form().PendingURL(), server.Url("/buttons.wml"));
        ASSERT_TRUE(WaitUntil([&] { return Form().RenderCount() > renders; }));
        EXPECT_EQ(Title(), "Pivrel 2.2 - X=7");
        EXPECT_NE(ViewText().find("x is 7"), std::string::npos);
        // A refresh redraws the deck on show: no fetch, no history entry.
        EXPECT_EQ(server.RequestCount(), 1u);
        EXPECT_FALSE(Form().Action("Browser_Back")->isEnabled());

        server.AddResponse(Ok(Deck("<card id=\"n\" title=\"Next\"><p>n</p></card>")));
        buttons = Widgets<view::TPVBtn>(*Form().RichView1);
        ASSERT_EQ(buttons.size(), 2u);
        buttons[1]->click();
        EXPECT_FALSE(Form().PendingRefresh());
        ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() == 2u && Title() == "Pivrel 2.2 - Next"; }));
        // The setvar of the go went into the variable before the address was substituted.
        EXPECT_EQ(FirstLine(server.Requests()[1]), "GET /next.wml HTTP/1.0");
        EXPECT_TRUE(Form().Action("Browser_Back")->isEnabled());
    }

    TEST_F(MainFormTest, ASoftKeyPostsItsOwnFieldsFromWhatWasTyped)
    {
        server.AddResponse(
            Ok(Deck("<card id=\"l\" title=\"Login\"><do type=\"accept\" label=\"Login\">"
                    "<go href=\"login.php\" method=\"post\"><postfield name=\"user\" value=\"$(user)\"/>"
                    "</go></do><p><input name=\"user\"/><a>Other<go href=\"/x\" method=\"post\">"
                    "<postfield name=\"secret\" value=\"s\"/></go></a></p></card>")));
        Type(server.Url("/w/login.wml"));
        ASSERT_EQ(Title(), "Pivrel 2.2 - Login");
        Widgets<view::TPVInput>(*Form().RichView1).at(0)->setText("bob b");
        server.AddResponse(Ok(Deck("<card id=\"ok\" title=\"Welcome\"><p>ok</p></card>")));
        Widgets<view::TPVBtn>(*Form().RichView1).at(0)->click();
        ASSERT_TRUE(WaitUntil([&] { return Title() == "Pivrel 2.2 - Welcome"; }));
        ASSERT_EQ(server.RequestCount(), 2u);
        EXPECT_EQ(FirstLine(server.Requests()[1]), "POST /w/login.php HTTP/1.0");
        EXPECT_EQ(RequestBody(server.Requests()[1]), "user=bob+b");
    }

    TEST_F(MainFormTest, ListsAndInputsWriteTheirVariables)
    {
        server.AddResponse(Ok(Deck("<card id=\"a\" title=\"Form\"><p>"
                                   "<select name=\"m\" multiple=\"true\"><option value=\"a\">A</option>"
                                   "<option value=\"b\">B</option><option value=\"c\">C</option></select>"
                                   "<input name=\"n\" value=\"x\"/>"
                                   "<select name=\"s\"><option value=\"p\">P</option>"
                                   "<option value=\"q\" onpick=\"/picked.wml?s=$(s)\">Q</option></select>"
                                   "</p></card>")));
        Type(server.Url("/form.wml"));
        ASSERT_EQ(Title(), "Pivrel 2.2 - Form");
        engine::TWMLBrowser& browser = Form().Browser();

        auto multiple = Widgets<view::TPVSelect>(*Form().RichView1);
        ASSERT_EQ(multiple.size(), 1u);
        multiple[0]->SetChecked(0, true);
        multiple[0]->SetChecked(2, true);
        view::SelectClick(*multiple[0]);
        EXPECT_EQ(browser.GetVariable("m"), "a;c");
        ASSERT_NE(multiple[0]->VarObject(), nullptr);
        EXPECT_EQ(multiple[0]->VarObject()->iVarValue, "1;3");

        auto inputs = Widgets<view::TPVInput>(*Form().RichView1);
        ASSERT_EQ(inputs.size(), 1u);
        inputs[0]->setFocus();
        inputs[0]->end(false);
        QTest::keyClicks(inputs[0], "yz");
        EXPECT_EQ(browser.GetVariable("n"), "xyz");

        // A pick with an onpick address is deferred to the timer, then opened.
        server.AddResponse(Ok(Deck("<card id=\"p\" title=\"Picked\"><p>p</p></card>")));
        auto single = Widgets<view::TPVSelectSingle>(*Form().RichView1);
        ASSERT_EQ(single.size(), 1u);
        single[0]->setCurrentIndex(1);
        EXPECT_EQ(Form().PendingURL(), "/picked.wml?s=$(s)");
        EXPECT_EQ(server.RequestCount(), 1u);
        ASSERT_TRUE(WaitUntil([&] { return Title() == "Pivrel 2.2 - Picked"; }));
        EXPECT_EQ(FirstLine(server.Requests()[1]), "GET /picked.wml?s=q HTTP/1.0");
    }

    TEST_F(MainFormTest, CardTimerAndPendingHistoryCommands)
    {
        server.AddResponse(
            Ok(Deck("<card id=\"a\" title=\"Wait\" ontimer=\"#b\"><timer value=\"2\"/><p>A</p></card>"
                    "<card id=\"b\" title=\"Timed\"><p>B</p></card>")));
        Type(server.Url("/timer.wml"));
        EXPECT_EQ(Title(), "Pivrel 2.2 - Wait");
        ASSERT_TRUE(WaitUntil([&] { return Title() == "Pivrel 2.2 - Timed"; }));
        EXPECT_EQ(server.RequestCount(), 1u);
        EXPECT_TRUE(Form().Action("Browser_Back")->isEnabled());

        // "@prev" ignores letter case; any other "@" command does nothing.
        const int renders = Form().RenderCount();
        Form().SetPendingURL("@nothing", false);
        QTest::qWait(50);
        EXPECT_EQ(Form().RenderCount(), renders);
        // Back to the deck's own address: the first card again, without a fetch.
        Form().SetPendingURL("@PREV", false);
        ASSERT_TRUE(WaitUntil([&] { return Title() == "Pivrel 2.2 - Wait"; }));
        EXPECT_TRUE(Form().Action("Browser_Forward")->isEnabled());
        EXPECT_EQ(server.RequestCount(), 1u);
        EXPECT_EQ(Form().PendingURL(), "@PREV");
    }

    TEST_F(MainFormTest, FailuresAndContentTypesAskOrReportWithTheirTexts)
    {
        // No script left: the server answers 404.
        Type(server.Url("/missing.wml"));
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Kind, "error");
        EXPECT_EQ(dialogs.Shown[0].Text,
            "Unable to locate server. Check your spelling.\r\rReason : 404 - Not Found");
        EXPECT_EQ(Form().StatusText(0), "Connect Failed");
        EXPECT_EQ(Title(), "Pivrel 2.2");

        struct TCase {
            const char* ContentType;
            std::deque<bool> Answers;
            std::vector<std::string> Questions; // the start of each question asked
            bool Shown;
        };

        const std::string notWml = "Not WAP (WML) content. Can not show this content type.\r\rContent was = ";
        const std::string html = "The Content retreived is of HTML type. This can not be shown by the Pivrel "
                                 "browser.\r\rDo you want to launch your default Internet Browser instead to "
                                 "view the content ?";
        const std::vector<TCase> cases {
            { "text/vnd.wap.wml", {}, {}, true },
            { "application/vnd.wap.wmlc", {}, {}, true },
            { "text/plain", { false }, { notWml + "text/plain\r\rTry to display it anyway ?" }, false },
            { "text/plain", { true }, { notWml + "text/plain\r\rTry to display it anyway ?" }, true },
            { "text/html", { false }, { html }, false },
        };
        int n = 0;
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.ContentType);
            dialogs.Shown.clear();
            dialogs.YesNoAnswers = c.Answers;
            const std::string title = "T" + std::to_string(++n);
            server.AddResponse(
                Ok(Deck("<card id=\"a\" title=\"" + title + "\"><p>x</p></card>"), c.ContentType));
            const int renders = Form().RenderCount();
            Type(server.Url("/typed" + std::to_string(n) + ".wml"));
            std::vector<std::string> asked;
            for (const auto& shown : dialogs.Shown)
                asked.push_back(shown.Kind + ":" + shown.Text);
            std::vector<std::string> expected;
            for (const std::string& question : c.Questions)
                expected.push_back("question:" + question);
            EXPECT_EQ(asked, expected);
            EXPECT_EQ(Form().RenderCount() > renders, c.Shown);
            if (c.Shown) {
                EXPECT_EQ(Title(), "Pivrel 2.2 - " + title);
            }
        }
    }

    TEST_F(MainFormTest, TypedLocationsMoveToTheTopAndKeepTheSettingsLimit)
    {
        WriteFile(home + "/Pivrel.ini", "[BROWSER]\r\nMaxHistory=5\r\n");
        Form();
        for (int i = 0; i < 12; ++i)
            Type(server.Url("/p" + std::to_string(i) + ".wml"));
        // Five in the file is below the least the field allows: ten are kept.
        ASSERT_EQ(Form().LocationBox->count(), 10);
        EXPECT_EQ(Form().LocationBox->itemText(0).toStdString(), server.Url("/p11.wml"));
        EXPECT_EQ(Form().LocationBox->itemText(9).toStdString(), server.Url("/p2.wml"));

        Type(server.Url("/P5.wml"));
        ASSERT_EQ(Form().LocationBox->count(), 10);
        EXPECT_EQ(Form().LocationBox->itemText(0).toStdString(), server.Url("/P5.wml"));
        EXPECT_EQ(Form().LocationBox->itemText(9).toStdString(), server.Url("/p2.wml"));
        // The typed text stays in the box after a failure, all of it selected.
        EXPECT_EQ(Form().LocationBox->currentText().toStdString(), server.Url("/P5.wml"));
        EXPECT_TRUE(Form().LocationBox->lineEdit()->hasSelectedText());
    }

    TEST_F(MainFormTest, VersionComparisonReadsTwoDigitsAndNeverFailsOnOddTexts)
    {
        const std::pair<const char*, bool> cases[] = {
            { "2.2", false },
            { "2.3", true },
            { "3.0", true },
            { "2.10", false }, // the minor digit is the third character only
            { "1.9", false },
            { "9", false }, // too short
            { "", false },
            { "x.5", false },
            { "2.x", false },
            { "3-0", true },
            { "\xff\xfe\xfd", false },
        };
        for (const auto& [announced, newer] : cases) {
            SCOPED_TRACE(announced);
            EXPECT_EQ(IsNewerVersion(announced), newer);
        }

        dialogs.YesNoAnswers = { false };
        EXPECT_TRUE(Form().CompareAnnouncedVersion("3.1"));
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Text,
            "NEW VERSION AVAILABLE !\rVersion 3.1 of Pivrel is available for download from the internet."
            "\r\rDo you want to proceed to Quillfen Software's web site now?");
        EXPECT_FALSE(Form().CompareAnnouncedVersion("2.2"));
        EXPECT_FALSE(Form().CompareAnnouncedVersion("2"));
        EXPECT_EQ(dialogs.Shown.size(), 1u);
    }

    TEST_F(MainFormTest, ViewSizesCopyAndSelectAll)
    {
        const std::pair<const char*, QSize> sizes[] = {
            { "View_EricssonMC218", QSize(500, 370) },
            { "View_R320", QSize(300, 300) },
            { "View_Nokia7110", QSize(250, 250) },
            { "View_A4_Width", QSize(600, 450) },
        };
        // The presets size the card area; the window grows around it.
        for (const auto& [name, size] : sizes) {
            Form().Action(name)->trigger();
            EXPECT_EQ(Form().RichView1->viewport()->size(), size) << name;
            EXPECT_GT(Form().height(), size.height()) << name;
        }

        server.AddResponse(Ok(Deck("<card id=\"a\" title=\"C\"><p>Copy me</p></card>")));
        Type(server.Url("/copy.wml"));
        QApplication::clipboard()->clear();
        Form().Action("Edit_Copy")->trigger();
        EXPECT_NE(QApplication::clipboard()->text().toStdString().find("Copy me"), std::string::npos);
        EXPECT_FALSE(Form().RichView1->HasSelection());
        Form().Action("Edit_SelectAll")->trigger();
        EXPECT_TRUE(Form().RichView1->HasSelection());
    }

    TEST_F(MainFormTest, ClosingDuringAFetchStopsItAndClosesAfterTheWait)
    {
        const bool checked = WhileAFetchHangs(
            [&] {
                EXPECT_TRUE(form->Busy());
                EXPECT_TRUE(form->Action("Browser_Stop")->isEnabled());
                form->close();
                EXPECT_TRUE(form->isVisible());
            },
            // The window stays until the fetch's wait has unwound, then closes by itself.
            [&] { return !form->isVisible(); });
        EXPECT_TRUE(checked);
        EXPECT_FALSE(form->Busy());
        EXPECT_TRUE(fs::exists(home + "/Recent.lst"));
        form.reset();
    }

    TEST_F(MainFormTest, StoppingAFetchIsNoFailureToReport)
    {
        EXPECT_TRUE(WhileAFetchHangs([&] { form->Action("Browser_Stop")->trigger(); }));
        EXPECT_EQ(form->StatusText(0), "Connect Failed");
        EXPECT_TRUE(dialogs.Shown.empty()) << dialogs.Shown[0].Text;

        // The next failure is reported again, even one that never reaches the network.
        form->Navigate("file:///nonexistent/deck.wml", true, true, false);
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Kind, "error");
        // Stop pressed while nothing runs changes nothing for the next failure either.
        form->Action("Browser_Stop")->trigger();
        form->Navigate("file:///nonexistent/other.wml", true, true, false);
        EXPECT_EQ(dialogs.Shown.size(), 2u);
    }

    TEST_F(MainFormTest, StartParametersNameOneLocalDeckEvenWithBlanks)
    {
        const std::string path = home + "/my decks/start deck.wml";
        WriteFile(path, Deck("<card id=\"s\" title=\"Started\"><p>s</p></card>"));
        form = std::make_unique<TMainForm>(dialogs);
        form->SetOpenHomeOnShow(false);
        form->SetStartParameters({ home + "/my", "decks/start", "deck.wml" });
        form->show();
        ASSERT_TRUE(WaitUntil([&] { return form->windowTitle() == "Pivrel 2.2 - Started"; }));
        EXPECT_EQ(form->Browser().CurrentURL(), "file://" + path);
    }

    TEST_F(MainFormTest, HomePageOpensThroughTheTimerWhenNoDeckWasNamed)
    {
        WriteFile(home + "/Pivrel.ini", "[BROWSER]\r\nHomePage=" + server.Url("/home.wml") + "\r\n");
        server.AddResponse(Ok(Deck("<card id=\"h\" title=\"Home\"><p>h</p></card>")));
        form = std::make_unique<TMainForm>(dialogs);
        form->show();
        ASSERT_TRUE(WaitUntil([&] { return form->windowTitle() == "Pivrel 2.2 - Home"; }));
        EXPECT_EQ(form->PendingURL(), server.Url("/home.wml"));
        // Home is not recorded in the history.
        server.AddResponse(Ok(Deck("<card id=\"h\" title=\"Home 2\"><p>h</p></card>")));
        form->Action("Browser_Home")->trigger();
        EXPECT_EQ(form->windowTitle().toStdString(), "Pivrel 2.2 - Home");
        EXPECT_EQ(server.RequestCount(), 1u);
    }

    TEST_F(MainFormTest, SettingsDialogAppliesOnOkAndRestoresOnCancel)
    {
        Form();
        WhenModal<TPropertiesForm>([](TPropertiesForm& dialog) {
            dialog.BoxUseProxy->setChecked(true);
            dialog.EditProxyAddr->setText("proxy.example");
            dialog.SpinProxyPort->setValue(8080);
            dialog.BoxUseAuthentication->setChecked(true);
            dialog.EditUserName->setText("me");
            dialog.EditPassword->setText("secret");
            dialog.accept();
        });
        Form().Action("Edit_Properties")->trigger();
        EXPECT_EQ(Form().Browser().ProxyHost(), "proxy.example");
        EXPECT_EQ(Form().Browser().ProxyPort(), 8080);
        EXPECT_EQ(Form().Browser().ProxyUser(), "me");
        EXPECT_EQ(Form().Browser().ProxyPassword(), "secret");
        EXPECT_TRUE(fs::exists(home + "/Pivrel.ini"));

        // Cancel throws the edits away and puts the stored values back into the dialog.
        WhenModal<TPropertiesForm>([](TPropertiesForm& dialog) {
            dialog.BoxUseProxy->setChecked(false);
            dialog.reject();
        });
        Form().Action("Edit_Properties")->trigger();
        EXPECT_EQ(Form().Browser().ProxyHost(), "proxy.example");
        EXPECT_TRUE(Form().PropertiesForm().BoxUseProxy->isChecked());

        WhenModal<TPropertiesForm>([](TPropertiesForm& dialog) {
            dialog.BoxUseProxy->setChecked(false);
            dialog.accept();
        });
        Form().Action("Edit_Properties")->trigger();
        EXPECT_EQ(Form().Browser().ProxyHost(), "");
        EXPECT_EQ(Form().Browser().ProxyPort(), -1);
        EXPECT_EQ(Form().Browser().ProxyUser(), "me");
    }

    TEST_F(MainFormTest, RecentListFeedsTheReopenMenuAndClearHistoryEmptiesIt)
    {
        Form();
        ASSERT_EQ(Form().Reopen1->actions().size(), 1);
        EXPECT_EQ(Form().Reopen1->actions()[0]->text().toStdString(), "None");
        EXPECT_FALSE(Form().Reopen1->actions()[0]->isEnabled());

        const std::string deck
            = Deck("<card id=\"a\" title=\"A\"><p>a</p></card><card id=\"b\" title=\"B\"><p>b</p></card>");
        server.AddResponse(Ok(deck));
        Type(server.Url("/r.wml?q=1#a"));
        Type(server.Url("/r.wml?q=1#b"));
        ASSERT_EQ(Title(), "Pivrel 2.2 - B");
        ASSERT_EQ(Form().RecentList().Items().size(), 1u);
        EXPECT_EQ(Form().RecentList().Items()[0], server.Url("/r.wml"));
        ASSERT_EQ(Form().Reopen1->actions().size(), 1);
        EXPECT_EQ(Form().Reopen1->actions()[0]->text().toStdString(), "&0  " + server.Url("/r.wml"));

        // A Reopen entry opens its address.
        server.AddResponse(Ok(Deck("<card id=\"x\" title=\"Reopened\"><p>x</p></card>")));
        Form().Reopen1->actions()[0]->trigger();
        EXPECT_EQ(Title(), "Pivrel 2.2 - Reopened");
        EXPECT_EQ(FirstLine(server.Requests().back()), "GET /r.wml HTTP/1.0");

        WhenModal<TPropertiesForm>([](TPropertiesForm& dialog) {
            dialog.BitBtn3Click();
            dialog.reject();
        });
        dialogs.YesNoAnswers = { true };
        Form().Action("Edit_Properties")->trigger();
        EXPECT_TRUE(Form().RecentList().Items().empty());
        EXPECT_EQ(Form().LocationBox->count(), 0);
        ASSERT_EQ(Form().Reopen1->actions().size(), 1);
        EXPECT_EQ(Form().Reopen1->actions()[0]->text().toStdString(), "None");
        EXPECT_FALSE(fs::exists(home + "/Recent.lst"));
        EXPECT_FALSE(fs::exists(home + "/ManLocations.lst"));
    }

    TEST_F(MainFormTest, BookmarksAndOpenLocation)
    {
        // With no address shown there is nothing to store: the message, and no name asked.
        dialogs.InputAnswers = { { true, "Nothing" } };
        Form().Action("Bookmark_AddBookmark")->trigger();
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Text, "No current web address to save");
        EXPECT_TRUE(Form().BookmarkForm().Bookmarks().Names().empty());
        dialogs.Shown.clear();
        dialogs.InputAnswers.clear();

        server.AddResponse(Ok(Deck("<card id=\"a\" title=\"Marked\"><p>a</p></card>")));
        WhenModal<TFormOpenLocation>([this](TFormOpenLocation& dialog) {
            dialog.BoxLocation->setEditText(QString::fromStdString(server.Url("/open.wml")));
            dialog.BitBtn2Click();
        });
        Form().Action("File_Open")->trigger();
        ASSERT_EQ(Title(), "Pivrel 2.2 - Marked");
        EXPECT_TRUE(fs::exists(home + "/Locations.lst"));

        dialogs.Shown.clear();
        dialogs.InputAnswers = { { true, "" } };
        Form().Action("Bookmark_AddBookmark")->trigger();
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        const TBookmarks& store = Form().BookmarkForm().Bookmarks();
        ASSERT_EQ(store.Names().size(), 1u);
        EXPECT_EQ(store.Names()[0], "Unknown Name");
        EXPECT_EQ(store.UrlAt(0), server.Url("/open.wml"));

        // Go To in the bookmark window opens the address once the window has closed.
        server.AddResponse(Ok(Deck("<card id=\"o\" title=\"Other\"><p>o</p></card>")));
        Type(server.Url("/other.wml"));
        ASSERT_EQ(Title(), "Pivrel 2.2 - Other");
        server.AddResponse(Ok(Deck("<card id=\"a\" title=\"Again\"><p>a</p></card>")));
        WhenModal<TFormBookmarkEdit>([](TFormBookmarkEdit& window) {
            window.ListBox1->setCurrentRow(0);
            window.ToolButton2Click();
        });
        Form().Action("Bookmark_EditBookmarks")->trigger();
        ASSERT_TRUE(WaitUntil([&] { return Title() == "Pivrel 2.2 - Again"; }));
    }

    TEST(HeadlessTest, ScreenshotArgumentsAreReadStrictly)
    {
        std::string error;
        auto options = ParseScreenshotArguments(
            { "--screenshot", "out.png", "--size", "320x240", "--card", "two", "file:///tmp/d.wml" }, error);
        ASSERT_TRUE(options.has_value());
        EXPECT_EQ(options->Output, "out.png");
        EXPECT_EQ(options->Width, 320);
        EXPECT_EQ(options->Height, 240);
        EXPECT_EQ(options->Card, "two");
        EXPECT_EQ(options->Address, "file:///tmp/d.wml");
        EXPECT_TRUE(error.empty());

        EXPECT_FALSE(ParseScreenshotArguments({ "/tmp/a deck.wml" }, error).has_value());
        EXPECT_TRUE(error.empty());
        EXPECT_FALSE(ParseScreenshotArguments({}, error).has_value());
        EXPECT_TRUE(error.empty());

        const std::vector<std::vector<std::string>> bad {
            { "--screenshot" },
            { "--screenshot", "out.png" },
            { "--screenshot", "out.png", "--size", "0x10", "a" },
            { "--screenshot", "out.png", "--size", "10x", "a" },
            { "--screenshot", "out.png", "--size", "x10", "a" },
            { "--screenshot", "out.png", "--size", "99999999999x1", "a" },
            { "--screenshot", "out.png", "--size", "10x10junk", "a" },
            { "--screenshot", "out.png", "--size", "-5x10", "a" },
            { "--screenshot", "out.png", "a", "b" },
            { "--screenshot", "out.png", "--bogus", "a" },
            { "--screenshot", "out.png", "a", "--card" },
        };
        for (const auto& arguments : bad) {
            SCOPED_TRACE(arguments.back());
            EXPECT_FALSE(ParseScreenshotArguments(arguments, error).has_value());
            EXPECT_FALSE(error.empty());
        }

        EXPECT_EQ(AddressOfCard("http://h/d.wml#old", "new"), "http://h/d.wml#new");
        EXPECT_EQ(AddressOfCard("http://h/d.wml", ""), "http://h/d.wml");
        EXPECT_EQ(AddressFromArgument("http://h/x"), "http://h/x");
        // A path opens as a local file even when it is missing, so that the failure names it.
        EXPECT_EQ(AddressFromArgument("/no/such/file.wml"), "file:///no/such/file.wml");
    }

    TEST(HeadlessTest, TheProgramRendersADeckOrExplainsTheFailure)
    {
        char pattern[] = "/tmp/pivrel-shot-XXXXXX";
        const std::string dir = ::mkdtemp(pattern);
        const std::string deck = dir + "/deck.wml";
        std::ofstream(deck) << Deck("<card id=\"one\" title=\"One\"><p>First</p></card>"
                                    "<card id=\"two\" title=\"Two\"><p>Second <b>card</b></p></card>");
        auto run = [&](const QStringList& arguments, std::string& errors) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("PIVREL_HOME", QString::fromStdString(dir + "/home"));
            environment.insert("QT_QPA_PLATFORM", "offscreen");
            process.setProcessEnvironment(environment);
            process.start(PIVREL_BINARY, arguments);
            if (!process.waitForFinished(30000)) {
                process.kill();
                process.waitForFinished();
                return -1;
            }
            errors = process.readAllStandardError().toStdString();
            return process.exitCode();
        };
        std::string errors;
        const QString out = QString::fromStdString(dir + "/shot.png");
        EXPECT_EQ(
            run({ "--screenshot", out, "--size", "240x320", "--card", "TWO", QString::fromStdString(deck) },
                errors),
            0)
            << errors;
        QImage picture(out);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), QSize(240, 320));
        // A picture with text on it has more than one colour.
        std::set<QRgb> colours;
        for (int y = 0; y < picture.height(); y += 3) {
            for (int x = 0; x < picture.width(); x += 3)
                colours.insert(picture.pixel(x, y));
        }
        EXPECT_GT(colours.size(), 10u);

        EXPECT_EQ(run({ "--screenshot", out, QString::fromStdString(dir + "/missing.wml") }, errors), 1);
        EXPECT_NE(errors.find("Reason : cannot read " + dir + "/missing.wml: No such file or directory"),
            std::string::npos)
            << errors;
        EXPECT_EQ(run({ "--screenshot", out, "--card", "nine", QString::fromStdString(deck) }, errors), 1);
        EXPECT_NE(errors.find("nine"), std::string::npos) << errors;
        EXPECT_EQ(run({ "--screenshot", out, "--size", "big", QString::fromStdString(deck) }, errors), 2);

        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    TEST_F(MainFormTest, ScriptLinksPromptSetVariablesAndGo)
    {
        const std::string dir = home + "/script";
        WriteFile(dir + "/calc.wmls",
            "extern function ask() { var n = Dialogs.prompt(\"Name?\", \"\");"
            " WMLBrowser.setVar(\"who\", n); WMLBrowser.refresh(); }\n"
            "extern function next() { if (Dialogs.confirm(\"Go?\", \"Yes\", \"No\")) WMLBrowser.go(\"#b\"); "
            "}\n");
        WriteFile(dir + "/bad.wmls", "extern function f() {\n\n  return 1 +;\n}\n");
        WriteFile(dir + "/d.wml",
            Deck("<card id=\"a\" title=\"A\"><p>Hello $(who). <input name=\"who\"/>"
                 "<a href=\"calc.wmls#ask()\">Ask</a> <a href=\"calc.wmls#next()\">Next</a> "
                 "<a href=\"bad.wmls#f()\">Bad</a></p></card>"
                 "<card id=\"b\" title=\"B\"><p>Second</p></card>"));
        Type("file://" + dir + "/d.wml");
        ASSERT_EQ(Title(), "Pivrel 2.2 - A");

        dialogs.InputAnswers.push_back({ true, "Pat" });
        Form().RichView1->OnJump(*Form().RichView1, 4096);
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Kind, "input");
        EXPECT_EQ(dialogs.Shown[0].Text, "Name?");
        EXPECT_NE(ViewText().find("Hello Pat."), std::string::npos) << ViewText();

        // A script that does not compile leaves the card and says why.
        Form().RichView1->OnJump(*Form().RichView1, 4098);
        ASSERT_EQ(dialogs.Shown.size(), 2u);
        EXPECT_EQ(dialogs.Shown[1].Kind, "error");
        EXPECT_EQ(
            dialogs.Shown[1].Text.substr(0, 48), "Script error: cannot load file://" + dir.substr(0, 15));
        EXPECT_NE(dialogs.Shown[1].Text.find("line 3: expected an expression"), std::string::npos);
        EXPECT_EQ(Title(), "Pivrel 2.2 - A");

        dialogs.YesNoAnswers.push_back(true);
        Form().RichView1->OnJump(*Form().RichView1, 4097);
        EXPECT_EQ(Title(), "Pivrel 2.2 - B");
    }

    TEST_F(MainFormTest, ASessionInACookieLastsTheRunAndPersistentCookiesTheNextOnes)
    {
        const auto cookieLine = [this](std::size_t request) {
            const std::string text = server.Requests().at(request);
            const std::size_t start = text.find("\r\nCookie: ");
            return start == std::string::npos
                ? std::string()
                : text.substr(start + 10, text.find("\r\n", start + 2) - start - 10);
        };
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK",
            { "Content-Type: text/vnd.wap.wml", "Set-Cookie: sid=7", "Set-Cookie: pref=blue; Max-Age=3600" },
            Deck("<card id=\"a\" title=\"In\"><p>in</p></card>")));
        server.AddResponse(Ok(Deck("<card id=\"b\" title=\"Still in\"><p>b</p></card>")));
        Type(server.Url("/login.wml"));
        Type(server.Url("/account.wml"));
        ASSERT_EQ(Title(), "Pivrel 2.2 - Still in");
        EXPECT_EQ(cookieLine(1), "sid=7; pref=blue");

        // Only the persistent cookie is written, and for the user's eyes alone.
        const std::string jar = home + "/cookies.txt";
        ASSERT_TRUE(fs::exists(jar));
        EXPECT_EQ(
            fs::status(jar).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
        form.reset();
        server.AddResponse(Ok(Deck("<card id=\"c\" title=\"Back\"><p>c</p></card>")));
        Type(server.Url("/again.wml"));
        ASSERT_EQ(Title(), "Pivrel 2.2 - Back");
        EXPECT_EQ(cookieLine(2), "pref=blue");

        WhenModal<TPropertiesForm>([](TPropertiesForm& dialog) {
            dialog.BtnClearCookies->click();
            dialog.reject();
        });
        dialogs.YesNoAnswers = { true };
        Form().Action("Edit_Properties")->trigger();
        server.AddResponse(Ok(Deck("<card id=\"d\" title=\"Forgotten\"><p>d</p></card>")));
        Type(server.Url("/last.wml"));
        ASSERT_EQ(Title(), "Pivrel 2.2 - Forgotten");
        EXPECT_EQ(cookieLine(3), "");
        EXPECT_EQ(Form().Browser().CookieJar.Serialize(), "# Netscape HTTP Cookie File\n");
    }

} // namespace
} // namespace pivrel::app
