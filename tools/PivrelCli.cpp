#include "images/PictureDecoder.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tools/CliCommands.h"
#include "tools/LoadablePictureDecoder.h"

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    pivrel::tools::SetKeepDecksAtExit(true);
    pivrel::images::TPictureDecoders::Default().Register(
        std::make_unique<pivrel::tools::TLoadablePictureDecoder>(pivrel::tools::PictureModulePaths()));
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = pivrel::tools::RunCli(args, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "pivrel-cli: cannot write the output\n";
        return status == 0 ? 1 : status;
    }
    return status;
}
