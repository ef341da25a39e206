#include "wml/Entities.h"

#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace pivrel::wml {
namespace {

    // Hostile inputs of a megabyte: a quadratic pass over them would run into the test timeout.

    struct TCase {
        std::string Input;
        std::string Expected;
    };

    void ExpectAll(const std::vector<TCase>& cases, std::string (*decode)(std::string_view))
    {
        for (const TCase& c : cases)
            EXPECT_EQ(decode(c.Input), c.Expected) << "input: " << c.Input;
    }

    // The decoding as its rules read: replace the first occurrence, then search from the start again.
    namespace slow {

        // The UTF-8 of a run of hex digits, or empty when it names no Unicode scalar value.
        std::string HexUtf8(const std::string& digits)
        {
            std::size_t significant = digits.find_first_not_of('0');
            if (significant == std::string::npos || digits.size() - significant > 6)
                return "";
            return EncodeUtf8(static_cast<char32_t>(std::stoul(digits.substr(significant), nullptr, 16)));
        }

        // The first "&#x" + hex digits + ";" that names a scalar value, with its encoding.
        std::optional<std::pair<std::size_t, std::string>> FirstHexReference(const std::string& text)
        {
            for (std::size_t p = text.find("&#x"); p != std::string::npos; p = text.find("&#x", p + 1)) {
                std::size_t q = p + 3;
                while (q < text.size() && std::isxdigit(static_cast<unsigned char>(text[q])))
                    ++q;
                if (q == p + 3 || q == text.size() || text[q] != ';')
                    continue;
                std::string utf8 = HexUtf8(text.substr(p + 3, q - p - 3));
                if (!utf8.empty())
                    return std::make_pair(p, utf8);
            }
            return std::nullopt;
        }

        std::string Decode(std::string text)
        {
            const std::vector<std::pair<std::string, std::string>> named
                = { { "&nbsp;", "\xC2\xA0" }, { "&amp;", "&" }, { "&lt;", "<" }, { "&gt;", ">" },
                      { "&quot;", "\"" }, { "&shy;", "\xC2\xAD" }, { "&apos;", "'" } };
            for (const auto& [entity, replacement] : named) {
                for (std::size_t p = text.find(entity); p != std::string::npos; p = text.find(entity))
                    text.replace(p, entity.size(), replacement);
            }
            while (auto reference = FirstHexReference(text)) {
                std::size_t p = reference->first;
                text.replace(p, text.find(';', p) - p + 1, reference->second);
            }
            for (std::size_t p = text.find("&#"); p != std::string::npos; p = text.find("&#")) {
                std::size_t q = text.find(';', p);
                if (q == std::string::npos) {
                    text.replace(p, 3, " ");
                    continue;
                }
                std::string number = text.substr(p + 2, q - p - 2);
                std::string utf8;
                if (!number.empty() && number.size() < 8
                    && number.find_first_not_of("0123456789") == std::string::npos)
                    utf8 = std::stoul(number) == 0 ? ""
                                                   : EncodeUtf8(static_cast<char32_t>(std::stoul(number)));
                text.replace(p, q - p + 1, utf8.empty() ? " " : utf8);
            }
            return text;
        }

    } // namespace slow

    TEST(Entities, AgreesWithSearchingFromTheStartAfterEveryReplacement)
    {
        const std::string alphabet = "&&&##;;xampltgq134680bdD ";
        std::mt19937 random(20240601);
        for (int round = 0; round < 20000; ++round) {
            std::string text;
            std::size_t length = random() % 16;
            for (std::size_t i = 0; i < length; ++i)
                text.push_back(alphabet[random() % alphabet.size()]);
            ASSERT_EQ(DecodeEntityTable(text), slow::Decode(text)) << "input: " << text;
        }
    }

    TEST(Entities, NamedEntitiesApplyInTableOrderOnEachOthersResults)
    {
        ExpectAll(
            {
                { "a &lt;b&gt; &quot;c&quot; &apos;d&apos;", "a <b> \"c\" 'd'" },
                { "&amp;lt;", "<" },
                { "&amp;amp;", "&" },
                { "&amp;amp;amp;lt;", "<" },
                // &nbsp; comes before &amp; in the table, so one produced by &amp; stays.
                { "&amp;nbsp;", "&nbsp;" },
                { "x&nbsp;y",
                    "x\xC2\xA0"
                    "y" },
                { "&shy;", "\xC2\xAD" },
                { "&&amp;lt;;", "&<;" },
                { "&AMP; &amp &;", "&AMP; &amp &;" },
                { "", "" },
                { "&", "&" },
            },
            DecodeEntities);
    }

