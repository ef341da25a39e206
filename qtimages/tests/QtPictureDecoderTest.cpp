#include "qtimages/QtPictureDecoder.h"

#include "images/PictureLoader.h"
#include "images/Wbmp.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace pivrel::qtimages {
namespace {

    constexpr base::TColor kRed = 0x000000FF;
    constexpr base::TColor kBlue = 0x00FF0000;

    std::string Encode(const QImage& image, const char* format)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format, 100);
        return bytes.toStdString();
    }

    // Red, with a blue square in the top left corner.
    QImage Sample(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        QPainter(&image).fillRect(0, 0, std::max(1, width / 4), std::max(1, height / 4), Qt::blue);
        return image;
    }

    std::string DataFile(const std::string& name)
    {
        std::ifstream in(
            std::filesystem::path(PIVREL_SOURCE_DIR) / "tests/data/pictures" / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Close enough for JPEG's loss.
    bool Near(base::TColor a, base::TColor b)
    {
        for (int shift = 0; shift < 24; shift += 8) {
            if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 40)
                return false;
        }
        return true;
    }

    struct TPictureCase {
        std::string name;
        std::string bytes;
        int width;
        int height;
        // JPEG blends the colours of pictures too small for its blocks.
        bool checkColours;
    };

    TEST(QtPictureDecoder, DecodesEachFormatAtEverySizeWithItsPixelsInPlace)
    {
        std::vector<TPictureCase> cases = {
            { "one.gif", DataFile("one.gif"), 1, 1, false },
            { "small.gif", DataFile("small.gif"), 17, 5, true },
        };
        for (const QSize size : { QSize(1, 1), QSize(17, 5), QSize(300, 200), QSize(4096, 3) }) {
            for (const char* format : { "png", "jpeg" })
                cases.push_back({ format, Encode(Sample(size.width(), size.height()), format), size.width(),
                    size.height(), size.width() >= 16 && size.height() >= 16 });
        }
        const TQtPictureDecoder decoder;
        for (const TPictureCase& c : cases) {
            ASSERT_TRUE(decoder.Recognizes(c.bytes)) << c.name;
            base::TBitmap bitmap;
            int width = 0;
            int height = 0;
            ASSERT_TRUE(decoder.Decode(c.bytes, bitmap, width, height)) << c.name << " " << c.width;
            EXPECT_EQ(width, c.width);
            EXPECT_EQ(height, c.height);
            ASSERT_TRUE(bitmap.Complete());
            EXPECT_FALSE(bitmap.Transparent);
            if (c.checkColours) {
                const base::TColor first = bitmap.Pixel(0, 0);
                const base::TColor last = bitmap.Pixel(c.width - 1, c.height - 1);
                EXPECT_TRUE(Near(first, kBlue)) << c.name << " " << std::hex << first;
                EXPECT_TRUE(Near(last, kRed)) << c.name << " " << std::hex << last;
            }
        }
    }

    TEST(QtPictureDecoder, KeepsBlackAndWhitePicturesAtABitAPixel)
    {
        QImage image(20, 3, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setPixel(17, 2, qRgb(0, 0, 0));
        const TQtPictureDecoder decoder;
        base::TBitmap bitmap;
        int width = 0;
        int height = 0;
        ASSERT_TRUE(decoder.Decode(Encode(image, "png"), bitmap, width, height));
        EXPECT_TRUE(bitmap.Monochrome());
        EXPECT_EQ(bitmap.Pixel(17, 2), base::kBlack);
        EXPECT_EQ(bitmap.Pixel(16, 2), images::kWhite);
        EXPECT_FALSE(bitmap.Transparent);

        image.setPixel(0, 0, qRgb(128, 128, 128));
        ASSERT_TRUE(decoder.Decode(Encode(image, "png"), bitmap, width, height));
        EXPECT_FALSE(bitmap.Monochrome());
        EXPECT_EQ(bitmap.Pixel(17, 2), base::kBlack);
    }

    TEST(QtPictureDecoder, TakesTheFirstFrameAndLaysTransparencyOverWhite)
    {
        const TQtPictureDecoder decoder;
        base::TBitmap bitmap;
        int width = 0;
        int height = 0;
        ASSERT_TRUE(decoder.Decode(DataFile("animated.gif"), bitmap, width, height));
        EXPECT_EQ(bitmap.Pixel(40 % bitmap.Width, 40 / bitmap.Width), kRed);

        ASSERT_TRUE(decoder.Decode(DataFile("transparent.gif"), bitmap, width, height));
        EXPECT_EQ(bitmap.Pixel(0, 0), images::kWhite);
        EXPECT_EQ(bitmap.Pixel(15, 15), base::kBlack);
        EXPECT_TRUE(bitmap.Transparent);
        EXPECT_EQ(bitmap.TransparentColor, images::kWhite);
    }

    // A GIF whose screen and image claim 65535 x 65535 pixels in a few bytes.
    std::string HugeGif()
    {
        std::string bytes = "GIF89a";
        bytes += { '\xFF', '\xFF', '\xFF', '\xFF', '\x00', '\x00', '\x00' };
        bytes += { ',', 0, 0, 0, 0, '\xFF', '\xFF', '\xFF', '\xFF', 0, 2, 2, 'L', 1, 0, ';' };
        return bytes;
    }

    TEST(QtPictureDecoder, RefusesCorruptPicturesAndDecompressionBombs)
    {
        QImage white(5000, 4000, QImage::Format_Grayscale8);
        white.fill(Qt::white);
        const std::string png = Encode(Sample(64, 64), "png");
        const std::string cases[] = {
            std::string("\x89PNG\r\n\x1A\n") + "garbage after the signature",
            png.substr(0, 40),
            std::string("\xFF\xD8\xFF\xE0") + std::string(200, '\x11'),
            "GIF89a",
            HugeGif(),
            Encode(white, "png"),
            Encode(white, "jpeg"),
            Encode(Sample(4097, 1), "png"),
        };
        const TQtPictureDecoder decoder;
        for (const std::string& bytes : cases) {
            base::TBitmap bitmap;
            int width = -1;
            int height = -1;
            EXPECT_FALSE(decoder.Decode(bytes, bitmap, width, height)) << bytes.size();
            EXPECT_EQ(width, -1);
            EXPECT_EQ(bitmap.PixelBytes(), 0u);
        }
    }

    TEST(QtPictureDecoder, OnceRegisteredCardPicturesUseIt)
    {
        RegisterQtPictureDecoder();
        RegisterQtPictureDecoder();
        const base::TFixedFontMeasurer measurer;
        images::TPictureResult result;
        const std::string png = Encode(Sample(30, 20), "png");
        images::LoadPicture("http://h/p.png", "alt", result, measurer, [&png](const std::string&) {
            return images::TPictureResponse { 200, png };
        });
        EXPECT_EQ(result.SourceWidth, 30);
        EXPECT_EQ(result.SourceHeight, 20);
        images::LoadPicture("http://h/p.png", "alt", result, measurer, [](const std::string&) {
            return images::TPictureResponse { 200, "\x89PNG\r\n\x1A\nbroken" };
        });
        EXPECT_EQ(result.SourceWidth, 0);
    }

} // namespace
} // namespace pivrel::qtimages
