#include "app/Settings.h"

#include "engine/Maker.h"

#include "app/AppPaths.h"

#include <algorithm>

namespace pivrel::app {

namespace {

    constexpr const char* kGeneral = "GENERAL";
    constexpr const char* kBrowser = "BROWSER";
    constexpr const char* kNetwork = "NETWORK";

} // namespace

std::string DefaultHomePage()
{
    return "./samples/welcome.wml";
}

std::string HomePageAddress(const std::string& setting)
{
    if (!setting.starts_with("./"))
        return setting;
    const std::string shipped = TAppPaths::DataFile(setting.substr(2));
    return shipped.empty() ? setting : "file://" + shipped;
}

void TPivrelSettings::Load(const std::string& path)
{
    base::TIniFile ini;
    ini.LoadFromFile(path);
    LoadFrom(ini);
}

void TPivrelSettings::LoadFrom(const base::TIniFile& ini)
{
    const TPivrelSettings defaults;
    UseBackImage = ini.ReadBool(kGeneral, "UseBackImage", defaults.UseBackImage);
    BackImageFile = ini.ReadString(kGeneral, "BackImageFile", defaults.BackImageFile);
    BackImageMode = ini.ReadInteger(kGeneral, "BackImageMode", defaults.BackImageMode);
    UseButtonTexts = ini.ReadBool(kGeneral, "UseButtonTexts", defaults.UseButtonTexts);
    HomePage = ini.ReadString(kBrowser, "HomePage", defaults.HomePage);
    MaxHistory = ini.ReadInteger(kBrowser, "MaxHistory", defaults.MaxHistory);
    Transparent = ini.ReadBool(kGeneral, "Transparent", defaults.Transparent);
    UseProxy = ini.ReadBool(kNetwork, "UseProxy", defaults.UseProxy);
    ProxyAddr = ini.ReadString(kNetwork, "ProxyAddr", defaults.ProxyAddr);
    ProxyPort = ini.ReadInteger(kNetwork, "ProxyPort", defaults.ProxyPort);
    UseAuthentication = ini.ReadBool(kNetwork, "UseAuthentication", defaults.UseAuthentication);
    UserName = ini.ReadString(kNetwork, "UserName", defaults.UserName);
    Password = ini.ReadString(kNetwork, "Password", defaults.Password);
    CaFile = ini.ReadString(kNetwork, "CaFile", defaults.CaFile);
    AcceptCookies = ini.ReadBool(kNetwork, "AcceptCookies", defaults.AcceptCookies);
    Clamp();
}

void TPivrelSettings::Clamp()
{
    if (BackImageMode < 0 || BackImageMode > 2)
        BackImageMode = 0;
    MaxHistory = std::clamp(MaxHistory, kMinMaxHistory, kMaxMaxHistory);
    ProxyPort = std::clamp(ProxyPort, kMinProxyPort, kMaxProxyPort);
}

void TPivrelSettings::StoreTo(base::TIniFile& ini) const
{
    // The order of the writes decides the order of keys in a new file: Transparent was added
    // after the BROWSER keys and so closes the GENERAL section.
    ini.WriteBool(kGeneral, "UseBackImage", UseBackImage);
    ini.WriteString(kGeneral, "BackImageFile", BackImageFile);
    ini.WriteInteger(kGeneral, "BackImageMode", BackImageMode);
    ini.WriteBool(kGeneral, "UseButtonTexts", UseButtonTexts);
    ini.WriteString(kBrowser, "HomePage", HomePage);
    ini.WriteInteger(kBrowser, "MaxHistory", MaxHistory);
    ini.WriteBool(kGeneral, "Transparent", Transparent);
    ini.WriteBool(kNetwork, "UseProxy", UseProxy);
    ini.WriteString(kNetwork, "ProxyAddr", ProxyAddr);
    ini.WriteInteger(kNetwork, "ProxyPort", ProxyPort);
    ini.WriteBool(kNetwork, "UseAuthentication", UseAuthentication);
    ini.WriteString(kNetwork, "UserName", UserName);
    ini.WriteString(kNetwork, "Password", Password);
    // Written only once set, so that the files of users who never set it keep their keys.
    if (!CaFile.empty() || ini.ReadString(kNetwork, "CaFile", "") != "")
        ini.WriteString(kNetwork, "CaFile", CaFile);
    ini.WriteBool(kNetwork, "AcceptCookies", AcceptCookies);
}

bool TPivrelSettings::Save(const std::string& path, std::string& error) const
{
    if (!TAppPaths::EnsureParentDir(path)) {
        error = "cannot create the directory of " + path;
        return false;
    }
    base::TIniFile ini;
    ini.LoadFromFile(path);
    StoreTo(ini);
    return ini.SaveToFile(path, error);
}

TProxySettings ProxySettingsOf(const TPivrelSettings& settings)
{
    TProxySettings proxy;
    if (settings.UseProxy) {
        proxy.ProxyHost = settings.ProxyAddr;
        proxy.ProxyPort = settings.ProxyPort;
    }
    if (settings.UseAuthentication) {
        proxy.ProxyUser = settings.UserName;
        proxy.ProxyPassword = settings.Password;
    }
    return proxy;
}

} // namespace pivrel::app
