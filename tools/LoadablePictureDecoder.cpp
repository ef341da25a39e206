#include "tools/LoadablePictureDecoder.h"

#include <dlfcn.h>
#include <filesystem>
#include <system_error>
#include <utility>

namespace pivrel::tools {

TLoadablePictureDecoder::TLoadablePictureDecoder(std::vector<std::string> modulePaths)
    : m_modulePaths(std::move(modulePaths))
{ }

bool TLoadablePictureDecoder::Recognizes(std::string_view bytes) const
{
    return images::RasterFormatOf(bytes) != nullptr;
}

bool TLoadablePictureDecoder::Decode(
    std::string_view bytes, base::TBitmap& out, int& width, int& height) const
{
    const images::TPictureDecoder* decoder = Loaded();
    return decoder != nullptr && decoder->Decode(bytes, out, width, height);
}

// The module stays loaded for the rest of the process: its decoder is shared from then on.
const images::TPictureDecoder* TLoadablePictureDecoder::Loaded() const
{
    if (m_tried)
        return m_decoder;
    m_tried = true;
    using TEntry = const images::TPictureDecoder* (*)();
    for (const std::string& path : m_modulePaths) {
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr)
            continue;
        if (auto entry = reinterpret_cast<TEntry>(dlsym(module, kEntryName)); entry != nullptr) {
            m_decoder = entry();
            return m_decoder;
        }
        dlclose(module);
    }
    return nullptr;
}

std::vector<std::string> PictureModulePaths()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const std::filesystem::path folder = program.parent_path();
    return { (folder / TLoadablePictureDecoder::kModuleName).string(),
        (folder / PIVREL_MODULE_DIR_FROM_PROGRAM / TLoadablePictureDecoder::kModuleName).string() };
}

} // namespace pivrel::tools
