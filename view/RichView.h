#pragma once

#include "view/DLines.h"
#include "view/RVScroll.h"
#include "view/RVStyle.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::view {

// Item kinds with no text style.
inline constexpr int rvsBreak = -1;
inline constexpr int rvsPicture = -3;
inline constexpr int rvsHotspot = -4;
inline constexpr int rvsComponent = -5;
inline constexpr int rvsBullet = -6;

struct TRVCheckpoint;

struct TRVItemInfo {
    std::int16_t StyleNo = 0;
    std::int16_t ParaNo = 0;
    bool SameAsPrev = false;
    bool Centred = false;
    QPointer<QWidget> Gr;
    int JumpNo = -1;
    std::int32_t Tag = 0;
    TRVCheckpoint* Checkpoint = nullptr;
    // The table cell the item stands in: Table counts the view's tables from 1, 0 for none.
    std::int32_t Table = 0;
    std::int16_t Row = 0;
    std::int16_t Column = 0;
};

// One entry of the item list: the run's UTF-8 text (the name for a control item) and its record.
struct TRVItem {
    std::string Text;
    TRVItemInfo Info;
};

using TRVItemList = std::vector<TRVItem>;

enum TRVOption : unsigned {
    rvoAllowSelection = 1u << 0,
    rvoSingleClick = 1u << 1,
    rvoScrollToEnd = 1u << 2,
    rvoClientTextWidth = 1u << 3,
    rvoShowCheckpoints = 1u << 4,
    rvoTagsArePChars = 1u << 5,
    rvoAutoCopyText = 1u << 6,
    rvoAutoCopyRVF = 1u << 7,
    rvoAutoCopyImage = 1u << 8,
    rvoFormatInvalidate = 1u << 9,
    rvoDblClickSelectsWord = 1u << 10,
    rvoRClickDeselects = 1u << 11,
};

using TRVOptions = unsigned;

inline constexpr TRVOptions kDefaultRVOptions = rvoAllowSelection | rvoScrollToEnd | rvoAutoCopyText
    | rvoAutoCopyRVF | rvoAutoCopyImage | rvoFormatInvalidate | rvoDblClickSelectsWord | rvoRClickDeselects;

enum TBackgroundStyle { bsNoBitmap, bsStretched, bsTiled, bsTiledAndScrolled, bsCentered };

enum TRVPaletteAction { rvpaDoNothing, rvpaAssignPallette, rvpaCreateCopies, rvpaCreateCopiesEx };

enum TCPEventKind { cpeNone, cpeAsSectionStart, cpeWhenVisible };

enum TRVSaveFormat { rvsfText, rvsfHTML, rvsfRTF };

using TRVFOptions = unsigned;
using TRVSaveOptions = unsigned;

// A caret position: before byte Offs (from 0) of item ItemNo's text.
struct TRVSelPoint {
    int ItemNo = 0;
    int Offs = 0;
    auto operator<=>(const TRVSelPoint&) const = default;
};

class TRichView;

using TJumpEvent = std::function<void(TRichView& sender, int id)>;
using TRVMouseMoveEvent = std::function<void(TRichView& sender, int id)>;
using TRVNotifyEvent = std::function<void(TRichView& sender)>;
using TRVMouseEvent
    = std::function<void(TRichView& sender, Qt::MouseButton button, int itemNo, int x, int y)>;
using TRVDblClickEvent = std::function<void(TRichView& sender, const std::string& clickedWord, int style)>;
using TRVRightClickEvent
    = std::function<void(TRichView& sender, const std::string& clickedWord, int style, int x, int y)>;
// Gives the address of a hot link for the HTML export; an empty answer writes no link.
using TRVURLNeededEvent = std::function<std::string(TRichView& sender, int id)>;
// Gives what a control item writes into a saved file; empty writes nothing.
using TRVSaveComponentToFileEvent = std::function<std::string(
    TRichView& sender, const std::string& path, QWidget* control, TRVSaveFormat format)>;
using TRVCheckpointVisibleEvent = std::function<void(TRichView& sender, TRVCheckpoint* checkpoint)>;
using TRVFPictureNeededEvent
    = std::function<void(TRichView& sender, const std::string& name, std::int32_t tag)>;
using TRVFControlNeededEvent
    = std::function<QWidget*(TRichView& sender, const std::string& name, std::int32_t tag)>;
using TRVFImageListNeededEvent = std::function<void(TRichView& sender, int imageListTag)>;

