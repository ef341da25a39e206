#pragma once

#include "app/Bookmarks.h"
#include "app/Dialogs.h"

#include <QDialog>
#include <QIcon>

#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QStatusBar;
class QLabel;
class QToolBar;
class QToolButton;

namespace pivrel::app {

// The bookmark window: a tool bar (Go To, Add New, Delete, Find, Close), the list of bookmark
// names and a status bar. It lives for the whole run; every change goes to "bookmarks.dat" at
// once.
class TFormBookmarkEdit : public QDialog
{
public:
    explicit TFormBookmarkEdit(
        TDialogs& dialogs, QWidget* parent = nullptr, std::string bookmarkFile = TAppPaths::BookmarkFile());

    // Stores a new bookmark at the end of the list (empty parts become "Unknown Name" and
    // "Unknown Url").
    void AddBookmark(const std::string& name, const std::string& url);

    // Opens an address as a bookmark's Go To does: the main window navigates to it with
    // AddToHistory and Fresh set and no Post.
    std::function<void(const std::string& address)> OnNavigate;

    void LoadBookmarkList();
    void ShowBookmarkCount();
    void ToolButton2Click(); // Go To
    void ToolButton1Click(); // Add New
    void ToolButton3Click(); // Delete
    void ToolButton4Click(); // Edit
    void ToolButton5Click(); // Find
    void ToolButton7Click(); // Close
    void ListBox1Click(); // shows the address
    void ListBox1DblClick(); // Go To

    std::string StatusText() const;

    const TBookmarks& Bookmarks() const { return m_bookmarks; }

    // The six tool bar pictures, drawn in code: 0 find, 1 go to, 2 delete, 3 add, 4 close,
    // 5 a bookmark.
    static QIcon ToolImage(int index);

    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* ToolButton4 = nullptr;
    QToolButton* ToolButton5 = nullptr;
    QToolButton* ToolButton7 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::vector<QIcon> ImageList1;

protected:
    // QWidget
    void showEvent(QShowEvent* event) override;

private:
    QToolButton* AddButton(
        const char* name, const char* caption, int image, void (TFormBookmarkEdit::*handler)());
    void SetStatus(const std::string& text);
    // The list index of the selected bookmark, or -1.
    int SelectedIndex() const;
    void FillList();

    TDialogs& m_dialogs;
    TBookmarks m_bookmarks;
    QLabel* m_panel = nullptr;
};

} // namespace pivrel::app
