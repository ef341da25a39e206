#include "app/fMainForm.h"

#include "base/Ascii.h"
#include "engine/Maker.h"

#include "app/CommandLine.h"
#include "app/ToolbarImages.h"
#include "app/fPageSourceForm.h"
#include "view/QtString.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace pivrel::app {

namespace {

    // The digit at a 0-based place, or -1 when the text is too short or holds no digit there.
    int DigitAt(std::string_view text, std::size_t place)
    {
        if (place >= text.size() || !std::isdigit(static_cast<unsigned char>(text[place])))
            return -1;
        return text[place] - '0';
    }

} // namespace

std::string ProgressText(const std::string& address, std::int64_t received, std::int64_t total)
{
    std::string name = address.substr(0, address.find_first_of("?#"));
    if (const std::size_t slash = name.find_last_of('/');
        slash != std::string::npos && slash + 1 < name.size())
        name.erase(0, slash + 1);
    std::string text = name + ": " + std::to_string(received);
    if (total >= 0)
        text += " of " + std::to_string(total);
    return text + " bytes";
}

bool IsNewerVersion(std::string_view announced, std::string_view own)
{
    // Versions read as "M.m": the major digit first, the minor digit two places on.
    const int major = DigitAt(announced, 0);
    const int minor = DigitAt(announced, 2);
    if (major < 0 || minor < 0)
        return false;
    const int ownMajor = std::max(DigitAt(own, 0), 0);
    const int ownMinor = std::max(DigitAt(own, 2), 0);
    return major > ownMajor || (major == ownMajor && minor > ownMinor);
}

std::string MakerAddress(std::string_view path)
{
    return "http://" + std::string(engine::kMakerWebServer) + std::string(path);
}

