#pragma once

#include <cstdint>
#include <string_view>

namespace pivrel::script {

struct TLibraryFunction {
    std::string_view Library;
    std::string_view Name;
    std::uint16_t LibraryIndex;
    std::uint8_t FunctionIndex;
    std::uint8_t Arguments;
};

// The standard library function Library.Name, or null.
const TLibraryFunction* FindLibraryFunction(std::string_view library, std::string_view name);

// The function at the given indices, or null.
const TLibraryFunction* LibraryFunctionAt(std::uint16_t library, std::uint8_t function);

} // namespace pivrel::script
