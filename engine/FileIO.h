#pragma once

#include "base/FileRead.h"

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace pivrel::engine {

// A file that lives for one fetch in the cache directory: created under a fresh name that no
// other file has (another engine sharing the directory included), readable and writable only by
// its owner, and removed when the object goes, on every path.
class TTempBodyFile
{
public:
    TTempBodyFile();
    ~TTempBodyFile();
    TTempBodyFile(const TTempBodyFile&) = delete;
    TTempBodyFile& operator=(const TTempBodyFile&) = delete;

    // Creates dir/XXXXXXXX<suffix> with eight upper-case hexadecimal digits, making dir and every
    // missing parent (mode 0700) first. An empty dir stands for the system's temporary directory.
    // On failure error holds the system's reason.
    bool Create(const std::string& dir, std::string_view suffix);
    bool Create(const std::string& dir, std::string_view suffix, std::string& error);

    const std::string& Path() const { return m_path; }

    // Receives the bytes; they reach the file at Flush at the latest.
    std::ostream& Stream() { return *m_stream; }

    bool Flush();
    // Everything written so far; false when the file holds more than limit bytes or cannot be read.
    bool ReadAll(std::string& bytes, std::size_t limit);

private:
    class TFdBuf;

    int m_fd = -1;
    std::string m_path;
    std::unique_ptr<TFdBuf> m_buf;
    std::unique_ptr<std::ostream> m_stream;
};

// True for a name TTempBodyFile::Create makes with this suffix.
bool IsBodyFileName(std::string_view name, std::string_view suffix);

// Removes the body files a killed run left in dir (empty: the system's temporary directory): files of our
// naming, owned by this user, at least minAgeSeconds old, that no running fetch holds. Returns how many went.
int RemoveStaleBodyFiles(const std::string& dir, std::string_view suffix, int minAgeSeconds);

// Reads a local document whole, but only a regular file of at most limit bytes: a directory, a
// device, a FIFO or a socket is refused without blocking and without being read.
base::TFileReadResult ReadRegularFile(const std::string& path, std::string& bytes, std::size_t limit);

// Creates the directory and its missing parents with mode 0700; true when it is a directory
// after. On failure error holds the system's reason.
bool MakeDirectories(const std::string& dir, std::string& error);

} // namespace pivrel::engine
