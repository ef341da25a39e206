#pragma once

#include <cstddef>
#include <limits>
#include <string>

namespace pivrel::base {

// Which files a read accepts. RegularOnly refuses a directory, a device, a FIFO or a socket
// without blocking and, for a path that already shows as one, without even opening it: opening
// a device can have effects of its own. AnyButDirectory opens whatever the path names and waits
// as the file does, so that a command-line user can hand over a pipe.
enum class TFileKinds { RegularOnly, AnyButDirectory };

// What a file longer than the limit gives: a failure, or its first limit bytes.
enum class TOversize { Refuse, Truncate };

struct TFileReadOptions {
    std::size_t Limit = std::numeric_limits<std::size_t>::max();
    TFileKinds Kinds = TFileKinds::RegularOnly;
    TOversize Oversize = TOversize::Refuse;
};

enum class TFileReadFailure { None, CannotOpen, IsDirectory, NotRegularFile, TooLarge, ReadError };

struct TFileReadResult {
    TFileReadFailure Failure = TFileReadFailure::None;
    // The system's error number for CannotOpen and ReadError, else 0.
    int Errno = 0;

    explicit operator bool() const { return Failure == TFileReadFailure::None; }

    // The failure in the system's words ("No such file or directory", "Is a directory", ...).
    std::string Reason() const;
};

// Reads a local file whole. On success bytes holds its content; on failure bytes is untouched.
TFileReadResult ReadLocalFile(const std::string& path, std::string& bytes, const TFileReadOptions& options);

// Reads from the descriptor's position to its end, retrying reads that a signal interrupted.
// A file that grows past the limit while it is read is noticed after limit + 1 bytes, not at its
// end. On failure bytes is untouched.
TFileReadResult ReadDescriptor(int fd, std::string& bytes, std::size_t limit, TOversize oversize);

} // namespace pivrel::base
