#pragma once

#include <cstdint>

// Tests on eight bytes at once, held in one 64-bit word: each answers exactly whether some byte
// qualifies, and marks it in that byte's high bit; a mark above a qualifying byte may be wrong, so
// only the lowest mark tells which byte it is.
namespace pivrel::base {

inline constexpr std::uint64_t kEachByte = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Marks the bytes that are zero.
constexpr std::uint64_t ZeroByteMarks(std::uint64_t w)
{
    return (w - kEachByte) & ~w & kHighBits;
}

// Marks the bytes that equal c.
constexpr std::uint64_t ByteMarks(std::uint64_t w, unsigned char c)
{
    return ZeroByteMarks(w ^ (kEachByte * c));
}

// Marks the bytes below n (n at most 128).
constexpr std::uint64_t BelowMarks(std::uint64_t w, unsigned char n)
{
    return (w - kEachByte * n) & ~w & kHighBits;
}

} // namespace pivrel::base
