#include "base/FileRead.h"

#include "base/UniqueFd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pivrel::base {

namespace {

    constexpr std::size_t kChunk = 64 * 1024;

    TFileReadResult Failed(TFileReadFailure failure, int error = 0)
    {
        return { failure, error };
    }

    // Whether the file's type and size allow reading it as a regular file under the options.
    TFileReadResult CheckRegular(const struct stat& info, const TFileReadOptions& options)
    {
        if (S_ISDIR(info.st_mode))
            return Failed(TFileReadFailure::IsDirectory);
        if (!S_ISREG(info.st_mode) || info.st_size < 0)
            return Failed(TFileReadFailure::NotRegularFile);
        if (options.Oversize == TOversize::Refuse
            && static_cast<unsigned long long>(info.st_size) > options.Limit)
            return Failed(TFileReadFailure::TooLarge);
        return {};
    }

    TFileReadResult ReadFrom(
        int fd, std::string& bytes, std::size_t limit, TOversize oversize, std::size_t hint)
    {
        std::string data;
        data.reserve(std::min(hint, limit));
        std::array<char, kChunk> buffer;
        // Refusing reads one byte past the limit, which is how a file longer than it shows.
        while (oversize == TOversize::Refuse ? data.size() <= limit : data.size() < limit) {
            const std::size_t wanted = oversize == TOversize::Refuse
                ? buffer.size()
                : std::min(buffer.size(), limit - data.size());
            const ssize_t got = ::read(fd, buffer.data(), wanted);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return Failed(TFileReadFailure::ReadError, errno);
            if (got == 0)
                break;
            data.append(buffer.data(), static_cast<std::size_t>(got));
        }
        if (data.size() > limit)
            return Failed(TFileReadFailure::TooLarge);
        bytes = std::move(data);
        return {};
    }

    TFileReadResult ReadRegular(const std::string& path, std::string& bytes, const TFileReadOptions& options)
    {
        // The path is looked at before it is opened, so that a device is never even opened; the
        // descriptor is checked again after opening in case the path changed in between.
        struct stat info { };

        if (::stat(path.c_str(), &info) != 0)
            return Failed(TFileReadFailure::CannotOpen, errno);
        if (TFileReadResult checked = CheckRegular(info, options); !checked)
            return checked;
        // O_NONBLOCK keeps the open from waiting for a writer should a FIFO have taken the file's place.
        TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (fd.Get() < 0)
            return Failed(TFileReadFailure::CannotOpen, errno);
        if (::fstat(fd.Get(), &info) != 0)
            return Failed(TFileReadFailure::CannotOpen, errno);
        if (TFileReadResult checked = CheckRegular(info, options); !checked)
            return checked;
        return ReadFrom(fd.Get(), bytes, options.Limit, options.Oversize, std::size_t(info.st_size));
    }

    TFileReadResult ReadAnyButDirectory(
        const std::string& path, std::string& bytes, const TFileReadOptions& options)
    {
        TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.Get() < 0)
            return Failed(TFileReadFailure::CannotOpen, errno);

        struct stat info { };

        // A descriptor that cannot be examined is still read: only a directory is known to fail.
        if (::fstat(fd.Get(), &info) != 0)
            info = {};
        if (S_ISDIR(info.st_mode))
            return Failed(TFileReadFailure::IsDirectory);
        const std::size_t hint = S_ISREG(info.st_mode) && info.st_size > 0 ? std::size_t(info.st_size) : 0;
        return ReadFrom(fd.Get(), bytes, options.Limit, options.Oversize, hint);
    }

} // namespace

std::string TFileReadResult::Reason() const
{
    switch (Failure) {
    case TFileReadFailure::None:
        return {};
    case TFileReadFailure::CannotOpen:
    case TFileReadFailure::ReadError:
        return std::strerror(Errno);
    case TFileReadFailure::IsDirectory:
        return std::strerror(EISDIR);
    case TFileReadFailure::NotRegularFile:
        return "Not a regular file";
    case TFileReadFailure::TooLarge:
        return std::strerror(EFBIG);
    }
    return {};
}

TFileReadResult ReadLocalFile(const std::string& path, std::string& bytes, const TFileReadOptions& options)
{
    if (options.Kinds == TFileKinds::AnyButDirectory)
        return ReadAnyButDirectory(path, bytes, options);
    return ReadRegular(path, bytes, options);
}

TFileReadResult ReadDescriptor(int fd, std::string& bytes, std::size_t limit, TOversize oversize)
{
    return ReadFrom(fd, bytes, limit, oversize, 0);
}

} // namespace pivrel::base