// The document view: a list of styled text runs and embedded controls, grouped into
// paragraphs, laid out by Format, with hot links, selection, copying and saving.
class TRichView : public TRVScroller
{
    Q_OBJECT

public:
    explicit TRichView(QWidget* parent = nullptr);
    ~TRichView() override;

    TRVStyle* Style() const { return m_style; }

    void SetStyle(TRVStyle* style) { m_style = style; }

    int FirstJumpNo() const { return m_firstJumpNo; }

    void SetFirstJumpNo(int value) { m_firstJumpNo = value; }

    int LeftMargin() const { return m_leftMargin; }

    void SetLeftMargin(int value) { m_leftMargin = value; }

    int RightMargin() const { return m_rightMargin; }

    void SetRightMargin(int value) { m_rightMargin = value; }

    int TopMargin() const { return m_topMargin; }

    void SetTopMargin(int value) { m_topMargin = value; }

    int BottomMargin() const { return m_bottomMargin; }

    void SetBottomMargin(int value) { m_bottomMargin = value; }

    int MaxTextWidth() const { return m_maxTextWidth; }

    void SetMaxTextWidth(int value) { m_maxTextWidth = value; }

    int MinTextWidth() const { return m_minTextWidth; }

    void SetMinTextWidth(int value) { m_minTextWidth = value; }

    const QPixmap& BackgroundBitmap() const { return m_backgroundBitmap; }

    void SetBackgroundBitmap(const QPixmap& bitmap);

    TBackgroundStyle BackgroundStyle() const { return m_backgroundStyle; }

    void SetBackgroundStyle(TBackgroundStyle value);

    const std::string& Delimiters() const { return m_delimiters; }

    void SetDelimiters(std::string value) { m_delimiters = std::move(value); }

    TRVOptions Options() const { return m_options; }

    void SetOptions(TRVOptions value) { m_options = value; }

    TRVPaletteAction DoInPaletteMode() const { return m_paletteAction; }

    void SetDoInPaletteMode(TRVPaletteAction value) { m_paletteAction = value; }

    TCPEventKind CPEventKind() const { return m_cpEventKind; }

    void SetCPEventKind(TCPEventKind value) { m_cpEventKind = value; }

    TRVFOptions RVFOptions() const { return m_rvfOptions; }

    void SetRVFOptions(TRVFOptions value) { m_rvfOptions = value; }

    // Filling. Tabs become SpacesInTab spaces; paragraph style -1 continues the last item's
    // paragraph, any other number opens a new paragraph of that style.
    void AppendItem(std::string_view text, int styleNo, std::int32_t tag, int paraNo);
    void AppendText(std::string_view text, int styleNo);
    void AppendParagraph(std::string_view text, int styleNo, int paraNo);
    void AppendControl(std::string_view name, QWidget* control, bool centred, int paraNo);
    // A control that is a hot link as a whole (a picture link): the view numbers it among the
    // hot links, and clicks and hovering over it reach the view.
    void AppendHotControl(QWidget* control, int paraNo);
    // The items appended from now on stand in this cell of a table laid out as a grid, each column
    // as wide as its widest cell; table 0 ends the table. Tables count from 1 in each view.
    void SetTableCell(int table, int row, int column);
    // Gives the paragraph of the last item another paragraph style.
    void SetLastParagraphStyle(int paraNo);
    void Clear();
    void Format();

    // Makes this view show the items of another one without owning them: its Clear then frees
    // no control, and the source's Clear leaves this view a list of its own.
    void ShareItemsOf(const TRichView& source);

    bool SharesItems() const { return m_sharesItems; }

    int ItemCount() const { return int(m_items->size()); }

    const TRVItemList& Items() const { return *m_items; }

    const TRVDrawLines& DrawLines() const { return m_layout.Lines; }

    const std::vector<TRVLineInfo>& LineInfos() const { return m_layout.LineInfos; }

    const std::vector<TRVJumpInfo>& JumpInfos() const { return m_layout.Jumps; }

    int TextWidth() const { return m_textWidth; }

    int DocumentHeight() const { return m_layout.DocumentHeight; }

    // Wider than the text width when a line that is not broken runs past it.
    int DocumentWidth() const
    {
        return std::max(m_textWidth + m_leftMargin, m_layout.ContentRight) + m_rightMargin;
    }

    // Selection and output.
    void SelectWholeDocument();
    void ClearSelection();
    bool HasSelection() const;
    std::string SelectedText() const;
    void SetSelection(TRVSelPoint anchor, TRVSelPoint end);
    // The selection in item order.
    std::pair<TRVSelPoint, TRVSelPoint> SelectionBounds() const;
    void CopyToClipboard() const;
    bool SaveAsText(const std::string& fileName, int lineWidth);
    bool SaveAsHTML(const std::string& fileName, const std::string& title, const std::string& imagesPrefix,
        TRVSaveOptions options);

