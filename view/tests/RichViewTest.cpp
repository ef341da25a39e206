#include "view/RichView.h"

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace pivrel::view {
namespace {

    enum : int { kNormal = 0, kBold = 1, kJump = 2, kSmall = 3 };

    enum : int { kLeft = 0, kCentre = 1, kRight = 2, kJustify = 3 };

    std::string ReadFile(const std::string& name)
    {
        std::ifstream in(name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    class RichViewTest : public ::testing::Test
    {
    protected:
        RichViewTest()
        {
            auto& text = m_style.TextStyles();
            text.assign(4, TFontInfo {});
            text[kBold].Style = fsBold;
            text[kJump].Style = fsUnderline;
            text[kJump].Color = clBlue;
            text[kJump].Jump = true;
            text[kSmall].Size = 8;
            auto& paras = m_style.ParaStyles();
            paras.assign(4, TParaInfo {});
            paras[kCentre].Alignment = rvaCenter;
            paras[kRight].Alignment = rvaRight;
            paras[kJustify].Alignment = rvaJustify;
            m_view.SetStyle(&m_style);
            m_view.SetVScrollVisible(true);
            m_view.SetTracking(true);
            m_view.resize(300, 200);
            m_view.show();
        }

        // The centre of the first hot-link area with that id, in viewport coordinates.
        QPoint JumpCentre(int id) const
        {
            for (const TRVJumpInfo& jump : m_view.JumpInfos()) {
                if (jump.Id == id)
                    return QPoint(jump.Left + jump.Width / 2, jump.Top + jump.Height / 2)
                        - QPoint(m_view.HPos(), m_view.VPos() * m_view.StepSize());
            }
            ADD_FAILURE() << "no jump " << id;
            return {};
        }

        void FillLines(int count, int styleNo = kNormal)
        {
            for (int i = 0; i < count; ++i)
                m_view.AppendParagraph("Line " + std::to_string(i), styleNo, kLeft);
        }

        TRVStyle m_style;
        TRichView m_view;
    };

    TEST_F(RichViewTest, AppendingFollowsTheParagraphRuleAndExpandsTabs)
    {
        m_view.AppendText("a\tb", kNormal);
        auto button = new QPushButton("x");
        m_view.AppendControl("", button, true, -1);
        m_view.AppendText("after", kBold);
        m_view.AppendParagraph("", kNormal, kCentre);
        m_view.AppendText("centred", kNormal);
        m_view.AppendItem("tagged", kNormal, 7, kRight);
        m_style.SetSpacesInTab(2);
        m_view.AppendText("\t\t", kNormal);

        const TRVItemList& items = m_view.Items();
        ASSERT_EQ(items.size(), 7u);
        EXPECT_EQ(items[0].Text, "a        b");

        struct Expected {
            bool sameAsPrev;
            int paraNo;
        };

        const Expected expected[] = { { false, 0 }, { true, 0 }, { true, 0 }, { false, kCentre },
            { true, kCentre }, { false, kRight }, { true, kRight } };
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].Info.SameAsPrev, expected[i].sameAsPrev) << i;
            EXPECT_EQ(items[i].Info.ParaNo, expected[i].paraNo) << i;
        }
        EXPECT_EQ(items[1].Info.StyleNo, rvsComponent);
        EXPECT_TRUE(items[1].Info.Centred);
        EXPECT_EQ(button->parentWidget(), m_view.viewport());
        EXPECT_EQ(items[5].Info.Tag, 7);
        EXPECT_EQ(items[6].Text, "    ");

        // Without a style sheet a tab is eight spaces.
        TRichView bare;
        bare.AppendText("\t", kNormal);
        EXPECT_EQ(bare.Items()[0].Text, std::string(8, ' '));
        bare.Format(); // no style sheet: nothing happens
        EXPECT_TRUE(bare.DrawLines().empty());
    }

    TEST_F(RichViewTest, ClearFreesTheControlsOfItsOwnItemsOnly)
    {
        QPointer<QWidget> button = new QPushButton("b");
        m_view.AppendControl("", button, false, 0);
        m_view.AppendText("text", kNormal);
        m_view.Format();

        TRichView printable;
        printable.SetStyle(&m_style);
        printable.ShareItemsOf(m_view);
        printable.Format();
        EXPECT_EQ(printable.DrawLines().size(), 2u);
        printable.Clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(button.isNull());
        EXPECT_EQ(m_view.ItemCount(), 2);

        printable.ShareItemsOf(m_view);
        m_view.Clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(button.isNull());
        EXPECT_EQ(m_view.ItemCount(), 0);
        EXPECT_TRUE(m_view.DrawLines().empty());
        EXPECT_EQ(m_view.DocumentHeight(), 0);
        m_view.Clear();
        // The sharer keeps the list it was shown, without the freed control.
        EXPECT_EQ(printable.ItemCount(), 2);
        printable.Format();
        printable.repaint();
    }

    TEST_F(RichViewTest, TextIsMeasuredInTheLiberationFontsStandingInForArial)
    {
        const QFont font = m_style.TextStyles()[kNormal].MakeFont();
        EXPECT_EQ(QFontInfo(font).family(), "Liberation Sans");
        const TRVQtMeasurer measurer(m_style);
        // Pixel widths at the offscreen platform's 96 dots per inch.
        EXPECT_EQ(measurer.TextWidth(kNormal, "hello"), 27);
        EXPECT_EQ(measurer.TextWidth(kNormal, "hello world"), 62);
        EXPECT_EQ(measurer.TextWidth(kBold, "hello"), 30);
        EXPECT_EQ(measurer.Metrics(kNormal).Ascent, 12);
        EXPECT_EQ(measurer.Metrics(kNormal).Descent, 3);

        // A word longer than the line is cut where it stops fitting.
        m_view.SetMaxTextWidth(40);
        m_view.AppendText("abcdefghijklmnop", kNormal);
        m_view.AppendParagraph("hello world", kNormal, kLeft);
        m_view.Format();
        const TRVDrawLines& lines = m_view.DrawLines();
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[0].Length, 6);
        EXPECT_LE(lines[0].Width, 40);
        EXPECT_GT(lines[0].Width + measurer.TextWidth(kNormal, "g"), 40);
        EXPECT_EQ(lines[1].Offs, 7);
        EXPECT_EQ(lines[3].Length, 5);
        EXPECT_EQ(lines[4].Offs, 7); // "world", the space dropped
        EXPECT_EQ(lines[4].Width, measurer.TextWidth(kNormal, "world"));
        EXPECT_EQ(lines[4].Top, lines[3].Top + 15);
    }

    TEST_F(RichViewTest, TheStepSizeGrowsForVeryHighDocuments)
    {
        struct Case {
            int height;
            int step;
        };

        for (const Case& c : { Case { 1000000, 33 }, Case { 200000, 10 } }) {
            TRichView view;
            view.SetStyle(&m_style);
            view.resize(200, 300);
            view.show();
            auto tall = new QWidget;
            tall->resize(50, c.height - 12); // the box adds 2, the margins 10
            view.AppendControl("", tall, false, 0);
            view.Format();
            EXPECT_EQ(view.DocumentHeight(), c.height);
            EXPECT_EQ(view.StepSize(), c.step);
            EXPECT_EQ(
                view.verticalScrollBar()->maximum(), MaxVPos(c.height, view.viewport()->height(), c.step));
            EXPECT_LE(view.verticalScrollBar()->maximum(), c.height / c.step);
        }
    }

    TEST_F(RichViewTest, TheVerticalPositionSurvivesClearAndFormatAsFarAsTheNewHeightAllows)
    {
        FillLines(100);
        m_view.Format();
        ASSERT_EQ(m_view.viewport()->size(), QSize(m_view.viewport()->width(), m_view.viewport()->height()));
        const int clientHeight = m_view.viewport()->height();
        m_view.ScrollTo(80);
        EXPECT_EQ(m_view.VPos(), 80);

        struct Case {
            int lines;
            bool keeps;
        };

        for (const Case& c :
            { Case { 120, true }, Case { 100, true }, Case { 30, false }, Case { 3, false } }) {
            m_view.ScrollTo(80);
            m_view.Clear();
            FillLines(c.lines);
            m_view.Format();
            const int lowest = MaxVPos(m_view.DocumentHeight(), clientHeight, m_view.StepSize());
            EXPECT_EQ(m_view.VPos(), c.keeps ? 80 : lowest) << c.lines;
            EXPECT_EQ(m_view.verticalScrollBar()->maximum(), lowest);
        }
        EXPECT_EQ(m_view.VPos(), 0); // three lines fit: the top
        EXPECT_TRUE(m_view.verticalScrollBar()->isVisible());
    }

    TEST_F(RichViewTest, ScrollBarsComeAndGoWithTheDocument)
    {
        m_view.SetVScrollVisible(false);
        FillLines(2);
        m_view.Format();
        EXPECT_FALSE(m_view.verticalScrollBar()->isVisible());
        const int wide = m_view.TextWidth();
        EXPECT_EQ(wide, m_view.viewport()->width() - 10);

        m_view.Clear();
        FillLines(60);
        m_view.Format();
        EXPECT_TRUE(m_view.verticalScrollBar()->isVisible());
        // Formatted again for the narrower client area.
        EXPECT_EQ(m_view.TextWidth(), m_view.viewport()->width() - 10);
        EXPECT_LT(m_view.TextWidth(), wide);

        auto wideControl = new QWidget;
        wideControl->resize(600, 10);
        m_view.AppendControl("", wideControl, false, 0);
        m_view.Format();
        EXPECT_TRUE(m_view.horizontalScrollBar()->isVisible());
        EXPECT_EQ(m_view.DocumentWidth(), 600 + 10);
        EXPECT_EQ(m_view.horizontalScrollBar()->maximum(), 610 - m_view.viewport()->width());
    }

    TEST_F(RichViewTest, ControlsMoveWithTheTextAndKeysScroll)
    {
        FillLines(40);
        auto button = new QPushButton("go");
        button->resize(40, 20);
        m_view.AppendControl("", button, false, 0);
        m_view.Format();
        const TRVDrawLineInfo& box = m_view.DrawLines().back();
        EXPECT_EQ(button->pos(), QPoint(box.Left + 1, box.Top + 1));
        EXPECT_TRUE(button->isVisible());

        QTest::keyClick(&m_view, Qt::Key_Down);
        QTest::keyClick(&m_view, Qt::Key_Down);
        EXPECT_EQ(m_view.VPos(), 2);
        EXPECT_EQ(button->pos(), QPoint(box.Left + 1, box.Top + 1 - 2 * m_view.StepSize()));
        QTest::keyClick(&m_view, Qt::Key_PageDown);
        EXPECT_EQ(m_view.VPos(), 2 + m_view.viewport()->height() / m_view.StepSize());
        QTest::keyClick(&m_view, Qt::Key_End);
        EXPECT_EQ(m_view.VPos(), m_view.verticalScrollBar()->maximum());
        QTest::keyClick(&m_view, Qt::Key_Up);
        EXPECT_EQ(m_view.VPos(), m_view.verticalScrollBar()->maximum() - 1);
        QTest::keyClick(&m_view, Qt::Key_Home);
        EXPECT_EQ(m_view.VPos(), 0);
        EXPECT_EQ(button->pos(), QPoint(box.Left + 1, box.Top + 1));
    }

    TEST_F(RichViewTest, ResizingKeepsTheTopLine)
    {
        for (int i = 0; i < 60; ++i)
            m_view.AppendParagraph(
                "word " + std::to_string(i) + " and some more words to wrap", kNormal, kLeft);
        m_view.Format();
        m_view.ScrollTo(40);
        // The first character of the line at the top must again begin the line at the top.
        auto topPosition = [this] {
            const int y = m_view.VPos() * m_view.StepSize();
            for (const TRVLineInfo& line : m_view.LineInfos()) {
                if (line.Top + line.Height > y) {
                    const TRVDrawLineInfo& segment = m_view.DrawLines()[std::size_t(line.FirstSeg)];
                    return TRVSelPoint { segment.ItemNo, segment.Offs - 1 };
                }
            }
            return TRVSelPoint { -1, 0 };
        };
        auto lineTopOf = [this](TRVSelPoint position) {
            int top = -1;
            for (const TRVDrawLineInfo& segment : m_view.DrawLines()) {
                if (segment.ItemNo == position.ItemNo && segment.Offs - 1 <= position.Offs
                    && position.Offs <= segment.Offs - 1 + segment.Length && top < 0)
                    top = segment.Top;
            }
            return top;
        };
        const TRVSelPoint before = topPosition();
        for (QSize size : { QSize(180, 200), QSize(400, 200), QSize(300, 120) }) {
            m_view.resize(size);
            const int offset = lineTopOf(before) - m_view.VPos() * m_view.StepSize();
            EXPECT_GE(offset, 0) << size.width();
            EXPECT_LT(offset, m_view.StepSize())
                << size.width() << " item " << before.ItemNo << "," << before.Offs << " vpos "
                << m_view.VPos() << " max " << m_view.verticalScrollBar()->maximum() << " top "
                << lineTopOf(before);
        }
        EXPECT_EQ(m_view.TextWidth(), m_view.viewport()->width() - 10);
    }

    TEST_F(RichViewTest, JumpsFireOnlyWhenPressAndReleaseHitTheSameLink)
    {
        m_view.SetFirstJumpNo(4096);
        m_view.AppendText("first", kJump);
        m_view.AppendText(" middle ", kNormal);
        m_view.AppendText("second", kJump);
        m_view.Format();
        std::vector<int> jumps;
        m_view.OnJump = [&](TRichView&, int id) { jumps.push_back(id); };
        QWidget* port = m_view.viewport();

        QTest::mouseClick(port, Qt::LeftButton, {}, JumpCentre(0));
        EXPECT_EQ(jumps, std::vector<int> { 4096 });
        EXPECT_FALSE(m_view.HasSelection());

        // Pressed on one link, released on the other.
        jumps.clear();
        QTest::mousePress(port, Qt::LeftButton, {}, JumpCentre(0));
        QTest::mouseRelease(port, Qt::LeftButton, {}, JumpCentre(1));
        EXPECT_TRUE(jumps.empty());

        // Pressed on plain text, released on a link.
        QTest::mousePress(port, Qt::LeftButton, {}, JumpCentre(1) - QPoint(40, 0));
        QTest::mouseRelease(port, Qt::LeftButton, {}, JumpCentre(1));
        EXPECT_TRUE(jumps.empty());

        // Dragging across the link selects instead of jumping.
        QTest::mousePress(port, Qt::LeftButton, {}, JumpCentre(1) - QPoint(10, 0));
        QTest::mouseMove(port, JumpCentre(1) + QPoint(10, 0));
        QTest::mouseRelease(port, Qt::LeftButton, {}, JumpCentre(1));
        EXPECT_TRUE(m_view.HasSelection());
        EXPECT_TRUE(jumps.empty());

        // A handler that clears the view while the release is handled.
        jumps.clear();
        m_view.OnJump = [&](TRichView& sender, int id) {
            jumps.push_back(id);
            sender.Clear();
            sender.Format();
        };
        QTest::mouseClick(port, Qt::LeftButton, {}, JumpCentre(1));
        EXPECT_EQ(jumps, std::vector<int> { 4097 });
        EXPECT_EQ(m_view.ItemCount(), 0);
    }

    TEST_F(RichViewTest, MouseMoveReportsEachNewLinkAndLeavingOnce)
    {
        m_view.SetFirstJumpNo(4096);
        m_view.AppendText("first", kJump);
        m_view.AppendText(" plain text ", kNormal);
        m_view.AppendText("second", kJump);
        m_view.Format();
        std::vector<int> moves;
        m_view.OnRVMouseMove = [&](TRichView&, int id) { moves.push_back(id); };
        QWidget* port = m_view.viewport();
        const QPoint off = JumpCentre(1) + QPoint(0, 60);

        QTest::mouseMove(port, off);
        QTest::mouseMove(port, JumpCentre(0));
        EXPECT_EQ(port->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(port, JumpCentre(0) + QPoint(1, 0));
        QTest::mouseMove(port, JumpCentre(1));
        QTest::mouseMove(port, off);
        EXPECT_EQ(port->cursor().shape(), Qt::ArrowCursor);
        QTest::mouseMove(port, off + QPoint(5, 5));
        EXPECT_EQ(moves, (std::vector<int> { 4096, 4097, -1 }));
    }

    TEST_F(RichViewTest, SelectedTextJoinsItemsAndMarksParagraphsWithACarriageReturn)
    {
        m_view.AppendText("one ", kNormal);
        m_view.AppendText("two", kBold);
        m_view.AppendControl("", new QPushButton("c"), false, -1);
        m_view.AppendParagraph("three", kNormal, kLeft);
        m_view.AppendParagraph("", kNormal, kLeft);
        m_view.AppendParagraph("f\xC3\xBCnf", kNormal, kCentre);
        m_view.Format();
        EXPECT_FALSE(m_view.HasSelection());
        EXPECT_EQ(m_view.SelectedText(), "");

        m_view.SelectWholeDocument();
        EXPECT_TRUE(m_view.HasSelection());
        EXPECT_EQ(m_view.SelectedText(), "one two\rthree\r\rf\xC3\xBCnf");

        struct Case {
            TRVSelPoint anchor;
            TRVSelPoint end;
            std::string expected;
        };

        const Case cases[] = {
            { { 0, 1 }, { 1, 2 }, "ne tw" },
            { { 1, 2 }, { 0, 1 }, "ne tw" }, // dragged backwards
            { { 3, 0 }, { 5, 1 }, "three\r\rf" },
            { { 1, 3 }, { 3, 2 }, "\rth" },
            { { 3, 2 }, { 3, 2 }, "" },
        };
        for (const Case& c : cases) {
            m_view.SetSelection(c.anchor, c.end);
            EXPECT_EQ(m_view.SelectedText(), c.expected);
            EXPECT_EQ(m_view.HasSelection(), !c.expected.empty());
        }

        m_view.SelectWholeDocument();
        m_view.setFocus();
        QApplication::clipboard()->clear();
        QTest::keyClick(&m_view, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "one two\nthree\n\nf\xC3\xBCnf");
        QApplication::clipboard()->clear();
        QTest::keyClick(&m_view, Qt::Key_Insert, Qt::ControlModifier);
        EXPECT_FALSE(QApplication::clipboard()->text().isEmpty());

        m_view.ClearSelection();
        EXPECT_FALSE(m_view.HasSelection());
        m_view.Clear();
        m_view.SelectWholeDocument();
        EXPECT_FALSE(m_view.HasSelection());
    }

    TEST_F(RichViewTest, DoubleClickSelectsAWordAndRightClickDeselects)
    {
        m_view.AppendText("alpha (beta),gamma", kNormal);
        m_view.Format();
        const TRVQtMeasurer measurer(m_style);
        const TRVDrawLineInfo& segment = m_view.DrawLines()[0];
        const QPoint onBeta(segment.Left + measurer.TextWidth(kNormal, "alpha (be"), segment.Top + 5);
        QTest::mouseDClick(m_view.viewport(), Qt::LeftButton, {}, onBeta);
        EXPECT_EQ(m_view.SelectedText(), "beta");
        const QPoint onGamma(segment.Left + measurer.TextWidth(kNormal, "alpha (beta),ga"), segment.Top + 5);
        QTest::mouseDClick(m_view.viewport(), Qt::LeftButton, {}, onGamma);
        EXPECT_EQ(m_view.SelectedText(), "gamma");

        QTest::mouseClick(m_view.viewport(), Qt::RightButton, {}, onBeta);
        EXPECT_FALSE(m_view.HasSelection());
    }

    TEST_F(RichViewTest, DraggingBelowTheViewScrollsAndExtendsTheSelection)
    {
        FillLines(100);
        m_view.Format();
        QWidget* port = m_view.viewport();
        QTest::mousePress(port, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(port, QPoint(10, port->height() + 20));
        QTest::qWait(350);
        EXPECT_GE(m_view.VPos(), 2);
        const int scrolled = m_view.VPos();
        QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(10, port->height() + 20));
        QTest::qWait(250);
        EXPECT_EQ(m_view.VPos(), scrolled);
        EXPECT_TRUE(m_view.HasSelection());
        EXPECT_EQ(m_view.SelectionBounds().first.ItemNo, 0);
        EXPECT_GT(m_view.SelectionBounds().second.ItemNo, 10);
    }

    TEST_F(RichViewTest, PaintingDrawsTextSelectionAndHover)
    {
        m_style.SetColor(0xFFFFFF);
        m_style.SetSelColor(0x00FF00);
        m_style.TextStyles()[kNormal].BackColor = 0x0000FF;
        m_style.TextStyles()[kJump].HoverColor = 0x00FFFF;
        m_view.AppendText("Text", kNormal);
        m_view.AppendText("  Link", kJump);
        m_view.Format();
        auto pixelAt = [this](QPoint point) { return m_view.viewport()->grab().toImage().pixelColor(point); };
        const TRVDrawLineInfo& text = m_view.DrawLines()[0];
        EXPECT_EQ(pixelAt(QPoint(2, 2)), QColor(Qt::white));
        EXPECT_EQ(pixelAt(QPoint(text.Left, text.Top)), QColor(Qt::red));

        m_view.SetSelection({ 0, 0 }, { 0, 4 });
        EXPECT_EQ(pixelAt(QPoint(text.Left, text.Top)), QColor(Qt::green));

        QTest::mouseMove(m_view.viewport(), JumpCentre(0));
        const QImage hovered = m_view.viewport()->grab().toImage();
        const TRVJumpInfo& area = m_view.JumpInfos()[0];
        bool yellow = false;
        for (int x = area.Left; x < area.Left + area.Width; ++x) {
            for (int y = area.Top; y < area.Top + area.Height; ++y)
                yellow = yellow || hovered.pixelColor(x, y) == QColor(Qt::yellow);
        }
        EXPECT_TRUE(yellow);
    }

    TEST_F(RichViewTest, SavingAsTextWritesParagraphsOnLinesWithoutAFinalLineEnd)
    {
        QTemporaryDir dir;
        const std::string name = dir.filePath("page.txt").toStdString();
        m_view.AppendText("one ", kNormal);
        m_view.AppendText("two", kBold);
        m_view.AppendControl("", new QPushButton("c"), false, -1);
        m_view.AppendParagraph("", kNormal, kLeft);
        m_view.AppendItem("", rvsBreak, 0, kLeft);
        m_view.AppendParagraph("three", kNormal, kCentre);

        ASSERT_TRUE(m_view.SaveAsText(name, -1));
        EXPECT_EQ(ReadFile(name), "one two\r\n\r\n\r\nthree");
        ASSERT_TRUE(m_view.SaveAsText(name, 4));
        EXPECT_EQ(ReadFile(name), "one two\r\n\r\n----\r\nthree");

        m_view.OnSaveComponentToFile
            = [](TRichView&, const std::string&, QWidget* control, TRVSaveFormat format) {
                  return format == rvsfText && control ? std::string("[button]") : std::string();
              };
        ASSERT_TRUE(m_view.SaveAsText(name, -1));
        EXPECT_EQ(ReadFile(name), "one two[button]\r\n\r\n\r\nthree");

        m_view.Clear();
        ASSERT_TRUE(m_view.SaveAsText(name, -1));
        EXPECT_EQ(ReadFile(name), "");
        EXPECT_FALSE(m_view.SaveAsText(dir.filePath("missing/page.txt").toStdString(), -1));
    }

    TEST_F(RichViewTest, SavingAsHtmlWritesStyledParagraphsAndOnlyTheLinksItIsGiven)
    {
        QTemporaryDir dir;
        const std::string name = dir.filePath("page.html").toStdString();
        m_style.SetColor(0xFFEEDD);
        m_view.AppendText("a <b> & c", kBold);
        m_view.AppendText("link", kJump);
        m_view.AppendParagraph("  mid", kNormal, kCentre);
        m_view.AppendParagraph("end", kSmall, kLeft);
        m_view.AppendControl("", new QPushButton("c"), false, -1);

        ASSERT_TRUE(m_view.SaveAsHTML(name, "T & T", "", 0));
        const std::string expected
            = "<HTML><HEAD><TITLE>T &amp; T</TITLE>\r\n"
              "<META HTTP-EQUIV=\"Content-Type\"  CONTENT=\"text/html; CHARSET=utf-8\">\r\n"
              "</HEAD>\r\n"
              "<BODY bgcolor=#DDEEFF\r\n"
              "      leftmargin=5>\r\n"
              "<FONT size=2 color=#000000 face=\"Arial\"><B>a &lt;b&gt; &amp; c</B></FONT>"
              "<FONT size=2 color=#0000FF face=\"Arial\"><U>link</U></FONT>"
              "<CENTER><FONT size=2 color=#000000 face=\"Arial\">&nbsp;&nbsp;mid</FONT>"
              "</CENTER>\r\n"
              "\r\n<BR><FONT size=1 color=#000000 face=\"Arial\">end</FONT>"
              "\r\n</BODY></HTML>";
        m_style.TextStyles()[kNormal].Color = clBlack;
        m_style.TextStyles()[kBold].Color = clBlack;
        m_style.TextStyles()[kSmall].Color = clBlack;
        ASSERT_TRUE(m_view.SaveAsHTML(name, "T & T", "", 0));
        EXPECT_EQ(ReadFile(name), expected);

        m_view.SetFirstJumpNo(4096);
        m_view.OnURLNeeded
            = [](TRichView&, int id) { return id == 4096 ? std::string("http://x/\"q\"") : std::string(); };
        m_view.OnSaveComponentToFile
            = [](TRichView&, const std::string&, QWidget*, TRVSaveFormat) { return std::string("<INPUT>"); };
        QPixmap background(4, 4);
        background.fill(Qt::gray);
        m_view.SetBackgroundBitmap(background);
        m_view.SetBackgroundStyle(bsTiled);
        ASSERT_TRUE(m_view.SaveAsHTML(name, "", "img_", 0));
        const std::string html = ReadFile(name);
        EXPECT_NE(html.find("<A href=\"http://x/%22q%22\"><FONT size=2 color=#0000FF "
                            "face=\"Arial\"><U>link</U></FONT></A>"),
            std::string::npos);
        EXPECT_NE(html.find("end</FONT><INPUT>"), std::string::npos);
        EXPECT_NE(html.find("      background=\"img_page_background.png\"\r\n      bgproperties=fixed\r\n"),
            std::string::npos);
        EXPECT_TRUE(QFileInfo::exists(dir.filePath("img_page_background.png")));
    }

    // A hot picture is a numbered link like a hot text: the links after it keep their addresses.
    TEST_F(RichViewTest, SavedHotControlsLinkToTheirAddressesInJumpOrder)
    {
        QTemporaryDir dir;
        const std::string name = dir.filePath("page.html").toStdString();
        m_view.AppendHotControl(new QWidget, 0);
        m_view.AppendText("link", kJump);
        m_view.Format();
        m_view.SetFirstJumpNo(4096);
        m_view.OnURLNeeded = [](TRichView&, int id) { return "u" + std::to_string(id); };
        m_view.OnSaveComponentToFile
            = [](TRichView&, const std::string&, QWidget*, TRVSaveFormat) { return std::string("<IMG>"); };
        ASSERT_TRUE(m_view.SaveAsHTML(name, "", "", 0));
        const std::string html = ReadFile(name);
        EXPECT_NE(html.find("<A href=\"u4096\"><IMG></A>"), std::string::npos) << html;
        EXPECT_NE(html.find("<A href=\"u4097\"><FONT"), std::string::npos) << html;
        EXPECT_EQ(m_view.JumpInfos().size(), 2u);
    }

} // namespace
} // namespace pivrel::view

