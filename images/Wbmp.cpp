#include "images/Wbmp.h"

#include "base/FileRead.h"

#include <algorithm>
#include <utility>

namespace pivrel::images {

namespace {

    // Reads a width or height: one byte below 128, otherwise that byte's low seven bits times 128
    // plus the whole next byte. A value never takes more than two bytes.
    bool ReadDimension(std::string_view bytes, std::size_t& pos, int& value)
    {
        if (pos >= bytes.size())
            return false;
        const auto first = static_cast<unsigned char>(bytes[pos++]);
        if (first < 128) {
            value = first;
            return true;
        }
        if (pos >= bytes.size())
            return false;
        const auto second = static_cast<unsigned char>(bytes[pos++]);
        value = (first - 128) * 128 + second;
        return true;
    }

    bool ValidSide(int side)
    {
        return side > 0 && side <= kMaxWBMPSide;
    }

    // A WBMP row is already a black-and-white bitmap's row: a set bit is white, the leftmost pixel
    // in the highest bit. The bits after the last pixel of a row are padding and never looked at.
    void CopyRows(std::string_view rows, int height, base::TBitmap& bitmap)
    {
        const std::size_t rowLength = (static_cast<std::size_t>(bitmap.Width) + 7) / 8;
        for (int y = 0; y < height; ++y)
            rows.copy(reinterpret_cast<char*>(bitmap.MonoRow(y)), rowLength,
                static_cast<std::size_t>(y) * rowLength);
    }

    // Dark is below half the sum of the three channels at full strength.
    bool IsDark(base::TColor color)
    {
        const unsigned red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
        return red + green + blue < 384;
    }

} // namespace

bool DecodeWBMP(std::string_view bytes, base::TBitmap& out, int& width, int& height)
{
    if (bytes.size() < 2 || bytes[0] != 0 || bytes[1] != 0)
        return false;
    std::size_t pos = 2;
    int w = 0, h = 0;
    if (!ReadDimension(bytes, pos, w) || !ReadDimension(bytes, pos, h) || !ValidSide(w) || !ValidSide(h))
        return false;
    const std::size_t rowLength = (static_cast<std::size_t>(w) + 7) / 8;
    const std::size_t bodyLength = rowLength * static_cast<std::size_t>(h);
    // A body shorter than the header promises is refused rather than padded: it is no WBMP.
    if (bytes.size() - pos < bodyLength)
        return false;
    base::TBitmap bitmap;
    bitmap.FillMonochrome(w, h);
    bitmap.Transparent = true;
    bitmap.TransparentColor = kWhite;
    CopyRows(bytes.substr(pos, bodyLength), h, bitmap);
    out = std::move(bitmap);
    width = w;
    height = h;
    return true;
}

bool ReadPictureFile(const std::string& path, std::string& bytes)
{
    const base::TFileReadOptions options { kMaxPictureBytes, base::TFileKinds::RegularOnly,
        base::TOversize::Refuse };
    return !path.empty() && base::ReadLocalFile(path, bytes, options);
}

bool DecodeWBMPFile(const std::string& path, base::TBitmap& out, int& width, int& height)
{
    std::string bytes;
    return ReadPictureFile(path, bytes) && DecodeWBMP(bytes, out, width, height);
}

std::string EncodePBM(const base::TBitmap& bitmap)
{
    const int width = std::max(bitmap.Width, 0);
    const int height = std::max(bitmap.Height, 0);
    std::string pbm = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    const std::size_t rowLength = (static_cast<std::size_t>(width) + 7) / 8;
    for (int y = 0; y < height; ++y) {
        std::string row(rowLength, '\0');
        for (int x = 0; x < width; ++x) {
            // A pixel missing from a malformed bitmap reads as white.
            if (IsDark(bitmap.Pixel(x, y)))
                row[static_cast<std::size_t>(x) / 8] |= static_cast<char>(0x80 >> (x % 8));
        }
        pbm += row;
    }
    return pbm;
}

} // namespace pivrel::images
