// The clipboard's packed-DIB reader on arbitrary bytes in a global memory block; whatever loads
// is put on the clipboard format again and read back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/bmp_decode.h"
#include "image/custom_dib.h"
#include "platform/exception.h"
#include "platform/kernel.h"

namespace {

// The reader accepts up to 2^28 pixels; the fuzzer stays far below so that it looks for faults,
// not for large allocations.
constexpr std::uint64_t kFuzzMaxPixels = std::uint64_t(1) << 22;

bool SmallEnough(const std::uint8_t* data, std::size_t size) {
  try {
    BmpMemorySource source(data, size, "Fuzz");
    const BmpInfo info = ReadBmpInfo(source, kClipboardMessages, std::nullopt);
    return std::uint64_t(info.width) * std::uint64_t(info.height) <= kFuzzMaxPixels;
  } catch (const Exception&) {
    return true;
  }
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || !SmallEnough(data, size)) return 0;
  GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE, size));
  if (block.Get() == nullptr) return 0;
  std::memcpy(GlobalLock(block.Get()), data, size);
  GlobalUnlock(block.Get());

  TVynCustomDIB image;
  try {
    image.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr);
  } catch (const Exception&) {
    return 0;
  }
  WORD format = 0;
  HANDLE copy = nullptr;
  HPALETTE palette = nullptr;
  image.SaveToClipboardFormat(format, copy, palette);
  GlobalBlock copyBlock(copy);
  TVynCustomDIB again;
  again.LoadFromClipboardFormat(format, copyBlock.Get(), nullptr);
  return 0;
}
