// The main window's parts: actions, menus, tool bars and the status bar.

#include "base/Ascii.h"

#include "app/ToolbarImages.h"
#include "app/fMainForm.h"

#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QStatusBar>
#include <QToolButton>

namespace pivrel::app {

namespace {

    // A menu entry whose caption differs from its action's: it follows the action's enabled state
    // and triggers it.
    void AddRenamedItem(QMenu* menu, QAction* action, const char* caption)
    {
        QAction* item = menu->addAction(QString::fromUtf8(caption));
        item->setObjectName(action->objectName() + "_MenuItem");
        item->setShortcut(action->shortcut());
        item->setShortcutContext(Qt::WidgetShortcut);
        item->setIcon(action->icon());
        item->setEnabled(action->isEnabled());
        QObject::connect(item, &QAction::triggered, action, &QAction::trigger);
        QObject::connect(action, &QAction::changed, item, [item, action] {
            item->setEnabled(action->isEnabled());
            item->setVisible(action->isVisible());
        });
    }

} // namespace

QAction* TMainForm::AddAction(const char* name, const char* caption, const QKeySequence& shortcut, int image,
    void (TMainForm::*handler)())
{
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    if (image >= 0) {
        action->setIcon(ToolbarIcon(image));
        action->setProperty("ImageIndex", image);
    }
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    // Every action is reachable by its shortcut, also those in no menu (F1).
    addAction(action);
    return action;
}

void TMainForm::CreateActions()
{
    const QKeySequence none;
    AddAction("File_Open", "&Open location ...", QKeySequence("Ctrl+O"), 8, &TMainForm::File_OpenExecute);
    AddAction("File_Exit", "E&xit", QKeySequence("Alt+X"), -1, &TMainForm::File_ExitExecute);
    AddAction("File_SaveAs", "Save &As", QKeySequence("Ctrl+S"), 7, &TMainForm::File_SaveAsExecute);
    AddAction("File_PrintSetup", "Printer Set&up", none, -1, &TMainForm::File_PrintSetupExecute);
    AddAction("File_PrintPreview", "Print Pre&view", none, 6, &TMainForm::File_PrintPreviewExecute);
    AddAction("File_Print", "&Print", QKeySequence("Ctrl+P"), 10, &TMainForm::File_PrintExecute);
    AddAction("Edit_Copy", "&Copy", none, -1, &TMainForm::Edit_CopyExecute);
    AddAction("Edit_SelectAll", "Select &All", QKeySequence("Ctrl+A"), -1, &TMainForm::Edit_SelectAllExecute);
    AddAction("Edit_Properties", "Properties", none, 5, &TMainForm::Edit_PropertiesExecute);
    AddAction("Browser_Back", "Back", none, 0, &TMainForm::Browser_BackExecute)->setToolTip("Back");
    AddAction("Browser_Forward", "Forward", none, 1, &TMainForm::Browser_ForwardExecute)
        ->setToolTip("Forward");
    AddAction("Browser_Reload", "Reload", QKeySequence("F5"), 3, &TMainForm::Browser_ReloadExecute)
        ->setToolTip("Reload page");
    AddAction("Browser_Stop", "Stop", QKeySequence("Esc"), 4, &TMainForm::Browser_StopExecute)
        ->setToolTip("Stop loading");
    AddAction("Browser_Home", "Home", QKeySequence("Ctrl+H"), 2, &TMainForm::Browser_HomeExecute)
        ->setToolTip("Go to Homepage");
    AddAction("View_EricssonMC218", "&Ericsson MC-218", QKeySequence("Alt+1"), -1,
        &TMainForm::View_EricssonMC218Execute);
    AddAction("View_R320", "Ericsson &R320", QKeySequence("Alt+2"), -1, &TMainForm::View_R320Execute);
    AddAction("View_Nokia7110", "&Nokia 7110", QKeySequence("Alt+3"), -1, &TMainForm::View_Nokia7110Execute);
    AddAction("View_A4_Width", "&A4 paper size", QKeySequence("Alt+0"), -1, &TMainForm::View_A4_WidthExecute);
    AddAction("View_Source", "&Source", none, -1, &TMainForm::View_SourceExecute);
    AddAction("View_DeckInformation", "Deck &Information", QKeySequence("Ctrl+I"), -1,
        &TMainForm::View_DeckInformationExecute)
        ->setVisible(false);
    AddAction("Bookmark_AddBookmark", "&Add Bookmark", QKeySequence("Ctrl+B"), -1,
        &TMainForm::Bookmark_AddBookmarkExecute);
    AddAction(
        "Bookmark_EditBookmarks", "&Open Bookmarks", none, -1, &TMainForm::Bookmark_EditBookmarksExecute);
    AddAction("Help_Contents", "&Contents", QKeySequence("F1"), -1, &TMainForm::Help_ContentsExecute);
    AddAction("Help_Search", "Search", none, 11, &TMainForm::Help_SearchExecute)
        ->setToolTip("Search for information");
    AddAction("Check4NewVersion", "Check if newer version is available", none, -1,
        &TMainForm::Check4NewVersionExecute);
    AddAction("Feedback", "Send us feedback", none, -1, &TMainForm::FeedbackExecute);
    AddAction("Help_Quillfen", "Quillfen's WWW Site", none, -1, &TMainForm::Help_QuillfenExecute);
    AddAction("Help_QuillfenWap", "Quillfen's WAP Site", none, -1, &TMainForm::Help_QuillfenWapExecute);
    AddAction("Help_About", "About", QKeySequence("Ctrl+F1"), -1, &TMainForm::Help_AboutExecute);

    // The keys every desktop browser knows, besides the shortcuts above.
    AddShortcut("Browser_Back", QKeySequence(Qt::ALT | Qt::Key_Left));
    AddShortcut("Browser_Forward", QKeySequence(Qt::ALT | Qt::Key_Right));
    AddAction("Location_Focus", "Location", QKeySequence(Qt::CTRL | Qt::Key_L), -1,
        &TMainForm::FocusLocationExecute);
    AddShortcut("Location_Focus", QKeySequence(Qt::Key_F6));

    for (const char* name : { "Browser_Back", "Browser_Forward", "Browser_Stop" })
        Action(name)->setEnabled(false);
}

void TMainForm::AddShortcut(const char* name, const QKeySequence& shortcut)
{
    QAction* action = Action(name);
    action->setShortcuts(action->shortcuts() << shortcut);
}

void TMainForm::FocusLocationExecute()
{
    LocationBox->setFocus(Qt::ShortcutFocusReason);
    LocationBox->lineEdit()->selectAll();
}

QAction* TMainForm::Action(const char* name) const
{
    return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void TMainForm::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");

    QMenu* file = bar->addMenu("&File");
    file->addAction(Action("File_Open"));
    Reopen1 = file->addMenu("&Reopen");
    Reopen1->setObjectName("Reopen1");
    file->addSeparator();
    file->addAction(Action("File_SaveAs"));
    file->addSeparator();
    file->addAction(Action("File_PrintSetup"));
    file->addAction(Action("File_PrintPreview"));
    file->addAction(Action("File_Print"));
    file->addSeparator();
    file->addAction(Action("File_Exit"));

    QMenu* edit = bar->addMenu("&Edit");
    edit->addAction(Action("Edit_Copy"));
    edit->addSeparator();
    edit->addAction(Action("Edit_SelectAll"));
    edit->addSeparator();
    edit->addAction(Action("Edit_Properties"));

    QMenu* view = bar->addMenu("&View");
    view->addAction(Action("Browser_Reload"));
    view->addAction(Action("Browser_Stop"));
    view->addSeparator();
    QMenu* sizes = view->addMenu("&View size");
    sizes->addAction(Action("View_EricssonMC218"));
    sizes->addAction(Action("View_R320"));
    sizes->addAction(Action("View_Nokia7110"));
    sizes->addSeparator();
    sizes->addAction(Action("View_A4_Width"));
    view->addSeparator();
    view->addAction(Action("View_Source"));
    view->addAction(Action("View_DeckInformation"));

    QMenu* go = bar->addMenu("&Go");
    go->addAction(Action("Browser_Back"));
    go->addAction(Action("Browser_Forward"));
    AddRenamedItem(go, Action("Browser_Home"), "&Home");

    QMenu* bookmarks = bar->addMenu("&Bookmarks");
    bookmarks->addAction(Action("Bookmark_AddBookmark"));
    bookmarks->addAction(Action("Bookmark_EditBookmarks"));

    QMenu* help = bar->addMenu("&Help");
    help->addAction(Action("Help_Contents"));
    help->addAction(Action("Help_Search"));
    help->addSeparator();
    AddRenamedItem(help, Action("Check4NewVersion"), "Check for new version of Pivrel");
    help->addAction(Action("Feedback"));
    help->addSeparator();
    AddRenamedItem(help, Action("Help_Quillfen"), "Quillfen Software's WEB Site");
    AddRenamedItem(help, Action("Help_QuillfenWap"), "Quillfen Software's WAP Site");
    help->addSeparator();
    help->addAction(Action("Help_About"));
}

void TMainForm::CreateToolBars()
{
    ToolBar1 = new QToolBar("ToolBar1", this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setMinimumHeight(36);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const char* name :
        { "Browser_Back", "Browser_Forward", "Browser_Home", "Browser_Reload", "Browser_Stop" })
        ToolBar1->addAction(Action(name));
    auto* gap = new QWidget(ToolBar1);
    gap->setFixedWidth(8);
    ToolBar1->addWidget(gap);
    ToolBar1->addAction(Action("Help_Search"));
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    addToolBarBreak(Qt::TopToolBarArea);

    auto* locationPanel = new QToolBar("Location", this);
    locationPanel->setObjectName("LocationPanel");
    locationPanel->setMovable(false);
    locationPanel->addWidget(new QLabel("Location", locationPanel));
    LocationBox = new QComboBox(locationPanel);
    LocationBox->setObjectName("LocationBox");
    LocationBox->setEditable(true);
    LocationBox->setInsertPolicy(QComboBox::NoInsert);
    LocationBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The box takes the panel's width, not its longest entry's: one long typed address would
    // otherwise push the whole box into the tool bar's overflow menu.
    LocationBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    LocationBox->setMinimumContentsLength(12);
    LocationBox->setMinimumHeight(21);
    // What is typed is what opens: no inline completion may add to it. The drop-down list still
    // holds the earlier entries.
    LocationBox->setCompleter(nullptr);
    LocationBox->installEventFilter(this);
    LocationBox->lineEdit()->installEventFilter(this);
    locationPanel->addWidget(LocationBox);
    addToolBar(Qt::TopToolBarArea, locationPanel);

    // The links band has no function; it is kept hidden so that the band layout stays complete.
    auto* links = new QToolBar("Links", this);
    links->setObjectName("ToolBar2");
    addToolBar(Qt::TopToolBarArea, links);
    links->hide();
}

namespace {

