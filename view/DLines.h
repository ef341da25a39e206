#pragma once

#include "view/RVStyle.h"

#include <QFont>
#include <QFontMetricsF>

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

class QPaintDevice;

namespace pivrel::view {

struct TRVItem;

// One laid-out piece of an item on one line, in document pixels. Offs counts bytes of the
// item's UTF-8 text from 1; Length is in bytes too, and segments always end on a character
// boundary.
struct TRVDrawLineInfo {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int ItemNo = 0;
    int Offs = 1;
    int Length = 0;
    bool FromNewLine = false;
};

using TRVDrawLines = std::vector<TRVDrawLineInfo>;

// The area of one hot-link segment. Id counts from 0 over the hot-link items.
struct TRVJumpInfo {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Id = 0;
    int ItemNo = 0;
    TCursor Cursor = crJump;
};

// One line of the layout: its segments are FirstSeg up to (not including) the next line's.
struct TRVLineInfo {
    int Top = 0;
    int Height = 0;
    int FirstSeg = 0;
};

struct TRVFontMetrics {
    int Ascent = 0;
    int Descent = 0;
    int ExternalLeading = 0;
};

// Text measurement in the fonts of the text styles. A text's width is the rounded sum of its
// characters' advances, so that fitting a prefix into a width is one pass over the text.
class TRVMeasurer
{
public:
    virtual ~TRVMeasurer() = default;
    virtual TRVFontMetrics Metrics(int styleNo) const = 0;
    virtual double Advance(int styleNo, char32_t codePoint) const = 0;

    int TextWidth(int styleNo, std::string_view text) const;

    // The number of leading bytes of the text, ending on a character boundary, whose width is
    // at most maxWidth.
    std::size_t FitLength(int styleNo, std::string_view text, int maxWidth) const;

    // The byte offset of the character boundary nearest to x pixels from the text's start.
    std::size_t OffsetAt(int styleNo, std::string_view text, int x) const;
};

// Measures with Qt's font metrics in the fonts of a style sheet, for one paint device's
// resolution (the screen when none is given). Advances are cached per style.
class TRVQtMeasurer : public TRVMeasurer
{
public:
    explicit TRVQtMeasurer(const TRVStyle& style, QPaintDevice* device = nullptr);
    ~TRVQtMeasurer() override;

    TRVFontMetrics Metrics(int styleNo) const override;
    double Advance(int styleNo, char32_t codePoint) const override;
    const QFont& Font(int styleNo) const;

private:
    struct TStyleCache {
        QFont Font;
        QFontMetricsF MetricsF;
        TRVFontMetrics Metrics;
        std::array<double, 128> Ascii {};
        mutable std::unordered_map<char32_t, double> Others;
    };

    const TStyleCache& Cache(int styleNo) const;

    std::vector<std::unique_ptr<TStyleCache>> m_styles;
    std::unique_ptr<TStyleCache> m_fallback;
};

// Decodes the UTF-8 character at pos and advances pos past it; a byte that does not start a
// well-formed sequence counts as one character U+FFFD.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

struct TRVLayoutParams {
    int TextWidth = 0;
    int LeftMargin = 0;
    int TopMargin = 0;
    int BottomMargin = 0;
    // Control sizes are screen pixels; a layout for another resolution scales them by this.
    double ControlScale = 1.0;
};

struct TRVLayout {
    TRVDrawLines Lines;
    std::vector<TRVLineInfo> LineInfos;
    std::vector<TRVJumpInfo> Jumps;
    std::vector<int> ItemJumpNo; // per item, -1 for items that are no hot link
    int DocumentHeight = 0;
    // The right edge of the widest line that is not broken (of any line of a table cell), margin
    // included; 0 when there is none.
    int ContentRight = 0;
};

// The width lines may use: the client width less the margins, widened for the widest control
// and the deepest paragraph indents, and limited as MinTextWidth, MaxTextWidth and the
// client-width option ask.
struct TRVTextWidthParams {
    int ClientWidth = 0;
    int LeftMargin = 0;
    int RightMargin = 0;
    int WidestControl = 0;
    int MinTextWidth = 0;
    int MaxTextWidth = 0;
    bool ClientTextWidth = false;
};

int ComputeTextWidth(const TRVTextWidthParams& params, const std::vector<TParaInfo>& paraStyles);

// Breaks the items into lines, aligns them by their paragraph styles and numbers the hot links.
// Control sizes are read from the items' controls. The items of a table (consecutive items with
// the same Table number) are laid out as a grid: each column as wide as its widest cell, the
// columns narrowed in turn, widest first, when together they are wider than the text width, and
// each cell's lines broken and left-aligned within its column.
TRVLayout LayoutItems(const std::vector<TRVItem>& items, const TRVStyle& style, const TRVMeasurer& measurer,
    const TRVLayoutParams& params);

// The vertical step size after a document of this height: it grows so that the vertical range
// stays within 30000 steps, and never shrinks.
int GrownStepSize(int stepSize, int documentHeight);

// The largest vertical position, in steps, that still shows the document's last pixel row.
int MaxVPos(int documentHeight, int clientHeight, int stepSize);

} // namespace pivrel::view
