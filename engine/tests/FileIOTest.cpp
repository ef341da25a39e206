#include "engine/FileIO.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

#include "tests/support/TempDir.h"

namespace pivrel::engine {
namespace {

    namespace fs = std::filesystem;

    class FileIOTest : public ::testing::Test
    {
    protected:
        static unsigned Mode(const std::string& path)
        {
            struct stat info { };

            return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
        }

        testsupport::TTempDir temp { "pivrel-fileio" };
        const std::string root = temp.Path();
    };

    TEST_F(FileIOTest, TemporaryFilesArePrivateDistinctAndGoAway)
    {
        const std::string dir = root + "/Cache";
        std::set<std::string> paths;
        {
            std::vector<std::unique_ptr<TTempBodyFile>> files;
            for (int i = 0; i < 50; ++i) {
                files.push_back(std::make_unique<TTempBodyFile>());
                ASSERT_TRUE(files.back()->Create(dir, ".$$$"));
                paths.insert(files.back()->Path());
                EXPECT_EQ(Mode(files.back()->Path()), 0600u);
            }
            EXPECT_EQ(paths.size(), 50u);
            EXPECT_EQ(Mode(dir), 0700u);
            // A second Create on the same object is refused rather than leaking the first file.
            EXPECT_FALSE(files.front()->Create(dir, ".$$$"));
        }
        EXPECT_TRUE(fs::is_empty(dir));
    }

    TEST_F(FileIOTest, WrittenBytesComeBackWhole)
    {
        TTempBodyFile file;
        ASSERT_TRUE(file.Create(root, ".$$$"));
        std::string bytes;
        for (int i = 0; i < 200000; ++i)
            bytes.push_back(static_cast<char>(i * 7));
        file.Stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::string back;
        ASSERT_TRUE(file.ReadAll(back, bytes.size()));
        EXPECT_EQ(back, bytes);
        EXPECT_FALSE(file.ReadAll(back, bytes.size() - 1));
    }

    TEST_F(FileIOTest, CreationFailsWhereNoDirectoryCanBe)
    {
        std::ofstream(root + "/plain") << "x";
        for (const std::string& dir : { root + "/plain", root + "/plain/Cache" }) {
            TTempBodyFile file;
            std::string error;
            EXPECT_FALSE(file.Create(dir, ".$$$", error)) << dir;
            EXPECT_TRUE(file.Path().empty()) << dir;
            EXPECT_EQ(error, "Not a directory") << dir;
        }
    }

    TEST_F(FileIOTest, EveryMissingLevelOfTheDirectoryIsMadePrivate)
    {
        TTempBodyFile file;
        ASSERT_TRUE(file.Create(root + "/a/b/c", ".$$$"));
        for (const char* level : { "/a", "/a/b", "/a/b/c" }) {
            const auto perms = std::filesystem::status(root + level).permissions();
            EXPECT_EQ(perms & std::filesystem::perms::all, std::filesystem::perms::owner_all) << level;
        }
    }

    TEST_F(FileIOTest, OnlyRegularFilesWithinTheLimitAreRead)
    {
        const std::string path = root + "/d.wml";
        std::ofstream(path, std::ios::binary) << "0123456789";
        const std::string fifo = root + "/f";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        std::string bytes = "unchanged";
        EXPECT_FALSE(ReadRegularFile(path, bytes, 9));
        EXPECT_FALSE(ReadRegularFile(root, bytes, 100));
        EXPECT_FALSE(ReadRegularFile(fifo, bytes, 100));
        EXPECT_FALSE(ReadRegularFile(root + "/missing", bytes, 100));
        EXPECT_FALSE(ReadRegularFile("", bytes, 100));
        EXPECT_EQ(bytes, "unchanged");
        EXPECT_TRUE(ReadRegularFile(path, bytes, 10));
        EXPECT_EQ(bytes, "0123456789");
    }

    TEST_F(FileIOTest, StaleBodyFilesGoButHeldOnesStay)
    {
        const std::string dir = root + "/Cache";
        TTempBodyFile held;
        ASSERT_TRUE(held.Create(dir, ".$$$"));
        const auto write = [&](const std::string& name) {
            std::ofstream(dir + "/" + name) << "left";
            return dir + "/" + name;
        };
        const std::string stale = write("0123ABCD.$$$");
        const std::string others[]
            = { write("0123abcd.$$$"), write("0123ABCD.txt"), write("123ABCD.$$$"), write("notes.$$$") };
        // Too young to be sure no fetch is still about to lock it.
        EXPECT_EQ(RemoveStaleBodyFiles(dir, ".$$$", 3600), 0);
        // Aged by hand rather than by a minimum age of 0: a file's time may run a tick ahead of
        // the clock the age is measured with.
        const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
        for (const std::string& path : { stale, held.Path() })
            fs::last_write_time(path, old);
        for (const std::string& other : others)
            fs::last_write_time(other, old);
        EXPECT_EQ(RemoveStaleBodyFiles(dir, ".$$$", 3600), 1);
        EXPECT_FALSE(fs::exists(stale));
        EXPECT_TRUE(fs::exists(held.Path()));
        for (const std::string& other : others)
            EXPECT_TRUE(fs::exists(other)) << other;
    }

} // namespace
} // namespace pivrel::engine
