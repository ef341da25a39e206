#include "view/RVStyle.h"

#include <QGuiApplication>
#include <QPalette>

#include <cstdio>

namespace pivrel::view {

namespace {

    constexpr TColor kSystemBit = 0x80000000;

    QPalette::ColorRole SystemRole(TColor color)
    {
        switch (color & 0xFF) {
        case clWindow & 0xFF:
            return QPalette::Base;
        case clHighlight & 0xFF:
            return QPalette::Highlight;
        case clHighlightText & 0xFF:
            return QPalette::HighlightedText;
        case 0x0F: // the button face
            return QPalette::Button;
        case 0x12: // the button text
            return QPalette::ButtonText;
        default:
            return QPalette::Text;
        }
    }

} // namespace

QColor ColorToQColor(TColor color)
{
    if (color == clNone)
        return {};
    if (color & kSystemBit)
        return QGuiApplication::palette().color(QPalette::Active, SystemRole(color));
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

std::string ColorToHtml(TColor color)
{
    QColor c = ColorToQColor(color);
    if (!c.isValid())
        c = Qt::white;
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", c.red(), c.green(), c.blue());
    return buffer;
}

Qt::CursorShape CursorToShape(TCursor cursor)
{
    switch (cursor) {
    case crJump:
    case crHandPoint:
        return Qt::PointingHandCursor;
    case crIBeam:
        return Qt::IBeamCursor;
    default:
        return Qt::ArrowCursor;
    }
}

void TFontInfo::AssignFont(const base::TFontDesc& font)
{
    FontName = font.Name.Text();
    Size = font.Size;
    Color = font.Color;
    Charset = font.Charset;
    Style = (font.Bold ? fsBold : 0u) | (font.Italic ? fsItalic : 0u) | (font.Underline ? fsUnderline : 0u);
}

QFont TFontInfo::MakeFont() const
{
    QFont font(QString::fromStdString(FontName));
    font.setPointSize(Size > 0 ? Size : 1);
    font.setBold(Style & fsBold);
    font.setItalic(Style & fsItalic);
    font.setUnderline(Style & fsUnderline);
    font.setStrikeOut(Style & fsStrikeOut);
    font.setKerning(false);
    return font;
}

TRVStyle::TRVStyle(QObject* parent)
    : QObject(parent)
{
    auto text = [](const char* name, TFontStyles style, TColor color, bool jump) {
        TFontInfo info;
        info.StyleName = name;
        info.Style = style;
        info.Color = color;
        info.Jump = jump;
        return info;
    };
    m_textStyles = {
        text("Normal text", 0, clWindowText, false),
        text("Heading", fsBold, clBlue, false),
        text("Subheading", fsBold, clNavy, false),
        text("Keywords", fsItalic, clMaroon, false),
        text("Jump 1", fsUnderline, clGreen, true),
        text("Jump 2", fsUnderline, clGreen, true),
    };
    TParaInfo centred;
    centred.Alignment = rvaCenter;
    centred.StyleName = "Centered";
    m_paraStyles = { TParaInfo {}, centred };
}

const TFontInfo& TRVStyle::TextStyle(int styleNo) const
{
    static const TFontInfo fallback;
    if (styleNo < 0 || std::size_t(styleNo) >= m_textStyles.size())
        return fallback;
    return m_textStyles[std::size_t(styleNo)];
}

const TParaInfo& TRVStyle::ParaStyle(int paraNo) const
{
    static const TParaInfo fallback;
    if (paraNo < 0 || std::size_t(paraNo) >= m_paraStyles.size())
        return fallback;
    return m_paraStyles[std::size_t(paraNo)];
}

} // namespace pivrel::view
