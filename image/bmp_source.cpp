#include "image/bmp_source.h"

#include <algorithm>
#include <cstring>

#include "image/dib_error.h"
#include "platform/exception.h"

// ---- BmpStreamSource

BmpStreamSource::BmpStreamSource(TStream& stream)
    : stream_(stream), start_(stream.GetPosition()), size_(stream.GetSize()) {}

void BmpStreamSource::MarkStart() {
  start_ = stream_.GetPosition();
}

void BmpStreamSource::Read(void* buffer, std::size_t count) {
  stream_.ReadBuffer(buffer, count);
}

std::size_t BmpStreamSource::ReadSome(void* buffer, std::size_t count) {
  return stream_.Read(buffer, count);
}

void BmpStreamSource::Unread(std::size_t count) {
  stream_.Seek(-std::int64_t(count), TSeekOrigin::soCurrent);
}

void BmpStreamSource::Skip(std::uint64_t count) {
  // Seeking past the end would succeed silently on a memory stream; the data must be there.
  if (count > Remaining()) ShortData();
  stream_.Seek(std::int64_t(count), TSeekOrigin::soCurrent);
}

std::uint64_t BmpStreamSource::Position() {
  return std::uint64_t(std::max<std::int64_t>(0, stream_.GetPosition() - start_));
}

std::uint64_t BmpStreamSource::Remaining() {
  return std::uint64_t(std::max<std::int64_t>(0, size_ - stream_.GetPosition()));
}

void BmpStreamSource::ShortData() {
  ReadError();
}

// ---- BmpMemorySource

BmpMemorySource::BmpMemorySource(const BYTE* data, std::size_t size, const char* method)
    : data_(data), size_(data == nullptr ? 0 : size), method_(method) {}

void BmpMemorySource::Read(void* buffer, std::size_t count) {
  if (count > size_ - position_) ShortData();
  if (count != 0) std::memcpy(buffer, data_ + position_, count);
  position_ += count;
}

std::size_t BmpMemorySource::ReadSome(void* buffer, std::size_t count) {
  const std::size_t n = std::min(count, size_ - position_);
  if (n != 0) std::memcpy(buffer, data_ + position_, n);
  position_ += n;
  return n;
}

void BmpMemorySource::Unread(std::size_t count) {
  position_ -= std::min(count, position_);
}

void BmpMemorySource::Skip(std::uint64_t count) {
  if (count > size_ - position_) ShortData();
  position_ += std::size_t(count);
}

void BmpMemorySource::ShortData() {
  RaiseDIBError(method_, "Data Too Short");
}
