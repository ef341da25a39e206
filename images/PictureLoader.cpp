#include "images/PictureLoader.h"

#include "images/AltTextBox.h"
#include "images/PictureDecoder.h"
#include "images/Wbmp.h"

namespace pivrel::images {

namespace {

    bool FetchAndDecode(const std::string& address, TPictureResult& result, const TPictureFetch& fetch)
    {
        if (!fetch)
            return false;
        TPictureResponse response;
        try {
            response = fetch(address);
        } catch (...) {
            // Any failure of the fetch, whatever its type, only means that the picture is missing.
            return false;
        }
        return response.StatusCode == 200 && response.Body.size() <= kMaxPictureBytes
            && TPictureDecoders::Default().Decode(
                response.Body, result.Image, result.SourceWidth, result.SourceHeight);
    }

} // namespace

void LoadPicture(const std::string& address, const std::string& alt, TPictureResult& result,
    const base::TTextMeasurer& measurer, const TPictureFetch& fetch)
{
    bool decoded = false;
    if (address.compare(0, 5, "file:") != 0) {
        decoded = FetchAndDecode(address, result, fetch);
    } else {
        // The local path is what follows "file://"; an address too short for that has none.
        const std::string path = address.size() > 7 ? address.substr(7) : std::string();
        std::string bytes;
        decoded = ReadPictureFile(path, bytes)
            && TPictureDecoders::Default().Decode(
                bytes, result.Image, result.SourceWidth, result.SourceHeight);
    }
    if (decoded)
        return;
    result.Image = DrawAltTextBox(alt, measurer);
    result.SourceWidth = 0;
    result.SourceHeight = 0;
}

} // namespace pivrel::images
