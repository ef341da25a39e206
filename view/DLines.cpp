#include "view/DLines.h"

#include "base/Utf8.h"

#include "view/RichView.h"

#include <QFontMetrics>
#include <QString>

#include <algorithm>
#include <cmath>

namespace pivrel::view {

namespace {

    constexpr char32_t kReplacement = 0xFFFD;
    constexpr int kMaxVSteps = 30000;

    int RoundWidth(double width)
    {
        return int(std::floor(width + 0.5));
    }

    std::size_t CodePointLength(std::string_view text)
    {
        std::size_t pos = 0;
        NextCodePoint(text, pos);
        return pos;
    }

} // namespace

char32_t NextCodePoint(std::string_view text, std::size_t& pos)
{
    return base::DecodeUtf8(text, pos, kReplacement);
}

int TRVMeasurer::TextWidth(int styleNo, std::string_view text) const
{
    double width = 0;
    for (std::size_t pos = 0; pos < text.size();)
        width += Advance(styleNo, NextCodePoint(text, pos));
    return RoundWidth(width);
}

std::size_t TRVMeasurer::FitLength(int styleNo, std::string_view text, int maxWidth) const
{
    double width = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t next = pos;
        const double wider = width + Advance(styleNo, NextCodePoint(text, next));
        if (RoundWidth(wider) > maxWidth)
            break;
        width = wider;
        pos = next;
    }
    return pos;
}

std::size_t TRVMeasurer::OffsetAt(int styleNo, std::string_view text, int x) const
{
    double width = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t next = pos;
        const double advance = Advance(styleNo, NextCodePoint(text, next));
        if (x < width + advance / 2)
            break;
        width += advance;
        pos = next;
    }
    return pos;
}

TRVQtMeasurer::TRVQtMeasurer(const TRVStyle& style, QPaintDevice* device)
{
    auto make = [device](const TFontInfo& info) {
        QFont font = info.MakeFont();
        QFontMetrics metrics = device ? QFontMetrics(font, device) : QFontMetrics(font);
        auto cache = std::unique_ptr<TStyleCache>(
            new TStyleCache { font, device ? QFontMetricsF(font, device) : QFontMetricsF(font), {}, {}, {} });
        cache->Metrics = { metrics.ascent(), metrics.descent(), std::max(0, metrics.leading()) };
        cache->Ascii.fill(-1);
        return cache;
    };
    for (const TFontInfo& info : style.TextStyles())
        m_styles.push_back(make(info));
    m_fallback = make(TFontInfo {});
}

TRVQtMeasurer::~TRVQtMeasurer() = default;

const TRVQtMeasurer::TStyleCache& TRVQtMeasurer::Cache(int styleNo) const
{
    if (styleNo < 0 || std::size_t(styleNo) >= m_styles.size())
        return *m_fallback;
    return *m_styles[std::size_t(styleNo)];
}

TRVFontMetrics TRVQtMeasurer::Metrics(int styleNo) const
{
    return Cache(styleNo).Metrics;
}

const QFont& TRVQtMeasurer::Font(int styleNo) const
{
    return Cache(styleNo).Font;
}

double TRVQtMeasurer::Advance(int styleNo, char32_t codePoint) const
{
    const TStyleCache& cache = Cache(styleNo);
    if (codePoint < 128) {
        auto& slot = const_cast<double&>(cache.Ascii[codePoint]);
        if (slot < 0)
            slot = cache.MetricsF.horizontalAdvance(QChar(char16_t(codePoint)));
        return slot;
    }
    auto found = cache.Others.find(codePoint);
    if (found != cache.Others.end())
        return found->second;
    const double advance = cache.MetricsF.horizontalAdvance(QString::fromUcs4(&codePoint, 1));
    cache.Others.emplace(codePoint, advance);
    return advance;
}

int ComputeTextWidth(const TRVTextWidthParams& params, const std::vector<TParaInfo>& paraStyles)
{
    const int clientText = params.ClientWidth - params.LeftMargin - params.RightMargin;
    if (params.ClientTextWidth)
        return std::max(clientText, params.MinTextWidth);
    int deepestIndent = 0;
    for (const TParaInfo& para : paraStyles)
        deepestIndent
            = std::max(deepestIndent, para.LeftIndent + para.RightIndent + std::max(para.FirstIndent, 0));
    int width = std::max({ clientText, params.WidestControl + deepestIndent, params.MinTextWidth });
    if (params.MaxTextWidth >= 1 && params.MaxTextWidth < width)
        width = params.MaxTextWidth;
    return width;
}

