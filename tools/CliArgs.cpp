#include "tools/CliArgs.h"

namespace pivrel::tools {

namespace {

    const TOptionRule* FindRule(const std::vector<TOptionRule>& rules, std::string_view name)
    {
        for (const TOptionRule& rule : rules) {
            if (rule.Name == name)
                return &rule;
        }
        return nullptr;
    }

} // namespace

bool TCommandArgs::Has(std::string_view name) const
{
    for (const auto& option : Options) {
        if (option.first == name)
            return true;
    }
    return false;
}

std::optional<std::string> TCommandArgs::Last(std::string_view name) const
{
    std::optional<std::string> value;
    for (const auto& option : Options) {
        if (option.first == name)
            value = option.second;
    }
    return value;
}

std::string TCommandArgs::CheckPositional(std::size_t count) const
{
    if (!Error.empty())
        return Error;
    if (Positional.size() < count)
        return "missing argument";
    if (Positional.size() > count)
        return "unexpected argument '" + Positional[count] + "'";
    return {};
}

TCommandArgs ParseCommandArgs(const std::vector<std::string>& args, const std::vector<TOptionRule>& rules)
{
    TCommandArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.Positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help") {
            parsed.Help = true;
            continue;
        }
        const TOptionRule* rule = FindRule(rules, arg);
        if (!rule) {
            parsed.Error = "unknown option '" + arg + "'";
            return parsed;
        }
        if (rule->TakesValue && i + 1 >= args.size()) {
            parsed.Error = "option '" + arg + "' needs a value";
            return parsed;
        }
        parsed.Options.emplace_back(arg, rule->TakesValue ? args[++i] : std::string());
    }
    return parsed;
}

} // namespace pivrel::tools
