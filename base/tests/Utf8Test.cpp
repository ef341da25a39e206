#include "base/Utf8.h"

#include "base/Hex.h"

#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace pivrel::base;
using namespace std::string_literals;

namespace {

constexpr char32_t kBad = 0xFFFFFFFF;

bool IsScalar(char32_t cp)
{
    return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

// A byte string is one well-formed sequence exactly when decoding it gives a scalar value whose
// encoding is those very bytes; this checks the three functions against each other and that rule.
void ExpectAgreesWithEncoding(const std::string& bytes)
{
    std::size_t pos = 0;
    const char32_t cp = DecodeUtf8(bytes, pos, kBad);
    std::string again;
    if (cp != kBad && IsScalar(cp))
        AppendUtf8(again, cp);
    const bool wellFormed = !again.empty() && again == bytes;
    ASSERT_EQ(Utf8SequenceLength(bytes, 0), wellFormed ? bytes.size() : 0u) << testing::PrintToString(bytes);
    ASSERT_EQ(pos, wellFormed ? bytes.size() : 1u) << testing::PrintToString(bytes);
    ASSERT_EQ(IsValidUtf8(bytes), wellFormed) << testing::PrintToString(bytes);
    if (!wellFormed) {
        ASSERT_EQ(cp, kBad) << testing::PrintToString(bytes);
    }
}

} // namespace

TEST(Utf8, EveryScalarValueRoundTrips)
{
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (!IsScalar(cp))
            continue;
        std::string bytes;
        AppendUtf8(bytes, cp);
        const std::size_t expected = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        ASSERT_EQ(bytes.size(), expected) << std::hex << std::uint32_t(cp);
        ASSERT_EQ(Utf8SequenceLength(bytes, 0), expected) << std::hex << std::uint32_t(cp);
        std::size_t pos = 0;
        ASSERT_EQ(DecodeUtf8(bytes, pos, kBad), cp);
        ASSERT_EQ(pos, expected);
    }
}

TEST(Utf8, EveryShortByteStringIsJudgedByTheEncodingRule)
{
    for (int a = 0x80; a < 0x100; ++a) {
        for (int b = 0; b < 0x100; ++b) {
            ExpectAgreesWithEncoding({ char(a), char(b) });
            // Three-byte forms in full, and four-byte forms with every second byte.
            if (a >= 0xE0 && a <= 0xEF) {
                for (int c = 0; c < 0x100; ++c)
                    ExpectAgreesWithEncoding({ char(a), char(b), char(c) });
            }
            if (a >= 0xF0) {
                ExpectAgreesWithEncoding({ char(a), char(b), '\x80', '\xBF' });
                ExpectAgreesWithEncoding({ char(a), '\x90', char(b), '\x80' });
                ExpectAgreesWithEncoding({ char(a), '\x8F', '\x80', char(b) });
            }
        }
    }
}

TEST(Utf8, BrokenSequencesCountTheirLongestPossiblePrefix)
{
    struct TCase {
        std::string Text;
        std::size_t Invalid;
    };

    const std::vector<TCase> cases = {
        { "\x80", 1 },
        { "\xBF\x80", 1 },
        { "\xC0\xAF", 1 }, // overlong slash
        { "\xC1\xBF", 1 },
        { "\xC2", 1 }, // cut at the end
        { "\xC2"s + '\0', 1 },
        { "\xE0\x80\x80", 1 }, // overlong: the second byte is already wrong
        { "\xE0\xA0", 2 },
        { "\xE1\x80\x41", 2 },
        { "\xED\xA0\x80", 1 }, // surrogate
        { "\xED\x9F", 2 },
        { "\xF0\x8F\xBF\xBF", 1 },
        { "\xF0\x90\x80", 3 },
        { "\xF0\x90\x80\x41", 3 },
        { "\xF4\x90\x80\x80", 1 }, // past U+10FFFF
        { "\xF4\x8F\xBF", 3 },
        { "\xF5\x80\x80\x80", 1 },
        { "\xFE", 1 },
        { "\xFF\xFF", 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Text));
        EXPECT_EQ(Utf8SequenceLength(c.Text, 0), 0u);
        EXPECT_EQ(Utf8InvalidLength(c.Text, 0), c.Invalid);
        EXPECT_FALSE(IsValidUtf8(c.Text));
    }
}

TEST(Utf8, PositionsInsideATextAreReadFromThere)
{
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xE2\x82";
    std::vector<char32_t> decoded;
    for (std::size_t pos = 0; pos < text.size();)
        decoded.push_back(DecodeUtf8(text, pos, 0xFFFD));
    // The cut sequence at the end gives one replacement per byte: each is read afresh.
    EXPECT_EQ(decoded, (std::vector<char32_t> { U'a', 0xE9, 0x20AC, 0x1F600, 0xFFFD, 0xFFFD }));
    EXPECT_EQ(Utf8SequenceLength(text, 3), 3u);
    EXPECT_EQ(Utf8SequenceLength(text, 4), 0u);
    EXPECT_EQ(Utf8InvalidLength(text, 10), 2u);
    EXPECT_EQ(Utf8SequenceLength(text, 11), 0u);
}

TEST(Utf8, ValidityIsCheckedAtEveryOffsetOfTheFastAsciiPath)
{
    for (std::size_t length = 0; length <= 24; ++length) {
        const std::string ascii(length, 'x');
        EXPECT_TRUE(IsValidUtf8(ascii));
        for (std::size_t at = 0; at < length; ++at) {
            for (const std::string& bad : { "\x80"s, "\xFF"s, "\xC3"s, "\xED\xA0\x80"s }) {
                std::string text = ascii;
                text.replace(at, 1, bad);
                EXPECT_FALSE(IsValidUtf8(text)) << length << " " << at;
            }
            std::string good = ascii;
            good.replace(at, 1, "\xE2\x82\xAC");
            EXPECT_TRUE(IsValidUtf8(good)) << length << " " << at;
        }
    }
    EXPECT_TRUE(IsValidUtf8(""s + '\0' + "abc"));
}

TEST(Hex, DigitValuesOfEveryByte)
{
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        const bool digit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        const int expected = digit ? int(std::strtol(std::string(1, c).c_str(), nullptr, 16)) : -1;
        EXPECT_EQ(HexDigitValue(c), expected) << b;
    }
    static_assert(HexDigitValue('F') == 15 && HexDigitValue('g') == -1);
}
