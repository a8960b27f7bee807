// The clipboard's packed-DIB reader on arbitrary bytes in a global memory block, under its own
// limits; whatever loads is put on the clipboard format again and read back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_image.h"
#include "fuzz/fuzz_support.h"
#include "image/custom_dib.h"
#include "platform/exception.h"
#include "platform/kernel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  fuzzimage::GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE, size));
  FuzzCheck(block.Get() != nullptr, "a global block of the input's size");
  std::memcpy(GlobalLock(block.Get()), data, size);
  GlobalUnlock(block.Get());

  TVynCustomDIB image;
  try {
    image.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr);
  } catch (const Exception&) {
    return 0;
  }
  if (!fuzzimage::SmallEnoughToSaveBack(*image.Image())) return 0;
  WORD format = 0;
  HANDLE copy = nullptr;
  HPALETTE palette = nullptr;
  image.SaveToClipboardFormat(format, copy, palette);
  fuzzimage::GlobalBlock copyBlock(copy);
  TVynCustomDIB again;
  again.LoadFromClipboardFormat(format, copyBlock.Get(), nullptr);
  return 0;
}
