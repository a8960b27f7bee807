// Reading a PNG stream chunk by chunk: the reader's error, big-endian reads, the bounded reads
// of a chunk's data, and the one inflate stream of a load.
#pragma once

#include <cstddef>
#include <cstdint>

#include <zlib.h>

#include "png/png_read_state.h"

// Every chunk ends in a CRC of this size; the reader does not check it.
constexpr std::size_t kChunkCRCSize = 4;

// The one inflate stream of a load; ended whatever way the load ends.
class InflateStream {
 public:
  InflateStream();  // raises the out-of-memory error or "PNG LoadStream: ZLIB Error"
  ~InflateStream();
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  z_stream& Z() { return z_; }
  // Ready for a new stream. Input a stream left unread (a text stopped early) is dropped too:
  // it belongs to a chunk whose buffer is gone.
  void Reset() {
    inflateReset(&z_);
    z_.next_in = nullptr;
    z_.avail_in = 0;
  }
  // Whether inflate computes and checks the stream's Adler-32 checksum. The image data stops
  // at its last row, before the checksum, so computing it there is wasted work.
  void SetChecksum(bool on) { inflateValidate(&z_, on ? 1 : 0); }

 private:
  z_stream z_{};
};

// Raises EVynPNG with message.
[[noreturn]] void ReaderFail(const char* message);

// Stream access for the handlers. Reads that run past the end raise the platform's read
// error. The chunk-data readers also count down ChunkLeft.
std::uint32_t ReadU32(TStream& s);
void SkipBytes(TStream& s, std::int64_t count);
void ReadChunkData(PngReadState& state, void* buffer, std::uint32_t count);
std::uint8_t ReadChunkU8(PngReadState& state);
std::uint16_t ReadChunkU16(PngReadState& state);
std::uint32_t ReadChunkU32(PngReadState& state);
void SkipChunkRest(PngReadState& state);
// Reads a chunk length and refuses one with the top bit set.
std::int32_t ReadChunkLength(TStream& s);
