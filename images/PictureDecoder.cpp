#include "images/PictureDecoder.h"

#include "images/Wbmp.h"

namespace pivrel::images {

namespace {

    class TWbmpDecoder : public TPictureDecoder
    {
    public:
        // A type-0 WBMP starts with its type and a zero header byte; no other format decoded
        // here starts with a zero byte.
        bool Recognizes(std::string_view bytes) const override { return bytes.size() >= 2 && bytes[0] == 0; }

        bool Decode(std::string_view bytes, base::TBitmap& out, int& width, int& height) const override
        {
            return DecodeWBMP(bytes, out, width, height);
        }
    };

} // namespace

TPictureDecoders::TPictureDecoders()
{
    Register(std::make_unique<TWbmpDecoder>());
}

TPictureDecoders& TPictureDecoders::Default()
{
    static TPictureDecoders decoders;
    return decoders;
}

void TPictureDecoders::Register(std::unique_ptr<TPictureDecoder> decoder)
{
    if (decoder)
        m_decoders.push_back(std::move(decoder));
}

const char* RasterFormatOf(std::string_view bytes)
{
    constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1A\n";
    constexpr std::string_view kJpegSignature = "\xFF\xD8\xFF";
    if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a"))
        return "gif";
    if (bytes.starts_with(kPngSignature))
        return "png";
    if (bytes.starts_with(kJpegSignature))
        return "jpeg";
    return nullptr;
}

bool TPictureDecoders::Decode(std::string_view bytes, base::TBitmap& out, int& width, int& height) const
{
    if (bytes.size() > kMaxPictureBytes)
        return false;
    for (const auto& decoder : m_decoders) {
        if (!decoder->Recognizes(bytes))
            continue;
        base::TBitmap bitmap;
        int w = 0;
        int h = 0;
        // A decoder of another hand is checked too: a picture it let through past the caps, or
        // whose pixels do not fill its size, would be drawn from memory it does not own.
        if (!decoder->Decode(bytes, bitmap, w, h) || w < 1 || h < 1 || w > kMaxWBMPSide || h > kMaxWBMPSide
            || bitmap.Width != w || bitmap.Height != h || !bitmap.Complete())
            return false;
        out = std::move(bitmap);
        width = w;
        height = h;
        return true;
    }
    return false;
}

} // namespace pivrel::images
