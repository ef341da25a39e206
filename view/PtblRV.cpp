#include "view/PtblRV.h"

#include "base/Event.h"
#include "base/Utf8.h"

#include "view/QtString.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace pivrel::view {

// ---- Printers

TQtRVPrinter::TQtRVPrinter(QPrinter& printer)
    : m_printer(printer)
{ }

QPaintDevice& TQtRVPrinter::Device()
{
    return m_printer;
}

bool TQtRVPrinter::SupportsMultipleCopies() const
{
    return m_printer.supportsMultipleCopies();
}

int TQtRVPrinter::CopyCount() const
{
    return m_printer.copyCount();
}

void TQtRVPrinter::SetCopyCount(int count)
{
    m_printer.setCopyCount(count);
}

void TQtRVPrinter::SetCollateCopies(bool collate)
{
    m_printer.setCollateCopies(collate);
}

void TQtRVPrinter::SetDocName(const QString& title)
{
    m_printer.setDocName(title);
}

bool TQtRVPrinter::NewPage()
{
    return m_printer.newPage();
}

// ---- Page arithmetic

int MMToPixels(int mm, int dpi)
{
    return int(std::lround(double(mm) * dpi / 25.4));
}

TRVPageGeometry ComputePageGeometry(const TRVPageSetup& setup)
{
    auto toPrinterX = [&](int screen) { return screen * setup.DpiX / std::max(setup.ScreenDpi, 1); };
    auto toPrinterY = [&](int screen) { return screen * setup.DpiY / std::max(setup.ScreenDpi, 1); };
    TRVPageGeometry g;
    g.PageWidth = setup.PageWidth;
    g.PageHeight = setup.PageHeight;
    g.LeftMargin = MMToPixels(setup.LeftMarginMM, setup.DpiX);
    const int printable = setup.PageWidth - g.LeftMargin - MMToPixels(setup.RightMarginMM, setup.DpiX);
    g.ViewLeft = toPrinterX(setup.ViewLeft);
    g.TextWidth = std::max(1, printable - g.ViewLeft - toPrinterX(setup.ViewRight));
    const int viewTop = toPrinterY(setup.ViewTop);
    g.TopMargin = MMToPixels(setup.TopMarginMM, setup.DpiY) + viewTop;
    const int pageHeight = setup.PageHeight - MMToPixels(setup.TopMarginMM, setup.DpiY)
        - MMToPixels(setup.BottomMarginMM, setup.DpiY);
    g.ContentHeight = std::max(1, pageHeight - viewTop - toPrinterY(setup.ViewBottom));
    return g;
}

std::vector<TRVPageInfo> CutPages(const std::vector<TRVLineInfo>& lines, int contentHeight)
{
    std::vector<TRVPageInfo> pages;
    pages.push_back({ lines.empty() ? 0 : lines.front().Top, 0 });
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const TRVLineInfo& line = lines[i];
        if (line.Top + line.Height - pages.back().StartY > contentHeight)
            pages.push_back({ line.Top, int(i) });
    }
    return pages;
}

// ---- Measuring in printer pixels

// Fonts sized in printer pixels, so that the same fonts measure for the printer and draw on it
// and, scaled, on the screen.
class TRVPrint::TPrinterMeasurer : public TRVMeasurer
{
public:
    TPrinterMeasurer(const TRVStyle& style, int dpiY)
    {
        for (const TFontInfo& info : style.TextStyles())
            m_styles.push_back(Make(info, dpiY));
        m_fallback = Make(TFontInfo {}, dpiY);
    }

    TRVFontMetrics Metrics(int styleNo) const override { return Cache(styleNo).Metrics; }

    double Advance(int styleNo, char32_t codePoint) const override
    {
        const TCache& cache = Cache(styleNo);
        auto found = cache.Advances.find(codePoint);
        if (found != cache.Advances.end())
            return found->second;
        const double advance = cache.MetricsF.horizontalAdvance(QString::fromUcs4(&codePoint, 1));
        cache.Advances.emplace(codePoint, advance);
        return advance;
    }

