#include "wml/InputFormat.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pivrel::wml {
namespace {

    constexpr auto kInvalid = TFormatFit::Invalid;
    constexpr auto kIncomplete = TFormatFit::Incomplete;
    constexpr auto kComplete = TFormatFit::Complete;

    struct TFitCase {
        std::string Format;
        std::string Value;
        TEmptyInput Empty;
        TFormatFit Expected;
    };

    TEST(InputFormat, ValuesFitTheMaskCharacterByCharacter)
    {
        constexpr auto by = TEmptyInput::ByFormat;
        const std::vector<TFitCase> cases = {
            { "NNN", "123", by, kComplete },
            { "NNN", "12", by, kIncomplete },
            { "NNN", "12a", by, kInvalid },
            { "NNN", "1234", by, kInvalid },
            { "A", "B", by, kComplete },
            { "A", "!", by, kComplete },
            { "A", "b", by, kInvalid },
            { "A", "1", by, kInvalid },
            { "a", "\xC3\xA9", by, kComplete },
            { "a", "\xC3\x89", by, kInvalid },
            { "X", "Z", by, kComplete },
            { "X", "9", by, kComplete },
            { "X", "z", by, kInvalid },
            { "x", "Z", by, kInvalid },
            { "Mm", "zZ", by, kComplete },
            { "NN\\-NN", "12-34", by, kComplete },
            { "NN\\-NN", "12+34", by, kInvalid },
            { "NN\\-NN", "12-", by, kIncomplete },
            { "A*a", "Hello", by, kComplete },
            { "A*a", "H", by, kComplete },
            { "A*a", "HeLLo", by, kInvalid },
            { "N3a", "1abc", by, kComplete },
            { "N3a", "1abcd", by, kInvalid },
            { "*N", "", by, kComplete },
            { "N", "", by, kIncomplete },
            { "N", "", TEmptyInput::Accepted, kComplete },
            { "*N", "", TEmptyInput::Refused, kIncomplete },
            { "", "", TEmptyInput::Refused, kIncomplete },
            { "", "anything", by, kComplete },
            // A malformed mask counts as none.
            { "*", "x", by, kComplete },
            { "N*", "x", by, kComplete },
            { "*NN", "x", by, kComplete },
            { "Q", "x", by, kComplete },
            { "NN\\", "x", by, kComplete },
        };
        for (const TFitCase& c : cases)
            EXPECT_EQ(FitInputFormat(c.Format, c.Value, c.Empty), c.Expected) << c.Format << " / " << c.Value;
    }

    TEST(InputFormat, LiteralsGoInWhereTheTypingReachesThem)
    {
        const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
            { "NNN\\-NNNN", "5551234", "555-1234" },
            { "NNN\\-NNNN", "555-1234", "555-1234" },
            { "NNN\\-NNNN", "555", "555" },
            { "\\(NNN\\)", "12", "(12" },
            { "N\\\xE2\x82\xAC", "12",
                "1\xE2\x82\xAC"
                "2" },
            { "", "abc", "abc" },
            { "*", "abc", "abc" },
        };
        for (const auto& [format, typed, expected] : cases)
            EXPECT_EQ(InsertFormatLiterals(format, typed), expected) << format << " / " << typed;
    }

    TEST(InputFormat, EmptyokAttribute)
    {
        EXPECT_EQ(EmptyInputFromAttribute("", false), TEmptyInput::ByFormat);
        EXPECT_EQ(EmptyInputFromAttribute("true", true), TEmptyInput::Accepted);
        EXPECT_EQ(EmptyInputFromAttribute("false", true), TEmptyInput::Refused);
        EXPECT_EQ(EmptyInputFromAttribute("TRUE", true), TEmptyInput::Refused);
        EXPECT_TRUE(IsValidInputFormat("NNN\\-*x"));
        EXPECT_FALSE(IsValidInputFormat(""));
        EXPECT_FALSE(IsValidInputFormat("2N3N"));
    }

} // namespace
} // namespace pivrel::wml