    // A closed padlock, drawn so that it needs no font or image file.
    QPixmap PadlockPixmap(const QColor& color)
    {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(color, 2));
        painter.drawArc(QRectF(4, 1.5, 8, 9), 0, 180 * 16);
        painter.drawLine(QPointF(4, 6), QPointF(4, 8));
        painter.drawLine(QPointF(12, 6), QPointF(12, 8));
        painter.fillRect(QRectF(2.5, 7.5, 11, 7.5), color);
        return pixmap;
    }

} // namespace

void TMainForm::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar1");
    for (int panel = 0; panel < 3; ++panel) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString("StatusPanel%1").arg(panel));
        if (panel < 2) {
            label->setFixedWidth(120);
            bar->addWidget(label);
        } else {
            bar->addWidget(label, 1);
        }
        m_panels.push_back(label);
    }
    m_securePanel = new QLabel(bar);
    m_securePanel->setObjectName("SecurePanel");
    m_securePanel->setPixmap(PadlockPixmap(palette().color(QPalette::WindowText)));
    m_securePanel->setToolTip("Secure connection (https)");
    m_securePanel->setVisible(false);
    bar->addPermanentWidget(m_securePanel);
}

void TMainForm::UpdateSecurePanel()
{
    const std::string& url = m_browser->CurrentURL();
    const bool secure = base::StartsWithIgnoringCase(url, "https:");
    if (m_securePanel)
        m_securePanel->setVisible(secure);
}

void TMainForm::ApplyToolbarSettings()
{
    ToolBar1->setToolButtonStyle(UseButtonTexts() ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    ToolBar1->adjustSize();
    ToolBar1->update();
}

} // namespace pivrel::app