namespace pivrel::view {
namespace {

    TEST_F(RichViewTest, BackgroundStylesFillTheClientAreaOrTheDocument)
    {
        m_style.SetColor(0xFFFFFF);
        QPixmap tile(20, 20);
        tile.fill(Qt::blue);
        {
            QPainter painter(&tile);
            painter.fillRect(0, 0, 20, 10, Qt::red);
        }
        FillLines(100);
        m_view.SetBackgroundBitmap(tile);
        m_view.Format();
        m_view.ScrollTo(1); // ten pixels down
        const QPoint centre(m_view.viewport()->width() / 2, m_view.viewport()->height() / 2);

        struct Case {
            TBackgroundStyle style;
            QPoint point;
            QColor expected;
        };

        const Case cases[] = {
            { bsNoBitmap, QPoint(250, 2), Qt::white },
            { bsTiled, QPoint(250, 2), Qt::red },
            { bsTiledAndScrolled, QPoint(250, 2), Qt::blue },
            { bsStretched, QPoint(250, 2), Qt::red },
            { bsStretched, QPoint(250, m_view.viewport()->height() - 2), Qt::blue },
            { bsCentered, QPoint(250, 2), Qt::white },
            { bsCentered, centre + QPoint(0, -5), Qt::red },
        };
        for (const Case& c : cases) {
            m_view.SetBackgroundStyle(c.style);
            EXPECT_EQ(m_view.viewport()->grab().toImage().pixelColor(c.point), c.expected) << c.style;
        }
    }

    TEST_F(RichViewTest, AFormatAskedForDuringFormatIsIgnored)
    {
        FillLines(100);
        m_view.Format();
        m_view.ScrollTo(50);
        int scrolled = 0;
        m_view.OnVScrolled = [&](TRichView& sender) {
            ++scrolled;
            sender.Format();
        };
        m_view.Clear();
        FillLines(2);
        m_view.Format(); // clamping the position reports a scroll from inside Format
        EXPECT_EQ(scrolled, 1);
        EXPECT_EQ(m_view.VPos(), 0);
        EXPECT_EQ(m_view.LineInfos().size(), 2u);
    }

} // namespace
} // namespace pivrel::view
