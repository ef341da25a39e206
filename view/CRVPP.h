#pragma once

#include "view/RVScroll.h"

#include <QPen>

#include <functional>

namespace pivrel::view {

class TCustomRVPrintPreview;
using TRVPreviewNotifyEvent = std::function<void(TCustomRVPrintPreview& sender)>;

// The scrolling preview of printed pages: one page at a time, at a zoom in percent of its real
// size on the screen. A click toggles between 100 % and the zoom used before it; Ctrl and the
// wheel zoom in steps of 10 %.
class TCustomRVPrintPreview : public TRVScroller
{
    Q_OBJECT

public:
    explicit TCustomRVPrintPreview(QWidget* parent = nullptr);

    int ZoomInCursor = 102;
    int ZoomOutCursor = 103;
    // Outlines the margins; the default draws nothing.
    QPen MarginsPen { QColor(0xC0, 0xC0, 0xC0), 1, Qt::NoPen };
    TRVPreviewNotifyEvent OnZoomChanged;

    int ZoomPercent() const { return m_zoom; }

    // Switching to 100 % remembers the zoom before it as the one a click returns to.
    void SetZoomPercent(int percent);

    int ZoomReturnPercent() const { return m_zoomReturn; }

    int PageNo() const { return m_pageNo; }

    void SetPageNo(int pageNo);

    void First() { SetPageNo(1); }

    void Prev() { SetPageNo(m_pageNo - 1); }

    void Next() { SetPageNo(m_pageNo + 1); }

    void Last() { SetPageNo(PagesCount()); }

    // The shown page's image on the viewport, before scrolling.
    QRect PageImageRect() const;
    // Re-reads page count and size after the pages changed.
    void UpdatePages();

protected:
    virtual int PagesCount() const = 0;
    // The page's size in screen pixels at 100 %.
    virtual QSize PageScreenSize() const = 0;
    virtual void DrawPageTo(int pageNo, QPainter& painter, const QRect& rect) = 0;

    // The margins' rectangle within a page of PageScreenSize.
    virtual QRect MarginsRect() const { return {}; }

    void ContentScrolled() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void UpdateRanges();

    int m_zoom = 100;
    int m_zoomReturn = 50;
    int m_pageNo = 1;
};

} // namespace pivrel::view
