#include "images/PictureDecoder.h"

#include "images/PictureLoader.h"
#include "images/Wbmp.h"

#include <gtest/gtest.h>
#include <string>

namespace pivrel::images {
namespace {

    // Pictures of its own format start with "FAKE", then a width and a height byte; it fills
    // rows for the whole height, which a broken decoder gets wrong.
    class TFakeDecoder : public TPictureDecoder
    {
    public:
        explicit TFakeDecoder(int rowsMissing = 0)
            : m_rowsMissing(rowsMissing)
        { }

        bool Recognizes(std::string_view bytes) const override { return bytes.starts_with("FAKE"); }

        bool Decode(std::string_view bytes, base::TBitmap& out, int& width, int& height) const override
        {
            if (bytes.size() < 6)
                return false;
            width = static_cast<unsigned char>(bytes[4]) * 20;
            height = static_cast<unsigned char>(bytes[5]) * 20;
            out.Fill(width, height - m_rowsMissing, 0x123456);
            out.Height = height;
            return true;
        }

    private:
        int m_rowsMissing;
    };

    struct TDecodeCase {
        std::string bytes;
        bool decoded;
        int width;
    };

    TEST(PictureDecoders, PicksTheDecoderByTheFirstBytesAndHoldsItToTheCaps)
    {
        TPictureDecoders decoders;
        decoders.Register(std::make_unique<TFakeDecoder>());
        const TDecodeCase cases[] = {
            { std::string { '\0', '\0', 3, 2, '\xA0', '\x40' }, true, 3 },
            { "FAKE\x01\x02", true, 20 },
            { "FAKE\xCC\x01", true, 4080 },
            { "FAKE\xCD\x01", false, 0 },
            { "FAKE\x00\x01", false, 0 },
            { "GIF89a", false, 0 },
            { "", false, 0 },
            { "FAKE\x01\x01" + std::string(kMaxPictureBytes, 'x'), false, 0 },
        };
        for (const TDecodeCase& c : cases) {
            base::TBitmap bitmap;
            int width = -1;
            int height = -1;
            EXPECT_EQ(decoders.Decode(c.bytes, bitmap, width, height), c.decoded) << c.bytes.substr(0, 8);
            EXPECT_EQ(bitmap.Width, c.decoded ? c.width : 0);
            EXPECT_EQ(width, c.decoded ? c.width : -1);
        }
    }

    TEST(PictureDecoders, RefusesADecoderWhosePixelsDoNotFillThePicture)
    {
        TPictureDecoders decoders;
        decoders.Register(std::make_unique<TFakeDecoder>(1));
        base::TBitmap bitmap;
        int width = 0;
        int height = 0;
        EXPECT_FALSE(decoders.Decode("FAKE\x01\x01", bitmap, width, height));
    }

    TEST(PictureDecoders, PictureLoadingUsesTheDecodersRegisteredForTheProcess)
    {
        const base::TFixedFontMeasurer measurer;
        TPictureResult result;
        const auto answer = [](const std::string&) { return TPictureResponse { 200, "FAKE\x02\x01" }; };
        LoadPicture("http://h/p.fake", "alt", result, measurer, answer);
        EXPECT_EQ(result.SourceWidth, 0);
        TPictureDecoders::Default().Register(std::make_unique<TFakeDecoder>());
        LoadPicture("http://h/p.fake", "alt", result, measurer, answer);
        EXPECT_EQ(result.SourceWidth, 40);
        EXPECT_EQ(result.Image.Pixel(0, 0), 0x123456u);
    }

} // namespace
} // namespace pivrel::images
