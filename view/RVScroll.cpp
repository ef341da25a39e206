#include "view/RVScroll.h"

#include "view/DLines.h"

#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>

namespace pivrel::view {

TRVScroller::TRVScroller(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    ShowBars(false, false);
    verticalScrollBar()->setSingleStep(1);
}

int TRVScroller::VPos() const
{
    return verticalScrollBar()->value();
}

int TRVScroller::HPos() const
{
    return horizontalScrollBar()->value();
}

void TRVScroller::ScrollTo(int vpos)
{
    verticalScrollBar()->setValue(vpos);
}

void TRVScroller::SetHPos(int hpos)
{
    horizontalScrollBar()->setValue(hpos);
}

void TRVScroller::SetTracking(bool value)
{
    m_tracking = value;
    verticalScrollBar()->setTracking(value);
    horizontalScrollBar()->setTracking(value);
}

void TRVScroller::SetVScrollVisible(bool value)
{
    m_vScrollVisible = value;
    ShowBars(value || m_vBarShown, m_hBarShown);
}

QSize TRVScroller::ClientSizeFor(bool vBar, bool hBar) const
{
    QSize size = contentsRect().size();
    if (vBar)
        size.rwidth() -= verticalScrollBar()->sizeHint().width();
    if (hBar)
        size.rheight() -= horizontalScrollBar()->sizeHint().height();
    return size.expandedTo(QSize(0, 0));
}

void TRVScroller::ShowBars(bool vBar, bool hBar)
{
    m_vBarShown = vBar;
    m_hBarShown = hBar;
    setVerticalScrollBarPolicy(vBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(hBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TRVScroller::SetRanges(int documentWidth, int documentHeight, QSize clientSize)
{
    const int step = std::max(1, m_stepSize);
    QScrollBar* vBar = verticalScrollBar();
    vBar->setPageStep(std::max(1, clientSize.height() / step));
    vBar->setRange(0, MaxVPos(documentHeight, clientSize.height(), step));
    vBar->setEnabled(vBar->maximum() > 0);
    QScrollBar* hBar = horizontalScrollBar();
    hBar->setSingleStep(step);
    hBar->setPageStep(std::max(1, clientSize.width()));
    hBar->setRange(0, std::max(0, documentWidth - clientSize.width()));
}

void TRVScroller::scrollContentsBy(int, int)
{
    ContentScrolled();
}

void TRVScroller::keyPressEvent(QKeyEvent* event)
{
    QScrollBar* vBar = verticalScrollBar();
    QScrollBar* hBar = horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageUp:
        vBar->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        vBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    case Qt::Key_Home:
        vBar->triggerAction(QAbstractSlider::SliderToMinimum);
        break;
    case Qt::Key_End:
        vBar->triggerAction(QAbstractSlider::SliderToMaximum);
        break;
    case Qt::Key_Up:
        vBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Down:
        vBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_Left:
        hBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Right:
        hBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace pivrel::view
