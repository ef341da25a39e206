#pragma once

#include "base/Version.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::tools {

// A request or navigation that failed, or ran out of time.
inline constexpr int kExitRequestFailed = 1;

// How the program introduces itself to servers.
inline constexpr std::string_view kShellAgent = base::kAgent;
inline constexpr std::string_view kShellAccept = "text/x-wap,wml,*/*";

// fetch URL: one GET; response header lines to err, the body to out or the -o file.
int RunFetch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

enum class TKeepDeck { No, AtExit };

// elements URL_OR_FILE: a navigation through the engine, pictures included, then the deck's
// JSON Lines. With TKeepDeck::AtExit the engine and its deck are left standing for the end of the
// process instead of being taken apart.
int RunEngineElements(
    const std::vector<std::string>& args, std::ostream& out, std::ostream& err, TKeepDeck keep);

// wbmp FILE: decodes a picture as a card would and writes it as a portable bitmap.
int RunWbmp(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The directory of the temporary files: pivrelHome/Cache when pivrelHome is set, else
// xdgCacheHome/pivrel, else home/.cache/pivrel; a null or empty value counts as unset, and so does
// a relative XDG_CACHE_HOME. Empty when none applies (the system's temporary directory then).
std::string CacheDirFor(const char* pivrelHome, const char* xdgCacheHome, const char* home);
// CacheDirFor with PIVREL_HOME, XDG_CACHE_HOME and HOME.
std::string CliCacheDir();

// True when the argument names an address (a scheme followed by "://", or "file:") rather than
// a path on the local disk.
bool IsAddress(std::string_view argument);
// The file:// address of a local path, made absolute against the working directory.
std::string FileAddress(const std::string& path);

// The reason the window gives for a failed navigation with this status code.
std::string ConnectFailedReason(int statusCode);

} // namespace pivrel::tools
