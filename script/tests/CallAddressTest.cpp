#include "script/CallAddress.h"

#include "script/tests/FakeHost.h"

#include <gtest/gtest.h>

namespace pivrel::script::test {
namespace {

    TEST(CallAddress, TellsCallsFromCards)
    {
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "calc.wmls#add(1,2)", "calc.wmls|add|1,2" },
            { "http://h/s.wmlsc#f()", "http://h/s.wmlsc|f|" },
            { "s.wmls#f('a(b)')", "s.wmls|f|'a(b)'" },
            { "deck.wml#card", "-" },
            { "deck.wml", "-" },
            { "s.wmls#(1)", "-" },
            { "s.wmls#9f()", "-" },
            { "s.wmls#f(1", "-" },
            { "s.wmls#a-b()", "-" },
        };
        for (const auto& [address, expected] : cases) {
            const std::optional<TCallAddress> c = ParseCallAddress(address);
            EXPECT_EQ(c ? c->Unit + "|" + c->Function + "|" + c->Arguments : "-", expected) << address;
        }
    }

    TEST(CallAddress, ArgumentsBecomeValues)
    {
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "", "" },
            { "1, 2.5, -3", "0:1 1:2.5 0:-3 " },
            { "'a, b', \"it\\'s\"", "2:a, b 2:it's " },
            { "true,false,invalid", "3:true 3:false 4: " },
            { " Joe Smith ,", "2:Joe Smith 2: " },
            { "'open", "error" },
            { "'a' b", "error" },
        };
        for (const auto& [text, expected] : cases) {
            const std::optional<std::vector<TValue>> args = ParseCallArguments(text);
            std::string got;
            if (!args)
                got = "error";
            else
                for (const TValue& v : *args)
                    got += Describe(v) + " ";
            EXPECT_EQ(got, expected) << text;
        }
    }

    TEST(CallAddress, ResourcesByTypeThenExtension)
    {
        const std::string text = "extern function f() { return 1; }";
        const std::string bytecode = EncodeUnit(Compile(text).Unit);

        struct TResource {
            std::string Bytes;
            const char* Type;
            const char* Address;
            const char* Error; // empty for success
        };

        const std::vector<TResource> cases = {
            { text, "text/vnd.wap.wmlscript; charset=utf-8", "http://h/cgi?x", "" },
            { bytecode, "application/vnd.wap.wmlscriptc", "http://h/s", "" },
            { text, "", "file:///x/s.WMLS", "" },
            { bytecode, "application/octet-stream", "/x/s.wmlsc#f()", "" },
            { text, "text/vnd.wap.wml", "http://h/s.wmls", "not a script (content type text/vnd.wap.wml)" },
            { "function (", "", "s.wmls", "the script does not compile: line 1: expected a function name" },
            { text, "application/vnd.wap.wmlscriptc", "s",
                "the script's bytecode was refused: bytecode version 7.5" },
        };
        for (const TResource& c : cases) {
            const TLoadResult r = UnitFromResource(c.Bytes, c.Type, c.Address);
            EXPECT_EQ(r.Ok, std::string(c.Error).empty()) << c.Address;
            EXPECT_EQ(r.Error.substr(0, std::string(c.Error).size()), c.Error) << c.Address;
        }
    }

} // namespace
} // namespace pivrel::script::test
