#include "png/png_chunk_cursor.h"

#include <algorithm>

#include "platform/byte_order.h"
#include "png/png_exceptions.h"
#include "png/png_limits.h"

namespace {

constexpr std::size_t kCRCBytes = 4;

std::uint32_t ReadBE32(TStream& s) {
  std::uint8_t b[4];
  s.ReadBuffer(b, sizeof b);
  return LoadBE32(b);
}

}  // namespace

[[noreturn]] void ReaderFail(const char* message) {
  throw EVynPNG(message);
}

std::uint32_t ChunkCursor::Begin() {
  const std::uint32_t length = ReadBE32(source_);
  if (length > kMaxChunkLength) ReaderFail("PNG LoadStream: error chunk length");
  left_ = length;
  type_ = ReadBE32(source_);
  return type_;
}

void ChunkCursor::End() {
  SkipRest();
  std::uint8_t crc[kCRCBytes];
  source_.ReadBuffer(crc, sizeof crc);
}

bool ChunkCursor::ContinueRun() {
  if (left_ > 0) return false;
  std::uint8_t boundary[kBoundaryBytes];
  source_.ReadBuffer(boundary, sizeof boundary);
  const std::uint32_t length = LoadBE32(boundary + kCRCBytes);
  if (length > kMaxChunkLength || LoadBE32(boundary + kCRCBytes + 4) != type_) {
    source_.Seek(-std::int64_t(kBoundaryBytes), TSeekOrigin::soCurrent);
    return false;
  }
  left_ = length;
  return true;
}

void ChunkCursor::Read(void* buffer, std::uint32_t count) {
  if (count > left_) ReaderFail("PNG LoadStream: error chunk length");
  source_.ReadBuffer(buffer, count);
  left_ -= count;
}

std::uint8_t ChunkCursor::ReadU8() {
  std::uint8_t b;
  Read(&b, 1);
  return b;
}

std::uint16_t ChunkCursor::ReadU16() {
  std::uint8_t b[2];
  Read(b, sizeof b);
  return LoadBE16(b);
}

std::uint32_t ChunkCursor::ReadU32() {
  std::uint8_t b[4];
  Read(b, sizeof b);
  return LoadBE32(b);
}

void ChunkCursor::SkipRest() {
  if (left_ > 0) source_.Seek(left_, TSeekOrigin::soCurrent);
  left_ = 0;
}

void ChunkCursor::ReadIgnoringLength(void* buffer, std::size_t count) {
  source_.ReadBuffer(buffer, count);
  left_ = 0;
}

std::int64_t ChunkCursor::StreamLeft() {
  return std::max<std::int64_t>(source_.GetSize() - source_.GetPosition(), 0);
}
