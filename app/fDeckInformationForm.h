#pragma once

#include <QDialog>
#include <QTimer>

#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace pivrel::engine {
class TWMLBrowser;
} // namespace pivrel::engine

namespace pivrel::app {

// One line of the deck outline: its text, its depth in the tree, and whether it is the entry to
// select (the card shown).
struct TDeckOutlineRow {
    std::string Text;
    int Depth = 0;
    bool Current = false;

    bool operator==(const TDeckOutlineRow&) const = default;
};

// The outline of the deck the engine holds: its cards with their element records, then its
// variables with their current values, then the navigation history with the current entry
// marked.
std::vector<TDeckOutlineRow> DeckOutline(const engine::TWMLBrowser& browser);

// What a WML author looks at when a deck misbehaves: the deck shown, as the browser read it. The
// window follows the deck while it is open.
class TDeckInformationForm : public QDialog
{
    Q_OBJECT

public:
    explicit TDeckInformationForm(engine::TWMLBrowser& browser, QWidget* parent = nullptr);

    QPushButton* BitBtn1 = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    QLabel* CardTitle = nullptr;
    QLabel* NumCards = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    // Rebuilds the tree when the deck, its variables or the history changed since the last time.
    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    engine::TWMLBrowser& m_browser;
    std::vector<TDeckOutlineRow> m_rows;
    QTimer m_follow;
};

} // namespace pivrel::app
