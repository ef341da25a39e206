// Faults found by using the window as a person does: narrow view sizes, stale status texts.

#include "app/fMainForm.h"

#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace pivrel::app {
namespace {

    namespace fs = std::filesystem;

    class MainFormUsageTest : public ::testing::Test
    {
    protected:
        MainFormUsageTest() { ::setenv("PIVREL_HOME", home.c_str(), 1); }

        TMainForm& Start()
        {
            form = std::make_unique<TMainForm>(dialogs);
            form->SetOpenHomeOnShow(false);
            form->show();
            QTest::qWait(20);
            return *form;
        }

        ~MainFormUsageTest() override { form.reset(); }

        std::string WriteDeck(const std::string& name, const std::string& cards)
        {
            const std::string path = home + "/" + name;
            std::ofstream(path, std::ios::binary) << "<?xml version=\"1.0\"?>\r\n<wml>\r\n"
                                                  << cards << "\r\n</wml>\r\n";
            return "file://" + path;
        }

        template <typename Condition> bool WaitUntil(Condition condition)
        {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!condition()) {
                if (std::chrono::steady_clock::now() > end)
                    return false;
                QTest::qWait(5);
            }
            return true;
        }

        testsupport::TTempDir temp { "pivrel-usage" };
        const std::string home = temp.Path();
        TPresetDialogs dialogs;
        std::unique_ptr<TMainForm> form;
    };

    TEST_F(MainFormUsageTest, LocationBoxStaysUsableAtEveryViewSize)
    {
        // Long typed addresses must not make the box demand more room than a phone-sized window has.
        std::ofstream(home + "/ManLocations.lst", std::ios::binary)
            << "http://" << std::string(300, 'w') << ".example/deck.wml\r\nfile:///short.wml\r\n";
        Start();
        form->LocationBox->setEditText(QString(200, QChar('x')));
        const char* sizes[] = { "View_Nokia7110", "View_R320", "View_EricssonMC218", "View_A4_Width" };
        for (const char* size : sizes) {
            form->Action(size)->trigger();
            QTest::qWait(20);
            SCOPED_TRACE(size);
            EXPECT_TRUE(form->LocationBox->isVisible());
            EXPECT_GE(form->LocationBox->width(), 100);
            const QRect box(form->LocationBox->mapTo(form.get(), QPoint(0, 0)), form->LocationBox->size());
            EXPECT_LE(box.right(), form->width());
        }
        // Typing still reaches the box in the narrowest window.
        form->Action("View_Nokia7110")->trigger();
        QTest::qWait(20);
        QLineEdit* edit = form->LocationBox->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, "abc");
        EXPECT_EQ(form->LocationBox->currentText().toStdString(), "abc");
    }

    TEST_F(MainFormUsageTest, LinkStatusDoesNotOutliveTheCardItNamed)
    {
        Start();
        const std::string deck = WriteDeck("a.wml",
            "<card id=\"one\" title=\"One\"><p><a href=\"#two\">to two</a></p></card>"
            "<card id=\"two\" title=\"Two\"><p>no links here</p></card>");
        form->NavigateAsTyped(deck);
        ASSERT_TRUE(WaitUntil([&] { return form->windowTitle() == "Pivrel 2.2 - One"; }));
        // The pointer rests on the link: its address shows in the last panel.
        form->SetStatusText(2, "#two");
        form->NavigateAsTyped(deck + "#two");
        ASSERT_TRUE(WaitUntil([&] { return form->windowTitle() == "Pivrel 2.2 - Two"; }));
        EXPECT_EQ(form->StatusText(2), "");
    }

} // namespace
} // namespace pivrel::app
