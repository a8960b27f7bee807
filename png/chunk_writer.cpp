#include "png/chunk_writer.h"

#include <zlib.h>

#include <cstring>
#include <limits>

#include "platform/exception.h"
#include "png/chunks.h"

ChunkData& ChunkData::Bytes(const void* data, std::size_t length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + length);
  return *this;
}

ChunkData& ChunkData::Zeros(std::size_t count) {
  bytes_.resize(bytes_.size() + count, 0);
  return *this;
}

namespace {

void PutU32(std::uint8_t* out, std::uint32_t v) {
  out[0] = std::uint8_t(v >> 24);
  out[1] = std::uint8_t(v >> 16);
  out[2] = std::uint8_t(v >> 8);
  out[3] = std::uint8_t(v);
}

// crc32 takes its length as uInt; feed long data in pieces.
uLong Crc32Over(uLong crc, const std::uint8_t* data, std::size_t length) {
  constexpr std::size_t kPiece = std::numeric_limits<uInt>::max() / 2;
  while (length > 0) {
    const std::size_t n = length < kPiece ? length : kPiece;
    crc = crc32(crc, data, uInt(n));
    data += n;
    length -= n;
  }
  return crc;
}

}  // namespace

void PngChunkWriter::WriteSignature() {
  stream_.WriteBuffer(kPngSignature.data(), kPngSignature.size());
}

void PngChunkWriter::WriteChunk(std::uint32_t type, const std::uint8_t* data, std::size_t length) {
  // A chunk length is a 31-bit value; nothing we write comes near it.
  if (length > 0x7FFFFFFFu) OutOfMemoryError();
  std::uint8_t lengthBytes[4], typeBytes[4], crcBytes[4];
  PutU32(lengthBytes, std::uint32_t(length));
  PutU32(typeBytes, type);
  uLong crc = crc32(0, nullptr, 0);
  crc = crc32(crc, typeBytes, 4);
  crc = Crc32Over(crc, data, length);
  PutU32(crcBytes, std::uint32_t(crc));

  stream_.WriteBuffer(lengthBytes, 4);
  stream_.WriteBuffer(typeBytes, 4);
  if (length > 0) stream_.WriteBuffer(data, length);
  stream_.WriteBuffer(crcBytes, 4);

  if (type == kIHDR) WriteIdentification();
}

void PngChunkWriter::WriteIdentification() {
  const std::vector<std::uint8_t> data = IdentificationChunkData();
  WriteChunk(kuxPg, data.data(), data.size());
}

std::vector<std::uint8_t> IdentificationChunkData() {
  std::vector<std::uint8_t> data(kuxPgLength, 0);
  std::memcpy(data.data(), kuxPgText, sizeof(kuxPgText) - 1);
  return data;
}
