#pragma once

#include "base/Bitmap.h"
#include "base/TextMeasurer.h"

#include <functional>
#include <string>

namespace pivrel::images {

// What a picture fetch brought back. StatusCode is 0 when the fetch failed before any answer.
struct TPictureResponse {
    int StatusCode = 0;
    std::string Body;
};

// Fetches a picture address over the network and returns the answer with a body of at most
// kMaxPictureBytes. It may also throw: a failed fetch simply leaves the picture missing.
using TPictureFetch = std::function<TPictureResponse(const std::string& address)>;

// The picture of an image record: the decoded picture with its size, or the alternative-text
// box with SourceWidth and SourceHeight 0.
struct TPictureResult {
    base::TBitmap Image;
    int SourceWidth = 0;
    int SourceHeight = 0;
};

// Loads the picture at an already resolved address: a "file://" address from the local disk,
// any other through fetch. Whatever goes wrong, result ends up holding a usable bitmap.
void LoadPicture(const std::string& address, const std::string& alt, TPictureResult& result,
    const base::TTextMeasurer& measurer, const TPictureFetch& fetch);

} // namespace pivrel::images
