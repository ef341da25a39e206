#include "base/ListFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pivrel::base;
using namespace std::string_literals;

namespace {

class ListFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path()
            / ("pivrel-list-" + std::to_string(::getpid()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }

    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }

    std::filesystem::path m_dir;
};

} // namespace

TEST(ListText, SplitsEveryLineEndAndSkipsJunkLines)
{
    EXPECT_EQ(ParseListText("a\r\nb\rc\nd"), (TStringList { "a", "b", "c", "d" }));
    EXPECT_EQ(ParseListText("\r\n\n\ra\n\n"), (TStringList { "a" }));
    EXPECT_EQ(ParseListText("ok\nbin\0ary\nx\x01y\ntab\there\ndel\x7f\nutf8 \xc3\xa9\n"s),
        (TStringList { "ok", "tab\there", "utf8 \xc3\xa9" }));
    EXPECT_TRUE(ParseListText("").empty());

    const std::string longLine(kMaxListLineBytes + 1, 'x');
    const std::string fits(kMaxListLineBytes, 'y');
    EXPECT_EQ(ParseListText("a\n" + longLine + "\r\n" + fits + "\rb"), (TStringList { "a", fits, "b" }));
    EXPECT_EQ(SplitBoundedLines("1\n2\n3\n4", 2), (TStringList { "1", "2" }));
    EXPECT_EQ(SplitBoundedLines("\r\r\n\n"), (TStringList { "", "", "" }));
}

TEST(ListText, FormatsWithCrLfAndKeepsOneEntryOneLine)
{
    EXPECT_EQ(FormatListText({ "a", "b" }), "a\r\nb\r\n");
    EXPECT_EQ(FormatListText({}), "");
    EXPECT_EQ(FormatListText({ "x\r\ny", "z\n" }), "x  y\r\nz \r\n");
}

TEST(ListText, CaseHelpersTouchAsciiLettersOnly)
{
    EXPECT_EQ(AsciiLower("HTTP://A.B/\xC3\x89Z"), "http://a.b/\xC3\x89z");
    EXPECT_EQ(AsciiUpper("ab\xC3\xA9z1"), "AB\xC3\xA9Z1");
    EXPECT_TRUE(SameTextIgnoringCase("Http://X", "hTTP://x"));
    EXPECT_FALSE(SameTextIgnoringCase("a", "ab"));
}

TEST_F(ListFileTest, LoadsMissingEmptyDirectoryFifoAndBinaryFiles)
{
    EXPECT_TRUE(LoadListFile(Path("missing.lst")).empty());
    Write("empty.lst", "");
    EXPECT_TRUE(LoadListFile(Path("empty.lst")).empty());
    EXPECT_TRUE(LoadListFile(m_dir.string()).empty());
    ASSERT_EQ(::mkfifo(Path("fifo.lst").c_str(), 0600), 0);
    EXPECT_TRUE(LoadListFile(Path("fifo.lst")).empty()); // must not block
    Write("mixed.lst", "http://a/\r\n\0\0\0\xff\xfe\r\nhttp://b/"s);
    EXPECT_EQ(LoadListFile(Path("mixed.lst")), (TStringList { "http://a/", "http://b/" }));
}

TEST_F(ListFileTest, ReadsAtMostTheByteBound)
{
    std::string big;
    while (big.size() < kMaxListFileBytes + 1000)
        big += "http://example.org/a/long/address/" + std::to_string(big.size()) + "\n";
    Write("big.lst", big);
    std::string bytes;
    ASSERT_TRUE(ReadBoundedFile(Path("big.lst"), bytes));
    EXPECT_EQ(bytes.size(), kMaxListFileBytes);
    EXPECT_EQ(bytes, big.substr(0, kMaxListFileBytes));
}

TEST_F(ListFileTest, SavesAtomicallyAndReportsFailure)
{
    std::string error;
    ASSERT_TRUE(SaveListFile({ "one", "two" }, Path("a.lst"), error)) << error;
    std::string bytes;
    ASSERT_TRUE(ReadBoundedFile(Path("a.lst"), bytes));
    EXPECT_EQ(bytes, "one\r\ntwo\r\n");
    ASSERT_TRUE(SaveListFile({}, Path("a.lst"), error));
    ASSERT_TRUE(ReadBoundedFile(Path("a.lst"), bytes));
    EXPECT_EQ(bytes, "");

    EXPECT_FALSE(SaveListFile({ "x" }, Path("no/such/dir.lst"), error));
    EXPECT_FALSE(error.empty());
    // A directory in the file's place cannot be replaced; nothing is left behind.
    std::filesystem::create_directory(m_dir / "taken.lst");
    EXPECT_FALSE(SaveListFile({ "x" }, Path("taken.lst"), error));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_dir))
        ++entries;
    EXPECT_EQ(entries, 2u); // a.lst and taken.lst
}

TEST_F(ListFileTest, SavingThroughASymbolicLinkKeepsTheLinkAndMakesThePrivateFile)
{
    namespace fs = std::filesystem;
    fs::create_directories(m_dir / "real");
    Write("real/Pivrel.ini", "old");
    ::chmod(Path("real/Pivrel.ini").c_str(), 0644);

    struct TCase {
        std::string link;
        std::string target; // as the link names it
    };

    const TCase cases[] = {
        { "relative.ini", "real/Pivrel.ini" },
        { "absolute.ini", Path("real/Pivrel.ini") },
        { "chained.ini", "relative.ini" },
        { "dangling.ini", "real/new.ini" },
    };
    for (const TCase& c : cases) {
        fs::create_symlink(c.target, m_dir / c.link);
        std::string error;
        ASSERT_TRUE(WriteFileAtomically(Path(c.link), "via " + c.link, error)) << error;
        EXPECT_TRUE(fs::is_symlink(m_dir / c.link)) << c.link;
        std::ifstream in(Path(c.link), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes, "via " + c.link);

        struct stat info { };

        ASSERT_EQ(::stat(Path(c.link).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << c.link;
    }
    // A loop of links is written as the path itself, replacing the link.
    fs::create_symlink("loop-b", m_dir / "loop-a");
    fs::create_symlink("loop-a", m_dir / "loop-b");
    std::string error;
    EXPECT_TRUE(WriteFileAtomically(Path("loop-a"), "flat", error)) << error;
    EXPECT_FALSE(fs::is_symlink(m_dir / "loop-a"));
}
