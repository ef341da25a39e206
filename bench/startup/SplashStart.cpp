// Start to first card shown the way the pivrel program starts its window: the main window, the
// splash picture shown until the window is, a local deck named as the program's parameter. It
// exits as soon as the card is shown, after grabbing the window into OUT.png like the others.
//   bench_splash_start OUT.png DECK [--no-splash]
// With --no-splash the same start runs without the splash, to tell its cost apart.

#include "app/Dialogs.h"
#include "app/fMainForm.h"
#include "app/fSplashForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4)
        return 2;
    const bool withSplash = argc == 3;
    QApplication application(argc, argv);
    pivrel::app::TQtDialogs dialogs;
    pivrel::app::TMainForm form(dialogs);
    pivrel::app::TSplashForm splash;
    if (withSplash)
        splash.ShowUntilShown(form);
    form.SetStartParameters({ argv[2] });
    form.show();
    QElapsedTimer waited;
    waited.start();
    while (form.RenderCount() == 0 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QCoreApplication::processEvents();
    if (form.RenderCount() == 0 || splash.isVisible())
        return 1;
    return form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
