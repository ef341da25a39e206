#pragma once

#include <string_view>

namespace pivrel::engine {

// The maker's web server, home of the start page and of the version check.
inline constexpr std::string_view kMakerWebServer = "www.pivrel.example";
// The page whose deck announces the newest version of the program.
inline constexpr std::string_view kUpgradePath = "/pivrel/upg.wml";

} // namespace pivrel::engine