    const QFont& Font(int styleNo) const { return Cache(styleNo).Font; }

private:
    struct TCache {
        QFont Font;
        QFontMetricsF MetricsF;
        TRVFontMetrics Metrics;
        mutable std::unordered_map<char32_t, double> Advances;
    };

    static std::unique_ptr<TCache> Make(const TFontInfo& info, int dpiY)
    {
        QFont font = info.MakeFont();
        font.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * dpiY / 72.0))));
        const QFontMetricsF metrics(font);
        auto cache = std::unique_ptr<TCache>(new TCache { font, metrics, {}, {} });
        cache->Metrics = { int(std::ceil(metrics.ascent())), int(std::ceil(metrics.descent())),
            std::max(0, int(std::lround(metrics.leading()))) };
        return cache;
    }

    const TCache& Cache(int styleNo) const
    {
        if (styleNo < 0 || std::size_t(styleNo) >= m_styles.size())
            return *m_fallback;
        return *m_styles[std::size_t(styleNo)];
    }

    std::vector<std::unique_ptr<TCache>> m_styles;
    std::unique_ptr<TCache> m_fallback;
};

// ---- The printable view and the engine

TPrintableRV::TPrintableRV(QWidget* parent)
    : TRichView(parent)
{
    setObjectName("PrintableRV");
    SetVScrollVisible(false);
    hide();
}

TRVPrint::TRVPrint(QObject* parent)
    : QObject(parent)
    , m_rv(new TPrintableRV)
{
    setObjectName("RVPrint");
}

TRVPrint::~TRVPrint()
{
    delete m_rv;
}

TRVPrinter& TRVPrint::Printer()
{
    if (m_printer)
        return *m_printer;
    QtPrinter();
    return *m_ownPrinterAdapter;
}

void TRVPrint::SetPrinter(TRVPrinter* printer)
{
    m_printer = printer;
}

QPrinter& TRVPrint::QtPrinter()
{
    if (!m_ownPrinter) {
        m_ownPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_ownPrinter->setFullPage(true);
        m_ownPrinter->setPageSize(QPageSize(QPageSize::A4));
        m_ownPrinterAdapter = std::make_unique<TQtRVPrinter>(*m_ownPrinter);
    }
    return *m_ownPrinter;
}

void TRVPrint::AssignSource(const TRichView& source)
{
    ClearPages();
    m_rv->ShareItemsOf(source);
    m_rv->SetStyle(source.Style());
    m_rv->SetLeftMargin(source.LeftMargin());
    m_rv->SetRightMargin(source.RightMargin());
    m_rv->SetTopMargin(0);
    m_rv->SetBottomMargin(0);
    m_rv->SetBackgroundBitmap(source.BackgroundBitmap());
    m_rv->SetBackgroundStyle(source.BackgroundStyle());
    m_rv->SetDoInPaletteMode(source.DoInPaletteMode());
    m_rv->SourceTopMargin = source.TopMargin();
    m_rv->SourceBottomMargin = source.BottomMargin();
    m_rv->ControlScale = 1.0;
    m_rv->ScreenDpi = source.logicalDpiX() > 0 ? source.logicalDpiX() : 96;
}

