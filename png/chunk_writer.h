// The one place chunks reach the stream: the caller supplies type and data, the writer adds
// length and CRC, so a file's body reads as its chunk list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/stream.h"

// Big-endian chunk data under construction.
class ChunkData {
 public:
  ChunkData& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  ChunkData& U16(std::uint16_t v) { return U8(std::uint8_t(v >> 8)).U8(std::uint8_t(v)); }
  ChunkData& U32(std::uint32_t v) { return U16(std::uint16_t(v >> 16)).U16(std::uint16_t(v)); }
  ChunkData& I32(std::int32_t v) { return U32(std::uint32_t(v)); }
  ChunkData& Bytes(const void* data, std::size_t length);
  ChunkData& Zeros(std::size_t count);

  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
};

class PngChunkWriter {
 public:
  explicit PngChunkWriter(TStream& stream) : stream_(stream) {}

  void WriteSignature();
  // Length, type, data (left out when empty), CRC over type and data. An IHDR is followed at
  // once by our uxPg chunk, so nothing can come between the two.
  void WriteChunk(std::uint32_t type, const std::uint8_t* data, std::size_t length);
  void WriteChunk(std::uint32_t type, const ChunkData& data) {
    WriteChunk(type, data.data(), data.size());
  }

 private:
  void WriteIdentification();

  TStream& stream_;
};

// The 64 bytes of the uxPg chunk: our identification text, zero-padded.
std::vector<std::uint8_t> IdentificationChunkData();
