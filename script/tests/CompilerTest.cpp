#include "script/tests/FakeHost.h"

#include <gtest/gtest.h>

namespace pivrel::script::test {
namespace {

    TEST(Compiler, ReportsTheFirstFaultWithItsLine)
    {
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "function f() {\n  return x;\n}", "line 2: variable 'x' used before its declaration" },
            { "function f() {\n  var a; var a;\n}", "line 2: variable 'a' declared twice" },
            { "function f() { return 1 }", "line 1: expected ';' before '}'" },
            { "function f() {\n\n  g();\n}", "line 3: no function 'g' in this unit" },
            { "function f(a) {}\nfunction g() { f(); }", "line 2: function 'f' takes 1 arguments" },
            { "function f() { String.length(); }", "line 1: 'String.length' takes 1 arguments" },
            { "function f() { Lang.nothing(); }", "line 1: no library function 'Lang.nothing'" },
            { "function f() { other#g(); }", "line 1: no 'use url' pragma names 'other'" },
            { "function f() { break; }", "line 1: 'break' outside a loop" },
            { "function f() { return \"abc; }", "line 1: string literal not closed" },
            { "function f() { /* open", "line 1: comment not closed" },
            { "function f() { return 2147483648; }", "line 1: integer literal too large" },
            { "function f() { return 1e39; }", "line 1: floating-point literal too large" },
            { "function f() { return 09; }", "line 1: malformed octal literal" },
            { "function f() { return \"\\q\"; }", "line 1: malformed escape sequence in a string literal" },
            { "function f() {}\nfunction f() {}", "line 2: function 'f' declared twice" },
            { "use access domain \"a\";\nuse access path \"/b\";\nfunction f() {}",
                "line 2: a unit has one access pragma" },
            { "use url x \"a\";\nuse url x \"b\";\nfunction f() {}", "line 2: 'use url x' given twice" },
            { "function f() {} use url x \"a\";", "line 1: expected a function declaration before 'use'" },
            { "", "line 1: the unit declares no function" },
            { "function while() {}", "line 1: expected a function name, but 'while' is a reserved word" },
            { "function f() { var name; }",
                "line 1: expected a variable name, but 'name' is a reserved word" },
            { "function f() { var x = @; }", "line 1: unexpected character" },
            { "function f() { 1 = 2; }", "line 1: expected ';' before '='" },
        };
        for (const auto& [source, error] : cases) {
            const TCompileResult r = Compile(source);
            EXPECT_FALSE(r.Ok) << source;
            EXPECT_EQ(r.Error, error) << source;
        }
    }

    TEST(Compiler, AcceptsTheWholeGrammar)
    {
        const char* source = R"(
        use url lib "lib.wmls";
        use access domain "h" path "/app";
        use meta name "author" "Pat";
        use meta user agent "type" "test" "scheme";
        /* a block
           comment */
        extern function main(n) {
            var total = 0, i;
            for (i = 0; i < n; i++) {
                if (i % 2 == 0) continue;
                else if (i > 7) break;
                total += i;
            }
            for (var j = 0; ; j++) { if (j == 3) break; }
            while (total > 100) total -= 100;
            for (;;) { break; }
            var s = 'single' + "\x41\u0042\103\t";
            ;
            return helper(total, j) + String.length(s);
        };
        function helper(a, b) { return a * 100 + b; }
    )";
        const TCompileResult r = Compile(source);
        ASSERT_TRUE(r.Ok) << r.Error;
        EXPECT_EQ(r.Unit.Functions.size(), 2U);
        ASSERT_EQ(r.Unit.Names.size(), 1U);
        EXPECT_EQ(r.Unit.Names[0].Name, "main");
        EXPECT_EQ(r.Unit.Pragmas.size(), 3U); // domain, path, user agent
        TFakeHost host;
        const TInvocation run = RunScript(source, "main", { TValue::Integer(10) }, host);
        EXPECT_EQ(Describe(run.Result), "0:1613") << run.Error; // 1+3+5+7 = 16, j = 3, length 10
    }

    TEST(Compiler, NumberLiterals)
    {
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "0x1F", "0:31" },
            { "017", "0:15" },
            { "1.5e2", "1:150" },
            { ".5", "1:0.5" },
            { "3.", "1:3" },
            { "1e-50", "1:0" },
            { "-2147483648", "0:-2147483648" },
            { "2147483647", "0:2147483647" },
            { "'it''s'", "error:line 1: expected ';'" },
        };
        for (const auto& [literal, expected] : cases)
            EXPECT_EQ(Eval(literal), expected) << literal;
    }

    TEST(Compiler, JumpsOfEveryLengthLandWhereTheyShould)
    {
        // Bodies of 1, 40 and 400 statements put the loop's jumps in their 5-bit, 8-bit and 16-bit
        // forms.
        for (int statements : { 1, 40, 400 }) {
            std::string body;
            for (int i = 0; i < statements; ++i)
                body += "s += 1; ";
            const std::string source = "extern function f(n) { var s = 0; var i = 0; while (i < n) { i++;"
                                       " if (i % 2 == 0) { continue; } else { "
                + body + "} if (i > 6) break; } for (var j = 0; j < 3; j++) { if (j == 1) continue; " + body
                + "} return s; }";
            const TCompileResult r = Compile(source);
            ASSERT_TRUE(r.Ok) << r.Error;
            ASSERT_TRUE(LoadUnit(EncodeUnit(r.Unit)).Ok);
            TFakeHost host;
            const TInvocation run = RunScript(source, "f", { TValue::Integer(100) }, host);
            EXPECT_EQ(Describe(run.Result), "0:" + std::to_string(6 * statements))
                << statements; // i = 1, 3, 5, 7; j = 0, 2
        }
    }

    TEST(Compiler, EncodedUnitLoadsBackUnchanged)
    {
        const TCompileResult r = Compile("use access domain \"x.org\"; extern function f(a) {"
                                         " var s = \"caf\\u00e9\"; return a + 70000 + 2.5 + s + -300; }");
        ASSERT_TRUE(r.Ok) << r.Error;
        const std::string bytes = EncodeUnit(r.Unit);
        const TLoadResult loaded = LoadUnit(bytes);
        ASSERT_TRUE(loaded.Ok) << loaded.Error;
        EXPECT_EQ(EncodeUnit(loaded.Unit), bytes);
        EXPECT_EQ(ToUtf8(loaded.Unit.AccessDomain()), "x.org");
    }

} // namespace
} // namespace pivrel::script::test
