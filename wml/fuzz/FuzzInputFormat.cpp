// Any mask and value: the check ends, and a value that fits completely already holds every literal.
#include "wml/InputFormat.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pivrel::wml;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string_view format = input.substr(0, split);
    const std::string_view value
        = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    for (TEmptyInput empty : { TEmptyInput::ByFormat, TEmptyInput::Accepted, TEmptyInput::Refused }) {
        const TFormatFit fit = FitInputFormat(format, value, empty);
        if (fit == TFormatFit::Complete && !value.empty() && InsertFormatLiterals(format, value) != value)
            std::abort();
    }
    IsValidInputFormat(format);
    return 0;
}
