// The chunks of a PNG file's bytes, stepped through as the PNG reader steps through them but
// without decoding anything: for the chunk list of info, its text, a load without the pixels,
// and for saying where a file that ends too early ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct PngChunkSpan {
  std::uint32_t type = 0;    // the four type bytes, big-endian (png/chunks.h)
  std::uint32_t length = 0;  // as the chunk states it
  std::uint64_t offset = 0;  // where the chunk starts: its length field
  // Past the chunk's CRC, where the reader goes on. The reader takes IHDR as 13 bytes whatever
  // its length says. May lie past the end of the file.
  std::uint64_t end = 0;
  std::uint64_t DataOffset() const { return offset + 8; }
};

struct PngChunkWalk {
  // Where the first chunk starts: after the signature, or after a leading block and the
  // signature; 0 when neither holds a signature.
  std::uint64_t start = 0;
  // Up to IEND, to a length the reader refuses, or to the chunk the file ends in; a chunk whose
  // length and type the file cuts short is not listed.
  std::vector<PngChunkSpan> chunks;
};

PngChunkWalk WalkPngChunks(std::string_view bytes);

// Where bytes, which a read ran past, end: "file ends at byte 1234 inside chunk IDAT".
std::string PngFileEnd(std::string_view bytes);

// A chunk type as text: its four bytes, any that is not a letter as \xNN.
std::string ChunkTypeName(std::uint32_t type);
