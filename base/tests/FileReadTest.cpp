#include "base/FileRead.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace pivrel::base;

namespace {

class FileReadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path()
            / ("pivrel-fileread-" + std::to_string(::getpid()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }

    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }

    std::filesystem::path m_dir;
};

TFileReadOptions Regular(std::size_t limit, TOversize oversize = TOversize::Refuse)
{
    return { limit, TFileKinds::RegularOnly, oversize };
}

// Keeps both ends of a pipe and closes them on every path out of a test.
struct TPipe {
    int Fds[2] = { -1, -1 };

    TPipe() { EXPECT_EQ(::pipe(Fds), 0); }

    ~TPipe()
    {
        for (int fd : Fds) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    void Put(const std::string& bytes)
    {
        ASSERT_EQ(::write(Fds[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
};

} // namespace

TEST_F(FileReadTest, SizeLimitRefusesOrTruncatesAtTheExactEdge)
{
    const std::string path = Write("ten", "0123456789");

    struct TCase {
        std::size_t Limit;
        TOversize Oversize;
        TFileReadFailure Failure;
        std::string Bytes;
    };

    const TCase cases[] = {
        { 10, TOversize::Refuse, TFileReadFailure::None, "0123456789" },
        { 9, TOversize::Refuse, TFileReadFailure::TooLarge, "untouched" },
        { 0, TOversize::Refuse, TFileReadFailure::TooLarge, "untouched" },
        { 10, TOversize::Truncate, TFileReadFailure::None, "0123456789" },
        { 11, TOversize::Truncate, TFileReadFailure::None, "0123456789" },
        { 9, TOversize::Truncate, TFileReadFailure::None, "012345678" },
        { 0, TOversize::Truncate, TFileReadFailure::None, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Limit);
        std::string bytes = "untouched";
        const TFileReadResult result = ReadLocalFile(path, bytes, Regular(c.Limit, c.Oversize));
        EXPECT_EQ(result.Failure, c.Failure);
        EXPECT_EQ(bytes, c.Bytes);
    }
    std::string empty = "untouched";
    EXPECT_TRUE(ReadLocalFile(Write("empty", ""), empty, Regular(0)));
    EXPECT_EQ(empty, "");
}

TEST_F(FileReadTest, LargeFilesArriveWholeAcrossManyReads)
{
    std::string big(300 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 131 % 251);
    const std::string path = Write("big", big);
    for (const TFileKinds kinds : { TFileKinds::RegularOnly, TFileKinds::AnyButDirectory }) {
        std::string bytes;
        ASSERT_TRUE(ReadLocalFile(path, bytes, { big.size(), kinds, TOversize::Refuse }));
        EXPECT_EQ(bytes, big);
    }
    std::string cut;
    ASSERT_TRUE(ReadLocalFile(path, cut, Regular(100 * 1024 + 1, TOversize::Truncate)));
    EXPECT_EQ(cut, big.substr(0, 100 * 1024 + 1));
}

TEST_F(FileReadTest, OnlyRegularFilesPassAndNothingBlocks)
{
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    struct TCase {
        std::string Path;
        TFileReadFailure Failure;
        int Errno;
    };

    // A FIFO with no writer would block an ordinary open for ever; the test timeout catches that.
    const TCase cases[] = {
        { fifo, TFileReadFailure::NotRegularFile, 0 },
        { m_dir.string(), TFileReadFailure::IsDirectory, 0 },
        { "/dev/null", TFileReadFailure::NotRegularFile, 0 },
        { Path("missing"), TFileReadFailure::CannotOpen, ENOENT },
        { Path("missing/below"), TFileReadFailure::CannotOpen, ENOENT },
        { Write("file", "x") + "/below", TFileReadFailure::CannotOpen, ENOTDIR },
        { "", TFileReadFailure::CannotOpen, ENOENT },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        std::string bytes = "untouched";
        const TFileReadResult result = ReadLocalFile(c.Path, bytes, Regular(1000));
        EXPECT_FALSE(result);
        EXPECT_EQ(result.Failure, c.Failure);
        EXPECT_EQ(result.Errno, c.Errno);
        EXPECT_EQ(bytes, "untouched");
    }
    std::filesystem::create_symlink(Path("file"), Path("link"));
    std::string bytes;
    EXPECT_TRUE(ReadLocalFile(Path("link"), bytes, Regular(1)));
    EXPECT_EQ(bytes, "x");
}

TEST_F(FileReadTest, AnythingButADirectoryReadsPipesAndDevices)
{
    std::string bytes = "untouched";
    EXPECT_TRUE(ReadLocalFile("/dev/null", bytes, { .Kinds = TFileKinds::AnyButDirectory }));
    EXPECT_EQ(bytes, "");

    const TFileReadResult directory
        = ReadLocalFile(m_dir.string(), bytes, { .Kinds = TFileKinds::AnyButDirectory });
    EXPECT_EQ(directory.Failure, TFileReadFailure::IsDirectory);
    EXPECT_EQ(directory.Reason(), std::strerror(EISDIR));

    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&fifo] { std::ofstream(fifo, std::ios::binary) << "from a pipe"; });
    const TFileReadResult piped = ReadLocalFile(fifo, bytes, { .Kinds = TFileKinds::AnyButDirectory });
    writer.join();
    EXPECT_TRUE(piped);
    EXPECT_EQ(bytes, "from a pipe");
}

TEST_F(FileReadTest, ReasonsAreTheSystemsWords)
{
    std::string bytes;
    const TFileReadResult missing
        = ReadLocalFile(Path("missing"), bytes, { .Kinds = TFileKinds::AnyButDirectory });
    EXPECT_EQ(missing.Failure, TFileReadFailure::CannotOpen);
    EXPECT_EQ(missing.Reason(), std::strerror(ENOENT));
    EXPECT_EQ(TFileReadResult {}.Reason(), "");
    EXPECT_EQ((TFileReadResult { TFileReadFailure::ReadError, EIO }).Reason(), std::strerror(EIO));
    EXPECT_EQ((TFileReadResult { TFileReadFailure::TooLarge, 0 }).Reason(), std::strerror(EFBIG));
    EXPECT_FALSE((TFileReadResult { TFileReadFailure::NotRegularFile, 0 }).Reason().empty());

    if (::geteuid() != 0) {
        const std::string locked = Write("locked", "secret");
        ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
        const TFileReadResult denied = ReadLocalFile(locked, bytes, Regular(100));
        EXPECT_EQ(denied.Failure, TFileReadFailure::CannotOpen);
        EXPECT_EQ(denied.Reason(), std::strerror(EACCES));
    }
}

TEST(ReadDescriptor, StopsOnePastTheLimitWithoutWaitingForTheEnd)
{
    // The write ends stay open: a reader that insisted on the end of the data would hang.
    TPipe refused;
    refused.Put(std::string(100, 'a'));
    std::string bytes = "untouched";
    EXPECT_EQ(
        ReadDescriptor(refused.Fds[0], bytes, 10, TOversize::Refuse).Failure, TFileReadFailure::TooLarge);
    EXPECT_EQ(bytes, "untouched");

    TPipe truncated;
    truncated.Put("0123456789abc");
    EXPECT_TRUE(ReadDescriptor(truncated.Fds[0], bytes, 10, TOversize::Truncate));
    EXPECT_EQ(bytes, "0123456789");

    TPipe exact;
    exact.Put("0123456789");
    ::close(exact.Fds[1]);
    exact.Fds[1] = -1;
    EXPECT_TRUE(ReadDescriptor(exact.Fds[0], bytes, 10, TOversize::Refuse));
    EXPECT_EQ(bytes, "0123456789");

    EXPECT_EQ(ReadDescriptor(-1, bytes, 10, TOversize::Refuse).Failure, TFileReadFailure::ReadError);
}

TEST_F(FileReadTest, DescriptorsAreReadFromTheirPosition)
{
    const std::string path = Write("file", "headerbody");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 6, SEEK_SET), 6);
    std::string bytes;
    EXPECT_TRUE(ReadDescriptor(fd, bytes, 4, TOversize::Refuse));
    EXPECT_EQ(bytes, "body");
    ::close(fd);
}
