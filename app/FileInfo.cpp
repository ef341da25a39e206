#include "app/FileInfo.h"

#include "base/VersionBlock.h"

#include <array>
#include <utility>

namespace pivrel::app {

bool TFileInfo::ReadVersionInfo()
{
    const std::array<std::pair<const char*, std::string*>, 8> keys { {
        { "CompanyName", &CompanyName },
        { "FileDescription", &FileDescription },
        { "FileVersion", &FileVersion },
        { "InternalName", &InternalName },
        { "LegalCopyright", &LegalCopyright },
        { "OriginalFilename", &OriginalFilename },
        { "ProductName", &ProductName },
        { "ProductVersion", &ProductVersion },
    } };
    AllOfThem.clear();
    for (const auto& key : keys)
        key.second->clear();
    base::TVersionValues values;
    if (!base::ReadFileVersionBlock(SourceFileName, values))
        return false;
    for (const auto& [name, field] : keys) {
        for (const auto& [key, value] : values) {
            if (key == name) {
                *field = value;
                break;
            }
        }
        AllOfThem.push_back(*field);
    }
    return !AllOfThem.empty();
}

} // namespace pivrel::app
