#include "app/CommandLine.h"

#include "base/Version.h"

#include "app/fMainForm.h"

#include <cstdlib>
#include <filesystem>

namespace pivrel::app {

namespace {

    bool IsSizeOption(const std::string& argument)
    {
        return argument == "--size" || argument == "--viewport";
    }

    // Whether the text names a local path rather than a host: it starts where only a path can.
    bool LooksLikePath(const std::string& text)
    {
        return text.starts_with("/") || text.starts_with("~/") || text == "~" || text.starts_with("./")
            || text.starts_with("../");
    }

    std::string ExpandHome(const std::string& text)
    {
        const char* home = std::getenv("HOME");
        if ((text == "~" || text.starts_with("~/")) && home != nullptr && *home != '\0')
            return std::string(home) + text.substr(1);
        return text;
    }

} // namespace

bool ParseSize(const std::string& text, int& width, int& height)
{
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos || x == 0 || x + 1 >= text.size() || text.size() > 11)
        return false;
    try {
        std::size_t used = 0;
        width = std::stoi(text.substr(0, x), &used);
        if (used != x)
            return false;
        height = std::stoi(text.substr(x + 1), &used);
        if (used != text.size() - x - 1)
            return false;
    } catch (const std::exception&) {
        return false;
    }
    return width > 0 && height > 0 && width <= 10000 && height <= 10000;
}

std::optional<TWindowOptions> ParseWindowArguments(
    const std::vector<std::string>& arguments, std::string& error)
{
    error.clear();
    TWindowOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.Action = TWindowOptions::TAction::Help;
            return options;
        }
        if (argument == "--version") {
            options.Action = TWindowOptions::TAction::Version;
            return options;
        }
        if (IsSizeOption(argument)) {
            const bool viewport = argument == "--viewport";
            if (i + 1 >= arguments.size()
                || !ParseSize(arguments[i + 1], viewport ? options.ViewportWidth : options.Width,
                    viewport ? options.ViewportHeight : options.Height)) {
                error = "pivrel: " + argument + " needs WxH";
                return std::nullopt;
            }
            ++i;
        } else if (argument.size() > 1 && argument[0] == '-') {
            error = "pivrel: unknown option '" + argument + "'";
            return std::nullopt;
        } else {
            options.Address += (options.Address.empty() ? "" : " ") + argument;
        }
    }
    return options;
}

std::string UsageText()
{
    return "usage: pivrel [--size WxH] [--viewport WxH] [ADDRESS]\n"
           "       pivrel --screenshot OUT.png [--size WxH] [--viewport WxH] [--card ID] ADDRESS\n"
           "       pivrel --print-pdf OUT.pdf [--card ID] ADDRESS\n"
           "       pivrel --help | --version\n"
           "ADDRESS is an http:// or file:// address or the path of a local deck.\n"
           "--size sizes the whole window, --viewport the card area.\n";
}

std::string VersionText()
{
    return std::string(base::kInternalName) + " " + std::string(base::kProductVersion) + " (file version "
        + std::string(base::kFileVersion) + ")\n";
}

std::string AddressFromArgument(const std::string& argument)
{
    if (argument.find("://") != std::string::npos || argument.rfind("file:", 0) == 0)
        return argument;
    std::error_code failed;
    const std::filesystem::path path(ExpandHome(argument));
    if (!LooksLikePath(argument) && !std::filesystem::is_regular_file(path, failed))
        return argument;
    const std::filesystem::path absolute = std::filesystem::absolute(path, failed);
    return failed ? argument : "file://" + absolute.lexically_normal().string();
}

} // namespace pivrel::app
