#include "view/CardRender.h"
#include "view/PtblRV.h"
#include "view/RVPP.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPainter>
#include <QPointer>

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pivrel::view {
namespace {

    // What one sheet received: its texts with the device position they start at, and pictures.
    struct TSheet {
        std::vector<std::string> Texts;
        std::vector<QPointF> Positions;
        int Pictures = 0;
    };

    class TRecordingEngine : public QPaintEngine
    {
    public:
        TRecordingEngine()
            : QPaintEngine(QPaintEngine::AllFeatures)
        { }

        bool begin(QPaintDevice*) override
        {
            ++Begins;
            Sheets.emplace_back();
            return true;
        }

        bool end() override { return true; }

        void updateState(const QPaintEngineState& changed) override
        {
            if (changed.state() & QPaintEngine::DirtyTransform)
                m_transform = changed.transform();
        }

        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override { ++Sheets.back().Pictures; }

        void drawTextItem(const QPointF& p, const QTextItem& item) override
        {
            Sheets.back().Texts.push_back(item.text().toStdString());
            Sheets.back().Positions.push_back(m_transform.map(p));
        }

        Type type() const override { return QPaintEngine::User; }

        int Begins = 0;
        std::vector<TSheet> Sheets;

    private:
        QTransform m_transform;
    };

    // A sheet of paper at a chosen resolution that records what is drawn on it.
    class TRecordingDevice : public QPaintDevice
    {
    public:
        TRecordingDevice(int width, int height, int dpi)
            : m_width(width)
            , m_height(height)
            , m_dpi(dpi)
        { }

        QPaintEngine* paintEngine() const override { return &Engine; }

        mutable TRecordingEngine Engine;

    protected:
        int metric(PaintDeviceMetric metric) const override
        {
            switch (metric) {
            case PdmWidth:
                return m_width;
            case PdmHeight:
                return m_height;
            case PdmWidthMM:
                return int(m_width * 25.4 / m_dpi);
            case PdmHeightMM:
                return int(m_height * 25.4 / m_dpi);
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return m_dpi;
            case PdmNumColors:
                return 0x7fffffff;
            case PdmDepth:
                return 32;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(devicePixelRatioFScale());
            }
            return 0;
        }

    private:
        int m_width;
        int m_height;
        int m_dpi;
    };

    class TFakePrinter : public TRVPrinter
    {
    public:
        TFakePrinter(int width, int height, int dpi, bool makesCopies)
            : Sheet(width, height, dpi)
            , MakesCopies(makesCopies)
        { }

        QPaintDevice& Device() override { return Sheet; }

        bool SupportsMultipleCopies() const override { return MakesCopies; }

        int CopyCount() const override { return Copies; }

        void SetCopyCount(int count) override
        {
            Copies = count;
            CopiesAsked.push_back(count);
        }

        void SetCollateCopies(bool collate) override { Collate = collate; }

        void SetDocName(const QString& title) override { DocName = title.toStdString(); }

        bool NewPage() override
        {
            Sheet.Engine.Sheets.emplace_back();
            return true;
        }

        TRecordingDevice Sheet;
        bool MakesCopies;
        int Copies = 1;
        std::vector<int> CopiesAsked;
        bool Collate = false;
        std::string DocName;
    };

    // An inch square at 600 pixels per inch: a few lines a page.
    constexpr int kDpi = 600;

    class PrintTest : public ::testing::Test
    {
    protected:
        PrintTest()
        {
            TCardRenderer::SetupStyles(m_style);
            m_view.SetStyle(&m_style);
            m_view.resize(300, 200);
        }

        void AddLines(int count)
        {
            for (int i = 1; i <= count; ++i)
                m_view.AppendParagraph("Line " + std::to_string(i), kStyleNormal, kParaLeft);
            m_view.Format();
        }

        void Prepare(TRVPrint& print, TRVPrinter& printer, int marginMM = 0)
        {
            print.SetPrinter(&printer);
            print.SetLeftMarginMM(marginMM);
            print.SetRightMarginMM(marginMM);
            print.SetTopMarginMM(marginMM);
            print.SetBottomMarginMM(marginMM);
            print.AssignSource(m_view);
            print.FormatPages();
        }

        // The number of the first line each sheet shows.
        static std::vector<std::string> FirstTexts(const TRecordingEngine& engine)
        {
            std::vector<std::string> firsts;
            for (const TSheet& sheet : engine.Sheets)
                firsts.push_back(sheet.Texts.empty() ? "" : sheet.Texts.front());
            return firsts;
        }

        TRVStyle m_style;
        TRichView m_view;
    };

    TEST(PageGeometryTest, MarginsCountInExactMillimetres)
    {
        struct TRow {
            const char* Case;
            TRVPageSetup Setup;
            int Left, Top, TextWidth, ContentHeight;
        };

        const TRow rows[] = {
            { "A4 at 600 dpi, 20 mm all round", { 4960, 7016, 600, 600, 96, 20, 20, 20, 20 }, 472, 472, 4016,
                6072 },
            { "the view's own 5-pixel margins scale with the resolution",
                { 4960, 7016, 600, 600, 96, 20, 20, 20, 20, 5, 5, 5, 5 }, 472, 503, 3954, 6010 },
            { "no margins", { 4960, 7016, 600, 600, 96, 0, 0, 0, 0 }, 0, 0, 4960, 7016 },
            { "letter at 300 dpi, uneven margins", { 2550, 3300, 300, 300, 96, 25, 10, 15, 30 }, 295, 177,
                2137, 2769 },
        };
        for (const TRow& row : rows) {
            SCOPED_TRACE(row.Case);
            const TRVPageGeometry g = ComputePageGeometry(row.Setup);
            EXPECT_EQ(g.LeftMargin, row.Left);
            EXPECT_EQ(g.TopMargin, row.Top);
            EXPECT_EQ(g.TextWidth, row.TextWidth);
            EXPECT_EQ(g.ContentHeight, row.ContentHeight);
        }
    }

    TEST(PageGeometryTest, PageBreaksFallBetweenLines)
    {
        struct TRow {
            const char* Case;
            std::vector<TRVLineInfo> Lines;
            int ContentHeight;
            std::vector<int> FirstLines;
        };

        const TRow rows[] = {
            { "no lines still make one page", {}, 100, { 0 } },
            { "lines that fit", { { 0, 40, 0 }, { 40, 40, 1 } }, 100, { 0 } },
            { "a line that would cross the edge starts the next page",
                { { 0, 40, 0 }, { 40, 40, 1 }, { 80, 40, 2 }, { 120, 40, 3 } }, 100, { 0, 2 } },
            { "a line ending on the edge stays", { { 0, 50, 0 }, { 50, 50, 1 }, { 100, 50, 2 } }, 100,
                { 0, 2 } },
            { "a line taller than a page gets a page of its own",
                { { 0, 30, 0 }, { 30, 250, 1 }, { 280, 30, 2 } }, 100, { 0, 1, 2 } },
        };
        for (const TRow& row : rows) {
            SCOPED_TRACE(row.Case);
            std::vector<int> firstLines;
            for (const TRVPageInfo& page : CutPages(row.Lines, row.ContentHeight)) {
                firstLines.push_back(page.StartLineNo);
                EXPECT_EQ(page.StartY, row.Lines.empty() ? 0 : row.Lines[std::size_t(page.StartLineNo)].Top);
            }
            EXPECT_EQ(firstLines, row.FirstLines);
        }
    }

    TEST_F(PrintTest, EveryLineIsPrintedOnceAndWhole)
    {
        AddLines(40);
        TFakePrinter printer(kDpi, kDpi, kDpi, false);
        TRVPrint print;
        Prepare(print, printer);
        ASSERT_GT(print.PagesCount(), 3);
        print.Print("Lines", 1, true);
        std::vector<std::string> printed;
        for (const TSheet& sheet : printer.Sheet.Engine.Sheets)
            printed.insert(printed.end(), sheet.Texts.begin(), sheet.Texts.end());
        std::vector<std::string> expected;
        for (int i = 1; i <= 40; ++i)
            expected.push_back("Line " + std::to_string(i));
        EXPECT_EQ(printed, expected);
        EXPECT_EQ(int(printer.Sheet.Engine.Sheets.size()), print.PagesCount());
        EXPECT_EQ(printer.DocName, "Lines");
    }

    TEST_F(PrintTest, TextStartsAtTheLeftMarginInPrinterPixels)
    {
        m_view.SetLeftMargin(0);
        m_view.SetRightMargin(0);
        AddLines(1);
        TFakePrinter printer(4960, 7016, kDpi, false);
        TRVPrint print;
        Prepare(print, printer, 20);
        print.Print("", 1, true);
        ASSERT_EQ(printer.Sheet.Engine.Sheets.size(), 1u);
        ASSERT_EQ(printer.Sheet.Engine.Sheets[0].Positions.size(), 1u);
        // 20 mm at 600 dpi is 472 pixels, not a whole inch.
        EXPECT_NEAR(printer.Sheet.Engine.Sheets[0].Positions[0].x(), 472, 0.5);
    }

    TEST_F(PrintTest, CopiesAndCollateDecideTheOrderOfSheets)
    {
        struct TRow {
            const char* Case;
            bool PrinterMakesCopies;
            int Copies;
            bool Collate;
            std::vector<int> PageOrder;
            int CopiesAskedOfPrinter;
        };

        const TRow rows[] = {
            { "the printer makes the copies", true, 3, true, { 1, 2 }, 3 },
            { "collated by the engine", false, 2, true, { 1, 2, 1, 2 }, 1 },
            { "uncollated by the engine", false, 2, false, { 1, 1, 2, 2 }, 1 },
            { "one copy", false, 1, false, { 1, 2 }, 1 },
            { "no copies count as one", false, 0, true, { 1, 2 }, 1 },
        };
        AddLines(8);
        for (const TRow& row : rows) {
            SCOPED_TRACE(row.Case);
            TFakePrinter printer(kDpi, kDpi, kDpi, row.PrinterMakesCopies);
            printer.Copies = 7;
            TRVPrint print;
            Prepare(print, printer);
            ASSERT_EQ(print.PagesCount(), 2);
            const std::string firstOfPage2 = [&] {
                TFakePrinter probe(kDpi, kDpi, kDpi, false);
                TRVPrint once;
                Prepare(once, probe);
                once.Print("", 1, true);
                return probe.Sheet.Engine.Sheets.at(1).Texts.at(0);
            }();
            print.Print("", row.Copies, row.Collate);
            std::vector<int> order;
            for (const std::string& first : FirstTexts(printer.Sheet.Engine))
                order.push_back(first == firstOfPage2 ? 2 : 1);
            EXPECT_EQ(order, row.PageOrder);
            EXPECT_EQ(printer.CopiesAsked.front(), row.CopiesAskedOfPrinter);
            EXPECT_EQ(printer.Copies, 7) << "the printer's own setting comes back";
        }
    }

    TEST_F(PrintTest, NothingFormattedPrintsNothing)
    {
        AddLines(3);
        TFakePrinter printer(kDpi, kDpi, kDpi, false);
        TRVPrint print;
        print.SetPrinter(&printer);
        print.Print("", 1, true);
        print.AssignSource(m_view);
        print.Print("", 1, true);
        EXPECT_EQ(printer.Sheet.Engine.Begins, 0);
    }

    TEST_F(PrintTest, ClearPagesLeavesTheSourceViewAndItsControlsAlone)
    {
        auto* edit = new QLineEdit("filled in");
        m_view.AppendText("Name:", kStyleNormal);
        m_view.AppendControl("", edit, false, -1);
        m_view.Format();
        QPointer<QLineEdit> alive(edit);
        TFakePrinter printer(kDpi, kDpi, kDpi, false);
        {
            TRVPrint print;
            Prepare(print, printer);
            print.Print("", 1, true);
            print.ClearPages();
            EXPECT_FALSE(print.Ready());
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(m_view.ItemCount(), 2);
        ASSERT_FALSE(alive.isNull());
        EXPECT_EQ(alive->parentWidget(), m_view.viewport());
    }

    TEST_F(PrintTest, ControlsPrintAsTheyShowUnlessAPictureIsSupplied)
    {
        m_view.AppendControl("", new QLineEdit("filled in"), false, 0);
        m_view.Format();

        struct TRow {
            const char* Case;
            bool Supply;
        };

        for (const TRow row : { TRow { "rendered widget", false }, TRow { "supplied picture", true } }) {
            SCOPED_TRACE(row.Case);
            TFakePrinter printer(kDpi, kDpi, kDpi, false);
            TRVPrint print;
            int asked = 0;
            print.OnPrintComponent = [&](TRVPrint&, QWidget* control, QPixmap& picture) {
                ++asked;
                EXPECT_NE(qobject_cast<QLineEdit*>(control), nullptr);
                if (row.Supply) {
                    picture = QPixmap(10, 10);
                    picture.fill(Qt::red);
                }
            };
            Prepare(print, printer);
            print.Print("", 1, true);
            EXPECT_EQ(asked, 1);
            ASSERT_EQ(printer.Sheet.Engine.Sheets.size(), 1u);
            EXPECT_EQ(printer.Sheet.Engine.Sheets[0].Pictures, 1);
        }
    }

    TEST_F(PrintTest, PreviewZoomRemembersWhereToReturnFromHundredPercent)
    {
        AddLines(8);
        TFakePrinter printer(kDpi, kDpi, kDpi, false);
        TRVPrint print;
        Prepare(print, printer);
        TRVPrintPreview preview;
        preview.resize(400, 300);
        preview.SetRVPrint(&print);
        int changes = 0;
        preview.OnZoomChanged = [&](TCustomRVPrintPreview&) { ++changes; };
        EXPECT_EQ(preview.ZoomReturnPercent(), 50);
        preview.SetZoomPercent(150);
        preview.SetZoomPercent(100);
        EXPECT_EQ(preview.ZoomReturnPercent(), 150);
        EXPECT_EQ(changes, 2);
        // An inch of paper at 100 % is an inch of screen.
        EXPECT_EQ(preview.PageImageRect().size(), QSize(preview.logicalDpiX(), preview.logicalDpiY()));
        preview.Last();
        EXPECT_EQ(preview.PageNo(), 2);
        preview.Next();
        EXPECT_EQ(preview.PageNo(), 2);
        preview.First();
        preview.Prev();
        EXPECT_EQ(preview.PageNo(), 1);
    }

} // namespace
} // namespace pivrel::view
