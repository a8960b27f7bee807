// Memory for pictures and the buffers that decode them, which takes pages only as it is
// written. A header claiming a huge picture over a few bytes of data then costs nothing before
// it is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/exception.h"

// Large blocks come straight from the kernel with huge pages asked for: filling many megabytes
// then takes a few faults instead of thousands, which on their own cost as much as decoding
// the picture. Null when memory is short. Free with FreePages and the same size.
void* AllocateFreshPages(std::size_t size);
// The same for a block every byte of which is written before it is read: a small one is not
// cleared.
void* AllocateScratchPages(std::size_t size);
void FreePages(void* block, std::size_t size);

// A block that frees itself: zero-filled (FreshBytes) or not cleared, every byte read from it
// being written first (ScratchBytes). Resize drops the contents and throws OutOfMemory when
// memory is short.
template <bool Zeroed>
class PageBytes {
 public:
  explicit PageBytes(std::size_t size = 0) { Resize(size); }
  void Resize(std::size_t size) {
    bytes_.reset();
    size_ = 0;
    if (size == 0) return;
    void* block = Zeroed ? AllocateFreshPages(size) : AllocateScratchPages(size);
    if (block == nullptr) OutOfMemoryError();
    bytes_ = std::unique_ptr<std::uint8_t[], Free>(static_cast<std::uint8_t*>(block), Free{size});
    size_ = size;
  }
  std::uint8_t* data() { return bytes_.get(); }
  const std::uint8_t* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }

 private:
  struct Free {
    std::size_t size;
    void operator()(std::uint8_t* p) const { FreePages(p, size); }
  };
  std::unique_ptr<std::uint8_t[], Free> bytes_{nullptr, Free{0}};
  std::size_t size_ = 0;
};

using FreshBytes = PageBytes<true>;
using ScratchBytes = PageBytes<false>;
