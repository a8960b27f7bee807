// Resource limits of the PNG reader. A PNG file states its own sizes; these caps keep a
// hostile or damaged file from deciding how much memory a load takes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/dib_limits.h"
#include "png/simd_level.h"

// Chunk lengths are 31-bit quantities; a length with the top bit set is never valid and
// would move the reader backwards when the chunk is skipped.
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFFu;

// Width and height each stay below 2^24, so width × bits per pixel (at most 64) and the
// row sizes derived from it fit comfortably in 32 bits.
constexpr std::int32_t kMaxImageDimension = 0x00FFFFFF;

// The pixel limit is the image library's, shared with the other readers (image/dib_limits.h):
// checked before the store is allocated, so a tiny file cannot ask for a huge image.
constexpr std::int64_t kMaxImagePixels = std::int64_t(kMaxDIBPixels);

// Text gathered from tEXt and zTXt chunks. Captions and comments are a few hundred bytes;
// 4 MiB leaves ample room while stopping a zTXt "bomb" (deflate expands up to ~1000:1)
// from filling memory. The same cap bounds the compressed data of one text chunk.
constexpr std::size_t kMaxTextBytes = std::size_t(4) << 20;

// Image data whose rows, filter bytes included, take at most this many bytes is inflated in
// one call into a buffer of its size; larger images stream through a small buffer, so the
// memory a load takes beyond the picture stays small however large the picture is.
constexpr std::size_t kMaxWholeInflateBytes = std::size_t(64) << 20;

// Limits one load runs under; tests and the fuzzer may tighten them. The last two choose the
// paths a load takes, so tests can run each of them and compare: a MaxWholeInflateBytes of 0
// streams all image data, and MaxSimdLevel caps the row kernels.
struct PngReadLimits {
  std::int64_t MaxPixels = kMaxImagePixels;
  std::size_t MaxTextBytes = kMaxTextBytes;
  std::size_t MaxWholeInflateBytes = kMaxWholeInflateBytes;
  SimdLevel MaxSimdLevel = SimdLevel::kAvx2;
};
