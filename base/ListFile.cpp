#include "base/ListFile.h"

#include "base/FileRead.h"
#include "base/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace pivrel::base {

namespace {

    bool IsLineEnd(char c)
    {
        return c == '\r' || c == '\n';
    }

    bool HasControlBytes(std::string_view line)
    {
        return std::any_of(line.begin(), line.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return (byte < 0x20 && byte != '\t') || byte == 0x7F;
        });
    }

    bool WriteAll(int fd, std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    // The file a save replaces: the path itself, or the file a chain of symbolic links finally
    // names, so that a link (into a synchronised folder, say) stays a link. A chain that loops or
    // runs too long is left as it stands.
    std::string WriteTarget(const std::string& path)
    {
        std::string target = path;
        for (int hop = 0; hop < 40; ++hop) {
            std::string buffer(4096, '\0');
            const ssize_t length = ::readlink(target.c_str(), buffer.data(), buffer.size());
            if (length <= 0 || std::size_t(length) >= buffer.size())
                return target;
            buffer.resize(std::size_t(length));
            if (buffer.front() != '/') {
                const std::size_t slash = target.find_last_of('/');
                buffer = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + buffer;
            }
            target = std::move(buffer);
        }
        return path;
    }

} // namespace

TStringList SplitBoundedLines(std::string_view text, std::size_t maxLines)
{
    TStringList lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < maxLines) {
        std::size_t end = start;
        while (end < text.size() && !IsLineEnd(text[end]))
            ++end;
        if (end - start <= kMaxListLineBytes)
            lines.emplace_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

bool ReadBoundedFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    const TFileReadOptions options { kMaxListFileBytes, TFileKinds::RegularOnly, TOversize::Truncate };
    return bool(ReadLocalFile(path, bytes, options));
}

bool WriteFileAtomically(const std::string& linkOrPath, std::string_view bytes, std::string& error)
{
    const std::string path = WriteTarget(linkOrPath);
    std::string temp = path + ".XXXXXX";
    TUniqueFd fd(::mkstemp(temp.data()));
    if (fd.Get() < 0) {
        error = std::strerror(errno);
        return false;
    }
    // The per-user files hold passwords: readable by their owner only, whatever the umask.
    const bool written = ::fchmod(fd.Get(), 0600) == 0 && WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0;
    const int savedErrno = errno;
    const bool closed = ::close(fd.Release()) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        error = std::strerror(written && closed ? errno : savedErrno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

TStringList ParseListText(std::string_view text)
{
    TStringList entries;
    for (auto& line : SplitBoundedLines(text)) {
        if (!line.empty() && !HasControlBytes(line))
            entries.push_back(std::move(line));
    }
    return entries;
}

TStringList LoadListFile(const std::string& path)
{
    std::string bytes;
    if (!ReadBoundedFile(path, bytes))
        return {};
    return ParseListText(bytes);
}

std::string FormatListText(const TStringList& lines)
{
    std::string text;
    for (const auto& line : lines) {
        for (const char c : line)
            text += IsLineEnd(c) ? ' ' : c;
        text += "\r\n";
    }
    return text;
}

bool SaveListFile(const TStringList& lines, const std::string& path, std::string& error)
{
    return WriteFileAtomically(path, FormatListText(lines), error);
}

} // namespace pivrel::base
