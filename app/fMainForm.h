#pragma once

#include "base/StringList.h"
#include "base/Version.h"
#include "base/WeakRef.h"
#include "engine/WMLBrowser.h"

#include "app/Dialogs.h"
#include "app/LocationLists.h"
#include "app/QtEventLoop.h"
#include "app/ScriptDialogs.h"
#include "app/Settings.h"
#include "view/CardHost.h"
#include "view/CardRender.h"
#include "view/PtblRV.h"
#include "view/QtTextMeasurer.h"
#include "view/RVStyle.h"
#include "view/RichView.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <QToolBar>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::app {

class TPropertiesForm;
class TFormBookmarkEdit;
class TPageSourceForm;
class TDeckInformationForm;
class TAboutForm;

// The program's own version: the caption, the user agent and the version check use it.
inline constexpr std::string_view kOwnVersion = base::kProductVersion;
// The start page of the outside WAP directory site that Search opens.
inline constexpr std::string_view kWapDirectorySite = "http://wap.directory.example/";

// True when announced names a newer version than own: the digits at the first and third places
// of each are major and minor. A text too short, or without digits there, never counts as newer.
bool IsNewerVersion(std::string_view announced, std::string_view own = kOwnVersion);

// The status bar's progress of a deck or picture: "deck.wml: 300 of 1200 bytes".
std::string ProgressText(const std::string& address, std::int64_t received, std::int64_t total);

// "http://" + the maker's web server + path.
std::string MakerAddress(std::string_view path);

// The program's main window: menus, tool bar, location box, the card view and the status bar,
// the one browser engine, and the commands that drive it.
//
// A navigation runs inside a nested wait of the event loop, so almost any command can arrive
// while one is on the stack. Widgets therefore defer their navigations through
// LoadTheURLTimer, and closing the window during a fetch stops it and closes only once the wait
// has unwound.
class TMainForm : public QMainWindow, public view::TCardHost
{
public:
    explicit TMainForm(TDialogs& dialogs, QWidget* parent = nullptr);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // The program's parameters: joined with blanks they name one address (a path, a file:// or an
    // http:// one) opened, as the location box opens it, when the window is first shown.
    void SetStartParameters(std::vector<std::string> parameters);

    // Whether the first showing opens the home page when no deck was named; the headless render
    // turns it off.
    void SetOpenHomeOnShow(bool value) { m_openHomeOnShow = value; }

    // Every navigation of the window goes through here; returns when the document has been
    // shown or has failed.
    void Navigate(const std::string& url, bool addToHistory, bool fresh, bool post);
    // Writes the card on show to the file as text or HTML; a failure is reported. True when saved.
    enum class TPageFormat { Text, Html };
    bool SavePageAs(const std::string& fileName, TPageFormat format);

    // Sizes the window so that the card area (the document view's viewport) gets this size.
    void SetViewportSize(int width, int height);

    // What Enter in the location box does with its text.
    void NavigateAsTyped(const std::string& text);

    engine::TWMLBrowser& Browser() { return *m_browser; }

    QAction* Action(const char* name) const;

    view::TRichView* RichView1 = nullptr;
    view::TRVStyle* RVStyle1 = nullptr;
    QComboBox* LocationBox = nullptr;
    QTimer* LoadTheURLTimer = nullptr;
    QMenu* Reopen1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    view::TRVPrint* RVPrint1 = nullptr;

    // Status panel texts and the trace log (every status and trace line, never trimmed).
    std::string StatusText(int panel) const;

    const std::vector<std::string>& Log() const { return m_log; }

    const std::string& PendingURL() const { return m_pendingURL; }

    bool PendingRefresh() const { return m_pendingRefresh; }

    const std::string& ShownCardTitle() const;

    // Cards drawn so far; the headless render tells a shown card from a failed load with it.
    int RenderCount() const { return m_renderCount; }

    // True while a navigation is on the stack.
    bool Busy() const { return m_busy || m_navigationDepth > 0; }

    TPropertiesForm& PropertiesForm() { return *m_properties; }

    TFormBookmarkEdit& BookmarkForm() { return *m_bookmarks; }

    TPageSourceForm& PageSourceForm() { return *m_pageSourceForm; }

    TDeckInformationForm& DeckInformationForm() { return *m_deckInformationForm; }

    TAboutForm& AboutForm() { return *m_aboutForm; }

    // Lays the shown document out for the printer and prints it with the window's caption as the
    // job's title; then drops the formatted pages.
    void PrintShown(int copies, bool collate);

    const TRecentList& RecentList() const { return *m_recentList; }

    const TTypedLocations& TypedLocations() const { return *m_typedLocations; }

    // The settings now in force: those of the file, or of the settings dialog's last OK.
    const TPivrelSettings& Settings() const { return m_settings; }

    // Observers of every status panel change (panel, text).
    std::function<void(int panel, const std::string& text)> OnStatusText;

    // The settings: file to dialog, dialog to file, and the parts applied to the window.
    void LoadSettings();
    void SaveSettings();
    void ApplyNetworkSettings();
    // Writes the persistent cookies to the jar file when they changed since it was read or written.
    void SaveCookies();
    void ApplyToolbarSettings();
    void RebuildReopenMenu();
    void AddTypedLocation();

