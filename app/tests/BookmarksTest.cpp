#include "app/Bookmarks.h"

#include "app/tests/TempHome.h"

#include <chrono>
#include <gtest/gtest.h>

namespace pivrel::app {

namespace {

    using BookmarksTest = testing::TempHomeTest;

    const char* const kThree
        = "[NAME]\r\n1=One\r\n2=Two\r\n3=Three\r\n[URL]\r\n1=http://1/\r\n2=http://2/\r\n"
          "3=http://3/\r\n";

} // namespace

TEST_F(BookmarksTest, AddingWritesBothSectionsAndFillsEmptyParts)
{
    TBookmarks bookmarks;
    bookmarks.LoadBookmarkList();
    EXPECT_TRUE(bookmarks.Names().empty());
    EXPECT_FALSE(Exists("bookmarks.dat")) << "loading created the file";

    ASSERT_TRUE(bookmarks.AddBookmark("Welcome", "file:///tmp/w.wml"));
    EXPECT_EQ(Bytes("bookmarks.dat"), "[NAME]\r\n1=Welcome\r\n[URL]\r\n1=file:///tmp/w.wml\r\n");
    ASSERT_TRUE(bookmarks.AddBookmark("", ""));
    ASSERT_TRUE(bookmarks.AddBookmark("Line\r\nbreak", "http://x/?a=b"));
    EXPECT_EQ(Bytes("bookmarks.dat"),
        "[NAME]\r\n1=Welcome\r\n2=Unknown Name\r\n3=Line  break\r\n"
        "[URL]\r\n1=file:///tmp/w.wml\r\n2=Unknown Url\r\n3=http://x/?a=b\r\n");
    EXPECT_EQ(bookmarks.Names(), (base::TStringList { "Welcome", "Unknown Name", "Line\r\nbreak" }));
    EXPECT_EQ(bookmarks.UrlAt(2), "http://x/?a=b");

    TBookmarks reloaded;
    reloaded.LoadBookmarkList();
    EXPECT_EQ(reloaded.Names(), (base::TStringList { "Welcome", "Unknown Name", "Line  break" }));
}

TEST_F(BookmarksTest, TheListEndsAtTheFirstGapAndMissingAddressesReadAsHttp)
{
    Write("bookmarks.dat", "[NAME]\n1=a\n2=b\n4=d\n[URL]\n1=http://a/\n3=http://c/\n4=http://d/\n");
    TBookmarks bookmarks;
    bookmarks.LoadBookmarkList();
    EXPECT_EQ(bookmarks.Names(), (base::TStringList { "a", "b" }));
    EXPECT_EQ(bookmarks.UrlAt(0), "http://a/");
    EXPECT_EQ(bookmarks.UrlAt(1), "http://");
    EXPECT_EQ(bookmarks.UrlAt(99), "http://");

    Write("bookmarks.dat", "[NAME]\n1=\n2=b\n");
    bookmarks.LoadBookmarkList();
    EXPECT_TRUE(bookmarks.Names().empty());
}

TEST_F(BookmarksTest, DeletingAndCompactingRenumbersWithoutMarks)
{
    Write("bookmarks.dat", kThree);
    TBookmarks bookmarks;
    bookmarks.LoadBookmarkList();
    ASSERT_TRUE(bookmarks.MarkDeleted(1));
    EXPECT_NE(Bytes("bookmarks.dat").find("2=<-DELETE->"), std::string::npos);
    const auto result = bookmarks.CompactBookmarks();
    EXPECT_TRUE(result.Success);
    EXPECT_TRUE(result.Errors.empty());
    EXPECT_EQ(
        Bytes("bookmarks.dat"), "[NAME]\r\n1=One\r\n2=Three\r\n[URL]\r\n1=http://1/\r\n2=http://3/\r\n");
    EXPECT_EQ(bookmarks.Names(), (base::TStringList { "One", "Three" }));

    ASSERT_TRUE(bookmarks.MarkDeleted(0));
    ASSERT_TRUE(bookmarks.MarkDeleted(1));
    EXPECT_TRUE(bookmarks.CompactBookmarks().Success);
    EXPECT_EQ(Bytes("bookmarks.dat"), "");
    EXPECT_TRUE(bookmarks.Names().empty());
}

TEST_F(BookmarksTest, CompactionDropsHalfEntriesAloudAndKeepsTheRest)
{
    // Entry 2 lacks its address and entry 4 its name: each is dropped with a message, and the
    // bookmarks after them survive. Foreign sections stay.
    Write("bookmarks.dat",
        "[OTHER]\nx=1\n[NAME]\n1=a\n2=b\n3=c\n5=e\n[URL]\n1=http://a/\n3=<-DELETE->\n4=http://d/\n"
        "5=http://e/\n7=http://g/\n");
    TBookmarks bookmarks;
    const auto result = bookmarks.CompactBookmarks();
    EXPECT_TRUE(result.Success);
    EXPECT_EQ(result.Errors, (std::vector<std::string> { "Empty link ecountered", "Empty link ecountered" }));
    EXPECT_EQ(Bytes("bookmarks.dat"),
        "[OTHER]\r\nx=1\r\n[NAME]\r\n1=a\r\n2=e\r\n[URL]\r\n1=http://a/\r\n2=http://e/\r\n");
    EXPECT_EQ(bookmarks.Names(), (base::TStringList { "a", "e" }));
}

TEST_F(BookmarksTest, FindMatchesNameBeginningsIgnoringCase)
{
    Write("bookmarks.dat", "[NAME]\n1=xab\n2=Abc\n3=abd\n4=Zed\n[URL]\n1=u\n2=u\n3=u\n4=u\n");
    TBookmarks bookmarks;
    bookmarks.LoadBookmarkList();
    const std::pair<std::string, std::optional<std::size_t>> cases[] = { { "ab", 1 }, { "AB", 1 },
        { "abd", 2 }, { "x", 0 }, { "", 0 }, { "zz", std::nullopt }, { "Zed!", std::nullopt }, { "z", 3 } };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(bookmarks.Find(text), expected) << text;
    TBookmarks empty(Home("none.dat"));
    EXPECT_EQ(empty.Find(""), std::nullopt);
}

TEST_F(BookmarksTest, DamagedAndHugeFilesStayBounded)
{
    std::string binary = "[NAME]\n1=ok\n";
    for (int i = 0; i < 3000; ++i)
        binary += static_cast<char>((i * 37) & 0xFF);
    Write("bookmarks.dat", binary);
    TBookmarks bookmarks;
    bookmarks.LoadBookmarkList();
    ASSERT_FALSE(bookmarks.Names().empty());
    EXPECT_EQ(bookmarks.Names().front(), "ok");

    std::string names = "[NAME]\r\n";
    std::string urls = "[URL]\r\n";
    for (int i = 1; i <= 40000; ++i) {
        names += std::to_string(i) + "=n" + std::to_string(i) + "\r\n";
        urls += std::to_string(i) + "=http://h/" + std::to_string(i) + "\r\n";
    }
    Write("bookmarks.dat", names + urls);
    const auto start = std::chrono::steady_clock::now();
    bookmarks.LoadBookmarkList();
    EXPECT_EQ(bookmarks.Names().size(), 40000u);
    ASSERT_TRUE(bookmarks.MarkDeleted(0));
    EXPECT_TRUE(bookmarks.CompactBookmarks().Success);
    EXPECT_EQ(bookmarks.Names().size(), 39999u);
    EXPECT_EQ(bookmarks.UrlAt(0), "http://h/2");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(BookmarksTest, UnwritableFileIsReported)
{
    std::filesystem::create_directories(m_home / "bookmarks.dat");
    TBookmarks bookmarks;
    EXPECT_FALSE(bookmarks.AddBookmark("a", "b"));
    EXPECT_EQ(bookmarks.Names().size(), 1u);
    EXPECT_FALSE(bookmarks.CompactBookmarks().Success);
}

} // namespace pivrel::app
