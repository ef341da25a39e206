#include "app/Settings.h"

#include "app/AppPaths.h"
#include "app/tests/TempHome.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace pivrel::app {

namespace {

    using testing::TempHomeTest;
    using SettingsTest = TempHomeTest;

    const char* const kDefaultFile = "[GENERAL]\r\n"
                                     "UseBackImage=1\r\n"
                                     "BackImageFile=./pics/skin1.bmp\r\n"
                                     "BackImageMode=0\r\n"
                                     "UseButtonTexts=1\r\n"
                                     "Transparent=1\r\n"
                                     "[BROWSER]\r\n"
                                     "HomePage=./samples/welcome.wml\r\n"
                                     "MaxHistory=100\r\n"
                                     "[NETWORK]\r\n"
                                     "UseProxy=0\r\n"
                                     "ProxyAddr=\r\n"
                                     "ProxyPort=80\r\n"
                                     "UseAuthentication=0\r\n"
                                     "UserName=\r\n"
                                     "Password=\r\n"
                                     "AcceptCookies=1\r\n";

    TPivrelSettings Loaded(const std::string& path)
    {
        TPivrelSettings settings;
        settings.UseProxy = true; // Load must not keep what was there before
        settings.HomePage = "stale";
        settings.Load(path);
        return settings;
    }

} // namespace

TEST_F(SettingsTest, DamagedOrMissingFilesGiveDefaultsAndWriteNothing)
{
    const TPivrelSettings defaults;
    // The shipped welcome deck, named relative to the program's data.
    EXPECT_EQ(defaults.HomePage, "./samples/welcome.wml");
    EXPECT_EQ(HomePageAddress(defaults.HomePage).rfind("file:///", 0), 0u);
    EXPECT_TRUE(HomePageAddress(defaults.HomePage).ends_with("/samples/welcome.wml"));
    EXPECT_EQ(HomePageAddress("http://wap.example/"), "http://wap.example/");
    EXPECT_EQ(HomePageAddress("./no/such.wml"), "./no/such.wml");
    EXPECT_EQ(defaults.BackImageFile, "./pics/skin1.bmp");

    EXPECT_EQ(Loaded(TAppPaths::SettingsFile()), defaults);
    EXPECT_FALSE(std::filesystem::exists(m_home)) << "loading created the directory";

    std::string binary;
    for (int i = 0; i < 5000; ++i)
        binary += static_cast<char>((i * 77 + 3) & 0xFF);
    const std::string inputs[] = { "", "\r\n", "[GENERAL]\r\nUseBackIm", binary,
        "[GENERAL]\r\nHomePage=x\r\n", "[BROWSER]\r\nMaxHistory=" + std::string(100 * 1024, '9') + "\r\n" };
    for (const auto& input : inputs) {
        Write("Pivrel.ini", input);
        EXPECT_EQ(Loaded(Home("Pivrel.ini")), defaults) << input.substr(0, 40);
        EXPECT_EQ(Bytes("Pivrel.ini"), input) << "loading rewrote the file";
    }
}

