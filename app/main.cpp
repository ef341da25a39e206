// The pivrel program: the browser window, or with --screenshot a headless render of one card.

#include "app/Dialogs.h"
#include "app/Headless.h"
#include "app/fMainForm.h"

#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

#include "qtimages/QtPictureDecoder.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    const auto screenshot = pivrel::app::ParseScreenshotArguments(arguments, error);
    if (!error.empty()) {
        std::cerr << error << std::endl;
        return 2;
    }
    if (screenshot)
        pivrel::app::PrepareHeadlessPlatform();

    QApplication application(argc, argv);
    QApplication::setApplicationName("Pivrel");
    pivrel::qtimages::RegisterQtPictureDecoder();
    if (screenshot)
        return pivrel::app::RunScreenshot(*screenshot);

    // The application object has taken its own options out of the command line by now.
    const std::vector<std::string> parameters(argv + 1, argv + argc);
    pivrel::app::TQtDialogs dialogs;
    pivrel::app::TMainForm form(dialogs);
    form.SetStartParameters(parameters);
    form.show();
    return application.exec();
}
