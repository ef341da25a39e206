#include "engine/WMLHistory.h"

#include <gtest/gtest.h>

namespace pivrel::engine {
namespace {

    TEST(WMLHistory, EmptyAndSingleEntryHistoriesCannotMove)
    {
        TWMLHistory history;
        EXPECT_EQ(history.CurrentOffset(), -1);
        EXPECT_FALSE(history.CanGoBack());
        EXPECT_FALSE(history.CanGoForward());
        EXPECT_FALSE(history.Back());
        EXPECT_FALSE(history.Forward());
        EXPECT_EQ(history.CurrentOffset(), -1);

        EXPECT_TRUE(history.Add("a1"));
        EXPECT_EQ(history.CurrentOffset(), 0);
        EXPECT_FALSE(history.CanGoBack());
        EXPECT_FALSE(history.CanGoForward());
        EXPECT_FALSE(history.Back());
        EXPECT_EQ(history.CurrentURL(), "");
    }

    TEST(WMLHistory, BackAndForwardWalkTheListWithinItsBounds)
    {
        TWMLHistory history;
        history.Add("a1");
        history.Add("a2");
        history.Add("a3");
        EXPECT_EQ(history.CurrentOffset(), 2);
        EXPECT_EQ(history.CurrentURL(), ""); // Add never moves CurrentURL.
        EXPECT_TRUE(history.Back());
        EXPECT_TRUE(history.Back());
        EXPECT_EQ(history.CurrentURL(), "a1");
        EXPECT_EQ(history.CurrentOffset(), 0);
        EXPECT_FALSE(history.Back());
        EXPECT_EQ(history.CurrentURL(), "a1");
        EXPECT_TRUE(history.Forward());
        EXPECT_EQ(history.CurrentURL(), "a2");
        EXPECT_TRUE(history.Forward());
        EXPECT_FALSE(history.Forward());
        EXPECT_EQ(history.CurrentOffset(), 2);
        EXPECT_EQ(history.CurrentURL(), "a3");
    }

    TEST(WMLHistory, AddingDropsTheForwardPartAndKeepsDuplicates)
    {
        TWMLHistory history;
        for (const char* url : { "a1", "a2", "a3" })
            history.Add(url);
        history.Back();
        history.Add("a4");
        EXPECT_EQ(history.URLHistory(), (base::TStringList { "a1", "a2", "a4" }));
        EXPECT_EQ(history.CurrentOffset(), 2);
        EXPECT_FALSE(history.CanGoForward());

        history.Back();
        history.Back();
        history.Add("a1");
        history.Add("a1");
        EXPECT_EQ(history.URLHistory(), (base::TStringList { "a1", "a1", "a1" }));
        EXPECT_EQ(history.CurrentOffset(), 2);
        EXPECT_TRUE(history.CanGoBack());
    }

} // namespace
} // namespace pivrel::engine