int TRVPrint::FormatPages(TRVDisplayOptions include)
{
    base::Fire(OnFormatting, *this, 0, rvpsStarting);
    TPrintableRV& rv = *m_rv;
    rv.Pages.clear();
    m_ready = false;
    if (!rv.Style()) {
        base::Fire(OnFormatting, *this, 0, rvpsFinished);
        return 0;
    }
    QPaintDevice& device = Printer().Device();
    TRVPageSetup setup;
    setup.PageWidth = device.width();
    setup.PageHeight = device.height();
    setup.DpiX = device.logicalDpiX();
    setup.DpiY = device.logicalDpiY();
    setup.ScreenDpi = rv.ScreenDpi;
    setup.LeftMarginMM = rv.LeftMarginMM;
    setup.RightMarginMM = rv.RightMarginMM;
    setup.TopMarginMM = rv.TopMarginMM;
    setup.BottomMarginMM = rv.BottomMarginMM;
    setup.ViewLeft = rv.LeftMargin();
    setup.ViewRight = rv.RightMargin();
    setup.ViewTop = rv.SourceTopMargin;
    setup.ViewBottom = rv.SourceBottomMargin;
    rv.Geometry = ComputePageGeometry(setup);
    rv.Include = include;
    rv.ControlScale = double(setup.DpiX) / std::max(setup.ScreenDpi, 1);

    m_measurer = std::make_unique<TPrinterMeasurer>(*rv.Style(), setup.DpiY);
    TRVLayoutParams params { rv.Geometry.TextWidth, rv.Geometry.ViewLeft, 0, 0 };
    params.ControlScale = rv.ControlScale;
    rv.PageLayout = LayoutItems(rv.Items(), *rv.Style(), *m_measurer, params);
    rv.Pages = CutPages(rv.PageLayout.LineInfos, rv.Geometry.ContentHeight);
    m_ready = true;
    for (int page = 1; page <= PagesCount(); ++page)
        base::Fire(OnFormatting, *this, page, rvpsProceeding);
    base::Fire(OnFormatting, *this, PagesCount(), rvpsFinished);
    return PagesCount();
}

void TRVPrint::ClearPages()
{
    m_rv->Clear();
    m_rv->Pages.clear();
    m_rv->PageLayout = {};
    m_measurer.reset();
    m_ready = false;
}

void TRVPrint::Print(const QString& title, int copies, bool collate)
{
    if (!m_ready || PagesCount() == 0)
        return;
    base::Fire(OnSendingToPrinter, *this, 0, rvpsStarting);
    TRVPrinter& printer = Printer();
    printer.SetDocName(title);
    const int savedCopies = printer.CopyCount();
    copies = std::max(copies, 1);
    const bool byPrinter = printer.SupportsMultipleCopies();
    printer.SetCopyCount(byPrinter ? copies : 1);
    printer.SetCollateCopies(collate);
    const int repeats = byPrinter ? 1 : copies;
    const int pages = PagesCount();
    QPainter painter;
    if (painter.begin(&printer.Device())) {
        const int sheets = repeats * pages;
        for (int sheet = 0; sheet < sheets; ++sheet) {
            const int page = collate ? sheet % pages + 1 : sheet / repeats + 1;
            PaintPage(page, painter);
            base::Fire(OnSendingToPrinter, *this, page, rvpsProceeding);
            if (sheet + 1 < sheets)
                printer.NewPage();
        }
        painter.end();
    }
    printer.SetCopyCount(savedCopies);
    base::Fire(OnSendingToPrinter, *this, 0, rvpsFinished);
}

void TRVPrint::DrawPage(int pageNo, QPainter& painter, const QRect& rect)
{
    painter.save();
    painter.fillRect(rect, Qt::white);
    const TRVPageGeometry& g = m_rv->Geometry;
    if (g.PageWidth > 0 && g.PageHeight > 0) {
        painter.setClipRect(rect, Qt::IntersectClip);
        painter.translate(rect.topLeft());
        painter.scale(double(rect.width()) / g.PageWidth, double(rect.height()) / g.PageHeight);
        PaintPage(pageNo, painter);
    }
    painter.restore();
}

