#pragma once

#include "images/PictureDecoder.h"

namespace pivrel::qtimages {

// GIF, PNG and JPEG pictures through Qt's image readers (QtGui alone: no display is needed).
// The size a picture announces is checked before any pixel is decoded, and the readers work
// under an allocation limit, so that a small file cannot claim a huge picture's memory. Partly
// transparent pixels are laid over white, the colour that shows through where a card's
// pictures are transparent.
class TQtPictureDecoder : public images::TPictureDecoder
{
public:
    bool Recognizes(std::string_view bytes) const override;
    bool Decode(std::string_view bytes, base::TBitmap& out, int& width, int& height) const override;
};

// Adds the decoder to the process's picture decoders, once however often it is called.
void RegisterQtPictureDecoder();

} // namespace pivrel::qtimages
