// Inflating a load's image data in one call, into a buffer of exactly its size. libdeflate
// does this about twice as fast as zlib inflates in pieces, and far faster on flat pictures.
#pragma once

#include <cstddef>
#include <cstdint>

// Inflates the zlib stream at `in` into the `size` bytes at `out`. True only when the stream
// is whole and sound, its checksum included, and holds exactly `size` bytes; bytes after its
// end are ignored. On false, `out` holds nothing of use.
bool InflateWhole(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t size);
