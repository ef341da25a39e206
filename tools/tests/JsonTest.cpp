#include "tools/Json.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace pivrel::tools {
namespace {

    std::string Quoted(std::string_view text)
    {
        std::string out;
        AppendJsonString(out, text);
        return out;
    }

    TEST(JsonTest, StringsAreEscapedAsJsonRequires)
    {
        struct Case {
            std::string text;
            std::string expected;
        };

        const Case cases[] = {
            { "", R"("")" },
            { "plain text", R"("plain text")" },
            { "say \"hi\"", R"("say \"hi\"")" },
            { "C:\\decks", R"("C:\\decks")" },
            { "a\nb\rc\td", R"("a\nb\rc\td")" },
            { "\b\f", R"("\b\f")" },
            { std::string("\0\x01\x1F", 3), R"("\u0000\u0001\u001f")" },
            { "\x7F/</", "\"\x7F/</\"" },
            // Well-formed UTF-8 passes through untouched.
            { "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"" },
            { "\xF4\x8F\xBF\xBF", "\"\xF4\x8F\xBF\xBF\"" },
        };
        for (const Case& c : cases)
            EXPECT_EQ(Quoted(c.text), c.expected) << c.text;
    }

    TEST(JsonTest, BytesOutsideWellFormedUtf8BecomeEscapes)
    {
        struct Case {
            std::string text;
            std::string expected;
        };

        const Case cases[] = {
            { "caf\xE9", R"("caf\u00e9")" },
            { "\x80", R"("\u0080")" },
            { "\xFF\xFE", R"("\u00ff\u00fe")" },
            { "\xC0\xAF", R"("\u00c0\u00af")" }, // overlong
            { "\xED\xA0\x80", R"("\u00ed\u00a0\u0080")" }, // surrogate
            { "\xF4\x90\x80\x80", R"("\u00f4\u0090\u0080\u0080")" }, // past U+10FFFF
            { "a\xE2\x82", R"("a\u00e2\u0082")" }, // cut off at the end
            { "\xE2\x82z", R"("\u00e2\u0082z")" }, // cut off in the middle
            { "\xC3\xC3\xA9", "\"\\u00c3\xC3\xA9\"" }, // a lead byte before a sequence
            { "\xF0\x9F\x98", R"("\u00f0\u009f\u0098")" },
        };
        for (const Case& c : cases)
            EXPECT_EQ(Quoted(c.text), c.expected) << c.text;
    }

    TEST(JsonTest, ObjectsJoinTheirMembersWithCommas)
    {
        std::string out = "x";
        TJsonObject json(out);
        json.String("s", "v").Bool("t", true).Bool("f", false).Int("n", -2147483648LL).Null("z");
        json.Key("a\"b") += "[]";
        json.Int("big", 9007199254740993LL);
        json.Close();
        EXPECT_EQ(out,
            R"(x{"s":"v","t":true,"f":false,"n":-2147483648,"z":null,"a\"b":[],"big":9007199254740993})");

        std::string empty;
        TJsonObject none(empty);
        none.Close();
        EXPECT_EQ(empty, "{}");
    }

    // Short names and plain strings take a quicker way than long or escaped ones; both ways must
    // write the same text on either side of the length where they part.
    TEST(JsonTest, LengthsAroundTheQuickWayWriteTheSameText)
    {
        for (std::size_t size = 0; size <= 140; ++size) {
            const std::string plain(size, 'k');
            std::string out;
            TJsonObject json(out);
            json.String(plain, plain).String(plain, plain + "\"");
            json.Close();
            const std::string quoted = '"' + plain + '"';
            EXPECT_EQ(out, "{" + quoted + ":" + quoted + "," + quoted + ":\"" + plain + "\\\"\"}") << size;
        }
    }

    TEST(JsonTest, IntegersAroundOneDigit)
    {
        struct Case {
            std::int64_t value;
            const char* expected;
        };

        const Case cases[] = { { -10, "-10" }, { -1, "-1" }, { 0, "0" }, { 9, "9" }, { 10, "10" },
            { INT64_MIN, "-9223372036854775808" }, { INT64_MAX, "9223372036854775807" } };
        for (const Case& c : cases) {
            std::string out;
            TJsonObject json(out);
            json.Int("n", c.value);
            json.Close();
            EXPECT_EQ(out, std::string("{\"n\":") + c.expected + "}") << c.value;
        }
    }

} // namespace
} // namespace pivrel::tools
