#include "images/Wbmp.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tests/support/BitmapPixels.h"

using pivrel::base::kBlack;
using pivrel::base::TBitmap;
using pivrel::images::DecodeWBMP;
using pivrel::images::DecodeWBMPFile;
using pivrel::images::EncodePBM;
using pivrel::images::kMaxPictureBytes;
using pivrel::images::kWhite;
using pivrel::images::ReadPictureFile;
using pivrel::testsupport::AllPixels;

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

// A type-0 header with the given encoded width and height, then rows of all-white bytes.
std::string Wbmp(const std::string& widthBytes, const std::string& heightBytes, int width, int height)
{
    const std::size_t rowLength = (static_cast<std::size_t>(width) + 7) / 8;
    return Bytes({ 0, 0 }) + widthBytes + heightBytes
        + std::string(rowLength * static_cast<std::size_t>(height), '\xFF');
}

// A scratch directory that removes itself.
class TScratchDir
{
public:
    TScratchDir()
    {
        std::string pattern = ::testing::TempDir() + "pivrel-wbmp-XXXXXX";
        m_path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }

    ~TScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = m_path + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

TEST(DecodeWBMP, ReadsOneAndTwoByteDimensions)
{
    struct TCase {
        std::string Encoded;
        int Value;
    };

    const std::vector<TCase> cases {
        { Bytes({ 0x01 }), 1 },
        { Bytes({ 0x7F }), 127 },
        { Bytes({ 0x81, 0x00 }), 128 },
        { Bytes({ 0x80, 0x05 }), 5 },
        // The second byte counts whole, its top bit included.
        { Bytes({ 0x81, 0xFF }), 383 },
        { Bytes({ 0x9F, 0x7F }), 4095 },
        { Bytes({ 0xA0, 0x00 }), 4096 },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Value);
        TBitmap bitmap;
        int width = -1, height = -1;
        ASSERT_TRUE(DecodeWBMP(Wbmp(c.Encoded, Bytes({ 2 }), c.Value, 2), bitmap, width, height));
        EXPECT_EQ(width, c.Value);
        EXPECT_EQ(height, 2);
        EXPECT_EQ(bitmap.Width, c.Value);
        EXPECT_TRUE(bitmap.Complete());
        ASSERT_TRUE(DecodeWBMP(Wbmp(Bytes({ 3 }), c.Encoded, 3, c.Value), bitmap, width, height));
        EXPECT_EQ(width, 3);
        EXPECT_EQ(height, c.Value);
        EXPECT_EQ(bitmap.Height, c.Value);
    }
}

TEST(DecodeWBMP, ExpandsRowsMostSignificantBitFirstAndIgnoresPadding)
{
    // 10 x 1: two bytes per row; the six low bits of the second byte are padding.
    TBitmap bitmap;
    int width = 0, height = 0;
    ASSERT_TRUE(DecodeWBMP(Bytes({ 0, 0, 10, 1, 0b10101010, 0b01111111 }), bitmap, width, height));
    const std::vector<pivrel::base::TColor> expected { kWhite, kBlack, kWhite, kBlack, kWhite, kBlack, kWhite,
        kBlack, kBlack, kWhite };
    EXPECT_EQ(AllPixels(bitmap), expected);
    EXPECT_TRUE(bitmap.Transparent);
    EXPECT_EQ(bitmap.TransparentColor, kWhite);

    // Rows follow each other from the top; padding bits set or clear make no difference.
    ASSERT_TRUE(DecodeWBMP(Bytes({ 0, 0, 3, 2, 0b10111111, 0b01000000 }), bitmap, width, height));
    EXPECT_EQ(AllPixels(bitmap),
        (std::vector<pivrel::base::TColor> { kWhite, kBlack, kWhite, kBlack, kWhite, kBlack }));

    // Bytes after the last row are not part of the picture.
    ASSERT_TRUE(DecodeWBMP(Bytes({ 0, 0, 1, 1, 0x00, 0xFF, 0xFF }), bitmap, width, height));
    EXPECT_EQ(AllPixels(bitmap), std::vector<pivrel::base::TColor> { kBlack });
}

