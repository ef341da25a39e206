#include "images/PictureLoader.h"

#include "images/Wbmp.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using pivrel::base::TFixedFontMeasurer;
using pivrel::images::kMaxPictureBytes;
using pivrel::images::LoadPicture;
using pivrel::images::TPictureFetch;
using pivrel::images::TPictureResponse;
using pivrel::images::TPictureResult;

namespace {

const std::string kPicture { '\0', '\0', 3, 2, '\xA0', '\x40' };

// A fake network that answers every fetch the same way and records what was asked.
struct TFakeNetwork {
    TPictureResponse Response { 200, kPicture };
    std::vector<std::string> Asked;

    TPictureFetch Fetch()
    {
        return [this](const std::string& address) {
            Asked.push_back(address);
            return Response;
        };
    }
};

TPictureResult Stale()
{
    TPictureResult result;
    result.SourceWidth = 99;
    result.SourceHeight = 98;
    return result;
}

void ExpectAltBox(const TPictureResult& result)
{
    EXPECT_EQ(result.SourceWidth, 0);
    EXPECT_EQ(result.SourceHeight, 0);
    // "alt" in the fixed font: 18 x 10 pixels of text.
    EXPECT_EQ(result.Image.Width, 18 + 5);
    EXPECT_EQ(result.Image.Height, 10 + 6);
}

} // namespace

TEST(LoadPicture, DecodesAFetchedPictureOnlyOnStatus200)
{
    const TFixedFontMeasurer measurer;
    TFakeNetwork network;
    TPictureResult result = Stale();
    LoadPicture("http://host/a.wbmp", "alt", result, measurer, network.Fetch());
    EXPECT_EQ(network.Asked, std::vector<std::string> { "http://host/a.wbmp" });
    EXPECT_EQ(result.SourceWidth, 3);
    EXPECT_EQ(result.SourceHeight, 2);
    EXPECT_TRUE(result.Image.Complete());
    EXPECT_TRUE(result.Image.Transparent);

    struct TCase {
        const char* Name;
        TPictureResponse Response;
    };

    const std::vector<TCase> missing {
        { "not found", { 404, kPicture } },
        { "no answer", { 0, kPicture } },
        { "redirect", { 302, kPicture } },
        { "windows bitmap", { 200, "BM" + std::string(80, '\0') } },
        { "empty body", { 200, "" } },
        { "body over the limit", { 200, kPicture + std::string(kMaxPictureBytes, '\0') } },
    };
    for (const TCase& c : missing) {
        SCOPED_TRACE(c.Name);
        network.Response = c.Response;
        result = Stale();
        LoadPicture("http://host/a.wbmp", "alt", result, measurer, network.Fetch());
        ExpectAltBox(result);
    }
}

TEST(LoadPicture, AFailingOrAbsentFetchLeavesTheAltBox)
{
    const TFixedFontMeasurer measurer;
    const std::vector<TPictureFetch> fetches {
        TPictureFetch {},
        [](const std::string&) -> TPictureResponse { throw std::runtime_error("connection refused"); },
        [](const std::string&) -> TPictureResponse { throw 10061; },
    };
    for (const TPictureFetch& fetch : fetches) {
        TPictureResult result = Stale();
        LoadPicture("http://host/a.wbmp", "alt", result, measurer, fetch);
        ExpectAltBox(result);
    }
}

TEST(LoadPicture, ReadsFileAddressesFromDiskNeverFromTheNetwork)
{
    std::string dir = ::testing::TempDir() + "pivrel-loader-XXXXXX";
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    const std::string picture = dir + "/p.wbmp";
    std::ofstream(picture, std::ios::binary) << kPicture;
    std::ofstream(dir + "/p.bmp", std::ios::binary) << "BM" + std::string(80, '\0');

    const TFixedFontMeasurer measurer;
    TFakeNetwork network;
    TPictureResult result = Stale();
    LoadPicture("file://" + picture, "alt", result, measurer, network.Fetch());
    EXPECT_EQ(result.SourceWidth, 3);
    EXPECT_EQ(result.SourceHeight, 2);

    for (const std::string& address :
        { "file://" + dir + "/p.bmp", "file://" + dir, "file://" + dir + "/none",
            std::string("file:///dev/zero"), std::string("file://"), std::string("file:") }) {
        SCOPED_TRACE(address);
        result = Stale();
        LoadPicture(address, "alt", result, measurer, network.Fetch());
        ExpectAltBox(result);
    }
    EXPECT_TRUE(network.Asked.empty());
    std::filesystem::remove_all(dir);
}
