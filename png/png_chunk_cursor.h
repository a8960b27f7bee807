// Reading a PNG stream chunk by chunk. Every chunk boundary is crossed here: by the chunk loop,
// and by the image data, which reads on through a run of IDAT chunks by itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/stream.h"

// Raises EVynPNG with message.
[[noreturn]] void ReaderFail(const char* message);

class ChunkCursor {
 public:
  // What lies between the data of two chunks: a CRC, then a length and a type.
  static constexpr std::size_t kBoundaryBytes = 12;

  explicit ChunkCursor(TStream& source) : source_(source) {}

  // Reads the next chunk's length and type, and returns the type. A length with the top bit
  // set raises: skipping such a chunk would move the stream backwards.
  std::uint32_t Begin();
  // Skips what is left of the chunk's data, then reads its CRC, which is never checked.
  void End();
  // When the chunk's data is all read and the next chunk is one more of its type with a sound
  // length, ends this chunk and begins that one; otherwise leaves the stream where it was. The
  // stream must hold kBoundaryBytes more.
  bool ContinueRun();

  std::uint32_t Type() const { return type_; }
  // Bytes of the chunk's data not yet read.
  std::uint32_t Left() const { return left_; }

  // Reads of the chunk's data, which raise rather than read past its end.
  void Read(void* buffer, std::uint32_t count);
  std::uint8_t ReadU8();
  std::uint16_t ReadU16();
  std::uint32_t ReadU32();
  void SkipRest();
  // Reads count bytes whatever the chunk's length says, and takes the chunk as read.
  void ReadIgnoringLength(void* buffer, std::size_t count);

  // Bytes the stream holds after its position.
  std::int64_t StreamLeft();

 private:
  TStream& source_;
  std::uint32_t type_ = 0;
  std::uint32_t left_ = 0;
};