TMainForm::TMainForm(TDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , m_loop(std::make_unique<TQtEventLoop>())
    , m_browser(std::make_unique<engine::TWMLBrowser>(*m_loop))
{
    setObjectName("MainForm");
    const std::string caption = "Pivrel " + std::string(kOwnVersion);
    setWindowTitle(view::ToQString(caption));
    resize(422, 431);
    setMinimumSize(200, 120);

    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateView();
    CreateStatusBar();
    HookBrowser();
    CreateAuxiliaryWindows();
    CreatePrintingAndInformationWindows();

    LoadTheURLTimer = new QTimer(this);
    LoadTheURLTimer->setObjectName("LoadTheURLTimer");
    LoadTheURLTimer->setInterval(10);
    connect(LoadTheURLTimer, &QTimer::timeout, this, [this] { LoadTheURLTimerTimer(); });
    // Running from the start with nothing pending: its first tick only stops it.
    LoadTheURLTimer->start();
}

TMainForm::~TMainForm()
{
    m_browser->StopCardTimer();
    m_renderer.Detach();
    // The card widgets point into the deck: they go before the engine that owns it.
    delete RichView1;
    RichView1 = nullptr;
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

void TMainForm::CreateView()
{
    RVStyle1 = new view::TRVStyle(this);
    RVStyle1->setObjectName("RVStyle1");
    view::TCardRenderer::SetupStyles(*RVStyle1);
    RichView1 = new view::TRichView(this);
    RichView1->setObjectName("RichView1");
    RichView1->SetStyle(RVStyle1);
    view::TCardRenderer::SetupView(*RichView1);
    RichView1->OnJump = [this](view::TRichView&, int id) { m_renderer.RichViewJump(id); };
    RichView1->OnRVMouseMove = [this](view::TRichView&, int id) { m_renderer.RichViewMouseMove(id); };
    setCentralWidget(RichView1);
}

void TMainForm::HookBrowser()
{
    engine::TWMLBrowser& browser = *m_browser;
    // The alternative text of a missing picture is drawn in the window's own font.
    m_textMeasurer = std::make_unique<view::TQtTextMeasurer>(QApplication::font());
    browser.SetTextMeasurer(m_textMeasurer.get());
    browser.Agent = std::string(base::kAgent);
    browser.Accept = "text/x-wap,wml,*/*";
    browser.OnConnecting = [this](engine::TWMLBrowser&) {
        EnableStop(true);
        Status("Connecting...");
    };
    browser.OnConnect = [this](engine::TWMLBrowser&) { Status("Connected"); };
    browser.OnWaiting = [this](engine::TWMLBrowser&) { Status("Waiting ..."); };
    browser.OnDisconnect = [this](engine::TWMLBrowser&) { Status("Disconnected"); };
    browser.OnParsing = [this](engine::TWMLBrowser&) {
        m_renderer.DeckReplacing();
        Status("Parsing...");
    };
    browser.OnConnectFailed = [this](engine::TWMLBrowser&) { BrowserConnectFailed(); };
    browser.OnContentTypeCheck
        = [this](engine::TWMLBrowser&, const std::string& url, const std::string& content, bool& isOK) {
              BrowserContentTypeCheck(url, content, isOK);
          };
    browser.OnParseComplete = [this](engine::TWMLBrowser&) { RenderCard(); };
    browser.OnParseError = [this](engine::TWMLBrowser& sender) {
        const std::string& reason = sender.FailureReason;
        m_dialogs.ShowError(
            this, "Pivrel", reason.empty() ? "Parse Error" : "Parse Error\r\rReason : " + reason);
    };
    browser.OnProgress = [this](const std::string& address, std::int64_t received, std::int64_t total) {
        SetStatusText(2, ProgressText(address, received, total));
    };
    browser.OnTrace = [this](engine::TWMLBrowser&, const std::string& traceStr) { BrowserTrace(traceStr); };
    browser.OnBusy = [this](bool busy) { BrowserBusy(busy); };
    m_scriptDialogs = std::make_unique<TWindowScriptDialogs>(m_dialogs, this);
    m_scriptRunner = std::make_unique<engine::TScriptRunner>(browser, *m_scriptDialogs);
    m_renderer.Attach(browser, *this);
}

// Engine events ------------------------------------------------------------------------------

void TMainForm::Status(const std::string& text)
{
    m_log.push_back(text);
    SetStatusText(0, text);
}

void TMainForm::BrowserTrace(const std::string& traceStr)
{
    m_log.push_back("* " + traceStr);
}

void TMainForm::BrowserConnectFailed()
{
    const int code = m_browser->StatusCode;
    std::string reason = m_browser->FailureReason;
    if (reason.empty())
        reason = code == 404 ? "404 - Document not found" : std::to_string(code) + " - Unknown error";
    Status("Connect Failed");
    // The page on show stays, and so does its address; with no page yet, what was typed stays.
    if (!m_browser->CurrentURL().empty())
        SetLocationText(m_browser->CurrentURL());
    SetStatusText(2, "");
    // The document arrived but could not be read: the server was found, so say what was wrong.
    if (code == 200 && !m_browser->FailureReason.empty()) {
        m_dialogs.ShowError(this, "Pivrel", m_browser->FailureReason);
        return;
    }
    // A fetch the user stopped, or stopped because the window is closing, did not fail to find
    // its server: telling the user so would be wrong.
    if (code != 200 && !m_closePending && !m_stoppedByUser) {
        m_dialogs.ShowError(
            this, "Pivrel", "Unable to locate server. Check your spelling.\r\rReason : " + reason);
    }
}

void TMainForm::BrowserContentTypeCheck(const std::string& url, const std::string& content, bool& isOK)
{
    const bool isHtml = content.find("html") != std::string::npos;
    const bool isWml = content.find("wap") != std::string::npos && content.find("wml") != std::string::npos;
    if (!isWml && !isHtml) {
        const std::string question
            = "Not WAP (WML) content. Can not show this content type.\r\rContent was = " + content + "\r\r"
            + "Try to display it anyway ?";
        if (!m_dialogs.AskYesNo(this, "Pivrel", question))
            isOK = false;
    }
    if (isHtml) {
        isOK = false;
        const std::string question = "The Content retreived is of HTML type. This can not be shown by the "
                                     "Pivrel browser.\r\rDo you want to launch your default Internet Browser "
                                     "instead to view the content ?";
        if (m_dialogs.AskYesNo(this, "Pivrel", question)) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            QDesktopServices::openUrl(QUrl(view::ToQString(url)));
            QApplication::restoreOverrideCursor();
        }
    }
}

void TMainForm::BrowserBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        m_stoppedByUser = false;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    if (!busy) {
        // Stop stays clickable only while something loads, whichever way the load ended.
        EnableStop(false);
        SaveCookies();
        CloseWhenIdle();
    }
}

