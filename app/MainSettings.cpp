// The main window's side of the settings, the lists and the bookmarks.

#include "app/AppPaths.h"
#include "app/fFormBookmarkEdit.h"
#include "app/fFormOpenLocation.h"
#include "app/fMainForm.h"
#include "app/fPropertiesForm.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>

namespace pivrel::app {

void TMainForm::CreateAuxiliaryWindows()
{
    m_browser->CacheDir = TAppPaths::CacheDir();
    m_browser->CookieJar.Load(TAppPaths::CookieFile());
    m_savedCookies = m_browser->CookieJar.Serialize();
    m_recentList = std::make_unique<TRecentList>(TAppPaths::RecentFile());
    m_recentList->Load();
    RebuildReopenMenu();
    m_typedLocations = std::make_unique<TTypedLocations>(TAppPaths::TypedLocationsFile());
    LoadTypedLocations();

    m_properties = new TPropertiesForm(m_dialogs, this);
    m_properties->setObjectName("PropertiesForm");
    m_properties->OnClearHistory = [this] {
        m_typedLocations->Clear();
        LocationBox->clear();
        m_recentList->Clear();
    };
    m_properties->OnClearCookies = [this] {
        m_browser->CookieJar.Clear();
        SaveCookies();
    };
    m_bookmarks = new TFormBookmarkEdit(m_dialogs, this);
    m_bookmarks->setObjectName("FormBookmarkEdit");
    // Go To closes the bookmark window; the address opens once its modal loop has ended.
    m_bookmarks->OnNavigate = [this](const std::string& address) {
        QTimer::singleShot(0, this, [this, address] { Navigate(address, true, true, false); });
    };
}

void TMainForm::LoadSettings()
{
    m_settings = TPivrelSettings();
    m_settings.Load(TAppPaths::SettingsFile());
    m_properties->ToDialog(m_settings);
    ApplyToolbarSettings();
    ApplyNetworkSettings();
}

void TMainForm::SaveSettings()
{
    m_settings = m_properties->FromDialog();
    std::string error;
    if (!m_settings.Save(TAppPaths::SettingsFile(), error))
        ReportSaveFailure(TAppPaths::SettingsFile(), error);
    ApplyToolbarSettings();
    ApplyNetworkSettings();
}

void TMainForm::ApplyNetworkSettings()
{
    const TProxySettings proxy = ProxySettingsOf(m_settings);
    m_browser->SetProxyHost(proxy.ProxyHost);
    m_browser->SetProxyPort(proxy.ProxyPort);
    m_browser->SetProxyUser(proxy.ProxyUser);
    m_browser->SetProxyPassword(proxy.ProxyPassword);
    m_browser->HttpCli.SetCaFile(m_settings.CaFile);
    m_browser->CookiesEnabled = m_settings.AcceptCookies;
}

void TMainForm::SaveCookies()
{
    const std::string text = m_browser->CookieJar.Serialize();
    if (text == m_savedCookies)
        return;
    std::string error;
    const std::string path = TAppPaths::CookieFile();
    if (TAppPaths::EnsureParentDir(path) && m_browser->CookieJar.Save(path, error))
        m_savedCookies = text;
}

bool TMainForm::UseButtonTexts() const
{
    return m_settings.UseButtonTexts;
}

std::string TMainForm::HomePage() const
{
    return HomePageAddress(m_settings.HomePage);
}

view::TCardDisplaySettings TMainForm::CardDisplaySettings() const
{
    view::TCardDisplaySettings display;
    display.UseBackImage = m_settings.UseBackImage;
    display.BackImageFile = m_settings.BackImageFile;
    // The shipped picture is named relative to the program's data: found there when the current
    // directory does not hold it.
    if (!QFileInfo::exists(QString::fromStdString(display.BackImageFile))) {
        std::string relative = display.BackImageFile;
        if (relative.rfind("./", 0) == 0)
            relative.erase(0, 2);
        if (const std::string shipped = TAppPaths::DataFile(relative); !shipped.empty())
            display.BackImageFile = shipped;
    }
    display.BackImageMode = m_settings.BackImageMode;
    display.Transparent = m_settings.Transparent;
    return display;
}

// Lists --------------------------------------------------------------------------------------

void TMainForm::AddRecentURL(const std::string& url)
{
    if (m_recentList->AddRecentURL(url)) {
        RebuildReopenMenu();
        if (!m_recentList->SaveError().empty())
            ReportSaveFailure(TAppPaths::RecentFile(), m_recentList->SaveError());
    }
}

void TMainForm::SaveRecentList()
{
    // A list that cannot be written is reported, but must not keep the window open.
    std::string error;
    if (!m_recentList->Save(error))
        ReportSaveFailure(TAppPaths::RecentFile(), error);
}

void TMainForm::ReportSaveFailure(const std::string& file, const std::string& error)
{
    const std::string text = "Could not save " + file + ": " + error;
    Status("Not saved");
    m_log.push_back(text);
    // One box per file and session: a list written after every page would otherwise ask for
    // a click on each one.
    if (m_reportedSaveFailures.insert(file).second)
        m_dialogs.ShowError(this, "Pivrel", text);
}

void TMainForm::RebuildReopenMenu()
{
    Reopen1->clear();
    const base::TStringList& items = m_recentList->Items();
    if (items.empty()) {
        Reopen1->addAction(TRecentList::kNoneCaption)->setEnabled(false);
        return;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string caption = TRecentList::ReopenCaption(i, items[i]);
        QAction* entry = Reopen1->addAction(QString::fromStdString(caption));
        connect(entry, &QAction::triggered, this,
            [this, caption] { ReopenItemClick(TRecentList::AddressFromReopenCaption(caption)); });
    }
}

void TMainForm::ReopenItemClick(const std::string& url)
{
    Navigate(url, true, false, false);
}

void TMainForm::LoadTypedLocations()
{
    m_typedLocations->Load();
    LocationBox->clear();
    for (const std::string& entry : m_typedLocations->Items())
        LocationBox->addItem(QString::fromStdString(entry));
}

void TMainForm::AddTypedLocation()
{
    const QString text = LocationBox->currentText();
    if (!m_typedLocations->AddTypedLocation(text.toStdString(), m_settings.MaxHistory))
        ReportSaveFailure(TAppPaths::TypedLocationsFile(), m_typedLocations->SaveError());
    LocationBox->hidePopup();
    LocationBox->clear();
    for (const std::string& entry : m_typedLocations->Items())
        LocationBox->addItem(QString::fromStdString(entry));
    LocationBox->setEditText(text);
    LocationBox->lineEdit()->selectAll();
}

// Commands -----------------------------------------------------------------------------------

void TMainForm::Help_ContentsExecute()
{
    const std::string help = TAppPaths::DataFile("Help/Help.wml");
    if (help.empty()) {
        m_dialogs.ShowError(this, "Pivrel", "The help deck Help/Help.wml is not installed.");
        return;
    }
    Navigate("file://" + help, false, false, false);
}

void TMainForm::File_OpenExecute()
{
    std::string location;
    {
        TFormOpenLocation dialog(this);
        dialog.setObjectName("FormOpenLocation");
        const int result = dialog.exec();
        if (!dialog.SaveError().empty())
            ReportSaveFailure(TAppPaths::OpenLocationsFile(), dialog.SaveError());
        if (result != QDialog::Accepted)
            return;
        location = dialog.Location();
    }
    Navigate(location, true, true, false);
}

void TMainForm::Edit_PropertiesExecute()
{
    if (m_properties->exec() == QDialog::Accepted)
        SaveSettings();
    else
        LoadSettings();
    RebuildReopenMenu();
}

void TMainForm::Bookmark_AddBookmarkExecute()
{
    std::string name = ShownCardTitle();
    const std::string url = m_browser->CurrentURL();
    if (url.empty()) {
        m_dialogs.ShowError(this, "Pivrel", "No current web address to save");
        return;
    }
    if (m_dialogs.InputText(this, "Enter name for Bookmark", "Name", name))
        m_bookmarks->AddBookmark(name, url);
}

void TMainForm::Bookmark_EditBookmarksExecute()
{
    m_bookmarks->exec();
}

} // namespace pivrel::app
