#include "base/Ascii.h"

#include <gtest/gtest.h>

using namespace pivrel::base;

TEST(Ascii, LowerChangesOnlyTheAsciiCapitals)
{
    const struct {
        char In;
        char Out;
    } cases[] = { { 'A', 'a' }, { 'Z', 'z' }, { '@', '@' }, { '[', '[' }, { 'a', 'a' }, { '\xC9', '\xC9' } };

    for (const auto& c : cases)
        EXPECT_EQ(AsciiLower(c.In), c.Out) << int(static_cast<unsigned char>(c.In));
}

TEST(Ascii, CaseInsensitiveComparisons)
{
    const struct {
        const char* Text;
        const char* Other;
        bool Same;
        bool StartsWith;
    } cases[] = {
        { "Http://X", "hTTP://x", true, true },
        { "HTTPS://a", "https:", false, true },
        { "http", "https", false, false },
        { "", "", true, true },
        { "abc", "", false, true },
        { "\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\xA9", false, false },
        { "[x", "{X", false, false },
    };

    for (const auto& c : cases) {
        EXPECT_EQ(SameTextIgnoringCase(c.Text, c.Other), c.Same) << c.Text << " / " << c.Other;
        EXPECT_EQ(StartsWithIgnoringCase(c.Text, c.Other), c.StartsWith) << c.Text << " / " << c.Other;
    }
}
