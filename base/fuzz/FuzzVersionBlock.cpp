// Reads a version block out of arbitrary bytes taken as a program file.

#include "base/VersionBlock.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const pivrel::base::TRangeReader read
        = [file](std::uint64_t offset, std::size_t length, std::string& out) {
              if (offset > file.size() || file.size() - offset < length)
                  return false;
              out.assign(file.substr(std::size_t(offset), length));
              return true;
          };
    std::string block;
    pivrel::base::TVersionValues values;
    if (pivrel::base::FindVersionSection(read, block))
        pivrel::base::ParseVersionBlock(block, values);
    pivrel::base::ParseVersionBlock(file, values);
    return 0;
}
