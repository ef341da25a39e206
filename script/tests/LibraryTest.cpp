#include "script/tests/FakeHost.h"

#include <gtest/gtest.h>

namespace pivrel::script::test {
namespace {

    TEST(LangLibrary, ParsesNumbersFromTheirFront)
    {
        ExpectAll({
            { "Lang.parseInt(\"1234\")", "0:1234" },
            { "Lang.parseInt(\"  100 m/s\")", "0:100" },
            { "Lang.parseInt(\"$ 100\")", "4:" },
            { "Lang.parseInt(\"-12.5\")", "0:-12" },
            { "Lang.parseInt(\"+7\")", "0:7" },
            { "Lang.parseInt(\"\")", "4:" },
            { "Lang.parseInt(\"-\")", "4:" },
            { "Lang.parseInt(\"2147483648\")", "4:" },
            { "Lang.parseInt(invalid)", "4:" },
            { "Lang.parseFloat(\"123.7\")", "1:123.7" },
            { "Lang.parseFloat(\"  +7.34e2 Hz\")", "1:734" },
            { "Lang.parseFloat(\" 70e-2 F\")", "1:0.7" },
            { "Lang.parseFloat(\"-.1 C\")", "1:-0.1" },
            { "Lang.parseFloat(\" 100 \")", "1:100" },
            { "Lang.parseFloat(\"1e\")", "1:1" },
            { "Lang.parseFloat(\"IRL 10\")", "4:" },
            { "Lang.parseFloat(\"1e39\")", "4:" },
            { "Lang.isInt(\" -123\")", "3:true" },
            { "Lang.isInt(\"  123.33\")", "3:true" },
            { "Lang.isInt(\"string\")", "3:false" },
            { "Lang.isInt(\"#123\")", "3:false" },
            { "Lang.isInt(invalid)", "4:" },
            { "Lang.isFloat(\" -.3e2\")", "3:true" },
            { "Lang.isFloat(\"x\")", "3:false" },
        });
    }

    TEST(LangLibrary, NumbersAndLimits)
    {
        ExpectAll({
            { "Lang.abs(-3)", "0:3" },
            { "Lang.abs(-3.5)", "1:3.5" },
            { "Lang.abs(\"-4\")", "0:4" },
            { "Lang.abs(-2147483647 - 1)", "4:" },
            { "Lang.abs(invalid)", "4:" },
            { "Lang.min(45, 76)", "0:45" },
            { "Lang.min(45, 45.0)", "0:45" },
            { "Lang.min(3, \"2.5\")", "1:2.5" },
            { "Lang.max(45, 76.3)", "1:76.3" },
            { "Lang.max(\"x\", 1)", "4:" },
            { "Lang.maxInt()", "0:2147483647" },
            { "Lang.minInt()", "0:-2147483648" },
            { "Lang.float()", "3:true" },
            { "Lang.characterSet()", "0:106" },
            { "Lang.random(0)", "0:0" },
            { "Lang.random(-1)", "4:" },
            { "Lang.random(\"x\")", "4:" },
            { "Lang.seed(-1)", "4:" },
            { "Lang.seed(5)", "2:" },
        });
    }

    TEST(LangLibrary, RandomStaysInRangeAndSeedRepeats)
    {
        TFakeHost host;
        const TInvocation r = RunScript(
            "extern function f() { var ok = true; for (var i = 0; i < 500; i++) { var v = Lang.random(6);"
            " ok = ok && v >= 0 && v <= 6 && typeof v == 0; }"
            " Lang.seed(7); var a = Lang.random(1000); Lang.seed(7); return ok && a == Lang.random(1000); }",
            "f", {}, host);
        EXPECT_EQ(Describe(r.Result), "3:true") << r.Error;
    }

    TEST(FloatLibrary, RoundsAndConverts)
    {
        ExpectAll({
            { "Float.int(3.7)", "0:3" },
            { "Float.int(-3.7)", "0:-3" },
            { "Float.int(5)", "0:5" },
            { "Float.int(3.0e10)", "4:" },
            { "Float.floor(3.7)", "0:3" },
            { "Float.floor(-3.2)", "0:-4" },
            { "Float.ceil(3.2)", "0:4" },
            { "Float.ceil(-3.7)", "0:-3" },
            { "Float.round(3.5)", "0:4" },
            { "Float.round(-3.5)", "0:-3" },
            { "Float.round(0.5)", "0:1" },
            { "Float.round(-0.5)", "0:0" },
            { "Float.round(-3.7)", "0:-4" },
            { "Float.pow(2, 3)", "1:8" },
            { "Float.pow(-2, 3)", "1:-8" },
            { "Float.pow(0, -1)", "4:" },
            { "Float.pow(-2, 0.5)", "4:" },
            { "Float.sqrt(4)", "1:2" },
            { "Float.sqrt(-1)", "4:" },
            { "Float.sqrt(\"x\")", "4:" },
            { "Float.maxFloat()", "1:3.4028235e+38" },
            { "Float.minFloat()", "1:1.1754944e-38" },
        });
    }

