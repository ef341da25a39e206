#pragma once

#include "base/FontDesc.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace pivrel::base {

// A picture in memory: Width x Height pixels, either in colour (a 32-bit word each, row by row) or in
// black and white (one bit each, set for white, the leftmost pixel in a byte's highest bit, every
// row starting on a 4-byte boundary). Copies share their pixels, so a picture named by many tags
// is held once; a write to shared pixels copies them first.
class TBitmap
{
public:
    int Width = 0;
    int Height = 0;
    bool Transparent = false;
    TColor TransparentColor = kNoColor;

    bool Empty() const { return Width == 0 || Height == 0; }

    // Gives the picture pixels of the size asked, all of the colour given (white for black and
    // white); a size that is not positive leaves it without pixels.
    void Fill(int width, int height, TColor colour);
    void FillMonochrome(int width, int height);

    // The pixels are there and fit Width x Height.
    bool Complete() const;

    bool Monochrome() const { return m_mono != nullptr; }

    std::size_t PixelBytes() const;

    // A pixel outside the picture, or of a picture without pixels, reads as white and is not
    // written. A colour other than black or white written into a black-and-white picture turns it
    // into a colour one.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor colour);

    // Writes a row of a colour picture, as far as both the row and the colours given reach.
    void SetColourRow(int y, std::span<const TColor> colours);
    // A colour picture's row as stored: each pixel its TColor with the top byte 0xFF, so that in
    // memory it reads red, green, blue, opaque. Null for black and white.
    const std::uint32_t* StoredColourRow(int y) const;

    // A black-and-white picture's rows; null for a colour one.
    static constexpr std::size_t kMonoRowAlign = 4;
    std::size_t MonoStride() const;
    const std::uint8_t* MonoRow(int y) const;
    std::uint8_t* MonoRow(int y);

    // Whether two pictures hold the very same pixels (one was copied from the other).
    bool SharesPixelsWith(const TBitmap& other) const;

private:
    bool Resize(int width, int height);
    void Unshare();
    void MakeColour();

    // The size the pixels were made for, which Width and Height, being open to callers, may leave.
    int m_pixelWidth = 0;
    int m_pixelHeight = 0;
    std::shared_ptr<std::vector<std::uint32_t>> m_colour;
    std::shared_ptr<std::vector<std::uint8_t>> m_mono;
};

} // namespace pivrel::base
