#pragma once

#include "view/DLines.h"
#include "view/RichView.h"

#include <QObject>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPaintDevice;
class QPrinter;

namespace pivrel::view {

// Where a page starts: its top in document pixels and the index of its first line.
struct TRVPageInfo {
    int StartY = 0;
    int StartLineNo = 0;
};

enum TRVPrintingStep { rvpsStarting, rvpsProceeding, rvpsFinished };

enum TRVDisplayOption : unsigned { rvdoImages = 1u << 0, rvdoComponents = 1u << 1, rvdoBullets = 1u << 2 };

using TRVDisplayOptions = unsigned;
inline constexpr TRVDisplayOptions kAllDisplayOptions = rvdoImages | rvdoComponents | rvdoBullets;

// The printer the engine draws on. Device pixels count from the sheet's top left corner, so that
// margins are measured from the paper's edge.
class TRVPrinter
{
public:
    virtual ~TRVPrinter() = default;
    virtual QPaintDevice& Device() = 0;
    virtual bool SupportsMultipleCopies() const = 0;
    virtual int CopyCount() const = 0;
    virtual void SetCopyCount(int count) = 0;
    virtual void SetCollateCopies(bool collate) = 0;
    virtual void SetDocName(const QString& title) = 0;
    // Starts the next sheet of a running job.
    virtual bool NewPage() = 0;
};

// A Qt printer (a real one or a PDF file), used whole-sheet.
class TQtRVPrinter : public TRVPrinter
{
public:
    explicit TQtRVPrinter(QPrinter& printer);

    QPaintDevice& Device() override;
    bool SupportsMultipleCopies() const override;
    int CopyCount() const override;
    void SetCopyCount(int count) override;
    void SetCollateCopies(bool collate) override;
    void SetDocName(const QString& title) override;
    bool NewPage() override;

private:
    QPrinter& m_printer;
};

// The page arithmetic for one printer: every value in printer pixels.
struct TRVPageGeometry {
    int PageWidth = 0;
    int PageHeight = 0;
    int LeftMargin = 0; // the paper's margin
    int TopMargin = 0; // the paper's margin plus the view's own top margin
    int TextWidth = 0; // what the lines may use, the view's own side margins left out
    int ViewLeft = 0; // the view's own left margin
    int ContentHeight = 0;
};

struct TRVPageSetup {
    int PageWidth = 0;
    int PageHeight = 0;
    int DpiX = 0;
    int DpiY = 0;
    int ScreenDpi = 96;
    int LeftMarginMM = 20;
    int RightMarginMM = 20;
    int TopMarginMM = 20;
    int BottomMarginMM = 20;
    // The source view's own margins, in screen pixels.
    int ViewLeft = 0;
    int ViewRight = 0;
    int ViewTop = 0;
    int ViewBottom = 0;
};

// Millimetres to printer pixels, rounded to the nearest pixel.
int MMToPixels(int mm, int dpi);

TRVPageGeometry ComputePageGeometry(const TRVPageSetup& setup);

// Cuts the lines into pages of contentHeight pixels; a line is never split, and a line taller
// than a page gets a page of its own. Always at least one page.
std::vector<TRVPageInfo> CutPages(const std::vector<TRVLineInfo>& lines, int contentHeight);

class TRVPrint;
using TRVFormattingEvent = std::function<void(TRVPrint& sender, int pageCompleted, TRVPrintingStep step)>;
using TRVSendingToPrinterEvent
    = std::function<void(TRVPrint& sender, int pageCompleted, TRVPrintingStep step)>;
// Supplies the picture printed in a control's place; leaving it null prints the control as it
// shows on screen.
using TRVPrintComponentEvent = std::function<void(TRVPrint& sender, QWidget* control, QPixmap& picture)>;

// The hidden view that lays a source view's items out for a printer. It shares the source's
// items and never frees them.
class TPrintableRV : public TRichView
{
    Q_OBJECT

public:
    explicit TPrintableRV(QWidget* parent = nullptr);

    int LeftMarginMM = 20;
    int RightMarginMM = 20;
    int TopMarginMM = 20;
    int BottomMarginMM = 20;
    // The source view's top and bottom margins, screen pixels.
    int SourceTopMargin = 0;
    int SourceBottomMargin = 0;
    // The source view's resolution: control sizes and its own margins are counted in it.
    int ScreenDpi = 96;

    std::vector<TRVPageInfo> Pages;
    TRVPageGeometry Geometry;
    TRVLayout PageLayout;
    TRVDisplayOptions Include = kAllDisplayOptions;
    double ControlScale = 1.0;
};

// The print engine: lays the shown document out for the printer, cuts it into pages, prints
// them and draws them scaled for a preview.
class TRVPrint : public QObject
{
    Q_OBJECT

public:
    explicit TRVPrint(QObject* parent = nullptr);
    ~TRVPrint() override;

    int LeftMarginMM() const { return m_rv->LeftMarginMM; }

    void SetLeftMarginMM(int value) { m_rv->LeftMarginMM = value; }

    int RightMarginMM() const { return m_rv->RightMarginMM; }

    void SetRightMarginMM(int value) { m_rv->RightMarginMM = value; }

    int TopMarginMM() const { return m_rv->TopMarginMM; }

    void SetTopMarginMM(int value) { m_rv->TopMarginMM = value; }

    int BottomMarginMM() const { return m_rv->BottomMarginMM; }

    void SetBottomMarginMM(int value) { m_rv->BottomMarginMM = value; }

    bool PreviewCorrection = true;

    TRVFormattingEvent OnFormatting;
    TRVSendingToPrinterEvent OnSendingToPrinter;
    TRVPrintComponentEvent OnPrintComponent;

    // The printer pages are laid out for and printed on: the engine's own Qt printer unless one
    // is set (used, not owned; nullptr returns to the own one).
    TRVPrinter& Printer();
    void SetPrinter(TRVPrinter* printer);
    QPrinter& QtPrinter();

    TPrintableRV& rv() { return *m_rv; }

    void AssignSource(const TRichView& source);
    int FormatPages(TRVDisplayOptions include = kAllDisplayOptions);
    // Sends every page as one job; nothing at all when no page is formatted.
    void Print(const QString& title, int copies, bool collate);
    void ClearPages();

    int PagesCount() const { return int(m_rv->Pages.size()); }

    bool Ready() const { return m_ready; }

    QSize PageSize() const { return { m_rv->Geometry.PageWidth, m_rv->Geometry.PageHeight }; }

    // Draws page pageNo (from 1) scaled into rect: white paper, then the page's lines.
    void DrawPage(int pageNo, QPainter& painter, const QRect& rect);
    // Draws page pageNo at the painter's device scale, the paper's corner at (0, 0).
    void PaintPage(int pageNo, QPainter& painter);

private:
    class TPrinterMeasurer;

    void PaintSegment(QPainter& painter, const TRVDrawLineInfo& segment);
    void PaintControl(QPainter& painter, const TRVDrawLineInfo& segment, QWidget* control);

    std::unique_ptr<QPrinter> m_ownPrinter;
    std::unique_ptr<TQtRVPrinter> m_ownPrinterAdapter;
    TRVPrinter* m_printer = nullptr;
    TPrintableRV* m_rv = nullptr;
    std::unique_ptr<TPrinterMeasurer> m_measurer;
    bool m_ready = false;
};

} // namespace pivrel::view
