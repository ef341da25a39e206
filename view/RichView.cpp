#include "view/RichView.h"

#include "base/Event.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <fstream>

namespace pivrel::view {

TRichView::TRichView(QWidget* parent)
    : TRVScroller(parent)
    , m_items(std::make_shared<TRVItemList>())
{
    resize(100, 40);
    setFrameShape(QFrame::StyledPanel);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_dragTimer.setInterval(100);
    connect(&m_dragTimer, &QTimer::timeout, this, [this] { DragScroll(); });
}

TRichView::~TRichView() = default;

void TRichView::SetBackgroundBitmap(const QPixmap& bitmap)
{
    m_backgroundBitmap = bitmap;
    viewport()->update();
}

void TRichView::SetBackgroundStyle(TBackgroundStyle value)
{
    m_backgroundStyle = value;
    viewport()->update();
}

// ---- Filling

namespace {

    void ApplyCell(TRVItemInfo& info, const TRVItemInfo& cell)
    {
        info.Table = cell.Table;
        info.Row = cell.Row;
        info.Column = cell.Column;
    }

    void ApplyParagraphRule(TRVItemInfo& info, const TRVItemList& items, int paraNo)
    {
        if (paraNo != -1) {
            info.SameAsPrev = false;
            info.ParaNo = std::int16_t(paraNo);
        } else if (items.empty()) {
            info.SameAsPrev = false;
            info.ParaNo = 0;
        } else {
            info.SameAsPrev = true;
            info.ParaNo = items.back().Info.ParaNo;
        }
    }

} // namespace

void TRichView::AppendItem(std::string_view text, int styleNo, std::int32_t tag, int paraNo)
{
    const std::string tab(m_style ? m_style->SpacesInTab() : 8, ' ');
    TRVItem item;
    for (char c : text) {
        if (c == '\t')
            item.Text += tab;
        else
            item.Text += c;
    }
    item.Info.StyleNo = std::int16_t(styleNo);
    item.Info.Tag = tag;
    ApplyParagraphRule(item.Info, *m_items, paraNo);
    ApplyCell(item.Info, m_cell);
    m_items->push_back(std::move(item));
}

void TRichView::AppendText(std::string_view text, int styleNo)
{
    AppendItem(text, styleNo, 0, -1);
}

void TRichView::AppendParagraph(std::string_view text, int styleNo, int paraNo)
{
    AppendItem(text, styleNo, 0, paraNo);
}

void TRichView::AppendControl(std::string_view name, QWidget* control, bool centred, int paraNo)
{
    TRVItem item;
    item.Text = std::string(name);
    item.Info.StyleNo = rvsComponent;
    item.Info.Centred = centred;
    item.Info.Gr = control;
    ApplyParagraphRule(item.Info, *m_items, paraNo);
    ApplyCell(item.Info, m_cell);
    if (control) {
        // Hidden until Format gives it its place, so that it never flashes at the corner.
        control->setParent(viewport());
        control->hide();
    }
    m_items->push_back(std::move(item));
}

void TRichView::AppendHotControl(QWidget* control, int paraNo)
{
    // Centred on the line, as the card's other pictures are.
    AppendControl("", control, true, paraNo);
    m_items->back().Info.StyleNo = rvsHotspot;
    if (control)
        control->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TRichView::SetLastParagraphStyle(int paraNo)
{
    for (auto item = m_items->rbegin(); item != m_items->rend(); ++item) {
        item->Info.ParaNo = std::int16_t(paraNo);
        if (!item->Info.SameAsPrev)
            break;
    }
}

void TRichView::SetTableCell(int table, int row, int column)
{
    m_cell.Table = table;
    m_cell.Row = std::int16_t(row);
    m_cell.Column = std::int16_t(column);
}

void TRichView::Clear()
{
    m_hasSelection = false;
    m_selecting = false;
    m_selAnchor = m_selEnd = {};
    m_dragTimer.stop();
    m_hoverJump = -1;
    m_pressedJump = -1;
    m_focusJump = -1;
    if (!m_sharesItems) {
        // A click on a control can clear the view while that control's handler still runs, so
        // the controls leave through the event loop.
        for (TRVItem& item : *m_items) {
            if (item.Info.Gr) {
                item.Info.Gr->hide();
                item.Info.Gr->deleteLater();
            }
        }
    }
    m_items = std::make_shared<TRVItemList>();
    m_sharesItems = false;
    m_cell = {};
    m_layout = {};
    viewport()->update();
}

void TRichView::ShareItemsOf(const TRichView& source)
{
    Clear();
    m_items = source.m_items;
    m_sharesItems = true;
}

// ---- Layout

void TRichView::Format()
{
    if (!m_style || m_formatting)
        return;
    m_formatting = true;
    m_keptVPos = -1;
    m_measurer = std::make_unique<TRVQtMeasurer>(*m_style);
    QSize client = ClientSizeFor(VBarShown(), HBarShown());
    LayoutFor(client);
    const bool vNeeded = VScrollVisible() || MaxVPos(DocumentHeight(), client.height(), StepSize()) > 0;
    const bool hNeeded = DocumentWidth() > client.width();
    if (vNeeded != VBarShown() || hNeeded != HBarShown()) {
        ShowBars(vNeeded, hNeeded);
        client = ClientSizeFor(vNeeded, hNeeded);
        LayoutFor(client);
    }
    m_lastClient = client;
    SetRanges(DocumentWidth(), DocumentHeight(), client);
    SetHPos(0);
    MoveControls();
    viewport()->update();
    m_formatting = false;
}

void TRichView::LayoutFor(QSize clientSize)
{
    TRVTextWidthParams widthParams;
    widthParams.ClientWidth = clientSize.width();
    widthParams.LeftMargin = m_leftMargin;
    widthParams.RightMargin = m_rightMargin;
    widthParams.MinTextWidth = m_minTextWidth;
    widthParams.MaxTextWidth = m_maxTextWidth;
    widthParams.ClientTextWidth = m_options & rvoClientTextWidth;
    for (const TRVItem& item : *m_items) {
        if (item.Info.Gr)
            widthParams.WidestControl = std::max(widthParams.WidestControl, item.Info.Gr->width());
    }
    m_textWidth = ComputeTextWidth(widthParams, m_style->ParaStyles());
    m_layout = LayoutItems(
        *m_items, *m_style, *m_measurer, { m_textWidth, m_leftMargin, m_topMargin, m_bottomMargin });
    for (std::size_t i = 0; i < m_items->size(); ++i)
        (*m_items)[i].Info.JumpNo = m_layout.ItemJumpNo[i];
    m_controlSegments.clear();
    for (std::size_t i = 0; i < m_layout.Lines.size(); ++i) {
        if ((*m_items)[std::size_t(m_layout.Lines[i].ItemNo)].Info.Gr)
            m_controlSegments.push_back(i);
    }
    SetStepSize(GrownStepSize(StepSize(), DocumentHeight()));
}

void TRichView::MoveControls()
{
    if (m_sharesItems)
        return;
    const int dy = VPos() * StepSize();
    const int dx = HPos();
    for (std::size_t index : m_controlSegments) {
        const TRVDrawLineInfo& segment = m_layout.Lines[index];
        if (std::size_t(segment.ItemNo) >= m_items->size())
            continue;
        QWidget* control = (*m_items)[std::size_t(segment.ItemNo)].Info.Gr;
        if (!control)
            continue;
        control->move(segment.Left + 1 - dx, segment.Top + 1 - dy);
        if (control->isHidden())
            control->show();
    }
}

void TRichView::ContentScrolled()
{
    MoveControls();
    viewport()->update();
    base::Fire(OnVScrolled, *this);
}

void TRichView::resizeEvent(QResizeEvent* event)
{
    TRVScroller::resizeEvent(event);
    if (m_formatting || !m_style || ClientSizeFor(VBarShown(), HBarShown()) == m_lastClient)
        return;
    // Rounding the line's top to whole steps can leave a sliver of the line before it at the
    // top; a series of resizes therefore keeps the line it started from, as long as nothing else
    // scrolled the view in between.
    const TRVSelPoint top = VPos() == m_keptVPos ? m_keptTop : TopPosition();
    Format();
    ScrollToPosition(top);
    m_keptTop = top;
    m_keptVPos = VPos();
}

TRVSelPoint TRichView::TopPosition() const
{
    const int y = VPos() * StepSize();
    for (const TRVLineInfo& line : m_layout.LineInfos) {
        if (line.Top + line.Height > y) {
            const TRVDrawLineInfo& segment = m_layout.Lines[std::size_t(line.FirstSeg)];
            return { segment.ItemNo, segment.Offs - 1 };
        }
    }
    return { -1, 0 };
}

void TRichView::ScrollToPosition(TRVSelPoint position)
{
    if (position.ItemNo < 0)
        return;
    int lineTop = -1;
    for (const TRVLineInfo& line : m_layout.LineInfos) {
        const TRVDrawLineInfo& first = m_layout.Lines[std::size_t(line.FirstSeg)];
        if (first.ItemNo > position.ItemNo
            || (first.ItemNo == position.ItemNo && first.Offs - 1 > position.Offs))
            break;
        lineTop = line.Top;
    }
    if (lineTop >= 0)
        ScrollTo(lineTop / StepSize());
}

// ---- Painting

void TRichView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect clip = event->rect();
    PaintBackground(painter, clip);
    if (!m_style || !m_measurer)
        return;
    const int dx = HPos();
    const int dy = VPos() * StepSize();
    const auto& lines = m_layout.LineInfos;
    auto line = std::partition_point(lines.begin(), lines.end(),
        [top = clip.top() + dy](const TRVLineInfo& info) { return info.Top + info.Height <= top; });
    for (; line != lines.end() && line->Top < clip.bottom() + 1 + dy; ++line) {
        const std::size_t end
            = line + 1 == lines.end() ? m_layout.Lines.size() : std::size_t((line + 1)->FirstSeg);
        for (std::size_t i = std::size_t(line->FirstSeg); i < end; ++i) {
            const TRVDrawLineInfo& segment = m_layout.Lines[i];
            if (segment.Left - dx <= clip.right() && segment.Left + segment.Width - dx >= clip.left())
                PaintSegment(painter, segment, *m_measurer);
        }
    }
    PaintFocusFrame(painter);
}

void TRichView::PaintBackground(QPainter& painter, QRect clip) const
{
    const QColor page = ColorToQColor(m_style ? m_style->Color() : clWindow);
    const QRect client = viewport()->rect();
    if (m_backgroundStyle == bsNoBitmap || m_backgroundBitmap.isNull()) {
        painter.fillRect(clip, page);
        return;
    }
    switch (m_backgroundStyle) {
    case bsStretched:
        painter.drawPixmap(client, m_backgroundBitmap);
        break;
    case bsTiled:
        painter.drawTiledPixmap(client, m_backgroundBitmap);
        break;
    case bsTiledAndScrolled:
        painter.drawTiledPixmap(client, m_backgroundBitmap,
            QPoint(HPos() % m_backgroundBitmap.width(), VPos() * StepSize() % m_backgroundBitmap.height()));
        break;
    default:
        painter.fillRect(clip, page);
        painter.drawPixmap((client.width() - m_backgroundBitmap.width()) / 2,
            (client.height() - m_backgroundBitmap.height()) / 2, m_backgroundBitmap);
        break;
    }
}

void TRichView::PaintSegment(
    QPainter& painter, const TRVDrawLineInfo& segment, const TRVQtMeasurer& measurer) const
{
    if (std::size_t(segment.ItemNo) >= m_items->size())
        return;
    const TRVItem& item = (*m_items)[std::size_t(segment.ItemNo)];
    const int x = segment.Left - HPos();
    const int y = segment.Top - VPos() * StepSize();
    if (item.Info.StyleNo == rvsBreak) {
        painter.setPen(ColorToQColor(clWindowText));
        painter.drawLine(x, y + segment.Height / 2, x + segment.Width - 1, y + segment.Height / 2);
        return;
    }
    if (item.Info.StyleNo < 0 || segment.Length <= 0)
        return;
    const int styleNo = item.Info.StyleNo;
    const TFontInfo& font = m_style->TextStyle(styleNo);
    QColor color = ColorToQColor(font.Color);
    if (item.Info.JumpNo >= 0 && item.Info.JumpNo == m_hoverJump) {
        const TColor hover = font.HoverColor != clNone ? font.HoverColor : m_style->HoverColor();
        if (hover != clNone)
            color = ColorToQColor(hover);
    }
    if (font.BackColor != clNone)
        painter.fillRect(x, y, segment.Width, segment.Height, ColorToQColor(font.BackColor));
    const TRVFontMetrics metrics = measurer.Metrics(styleNo);
    const int shift = (metrics.Ascent + metrics.Descent) * font.VShift / 100;
    const int baseline = y + metrics.Ascent + metrics.ExternalLeading + std::max(0, -shift);
    const std::string_view text
        = std::string_view(item.Text).substr(std::size_t(segment.Offs - 1), std::size_t(segment.Length));
    painter.setFont(measurer.Font(styleNo));

    // The selected part of this segment, in bytes of the segment's text.
    const auto [selFrom, selTo] = SelectedRange(segment.ItemNo);
    const int from = std::clamp(selFrom - (segment.Offs - 1), 0, segment.Length);
    const int to = std::clamp(selTo - (segment.Offs - 1), 0, segment.Length);
    auto draw = [&](std::size_t start, std::size_t length, const QColor& pen) {
        if (length == 0)
            return;
        const int left = x + measurer.TextWidth(styleNo, text.substr(0, start));
        painter.setPen(pen);
        painter.drawText(QPoint(left, baseline), QString::fromUtf8(text.data() + start, qsizetype(length)));
    };
    if (from < to) {
        const int left = x + measurer.TextWidth(styleNo, text.substr(0, std::size_t(from)));
        const int width = measurer.TextWidth(styleNo, text.substr(std::size_t(from), std::size_t(to - from)));
        painter.fillRect(left, y, width, segment.Height, ColorToQColor(m_style->SelColor()));
        draw(0, std::size_t(from), color);
        draw(std::size_t(from), std::size_t(to - from), ColorToQColor(m_style->SelTextColor()));
        draw(std::size_t(to), std::size_t(segment.Length - to), color);
    } else {
        draw(0, text.size(), color);
    }
    if (font.StyleEx & rvfsOverlined) {
        painter.setPen(color);
        painter.drawLine(x, y, x + segment.Width - 1, y);
    }
}

// ---- Hit-testing and the mouse

QPoint TRichView::ToDocument(QPoint viewportPoint) const
{
    return viewportPoint + QPoint(HPos(), VPos() * StepSize());
}

int TRichView::JumpAt(QPoint documentPoint) const
{
    for (const TRVJumpInfo& jump : m_layout.Jumps) {
        if (QRect(jump.Left, jump.Top, jump.Width, jump.Height).contains(documentPoint))
            return jump.Id;
    }
    return -1;
}

TRVSelPoint TRichView::PositionAt(QPoint documentPoint) const
{
    const auto& lines = m_layout.LineInfos;
    if (lines.empty() || !m_measurer)
        return {};
    auto line = std::partition_point(lines.begin(), lines.end(),
        [y = documentPoint.y()](const TRVLineInfo& info) { return info.Top + info.Height <= y; });
    if (line == lines.end())
        --line;
    const std::size_t first = std::size_t(line->FirstSeg);
    const std::size_t end
        = line + 1 == lines.end() ? m_layout.Lines.size() : std::size_t((line + 1)->FirstSeg);
    std::size_t index = first;
    while (index + 1 < end && m_layout.Lines[index].Left + m_layout.Lines[index].Width <= documentPoint.x())
        ++index;
    const TRVDrawLineInfo& segment = m_layout.Lines[index];
    const TRVItem& item = (*m_items)[std::size_t(segment.ItemNo)];
    if (item.Info.StyleNo < 0)
        return { segment.ItemNo, 0 };
    const std::string_view text
        = std::string_view(item.Text).substr(std::size_t(segment.Offs - 1), std::size_t(segment.Length));
    const std::size_t offs = m_measurer->OffsetAt(item.Info.StyleNo, text, documentPoint.x() - segment.Left);
    return { segment.ItemNo, segment.Offs - 1 + int(offs) };
}

void TRichView::UpdateHover(QPoint documentPoint)
{
    const int id = JumpAt(documentPoint);
    if (id == m_hoverJump)
        return;
    m_hoverJump = id;
    viewport()->update();
    if (id >= 0) {
        TCursor cursor = crJump;
        for (const TRVJumpInfo& jump : m_layout.Jumps) {
            if (jump.Id == id) {
                cursor = jump.Cursor;
                break;
            }
        }
        viewport()->setCursor(CursorToShape(cursor));
        base::Fire(OnRVMouseMove, *this, id + m_firstJumpNo);
    } else {
        viewport()->setCursor(cursor());
        base::Fire(OnRVMouseMove, *this, -1);
    }
}

void TRichView::mouseMoveEvent(QMouseEvent* event)
{
    m_lastMouse = event->position().toPoint();
    const QPoint document = ToDocument(m_lastMouse);
    if (m_selecting && (event->buttons() & Qt::LeftButton)) {
        m_selEnd = PositionAt(document);
        m_hasSelection = m_selEnd != m_selAnchor;
        viewport()->update();
    }
    UpdateHover(document);
}

void TRichView::mousePressEvent(QMouseEvent* event)
{
    m_lastMouse = event->position().toPoint();
    const QPoint document = ToDocument(m_lastMouse);
    if (event->button() == Qt::LeftButton) {
        m_pressedJump = JumpAt(document);
        if (m_options & rvoAllowSelection) {
            m_selAnchor = m_selEnd = PositionAt(document);
            m_hasSelection = false;
            m_selecting = true;
            m_dragTimer.start();
            viewport()->update();
        }
    } else if (event->button() == Qt::RightButton && (m_options & rvoRClickDeselects)) {
        ClearSelection();
    }
    base::Fire(
        OnRVMouseDown, *this, event->button(), PositionAt(document).ItemNo, document.x(), document.y());
}

void TRichView::mouseReleaseEvent(QMouseEvent* event)
{
    m_lastMouse = event->position().toPoint();
    const QPoint document = ToDocument(m_lastMouse);
    if (event->button() != Qt::LeftButton) {
        base::Fire(
            OnRVMouseUp, *this, event->button(), PositionAt(document).ItemNo, document.x(), document.y());
        return;
    }
    m_dragTimer.stop();
    const bool wasSelecting = m_selecting;
    m_selecting = false;
    const int pressed = m_pressedJump;
    m_pressedJump = -1;
    bool stillOnIt = false;
    for (const TRVJumpInfo& jump : m_layout.Jumps) {
        if (jump.Id == pressed && QRect(jump.Left, jump.Top, jump.Width, jump.Height).contains(document))
            stillOnIt = true;
    }
    base::Fire(OnRVMouseUp, *this, event->button(), PositionAt(document).ItemNo, document.x(), document.y());
    if (wasSelecting && m_hasSelection)
        base::Fire(OnSelect, *this);
    // Last: the handler typically clears the view and renders another card.
    if (pressed >= 0 && stillOnIt && !HasSelection())
        base::Fire(OnJump, *this, pressed + m_firstJumpNo);
}

void TRichView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint document = ToDocument(event->position().toPoint());
    if (m_options & rvoDblClickSelectsWord)
        SelectWordAt(document);
    const TRVSelPoint position = PositionAt(document);
    const int styleNo
        = position.ItemNo < ItemCount() ? (*m_items)[std::size_t(position.ItemNo)].Info.StyleNo : 0;
    base::Fire(OnRVDblClick, *this, SelectedText(), styleNo);
}

