#include "tools/ScriptCommands.h"

#include "base/FileRead.h"
#include "base/PollEventLoop.h"
#include "engine/ScriptRunner.h"
#include "script/CallAddress.h"
#include "script/Compiler.h"
#include "script/ScriptURL.h"

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <istream>
#include <map>
#include <ostream>

#include "tools/CliArgs.h"
#include "tools/CliCommands.h"
#include "tools/Json.h"

namespace pivrel::tools {

namespace {

    constexpr int kExitScriptError = 1;

    int WmlsUsage(std::ostream& err, const std::string& reason)
    {
        err << "pivrel-cli: " << reason << "\n" << UsageText();
        return kExitUsage;
    }

    int Compile(const TCommandArgs& parsed, std::ostream& out, std::ostream& err)
    {
        const std::string& path = parsed.Positional[1];
        std::string text;
        const base::TFileReadResult read
            = base::ReadLocalFile(path, text, { .Kinds = base::TFileKinds::AnyButDirectory });
        if (!read) {
            err << "pivrel-cli: cannot read '" << path << "': " << read.Reason() << "\n";
            return kExitFileError;
        }
        const script::TCompileResult r = script::Compile(text);
        if (!r.Ok) {
            err << path << ":" << r.Line << ": " << r.Error.substr(r.Error.find(": ") + 2) << "\n";
            return kExitScriptError;
        }
        const std::string output = parsed.Last("-o").value_or(path + "c");
        std::ofstream file(output, std::ios::binary | std::ios::trunc);
        file << script::EncodeUnit(r.Unit);
        file.close();
        if (!file) {
            err << "pivrel-cli: cannot write '" << output << "'\n";
            return kExitFileError;
        }
        std::string line;
        TJsonObject json(line);
        json.String("compiled", path).String("output", output);
        json.Int("functions", static_cast<std::int64_t>(r.Unit.Functions.size()));
        json.Close();
        out << line << "\n";
        return kExitOk;
    }

    // Answers the script's dialogs from the command line and records them as output lines.
    class TCliHost : public script::TScriptHost
    {
    public:
        TCliHost(engine::TScriptUnitLoader& loader, std::ostream& out, std::istream& in)
            : m_loader(loader)
            , m_out(out)
            , m_in(in)
        { }

        std::map<std::string, std::string> Vars;
        std::deque<std::string> Answers;
        bool AnswersFromInput = false;
        std::string Card;

        std::string GetVar(const std::string& name) override { return Vars[name]; }

        void SetVar(const std::string& name, const std::string& value) override { Vars[name] = value; }

        std::string CurrentCard() override { return Card; }

        std::string Prompt(const std::string& message, const std::string& defaultInput) override
        {
            const std::string answer = NextAnswer().value_or(defaultInput);
            Report("prompt", message, answer);
            return answer;
        }

        bool Confirm(const std::string& message, const std::string& ok, const std::string&) override
        {
            const std::string answer = NextAnswer().value_or("");
            const bool yes
                = answer == ok || answer == "yes" || answer == "y" || answer == "true" || answer == "1";
            Report("confirm", message, yes ? "true" : "false");
            return yes;
        }

        void Alert(const std::string& message) override { Report("alert", message, ""); }

        std::shared_ptr<const script::TUnit> LoadUnit(const std::string& url, std::string& error) override
        {
            return m_loader.Load(url, error);
        }

        bool LoadString(
            const std::string& url, const std::string& type, std::string& text, int& code) override
        {
            return m_loader.LoadText(url, type, text, code);
        }

    private:
        std::optional<std::string> NextAnswer()
        {
            if (!Answers.empty()) {
                std::string a = Answers.front();
                Answers.pop_front();
                return a;
            }
            std::string line;
            if (AnswersFromInput && std::getline(m_in, line)) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return line;
            }
            return std::nullopt;
        }

        void Report(const char* kind, const std::string& message, const std::string& answer)
        {
            std::string line;
            TJsonObject json(line);
            json.String("dialog", kind).String("message", message);
            if (std::string_view(kind) != "alert")
                json.String("answer", answer);
            json.Close();
            m_out << line << "\n";
        }

        engine::TScriptUnitLoader& m_loader;
        std::ostream& m_out;
        std::istream& m_in;
    };

