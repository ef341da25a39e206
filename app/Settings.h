#pragma once

#include "base/IniFile.h"

#include <string>

namespace pivrel::app {

// The default home page: the welcome deck shipped with the program, named relative to the
// program's data as the background picture is, so that the settings file stays valid wherever
// the program is installed.
std::string DefaultHomePage();

// The address a home page setting opens: a setting starting with "./" names a shipped file and
// becomes the file:// address of wherever that is found; any other setting is used as it is.
std::string HomePageAddress(const std::string& setting);

// The user's settings as the "Pivrel.ini" file and the settings dialog hold them. A fresh value
// holds every default.
struct TPivrelSettings {
    static constexpr int kMinMaxHistory = 10;
    static constexpr int kMaxMaxHistory = 500;
    static constexpr int kMinProxyPort = 0;
    static constexpr int kMaxProxyPort = 65535;

    // GENERAL
    bool UseBackImage = true;
    std::string BackImageFile = "./pics/skin1.bmp";
    int BackImageMode = 0; // 0 stretched, 1 tiled, 2 tiled and scrolling with the text
    bool UseButtonTexts = true;
    bool Transparent = true;
    // BROWSER
    std::string HomePage = DefaultHomePage();
    int MaxHistory = 100;
    // NETWORK
    bool UseProxy = false;
    std::string ProxyAddr;
    int ProxyPort = 80;
    bool UseAuthentication = false;
    std::string UserName;
    std::string Password;
    // A PEM file of certificates trusted for https besides the system's; empty for none.
    std::string CaFile;
    bool AcceptCookies = true;

    // Every key from the file, each missing or unreadable one as its default; numbers are then
    // brought into the ranges of their dialog fields. A missing file gives the defaults.
    void Load(const std::string& path);
    void LoadFrom(const base::TIniFile& ini);
    // Writes every key into the file, keeping whatever else it holds; creates the directory and
    // the file as needed.
    bool Save(const std::string& path, std::string& error) const;
    void StoreTo(base::TIniFile& ini) const;

    // Numbers into the ranges of their dialog fields; a picture mode outside 0 to 2 becomes 0.
    void Clamp();

    bool operator==(const TPivrelSettings&) const = default;
};

// The proxy properties handed to the browser engine: no proxy is an empty host and port -1; the
// login goes along whenever authentication is on, with or without a proxy.
struct TProxySettings {
    std::string ProxyHost;
    int ProxyPort = -1;
    std::string ProxyUser;
    std::string ProxyPassword;

    bool operator==(const TProxySettings&) const = default;
};

TProxySettings ProxySettingsOf(const TPivrelSettings& settings);

} // namespace pivrel::app
