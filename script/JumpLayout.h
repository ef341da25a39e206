#pragma once

#include <string>

namespace pivrel::script {

// A function's code with every jump in its shortest form (5-bit, 8-bit or 16-bit offset). The
// code is valid bytecode whose forward jumps may all be in their 16-bit form.
std::string ShortenJumps(const std::string& code);

} // namespace pivrel::script
