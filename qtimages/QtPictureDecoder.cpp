#include "qtimages/QtPictureDecoder.h"

#include "images/Wbmp.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstdint>
#include <mutex>
#include <vector>

namespace pivrel::qtimages {

namespace {

    // TColor is 0x00BBGGRR; a pixel with some transparency is blended over white.
    base::TColor ToColor(QRgb pixel)
    {
        const int alpha = qAlpha(pixel);
        const auto blend
            = [alpha](int channel) { return (channel * alpha + 255 * (255 - alpha) + 127) / 255; };
        return base::TColor(blend(qRed(pixel))) | base::TColor(blend(qGreen(pixel))) << 8
            | base::TColor(blend(qBlue(pixel))) << 16;
    }

    bool BlackAndWhite(const QImage& image)
    {
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (line[x] != 0xFF000000u && line[x] != 0xFFFFFFFFu)
                    return false;
            }
        }
        return true;
    }

    // An opaque picture of black and white alone keeps a bit a pixel, as a WBMP does.
    void CopyBlackAndWhite(const QImage& image, base::TBitmap& out)
    {
        out.FillMonochrome(image.width(), image.height());
        for (int y = 0; y < out.Height; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            std::uint8_t* row = out.MonoRow(y);
            for (int x = 0; x < out.Width; ++x) {
                if (line[x] == 0xFF000000u)
                    row[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
            }
        }
        out.Transparent = false;
        out.TransparentColor = base::kNoColor;
    }

    void CopyPixels(const QImage& image, base::TBitmap& out)
    {
        if (BlackAndWhite(image)) {
            CopyBlackAndWhite(image, out);
            return;
        }
        out.Fill(image.width(), image.height(), images::kWhite);
        bool anyTransparent = false;
        std::vector<base::TColor> row(std::size_t(out.Width));
        for (int y = 0; y < out.Height; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < out.Width; ++x) {
                anyTransparent = anyTransparent || qAlpha(line[x]) < 255;
                row[std::size_t(x)] = ToColor(line[x]);
            }
            out.SetColourRow(y, row);
        }
        out.Transparent = anyTransparent;
        out.TransparentColor = anyTransparent ? images::kWhite : base::kNoColor;
    }

} // namespace

bool TQtPictureDecoder::Recognizes(std::string_view bytes) const
{
    return images::RasterFormatOf(bytes) != nullptr;
}

bool TQtPictureDecoder::Decode(std::string_view bytes, base::TBitmap& out, int& width, int& height) const
{
    const char* format = images::RasterFormatOf(bytes);
    if (format == nullptr || bytes.size() > images::kMaxPictureBytes)
        return false;
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // No transformation from metadata: a card shows a picture as its pixels are stored.
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() < 1 || size.height() < 1 || size.width() > images::kMaxWBMPSide
        || size.height() > images::kMaxWBMPSide)
        return false;
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.width() > images::kMaxWBMPSide
        || image.height() > images::kMaxWBMPSide)
        return false;
    image = image.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return false;
    CopyPixels(image, out);
    width = out.Width;
    height = out.Height;
    return true;
}

void RegisterQtPictureDecoder()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(images::kMaxDecoderAllocationMiB);
        images::TPictureDecoders::Default().Register(std::make_unique<TQtPictureDecoder>());
    });
}

} // namespace pivrel::qtimages