TEST_F(SettingsTest, JunkValuesReadAsDefaultsAndNumbersAreClamped)
{
    Write("Pivrel.ini",
        "[general]\nUseBackImage = 0\nBackImageMode=7\nUseButtonTexts=yes\nTransparent=\n"
        "BackImageFile=\n[Browser]\nMaxHistory=5\nHomePage= file:///tmp/h.wml \n"
        "[NETWORK]\nUseProxy=2\nProxyPort=70000\nUseAuthentication=1\nUserName=me\nPassword= p=w \n");
    const TPivrelSettings settings = Loaded(Home("Pivrel.ini"));
    EXPECT_FALSE(settings.UseBackImage);
    EXPECT_EQ(settings.BackImageMode, 0);
    EXPECT_TRUE(settings.UseButtonTexts);
    EXPECT_TRUE(settings.Transparent);
    EXPECT_EQ(settings.BackImageFile, ""); // an empty value is a value, not a missing key
    EXPECT_EQ(settings.MaxHistory, 10);
    EXPECT_EQ(settings.HomePage, "file:///tmp/h.wml");
    EXPECT_TRUE(settings.UseProxy);
    EXPECT_EQ(settings.ProxyPort, 65535);
    EXPECT_EQ(settings.UserName, "me");
    EXPECT_EQ(settings.Password, "p=w");

    Write("Pivrel.ini",
        "[BROWSER]\r\nMaxHistory=501\r\n[NETWORK]\r\nProxyPort=-1\r\n[GENERAL]\r\nBackImageMode=-1\r\n");
    const TPivrelSettings high = Loaded(Home("Pivrel.ini"));
    EXPECT_EQ(high.MaxHistory, 500);
    EXPECT_EQ(high.ProxyPort, 0);
    EXPECT_EQ(high.BackImageMode, 0);
    Write("Pivrel.ini", "[GENERAL]\r\nBackImageMode=2\r\n");
    EXPECT_EQ(Loaded(Home("Pivrel.ini")).BackImageMode, 2);
}

TEST_F(SettingsTest, SaveWritesTheExactFileAndCreatesPrivateDirectories)
{
    std::string error;
    ASSERT_TRUE(TPivrelSettings().Save(TAppPaths::SettingsFile(), error)) << error;
    EXPECT_EQ(Bytes("Pivrel.ini"), kDefaultFile);
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(m_home).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(Home("Pivrel.ini")).permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::owner_write)
        << "the file holds the proxy password";

    TPivrelSettings changed;
    changed.UseProxy = true;
    changed.ProxyAddr = "proxy.example";
    changed.ProxyPort = 3128;
    changed.UseAuthentication = true;
    changed.UserName = "anne";
    changed.Password = "se=cret pass";
    changed.MaxHistory = 42;
    changed.BackImageMode = 2;
    changed.HomePage = "http://h/\r\n[NETWORK]\r\nUseProxy=0";
    ASSERT_TRUE(changed.Save(TAppPaths::SettingsFile(), error)) << error;
    const TPivrelSettings again = Loaded(TAppPaths::SettingsFile());
    EXPECT_EQ(again.HomePage, "http://h/  [NETWORK]  UseProxy=0") << "a value never becomes a line";
    changed.HomePage = again.HomePage;
    EXPECT_EQ(again, changed);
    EXPECT_NE(Bytes("Pivrel.ini")
                  .find("[NETWORK]\r\nUseProxy=1\r\nProxyAddr=proxy.example\r\nProxyPort=3128\r\n"
                        "UseAuthentication=1\r\nUserName=anne\r\nPassword=se=cret pass\r\n"),
        std::string::npos);
}

TEST_F(SettingsTest, SaveKeepsWhatElseTheFileHolds)
{
    Write("Pivrel.ini",
        "; written by hand\r\n[network]\r\nuseproxy=1\r\nExtra=keep\r\n[OTHER]\r\na=b\r\n[GENERAL]\r\n"
        "UseBackImage=0\r\n");
    std::string error;
    ASSERT_TRUE(TPivrelSettings().Save(Home("Pivrel.ini"), error)) << error;
    EXPECT_EQ(Bytes("Pivrel.ini"),
        "; written by hand\r\n[network]\r\nuseproxy=0\r\nExtra=keep\r\nProxyAddr=\r\nProxyPort=80\r\n"
        "UseAuthentication=0\r\nUserName=\r\nPassword=\r\nAcceptCookies=1\r\n[OTHER]\r\na=b\r\n[GENERAL]"
        "\r\nUseBackImage=1\r\n"
        "BackImageFile=./pics/skin1.bmp\r\nBackImageMode=0\r\nUseButtonTexts=1\r\nTransparent=1\r\n"
        "[BROWSER]\r\nHomePage=./samples/welcome.wml\r\nMaxHistory=100\r\n");

    Write("blocker", "");
    EXPECT_FALSE(TPivrelSettings().Save(Home("blocker") + "/Pivrel.ini", error));
}