void TMainForm::RenderCard()
{
    if (m_closing)
        return;
    ++m_renderCount;
    // The link under the pointer belonged to the card being replaced; the next move names the new one.
    SetStatusText(2, "");
    m_renderer.RenderCard(*m_browser, *RichView1, *this);
    UpdateSecurePanel();
    // A new card starts at its top, and the keys (Tab, digits) go to it unless the user is
    // typing an address.
    RichView1->ScrollTo(0);
    if (!LocationBox->hasFocus())
        RichView1->setFocus(Qt::OtherFocusReason);
}

// Navigation ---------------------------------------------------------------------------------

void TMainForm::Navigate(const std::string& url, bool addToHistory, bool fresh, bool post)
{
    if (m_closing)
        return;
    ++m_navigationDepth;
    m_browser->Navigate(url, addToHistory, fresh, post);
    --m_navigationDepth;
    CloseWhenIdle();
}

void TMainForm::NavigateAsTyped(const std::string& text)
{
    const auto alive = m_alive.Ref();
    Navigate(AddressFromArgument(text), true, true, false);
    if (alive.Expired() || m_closing)
        return;
    // The list records what was typed, even when the box went back to the address on show.
    const QString shown = LocationBox->currentText();
    LocationBox->setEditText(view::ToQString(text));
    AddTypedLocation();
    LocationBox->setEditText(shown);
    LocationBox->lineEdit()->selectAll();
}

void TMainForm::SetPendingURL(const std::string& url, bool refresh)
{
    m_pendingFromDeck = false;
    m_pendingURL = url;
    m_pendingRefresh = refresh;
    m_pendingPost = false;
    m_pendingFields.clear();
    LoadTheURLTimer->start();
}

void TMainForm::SetPendingPick(const std::string& url)
{
    m_pendingFromDeck = true;
    m_pendingURL = url;
    m_pendingPost = false;
    m_pendingFields.clear();
    LoadTheURLTimer->start();
}

void TMainForm::CardButtonClick(view::TPVBtn& sender, const std::string& link)
{
    m_pendingRefresh = false;
    m_pendingPost = sender.Post();
    m_pendingFields = sender.PostFields();
    std::string target = link;
    if (const wml::TWMLVariable* variables = sender.VarObject())
        m_browser->ApplySetVars(*variables);
    if (sender.DoRefresh()) {
        m_pendingRefresh = true;
        if (target.empty())
            target = m_browser->CurrentURL();
    }
    m_pendingURL = target;
    m_pendingFromDeck = true;
    LoadTheURLTimer->start();
}

void TMainForm::LoadTheURLTimerTimer()
{
    LoadTheURLTimer->stop();
    if (m_pendingURL.empty() || m_closing)
        return;
    if (m_pendingURL[0] != '@') {
        // A copy: the navigation may set a new pending address while it runs.
        const std::string url = m_pendingURL;
        const wml::TWMLPostFields fields = std::move(m_pendingFields);
        m_pendingFields.clear();
        ++m_navigationDepth;
        // A refresh shows the card on show again; a card's button or pick follows its go, with
        // the rules for addresses a deck asks for.
        if (m_pendingRefresh && url == m_browser->CurrentURL())
            m_browser->ShowCardAgain();
        else if (m_pendingFromDeck)
            m_browser->NavigateTask(url, !m_pendingRefresh, m_pendingPost, fields);
        else
            m_browser->Navigate(url, !m_pendingRefresh, false, false);
        --m_navigationDepth;
        CloseWhenIdle();
        return;
    }
    const std::string command = base::AsciiLower(m_pendingURL);
    ++m_navigationDepth;
    if (command == "@prev")
        m_browser->Back();
    else if (command == "@next")
        m_browser->Forward();
    --m_navigationDepth;
    CloseWhenIdle();
}

void TMainForm::StartCardTimer(wml::TWMLCard& card)
{
    m_browser->StartCardTimer(card);
}

// Window events ------------------------------------------------------------------------------

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The start page opens once the window is on screen and the loop turns.
    QTimer::singleShot(0, this, [this] { FormShow(); });
}

void TMainForm::FormShow()
{
    LoadSettings();
    // The keys of the card (Tab, Enter, digits) work from the start.
    RichView1->setFocus(Qt::OtherFocusReason);
    if (!m_startParameters.empty()) {
        std::string text;
        for (const std::string& parameter : m_startParameters)
            text += (text.empty() ? "" : " ") + parameter;
        // As typed into the location box: a path, a file:// or an http:// address.
        const std::string address = AddressFromArgument(text);
        SetLocationText(address);
        // A named address that fails or is stopped stays in the box to be corrected; the home
        // page would replace it.
        Navigate(address, true, true, false);
        return;
    }
    if (m_openHomeOnShow && m_browser->CurrentURL().empty() && !m_closing)
        SetPendingURL(HomePage(), m_pendingRefresh);
}

