#include <gtest/gtest.h>
#include <random>
#include <string>

#include "tools/Json.h"

namespace pivrel::tools {
namespace {

    // One byte at a time, the plain way: what the quicker escaping must always agree with.
    std::string ReferenceQuoted(std::string_view text)
    {
        std::string out = "\"";
        for (std::size_t i = 0; i < text.size();) {
            const auto b = static_cast<unsigned char>(text[i]);
            if (b >= 0x80) {
                // Only the two-byte form is generated below; longer forms are covered elsewhere.
                const bool pair = b >= 0xC2 && b <= 0xDF && i + 1 < text.size()
                    && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80;
                if (pair) {
                    out.append(text.substr(i, 2));
                    i += 2;
                    continue;
                }
                out += "\\u00";
                out += "0123456789abcdef"[b >> 4];
                out += "0123456789abcdef"[b & 0x0F];
            } else if (b == '"' || b == '\\') {
                out += '\\';
                out += char(b);
            } else if (b == '\n') {
                out += "\\n";
            } else if (b == '\r') {
                out += "\\r";
            } else if (b == '\t') {
                out += "\\t";
            } else if (b == '\b') {
                out += "\\b";
            } else if (b == '\f') {
                out += "\\f";
            } else if (b < 0x20) {
                out += "\\u00";
                out += "0123456789abcdef"[b >> 4];
                out += "0123456789abcdef"[b & 0x0F];
            } else {
                out += char(b);
            }
            ++i;
        }
        out += '"';
        return out;
    }

    // Escapes at every offset of strings around the eight-byte steps, including bytes that sit
    // just beside the quote, the backslash, the control range and the high half.
    TEST(JsonRuns, EscapesAtEveryOffsetMatchTheByteByByteRule)
    {
        const char specials[] = { '"', '\\', '\n', '\x01', '\x1f', ' ', '!', '#', '[', ']', '\x7f', '\xc3',
            '\xa9', '\x80', '\xff' };
        for (std::size_t size = 0; size <= 33; ++size) {
            for (std::size_t at = 0; at < size; ++at) {
                for (char special : specials) {
                    std::string text(size, 'a');
                    text[at] = special;
                    std::string out = "prefix";
                    AppendJsonString(out, text);
                    ASSERT_EQ(out, "prefix" + ReferenceQuoted(text)) << "size " << size << " at " << at;
                }
            }
        }
        std::mt19937 random(5);
        for (int trial = 0; trial < 2000; ++trial) {
            std::string text(random() % 40, ' ');
            for (char& c : text)
                c = random() % 4 == 0 ? specials[random() % sizeof specials] : char('a' + random() % 26);
            std::string out;
            AppendJsonString(out, text);
            ASSERT_EQ(out, ReferenceQuoted(text)) << trial;
        }
    }

    // Member names are escaped like values when they need it, and plain ones are written as given.
    TEST(JsonRuns, MemberNamesOfEveryKind)
    {
        std::string out;
        TJsonObject json(out);
        json.Int("", 1).Bool("a", true).String("say \"hi\"", "x").Null("tab\there");
        json.String(std::string(60, 'n'), "long").Int("\xc3\xa9t\xc3\xa9", 2).Int("\xff", 3);
        json.Close();
        EXPECT_EQ(out,
            "{\"\":1,\"a\":true,\"say \\\"hi\\\"\":\"x\",\"tab\\there\":null,\"" + std::string(60, 'n')
                + "\":\"long\",\"\xc3\xa9t\xc3\xa9\":2,\"\\u00ff\":3}");
    }

} // namespace
} // namespace pivrel::tools
