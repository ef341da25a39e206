#include "wml/WMLObject.h"

#include <gtest/gtest.h>
#include <string>

namespace pivrel::wml {
namespace {

    // A record's source text reads back as it was given, however it was given; an empty text
    // keeps nothing out of line.
    TEST(WMLSource, TextReadsBackAndEmptyKeepsNothing)
    {
        const std::string owned = "<input name=\"n\"/>";

        const struct {
            const char* Name;
            void (*Assign)(TWMLSource&, const std::string&);
        } cases[] = {
            { "copied string", [](TWMLSource& s, const std::string& t) { s = t; } },
            { "moved string", [](TWMLSource& s, const std::string& t) { s = std::string(t); } },
            { "view", [](TWMLSource& s, const std::string& t) { s = std::string_view(t); } },
            { "characters", [](TWMLSource& s, const std::string& t) { s = t.c_str(); } },
        };

        for (const auto& c : cases) {
            SCOPED_TRACE(c.Name);
            TWMLSource source;
            EXPECT_FALSE(source.Exists());
            c.Assign(source, owned);
            EXPECT_TRUE(source.Exists());
            EXPECT_EQ(source.Text(), owned);
            EXPECT_EQ(std::string_view(source), owned);
            EXPECT_EQ(source.size(), owned.size());
            c.Assign(source, "");
            EXPECT_FALSE(source.Exists());
            EXPECT_TRUE(source.empty());
            EXPECT_EQ(source.Text(), "");
        }
    }

    TEST(WMLSource, RecordsWithoutTextCompareEqualToEmptyText)
    {
        TWMLText text;
        TWMLSource other;
        other = "<p/>";
        EXPECT_TRUE(text.WMLCode == TWMLSource());
        EXPECT_TRUE(text.WMLCode == "");
        EXPECT_FALSE(text.WMLCode == other);
        text.WMLCode = "<p/>";
        EXPECT_TRUE(text.WMLCode == other);
        text.WMLCode.clear();
        EXPECT_FALSE(text.WMLCode.Exists());
    }

} // namespace
} // namespace pivrel::wml