    TEST(StringLibrary, CharactersAndSearch)
    {
        ExpectAll({
            { "String.length(\"This is a test\")", "0:14" },
            { "String.length(\"\\u00e9t\\u00e9\")", "0:3" },
            { "String.length(12)", "0:2" },
            { "String.length(invalid)", "4:" },
            { "String.isEmpty(\"\")", "3:true" },
            { "String.isEmpty(true)", "3:false" },
            { "String.charAt(\"My string\", 0)", "2:M" },
            { "String.charAt(\"My string\", 10)", "2:" },
            { "String.charAt(\"My string\", -1)", "2:" },
            { "String.charAt(\"My string\", 3.9)", "2:s" },
            { "String.charAt(\"My string\", \"x\")", "4:" },
            { "String.subString(\"ABCDEFG\", 1, 3)", "2:BCD" },
            { "String.subString(\"ABCDEFG\", -2, 3)", "2:ABC" },
            { "String.subString(\"ABCDEFG\", 5, 10)", "2:FG" },
            { "String.subString(\"ABCDEFG\", 9, 1)", "2:" },
            { "String.subString(\"ABCDEFG\", 1, 0)", "2:" },
            { "String.find(\"abcde\", \"cd\")", "0:2" },
            { "String.find(\"abcde\", \"x\")", "0:-1" },
            { "String.find(\"abcde\", \"\")", "0:0" },
            { "String.replace(\"Hello Joe. What is up Joe?\", \"Joe\", \"Don\")",
                "2:Hello Don. What is up Don?" },
            { "String.replace(\"aaa\", \"aa\", \"b\")", "2:ba" },
            { "String.replace(\"abc\", \"\", \"x\")", "4:" },
            { "String.compare(\"Hello\", \"Hello\")", "0:0" },
            { "String.compare(\"Hello\", \"Hi\")", "0:-1" },
            { "String.compare(\"Hi\", \"Hello\")", "0:1" },
            { "String.compare(\"a\", invalid)", "4:" },
            { "String.squeeze(\"  Hello  World!  \")", "2: Hello World! " },
            { "String.trim(\"  Hello  World!  \")", "2:Hello  World!" },
            { "String.trim(\"\\t\\n x\\r\")", "2:x" },
            { "String.toString(12)", "2:12" },
            { "String.toString(invalid)", "2:invalid" },
            { "String.toString(false)", "2:false" },
        });
    }

    TEST(StringLibrary, Elements)
    {
        ExpectAll({
            { "String.elements(\"My name is Joe; Age 50;\", \" \")", "0:6" },
            { "String.elements(\"My name is Joe; Age 50;\", \";\")", "0:3" },
            { "String.elements(\"\", \";\")", "0:1" },
            { "String.elements(\"a\", \";\")", "0:1" },
            { "String.elements(\";\", \";\")", "0:2" },
            { "String.elements(\";;,;\", \";,\")", "0:4" },
            { "String.elements(\"abc\", \"\")", "4:" },
            { "String.elementAt(\"My name is Joe; Age 50;\", 0, \" \")", "2:My" },
            { "String.elementAt(\"My name is Joe; Age 50;\", 14, \";\")", "2:" },
            { "String.elementAt(\"My name is Joe; Age 50;\", 1, \";\")", "2: Age 50" },
            { "String.elementAt(\"a b c\", -5, \" \")", "2:a" },
            { "String.elementAt(\"a b c\", 1.7, \" \")", "2:b" },
            { "String.elementAt(\"a b c\", 1, \"\")", "4:" },
            { "String.removeAt(\"A A; B C D\", 1, \" \")", "2:A B C D" },
            { "String.removeAt(\"A A; B C D\", 0, \";\")", "2: B C D" },
            { "String.removeAt(\"A A; B C D\", 14, \";\")", "2:A A" },
            { "String.removeAt(\"only\", 0, \";\")", "2:" },
            { "String.replaceAt(\"B C; E\", \"A\", 0, \" \")", "2:A C; E" },
            { "String.replaceAt(\"B C; E\", \"F\", 5, \";\")", "2:B C;F" },
            { "String.insertAt(\"B C; E\", \"A\", 0, \" \")", "2:A B C; E" },
            { "String.insertAt(\"B C; E\", \"X\", 1, \";\")", "2:B C;X; E" },
            { "String.insertAt(\"B C; E\", \"D\", 5, \";\")", "2:B C; E;D" },
            { "String.insertAt(\"\", \"new\", 2, \";\")", "2:new" },
        });
    }

