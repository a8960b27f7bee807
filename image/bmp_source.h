// Bounded byte sources for the BMP decoder: a stream (the file reader) and a block of memory
// (the packed DIB of the clipboard). Both know how many bytes are left, so the decoder can
// refuse a size that the data cannot hold before it allocates anything.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/stream.h"
#include "platform/win_types.h"

class BmpSource {
 public:
  virtual ~BmpSource() = default;

  // Reads exactly count bytes or raises the source's short-data error.
  virtual void Read(void* buffer, std::size_t count) = 0;
  // Reads up to count bytes; returns how many (0 only at the end of the data).
  virtual std::size_t ReadSome(void* buffer, std::size_t count) = 0;
  // Steps back over count bytes that were read but not used.
  virtual void Unread(std::size_t count) = 0;
  // Skips count bytes, raising the short-data error when fewer are left.
  virtual void Skip(std::uint64_t count) = 0;
  // Bytes consumed since the start of the BMP data (the "BM" of a file, the header of a packed
  // DIB): the frame of reference of a file's pixel-data offset.
  virtual std::uint64_t Position() = 0;
  // Bytes left in the source.
  virtual std::uint64_t Remaining() = 0;
  // Raises the error of data that ends too early.
  [[noreturn]] virtual void ShortData() = 0;
};

// A stream from its current position. Short data raises the platform's stream read error.
class BmpStreamSource : public BmpSource {
 public:
  explicit BmpStreamSource(TStream& stream);

  void Read(void* buffer, std::size_t count) override;
  std::size_t ReadSome(void* buffer, std::size_t count) override;
  void Unread(std::size_t count) override;
  void Skip(std::uint64_t count) override;
  std::uint64_t Position() override;
  std::uint64_t Remaining() override;
  [[noreturn]] void ShortData() override;

  // Makes the current position the start of the BMP data.
  void MarkStart();

 private:
  TStream& stream_;
  std::int64_t start_;
  std::int64_t size_;
};

// A block of memory. Short data raises EVynCustomDIB "<method>: Data Too Short".
class BmpMemorySource : public BmpSource {
 public:
  BmpMemorySource(const BYTE* data, std::size_t size, const char* method);

  void Read(void* buffer, std::size_t count) override;
  std::size_t ReadSome(void* buffer, std::size_t count) override;
  void Unread(std::size_t count) override;
  void Skip(std::uint64_t count) override;
  std::uint64_t Position() override { return position_; }
  std::uint64_t Remaining() override { return size_ - position_; }
  [[noreturn]] void ShortData() override;

 private:
  const BYTE* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  const char* method_;
};
