#include "base/StringList.h"

#include <gtest/gtest.h>

using pivrel::base::SplitLines;
using pivrel::base::TStringList;

TEST(SplitLines, AcceptsEveryLineEndAndKeepsEmptyLines)
{
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (TStringList { "a", "b", "c", "d" }));
    EXPECT_EQ(SplitLines("a\n\nb\n"), (TStringList { "a", "", "b" }));
    EXPECT_EQ(SplitLines("\r\r\n"), (TStringList { "", "" }));
    EXPECT_TRUE(SplitLines("").empty());
}

// Line ends are looked for sixteen characters at a time; one at any place in such a block, and a
// CR LF split between two blocks, must split as anywhere else.
TEST(SplitLines, LineEndsAtEveryPlaceOfALongLine)
{
    for (std::size_t at = 0; at <= 40; ++at) {
        const std::string head(at, 'x');

        const struct {
            std::string text;
            TStringList lines;
        } cases[] = {
            { head + "\r\nyy", { head, "yy" } },
            { head + "\ryy\n", { head, "yy" } },
            { head + "\n\nyy", { head, "", "yy" } },
            { head + "\n", { head } },
            { head, head.empty() ? TStringList {} : TStringList { head } },
        };

        for (const auto& c : cases)
            EXPECT_EQ(SplitLines(c.text), c.lines) << at;
    }
}
