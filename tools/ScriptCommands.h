#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace pivrel::tools {

// pivrel-cli wmls compile FILE.wmls [-o FILE.wmlsc]
// pivrel-cli wmls run ADDRESS#func(args) [--set NAME=VALUE]... [--answer TEXT]...
// Dialog answers come from the --answer options in order; without any, from the lines of in.
int RunWmls(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in);

} // namespace pivrel::tools
