#pragma once

#include "base/StringList.h"

#include <string>

namespace pivrel::app {

// Reads the string values of a program file's version block (base/VersionBlock.h).
class TFileInfo
{
public:
    std::string SourceFileName;

    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyright;
    std::string OriginalFilename;
    std::string ProductName;
    std::string ProductVersion;
    // The eight values above, in that order, after a successful read.
    base::TStringList AllOfThem;

    // True when the file has a version block; its values fill the properties, a key the block
    // lacks reads as empty. Without a block every value is empty.
    bool ReadVersionInfo();
};

} // namespace pivrel::app
