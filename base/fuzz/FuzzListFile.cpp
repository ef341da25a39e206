// Any bytes give a list whose entries survive a save and a load unchanged.
#include "base/ListFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto entries = pivrel::base::ParseListText(bytes);
    if (pivrel::base::ParseListText(pivrel::base::FormatListText(entries)) != entries)
        std::abort();
    return 0;
}
