#include "base/StringList.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace pivrel::base {

TStringList SplitLines(std::string_view text)
{
    TStringList lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno ? errno : EACCES);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "read error";
        return false;
    }
    return true;
}

bool SaveLinesToFile(const TStringList& lines, const std::string& path, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = std::strerror(errno ? errno : EACCES);
        return false;
    }
    for (const auto& line : lines)
        out << line << "\r\n";
    out.flush();
    if (!out) {
        error = "write error";
        return false;
    }
    return true;
}

} // namespace pivrel::base
