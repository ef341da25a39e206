#include "script/Compiler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// Any text either compiles into a unit that the verifier accepts, or fails with a line number.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const pivrel::script::TCompileResult r = pivrel::script::Compile(text);
    if (r.Ok && !pivrel::script::LoadUnit(pivrel::script::EncodeUnit(r.Unit)).Ok)
        std::abort();
    if (!r.Ok && r.Line < 1)
        std::abort();
    return 0;
}