void TMainForm::SetStartParameters(std::vector<std::string> parameters)
{
    m_startParameters = std::move(parameters);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (Busy()) {
        // The fetch's wait is still on the stack: stop it, and close once it has unwound.
        event->ignore();
        m_closePending = true;
        m_browser->Stop();
        return;
    }
    m_closing = true;
    LoadTheURLTimer->stop();
    SaveRecentList();
    SaveCookies();
    m_browser->Stop();
    m_browser->StopCardTimer();
    event->accept();
}

void TMainForm::CloseWhenIdle()
{
    if (!m_closePending || Busy())
        return;
    m_closePending = false;
    QTimer::singleShot(0, this, [this] {
        if (Busy())
            m_closePending = true;
        else
            close();
    });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == LocationBox || (LocationBox != nullptr && watched == LocationBox->lineEdit()))
        && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            NavigateAsTyped(LocationBox->currentText().toStdString());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// TCardHost ----------------------------------------------------------------------------------

void TMainForm::SetStatusText(int panel, const std::string& text)
{
    if (panel < 0 || panel >= int(m_panels.size()))
        return;
    m_panels[std::size_t(panel)]->setText(view::ToQString(text));
    if (OnStatusText)
        OnStatusText(panel, text);
}

std::string TMainForm::StatusText(int panel) const
{
    if (panel < 0 || panel >= int(m_panels.size()))
        return {};
    return m_panels[std::size_t(panel)]->text().toStdString();
}

const std::string& TMainForm::ShownCardTitle() const
{
    return m_renderer.ShownCardTitle();
}

void TMainForm::SetCaption(const std::string& caption)
{
    setWindowTitle(view::ToQString(caption));
}

void TMainForm::SetLocationText(const std::string& url)
{
    LocationBox->setEditText(view::ToQString(url));
}

void TMainForm::SetPageSource(std::shared_ptr<const std::string> bytes, const std::string& charset)
{
    if (m_pageSourceForm)
        m_pageSourceForm->SetSource(std::move(bytes), charset);
}

void TMainForm::EnableStop(bool enabled)
{
    Action("Browser_Stop")->setEnabled(enabled);
}

void TMainForm::EnableBack(bool enabled)
{
    Action("Browser_Back")->setEnabled(enabled);
}

void TMainForm::EnableForward(bool enabled)
{
    Action("Browser_Forward")->setEnabled(enabled);
}

bool TMainForm::CompareAnnouncedVersion(const std::string& announced)
{
    if (m_pageSourceForm)
        m_pageSourceForm->Clear();
    const bool newer = IsNewerVersion(announced);
    if (newer) {
        const std::string text = "NEW VERSION AVAILABLE !\rVersion " + announced
            + " of Pivrel is available for download from the internet." + "\r\r"
            + "Do you want to proceed to Quillfen Software's web site now?";
        if (m_dialogs.AskYesNo(this, "Pivrel", text))
            Help_QuillfenExecute();
    }
    return newer;
}

QPixmap TMainForm::PrevButtonGlyph() const
{
    return PrevGlyph();
}

bool TMainForm::OpenInWebBrowser(const std::string& url)
{
    if (QDesktopServices::openUrl(QUrl(view::ToQString(url))))
        return true;
    m_dialogs.ShowError(this, "Pivrel", "Error launching your default web-browser");
    return false;
}

// Actions ------------------------------------------------------------------------------------

void TMainForm::File_ExitExecute()
{
    close();
}

void TMainForm::File_SaveAsExecute()
{
    const QString current = QDir::currentPath();
    if (m_saveDirectory.isEmpty())
        m_saveDirectory = current;
    const QString textFilter = "Text files (*.txt)";
    const QString htmlFilter = "HTML files (*.htm *.html)";
    const QString allFilter = "All files (*)";
    QString chosen;
    const QString fileName = QFileDialog::getSaveFileName(
        this, "Save page as", m_saveDirectory, textFilter + ";;" + htmlFilter + ";;" + allFilter, &chosen);
    QDir::setCurrent(current);
    if (!fileName.isEmpty())
        SavePageAs(fileName.toStdString(), chosen == htmlFilter ? TPageFormat::Html : TPageFormat::Text);
}