int GrownStepSize(int stepSize, int documentHeight)
{
    if (stepSize > 0 && documentHeight / stepSize > kMaxVSteps)
        return documentHeight / kMaxVSteps;
    return stepSize;
}

int MaxVPos(int documentHeight, int clientHeight, int stepSize)
{
    const int hidden = documentHeight - clientHeight;
    if (hidden <= 0 || stepSize <= 0)
        return 0;
    return (hidden + stepSize - 1) / stepSize;
}

namespace {

    // Builds the lines one segment at a time. A segment's top is settled when its line is
    // complete, since a later, taller segment moves the shared baseline down.
    class TLineBuilder
    {
    public:
        TLineBuilder(const TRVStyle& style, const TRVMeasurer& measurer, const TRVLayoutParams& params,
            const std::vector<TRVItem>& items, TRVLayout& out)
            : m_style(style)
            , m_measurer(measurer)
            , m_params(params)
            , m_items(items)
            , m_out(out)
            , m_y(params.TopMargin)
        { }

        void Run();
        // Lays out the items of one table cell as a paragraph of their own, without numbering
        // the hot links: a cell of a table.
        void RunCell(const std::vector<int>& items);

    private:
        struct TExtent {
            int Above = 0;
            int Below = 0;
        };

        void StartParagraph(int paraNo);
        void NewLine();
        void CloseLine(bool lastOfParagraph);
        void Align(std::size_t first, bool lastOfParagraph);
        void Justify(std::size_t first);
        int Usable() const;
        int LineLeft() const;
        void AddSegment(int itemNo, std::size_t offs, std::size_t length, int width, TExtent extent);
        TExtent TextExtent(int styleNo) const;
        void PlaceText(int itemNo, std::size_t start, std::string_view text);
        void PlaceJustifiedText(int itemNo, std::string_view text);
        void PlaceControl(int itemNo);
        void PlaceBreak(int itemNo);
        void PlaceItem(std::size_t i, bool first);
        std::size_t PlaceTable(std::size_t first);
        void NumberJumps();

        const TRVStyle& m_style;
        const TRVMeasurer& m_measurer;
        const TRVLayoutParams& m_params;
        const std::vector<TRVItem>& m_items;
        TRVLayout& m_out;
        std::vector<TExtent> m_extents;
        const TParaInfo* m_para = nullptr;
        int m_y = 0;
        std::size_t m_lineStart = 0;
        int m_used = 0;
        bool m_hasContent = false;
        bool m_firstLine = true;
        bool m_forceLeft = false;
    };

    // The cells of one table: per row, per column, the numbers of the items in that cell.
    using TTableCells = std::vector<std::vector<std::vector<int>>>;

    constexpr int kCellGap = 8;

    TTableCells CollectCells(const std::vector<TRVItem>& items, std::size_t first, std::size_t end)
    {
        TTableCells rows;
        int row = -1;
        std::size_t columns = 1;
        for (std::size_t i = first; i < end; ++i) {
            const TRVItemInfo& info = items[i].Info;
            if (rows.empty() || info.Row != row) {
                rows.emplace_back();
                row = info.Row;
            }
            const std::size_t column = std::size_t(std::max<int>(info.Column, 0));
            columns = std::max(columns, column + 1);
            if (rows.back().size() <= column)
                rows.back().resize(column + 1);
            rows.back()[column].push_back(int(i));
        }
        for (auto& cells : rows)
            cells.resize(columns);
        return rows;
    }