void TRichView::leaveEvent(QEvent* event)
{
    TRVScroller::leaveEvent(event);
    if (!m_selecting)
        UpdateHover(QPoint(-1000000, -1000000));
}

void TRichView::DragScroll()
{
    if (!m_selecting)
        return;
    const QSize client = viewport()->size();
    if (m_lastMouse.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (m_lastMouse.y() >= client.height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (m_lastMouse.x() < 0)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (m_lastMouse.x() >= client.width())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    m_selEnd = PositionAt(ToDocument(m_lastMouse));
    m_hasSelection = m_selEnd != m_selAnchor;
    viewport()->update();
}

void TRichView::SelectWordAt(QPoint documentPoint)
{
    const TRVSelPoint position = PositionAt(documentPoint);
    if (position.ItemNo >= ItemCount())
        return;
    const TRVItem& item = (*m_items)[std::size_t(position.ItemNo)];
    if (item.Info.StyleNo < 0)
        return;
    // Only ASCII delimiters count, so that a word never ends inside a multi-byte character.
    auto isDelimiter = [this](char c) {
        return static_cast<unsigned char>(c) < 0x80 && m_delimiters.find(c) != std::string::npos;
    };
    std::size_t from = std::size_t(position.Offs);
    std::size_t to = from;
    while (from > 0 && !isDelimiter(item.Text[from - 1]))
        --from;
    while (to < item.Text.size() && !isDelimiter(item.Text[to]))
        ++to;
    SetSelection({ position.ItemNo, int(from) }, { position.ItemNo, int(to) });
}

void TRichView::keyPressEvent(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (event->matches(QKeySequence::Copy)
        || (ctrl && (event->key() == Qt::Key_C || event->key() == Qt::Key_Insert))) {
        CopyToClipboard();
        event->accept();
        return;
    }
    if (FocusKey(event))
        return;
    TRVScroller::keyPressEvent(event);
}

// ---- Selection

void TRichView::SetSelection(TRVSelPoint anchor, TRVSelPoint end)
{
    m_selAnchor = anchor;
    m_selEnd = end;
    m_hasSelection = anchor != end;
    viewport()->update();
}

void TRichView::SelectWholeDocument()
{
    if (m_items->empty()) {
        ClearSelection();
        return;
    }
    const TRVItem& last = m_items->back();
    SetSelection({ 0, 0 }, { ItemCount() - 1, last.Info.StyleNo >= 0 ? int(last.Text.size()) : 0 });
}

void TRichView::ClearSelection()
{
    m_hasSelection = false;
    m_selAnchor = m_selEnd = {};
    viewport()->update();
}

bool TRichView::HasSelection() const
{
    return m_hasSelection;
}

std::pair<TRVSelPoint, TRVSelPoint> TRichView::SelectionBounds() const
{
    return std::minmax(m_selAnchor, m_selEnd);
}

std::pair<int, int> TRichView::SelectedRange(int itemNo) const
{
    if (!m_hasSelection)
        return { 0, 0 };
    const auto [from, to] = SelectionBounds();
    if (itemNo < from.ItemNo || itemNo > to.ItemNo)
        return { 0, 0 };
    const int length = int((*m_items)[std::size_t(itemNo)].Text.size());
    return { itemNo == from.ItemNo ? from.Offs : 0, itemNo == to.ItemNo ? to.Offs : length };
}

std::string TRichView::SelectedText() const
{
    std::string text;
    if (!m_hasSelection)
        return text;
    const auto [from, to] = SelectionBounds();
    for (int i = from.ItemNo; i <= to.ItemNo && i < ItemCount(); ++i) {
        const TRVItem& item = (*m_items)[std::size_t(i)];
        if (i > from.ItemNo && !item.Info.SameAsPrev)
            text += '\r';
        if (item.Info.StyleNo < 0)
            continue;
        const auto [start, end] = SelectedRange(i);
        const auto first = std::size_t(std::clamp(start, 0, int(item.Text.size())));
        const auto last = std::size_t(std::clamp(end, int(first), int(item.Text.size())));
        text.append(item.Text, first, last - first);
    }
    return text;
}

void TRichView::CopyToClipboard() const
{
    if (!(m_options & rvoAutoCopyText) || !HasSelection())
        return;
    // The platform clipboard expects line feeds where paragraphs end.
    std::string text = SelectedText();
    std::replace(text.begin(), text.end(), '\r', '\n');
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

} // namespace pivrel::view