    // view::TCardHost
    void SetStatusText(int panel, const std::string& text) override;
    void SetCaption(const std::string& caption) override;
    void SetLocationText(const std::string& url) override;
    void SetPageSource(std::shared_ptr<const std::string> bytes, const std::string& charset) override;
    void AddRecentURL(const std::string& url) override;
    void EnableStop(bool enabled) override;
    void EnableBack(bool enabled) override;
    void EnableForward(bool enabled) override;
    void SetPendingURL(const std::string& url, bool refresh) override;
    void SetPendingPick(const std::string& url) override;
    void CardButtonClick(view::TPVBtn& sender, const std::string& link) override;
    bool CompareAnnouncedVersion(const std::string& announced) override;
    void StartCardTimer(wml::TWMLCard& card) override;
    view::TCardDisplaySettings CardDisplaySettings() const override;
    QPixmap PrevButtonGlyph() const override;

protected:
    // QWidget
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Window parts.
    void CreateActions();
    QAction* AddAction(const char* name, const char* caption, const QKeySequence& shortcut, int image,
        void (TMainForm::*handler)());
    void AddShortcut(const char* name, const QKeySequence& shortcut);
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void UpdateSecurePanel();
    void CreateView();
    void HookBrowser();
    void CreateAuxiliaryWindows();
    void CreatePrintingAndInformationWindows();

    // Engine events.
    void Status(const std::string& text);
    void BrowserTrace(const std::string& traceStr);
    void BrowserConnectFailed();
    void BrowserContentTypeCheck(const std::string& url, const std::string& content, bool& isOK);
    void BrowserBusy(bool busy);
    void RenderCard();

    // Deferred navigation and closing.
    void LoadTheURLTimerTimer();
    void FormShow();
    void CloseWhenIdle();
    bool OpenInWebBrowser(const std::string& url);
    void ReopenItemClick(const std::string& url);

    // Action handlers.
    void File_OpenExecute();
    void File_ExitExecute();
    void File_SaveAsExecute();
    void Edit_CopyExecute();
    void Edit_SelectAllExecute();
    void Edit_PropertiesExecute();
    void Browser_BackExecute();
    void Browser_ForwardExecute();
    void Browser_ReloadExecute();
    void Browser_StopExecute();
    void Browser_HomeExecute();
    void View_EricssonMC218Execute();
    void View_R320Execute();
    void View_Nokia7110Execute();
    void View_A4_WidthExecute();
    void Bookmark_AddBookmarkExecute();
    void Bookmark_EditBookmarksExecute();
    void Help_ContentsExecute();
    void FocusLocationExecute();
    void Help_SearchExecute();
    void Check4NewVersionExecute();
    void FeedbackExecute();
    void Help_QuillfenExecute();
    void Help_QuillfenWapExecute();
    void File_PrintSetupExecute();
    void File_PrintPreviewExecute();
    void File_PrintExecute();
    void View_SourceExecute();
    void View_DeckInformationExecute();
    void Help_AboutExecute();
    void RVPrint1PrintComponent(QWidget* control, QPixmap& picture);

    void Disabled() { }

    std::string HomePage() const;
    bool UseButtonTexts() const;
    void SaveRecentList();
    // Tells the user that a per-user file could not be written.
    void ReportSaveFailure(const std::string& file, const std::string& error);
    void LoadTypedLocations();

    TDialogs& m_dialogs;
    // Declared before the engine, which registers its timers and watches with it.
    std::unique_ptr<TQtEventLoop> m_loop;
    // Declared before the engine, which uses it, so that it outlives the engine.
    std::unique_ptr<view::TQtTextMeasurer> m_textMeasurer;
    std::unique_ptr<engine::TWMLBrowser> m_browser;
    // Declared after the engine: the runner detaches itself from it when it goes.
    std::unique_ptr<TWindowScriptDialogs> m_scriptDialogs;
    std::unique_ptr<engine::TScriptRunner> m_scriptRunner;
    view::TCardRenderer m_renderer;
    std::unique_ptr<TRecentList> m_recentList;
    std::unique_ptr<TTypedLocations> m_typedLocations;
    TPivrelSettings m_settings;
    // The jar file's text as last read or written.
    std::string m_savedCookies;
    TPropertiesForm* m_properties = nullptr;
    TFormBookmarkEdit* m_bookmarks = nullptr;
    TPageSourceForm* m_pageSourceForm = nullptr;
    TDeckInformationForm* m_deckInformationForm = nullptr;
    TAboutForm* m_aboutForm = nullptr;
    std::vector<QLabel*> m_panels;
    // The padlock, shown while the page came over https.
    QLabel* m_securePanel = nullptr;
    std::vector<std::string> m_log;
    std::vector<std::string> m_startParameters;
    std::string m_pendingURL;
    bool m_pendingRefresh = false;
    // The pending address came from the card (a button, a pick), not from the user.
    bool m_pendingFromDeck = false;
    // The pending button's go: whether it posts, and its post fields.
    bool m_pendingPost = false;
    wml::TWMLPostFields m_pendingFields;
    bool m_openHomeOnShow = true;
    bool m_shown = false;
    bool m_busy = false;
    bool m_closePending = false;
    bool m_closing = false;
    // Set when Stop ends a running fetch, until the next navigation starts.
    bool m_stoppedByUser = false;
    int m_navigationDepth = 0;
    int m_renderCount = 0;
    QString m_saveDirectory;
    std::set<std::string> m_reportedSaveFailures;
    base::TWeakAnchor<TMainForm> m_alive { *this };
};

} // namespace pivrel::app