TEST(DecodeWBMP, RefusesWhatIsNoShowableTypeZeroPicture)
{
    const std::string bmp = "BM" + std::string(60, '\0');
    const std::vector<std::string> refused {
        "", Bytes({ 0 }), Bytes({ 0, 0 }), bmp, "GIF89a" + std::string(20, '\0'),
        Bytes({ 1, 0, 1, 1, 0 }), // another type
        Bytes({ 0, 0x80, 1, 1, 0 }), // extension headers
        Bytes({ 0, 0, 0, 1 }), // zero width
        Bytes({ 0, 0, 1, 0 }), // zero height
        Bytes({ 0, 0, 0x80, 0x00, 1 }), // zero width in two bytes
        Bytes({ 0, 0, 0x81 }), // the width stops after its first byte
        Bytes({ 0, 0, 1, 0x81 }), // so does the height
        Bytes({ 0, 0, 1 }), // no height
        Bytes({ 0, 0, 8, 2, 0xFF }), // one row short
        Bytes({ 0, 0, 9, 1, 0xFF }), // the second byte of the row is missing
        Wbmp(Bytes({ 0xA0, 0x01 }), Bytes({ 1 }), 4097, 1), // wider than 4096
        Wbmp(Bytes({ 1 }), Bytes({ 0xA0, 0x01 }), 1, 4097), // taller than 4096
        Wbmp(Bytes({ 0x9F, 0xFF }), Bytes({ 1 }), 4223, 1), // the second byte's top bit adds 128
        Wbmp(Bytes({ 0xFF, 0xFF }), Bytes({ 0xFF, 0xFF }), 1, 1), // header far beyond the body
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        SCOPED_TRACE(i);
        TBitmap bitmap;
        bitmap.Width = 7;
        int width = 5, height = 6;
        EXPECT_FALSE(DecodeWBMP(refused[i], bitmap, width, height));
        // A refusal leaves what the caller had.
        EXPECT_EQ(bitmap.Width, 7);
        EXPECT_EQ(width, 5);
        EXPECT_EQ(height, 6);
    }
}

TEST(EncodePBM, PacksDarkPixelsAsSetBits)
{
    TBitmap bitmap;
    int width = 0, height = 0;
    ASSERT_TRUE(
        DecodeWBMP(Bytes({ 0, 0, 10, 2, 0b10101010, 0b01111111, 0xFF, 0x3F }), bitmap, width, height));
    EXPECT_EQ(EncodePBM(bitmap), "P4\n10 2\n" + Bytes({ 0x55, 0x80, 0x00, 0xC0 }));

    // Grey shades split at the middle; a bitmap missing pixels reads them as white.
    TBitmap grey;
    grey.Fill(3, 1, 0x7F7F7F);
    grey.SetPixel(1, 0, 0x808080);
    grey.SetPixel(2, 0, 0x0000FF);
    EXPECT_EQ(EncodePBM(grey), "P4\n3 1\n" + Bytes({ 0xA0 }));
    TBitmap broken;
    broken.Fill(1, 1, kBlack);
    broken.Width = 9;
    broken.Height = 2;
    EXPECT_EQ(EncodePBM(broken), "P4\n9 2\n" + Bytes({ 0x80, 0, 0, 0 }));
    EXPECT_EQ(EncodePBM(TBitmap {}), "P4\n0 0\n");
}

TEST(ReadPictureFile, ReadsOnlyRegularFilesUpToTheLimit)
{
    TScratchDir dir;
    ASSERT_FALSE(dir.Path().empty());
    std::string bytes;
    const std::string picture = Bytes({ 0, 0, 1, 1, 0 });
    ASSERT_TRUE(ReadPictureFile(dir.Write("ok.wbmp", picture), bytes));
    EXPECT_EQ(bytes, picture);

    const std::string atLimit = dir.Path() + "/limit";
    const std::string overLimit = dir.Path() + "/huge";
    ASSERT_EQ(::truncate(dir.Write("limit", "").c_str(), kMaxPictureBytes), 0);
    ASSERT_EQ(::truncate(dir.Write("huge", "").c_str(), 9 << 20), 0);
    EXPECT_TRUE(ReadPictureFile(atLimit, bytes));
    EXPECT_EQ(bytes.size(), kMaxPictureBytes);
    ASSERT_EQ(::truncate(atLimit.c_str(), kMaxPictureBytes + 1), 0);

    const std::string fifo = dir.Path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string linkToDevice = dir.Path() + "/zero-link";
    ASSERT_EQ(::symlink("/dev/zero", linkToDevice.c_str()), 0);

    // None of these may block or be read from: a FIFO has no writer, /dev/zero never ends.
    for (const std::string& path : { atLimit, overLimit, fifo, linkToDevice, std::string("/dev/zero"),
             std::string("/dev/null"), dir.Path(), dir.Path() + "/missing", std::string() }) {
        SCOPED_TRACE(path);
        bytes = "untouched";
        EXPECT_FALSE(ReadPictureFile(path, bytes));
        EXPECT_EQ(bytes, "untouched");
    }
}

TEST(DecodeWBMPFile, DecodesAFileAndRefusesAWindowsBitmap)
{
    TScratchDir dir;
    TBitmap bitmap;
    int width = 0, height = 0;
    ASSERT_TRUE(DecodeWBMPFile(dir.Write("a.wbmp", Bytes({ 0, 0, 2, 1, 0x40 })), bitmap, width, height));
    EXPECT_EQ(AllPixels(bitmap), (std::vector<pivrel::base::TColor> { kBlack, kWhite }));
    EXPECT_FALSE(DecodeWBMPFile(dir.Write("b.bmp", "BM" + std::string(100, '\0')), bitmap, width, height));
    EXPECT_EQ(width, 2);
}
