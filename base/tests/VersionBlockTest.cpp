#include "base/VersionBlock.h"

#include <gtest/gtest.h>
#include <string>

namespace pivrel::base {
namespace {

    using namespace std::string_literals;

    void Put(std::string& bytes, std::size_t at, std::uint64_t value, std::size_t size, bool bigEndian)
    {
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t shift = 8 * (bigEndian ? size - 1 - i : i);
            bytes[at + i] = char((value >> shift) & 0xFF);
        }
    }

    // A minimal ELF file: a header, the section names, one section named name holding content,
    // and a section table of three entries (null, names, that section).
    std::string Elf(bool is64, bool bigEndian, const std::string& name, const std::string& content,
        std::uint32_t type = 1)
    {
        const std::size_t headerSize = is64 ? 64 : 52;
        const std::size_t entrySize = is64 ? 64 : 40;
        const std::string names = "\0.shstrtab\0"s + name + '\0';
        std::string bytes(headerSize, '\0');
        bytes.replace(0, 4,
            "\x7f"
            "ELF");
        bytes[4] = is64 ? 2 : 1;
        bytes[5] = bigEndian ? 2 : 1;
        const std::size_t namesAt = bytes.size();
        bytes += names;
        const std::size_t contentAt = bytes.size();
        bytes += content;
        const std::size_t tableAt = bytes.size();
        bytes.append(3 * entrySize, '\0');
        auto section = [&](std::size_t index, std::uint32_t nameAt, std::uint32_t sectionType,
                           std::size_t offset, std::size_t size) {
            const std::size_t at = tableAt + index * entrySize;
            Put(bytes, at, nameAt, 4, bigEndian);
            Put(bytes, at + 4, sectionType, 4, bigEndian);
            Put(bytes, at + (is64 ? 24 : 16), offset, is64 ? 8 : 4, bigEndian);
            Put(bytes, at + (is64 ? 32 : 20), size, is64 ? 8 : 4, bigEndian);
        };
        section(1, 1, 3, namesAt, names.size());
        section(2, 11, type, contentAt, content.size());
        Put(bytes, is64 ? 0x28 : 0x20, tableAt, is64 ? 8 : 4, bigEndian);
        const std::size_t base = is64 ? 0x3A : 0x2E;
        Put(bytes, base, entrySize, 2, bigEndian);
        Put(bytes, base + 2, 3, 2, bigEndian);
        Put(bytes, base + 4, 1, 2, bigEndian);
        return bytes;
    }

    bool Find(const std::string& file, std::string& block)
    {
        const TRangeReader read = [&file](std::uint64_t offset, std::size_t size, std::string& out) {
            if (offset > file.size() || file.size() - offset < size)
                return false;
            out = file.substr(std::size_t(offset), size);
            return true;
        };
        return FindVersionSection(read, block);
    }

    const std::string kBlock = "PIVRELVERSION1\0FileVersion\0"s + "2.2.1.149\0ProductVersion\0"s + "2.2\0\0"s;

    TEST(VersionBlockTest, TheSectionIsFoundInEveryElfLayout)
    {
        struct TRow {
            const char* Case;
            std::string File;
            bool Found;
        };

        std::string cut = Elf(true, false, ".pivrel_version", kBlock);
        cut.resize(cut.size() - 10);
        const TRow rows[] = {
            { "64 bits, little-endian", Elf(true, false, ".pivrel_version", kBlock), true },
            { "64 bits, big-endian", Elf(true, true, ".pivrel_version", kBlock), true },
            { "32 bits, little-endian", Elf(false, false, ".pivrel_version", kBlock), true },
            { "32 bits, big-endian", Elf(false, true, ".pivrel_version", kBlock), true },
            { "another section name", Elf(true, false, ".pivrel_versions", kBlock), false },
            { "a section without bytes", Elf(true, false, ".pivrel_version", kBlock, 8), false },
            { "a section table past the end", cut, false },
            { "no ELF file", "#!/bin/sh\necho hello\n" + std::string(80, ' '), false },
            { "an empty file", "", false },
        };
        for (const TRow& row : rows) {
            SCOPED_TRACE(row.Case);
            std::string block;
            EXPECT_EQ(Find(row.File, block), row.Found);
            if (row.Found) {
                EXPECT_EQ(block, kBlock);
            }
        }
    }

    TEST(VersionBlockTest, TheBlockReadsAsPairsInOrder)
    {
        struct TRow {
            const char* Case;
            std::string Block;
            bool Valid;
            TVersionValues Values;
        };

        const TRow rows[] = {
            { "two pairs", kBlock, true, { { "FileVersion", "2.2.1.149" }, { "ProductVersion", "2.2" } } },
            { "an empty value", "PIVRELVERSION1\0Comments\0\0\0"s, true, { { "Comments", "" } } },
            { "a pair cut short", "PIVRELVERSION1\0A\0one\0B\0tw"s, true, { { "A", "one" } } },
            { "the magic alone", "PIVRELVERSION1\0"s, true, {} },
            { "no magic", "FileVersion\0"s + "2.2\0"s, false, {} },
        };
        for (const TRow& row : rows) {
            SCOPED_TRACE(row.Case);
            TVersionValues values { { "stale", "value" } };
            EXPECT_EQ(ParseVersionBlock(row.Block, values), row.Valid);
            EXPECT_EQ(values, row.Values);
        }
    }

} // namespace
} // namespace pivrel::base