    // Each column gets its natural width while the columns fit; otherwise the narrow columns
    // keep theirs and the rest share what is left equally.
    std::vector<int> FitColumns(std::vector<int> natural, int available)
    {
        int total = 0;
        for (int width : natural)
            total += width;
        if (total <= available)
            return natural;
        std::vector<std::size_t> order(natural.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return natural[a] < natural[b]; });
        int remaining = std::max(available, int(natural.size()));
        std::size_t left = natural.size();
        for (std::size_t index : order) {
            const int share = remaining / int(left);
            natural[index] = std::max(1, std::min(natural[index], share));
            remaining -= natural[index];
            --left;
        }
        return natural;
    }

    void TLineBuilder::Run()
    {
        m_para = &m_style.ParaStyle(0);
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i].Info.Table != 0)
                i = PlaceTable(i) - 1;
            else
                PlaceItem(i, i == 0);
        }
        CloseLine(true);
        m_out.DocumentHeight = m_y + m_params.BottomMargin;
        NumberJumps();
    }

    void TLineBuilder::RunCell(const std::vector<int>& items)
    {
        m_para = &m_style.ParaStyle(0);
        m_forceLeft = true;
        for (std::size_t i = 0; i < items.size(); ++i)
            PlaceItem(std::size_t(items[i]), i == 0);
        CloseLine(true);
    }

    void TLineBuilder::PlaceItem(std::size_t i, bool first)
    {
        const TRVItem& item = m_items[i];
        const int itemNo = int(i);
        if (first || !item.Info.SameAsPrev)
            StartParagraph(item.Info.ParaNo);
        if (item.Info.StyleNo >= 0) {
            if (m_para->Alignment == rvaJustify && !m_para->NoWrap)
                PlaceJustifiedText(itemNo, item.Text);
            else
                PlaceText(itemNo, 0, item.Text);
        } else if (item.Info.StyleNo == rvsComponent || (item.Info.StyleNo == rvsHotspot && item.Info.Gr)) {
            PlaceControl(itemNo);
        } else if (item.Info.StyleNo == rvsBreak) {
            PlaceBreak(itemNo);
        } else {
            AddSegment(itemNo, 0, 0, 0, {});
        }
    }

    // Lays out the table that starts at item `first` and returns the number of the item after it.
    // Each row becomes lines of its own: the k-th line of every cell side by side.
    std::size_t TLineBuilder::PlaceTable(std::size_t first)
    {
        CloseLine(true);
        std::size_t end = first;
        while (end < m_items.size() && m_items[end].Info.Table == m_items[first].Info.Table)
            ++end;
        const TTableCells rows = CollectCells(m_items, first, end);
        const std::size_t columns = rows.front().size();
        std::vector<int> natural(columns, 0);
        for (const auto& cells : rows) {
            for (std::size_t c = 0; c < columns; ++c) {
                TRVLayout cell;
                TLineBuilder(m_style, m_measurer, { 1 << 28, 0, 0, 0 }, m_items, cell).RunCell(cells[c]);
                natural[c] = std::max(natural[c], cell.ContentRight);
            }
        }
        const std::vector<int> widths = FitColumns(natural, m_params.TextWidth - kCellGap * int(columns - 1));
        for (const auto& cells : rows) {
            std::vector<TRVLayout> laid(columns);
            std::size_t lineCount = 0;
            int x = m_params.LeftMargin;
            for (std::size_t c = 0; c < columns; ++c) {
                TLineBuilder(m_style, m_measurer, { widths[c], x, 0, 0 }, m_items, laid[c]).RunCell(cells[c]);
                lineCount = std::max(lineCount, laid[c].LineInfos.size());
                x += widths[c] + kCellGap;
            }
            for (std::size_t k = 0; k < lineCount; ++k) {
                int height = 0;
                const std::size_t start = m_out.Lines.size();
                for (const TRVLayout& cell : laid) {
                    if (k >= cell.LineInfos.size())
                        continue;
                    const TRVLineInfo& line = cell.LineInfos[k];
                    const std::size_t segEnd = k + 1 < cell.LineInfos.size()
                        ? std::size_t(cell.LineInfos[k + 1].FirstSeg)
                        : cell.Lines.size();
                    for (std::size_t seg = std::size_t(line.FirstSeg); seg < segEnd; ++seg) {
                        TRVDrawLineInfo segment = cell.Lines[seg];
                        segment.Top = m_y + segment.Top - line.Top;
                        segment.FromNewLine = m_out.Lines.size() == start;
                        m_out.Lines.push_back(segment);
                        m_extents.push_back({});
                        m_out.ContentRight = std::max(m_out.ContentRight, segment.Left + segment.Width);
                    }
                    height = std::max(height, line.Height);
                }
                if (m_out.Lines.size() == start)
                    continue;
                m_out.LineInfos.push_back({ m_y, height, int(start) });
                m_y += height;
            }
        }
        m_lineStart = m_out.Lines.size();
        m_used = 0;
        m_hasContent = false;
        m_firstLine = true;
        return end;
    }

    void TLineBuilder::StartParagraph(int paraNo)
    {
        CloseLine(true);
        m_para = &m_style.ParaStyle(paraNo);
        m_firstLine = true;
    }

    void TLineBuilder::NewLine()
    {
        CloseLine(false);
        m_firstLine = false;
    }

    int TLineBuilder::Usable() const
    {
        return m_params.TextWidth - m_para->LeftIndent - m_para->RightIndent
            - (m_firstLine ? m_para->FirstIndent : 0);
    }

    int TLineBuilder::LineLeft() const
    {
        return m_params.LeftMargin + m_para->LeftIndent + (m_firstLine ? m_para->FirstIndent : 0);
    }

    void TLineBuilder::AddSegment(int itemNo, std::size_t offs, std::size_t length, int width, TExtent extent)
    {
        TRVDrawLineInfo segment;
        segment.Left = LineLeft() + m_used;
        segment.Width = width;
        segment.ItemNo = itemNo;
        segment.Offs = int(offs) + 1;
        segment.Length = int(length);
        segment.FromNewLine = m_out.Lines.size() == m_lineStart;
        m_out.Lines.push_back(segment);
        m_extents.push_back(extent);
        m_used += width;
    }

    void TLineBuilder::CloseLine(bool lastOfParagraph)
    {
        const std::size_t first = m_lineStart;
        const std::size_t end = m_out.Lines.size();
        if (first == end)
            return;
        int above = 0;
        int below = 0;
        for (std::size_t i = first; i < end; ++i) {
            above = std::max(above, m_extents[i].Above);
            below = std::max(below, m_extents[i].Below);
        }
        for (std::size_t i = first; i < end; ++i) {
            m_out.Lines[i].Top = m_y + above - m_extents[i].Above;
            m_out.Lines[i].Height = m_extents[i].Above + m_extents[i].Below;
        }
        Align(first, lastOfParagraph);
        // Only lines that are not broken can run past the text width; in a cell every line tells
        // how wide its column needs to be.
        for (std::size_t i = first; i < end && (m_para->NoWrap || m_forceLeft); ++i)
            m_out.ContentRight = std::max(m_out.ContentRight, m_out.Lines[i].Left + m_out.Lines[i].Width);
        m_out.LineInfos.push_back({ m_y, above + below, int(first) });
        m_y += above + below;
        m_lineStart = end;
        m_used = 0;
        m_hasContent = false;
    }

    void TLineBuilder::Align(std::size_t first, bool lastOfParagraph)
    {
        // A line wider than its space (a control or a single character on an empty line) is not
        // moved left into the margin.
        const int spaceLeft = std::max(0, Usable() - m_used);
        int shift = 0;
        if (m_forceLeft)
            return;
        switch (m_para->Alignment) {
        case rvaRight:
            shift = spaceLeft;
            break;
        case rvaCenter:
            shift = spaceLeft / 2;
            break;
        case rvaJustify:
            if (!lastOfParagraph && spaceLeft > 0)
                Justify(first);
            return;
        case rvaLeft:
            return;
        }
        for (std::size_t i = first; i < m_out.Lines.size(); ++i)
            m_out.Lines[i].Left += shift;
    }

    void TLineBuilder::Justify(std::size_t first)
    {
        auto beginsWithSpace = [this](const TRVDrawLineInfo& segment) {
            const TRVItem& item = m_items[std::size_t(segment.ItemNo)];
            return item.Info.StyleNo >= 0 && segment.Length > 0
                && item.Text[std::size_t(segment.Offs - 1)] == ' ';
        };
        int gaps = 0;
        for (std::size_t i = first + 1; i < m_out.Lines.size(); ++i)
            gaps += beginsWithSpace(m_out.Lines[i]) ? 1 : 0;
        int spaceLeft = Usable() - m_used;
        int shift = 0;
        for (std::size_t i = first + 1; i < m_out.Lines.size(); ++i) {
            if (beginsWithSpace(m_out.Lines[i])) {
                const int extra = spaceLeft / gaps;
                spaceLeft -= extra;
                --gaps;
                shift += extra;
            }
            m_out.Lines[i].Left += shift;
        }
    }

    TLineBuilder::TExtent TLineBuilder::TextExtent(int styleNo) const
    {
        const TRVFontMetrics metrics = m_measurer.Metrics(styleNo);
        const int shift = (metrics.Ascent + metrics.Descent) * m_style.TextStyle(styleNo).VShift / 100;
        return { metrics.Ascent + metrics.ExternalLeading + std::max(shift, 0),
            metrics.Descent + std::max(-shift, 0) };
    }

    void TLineBuilder::PlaceText(int itemNo, std::size_t start, std::string_view text)
    {
        const int styleNo = m_items[std::size_t(itemNo)].Info.StyleNo;
        const TExtent extent = TextExtent(styleNo);
        if (text.empty()) {
            AddSegment(itemNo, start, 0, 0, extent);
            return;
        }
        std::size_t offs = start;
        std::string_view rest = text;
        auto cut = [&](std::size_t length) {
            AddSegment(itemNo, offs, length, m_measurer.TextWidth(styleNo, rest.substr(0, length)), extent);
            m_hasContent = true;
            offs += length;
            rest.remove_prefix(length);
        };
        if (m_para->NoWrap) {
            cut(rest.size());
            return;
        }
        while (!rest.empty()) {
            std::size_t fit = m_measurer.FitLength(styleNo, rest, Usable() - m_used);
            if (fit == rest.size()) {
                cut(fit);
                break;
            }
            // The space just after the last character that fits breaks the line as well: it is
            // dropped at the break, so it needs no room.
            const std::size_t space = rest.rfind(' ', fit);
            if (space != std::string_view::npos) {
                if (space > 0)
                    cut(space);
                ++offs;
                rest.remove_prefix(1);
                if (space > 0 || m_hasContent)
                    NewLine();
                continue;
            }
            if (m_hasContent) {
                NewLine();
                continue;
            }
            cut(fit == 0 ? CodePointLength(rest) : fit);
            if (!rest.empty())
                NewLine();
        }
    }

    void TLineBuilder::PlaceJustifiedText(int itemNo, std::string_view text)
    {
        if (text.empty()) {
            PlaceText(itemNo, 0, text);
            return;
        }
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find(' ', start + 1);
            if (end == std::string_view::npos)
                end = text.size();
            PlaceText(itemNo, start, text.substr(start, end - start));
            start = end;
        }
    }

    void TLineBuilder::PlaceControl(int itemNo)
    {
        const TRVItemInfo& info = m_items[std::size_t(itemNo)].Info;
        const int width = info.Gr ? int(std::lround(info.Gr->width() * m_params.ControlScale)) : 0;
        const int height = info.Gr ? int(std::lround(info.Gr->height() * m_params.ControlScale)) : 0;
        const int boxWidth = width + 2;
        const int boxHeight = height + 2;
        if (m_hasContent && boxWidth > Usable() - m_used && !m_para->NoWrap)
            NewLine();
        TExtent extent;
        if (info.Centred)
            extent.Above = height / 2 + 1;
        else
            extent.Above = height + 1;
        extent.Below = boxHeight - extent.Above;
        AddSegment(itemNo, 0, 0, boxWidth, extent);
        m_hasContent = true;
    }

    void TLineBuilder::PlaceBreak(int itemNo)
    {
        if (m_hasContent)
            NewLine();
        AddSegment(itemNo, 0, 0, std::max(0, Usable() - m_used), { 5, 5 });
        m_hasContent = true;
        NewLine();
    }

    void TLineBuilder::NumberJumps()
    {
        m_out.ItemJumpNo.assign(m_items.size(), -1);
        int next = 0;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const int styleNo = m_items[i].Info.StyleNo;
            if ((styleNo >= 0 && m_style.TextStyle(styleNo).Jump) || styleNo == rvsHotspot)
                m_out.ItemJumpNo[i] = next++;
        }
        for (const TRVDrawLineInfo& segment : m_out.Lines) {
            const int id = m_out.ItemJumpNo[std::size_t(segment.ItemNo)];
            if (id < 0)
                continue;
            const int styleNo = m_items[std::size_t(segment.ItemNo)].Info.StyleNo;
            const TCursor cursor
                = styleNo >= 0 ? m_style.TextStyle(styleNo).JumpCursor : m_style.JumpCursor();
            m_out.Jumps.push_back(
                { segment.Left, segment.Top, segment.Width, segment.Height, id, segment.ItemNo, cursor });
        }
    }

} // namespace

TRVLayout LayoutItems(const std::vector<TRVItem>& items, const TRVStyle& style, const TRVMeasurer& measurer,
    const TRVLayoutParams& params)
{
    TRVLayout layout;
    TLineBuilder(style, measurer, params, items, layout).Run();
    return layout;
}

} // namespace pivrel::view
