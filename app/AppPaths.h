#pragma once

#include <string>

namespace pivrel::app {

// Where the per-user files live. They sit in the user's configuration directory
// ($XDG_CONFIG_HOME/pivrel, normally ~/.config/pivrel) and the cache in the user's cache
// directory; PIVREL_HOME, when set, puts all of them (and the cache as its "Cache" folder) into
// that one directory. Nothing here creates a directory: writers call EnsureParentDir first, so
// that a run which changes nothing leaves no trace.
class TAppPaths
{
public:
    static std::string ConfigDir();
    // The engine's "Cache" directory for fetched bodies; no trailing separator.
    static std::string CacheDir();
    static std::string SettingsFile(); // "Pivrel.ini"
    static std::string BookmarkFile(); // "bookmarks.dat"
    static std::string RecentFile(); // "Recent.lst"
    static std::string TypedLocationsFile(); // "ManLocations.lst"
    static std::string OpenLocationsFile(); // "Locations.lst"
    static std::string CookieFile(); // "cookies.txt"

    // Creates the directory and its missing parents with mode 0700; true when it exists after.
    static bool EnsureDir(const std::string& dir);
    // Creates the directory that is to hold the file.
    static bool EnsureParentDir(const std::string& file);

    // A file shipped with the program ("Help/Help.wml", "pics/skin1.bmp"): looked for beside the
    // program, in its installed data directory (../share/pivrel) and in the source tree's data
    // folder of a build tree. Empty when none holds it.
    static std::string DataFile(const std::string& relative);
};

} // namespace pivrel::app
