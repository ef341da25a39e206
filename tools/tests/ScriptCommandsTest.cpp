#include "tools/ScriptCommands.h"

#include "base/FileRead.h"
#include "script/Bytecode.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/LoopbackHttpServer.h"
#include "tools/tests/CliRun.h"

namespace pivrel::tools {
namespace {

    std::string WriteTempFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = testing::TempDir() + "pivrel_wmls_" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // A compiled unit with one extern function, twice(x).
    struct TUnitBytes {
        std::string Bytes;

        TUnitBytes()
        {
            script::TUnit unit;
            // load_var_s 0, const 2 (constant 0), mul, return
            unit.Constants.push_back(script::TValue::Integer(2));
            unit.Functions.push_back({ 1, 0, std::string("\xE0\x50\x22\x3A", 4) });
            unit.Names.push_back({ 0, "twice" });
            Bytes = script::EncodeUnit(unit);
        }
    };

    const char* kScript = "extern function f(a, b) {\n"
                          "  var n = Dialogs.prompt(\"Name?\", \"anon\");\n"
                          "  WMLBrowser.setVar(\"greeting\", WMLBrowser.getVar(\"hello\") + \" \" + n);\n"
                          "  if (Dialogs.confirm(\"Go?\", \"OK\", \"No\")) WMLBrowser.go(\"next.wml\");\n"
                          "  return a * b;\n"
                          "}\n";

    TEST(WmlsCommand, RunPrintsResultVariablesAndNavigation)
    {
        const std::string path = WriteTempFile("run.wmls", kScript);
        const std::string dir = path.substr(0, path.rfind('/') + 1);

        struct TCase {
            std::vector<std::string> Args;
            std::string Out;
        };

        const std::vector<TCase> cases = {
            { { "wmls", "run", path + "#f(6, 7)", "--set", "hello=Hi", "--answer", "Pat", "--answer", "OK" },
                "{\"dialog\":\"prompt\",\"message\":\"Name?\",\"answer\":\"Pat\"}\n"
                "{\"dialog\":\"confirm\",\"message\":\"Go?\",\"answer\":\"true\"}\n"
                "{\"result\":\"42\",\"type\":\"integer\"}\n"
                "{\"setVar\":\"greeting\",\"value\":\"Hi Pat\"}\n"
                "{\"navigation\":\"go\",\"url\":\"file://"
                    + dir + "next.wml\",\"newContext\":false,\"refresh\":false}\n" },
            { { "wmls", "run", path + "#f('x', 2)", "--answer", "Kim" },
                "{\"dialog\":\"prompt\",\"message\":\"Name?\",\"answer\":\"Kim\"}\n"
                "{\"dialog\":\"confirm\",\"message\":\"Go?\",\"answer\":\"false\"}\n"
                "{\"result\":null,\"type\":\"invalid\"}\n"
                "{\"setVar\":\"greeting\",\"value\":\" Kim\"}\n"
                "{\"navigation\":\"none\",\"newContext\":false,\"refresh\":false}\n" },
        };
        for (const TCase& c : cases) {
            const TRun run = RunArgs(c.Args);
            EXPECT_EQ(run.Status, 0) << run.Err;
            EXPECT_EQ(run.Out, c.Out);
        }
    }

    TEST(WmlsCommand, AnswersComeFromInputLinesWithoutOptions)
    {
        const std::string path = WriteTempFile("input.wmls", kScript);
        std::istringstream in("Lee\r\nOK\n");
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunWmls({ "wmls", "run", path + "#f(1, 1)" }, out, err, in), 0) << err.str();
        EXPECT_NE(out.str().find("\"answer\":\"Lee\""), std::string::npos) << out.str();
        EXPECT_NE(out.str().find("\"navigation\":\"go\""), std::string::npos) << out.str();
    }

    TEST(WmlsCommand, CompileWritesBytecodeThatRunsTheSame)
    {
        const std::string source = WriteTempFile("compile.wmls", kScript);
        const std::string output = source + "c";
        const TRun compiled = RunArgs({ "wmls", "compile", source, "-o", output });
        ASSERT_EQ(compiled.Status, 0) << compiled.Err;
        std::string bytes;
        ASSERT_TRUE(base::ReadLocalFile(output, bytes, {}));
        EXPECT_TRUE(script::LoadUnit(bytes).Ok);
        const TRun run = RunArgs({ "wmls", "run", output + "#f(2, 3)", "--answer", "x" });
        EXPECT_NE(run.Out.find("{\"result\":\"6\",\"type\":\"integer\"}"), std::string::npos)
            << run.Out << run.Err;
    }

    TEST(WmlsCommand, FailuresExitWithTheReason)
    {
        const std::string bad = WriteTempFile("bad.wmls", "extern function f() {\n  return y;\n}\n");
        const std::string good = WriteTempFile("good.wmls", "extern function f() { Lang.abort(\"nope\"); }");

        struct TCase {
            std::vector<std::string> Args;
            int Status;
            std::string Err;
        };

        const std::vector<TCase> cases = {
            { { "wmls", "compile", bad }, 1, bad + ":2: variable 'y' used before its declaration\n" },
            { { "wmls", "run", bad + "#f()" }, 1,
                "pivrel-cli: the script does not compile: line 2: variable 'y' used before its "
                "declaration\n" },
            { { "wmls", "run", good + "#f()" }, 1, "pivrel-cli: the script aborted: nope\n" },
            { { "wmls", "run", good + "#g()" }, 1, "pivrel-cli: the script has no extern function g\n" },
            { { "wmls", "run", good }, 64,
                "pivrel-cli: '" + good + "' does not name a call such as file.wmls#f(1)\n" },
            { { "wmls", "compile", good + ".none" }, 2,
                "pivrel-cli: cannot read '" + good + ".none': No such file or directory\n" },
            { { "wmls", "frobnicate", good }, 64,
                "pivrel-cli: wmls needs 'compile FILE' or 'run ADDRESS#function(arguments)'\n" },
            { { "wmls", "run", good + "#f()", "--set", "novalue" }, 64,
                "pivrel-cli: --set needs NAME=VALUE\n" },
        };
        for (const TCase& c : cases) {
            const TRun run = RunArgs(c.Args);
            EXPECT_EQ(run.Status, c.Status) << c.Args[1];
            EXPECT_EQ(run.Err.substr(0, c.Err.size()), c.Err);
        }
    }

    TEST(WmlsCommand, RunFetchesUnitsOverHttpAndCallsAcrossThem)
    {
        testsupport::TLoopbackHttpServer server;
        server.AddResponse(
            testsupport::MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/vnd.wap.wmlscript" },
                "use url lib \"lib.wmlsc\"; extern function f(x) { return lib#twice(x) + 1; }"));
        TUnitBytes lib;
        server.AddResponse(testsupport::MakeResponse(
            "HTTP/1.0 200 OK", { "Content-Type: application/vnd.wap.wmlscriptc" }, lib.Bytes));
        const TRun run = RunArgs({ "wmls", "run", server.Url("/s/main.wmls") + "#f(20)" });
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.Out.find("{\"result\":\"41\",\"type\":\"integer\"}"), 0U) << run.Out;
        ASSERT_EQ(server.Requests().size(), 2U);
        EXPECT_EQ(server.Requests()[1].substr(0, 20), "GET /s/lib.wmlsc HTT");
    }

} // namespace
} // namespace pivrel::tools
