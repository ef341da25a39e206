// The pivrel program: the browser window, or with --screenshot a headless render of one card.

#include "app/Dialogs.h"
#include "app/Headless.h"
#include "app/PrintPdf.h"
#include "app/fMainForm.h"
#include "app/fSplashForm.h"

#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    if (const auto pdf = pivrel::app::ParsePrintPdfArguments(arguments, error); pdf || !error.empty()) {
        if (!error.empty()) {
            std::cerr << error << std::endl;
            return 2;
        }
        pivrel::app::PrepareHeadlessPlatform();
        QApplication application(argc, argv);
        QApplication::setApplicationName("Pivrel");
        return pivrel::app::RunPrintPdf(*pdf);
    }
    const auto screenshot = pivrel::app::ParseScreenshotArguments(arguments, error);
    if (!error.empty()) {
        std::cerr << error << std::endl;
        return 2;
    }
    if (screenshot)
        pivrel::app::PrepareHeadlessPlatform();

    QApplication application(argc, argv);
    QApplication::setApplicationName("Pivrel");
    if (screenshot)
        return pivrel::app::RunScreenshot(*screenshot);

    // The application object has taken its own options out of the command line by now.
    const std::vector<std::string> parameters(argv + 1, argv + argc);
    pivrel::app::TQtDialogs dialogs;
    pivrel::app::TMainForm form(dialogs);
    pivrel::app::TSplashForm splash;
    splash.ShowUntilShown(form);
    form.SetStartParameters(parameters);
    form.show();
    return application.exec();
}
