#include "png/png_chunk_stream.h"

#include <algorithm>
#include <cstdlib>

#include "platform/byte_order.h"
#include "platform/exception.h"
#include "png/png_exceptions.h"

namespace {

// zlib initialises what it reads of its own memory, so it is not cleared first.
voidpf ZAlloc(voidpf, uInt items, uInt size) {
  if (size != 0 && items > SIZE_MAX / size) return nullptr;
  return std::malloc(std::size_t(items) * size);
}
void ZFree(voidpf, voidpf address) {
  std::free(address);
}

}  // namespace

InflateStream::InflateStream() {
  z_.zalloc = ZAlloc;
  z_.zfree = ZFree;
  const int result = inflateInit(&z_);
  if (result == Z_MEM_ERROR) OutOfMemoryError();
  if (result != Z_OK) ReaderFail("PNG LoadStream: ZLIB Error");
}

InflateStream::~InflateStream() {
  inflateEnd(&z_);
}

[[noreturn]] void ReaderFail(const char* message) {
  throw EVynPNG(message);
}

std::uint32_t ReadU32(TStream& s) {
  std::uint8_t b[4];
  s.ReadBuffer(b, sizeof b);
  return LoadBE32(b);
}

void SkipBytes(TStream& s, std::int64_t count) {
  if (count > 0) s.Seek(count, TSeekOrigin::soCurrent);
}

std::int32_t ReadChunkLength(TStream& s) {
  const std::uint32_t length = ReadU32(s);
  if (length > kMaxChunkLength) ReaderFail("PNG LoadStream: error chunk length");
  return std::int32_t(length);
}

void ReadChunkData(PngReadState& state, void* buffer, std::uint32_t count) {
  if (count > std::uint32_t(std::max(state.ChunkLeft, 0)))
    ReaderFail("PNG LoadStream: error chunk length");
  state.Source->ReadBuffer(buffer, count);
  state.ChunkLeft -= std::int32_t(count);
}

std::uint8_t ReadChunkU8(PngReadState& state) {
  std::uint8_t b;
  ReadChunkData(state, &b, 1);
  return b;
}

std::uint16_t ReadChunkU16(PngReadState& state) {
  std::uint8_t b[2];
  ReadChunkData(state, b, 2);
  return LoadBE16(b);
}

std::uint32_t ReadChunkU32(PngReadState& state) {
  std::uint8_t b[4];
  ReadChunkData(state, b, 4);
  return LoadBE32(b);
}

void SkipChunkRest(PngReadState& state) {
  SkipBytes(*state.Source, state.ChunkLeft);
  state.ChunkLeft = 0;
}
