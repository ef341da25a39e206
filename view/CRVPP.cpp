#include "view/CRVPP.h"

#include "base/Event.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace pivrel::view {

namespace {

    // Space around the page image.
    constexpr int kBorder = 20;

} // namespace

TCustomRVPrintPreview::TCustomRVPrintPreview(QWidget* parent)
    : TRVScroller(parent)
{
    SetStepSize(1);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::PointingHandCursor);
}

void TCustomRVPrintPreview::SetZoomPercent(int percent)
{
    percent = std::max(percent, 1);
    if (percent == 100 && m_zoom != 100)
        m_zoomReturn = m_zoom;
    m_zoom = percent;
    UpdateRanges();
    viewport()->update();
    base::Fire(OnZoomChanged, *this);
}

void TCustomRVPrintPreview::SetPageNo(int pageNo)
{
    const int clamped = std::clamp(pageNo, 1, std::max(PagesCount(), 1));
    if (clamped == m_pageNo)
        return;
    m_pageNo = clamped;
    viewport()->update();
}

void TCustomRVPrintPreview::UpdatePages()
{
    m_pageNo = std::clamp(m_pageNo, 1, std::max(PagesCount(), 1));
    UpdateRanges();
    viewport()->update();
}

QRect TCustomRVPrintPreview::PageImageRect() const
{
    const QSize page = PageScreenSize();
    const QSize image(page.width() * m_zoom / 100, page.height() * m_zoom / 100);
    const int left = std::max(kBorder, (viewport()->width() - image.width()) / 2);
    return { QPoint(left - HPos(), kBorder - VPos()), image };
}

void TCustomRVPrintPreview::UpdateRanges()
{
    const QSize page = PageScreenSize();
    const int width = page.width() * m_zoom / 100 + 2 * kBorder;
    const int height = page.height() * m_zoom / 100 + 2 * kBorder;
    const bool vBar = height > ClientSizeFor(false, false).height();
    const bool hBar = width > ClientSizeFor(vBar, false).width();
    ShowBars(vBar, hBar);
    SetRanges(width, height, ClientSizeFor(vBar, hBar));
}

void TCustomRVPrintPreview::ContentScrolled()
{
    viewport()->update();
}

void TCustomRVPrintPreview::resizeEvent(QResizeEvent* event)
{
    TRVScroller::resizeEvent(event);
    UpdateRanges();
}

void TCustomRVPrintPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), QColor(0x80, 0x80, 0x80));
    if (PagesCount() < 1)
        return;
    const QRect image = PageImageRect();
    painter.fillRect(image.translated(3, 3), Qt::black);
    DrawPageTo(m_pageNo, painter, image);
    if (MarginsPen.style() != Qt::NoPen) {
        const QRect margins = MarginsRect();
        const QSize page = PageScreenSize();
        if (!margins.isEmpty() && !page.isEmpty()) {
            painter.setPen(MarginsPen);
            painter.drawRect(QRect(image.left() + margins.left() * m_zoom / 100,
                image.top() + margins.top() * m_zoom / 100, margins.width() * m_zoom / 100,
                margins.height() * m_zoom / 100));
        }
    }
}

void TCustomRVPrintPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        SetZoomPercent(m_zoom == 100 ? m_zoomReturn : 100);
    TRVScroller::mouseReleaseEvent(event);
}

void TCustomRVPrintPreview::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        TRVScroller::wheelEvent(event);
        return;
    }
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        SetZoomPercent(m_zoom + 10 * steps);
    event->accept();
}

} // namespace pivrel::view