    TEST(Entities, NumericReferencesGiveUtf8)
    {
        ExpectAll(
            {
                { "&#65;", "A" },
                { "&#233;", "\xC3\xA9" },
                { "&#8364;", "\xE2\x82\xAC" },
                { "&#x41;", "A" },
                { "&#xe9;&#xE9;", "\xC3\xA9\xC3\xA9" },
                { "&#x2019;", "\xE2\x80\x99" },
                { "&#x1F600;", "\xF0\x9F\x98\x80" },
                { "&#1114111;", "\xF4\x8F\xBF\xBF" },
                { "&#+65;", "A" },
                { "&#0065;&#x0041;", "AA" },
                // A "&" made by &amp; starts a reference; one made by a reference starts another.
                { "&amp;#65;", "A" },
                { "&#38;#65;", "A" },
                { "&&#35;66;", "B" },
                { "&#x26;#x43;", "C" },
                { "&#x&#x41;;", "\n" },
                { "&#x41&#x3b;", "A" },
                { "&#65&#59;", " " },
            },
            DecodeEntities);
    }

    TEST(Entities, MalformedNumericReferencesBecomeABlank)
    {
        ExpectAll(
            {
                { "a&#;b", "a b" },
                { "a&#0;b", "a b" },
                { "a&#-65;b", "a b" },
                { "a&#55296;b", "a b" },
                { "a&#xD800;b", "a b" },
                { "a&#1114112;b", "a b" },
                { "a&#x110000;b", "a b" },
                { "a&#99999999999999999999999;b", "a b" },
                { "a&#12ab;b", "a b" },
                { "a&#X41;b", "a b" },
                { "a&#xZZ;b", "a b" },
                { "a&#x;b", "a b" },
                // The number text runs to the first ";" after "&#", other references included.
                { "&#12&#65;z", " z" },
                // Without a ";" after it, "&#" and the character after it give one blank.
                { "a&#65b", "a 5b" },
                { "a&#x41", "a 41" },
                { "a&#", "a " },
                { "&#&#", " #" },
            },
            DecodeEntities);
    }

    TEST(Entities, BlanksCollapseOnlyBeforeDecoding)
    {
        ExpectAll(
            {
                { "a  b", "a b" },
                { "     ", " " },
                { "a&nbsp;&nbsp;b",
                    "a\xC2\xA0\xC2\xA0"
                    "b" },
                { "a &nbsp; b", "a \xC2\xA0 b" },
                { "a\t\tb", "a\t\tb" },
            },
            DecodeEntities);
        ExpectAll(
            {
                { "a  b&amp;c", "a  b&c" },
                { "  &#32; ", "    " },
            },
            DecodeEntityTable);
    }

    TEST(Entities, EncodeUtf8CoversEveryLengthAndRejectsNonScalars)
    {
        EXPECT_EQ(EncodeUtf8(0x7F), "\x7F");
        EXPECT_EQ(EncodeUtf8(0x80), "\xC2\x80");
        EXPECT_EQ(EncodeUtf8(0x7FF), "\xDF\xBF");
        EXPECT_EQ(EncodeUtf8(0x800), "\xE0\xA0\x80");
        EXPECT_EQ(EncodeUtf8(0xFFFF), "\xEF\xBF\xBF");
        EXPECT_EQ(EncodeUtf8(0x10000), "\xF0\x90\x80\x80");
        EXPECT_EQ(EncodeUtf8(0xD800), "");
        EXPECT_EQ(EncodeUtf8(0xDFFF), "");
        EXPECT_EQ(EncodeUtf8(0x110000), "");
    }

    TEST(Entities, MegabyteInputsDecodeInLinearTime)
    {
        const std::size_t n = 1 << 20;
        std::vector<std::pair<std::string, std::size_t>> inputs;
        std::string amps;
        for (std::size_t i = 0; i < n / 5; ++i)
            amps += "&amp;";
        inputs.emplace_back(amps, n / 5);
        std::string nestedAmps = "&";
        for (std::size_t i = 0; i < n / 4; ++i)
            nestedAmps += "amp;";
        inputs.emplace_back(nestedAmps, 1);
        inputs.emplace_back(std::string(n, '&'), n);
        std::string hashes;
        for (std::size_t i = 0; i < n / 2; ++i)
            hashes += "&#";
        inputs.emplace_back(hashes, std::string::npos);
        std::string hexRun = "&#x" + std::string(n, '1');
        inputs.emplace_back(hexRun + ";", 1);
        std::string chained = "&";
        for (std::size_t i = 0; i < n / 4; ++i)
            chained += "#38;";
        inputs.emplace_back(chained + "#65;", 1);
        inputs.emplace_back(std::string(n, ' '), 1);
        inputs.emplace_back("&#" + std::string(n, '9') + std::string(n, ';'), n);

        for (const auto& [input, expectedSize] : inputs) {
            std::string decoded = DecodeEntities(input);
            if (expectedSize != std::string::npos) {
                EXPECT_EQ(decoded.size(), expectedSize) << "input starts with " << input.substr(0, 12);
            }
        }
    }

} // namespace
} // namespace pivrel::wml
