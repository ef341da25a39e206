#pragma once

#include "images/PictureDecoder.h"

#include <string>
#include <vector>

namespace pivrel::tools {

// GIF, PNG and JPEG pictures through a decoder module loaded at the first such picture, so that a
// command that never meets one starts without the module's libraries. The module is looked for
// at each path in turn; without one, those pictures do not decode and show their alternative
// text.
class TLoadablePictureDecoder : public images::TPictureDecoder
{
public:
    static constexpr const char* kModuleName = "libpivrel_qtpictures.so";
    static constexpr const char* kEntryName = "pivrel_qt_picture_decoder";

    explicit TLoadablePictureDecoder(std::vector<std::string> modulePaths);

    bool Recognizes(std::string_view bytes) const override;
    bool Decode(std::string_view bytes, base::TBitmap& out, int& width, int& height) const override;

private:
    const images::TPictureDecoder* Loaded() const;

    std::vector<std::string> m_modulePaths;
    mutable bool m_tried = false;
    mutable const images::TPictureDecoder* m_decoder = nullptr;
};

// Where pivrel-cli looks for the module: beside the program (the build tree), then in the folder
// the install puts it in, relative to the program's.
std::vector<std::string> PictureModulePaths();

} // namespace pivrel::tools
