#include "view/RVPP.h"

#include "view/PtblRV.h"

#include <QPaintDevice>

namespace pivrel::view {

TRVPrintPreview::TRVPrintPreview(QWidget* parent)
    : TCustomRVPrintPreview(parent)
{ }

void TRVPrintPreview::SetRVPrint(TRVPrint* print)
{
    m_print = print;
    UpdatePages();
}

int TRVPrintPreview::PagesCount() const
{
    return m_print && m_print->Ready() ? m_print->PagesCount() : 0;
}

QSize TRVPrintPreview::PageScreenSize() const
{
    if (!m_print || !m_print->Ready())
        return { 0, 0 };
    QPaintDevice& device = m_print->Printer().Device();
    const QSize page = m_print->PageSize();
    const int screen = logicalDpiX() > 0 ? logicalDpiX() : 96;
    return { page.width() * screen / std::max(device.logicalDpiX(), 1),
        page.height() * screen / std::max(device.logicalDpiY(), 1) };
}

void TRVPrintPreview::DrawPageTo(int pageNo, QPainter& painter, const QRect& rect)
{
    if (m_print)
        m_print->DrawPage(pageNo, painter, rect);
}

QRect TRVPrintPreview::MarginsRect() const
{
    if (!m_print || !m_print->Ready())
        return {};
    const QSize screen = PageScreenSize();
    const QSize page = m_print->PageSize();
    if (page.isEmpty())
        return {};
    QPaintDevice& device = m_print->Printer().Device();
    const int left = MMToPixels(m_print->LeftMarginMM(), device.logicalDpiX());
    const int top = MMToPixels(m_print->TopMarginMM(), device.logicalDpiY());
    const int right = MMToPixels(m_print->RightMarginMM(), device.logicalDpiX());
    const int bottom = MMToPixels(m_print->BottomMarginMM(), device.logicalDpiY());
    return { left * screen.width() / page.width(), top * screen.height() / page.height(),
        (page.width() - left - right) * screen.width() / page.width(),
        (page.height() - top - bottom) * screen.height() / page.height() };
}

} // namespace pivrel::view
