#include "base/Bitmap.h"

#include <algorithm>

namespace pivrel::base {

namespace {

    constexpr TColor kWhite = 0xFFFFFF;
    constexpr std::uint32_t kOpaque = 0xFF000000;
    constexpr std::uint32_t kColourBits = 0x00FFFFFF;

    std::uint32_t Stored(TColor colour)
    {
        return (colour & kColourBits) | kOpaque;
    }

    std::size_t MonoStrideFor(int width)
    {
        const std::size_t bytes = (static_cast<std::size_t>(width) + 7) / 8;
        return (bytes + TBitmap::kMonoRowAlign - 1) / TBitmap::kMonoRowAlign * TBitmap::kMonoRowAlign;
    }

    std::size_t Area(int width, int height)
    {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }

} // namespace

void TBitmap::Fill(int width, int height, TColor colour)
{
    if (Resize(width, height))
        m_colour = std::make_shared<std::vector<std::uint32_t>>(Area(width, height), Stored(colour));
}

void TBitmap::FillMonochrome(int width, int height)
{
    if (Resize(width, height))
        m_mono
            = std::make_shared<std::vector<std::uint8_t>>(MonoStrideFor(width) * std::size_t(height), 0xFF);
}

// Drops the pixels and takes the new size; true when that size can hold pixels.
bool TBitmap::Resize(int width, int height)
{
    m_mono.reset();
    m_colour.reset();
    Width = width;
    Height = height;
    const bool holds = width > 0 && height > 0;
    m_pixelWidth = holds ? width : 0;
    m_pixelHeight = holds ? height : 0;
    return holds;
}

bool TBitmap::Complete() const
{
    return (m_colour || m_mono) && m_pixelWidth == Width && m_pixelHeight == Height;
}

std::size_t TBitmap::PixelBytes() const
{
    if (m_colour)
        return m_colour->size() * sizeof(std::uint32_t);
    return m_mono ? m_mono->size() : 0;
}

TColor TBitmap::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_pixelWidth || y >= m_pixelHeight || (!m_colour && !m_mono))
        return kWhite;
    if (m_colour)
        return (*m_colour)[Area(m_pixelWidth, y) + std::size_t(x)] & kColourBits;
    const std::uint8_t byte = MonoRow(y)[x / 8];
    return (byte & (0x80 >> (x % 8))) ? kWhite : kBlack;
}

void TBitmap::SetPixel(int x, int y, TColor colour)
{
    if (x < 0 || y < 0 || x >= m_pixelWidth || y >= m_pixelHeight || (!m_colour && !m_mono))
        return;
    if (m_mono && colour != kBlack && colour != kWhite)
        MakeColour();
    Unshare();
    if (m_colour) {
        (*m_colour)[Area(m_pixelWidth, y) + std::size_t(x)] = Stored(colour);
        return;
    }
    std::uint8_t& byte = MonoRow(y)[x / 8];
    const auto bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
    byte = colour == kWhite ? byte | bit : byte & ~bit;
}

void TBitmap::SetColourRow(int y, std::span<const TColor> colours)
{
    if (!m_colour || y < 0 || y >= m_pixelHeight)
        return;
    Unshare();
    std::uint32_t* row = m_colour->data() + Area(m_pixelWidth, y);
    const std::size_t count = std::min(colours.size(), std::size_t(m_pixelWidth));
    for (std::size_t x = 0; x < count; ++x)
        row[x] = Stored(colours[x]);
}

const std::uint32_t* TBitmap::StoredColourRow(int y) const
{
    if (!m_colour || y < 0 || y >= m_pixelHeight)
        return nullptr;
    return m_colour->data() + Area(m_pixelWidth, y);
}

std::size_t TBitmap::MonoStride() const
{
    return m_mono ? MonoStrideFor(m_pixelWidth) : 0;
}

const std::uint8_t* TBitmap::MonoRow(int y) const
{
    if (!m_mono || y < 0 || y >= m_pixelHeight)
        return nullptr;
    return m_mono->data() + MonoStride() * std::size_t(y);
}

std::uint8_t* TBitmap::MonoRow(int y)
{
    if (!m_mono || y < 0 || y >= m_pixelHeight)
        return nullptr;
    Unshare();
    return m_mono->data() + MonoStride() * std::size_t(y);
}

bool TBitmap::SharesPixelsWith(const TBitmap& other) const
{
    return (m_colour && m_colour == other.m_colour) || (m_mono && m_mono == other.m_mono);
}

void TBitmap::Unshare()
{
    if (m_colour && m_colour.use_count() > 1)
        m_colour = std::make_shared<std::vector<std::uint32_t>>(*m_colour);
    if (m_mono && m_mono.use_count() > 1)
        m_mono = std::make_shared<std::vector<std::uint8_t>>(*m_mono);
}

void TBitmap::MakeColour()
{
    auto colour = std::make_shared<std::vector<std::uint32_t>>(Area(m_pixelWidth, m_pixelHeight));
    for (int y = 0; y < m_pixelHeight; ++y)
        for (int x = 0; x < m_pixelWidth; ++x)
            (*colour)[Area(m_pixelWidth, y) + std::size_t(x)] = Stored(Pixel(x, y));
    m_colour = std::move(colour);
    m_mono.reset();
}

} // namespace pivrel::base