    const char* TypeName(script::TType type)
    {
        static constexpr const char* names[] = { "integer", "float", "string", "boolean", "invalid" };
        return names[static_cast<int>(type)];
    }

    // A plain path becomes a file address, so that relative addresses inside resolve as files.
    std::string AbsoluteAddress(const std::string& address)
    {
        if (address.find("://") != std::string::npos || address.compare(0, 5, "file:") == 0)
            return address;
        std::error_code ignored;
        return "file://" + std::filesystem::absolute(address, ignored).string();
    }

    void WriteOutcome(std::ostream& out, const script::TInvocation& r)
    {
        std::string line;
        TJsonObject result(line);
        const std::optional<std::u32string> text = script::ToString(r.Result);
        if (text)
            result.String("result", script::ToUtf8(*text));
        else
            result.Null("result");
        result.String("type", TypeName(r.Result.Type));
        result.Close();
        line += "\n";
        for (const auto& [name, value] : r.VariablesSet) {
            TJsonObject set(line);
            set.String("setVar", name).String("value", value);
            set.Close();
            line += "\n";
        }
        TJsonObject nav(line);
        nav.String("navigation",
            r.Navigation == script::TNavigation::Go         ? "go"
                : r.Navigation == script::TNavigation::Prev ? "prev"
                                                            : "none");
        if (r.Navigation == script::TNavigation::Go)
            nav.String("url", r.GoUrl);
        nav.Bool("newContext", r.NewContext).Bool("refresh", r.Refresh);
        nav.Close();
        out << line << "\n";
    }

    int Run(const TCommandArgs& parsed, std::ostream& out, std::ostream& err, std::istream& in)
    {
        const std::string address = AbsoluteAddress(parsed.Positional[1]);
        const std::optional<script::TCallAddress> call = script::ParseCallAddress(address);
        const std::optional<std::vector<script::TValue>> args
            = call ? script::ParseCallArguments(call->Arguments) : std::nullopt;
        if (!call || !args)
            return WmlsUsage(
                err, "'" + parsed.Positional[1] + "' does not name a call such as file.wmls#f(1)");
        base::TPollEventLoop loop;
        engine::TScriptUnitLoader loader(loop);
        TCliHost host(loader, out, in);
        host.Card = call->Unit;
        for (const auto& [name, value] : parsed.Options) {
            if (name == "--answer")
                host.Answers.push_back(value);
            if (name != "--set")
                continue;
            const std::size_t eq = value.find('=');
            if (eq == std::string::npos || eq == 0)
                return WmlsUsage(err, "--set needs NAME=VALUE");
            host.Vars[value.substr(0, eq)] = value.substr(eq + 1);
        }
        host.AnswersFromInput = !parsed.Has("--answer");
        std::string error;
        std::shared_ptr<const script::TUnit> unit = loader.Load(call->Unit, error);
        if (!unit) {
            err << "pivrel-cli: " << error << "\n";
            return kExitScriptError;
        }
        script::TLimits limits;
        if (const std::optional<std::string> budget = parsed.Last("--max-instructions")) {
            char* end = nullptr;
            limits.Instructions = std::strtoull(budget->c_str(), &end, 10);
            if (budget->empty() || *end != '\0' || limits.Instructions == 0)
                return WmlsUsage(err, "--max-instructions needs a positive number");
        }
        const script::TInvocation r = script::Invoke(unit, call->Unit, call->Function, *args, host, limits);
        if (!r.Ok) {
            err << "pivrel-cli: " << r.Error << "\n";
            return kExitScriptError;
        }
        WriteOutcome(out, r);
        return kExitOk;
    }

} // namespace

int RunWmls(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in)
{
    const std::vector<TOptionRule> rules = { { "-o", true }, { "--set", true }, { "--answer", true },
        { "--max-instructions", true }, { "--help", false } };
    const TCommandArgs parsed = ParseCommandArgs(args, rules);
    if (!parsed.Error.empty())
        return WmlsUsage(err, parsed.Error);
    if (parsed.Positional.size() != 2 || (parsed.Positional[0] != "compile" && parsed.Positional[0] != "run"))
        return WmlsUsage(err, "wmls needs 'compile FILE' or 'run ADDRESS#function(arguments)'");
    if (parsed.Positional[0] == "compile")
        return Compile(parsed, out, err);
    return Run(parsed, out, err, in);
}

} // namespace pivrel::tools
