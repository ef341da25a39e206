#pragma once

#include "app/Dialogs.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QPlainTextEdit;
class QPrinter;

namespace pivrel::app {

// The text of the last fetched deck, read-only, with saving, printing and copying.
class TPageSourceForm : public QMainWindow
{
    Q_OBJECT

public:
    explicit TPageSourceForm(TDialogs& dialogs, QWidget* parent = nullptr);
    ~TPageSourceForm() override;

    QPlainTextEdit* RichEdit1 = nullptr;
    QMenu* PopupMenu1 = nullptr;

    QAction* Action(const char* name) const;

    // Shows a deck as it was fetched: bytes in the character set the response named (empty:
    // what the deck itself declares). Save As writes these bytes back unchanged. The editor is
    // filled when the window shows, or at once while it is shown.
    // The bytes are shared with the engine, not copied.
    void SetSource(std::shared_ptr<const std::string> bytes, const std::string& charset);
    void Clear();

    const std::string& SourceBytes() const { return *m_bytes; }

    // Writes the deck as fetched; a failure is reported in a box. True when written.
    bool SaveTo(const QString& fileName);

    // Picks the file Save As writes; empty cancels. The save dialog unless a test sets it.
    std::function<QString(const QString& directory)> OnChooseFile;

    void Window_SaveAsExecute();
    void Window_PrintExecute();
    void Window_PrintSetupExecute();

protected:
    // QWidget
    void showEvent(QShowEvent* event) override;

private:
    void Fill();
    QAction* AddAction(const char* name, const char* caption, const QKeySequence& shortcut);

    TDialogs& m_dialogs;
    std::shared_ptr<const std::string> m_bytes = std::make_shared<const std::string>();
    std::string m_charset;
    // Whether the editor holds the text of m_bytes.
    bool m_filled = true;
    QString m_lastFile;
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace pivrel::app