bool TMainForm::SavePageAs(const std::string& fileName, TPageFormat format)
{
    errno = 0;
    const bool saved = format == TPageFormat::Html ? RichView1->SaveAsHTML(fileName, "", "", 0)
                                                   : RichView1->SaveAsText(fileName, 0);
    if (!saved) {
        const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : std::string();
        m_dialogs.ShowError(this, "Pivrel", "Could not save the page as " + fileName + reason);
    }
    return saved;
}

void TMainForm::Edit_CopyExecute()
{
    std::string text;
    if (RichView1->HasSelection()) {
        text = RichView1->SelectedText();
    } else {
        RichView1->SelectWholeDocument();
        text = RichView1->SelectedText();
        RichView1->ClearSelection();
    }
    // Paragraph ends as the platform clipboard expects them, as the view's own copy makes them.
    std::replace(text.begin(), text.end(), '\r', '\n');
    QApplication::clipboard()->setText(view::ToQString(text));
}

void TMainForm::Edit_SelectAllExecute()
{
    RichView1->setFocus();
    RichView1->ClearSelection();
    QCoreApplication::processEvents();
    RichView1->SelectWholeDocument();
    RichView1->viewport()->update();
}

void TMainForm::Browser_BackExecute()
{
    ++m_navigationDepth;
    m_browser->Back();
    --m_navigationDepth;
    CloseWhenIdle();
}

void TMainForm::Browser_ForwardExecute()
{
    ++m_navigationDepth;
    m_browser->Forward();
    --m_navigationDepth;
    CloseWhenIdle();
}

void TMainForm::Browser_ReloadExecute()
{
    const std::string current = m_browser->CurrentURL();
    std::shared_ptr<const std::string> body = m_browser->SharedBodyBytes();
    const int renders = m_renderCount;
    SetLocationText(current);
    m_browser->SetCurrentURL("");
    m_browser->SetBodyBytes(std::string());
    const auto alive = m_alive.Ref();
    Navigate(current, false, false, false);
    // A reload that failed leaves the page it meant to replace, relative links included.
    if (!alive.Expired() && m_renderCount == renders && m_browser->CurrentURL().empty()) {
        m_browser->SetCurrentURL(current);
        m_browser->SetBodyBytes(std::move(body));
        SetLocationText(current);
    }
}

void TMainForm::Browser_StopExecute()
{
    m_stoppedByUser = m_busy;
    m_browser->Stop();
}

void TMainForm::Browser_HomeExecute()
{
    const std::string home = HomePage();
    if (!home.empty())
        Navigate(home, false, false, false);
}

void TMainForm::SetViewportSize(int width, int height)
{
    // Two rounds: the first may add or remove the view's scroll bars, which the second makes up for.
    for (int round = 0; round < 2; ++round) {
        if (QLayout* outer = layout())
            outer->activate();
        const QSize missing = QSize(width, height) - RichView1->viewport()->size();
        if (missing.isNull())
            return;
        resize(size() + missing);
    }
}

void TMainForm::View_EricssonMC218Execute()
{
    SetViewportSize(500, 370);
}

void TMainForm::View_R320Execute()
{
    SetViewportSize(300, 300);
}

void TMainForm::View_Nokia7110Execute()
{
    SetViewportSize(250, 250);
}

void TMainForm::View_A4_WidthExecute()
{
    SetViewportSize(600, 450);
}

void TMainForm::Help_SearchExecute()
{
    const auto alive = m_alive.Ref();
    Navigate(std::string(kWapDirectorySite), true, false, false);
    if (!alive.Expired() && !m_closing)
        AddTypedLocation();
}

void TMainForm::Check4NewVersionExecute()
{
    ++m_navigationDepth;
    m_browser->CheckForNewVersion();
    --m_navigationDepth;
    CloseWhenIdle();
}

void TMainForm::FeedbackExecute()
{
    Navigate(MakerAddress("/pivrel/feedback.wml"), true, false, false);
}

void TMainForm::Help_QuillfenExecute()
{
    OpenInWebBrowser(MakerAddress("/index.htm"));
}

void TMainForm::Help_QuillfenWapExecute()
{
    Navigate(MakerAddress("/pivrel/index.wml"), true, true, false);
}

} // namespace pivrel::app