void TRVPrint::PaintPage(int pageNo, QPainter& painter)
{
    const TPrintableRV& rv = *m_rv;
    if (!m_ready || !m_measurer || pageNo < 1 || pageNo > PagesCount())
        return;
    const TRVPageInfo& page = rv.Pages[std::size_t(pageNo - 1)];
    const std::size_t lineEnd = std::size_t(pageNo) < rv.Pages.size()
        ? std::size_t(rv.Pages[std::size_t(pageNo)].StartLineNo)
        : rv.PageLayout.LineInfos.size();
    const auto& lines = rv.PageLayout.LineInfos;
    painter.save();
    painter.translate(rv.Geometry.LeftMargin, rv.Geometry.TopMargin - page.StartY);
    for (std::size_t line = std::size_t(page.StartLineNo); line < lineEnd; ++line) {
        const std::size_t segEnd
            = line + 1 < lines.size() ? std::size_t(lines[line + 1].FirstSeg) : rv.PageLayout.Lines.size();
        for (std::size_t i = std::size_t(lines[line].FirstSeg); i < segEnd; ++i)
            PaintSegment(painter, rv.PageLayout.Lines[i]);
    }
    painter.restore();
}

void TRVPrint::PaintSegment(QPainter& painter, const TRVDrawLineInfo& segment)
{
    const TRVItemList& items = m_rv->Items();
    if (std::size_t(segment.ItemNo) >= items.size())
        return;
    const TRVItem& item = items[std::size_t(segment.ItemNo)];
    const int x = segment.Left;
    const int y = segment.Top;
    if (item.Info.StyleNo == rvsBreak) {
        painter.setPen(QPen(Qt::black, std::max(1, segment.Height / 8)));
        painter.drawLine(x, y + segment.Height / 2, x + segment.Width - 1, y + segment.Height / 2);
        return;
    }
    if (item.Info.StyleNo == rvsComponent) {
        if ((m_rv->Include & rvdoComponents) && item.Info.Gr)
            PaintControl(painter, segment, item.Info.Gr);
        return;
    }
    if (item.Info.StyleNo < 0 || segment.Length <= 0)
        return;
    const int styleNo = item.Info.StyleNo;
    const TFontInfo& font = m_rv->Style()->TextStyle(styleNo);
    const QColor color = ColorToQColor(font.Color);
    if (font.BackColor != clNone)
        painter.fillRect(x, y, segment.Width, segment.Height, ColorToQColor(font.BackColor));
    const TRVFontMetrics metrics = m_measurer->Metrics(styleNo);
    const int shift = (metrics.Ascent + metrics.Descent) * font.VShift / 100;
    const int baseline = y + metrics.Ascent + metrics.ExternalLeading + std::max(0, -shift);
    const std::string_view text
        = std::string_view(item.Text).substr(std::size_t(segment.Offs - 1), std::size_t(segment.Length));
    painter.setFont(m_measurer->Font(styleNo));
    painter.setPen(color);
    painter.drawText(QPoint(x, baseline), ToQString(text));
    if (font.StyleEx & rvfsOverlined)
        painter.drawLine(x, y, x + segment.Width - 1, y);
}

void TRVPrint::PaintControl(QPainter& painter, const TRVDrawLineInfo& segment, QWidget* control)
{
    const QRect target(segment.Left + 1, segment.Top + 1,
        int(std::lround(control->width() * m_rv->ControlScale)),
        int(std::lround(control->height() * m_rv->ControlScale)));
    QPixmap supplied;
    base::Fire(OnPrintComponent, *this, control, supplied);
    if (!supplied.isNull()) {
        // The supplied picture keeps its proportions, centred in the control's place.
        const QSize fitted = supplied.size().scaled(target.size(), Qt::KeepAspectRatio);
        const QRect place(target.center() - QPoint(fitted.width() / 2, fitted.height() / 2), fitted);
        painter.drawPixmap(place, supplied);
        return;
    }
    // As the control shows on screen, drawn at up to three times the screen's detail.
    const double detail = std::clamp(m_rv->ControlScale, 1.0, 3.0);
    QPixmap picture(
        QSize(int(std::ceil(control->width() * detail)), int(std::ceil(control->height() * detail))));
    picture.setDevicePixelRatio(detail);
    picture.fill(Qt::white);
    control->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.drawPixmap(target, picture);
}

} // namespace pivrel::view
