#include <iostream>
#include <string>
#include <vector>

#include "tools/CliCommands.h"

#ifdef PIVREL_QT_PICTURES
#include "qtimages/QtPictureDecoder.h"
#endif

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    pivrel::tools::SetKeepDecksAtExit(true);
#ifdef PIVREL_QT_PICTURES
    pivrel::qtimages::RegisterQtPictureDecoder();
#endif
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = pivrel::tools::RunCli(args, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "pivrel-cli: cannot write the output\n";
        return status == 0 ? 1 : status;
    }
    return status;
}