    TEST(StringLibrary, Format)
    {
        ExpectAll({
            { "String.format(\"%7.2f\", 3.14159)", "2:   3.14" },
            { "String.format(\"%3d\", 45)", "2: 45" },
            { "String.format(\"%.3d\", 5)", "2:005" },
            { "String.format(\"%d%%\", 10)", "2:10%" },
            { "String.format(\"%f\", 1.5)", "2:1.500000" },
            { "String.format(\"%.0f\", 2.5)", "2:2" },
            { "String.format(\"%s\", \"test\")", "2:test" },
            { "String.format(\"%.2s!\", \"test\")", "2:te!" },
            { "String.format(\"%6s\", \"ab\")", "2:    ab" },
            { "String.format(\"%d and %d\", 1)", "2:1 and " },
            { "String.format(\"Value: %d\", 3.9)", "2:Value: 3" },
            { "String.format(\"%d\", \"x\")", "4:" },
            { "String.format(\"%x\", 1)", "4:" },
            { "String.format(\"%\", 1)", "4:" },
            { "String.format(\"no conversion\", 1)", "2:no conversion" },
            { "String.format(\"%d\", invalid)", "4:" },
        });
    }

    TEST(URLLibrary, PartsAndValidity)
    {
        ExpectAll({
            { "URL.isValid(\"http://w.hst.com/script#func()\")", "3:true" },
            { "URL.isValid(\"../common#test()\")", "3:true" },
            { "URL.isValid(\"experimental?://www.host.com/cont>\")", "3:false" },
            { "URL.isValid(\"http://h:8x/\")", "3:false" },
            { "URL.getScheme(\"http://w.h.com/test\")", "2:http" },
            { "URL.getScheme(\"w.h.com/test\")", "2:" },
            { "URL.getHost(\"http://www.host.com:8080/test\")", "2:www.host.com" },
            { "URL.getHost(\"path#frag\")", "2:" },
            { "URL.getPort(\"http://www.host.com:80/test\")", "2:80" },
            { "URL.getPort(\"http://www.host.com/test\")", "2:" },
            { "URL.getPath(\"http://w.h.com/home/sub/comp#frag\")", "2:/home/sub/comp" },
            { "URL.getPath(\"../home/sub/comp#frag\")", "2:../home/sub/comp" },
            { "URL.getPath(\"http://w.h.com/a;x;y?q\")", "2:/a" },
            { "URL.getParameters(\"http://w.h.com/script;3;2?x=1&y=3\")", "2:3;2" },
            { "URL.getParameters(\"../script;3;2?x=1&y=3\")", "2:3;2" },
            { "URL.getParameters(\"/a;p/b\")", "2:" },
            { "URL.getQuery(\"http://w.h.com/home;3;2?x=1&y=3\")", "2:x=1&y=3" },
            { "URL.getFragment(\"http://w.h.com/cont#frag\")", "2:frag" },
            { "URL.getFragment(\"http://w.h.com/cont\")", "2:" },
            { "URL.getHost(\"bad url\")", "4:" },
            { "URL.getBase()", "2:http://h/app/calc.wmls" },
            { "URL.getReferer()", "2:deck.wml" },
        });
    }

    TEST(URLLibrary, ResolveAndEscape)
    {
        ExpectAll({
            { "URL.resolve(\"http://foo.com/\", \"foo.vcf\")", "2:http://foo.com/foo.vcf" },
            { "URL.resolve(\"http://a/b/c/d;p?q\", \"../g\")", "2:http://a/b/g" },
            { "URL.resolve(\"http://a/b/c/d;p?q\", \"./g/\")", "2:http://a/b/c/g/" },
            { "URL.resolve(\"http://a/b/c/d;p?q\", \"//g\")", "2:http://g" },
            { "URL.resolve(\"http://a/b/c/d;p?q\", \"#s\")", "2:http://a/b/c/d;p?q#s" },
            { "URL.resolve(\"http://a/b/c/d;p?q\", \"g?y\")", "2:http://a/b/c/g?y" },
            { "URL.resolve(\"http://a/b/c/d;p?q\", \"../../../g\")", "2:http://a/g" },
            { "URL.resolve(\"http://a/b\", \"ftp://x/y\")", "2:ftp://x/y" },
            { "URL.resolve(\"bad base\", \"x\")", "4:" },
            { "URL.escapeString(\"http://w.hst.com/dck?x=\\u0007#crd\")",
                "2:http%3a%2f%2fw.hst.com%2fdck%3fx%3d%07%23crd" },
            { "URL.escapeString(\"a b\")", "2:a%20b" },
            { "URL.escapeString(\"\\u00e9\")", "4:" },
            { "URL.unescapeString(\"http%3a%2f%2fw.hst.com%2fdck%3fx%3d%07%23crd\")",
                "2:http://w.hst.com/dck?x=\a#crd" },
            { "URL.unescapeString(\"%4\")", "4:" },
            { "URL.unescapeString(\"%zz\")", "4:" },
            { "URL.unescapeString(\"\\u00e9\")", "4:" },
        });
    }

