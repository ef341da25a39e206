#include "app/ToolbarImages.h"

#include "app/AppPaths.h"

#include <QPainter>
#include <QPolygonF>

namespace pivrel::app {

namespace {

    struct TPalette {
        QColor Ink;
        QColor Fill;
        QColor Accent;
    };

    TPalette PaletteFor(TImageTone tone)
    {
        // The cold tone is muted so that the picture under the pointer stands out.
        if (tone == TImageTone::Hot)
            return { QColor(0x10, 0x30, 0x80), QColor(0x3c, 0x8c, 0xf0), QColor(0xf0, 0xa0, 0x20) };
        return { QColor(0x40, 0x40, 0x50), QColor(0x80, 0x98, 0xb8), QColor(0xb8, 0x98, 0x60) };
    }

    void Arrow(QPainter& p, const TPalette& c, bool pointsLeft)
    {
        QPolygonF shape { { 2, 8 }, { 8, 2 }, { 8, 5 }, { 14, 5 }, { 14, 11 }, { 8, 11 }, { 8, 14 } };
        if (!pointsLeft) {
            for (QPointF& point : shape)
                point.setX(16 - point.x());
        }
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(c.Fill);
        p.drawPolygon(shape);
    }

    void Home(QPainter& p, const TPalette& c)
    {
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(c.Accent);
        p.drawPolygon(QPolygonF { { 1, 8 }, { 8, 1.5 }, { 15, 8 } });
        p.setBrush(c.Fill);
        p.drawRect(QRectF(3.5, 8, 9, 6.5));
        p.setBrush(c.Ink);
        p.drawRect(QRectF(7, 10.5, 2, 4));
    }

    void Reload(QPainter& p, const TPalette& c)
    {
        p.setPen(QPen(c.Fill, 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(c.Ink);
        p.drawPolygon(QPolygonF { { 9, 0.5 }, { 14, 3 }, { 9, 6.5 } });
    }

    void Stop(QPainter& p, const TPalette& c)
    {
        const QPolygonF octagon { { 5, 1 }, { 11, 1 }, { 15, 5 }, { 15, 11 }, { 11, 15 }, { 5, 15 },
            { 1, 11 }, { 1, 5 } };
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(QColor(0xd0, 0x30, 0x30));
        p.drawPolygon(octagon);
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    }

    void Properties(QPainter& p, const TPalette& c)
    {
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(c.Fill);
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        for (int row = 0; row < 3; ++row) {
            const qreal y = 5 + row * 3;
            p.setBrush(row == 1 ? c.Accent : QColor(Qt::white));
            p.drawRect(QRectF(3.5, y - 0.5, 2, 2));
            p.drawLine(QPointF(7, y + 0.5), QPointF(13, y + 0.5));
        }
    }

    void Page(QPainter& p, const TPalette& c)
    {
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF { { 3.5, 1.5 }, { 10, 1.5 }, { 12.5, 4 }, { 12.5, 14.5 }, { 3.5, 14.5 } });
        p.setPen(QPen(c.Fill, 1));
        for (qreal y = 5.5; y < 13; y += 2)
            p.drawLine(QPointF(5, y), QPointF(11, y));
    }

    void PrintPreview(QPainter& p, const TPalette& c)
    {
        Page(p, c);
        p.setPen(QPen(c.Ink, 1.5));
        p.setBrush(QColor(255, 255, 255, 160));
        p.drawEllipse(QRectF(7, 7, 5.5, 5.5));
        p.drawLine(QPointF(12, 12), QPointF(15, 15));
    }

    void Save(QPainter& p, const TPalette& c)
    {
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(c.Fill);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(c.Ink);
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
    }

    void Open(QPainter& p, const TPalette& c)
    {
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(c.Accent);
        p.drawPolygon(
            QPolygonF { { 1.5, 3.5 }, { 6, 3.5 }, { 7.5, 5 }, { 13.5, 5 }, { 13.5, 13.5 }, { 1.5, 13.5 } });
        p.setBrush(c.Fill);
        p.drawPolygon(QPolygonF { { 1.5, 13.5 }, { 4, 7.5 }, { 15.5, 7.5 }, { 13.5, 13.5 } });
    }

    void Spare(QPainter& p, const TPalette& c)
    {
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(c.Fill);
        p.drawEllipse(QRectF(4.5, 4.5, 7, 7));
    }

    void Print(QPainter& p, const TPalette& c)
    {
        p.setPen(QPen(c.Ink, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(c.Fill);
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        p.setPen(c.Accent);
        p.drawPoint(QPointF(12.5, 8.5));
    }

    void Search(QPainter& p, const TPalette& c)
    {
        p.setPen(QPen(c.Ink, 1.5));
        p.setBrush(c.Fill);
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.setPen(QPen(c.Accent, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10, 10), QPointF(14, 14));
    }

} // namespace

QPixmap ToolbarImage(int index, TImageTone tone)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const TPalette c = PaletteFor(tone);
    switch (index) {
    case 0:
        Arrow(painter, c, true);
        break;
    case 1:
        Arrow(painter, c, false);
        break;
    case 2:
        Home(painter, c);
        break;
    case 3:
        Reload(painter, c);
        break;
    case 4:
        Stop(painter, c);
        break;
    case 5:
        Properties(painter, c);
        break;
    case 6:
        PrintPreview(painter, c);
        break;
    case 7:
        Save(painter, c);
        break;
    case 8:
        Open(painter, c);
        break;
    case 10:
        Print(painter, c);
        break;
    case 11:
        Search(painter, c);
        break;
    default:
        Spare(painter, c);
        break;
    }
    return pixmap;
}

QIcon ToolbarIcon(int index)
{
    QIcon icon;
    icon.addPixmap(ToolbarImage(index, TImageTone::Cold), QIcon::Normal);
    icon.addPixmap(ToolbarImage(index, TImageTone::Hot), QIcon::Active);
    return icon;
}

QPixmap PrevGlyph()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    painter.setBrush(QColor(0x30, 0x70, 0xc0));
    painter.drawPolygon(QPolygonF { { 3, 8 }, { 10, 2 }, { 10, 14 } });
    painter.drawRect(QRectF(11, 4, 2, 8));
    return pixmap;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int size : { 16, 32, 48, 64, 128, 256 }) {
        const std::string file = TAppPaths::DataFile("icons/pivrel-" + std::to_string(size) + ".png");
        if (!file.empty())
            icon.addFile(QString::fromStdString(file), QSize(size, size));
    }
    return icon;
}

} // namespace pivrel::app
