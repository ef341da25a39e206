#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pivrel::app {

// Exit status of a command line that cannot be understood.
inline constexpr int kExitUsage = 64;

// pivrel [--size WxH] [--viewport WxH] [ADDRESS], pivrel --help, pivrel --version
struct TWindowOptions {
    enum class TAction { Open, Help, Version };
    TAction Action = TAction::Open;
    // The words that are no option, joined with blanks: a path may hold blanks unquoted.
    std::string Address;
    // 0 keeps the design size. Size is the whole window's, Viewport the card area's.
    int Width = 0;
    int Height = 0;
    int ViewportWidth = 0;
    int ViewportHeight = 0;
};

// Reads the window's arguments; no value, and error set, when they cannot be understood.
std::optional<TWindowOptions> ParseWindowArguments(
    const std::vector<std::string>& arguments, std::string& error);

// "WxH" with both numbers from 1 to 10000.
bool ParseSize(const std::string& text, int& width, int& height);

std::string UsageText();
// "Pivrel 2.2" and the build's version.
std::string VersionText();

// What the location box and the command line make of a text: an address with a scheme stays as
// it is; a path ("/home/me/deck.wml", "~/deck.wml", "./deck.wml", or a name of a file in the
// current directory) becomes a file:// address of its absolute path; anything else ("wap.example")
// stays as typed for the browser to take as a host.
std::string AddressFromArgument(const std::string& argument);

} // namespace pivrel::app
