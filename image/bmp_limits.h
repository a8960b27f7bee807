// Limits of the BMP and packed-DIB readers. A BMP states its own sizes; these caps keep a
// damaged or hostile file from deciding how much memory or time a load takes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/dib_limits.h"

// The file header before the info header.
constexpr std::size_t kBmpFileHeaderSize = 14;
// Some tools put a block of their own before the BMP; we look for "BM" once more this far on.
constexpr std::size_t kBmpLeadingBlockSize = 256;

// The core header of the oldest files.
constexpr std::uint32_t kBmpCoreHeaderSize = 12;
// The classic info header; longer headers begin with the same 40 bytes.
constexpr std::uint32_t kBmpInfoHeaderSize = 40;
// The shortest header that still states width, height, planes and bit count (the shortened
// headers of the second-generation format); missing fields read as 0.
constexpr std::uint32_t kBmpMinInfoHeaderSize = 16;
// The longest header ever defined is 124 bytes. Unknown longer headers are skipped, but one
// that claims more than this is damage, not a future format.
constexpr std::uint32_t kBmpMaxInfoHeaderSize = 4096;
// Headers of at least these sizes carry the colour masks (and the alpha mask) inside them.
constexpr std::uint32_t kBmpHeaderWithMasks = 52;
constexpr std::uint32_t kBmpHeaderWithAlphaMask = 56;
// Bytes of a long header the decoder looks at; the rest is skipped.
constexpr std::uint32_t kBmpParsedHeaderSize = 124;

// Colour tables: at most 256 entries are used. A table may declare more (they are skipped), but
// no writer pads a table to more than this many entries, and a larger count would only make us
// skip through a file that cannot be valid.
constexpr std::uint32_t kBmpMaxColorTableEntries = 1u << 16;

// Uncompressed pixel data is read in pieces of at most this size, so a stream that ends early
// fails after a bounded read rather than after one huge request.
constexpr std::size_t kBmpReadChunkBytes = std::size_t(1) << 20;
// Read-ahead of the run-length decoders.
constexpr std::size_t kBmpRleBufferBytes = std::size_t(1) << 16;