TEST_F(SettingsTest, TrustedCertificateFileIsKeptOnceSet)
{
    std::string error;
    ASSERT_TRUE(TPivrelSettings().Save(Home("Pivrel.ini"), error)) << error;
    EXPECT_EQ(Bytes("Pivrel.ini"), kDefaultFile);
    TPivrelSettings changed;
    changed.CaFile = "/etc/pivrel/my ca.pem";
    ASSERT_TRUE(changed.Save(Home("Pivrel.ini"), error)) << error;
    EXPECT_EQ(Loaded(Home("Pivrel.ini")).CaFile, "/etc/pivrel/my ca.pem");
    // Cleared, the key stays, empty, rather than bringing the old file back.
    ASSERT_TRUE(TPivrelSettings().Save(Home("Pivrel.ini"), error)) << error;
    EXPECT_EQ(Loaded(Home("Pivrel.ini")).CaFile, "");
    EXPECT_NE(Bytes("Pivrel.ini").find("CaFile=\r\n"), std::string::npos);
}

TEST(ProxySettings, ProxyAndLoginAreIndependent)
{
    struct Case {
        bool UseProxy;
        bool UseAuthentication;
        TProxySettings Expected;
    };

    const Case cases[] = {
        { false, false, { "", -1, "", "" } },
        { true, false, { "proxy", 8080, "", "" } },
        { false, true, { "", -1, "user", "pw" } },
        { true, true, { "proxy", 8080, "user", "pw" } },
    };
    for (const auto& c : cases) {
        TPivrelSettings settings;
        settings.ProxyAddr = "proxy";
        settings.ProxyPort = 8080;
        settings.UserName = "user";
        settings.Password = "pw";
        settings.UseProxy = c.UseProxy;
        settings.UseAuthentication = c.UseAuthentication;
        EXPECT_EQ(ProxySettingsOf(settings), c.Expected) << c.UseProxy << c.UseAuthentication;
    }
}

TEST_F(SettingsTest, PivrelHomeHoldsEveryFileAndXdgIsTheFallback)
{
    const std::string home = m_home.string();
    EXPECT_EQ(TAppPaths::SettingsFile(), home + "/Pivrel.ini");
    EXPECT_EQ(TAppPaths::BookmarkFile(), home + "/bookmarks.dat");
    EXPECT_EQ(TAppPaths::RecentFile(), home + "/Recent.lst");
    EXPECT_EQ(TAppPaths::TypedLocationsFile(), home + "/ManLocations.lst");
    EXPECT_EQ(TAppPaths::OpenLocationsFile(), home + "/Locations.lst");
    EXPECT_EQ(TAppPaths::CacheDir(), home + "/Cache");

    const auto keep = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    };
    const auto config = keep("XDG_CONFIG_HOME");
    const auto cache = keep("XDG_CACHE_HOME");
    const auto userHome = keep("HOME");
    ::unsetenv("PIVREL_HOME");
    ::setenv("XDG_CONFIG_HOME", "/c", 1);
    ::setenv("XDG_CACHE_HOME", "/k", 1);
    EXPECT_EQ(TAppPaths::SettingsFile(), "/c/pivrel/Pivrel.ini");
    EXPECT_EQ(TAppPaths::CacheDir(), "/k/pivrel");
    ::setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
    ::setenv("HOME", "/u", 1);
    EXPECT_EQ(TAppPaths::ConfigDir(), "/u/.config/pivrel");
    ::setenv("PIVREL_HOME", home.c_str(), 1);
    restore("XDG_CONFIG_HOME", config);
    restore("XDG_CACHE_HOME", cache);
    restore("HOME", userHome);

    EXPECT_NE(TAppPaths::DataFile("samples/welcome.wml"), "");
    EXPECT_EQ(TAppPaths::DataFile("no/such/file.wml"), "");
    EXPECT_FALSE(std::filesystem::exists(m_home)) << "asking for paths created something";
}

} // namespace pivrel::app
