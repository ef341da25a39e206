#include "script/tests/FakeHost.h"

#include <gtest/gtest.h>

namespace pivrel::script::test {
namespace {

    // A unit of one extern function "f" with the given code, one integer constant and the given
    // numbers of arguments and locals.
    std::string UnitWithCode(const std::string& code, int arguments = 0, int locals = 1)
    {
        TUnit unit;
        unit.Constants.push_back(TValue::Integer(5));
        unit.Functions.push_back(
            { static_cast<std::uint8_t>(arguments), static_cast<std::uint8_t>(locals), code });
        unit.Names.push_back({ 0, "f" });
        return EncodeUnit(unit);
    }

    std::string Bytes(std::initializer_list<int> values)
    {
        std::string s;
        for (int v : values)
            s.push_back(static_cast<char>(v));
        return s;
    }

    TEST(Verifier, RefusesEveryOutOfRangeReference)
    {
        const std::vector<std::pair<std::string, std::string>> cases = {
            { Bytes({ 0xE1 }), "variable 1 out of range" }, // load_var_s 1 with one local
            { Bytes({ 0x0F, 0x05 }), "variable 5 out of range" },
            { Bytes({ 0x10, 0x02 }), "variable 2 out of range" },
            { Bytes({ 0x1D, 0x09 }), "variable 9 out of range" },
            { Bytes({ 0x51 }), "constant 1 out of range" },
            { Bytes({ 0x13, 0x01, 0x00 }), "constant 256 out of range" },
            { Bytes({ 0x61 }), "function 1 out of range" },
            { Bytes({ 0x09, 0x03 }), "function 3 out of range" },
            { Bytes({ 0x68, 0x09 }), "no library function 9.0" },
            { Bytes({ 0x0A, 0x20, 0x00 }), "no library function 0.32" },
            { Bytes({ 0x0C, 0x00, 0x00, 0x00 }), "an external call names a constant that is not a string" },
            { Bytes({ 0x85 }), "jump out of the function" },
            { Bytes({ 0xA1 }), "jump out of the function" },
            { Bytes({ 0x03, 0x05 }), "jump out of the function" },
            { Bytes({ 0x06, 0xFF, 0xFF }), "jump out of the function" },
            { Bytes({ 0x81, 0x12, 0x00, 0x3A }), "jump into the middle of an instruction" },
            { Bytes({ 0x00 }), "reserved opcode 0" },
            { Bytes({ 0x3D }), "reserved opcode 61" },
            { Bytes({ 0x78 }), "reserved opcode 120" },
            { Bytes({ 0x12 }), "instruction cut off by the end of the function" },
            { Bytes({ 0x0D, 0x00, 0x00 }), "instruction cut off by the end of the function" },
        };
        for (const auto& [code, reason] : cases) {
            const TLoadResult r = LoadUnit(UnitWithCode(code));
            EXPECT_FALSE(r.Ok) << reason;
            EXPECT_NE(r.Error.find(reason), std::string::npos) << r.Error;
        }
    }