    TEST(URLLibrary, LoadStringGoesThroughTheHost)
    {
        TFakeHost host;
        host.Texts["http://h/app/hello.txt"] = "Hi there";
        const std::string script = "extern function f(u, t) { return URL.loadString(u, t); }";
        const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
            { "hello.txt", "text/plain", "2:Hi there" },
            { "missing.txt", "text/plain", "0:404" },
            { "hello.txt", "image/png", "4:" },
            { "hello.txt", "text/plain; charset=utf-8", "4:" },
        };
        for (const auto& [url, type, expected] : cases) {
            const TInvocation r = RunScript(
                script, "f", { TValue::String(FromUtf8(url)), TValue::String(FromUtf8(type)) }, host);
            EXPECT_EQ(Describe(r.Result), expected) << url << " " << type;
        }
    }

    TEST(BrowserLibrary, VariablesAndNavigationRequests)
    {
        TFakeHost host;
        host.Vars["name"] = "Joe";
        const TInvocation r = RunScript("extern function f() { var n = WMLBrowser.getVar(\"name\");"
                                        " WMLBrowser.setVar(\"greeting\", \"Hi \" + n);"
                                        " var bad = WMLBrowser.setVar(\"9x\", 1);"
                                        " WMLBrowser.go(\"next.wml#c\"); WMLBrowser.refresh();"
                                        " return isvalid bad; }",
            "f", {}, host);
        ASSERT_TRUE(r.Ok) << r.Error;
        EXPECT_EQ(Describe(r.Result), "3:false");
        EXPECT_EQ(host.Vars["greeting"], "Hi Joe");
        ASSERT_EQ(r.VariablesSet.size(), 1U);
        EXPECT_EQ(r.Navigation, TNavigation::Go);
        EXPECT_EQ(r.GoUrl, "http://h/app/next.wml#c");
        EXPECT_TRUE(r.Refresh);
    }

    TEST(BrowserLibrary, GoResolvesCardsAgainstTheDeckAndTheRestAgainstTheUnit)
    {
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "#c", "http://h/app/deck.wml#c" },
            { "next.wml", "http://h/app/next.wml" },
            { "../x.wml#c", "http://h/x.wml#c" },
            { "http://o/y.wml", "http://o/y.wml" },
        };
        for (const auto& [url, expected] : cases) {
            TFakeHost host;
            const TInvocation r = RunScript(
                "extern function f(u) { WMLBrowser.go(u); }", "f", { TValue::String(FromUtf8(url)) }, host);
            EXPECT_EQ(r.GoUrl, expected) << url;
        }
    }

    TEST(BrowserLibrary, LastOfGoAndPrevWins)
    {
        struct TNavigationCase {
            const char* Body;
            TNavigation Navigation;
        };

        const TNavigationCase cases[] = {
            { "WMLBrowser.go(\"a.wml\"); WMLBrowser.prev();", TNavigation::Prev },
            { "WMLBrowser.prev(); WMLBrowser.go(\"a.wml\");", TNavigation::Go },
            { "WMLBrowser.go(\"a.wml\"); WMLBrowser.go(\"\");", TNavigation::None },
            { "WMLBrowser.go(\"a.wml\"); Lang.abort(\"no\");", TNavigation::None },
            { "WMLBrowser.prev(); Lang.exit(1);", TNavigation::Prev },
        };
        for (const TNavigationCase& c : cases) {
            TFakeHost host;
            const TInvocation r
                = RunScript(std::string("extern function f() { ") + c.Body + " }", "f", {}, host);
            EXPECT_EQ(r.Navigation, c.Navigation) << c.Body;
        }
    }

    TEST(BrowserLibrary, CurrentCardAndDialogs)
    {
        TFakeHost host;
        host.PromptAnswers.push_back("42");
        host.ConfirmAnswers.push_back(true);
        const TInvocation r
            = RunScript("extern function f() { var a = Dialogs.prompt(\"Age?\", \"0\");"
                        " var ok = Dialogs.confirm(\"Sure?\", \"Yes\", \"No\"); Dialogs.alert(\"Done \" + a);"
                        " return WMLBrowser.getCurrentCard() + \"|\" + a + \"|\" + ok; }",
                "f", {}, host);
        EXPECT_EQ(Describe(r.Result), "2:deck.wml#main|42|true") << r.Error;
        EXPECT_EQ(host.Shown, (std::vector<std::string> { "prompt:Age?", "confirm:Sure?", "alert:Done 42" }));
    }

} // namespace
} // namespace pivrel::script::test
