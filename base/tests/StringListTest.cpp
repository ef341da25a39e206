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
