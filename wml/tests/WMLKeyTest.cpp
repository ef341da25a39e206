#include "wml/WMLObject.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace pivrel::wml {
namespace {

    // A key reads back as it was given, through copies and moves; the fixed words and the empty
    // key hold no string of their own, a key the deck wrote does.
    TEST(WMLKey, ReadsBackThroughCopiesAndMoves)
    {
        const struct {
            std::string Text;
            bool Own;
        } cases[] = {
            { "", false },
            { "Link", false },
            { "postfield", false },
            { "PIVRELVERSION", false },
            { "OK", true },
            { "link", true },
            { "A title longer than the in-place buffer", true },
        };

        for (const auto& c : cases) {
            SCOPED_TRACE(c.Text);
            TWMLKey key(c.Text);
            EXPECT_EQ(key.Text(), c.Text);
            EXPECT_EQ(key.empty(), c.Text.empty());
            EXPECT_EQ(key.HeapBytes() > 0, c.Own);
            TWMLKey copy = key;
            EXPECT_TRUE(copy == key);
            TWMLKey moved = std::move(copy);
            EXPECT_EQ(moved.Text(), c.Text);
            TWMLKey assigned("other");
            assigned = moved;
            EXPECT_EQ(assigned.Text(), c.Text);
            assigned = TWMLKey();
            EXPECT_TRUE(assigned.empty());
            EXPECT_EQ(key.Text(), c.Text);
        }
    }

} // namespace
} // namespace pivrel::wml
