#include "base/StringList.h"

#include "base/FileRead.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace pivrel::base {

TStringList SplitLines(std::string_view text)
{
    TStringList lines;
    ForEachLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error)
{
    const TFileReadResult result = ReadLocalFile(path, bytes, { .Kinds = TFileKinds::AnyButDirectory });
    if (!result)
        error = result.Failure == TFileReadFailure::ReadError ? "read error" : result.Reason();
    return bool(result);
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
