#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pivrel::base {

// A program file's version block: a section named kVersionSection of the ELF file, holding
// kVersionMagic followed by key and value texts, each ended by a zero byte, and a final zero
// byte where the next key would start.
inline constexpr std::string_view kVersionSection = ".pivrel_version";
inline constexpr std::string_view kVersionMagic = std::string_view("PIVRELVERSION1\0", 15);
// A larger section is no version block of ours.
inline constexpr std::uint64_t kMaxVersionBlock = 64 * 1024;

using TVersionValues = std::vector<std::pair<std::string, std::string>>;

// Reads size bytes at offset into out; false when the source has fewer.
using TRangeReader = std::function<bool(std::uint64_t offset, std::size_t size, std::string& out)>;

// The raw bytes of the version section of an ELF file (32 or 64 bits, either byte order), or
// false when the file is no ELF file or has no such section.
bool FindVersionSection(const TRangeReader& read, std::string& block);

// The key/value pairs of a block in their order; false for a block without the magic text.
// A pair cut short by the block's end is dropped.
bool ParseVersionBlock(std::string_view block, TVersionValues& values);

// Both steps on a file of the disk.
bool ReadFileVersionBlock(const std::string& path, TVersionValues& values);

} // namespace pivrel::base
