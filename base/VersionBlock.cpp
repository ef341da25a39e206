#include "base/VersionBlock.h"

#include <fstream>

namespace pivrel::base {

namespace {

    struct TElfLayout {
        bool Is64 = false;
        bool BigEndian = false;
    };

    std::uint64_t Unsigned(std::string_view bytes, std::size_t at, std::size_t size, bool bigEndian)
    {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t index = bigEndian ? at + i : at + size - 1 - i;
            value = (value << 8) | static_cast<unsigned char>(bytes[index]);
        }
        return value;
    }

    struct TSection {
        std::uint32_t Name = 0;
        std::uint32_t Type = 0;
        std::uint64_t Offset = 0;
        std::uint64_t Size = 0;
    };

    constexpr std::uint32_t kSectionWithoutBytes = 8; // SHT_NOBITS

    TSection ReadSectionHeader(std::string_view header, const TElfLayout& elf)
    {
        TSection section;
        section.Name = std::uint32_t(Unsigned(header, 0, 4, elf.BigEndian));
        section.Type = std::uint32_t(Unsigned(header, 4, 4, elf.BigEndian));
        if (elf.Is64) {
            section.Offset = Unsigned(header, 24, 8, elf.BigEndian);
            section.Size = Unsigned(header, 32, 8, elf.BigEndian);
        } else {
            section.Offset = Unsigned(header, 16, 4, elf.BigEndian);
            section.Size = Unsigned(header, 20, 4, elf.BigEndian);
        }
        return section;
    }

    bool NameIs(const TRangeReader& read, const TSection& names, std::uint32_t name, std::string_view wanted)
    {
        if (name >= names.Size || names.Size - name < wanted.size() + 1)
            return false;
        std::string bytes;
        return read(names.Offset + name, wanted.size() + 1, bytes) && bytes.substr(0, wanted.size()) == wanted
            && bytes[wanted.size()] == '\0';
    }

} // namespace

bool FindVersionSection(const TRangeReader& read, std::string& block)
{
    std::string header;
    if (!read(0, 64, header) && !read(0, 52, header))
        return false;
    if (header.compare(0, 4,
            "\x7f"
            "ELF")
        != 0)
        return false;
    TElfLayout elf;
    elf.Is64 = header[4] == 2;
    elf.BigEndian = header[5] == 2;
    if ((header[4] != 1 && header[4] != 2) || (header[5] != 1 && header[5] != 2)
        || header.size() < (elf.Is64 ? 64u : 52u))
        return false;
    const std::uint64_t tableOffset
        = elf.Is64 ? Unsigned(header, 0x28, 8, elf.BigEndian) : Unsigned(header, 0x20, 4, elf.BigEndian);
    const std::size_t base = elf.Is64 ? 0x3A : 0x2E;
    const std::size_t entrySize = std::size_t(Unsigned(header, base, 2, elf.BigEndian));
    const std::size_t count = std::size_t(Unsigned(header, base + 2, 2, elf.BigEndian));
    const std::size_t namesIndex = std::size_t(Unsigned(header, base + 4, 2, elf.BigEndian));
    if (entrySize < (elf.Is64 ? 64u : 40u) || namesIndex >= count)
        return false;
    std::string table;
    if (!read(tableOffset, entrySize * count, table))
        return false;
    auto section = [&](std::size_t index) {
        return ReadSectionHeader(std::string_view(table).substr(index * entrySize, entrySize), elf);
    };
    const TSection names = section(namesIndex);
    for (std::size_t i = 0; i < count; ++i) {
        const TSection candidate = section(i);
        if (candidate.Type == kSectionWithoutBytes || candidate.Size > kMaxVersionBlock
            || !NameIs(read, names, candidate.Name, kVersionSection))
            continue;
        return read(candidate.Offset, std::size_t(candidate.Size), block);
    }
    return false;
}

bool ParseVersionBlock(std::string_view block, TVersionValues& values)
{
    values.clear();
    if (block.substr(0, kVersionMagic.size()) != kVersionMagic)
        return false;
    std::size_t at = kVersionMagic.size();
    auto next = [&](std::string& text) {
        const std::size_t end = block.find('\0', at);
        if (end == std::string_view::npos)
            return false;
        text.assign(block.substr(at, end - at));
        at = end + 1;
        return true;
    };
    std::string key;
    std::string value;
    while (next(key) && !key.empty() && next(value))
        values.emplace_back(key, value);
    return true;
}

bool ReadFileVersionBlock(const std::string& path, TVersionValues& values)
{
    values.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    file.seekg(0, std::ios::end);
    const auto fileSize = std::uint64_t(std::max<std::streamoff>(file.tellg(), 0));
    const TRangeReader read = [&](std::uint64_t offset, std::size_t size, std::string& out) {
        if (offset > fileSize || fileSize - offset < size)
            return false;
        out.assign(size, '\0');
        file.clear();
        file.seekg(std::streamoff(offset));
        return bool(file.read(out.data(), std::streamsize(size)));
    };
    std::string block;
    return FindVersionSection(read, block) && ParseVersionBlock(block, values);
}

} // namespace pivrel::base
