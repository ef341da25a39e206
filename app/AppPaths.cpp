#include "app/AppPaths.h"

#include <QCoreApplication>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace pivrel::app {

namespace {

    namespace fs = std::filesystem;

    std::string Environment(const char* name)
    {
        const char* value = std::getenv(name);
        return value != nullptr ? std::string(value) : std::string();
    }

    // The XDG rules: a variable that is unset, empty or not absolute is ignored.
    std::string UserBase(const char* variable, const char* homeRelative)
    {
        const std::string value = Environment(variable);
        if (!value.empty() && value.front() == '/')
            return value;
        std::string home = Environment("HOME");
        if (home.empty())
            home = fs::temp_directory_path().string();
        return home + "/" + homeRelative;
    }

    std::string InConfigDir(const char* name)
    {
        return TAppPaths::ConfigDir() + "/" + name;
    }

    // The source tree's data folder, so that a program run from its build directory finds its
    // files without being installed.
    fs::path SourceDataDir()
    {
        std::error_code error;
#ifdef PIVREL_SOURCE_DATA_DIR
        const fs::path source = PIVREL_SOURCE_DATA_DIR;
#else
        const fs::path source = fs::path(__FILE__).parent_path().parent_path() / "data";
#endif
        return fs::is_directory(source, error) ? source : fs::path();
    }

} // namespace

std::string TAppPaths::ConfigDir()
{
    const std::string home = Environment("PIVREL_HOME");
    if (!home.empty())
        return home;
    return UserBase("XDG_CONFIG_HOME", ".config") + "/pivrel";
}

std::string TAppPaths::CacheDir()
{
    const std::string home = Environment("PIVREL_HOME");
    if (!home.empty())
        return home + "/Cache";
    return UserBase("XDG_CACHE_HOME", ".cache") + "/pivrel";
}

std::string TAppPaths::SettingsFile()
{
    return InConfigDir("Pivrel.ini");
}

std::string TAppPaths::BookmarkFile()
{
    return InConfigDir("bookmarks.dat");
}

std::string TAppPaths::RecentFile()
{
    return InConfigDir("Recent.lst");
}

std::string TAppPaths::TypedLocationsFile()
{
    return InConfigDir("ManLocations.lst");
}

std::string TAppPaths::OpenLocationsFile()
{
    return InConfigDir("Locations.lst");
}

std::string TAppPaths::CookieFile()
{
    return InConfigDir("cookies.txt");
}

bool TAppPaths::EnsureDir(const std::string& dir)
{
    std::error_code error;
    if (fs::is_directory(dir, error))
        return true;
    const fs::path path(dir);
    if (path.has_parent_path() && path.parent_path() != path && !EnsureDir(path.parent_path().string()))
        return false;
    if (fs::create_directory(path, error))
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
    return fs::is_directory(path, error);
}

bool TAppPaths::EnsureParentDir(const std::string& file)
{
    const fs::path parent = fs::path(file).parent_path();
    return parent.empty() || EnsureDir(parent.string());
}

std::string TAppPaths::DataFile(const std::string& relative)
{
    std::error_code error;
    std::vector<fs::path> roots;
    if (QCoreApplication::instance() != nullptr) {
        const fs::path programDir = QCoreApplication::applicationDirPath().toStdString();
        roots.push_back(programDir);
        roots.push_back(programDir / ".." / "share" / "pivrel");
    }
    if (const fs::path source = SourceDataDir(); !source.empty())
        roots.push_back(source);
    for (const auto& root : roots) {
        const fs::path candidate = (root / relative).lexically_normal();
        if (fs::is_regular_file(candidate, error) || fs::is_directory(candidate, error))
            return candidate.string();
    }
    return {};
}

} // namespace pivrel::app
