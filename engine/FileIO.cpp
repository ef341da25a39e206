#include "engine/FileIO.h"

#include "base/FileRead.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <streambuf>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pivrel::engine {

namespace {

    // Enough tries that only a directory the process cannot write to makes creation fail.
    constexpr int kNameAttempts = 64;
    constexpr std::size_t kChunk = 64 * 1024;

    std::string RandomHexName()
    {
        static thread_local std::mt19937 generator { std::random_device {}() };
        constexpr std::string_view kHex = "0123456789ABCDEF";
        std::uint32_t value = static_cast<std::uint32_t>(generator());
        std::string name(8, '0');
        for (int i = 7; i >= 0; --i) {
            name[static_cast<std::size_t>(i)] = kHex[value & 0xF];
            value >>= 4;
        }
        return name;
    }

    std::string TempDirectory()
    {
        const char* tmp = std::getenv("TMPDIR");
        return tmp != nullptr && *tmp != '\0' ? std::string(tmp) : std::string("/tmp");
    }

    bool WriteAll(int fd, const char* data, std::size_t size)
    {
        while (size > 0) {
            ssize_t written = ::write(fd, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

} // namespace

// A buffered output stream over the descriptor; a failed write turns into the stream's badbit,
// which the HTTP client takes for a failed request.
class TTempBodyFile::TFdBuf : public std::streambuf
{
public:
    explicit TFdBuf(int fd)
        : m_fd(fd)
    {
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    }

protected:
    int_type overflow(int_type ch) override
    {
        if (!Drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }

    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain()
    {
        const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
        const bool ok = WriteAll(m_fd, pbase(), pending);
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
        return ok;
    }

    int m_fd;
    std::array<char, kChunk> m_buffer {};
};

TTempBodyFile::TTempBodyFile() = default;

TTempBodyFile::~TTempBodyFile()
{
    m_stream.reset();
    m_buf.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    // Errors are ignored: there is nothing left to do about a file that will not go.
    if (!m_path.empty())
        ::unlink(m_path.c_str());
}

bool TTempBodyFile::Create(const std::string& dir, std::string_view suffix)
{
    std::string ignored;
    return Create(dir, suffix, ignored);
}

bool TTempBodyFile::Create(const std::string& dir, std::string_view suffix, std::string& error)
{
    if (m_fd >= 0)
        return false;
    const std::string base = dir.empty() ? TempDirectory() : dir;
    if (!MakeDirectories(base, error))
        return false;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string path = base + "/" + RandomHexName() + std::string(suffix);
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && errno == EINTR)
            continue;
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            error = std::strerror(errno);
            return false;
            return false;
        }
        // The lock tells a later start that this file is still in use.
        ::flock(fd, LOCK_EX | LOCK_NB);
        m_fd = fd;
        m_path = std::move(path);
        m_buf = std::make_unique<TFdBuf>(m_fd);
        m_stream = std::make_unique<std::ostream>(m_buf.get());
        return true;
    }
    error = "no free file name";
    return false;
}

bool TTempBodyFile::Flush()
{
    if (!m_stream)
        return false;
    m_stream->flush();
    return m_stream->good();
}

bool TTempBodyFile::ReadAll(std::string& bytes, std::size_t limit)
{
    if (!Flush() || ::lseek(m_fd, 0, SEEK_SET) != 0)
        return false;
    return bool(base::ReadDescriptor(m_fd, bytes, limit, base::TOversize::Refuse));
}

bool IsBodyFileName(std::string_view name, std::string_view suffix)
{
    if (name.size() != 8 + suffix.size() || name.substr(8) != suffix)
        return false;
    return name.substr(0, 8).find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

int RemoveStaleBodyFiles(const std::string& dir, std::string_view suffix, int minAgeSeconds)
{
    const std::string base = dir.empty() ? TempDirectory() : dir;
    DIR* listing = ::opendir(base.c_str());
    if (!listing)
        return 0;
    int removed = 0;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        if (!IsBodyFileName(entry->d_name, suffix))
            continue;
        const std::string path = base + "/" + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;

        struct stat info { };

        // A regular file of ours, old enough not to be one a starting fetch has yet to lock,
        // and locked by no one.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::getuid()
            && now - info.st_mtime >= minAgeSeconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::unlink(path.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(listing);
    return removed;
}

base::TFileReadResult ReadRegularFile(const std::string& path, std::string& bytes, std::size_t limit)
{
    return base::ReadLocalFile(
        path, bytes, { limit, base::TFileKinds::RegularOnly, base::TOversize::Refuse });
}

bool MakeDirectories(const std::string& dir, std::string& error)
{
    // Each level is made in turn, so that every directory the program creates gets mode 0700.
    for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string level = dir.substr(0, slash);
        if (!level.empty() && level.back() != '/' && ::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            error = std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            break;
    }

    struct stat info { };

    if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = std::strerror(::stat(dir.c_str(), &info) != 0 ? errno : ENOTDIR);
        return false;
    }
    return true;
}

} // namespace pivrel::engine
