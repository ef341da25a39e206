#pragma once

#include <cctype>
#include <string_view>

namespace pivrel::engine {

// The maker's web server, home of the start page and of the version check.
inline constexpr std::string_view kMakerWebServer = "www.pivrel.example";
// The page whose deck announces the newest version of the program.
inline constexpr std::string_view kUpgradePath = "/pivrel/upg.wml";

// Whether an announced version can be read as "M.m": digits at the first and third places.
inline bool IsReadableVersion(std::string_view announced)
{
    const auto digitAt = [announced](std::size_t place) {
        return place < announced.size() && std::isdigit(static_cast<unsigned char>(announced[place]));
    };
    return digitAt(0) && digitAt(2);
}

} // namespace pivrel::engine
