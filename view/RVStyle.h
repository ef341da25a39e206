#pragma once

#include "base/FontDesc.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <Qt>

#include <string>
#include <vector>

namespace pivrel::view {

using base::TColor;

// System colours are colour values with the high bit set; they follow the desktop's palette.
inline constexpr TColor clWindow = 0x80000005;
inline constexpr TColor clWindowText = 0x80000008;
inline constexpr TColor clHighlight = 0x8000000D;
inline constexpr TColor clHighlightText = 0x8000000E;
inline constexpr TColor clNone = base::kNoColor;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clMaroon = 0x000080;

// The colour to paint with: system colours are looked up in the application palette. Returns an
// invalid QColor for clNone.
QColor ColorToQColor(TColor color);

// "#RRGGBB" for a colour, system colours resolved.
std::string ColorToHtml(TColor color);

// Cursor numbers as the window system counts them; 101 is the hot-link hand the style sheet
// registers.
using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crJump = 101;

Qt::CursorShape CursorToShape(TCursor cursor);

// Font style sets are bit sets.
enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

using TFontStyles = unsigned;

enum TRVFontStyleEx : unsigned { rvfsOverlined = 1 };

using TRVFontStylesEx = unsigned;

// One text style; its index in the style sheet is the text style number.
struct TFontInfo {
    std::string StyleName = "Font Style";
    std::string FontName = "Arial";
    int Size = 10;
    int Charset = 1;
    TFontStyles Style = 0;
    TRVFontStylesEx StyleEx = 0;
    TColor Color = clWindowText;
    TColor BackColor = clNone;
    TColor HoverColor = clNone;
    bool Jump = false;
    TCursor JumpCursor = crJump;
    int VShift = 0;
    bool SingleSymbols = false;
    int NextStyleNo = -1;

    // Takes name, size, colour, style and character set of a font description.
    void AssignFont(const base::TFontDesc& font);

    // The font to draw and measure with. Kerning is off so that a run measures as the sum of
    // its characters' advances, which is what line breaking adds up.
    QFont MakeFont() const;
};

enum TRVAlignment { rvaLeft, rvaRight, rvaCenter, rvaJustify };

// One paragraph style; its index in the style sheet is the paragraph style number.
struct TParaInfo {
    int FirstIndent = 0;
    int LeftIndent = 0;
    int RightIndent = 0;
    TRVAlignment Alignment = rvaLeft;
    std::string StyleName = "Paragraph Style";
    // Lines of the paragraph are not broken; the view scrolls sideways to show them.
    bool NoWrap = false;
};

// The style sheet shared by a view and its printable copy. Views hold it through a QPointer, so
// that destroying it leaves them without one instead of dangling.
class TRVStyle : public QObject
{
    Q_OBJECT

public:
    explicit TRVStyle(QObject* parent = nullptr);

    std::vector<TFontInfo>& TextStyles() { return m_textStyles; }

    const std::vector<TFontInfo>& TextStyles() const { return m_textStyles; }

    std::vector<TParaInfo>& ParaStyles() { return m_paraStyles; }

    const std::vector<TParaInfo>& ParaStyles() const { return m_paraStyles; }

    // The style for a number, or a default one for a number the sheet does not hold, so that a
    // caller's wrong number shows text instead of reading outside the collection.
    const TFontInfo& TextStyle(int styleNo) const;
    const TParaInfo& ParaStyle(int paraNo) const;

    std::uint16_t SpacesInTab() const { return m_spacesInTab; }

    void SetSpacesInTab(std::uint16_t value) { m_spacesInTab = value; }

    TCursor JumpCursor() const { return m_jumpCursor; }

    void SetJumpCursor(TCursor value) { m_jumpCursor = value; }

    TColor Color() const { return m_color; }

    void SetColor(TColor value) { m_color = value; }

    TColor HoverColor() const { return m_hoverColor; }

    void SetHoverColor(TColor value) { m_hoverColor = value; }

    TColor SelColor() const { return m_selColor; }

    void SetSelColor(TColor value) { m_selColor = value; }

    TColor SelTextColor() const { return m_selTextColor; }

    void SetSelTextColor(TColor value) { m_selTextColor = value; }

    TColor CheckpointColor() const { return m_checkpointColor; }

    void SetCheckpointColor(TColor value) { m_checkpointColor = value; }

    TColor CheckpointEvColor() const { return m_checkpointEvColor; }

    void SetCheckpointEvColor(TColor value) { m_checkpointEvColor = value; }

    bool FullRedraw() const { return m_fullRedraw; }

    void SetFullRedraw(bool value) { m_fullRedraw = value; }

private:
    std::vector<TFontInfo> m_textStyles;
    std::vector<TParaInfo> m_paraStyles;
    std::uint16_t m_spacesInTab = 8;
    TCursor m_jumpCursor = crJump;
    TColor m_color = clWindow;
    TColor m_hoverColor = clNone;
    TColor m_selColor = clHighlight;
    TColor m_selTextColor = clHighlightText;
    TColor m_checkpointColor = clGreen;
    TColor m_checkpointEvColor = clLime;
    bool m_fullRedraw = false;
};

} // namespace pivrel::view
