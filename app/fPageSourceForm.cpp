#include "app/fPageSourceForm.h"

#include "wml/Charset.h"

#include "view/QtString.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>

namespace pivrel::app {

TPageSourceForm::TPageSourceForm(TDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent, Qt::Window)
    , m_dialogs(dialogs)
{
    setObjectName("PageSourceForm");
    setWindowTitle("Pivrel - Source code");
    resize(605, 432);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setReadOnly(true);
    RichEdit1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    RichEdit1->setStyleSheet("QPlainTextEdit { color: black; background: white; }");
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->viewport()->setCursor(Qt::ArrowCursor);
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setCentralWidget(RichEdit1);

    AddAction("Window_SaveAs", "Save &As . . .", QKeySequence("Ctrl+S"));
    AddAction("Window_Print", "&Print", QKeySequence("Ctrl+P"));
    AddAction("Window_PrintSetup", "Print &Setup", QKeySequence());
    AddAction("Window_Close", "&Close", QKeySequence("Esc"));
    AddAction("Edit_Copy", "&Copy", QKeySequence("Ctrl+C"));
    AddAction("Edit_SelectAll", "Select All", QKeySequence("Ctrl+A"));
    connect(Action("Window_SaveAs"), &QAction::triggered, this, [this] { Window_SaveAsExecute(); });
    connect(Action("Window_Print"), &QAction::triggered, this, [this] { Window_PrintExecute(); });
    connect(Action("Window_PrintSetup"), &QAction::triggered, this, [this] { Window_PrintSetupExecute(); });
    connect(Action("Window_Close"), &QAction::triggered, this, &QWidget::hide);
    connect(Action("Edit_Copy"), &QAction::triggered, RichEdit1, &QPlainTextEdit::copy);
    connect(Action("Edit_SelectAll"), &QAction::triggered, RichEdit1, &QPlainTextEdit::selectAll);

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(Action("Window_SaveAs"));
    file->addSeparator();
    file->addAction(Action("Window_Print"));
    file->addAction(Action("Window_PrintSetup"));
    file->addSeparator();
    file->addAction(Action("Window_Close"));
    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addAction(Action("Edit_Copy"));
    edit->addSeparator();
    edit->addAction(Action("Edit_SelectAll"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    PopupMenu1->addAction("&Copy", QKeySequence("Ctrl+C"), RichEdit1, &QPlainTextEdit::copy);
    PopupMenu1->addAction("&Select all", QKeySequence("Ctrl+A"), RichEdit1, &QPlainTextEdit::selectAll);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction("Close", QKeySequence("Esc"), this, &QWidget::hide);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { PopupMenu1->popup(RichEdit1->viewport()->mapToGlobal(at)); });
}

TPageSourceForm::~TPageSourceForm() = default;

QAction* TPageSourceForm::AddAction(const char* name, const char* caption, const QKeySequence& shortcut)
{
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    addAction(action);
    return action;
}

QAction* TPageSourceForm::Action(const char* name) const
{
    return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void TPageSourceForm::SetSource(std::shared_ptr<const std::string> bytes, const std::string& charset)
{
    if (!bytes)
        bytes = std::make_shared<const std::string>();
    // The same text again (a card of the same deck, a reload) keeps the editor as it is; the
    // bytes are taken in any case, so that no other copy is kept alive here.
    const bool changed = (bytes != m_bytes && *bytes != *m_bytes) || charset != m_charset;
    m_bytes = std::move(bytes);
    m_charset = charset;
    if (changed) {
        m_filled = false;
        RichEdit1->clear();
    }
    if (isVisible())
        Fill();
}

void TPageSourceForm::Clear()
{
    m_bytes = std::make_shared<const std::string>();
    m_charset.clear();
    m_filled = true;
    RichEdit1->clear();
}

void TPageSourceForm::Fill()
{
    // The text goes into the editor only when the window is to show it: the editor's document
    // weighs several times the deck, and most decks are never looked at this way.
    if (!m_filled) {
        const std::string text = wml::DeckTextToUtf8(*m_bytes, m_charset);
        RichEdit1->setPlainText(view::ToQString(text));
        m_filled = true;
    }
    RichEdit1->moveCursor(QTextCursor::Start);
}

void TPageSourceForm::showEvent(QShowEvent* event)
{
    Fill();
    QMainWindow::showEvent(event);
}

bool TPageSourceForm::SaveTo(const QString& fileName)
{
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly)
        && file.write(m_bytes->data(), qint64(m_bytes->size())) == qint64(m_bytes->size()) && file.commit())
        return true;
    m_dialogs.ShowError(this, "Pivrel",
        "Cannot save the file " + fileName.toStdString() + ": " + file.errorString().toStdString());
    return false;
}

void TPageSourceForm::Window_SaveAsExecute()
{
    const QString current = QDir::currentPath();
    const QString directory = m_lastFile.isEmpty() ? QString() : QFileInfo(m_lastFile).absolutePath();
    const QString fileName = OnChooseFile
        ? OnChooseFile(directory)
        : QFileDialog::getSaveFileName(this, "Save text as", directory, "WML Files (*.wml);;All files (*)");
    if (!fileName.isEmpty()) {
        m_lastFile = fileName;
        SaveTo(fileName);
    }
    QDir::setCurrent(current);
}

void TPageSourceForm::Window_PrintExecute()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(m_printer.get(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printer->setDocName(windowTitle());
    Fill();
    RichEdit1->print(m_printer.get());
}

void TPageSourceForm::Window_PrintSetupExecute()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPageSetupDialog dialog(m_printer.get(), this);
    dialog.exec();
}

} // namespace pivrel::app
