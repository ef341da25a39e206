#include "base/StringList.h"

#include "base/FileRead.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pivrel::base {

std::size_t FindLineEnd(std::string_view text, std::size_t from)
{
    std::size_t i = from;
#if defined(__SSE2__)
    // A deck's lines run to dozens of characters; sixteen are looked at together.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (text.size() >= 16 && i <= text.size() - 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf))));
        if (mask != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(mask));
        i += 16;
    }
#endif
    while (i < text.size() && text[i] != '\r' && text[i] != '\n')
        ++i;
    return i;
}

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
