// The program: the browser window, or with --screenshot a headless render of one card.

#include "app/CommandLine.h"
#include "app/Dialogs.h"
#include "app/Headless.h"
#include "app/PrintPdf.h"
#include "app/ToolbarImages.h"
#include "app/fMainForm.h"
#include "app/fSplashForm.h"

#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

#include "qtimages/QtPictureDecoder.h"

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
        pivrel::qtimages::RegisterQtPictureDecoder();
        return pivrel::app::RunPrintPdf(*pdf);
    }
    const auto screenshot = pivrel::app::ParseScreenshotArguments(arguments, error);
    if (!error.empty()) {
        std::cerr << error << std::endl;
        return 2;
    }
    // Help, the version and a command line that cannot be understood need no display.
    std::optional<pivrel::app::TWindowOptions> window;
    if (!screenshot) {
        window = pivrel::app::ParseWindowArguments(arguments, error);
        if (!window) {
            std::cerr << error << "\n" << pivrel::app::UsageText();
            return pivrel::app::kExitUsage;
        }
        if (window->Action == pivrel::app::TWindowOptions::TAction::Help) {
            std::cout << pivrel::app::UsageText();
            return 0;
        }
        if (window->Action == pivrel::app::TWindowOptions::TAction::Version) {
            std::cout << pivrel::app::VersionText();
            return 0;
        }
    }
    if (screenshot)
        pivrel::app::PrepareHeadlessPlatform();

    QApplication application(argc, argv);
    QApplication::setApplicationName("Pivrel");
    QApplication::setWindowIcon(pivrel::app::ApplicationIcon());
    pivrel::qtimages::RegisterQtPictureDecoder();
    if (screenshot)
        return pivrel::app::RunScreenshot(*screenshot);

    pivrel::app::TQtDialogs dialogs;
    pivrel::app::TMainForm form(dialogs);
    pivrel::app::TSplashForm splash;
    splash.ShowUntilShown(form);
    if (!window->Address.empty())
        form.SetStartParameters({ window->Address });
    if (window->Width > 0)
        form.resize(window->Width, window->Height);
    form.show();
    if (window->ViewportWidth > 0)
        form.SetViewportSize(window->ViewportWidth, window->ViewportHeight);
    return application.exec();
}
