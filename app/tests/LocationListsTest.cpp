#include "app/LocationLists.h"

#include "app/tests/TempHome.h"

#include <chrono>
#include <gtest/gtest.h>

namespace pivrel::app {

using namespace std::string_literals;

namespace {

    using LocationListsTest = testing::TempHomeTest;

} // namespace

TEST_F(LocationListsTest, RecentListKeepsTenAddressesWithoutFragmentsOrQueries)
{
    TRecentList recent;

    struct Step {
        const char* Shown;
        bool Changes;
    };

    const Step steps[] = {
        { "http://a/deck.wml#card1", true },
        { "http://a/deck.wml#card2", false }, // same deck, other card
        { "HTTP://A/DECK.WML", false }, // letter case ignored
        { "http://b/x.wml?q=1#c", true },
        { "http://b/x.wml?other", false },
        { "http://c/p?x#y?z", true },
        { "#only-a-fragment", false }, // nothing is left to record
        { "?q", false },
        { "", false },
    };
    for (const auto& step : steps)
        EXPECT_EQ(recent.AddRecentURL(step.Shown), step.Changes) << step.Shown;
    EXPECT_EQ(recent.Items(), (base::TStringList { "http://c/p", "http://b/x.wml", "http://a/deck.wml" }));
    EXPECT_EQ(Bytes("Recent.lst"), "http://c/p\r\nhttp://b/x.wml\r\nhttp://a/deck.wml\r\n");

    for (int i = 0; i < 8; ++i)
        recent.AddRecentURL("file:///d" + std::to_string(i) + ".wml");
    ASSERT_EQ(recent.Items().size(), 10u);
    EXPECT_EQ(recent.Items().front(), "file:///d7.wml");
    EXPECT_EQ(recent.Items().back(), "http://b/x.wml") << "the oldest, http://a/deck.wml, is dropped";
    EXPECT_FALSE(recent.AddRecentURL("http://b/x.wml"));
    EXPECT_EQ(recent.Items().back(), "http://b/x.wml") << "a known address keeps its place";

    TRecentList reloaded;
    reloaded.Load();
    EXPECT_EQ(reloaded.Items(), recent.Items());
}

TEST_F(LocationListsTest, RecentListLoadsDamagedFilesWithinItsBounds)
{
    TRecentList recent;
    recent.Load();
    EXPECT_TRUE(recent.Items().empty());
    std::string many = "http://x/\r\nHTTP://X/\n\n\0junk\n"s;
    for (int i = 0; i < 40; ++i)
        many += "http://n" + std::to_string(i) + "/\r";
    Write("Recent.lst", many);
    recent.Load();
    ASSERT_EQ(recent.Items().size(), 10u);
    EXPECT_EQ(recent.Items()[0], "http://x/");
    EXPECT_EQ(recent.Items()[1], "http://n0/");
    EXPECT_EQ(Bytes("Recent.lst"), many) << "loading wrote the file";
}

TEST(ReopenCaption, DigitTwoBlanksAndTheAddressBack)
{
    const std::pair<std::size_t, std::string> cases[]
        = { { 0, "http://a/" }, { 9, "file:///x y.wml" }, { 3, "http://a/b&c&&d" }, { 1, "" } };
    for (const auto& [index, address] : cases) {
        const std::string caption = TRecentList::ReopenCaption(index, address);
        EXPECT_EQ(caption.substr(0, 4), "&" + std::to_string(index) + "  ");
        EXPECT_EQ(TRecentList::AddressFromReopenCaption(caption), address);
    }
    EXPECT_EQ(TRecentList::ReopenCaption(3, "http://a/b&c"), "&3  http://a/b&&c");
    EXPECT_EQ(TRecentList::AddressFromReopenCaption("&1"), "");
}

TEST_F(LocationListsTest, TypedLocationsMoveKnownEntriesUpAndHonourMaxHistory)
{
    TTypedLocations typed;
    typed.Load();
    for (const char* text : { "a", "b", "c" })
        EXPECT_TRUE(typed.AddTypedLocation(text, 100));
    EXPECT_TRUE(typed.AddTypedLocation("A", 100));
    EXPECT_EQ(typed.Items(), (base::TStringList { "A", "c", "b" })) << "the new spelling moves to the top";
    EXPECT_TRUE(typed.AddTypedLocation("", 100));
    EXPECT_EQ(typed.Items().size(), 3u);
    EXPECT_EQ(Bytes("ManLocations.lst"), "A\r\nc\r\nb\r\n");

    struct Case {
        int MaxHistory;
        std::size_t Kept;
    };

    const Case cases[] = { { 10, 10 }, { 5, 10 }, { -3, 10 }, { 12, 12 }, { 600, 500 }, { 500, 500 } };
    std::string file;
    for (int i = 0; i < 520; ++i)
        file += "http://s" + std::to_string(i) + "/\r\n";
    for (const auto& c : cases) {
        Write("t.lst", file);
        TTypedLocations list(Home("t.lst"));
        list.Load();
        ASSERT_EQ(list.Items().size(), 500u) << "no more than the largest MaxHistory is loaded";
        list.AddTypedLocation("new", c.MaxHistory);
        ASSERT_EQ(list.Items().size(), c.Kept) << c.MaxHistory;
        EXPECT_EQ(list.Items().front(), "new");
        EXPECT_EQ(list.Items().back(), "http://s" + std::to_string(c.Kept - 2) + "/");
    }

    // The eleventh distinct entry with MaxHistory 10 pushes out the oldest.
    TTypedLocations ten(Home("ten.lst"));
    for (int i = 1; i <= 11; ++i)
        ten.AddTypedLocation(std::to_string(i), 10);
    EXPECT_EQ(ten.Items().back(), "2");
    TTypedLocations reloaded(Home("ten.lst"));
    reloaded.Load();
    EXPECT_EQ(reloaded.Items(), ten.Items());
}

TEST_F(LocationListsTest, OpenLocationsStaySortedIgnoringCase)
{
    TOpenLocations open;
    open.Load();
    EXPECT_TRUE(open.Items().empty());
    EXPECT_TRUE(open.Add("http://b/"));
    EXPECT_TRUE(open.Add("file:///Z.wml"));
    EXPECT_TRUE(open.Add("HTTP://A/"));
    EXPECT_FALSE(open.Add("http://a/"));
    EXPECT_FALSE(open.Add(""));
    EXPECT_TRUE(open.Add("http://a/x"));
    EXPECT_EQ(open.Items(), (base::TStringList { "file:///Z.wml", "HTTP://A/", "http://a/x", "http://b/" }));
    std::string error;
    ASSERT_TRUE(open.Save(error)) << error;

    Write("Locations.lst", "zeta\r\nAlpha\r\nbeta\r\nALPHA\r\n\r\nalpha two\r\n");
    TOpenLocations loaded;
    loaded.Load();
    EXPECT_EQ(loaded.Items(), (base::TStringList { "Alpha", "alpha two", "beta", "zeta" }));
}

TEST_F(LocationListsTest, LongListFilesLoadQuickly)
{
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "http://host/" + std::to_string((i * 7919) % 100000) + "\r\n";
    Write("Locations.lst", text);
    Write("ManLocations.lst", text);
    const auto start = std::chrono::steady_clock::now();
    TOpenLocations open;
    open.Load();
    TTypedLocations typed;
    typed.Load();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(open.Items().size(), 100000u);
    EXPECT_EQ(typed.Items().size(), 500u);
}

TEST_F(LocationListsTest, ClearHistoryDeletesTheThreeListFilesOnly)
{
    DeleteHistoryFiles(); // nothing there: no harm
    for (const char* name :
        { "Recent.lst", "ManLocations.lst", "Locations.lst", "Pivrel.ini", "bookmarks.dat" })
        Write(name, "x\r\n");
    DeleteHistoryFiles();
    EXPECT_FALSE(Exists("Recent.lst"));
    EXPECT_FALSE(Exists("ManLocations.lst"));
    EXPECT_FALSE(Exists("Locations.lst"));
    EXPECT_TRUE(Exists("Pivrel.ini"));
    EXPECT_TRUE(Exists("bookmarks.dat"));
}

} // namespace pivrel::app
