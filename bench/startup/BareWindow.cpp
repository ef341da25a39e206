// The yardstick for the start-up figures: a bare Qt main window of the browser's size, with a
// menu bar, a tool bar, a location box and a status bar, shown, painted once and closed. With
// an argument it also grabs itself into that PNG file, as the browser's headless render does,
// so that the two whole-process timings differ only by what the browser does on top.
//   bench_bare_window [OUT.png]

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QStatusBar>
#include <QToolBar>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Pivrel 2.2");
    window.resize(422, 431);
    for (const char* menu : { "&File", "&Edit", "&View", "&Go", "&Bookmarks", "&Help" })
        window.menuBar()->addMenu(menu);
    QToolBar* tools = window.addToolBar("Tools");
    for (const char* caption : { "Back", "Forward", "Home", "Reload", "Stop", "Search" })
        tools->addAction(caption);
    window.addToolBarBreak();
    QToolBar* location = window.addToolBar("Location");
    auto* box = new QComboBox(location);
    box->setEditable(true);
    location->addWidget(box);
    window.setCentralWidget(new QLabel("Ready.", &window));
    window.statusBar()->showMessage("Done");
    window.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    if (argc > 1 && !window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG"))
        return 1;
    return 0;
}
