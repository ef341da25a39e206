#include "script/tests/FakeHost.h"

#include <gtest/gtest.h>

namespace pivrel::script::test {
namespace {

    TEST(Operators, ArithmeticFollowsTheOperandTypes)
    {
        ExpectAll({
            { "1 + 2", "0:3" },
            { "1 + 2.5", "1:3.5" },
            { "\"1\" + 2", "2:12" },
            { "1 + \"2\"", "2:12" },
            { "true + 1", "0:2" },
            { "\"5\" - 2", "0:3" },
            { "\"5.5\" - 2", "1:3.5" },
            { "\" 7 \" * 2", "0:14" },
            { "\"abc\" - 1", "4:" },
            { "7 / 2", "1:3.5" },
            { "6 / 2", "1:3" },
            { "7 div 2", "0:3" },
            { "-7 div 2", "0:-3" },
            { "7 % 3", "0:1" },
            { "-7 % 3", "0:-1" },
            { "2147483647 + 1", "4:" },
            { "-2147483648 - 1", "4:" },
            { "65536 * 65536", "4:" },
            { "-2147483648", "0:-2147483648" },
            { "-(-2147483648)", "4:" },
            { "-2147483648 div -1", "4:" },
            { "1 / 0", "4:" },
            { "1 div 0", "4:" },
            { "1 % 0", "4:" },
            { "3.0e38 * 10", "4:" },
            { "1.5 div 1", "4:" },
            { "\"a\" + 1.5", "2:a1.5" },
            { "\"a\" + true", "2:atrue" },
        });
    }

    TEST(Operators, InvalidOperandsGiveInvalid)
    {
        ExpectAll({
            { "invalid + 1", "4:" },
            { "\"a\" + invalid", "4:" },
            { "invalid - 1", "4:" },
            { "invalid * 1", "4:" },
            { "invalid / 1", "4:" },
            { "invalid div 1", "4:" },
            { "invalid % 1", "4:" },
            { "invalid & 1", "4:" },
            { "invalid | 1", "4:" },
            { "invalid ^ 1", "4:" },
            { "invalid << 1", "4:" },
            { "invalid >> 1", "4:" },
            { "invalid >>> 1", "4:" },
            { "~invalid", "4:" },
            { "-invalid", "4:" },
            { "!invalid", "4:" },
            { "invalid < 1", "4:" },
            { "invalid <= 1", "4:" },
            { "invalid > 1", "4:" },
            { "invalid >= 1", "4:" },
            { "invalid == invalid", "4:" },
            { "invalid != 1", "4:" },
            { "invalid && true", "4:" },
            { "invalid || true", "4:" },
            { "false && invalid", "3:false" },
            { "true && invalid", "4:" },
            { "true || invalid", "3:true" },
            { "typeof invalid", "0:4" },
            { "isvalid invalid", "3:false" },
            { "isvalid (1 / 0)", "3:false" },
            { "invalid ? 1 : 2", "0:2" },
        });
    }

    TEST(Operators, BitwiseNeedIntegers)
    {
        ExpectAll({
            { "6 & 3", "0:2" },
            { "6 | 3", "0:7" },
            { "6 ^ 3", "0:5" },
            { "~0", "0:-1" },
            { "1 << 31", "0:-2147483648" },
            { "1 << 33", "0:2" },
            { "-8 >> 1", "0:-4" },
            { "-8 >>> 28", "0:15" },
            { "\"12\" & 4", "0:4" },
            { "1.5 & 1", "4:" },
            { "\"1.5\" | 0", "4:" },
            { "true | 2", "0:3" },
        });
    }

    TEST(Operators, ComparisonsPickStringThenFloatThenInteger)
    {
        ExpectAll({
            { "\"abc\" < \"abd\"", "3:true" },
            { "\"10\" < 9", "3:true" },
            { "10 < 9.5", "3:false" },
            { "1 == 1.0", "3:true" },
            { "\"1\" == 1", "3:true" },
            { "true == 1", "3:true" },
            { "\"\" == false", "3:false" },
            { "2 >= 2", "3:true" },
            { "2 != 2", "3:false" },
            { "\"B\" > \"a\"", "3:false" },
        });
    }

    TEST(Operators, LogicalAndConditional)
    {
        ExpectAll({
            { "!0", "3:true" },
            { "!\"\"", "3:true" },
            { "!\"x\"", "3:false" },
            { "!0.0", "3:true" },
            { "1 && \"x\"", "3:true" },
            { "0 || 2", "3:true" },
            { "0 || \"\"", "3:false" },
            { "\"\" ? 1 : 2", "0:2" },
            { "typeof 1", "0:0" },
            { "typeof 1.5", "0:1" },
            { "typeof \"\"", "0:2" },
            { "typeof true", "0:3" },
        });
    }

    TEST(Operators, AssignmentsAndIncrements)
    {
        TFakeHost host;
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "var a = 5; a += 2; return a;", "0:7" },
            { "var a = \"x\"; a += 2; return a;", "2:x2" },
            { "var a = 5; a -= 2.5; return a;", "1:2.5" },
            { "var a = 5; a *= 3; return a;", "0:15" },
            { "var a = 5; a /= 2; return a;", "1:2.5" },
            { "var a = 7; a div= 2; return a;", "0:3" },
            { "var a = 7; a %= 4; return a;", "0:3" },
            { "var a = 6; a &= 3; a |= 8; a ^= 1; return a;", "0:11" },
            { "var a = 1; a <<= 4; a >>= 1; a >>>= 1; return a;", "0:4" },
            { "var a = 1; var b = a++; return b * 10 + a;", "0:12" },
            { "var a = 1; var b = ++a; return b * 10 + a;", "0:22" },
            { "var a = 1; var b = a--; return b * 10 + a;", "0:10" },
            { "var a = 1; var b = --a; return b;", "0:0" },
            { "var a = 2147483647; a++; return a;", "4:" },
            { "var a = \"3\"; a++; return a;", "0:4" },
            { "var a = \"x\"; a--; return a;", "4:" },
            { "var a = 1.5; a++; return a;", "1:2.5" },
            { "var a; return a;", "2:" },
            { "var a, b = 3; return a + b;", "2:3" },
            { "var a = (1, 2, 3); return a;", "0:3" },
            { "var a = 1, b = 2; a = b = 9; return a + b;", "0:18" },
        };
        for (const auto& [body, expected] : cases) {
            const TInvocation r = RunScript("extern function f() { " + body + " }", "f", {}, host);
            EXPECT_EQ(r.Ok ? Describe(r.Result) : r.Error, expected) << body;
        }
    }

} // namespace
} // namespace pivrel::script::test
