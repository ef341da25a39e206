#include "base/FileRead.h"
#include "script/tests/FakeHost.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/TempDir.h"

// Cross-checks against the independent compiler and disassembler of the kannel package: the same
// script compiled by either gives the same results here, and our bytecode reads back in their
// disassembler.

namespace pivrel::script::test {
namespace {

    constexpr const char* kWmlsc = "/usr/bin/wmlsc";
    constexpr const char* kWmlsdasm = "/usr/bin/wmlsdasm";

    std::string ReadAll(const std::string& path)
    {
        std::string bytes;
        base::ReadLocalFile(path, bytes, {});
        return bytes;
    }

    // Runs a command with its output captured; returns its exit status.
    int RunCommand(const std::string& command, std::string& output)
    {
        output.clear();
        FILE* pipe = popen((command + " 2>&1").c_str(), "r");
        if (!pipe)
            return -1;
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
            output.append(buf, n);
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    struct TCase {
        const char* Source;
        const char* Function;
        std::vector<TValue> Args;
    };

    const std::vector<TCase>& Cases()
    {
        static const std::vector<TCase> cases = {
            { "extern function f(a) { var s = 0; for (var i = 0; i < a; i++) { s += i; } return s; }", "f",
                { TValue::Integer(100) } },
            { "extern function f(a, b) { return a > 3 && b < 2 || !a; }", "f",
                { TValue::Integer(5), TValue::Integer(1) } },
            { "extern function f(a, b) { return a > 3 && b < 2 || !a; }", "f",
                { TValue::Integer(0), TValue::Integer(9) } },
            { "extern function f(a) { var c = 1; while (c < a) { c *= 3; if (c == 27) break; else continue; "
              "} return c; }",
                "f", { TValue::Integer(1000) } },
            { "extern function f(x) { return typeof x + \":\" + isvalid x + \":\" + (x ? \"t\" : \"f\"); }",
                "f", { TValue::FromFloat(2.5F) } },
            { "extern function f(a) { var c = a div 3 % 5 << 2 >> 1 >>> 1 & 7 | 8 ^ 3; c = ~c; return -c; }",
                "f", { TValue::Integer(1234) } },
            { "extern function f(s) { return String.format(\"%5.1f|\", Float.sqrt(2)) + String.elementAt(s, "
              "1, \",\")"
              " + Lang.parseInt(\" 42x\") + URL.escapeString(\"a b/c\"); }",
                "f", { TValue::String(U"x,y,z") } },
            { "extern function f(n) { return fib(n) + \"/\" + g(); } function fib(n) { if (n < 2) return n;"
              " return fib(n - 1) + fib(n - 2); } function g() { var a = 1.5; a -= 0.25; a++; --a; return a "
              "* 2; }",
                "f", { TValue::Integer(15) } },
            { "extern function f() { var s = \"\"; for (var i = 0; i < 40; i++) { if (i % 3 == 0) continue;"
              " s = s + i + \",\"; } return String.length(s) + \":\" + s; }",
                "f", {} },
            { "extern function f() { WMLBrowser.setVar(\"v\", 7 * 6); return WMLBrowser.getVar(\"v\") + "
              "\"!\"; }",
                "f", {} },
        };
        return cases;
    }

    TEST(Kannel, ItsBytecodeRunsHereWithOurResults)
    {
        if (access(kWmlsc, X_OK) != 0)
            GTEST_SKIP() << "kannel's wmlsc is not installed (apt-get install kannel); cross-check skipped";
        testsupport::TTempDir dir("pivrel-wmls");
        ASSERT_FALSE(dir.Path().empty());
        int n = 0;
        for (const TCase& c : Cases()) {
            const std::string source = dir.Path() + "/case" + std::to_string(++n) + ".wmls";
            std::ofstream(source) << c.Source << "\n";
            std::string output;
            ASSERT_EQ(RunCommand(std::string(kWmlsc) + " '" + source + "'", output), 0) << output << c.Source;
            const TLoadResult theirs = LoadUnit(ReadAll(source + "c"));
            ASSERT_TRUE(theirs.Ok) << theirs.Error << " for " << c.Source;
            TFakeHost hostTheirs;
            const TInvocation a
                = Invoke(std::make_shared<TUnit>(theirs.Unit), kUnitUrl, c.Function, c.Args, hostTheirs);
            TFakeHost hostOurs;
            const TInvocation b = RunScript(c.Source, c.Function, c.Args, hostOurs);
            ASSERT_TRUE(a.Ok) << a.Error << " for " << c.Source;
            ASSERT_TRUE(b.Ok) << b.Error << " for " << c.Source;
            EXPECT_EQ(Describe(a.Result), Describe(b.Result)) << c.Source;
            EXPECT_EQ(hostTheirs.Vars, hostOurs.Vars) << c.Source;
        }
    }

    TEST(Kannel, OurBytecodeDisassembles)
    {
        if (access(kWmlsdasm, X_OK) != 0)
            GTEST_SKIP()
                << "kannel's wmlsdasm is not installed (apt-get install kannel); cross-check skipped";
        testsupport::TTempDir dir("pivrel-wmls");
        ASSERT_FALSE(dir.Path().empty());
        int n = 0;
        for (const TCase& c : Cases()) {
            const TCompileResult r = Compile(c.Source);
            ASSERT_TRUE(r.Ok) << r.Error;
            const std::string path = dir.Path() + "/ours" + std::to_string(++n) + ".wmlsc";
            std::ofstream(path, std::ios::binary) << EncodeUnit(r.Unit);
            std::string output;
            EXPECT_EQ(RunCommand(std::string(kWmlsdasm) + " -c -f -n '" + path + "'", output), 0) << output;
            EXPECT_NE(output.find("Function 0 <f>:"), std::string::npos) << output;
            EXPECT_EQ(output.find("invalid"), std::string::npos) << output;
            EXPECT_EQ(output.find("error"), std::string::npos) << output;
        }
    }

} // namespace
} // namespace pivrel::script::test
