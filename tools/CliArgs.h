#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pivrel::tools {

// One option a subcommand knows, spelled with its dashes ("-o", "--timeout").
struct TOptionRule {
    std::string_view Name;
    bool TakesValue = false;
};

// The command line after the subcommand: positional arguments and the options the subcommand
// knows, in the order given.
struct TCommandArgs {
    std::vector<std::string> Positional;
    std::vector<std::pair<std::string, std::string>> Options;
    // Set on the first unknown option or missing value; the rest is then left unread.
    std::string Error;
    bool Help = false;

    bool Has(std::string_view name) const;
    // The value given last, as later options override earlier ones.
    std::optional<std::string> Last(std::string_view name) const;
    // Error, or a complaint when there are not exactly count positional arguments; empty when
    // everything is in order.
    std::string CheckPositional(std::size_t count) const;
};

// Reads args[1...] (args[0] is the subcommand). Options may stand anywhere and a value is always
// the next argument, even one that starts with a dash; "--" ends the options, and "-" alone is a
// positional argument.
TCommandArgs ParseCommandArgs(const std::vector<std::string>& args, const std::vector<TOptionRule>& rules);

} // namespace pivrel::tools
