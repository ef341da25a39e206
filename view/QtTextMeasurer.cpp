#include "view/QtTextMeasurer.h"

#include "view/QtString.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>

namespace pivrel::view {

namespace {

    base::TColor ToColor(QRgb rgb)
    {
        return static_cast<base::TColor>(qRed(rgb)) | (static_cast<base::TColor>(qGreen(rgb)) << 8)
            | (static_cast<base::TColor>(qBlue(rgb)) << 16);
    }

    QRgb ToRgb(base::TColor color)
    {
        return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    }

} // namespace

TQtTextMeasurer::TQtTextMeasurer(const QFont& font)
    : m_font(font)
{ }

base::TTextSize TQtTextMeasurer::MeasureText(std::string_view text) const
{
    const QFontMetrics metrics(m_font);
    return { metrics.horizontalAdvance(ToQString(text)), metrics.height() };
}

void TQtTextMeasurer::DrawText(
    base::TBitmap& bitmap, int x, int y, std::string_view text, const base::TRect& clip) const
{
    const int left = std::max(clip.Left, 0);
    const int top = std::max(clip.Top, 0);
    const int right = std::min(clip.Right, bitmap.Width);
    const int bottom = std::min(clip.Bottom, bitmap.Height);
    if (left >= right || top >= bottom || !bitmap.Complete())
        return;

    // The text is drawn on a copy of the clipped part and copied back, so that anti-aliased edges
    // blend with whatever the bitmap holds there.
    QImage image(right - left, bottom - top, QImage::Format_RGB32);
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column)
            image.setPixel(column - left, row - top, ToRgb(bitmap.Pixel(column, row)));
    }
    {
        QPainter painter(&image);
        painter.setFont(m_font);
        painter.setPen(Qt::black);
        const QFontMetrics metrics(m_font);
        painter.drawText(x - left, y - top + metrics.ascent(), ToQString(text));
    }
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column)
            bitmap.SetPixel(column, row, ToColor(image.pixel(column - left, row - top)));
    }
}

} // namespace pivrel::view