    // The caret position nearest to a point of the document, and the jump area under it (-1).
    TRVSelPoint PositionAt(QPoint documentPoint) const;
    int JumpAt(QPoint documentPoint) const;
    QPoint ToDocument(QPoint viewportPoint) const;

    // Keyboard focus over the card: Tab and Shift+Tab step through the links and the controls
    // in document order, a focused link is framed and followed with Enter, and digits 1 to 9
    // follow the first nine links. MoveFocus returns false when no stop is left that way.
    bool MoveFocus(bool forward);

    // The jump number (as OnJump gives it) of the framed link, or -1.
    int FocusedJump() const { return m_focusJump < 0 ? -1 : m_focusJump + m_firstJumpNo; }

    // The jump number of the link at a 0-based place in document order, or -1.
    int LinkJump(int index) const;

    TJumpEvent OnJump;
    TRVMouseMoveEvent OnRVMouseMove;
    TRVDblClickEvent OnRVDblClick;
    TRVRightClickEvent OnRVRightClick;
    TRVMouseEvent OnRVMouseDown;
    TRVMouseEvent OnRVMouseUp;
    TRVNotifyEvent OnSelect;
    TRVNotifyEvent OnVScrolled;
    TRVURLNeededEvent OnURLNeeded;
    TRVSaveComponentToFileEvent OnSaveComponentToFile;
    TRVCheckpointVisibleEvent OnCheckpointVisible;
    TRVFPictureNeededEvent OnRVFPictureNeeded;
    TRVFControlNeededEvent OnRVFControlNeeded;
    TRVFImageListNeededEvent OnRVFImageListNeeded;

protected:
    void ContentScrolled() override;

    // QAbstractScrollArea
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void LayoutFor(QSize clientSize);
    void MoveControls();
    void UpdateHover(QPoint documentPoint);
    void DragScroll();
    void PaintBackground(QPainter& painter, QRect clip) const;
    void PaintSegment(QPainter& painter, const TRVDrawLineInfo& segment, const TRVQtMeasurer& measurer) const;
    std::pair<int, int> SelectedRange(int itemNo) const;
    void SelectWordAt(QPoint documentPoint);
    TRVSelPoint TopPosition() const;
    void ScrollToPosition(TRVSelPoint position);

    // Focus over the card (RVFocus.cpp).
    struct TFocusStop {
        int ItemNo = 0;
        int Jump = -1; // the link's id in the layout, or -1 for a control
        QWidget* Control = nullptr;
    };

    std::vector<TFocusStop> FocusStops() const;
    int CurrentFocusStop(const std::vector<TFocusStop>& stops) const;
    void FocusStop(const TFocusStop& stop);
    void ShowDocumentRange(int top, int bottom);
    void PaintFocusFrame(QPainter& painter) const;
    bool FocusKey(QKeyEvent* event);

    std::shared_ptr<TRVItemList> m_items;
    bool m_sharesItems = false;
    QPointer<TRVStyle> m_style;
    std::unique_ptr<TRVQtMeasurer> m_measurer;
    TRVLayout m_layout;
    int m_textWidth = 0;
    bool m_formatting = false;
    QSize m_lastClient;
    TRVSelPoint m_keptTop { -1, 0 };
    int m_keptVPos = -1;
    std::vector<std::size_t> m_controlSegments;

    int m_firstJumpNo = 0;
    int m_leftMargin = 5;
    int m_rightMargin = 5;
    int m_topMargin = 5;
    int m_bottomMargin = 5;
    int m_maxTextWidth = 0;
    int m_minTextWidth = 0;
    QPixmap m_backgroundBitmap;
    TBackgroundStyle m_backgroundStyle = bsNoBitmap;
    std::string m_delimiters = " .;,:(){}\"/\\";
    TRVOptions m_options = kDefaultRVOptions;
    TRVPaletteAction m_paletteAction = rvpaDoNothing;
    TCPEventKind m_cpEventKind = cpeNone;
    TRVFOptions m_rvfOptions = 0;
    TRVItemInfo m_cell;

    int m_hoverJump = -1;
    int m_pressedJump = -1;
    int m_focusJump = -1;
    bool m_movingFocus = false;
    bool m_selecting = false;
    bool m_hasSelection = false;
    TRVSelPoint m_selAnchor;
    TRVSelPoint m_selEnd;
    QTimer m_dragTimer;
    QPoint m_lastMouse;
};

} // namespace pivrel::view
