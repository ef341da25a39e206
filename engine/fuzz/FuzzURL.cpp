#include "engine/URLParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// The first byte picks the reset flag; the rest is a base address and a target, split at the first
// newline. Both are resolved the way the engine does it for every navigation.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool fresh = (data[0] & 1) != 0;
    std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t newline = input.find('\n');
    std::string_view base = input.substr(0, newline);
    std::string_view target
        = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

    pivrel::engine::TURLParser parser;
    parser.Clear();
    parser.Resolve(base, fresh);
    parser.Resolve(target, fresh);
    parser.BuildURL();
    // Removing dot segments only ever shortens a path.
    if (pivrel::engine::RemoveDotSegments(target).size() > target.size())
        std::abort();
    pivrel::engine::ResolveReference(base, target);
    return 0;
}
