#pragma once

#include "base/Bitmap.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace pivrel::images {

// Decoders of other formats are held to the caps of WBMP pictures: at most kMaxWBMPSide pixels
// a side (Wbmp.h), and at most this much memory for the decoder's own work.
inline constexpr int kMaxDecoderAllocationMiB = 72;

// "gif", "png" or "jpeg" when the bytes start as pictures of that format do; null otherwise.
const char* RasterFormatOf(std::string_view bytes);

// One picture format.
class TPictureDecoder
{
public:
    virtual ~TPictureDecoder() = default;

    // True when the bytes start the way this format's pictures do. Decoders are chosen by what
    // the bytes are, never by the content type that came with them, which servers often get wrong.
    virtual bool Recognizes(std::string_view bytes) const = 0;
    // Decodes the picture (the first frame of an animation) into out with its size; false when the
    // bytes do not decode or the picture is larger than the caps. out, width and height are
    // changed only on success.
    virtual bool Decode(std::string_view bytes, base::TBitmap& out, int& width, int& height) const = 0;
};

// The decoders a process knows, WBMP's among them from the start. Front ends add others once,
// before the first picture is loaded.
class TPictureDecoders
{
public:
    TPictureDecoders();

    // The decoders picture loading uses.
    static TPictureDecoders& Default();

    void Register(std::unique_ptr<TPictureDecoder> decoder);
    // Decodes with the first decoder that recognizes the bytes; false when none does, or its
    // result breaks the caps.
    bool Decode(std::string_view bytes, base::TBitmap& out, int& width, int& height) const;

private:
    std::vector<std::unique_ptr<TPictureDecoder>> m_decoders;
};

} // namespace pivrel::images
