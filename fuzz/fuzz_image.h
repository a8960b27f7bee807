// What the image targets share.
#pragma once

#include <cstdint>

#include "image/internal_dib.h"
#include "platform/kernel.h"

namespace fuzzimage {

// A run-length file of a few bytes may describe a picture of 2^28 pixels; saving that back
// would measure the writers and the fuzzer's memory, not the reader.
constexpr std::uint64_t kMaxSaveBackBytes = std::uint64_t(64) << 20;

inline bool SmallEnoughToSaveBack(const TVynCustomInternalDIB& store) {
  return std::uint64_t(store.LineSize()) * std::uint64_t(store.Height()) <= kMaxSaveBackBytes;
}

// A global memory block freed at the end of the scope.
class GlobalBlock {
 public:
  explicit GlobalBlock(HGLOBAL memory) : memory_(memory) {}
  ~GlobalBlock() {
    if (memory_ != nullptr) GlobalFree(memory_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  HGLOBAL Get() const { return memory_; }

 private:
  HGLOBAL memory_;
};

}  // namespace fuzzimage
