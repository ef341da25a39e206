#pragma once

#include <QAbstractScrollArea>
#include <QSize>

namespace pivrel::view {

// The scrolling base of the document view. The vertical position counts steps of StepSize
// pixels, the horizontal one pixels; the scroll bars are shown and hidden by the view itself,
// so that it knows the client size it lays out for before Qt lays the bars out.
class TRVScroller : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit TRVScroller(QWidget* parent = nullptr);

    int StepSize() const { return m_stepSize; }

    int VPos() const;
    int HPos() const;
    void ScrollTo(int vpos);
    void SetHPos(int hpos);

    bool Tracking() const { return m_tracking; }

    void SetTracking(bool value);

    bool VScrollVisible() const { return m_vScrollVisible; }

    void SetVScrollVisible(bool value);

protected:
    void SetStepSize(int value) { m_stepSize = value; }

    // The viewport size with the given scroll bars shown.
    QSize ClientSizeFor(bool vBar, bool hBar) const;

    bool VBarShown() const { return m_vBarShown; }

    bool HBarShown() const { return m_hBarShown; }

    void ShowBars(bool vBar, bool hBar);

    // Sets the ranges for a document of this size laid out for clientSize; the vertical
    // position is kept as far as the new range allows.
    void SetRanges(int documentWidth, int documentHeight, QSize clientSize);

    // Called after every change of a scroll position.
    virtual void ContentScrolled() { }

    // QAbstractScrollArea
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_stepSize = 10;
    bool m_tracking = true;
    bool m_vScrollVisible = false;
    bool m_vBarShown = false;
    bool m_hBarShown = false;
};

} // namespace pivrel::view
