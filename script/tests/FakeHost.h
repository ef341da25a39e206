#pragma once

#include "script/Compiler.h"
#include "script/Interpreter.h"

#include <deque>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pivrel::script::test {

// A browser stand-in: variables in a map, dialog answers preset, other units compiled from text.
class TFakeHost : public TScriptHost
{
public:
    std::map<std::string, std::string> Vars;
    std::string Card = "http://h/app/deck.wml#main";
    std::deque<std::string> PromptAnswers;
    std::deque<bool> ConfirmAnswers;
    std::vector<std::string> Shown;
    std::map<std::string, std::string> Sources; // address -> script text
    std::map<std::string, std::string> Texts; // address -> loadString text
    int LoadCount = 0;
    int StopAfterChecks = -1;

    std::string GetVar(const std::string& name) override { return Vars[name]; }

    void SetVar(const std::string& name, const std::string& value) override { Vars[name] = value; }

    std::string CurrentCard() override { return Card; }

    std::string Prompt(const std::string& message, const std::string& defaultInput) override
    {
        Shown.push_back("prompt:" + message);
        if (PromptAnswers.empty())
            return defaultInput;
        std::string a = PromptAnswers.front();
        PromptAnswers.pop_front();
        return a;
    }

    bool Confirm(const std::string& message, const std::string&, const std::string&) override
    {
        Shown.push_back("confirm:" + message);
        if (ConfirmAnswers.empty())
            return false;
        const bool a = ConfirmAnswers.front();
        ConfirmAnswers.pop_front();
        return a;
    }

    void Alert(const std::string& message) override { Shown.push_back("alert:" + message); }

    std::shared_ptr<const TUnit> LoadUnit(const std::string& url, std::string& error) override
    {
        ++LoadCount;
        const auto it = Sources.find(url);
        if (it == Sources.end()) {
            error = "not found";
            return nullptr;
        }
        TCompileResult r = Compile(it->second);
        if (!r.Ok) {
            error = r.Error;
            return nullptr;
        }
        return std::make_shared<TUnit>(std::move(r.Unit));
    }

    bool LoadString(const std::string& url, const std::string&, std::string& text, int& code) override
    {
        const auto it = Texts.find(url);
        if (it == Texts.end()) {
            code = 404;
            return false;
        }
        text = it->second;
        return true;
    }

    bool ShouldStop() override { return StopAfterChecks >= 0 && StopAfterChecks-- == 0; }
};

inline const char* kUnitUrl = "http://h/app/calc.wmls";

// Compiles source and calls its extern function name; a compile error comes back as the error.
inline TInvocation RunScript(const std::string& source, const std::string& name, std::vector<TValue> args,
    TScriptHost& host, const TLimits& limits = {})
{
    TCompileResult r = Compile(source);
    if (!r.Ok) {
        TInvocation failed;
        failed.Error = r.Error;
        return failed;
    }
    return Invoke(std::make_shared<TUnit>(std::move(r.Unit)), kUnitUrl, name, std::move(args), host, limits);
}

// typeof and text of a value, "invalid" for invalid: "0:12", "1:2.5", "2:abc", "3:true", "4:".
inline std::string Describe(const TValue& v)
{
    const std::optional<std::u32string> s = ToString(v);
    return std::to_string(static_cast<int>(v.Type)) + ":" + (s ? ToUtf8(*s) : std::string());
}

// The value of one expression, described.
inline std::string Eval(const std::string& expression)
{
    TFakeHost host;
    const TInvocation r = RunScript("extern function f() { return " + expression + "; }", "f", {}, host);
    return r.Ok ? Describe(r.Result) : "error:" + r.Error;
}

// One expression and what it gives, as "typeof:text".
struct TCase {
    const char* Expression;
    const char* Expected;
};

inline void ExpectAll(const std::vector<TCase>& cases)
{
    for (const TCase& c : cases)
        EXPECT_EQ(Eval(c.Expression), c.Expected) << c.Expression;
}

} // namespace pivrel::script::test
