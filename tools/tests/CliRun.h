#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tools/CliCommands.h"

namespace pivrel::tools {

// What one run of the command-line tool gave: its exit status and both output streams.
struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

inline TRun RunArgs(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    TRun run;
    run.Status = RunCli(args, out, err);
    run.Out = out.str();
    run.Err = err.str();
    return run;
}

} // namespace pivrel::tools