    TEST(Verifier, RefusesMalformedFiles)
    {
        const std::string good = UnitWithCode(Bytes({ 0x50, 0x3A }));
        ASSERT_TRUE(LoadUnit(good).Ok);
        std::string badVersion = good;
        badVersion[0] = 0x21;
        std::string longer = good + "x";
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "", "ends too early" },
            { badVersion, "version 3.1 is not supported" },
            { longer, "code size does not match" },
            { good.substr(0, good.size() - 1), "code size does not match" },
            { Bytes({ 0x01, 0x04, 0x01, 0x6A, 0x09, 0x00 }), "unknown constant type 9" },
            { Bytes({ 0x01, 0x05, 0x01, 0x6A, 0x04, 0x01, 0xFF }), "not valid UTF-8" },
            { Bytes({ 0x01, 0x06, 0x00, 0x6A, 0x01, 0x00, 0x00, 0x00 }), "pragma names constant 0" },
            { Bytes({ 0x01, 0x05, 0x00, 0x6A, 0x00, 0x01, 0x01 }), "ends too early" },
            { Bytes({ 0x01, 0x0A, 0x00, 0x6A, 0x00, 0x01, 0x01, 0x00, 0x03, 'a', '-', 'b' }),
                "function name table is malformed" },
            { Bytes({ 0x01, 0x06, 0x00, 0x6A, 0x00, 0x00, 0x00, 0x01 }), "bytes follow" },
        };
        for (const auto& [bytes, reason] : cases) {
            const TLoadResult r = LoadUnit(bytes);
            EXPECT_FALSE(r.Ok) << reason;
            EXPECT_NE(r.Error.find(reason), std::string::npos) << r.Error;
        }
    }

    TEST(Verifier, AcceptsFallingOffTheEndAsAnEmptyReturn)
    {
        const TLoadResult r = LoadUnit(UnitWithCode(Bytes({ 0x50, 0x37 })));
        ASSERT_TRUE(r.Ok) << r.Error;
        TFakeHost host;
        const TInvocation run = Invoke(std::make_shared<TUnit>(r.Unit), kUnitUrl, "f", {}, host);
        EXPECT_EQ(Describe(run.Result), "2:");
    }

    TEST(Interpreter, StackUnderflowIsAFatalErrorNotACrash)
    {
        const TLoadResult r = LoadUnit(UnitWithCode(Bytes({ 0x20, 0x3A })));
        ASSERT_TRUE(r.Ok) << r.Error;
        TFakeHost host;
        const TInvocation run = Invoke(std::make_shared<TUnit>(r.Unit), kUnitUrl, "f", {}, host);
        EXPECT_FALSE(run.Ok);
        EXPECT_NE(run.Error.find("too few values"), std::string::npos) << run.Error;
    }

    TEST(Interpreter, LimitsEndRunawayScripts)
    {
        TLimits small;
        small.Instructions = 100000;
        small.StringLength = 1000;
        small.CallDepth = 50;
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "extern function f() { while (true) {} }", "ran past 100000 instructions" },
            { "extern function f() { return f(); }", "nested deeper than 50" },
            { "extern function f() { var s = \"x\"; while (true) s += s; }", "grew past 1000 characters" },
            { "extern function f() { var s = \"x\"; while (true) s = s + s; }", "grew past 1000 characters" },
            { "extern function f() { Lang.abort(\"bad input\"); }", "the script aborted: bad input" },
            { "extern function f() { var s = \"aaaaaaaaaa\"; var t = s + s + s + s; t = t + t + t;"
              " return String.replace(t + t, \"a\", t + t); }",
                "grew past 1000 characters" },
        };
        for (const auto& [source, reason] : cases) {
            TFakeHost host;
            const TInvocation r = RunScript(source, "f", {}, host, small);
            EXPECT_FALSE(r.Ok) << source;
            EXPECT_NE(r.Error.find(reason), std::string::npos) << r.Error;
        }
    }

    TEST(Interpreter, StopEndsARunningScript)
    {
        TFakeHost host;
        host.StopAfterChecks = 2;
        const TInvocation r = RunScript("extern function f() { while (true) {} }", "f", {}, host);
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.Error, "stopped");
    }

    TEST(Interpreter, ExitEndsNormallyWithItsValue)
    {
        TFakeHost host;
        const TInvocation r = RunScript(
            "extern function f() { g(); return 1; } function g() { Lang.exit(\"out\"); }", "f", {}, host);
        EXPECT_TRUE(r.Ok);
        EXPECT_EQ(Describe(r.Result), "2:out");
    }

    TEST(Interpreter, CallsOtherUnitsThroughTheirAddress)
    {
        TFakeHost host;
        host.Sources["http://h/app/lib.wmls"]
            = "extern function twice(x) { return x * 2; } function hidden() {}";
        host.Sources["http://other/lib.wmls"]
            = "use access domain \"other\"; extern function g() { return 1; }";
        host.Sources["http://h/private/lib.wmls"]
            = "use access path \"/private\"; extern function g() { return 1; }";
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "use url L \"lib.wmls\"; extern function f() { return L#twice(21); }", "0:42" },
            { "use url L \"lib.wmls#ignored\"; extern function f() { return L#twice(2); }", "0:4" },
            { "use url L \"lib.wmls\"; extern function f() { return L#twice(1, 2); }",
                "error:http://h/app/lib.wmls#twice takes 1 arguments, not 2" },
            { "use url L \"lib.wmls\"; extern function f() { return L#hidden(); }",
                "error:http://h/app/lib.wmls has no extern function hidden" },
            { "use url L \"none.wmls\"; extern function f() { return L#g(); }",
                "error:cannot load http://h/app/none.wmls: not found" },
            { "use url L \"http://other/lib.wmls\"; extern function f() { return L#g(); }",
                "error:http://other/lib.wmls refuses calls from http://h/app/calc.wmls" },
            { "use url L \"/private/lib.wmls\"; extern function f() { return L#g(); }",
                "error:http://h/private/lib.wmls refuses calls from http://h/app/calc.wmls" },
        };
        for (const auto& [source, expected] : cases) {
            const TInvocation r = RunScript(source, "f", {}, host);
            EXPECT_EQ(r.Ok ? Describe(r.Result) : "error:" + r.Error, expected) << source;
        }
    }

    TEST(Interpreter, AccessPragmaMatchesWholeLabelsAndSegments)
    {
        const TCompileResult r
            = Compile("use access domain \"wap.example.com\" path \"/cgi\"; function f() {}");
        ASSERT_TRUE(r.Ok);
        const std::string unit = "http://wap.example.com/cgi/s.wmls";
        const std::vector<std::pair<std::string, bool>> callers = {
            { "http://wap.example.com/cgi/deck.wml", true },
            { "http://a.wap.example.com/cgi/x/deck.wml", true },
            { "http://WAP.Example.com/cgi", true },
            { "http://badwap.example.com/cgi/deck.wml", false },
            { "http://wap.example.com/cgibin/deck.wml", false },
            { "http://wap.example.com/deck.wml", false },
        };
        for (const auto& [caller, allowed] : callers)
            EXPECT_EQ(AccessAllowed(r.Unit, unit, caller), allowed) << caller;
    }

} // namespace
} // namespace pivrel::script::test
