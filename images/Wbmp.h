#pragma once

#include "base/Bitmap.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace pivrel::images {

// A picture wider or taller than this is refused: no card could show it, and its bitmap alone
// would take more memory than any card deserves.
inline constexpr int kMaxWBMPSide = 4096;

// Local picture files and fetched picture bodies larger than this are refused unread.
inline constexpr std::size_t kMaxPictureBytes = std::size_t(8) << 20;

inline constexpr base::TColor kWhite = 0x00FFFFFF;

// Decodes a type-0 WBMP: black (bit 0) and white (bit 1) pixels, white transparent. Refuses
// anything else, a size of 0 or above kMaxWBMPSide on either side, and a body shorter than its
// header promises; out, width and height are changed only on success.
bool DecodeWBMP(std::string_view bytes, base::TBitmap& out, int& width, int& height);

// Reads a local file whole, but only a regular file of at most kMaxPictureBytes: a path that
// names a directory, a device, a FIFO or a socket is refused without blocking and without
// reading from it.
bool ReadPictureFile(const std::string& path, std::string& bytes);

// ReadPictureFile, then DecodeWBMP.
bool DecodeWBMPFile(const std::string& path, base::TBitmap& out, int& width, int& height);

// The bitmap as a binary portable bitmap (P4): dark pixels black, light ones white.
std::string EncodePBM(const base::TBitmap& bitmap);

} // namespace pivrel::images
