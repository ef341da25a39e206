// Keyboard focus over the card: the order of the links and controls, the focus frame, and the
// keys that follow links.

#include "base/Event.h"

#include "view/RichView.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

namespace pivrel::view {

std::vector<TRichView::TFocusStop> TRichView::FocusStops() const
{
    std::vector<TFocusStop> stops;
    // A link broken over lines has one jump area per piece; it is one stop.
    for (const TRVJumpInfo& jump : m_layout.Jumps) {
        const bool known = std::any_of(
            stops.begin(), stops.end(), [&jump](const TFocusStop& stop) { return stop.Jump == jump.Id; });
        if (!known)
            stops.push_back({ jump.ItemNo, jump.Id, nullptr });
    }
    for (int i = 0; i < ItemCount(); ++i) {
        QWidget* control = (*m_items)[std::size_t(i)].Info.Gr;
        if ((*m_items)[std::size_t(i)].Info.StyleNo == rvsComponent && control != nullptr
            && control->isEnabled() && (control->focusPolicy() & Qt::TabFocus) != 0)
            stops.push_back({ i, -1, control });
    }
    std::stable_sort(stops.begin(), stops.end(),
        [](const TFocusStop& a, const TFocusStop& b) { return a.ItemNo < b.ItemNo; });
    return stops;
}

// The stop that has the focus now, or -1.
int TRichView::CurrentFocusStop(const std::vector<TFocusStop>& stops) const
{
    const QWidget* focused = QApplication::focusWidget();
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const TFocusStop& stop = stops[i];
        if (stop.Jump >= 0 && stop.Jump == m_focusJump)
            return int(i);
        if (stop.Control != nullptr && focused != nullptr
            && (stop.Control == focused || stop.Control->isAncestorOf(focused)))
            return int(i);
    }
    return -1;
}

bool TRichView::MoveFocus(bool forward)
{
    const std::vector<TFocusStop> stops = FocusStops();
    const int current = CurrentFocusStop(stops);
    const int next = current < 0 ? (forward ? 0 : int(stops.size()) - 1) : current + (forward ? 1 : -1);
    if (next < 0 || next >= int(stops.size())) {
        m_focusJump = -1;
        viewport()->update();
        return false;
    }
    FocusStop(stops[std::size_t(next)]);
    return true;
}

void TRichView::FocusStop(const TFocusStop& stop)
{
    m_focusJump = stop.Jump;
    if (stop.Control != nullptr) {
        const int top = stop.Control->y() + VPos() * StepSize();
        ShowDocumentRange(top, top + stop.Control->height());
        stop.Control->setFocus(Qt::TabFocusReason);
    } else {
        int top = -1;
        int bottom = -1;
        for (const TRVJumpInfo& jump : m_layout.Jumps) {
            if (jump.Id != stop.Jump)
                continue;
            top = top < 0 ? jump.Top : std::min(top, jump.Top);
            bottom = std::max(bottom, jump.Top + jump.Height);
        }
        ShowDocumentRange(top, bottom);
        m_movingFocus = true;
        setFocus(Qt::TabFocusReason);
        m_movingFocus = false;
    }
    viewport()->update();
}

// Scrolls as little as needed to bring the document's rows top..bottom into the viewport.
void TRichView::ShowDocumentRange(int top, int bottom)
{
    const int step = std::max(1, StepSize());
    const int shownTop = VPos() * step;
    const int height = viewport()->height();
    if (top < shownTop)
        ScrollTo(top / step);
    else if (bottom > shownTop + height)
        ScrollTo(std::min(top, bottom - height + step - 1) / step);
}

void TRichView::PaintFocusFrame(QPainter& painter) const
{
    if (m_focusJump < 0 || !hasFocus())
        return;
    QPen pen(ColorToQColor(clWindowText));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const int dx = HPos();
    const int dy = VPos() * StepSize();
    for (const TRVJumpInfo& jump : m_layout.Jumps) {
        if (jump.Id == m_focusJump)
            painter.drawRect(jump.Left - dx - 1, jump.Top - dy, jump.Width + 1, jump.Height - 1);
    }
}

int TRichView::LinkJump(int index) const
{
    int seen = 0;
    for (const TFocusStop& stop : FocusStops()) {
        if (stop.Jump >= 0 && seen++ == index)
            return stop.Jump + m_firstJumpNo;
    }
    return -1;
}

// Enter follows the framed link; a digit from 1 to 9 follows that link of the card, as on a phone.
bool TRichView::FocusKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return false;
    int jump = -1;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        jump = FocusedJump();
    else if (event->key() >= Qt::Key_1 && event->key() <= Qt::Key_9)
        jump = LinkJump(event->key() - Qt::Key_1);
    if (jump < 0)
        return false;
    event->accept();
    base::Fire(OnJump, *this, jump);
    return true;
}

void TRichView::focusInEvent(QFocusEvent* event)
{
    TRVScroller::focusInEvent(event);
    // Tabbing into the view lands on its first stop, tabbing back on its last.
    if (!m_movingFocus && m_focusJump < 0
        && (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason))
        MoveFocus(event->reason() == Qt::TabFocusReason);
    viewport()->update();
}

void TRichView::focusOutEvent(QFocusEvent* event)
{
    TRVScroller::focusOutEvent(event);
    viewport()->update();
}

bool TRichView::focusNextPrevChild(bool next)
{
    if (MoveFocus(next))
        return true;
    return TRVScroller::focusNextPrevChild(next);
}

} // namespace pivrel::view
