// The BMP stream reader on arbitrary bytes; whatever loads is written back and read again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/bmp_decode.h"
#include "image/custom_dib.h"
#include "platform/exception.h"
#include "platform/stream.h"

namespace {

// The reader accepts up to 2^28 pixels; the fuzzer stays far below so that it looks for faults,
// not for large allocations.
constexpr std::uint64_t kFuzzMaxPixels = std::uint64_t(1) << 22;

// True when the info header (after a file header, or after a leading block and a file header)
// states an image small enough to fuzz.
bool SmallEnough(const std::uint8_t* data, std::size_t size) {
  for (std::size_t start : {std::size_t(14), std::size_t(256 + 14)}) {
    if (size <= start) continue;
    try {
      BmpMemorySource source(data + start, size - start, "Fuzz");
      const BmpInfo info = ReadBmpInfo(source, kStreamMessages, std::nullopt);
      if (std::uint64_t(info.width) * std::uint64_t(info.height) > kFuzzMaxPixels) return false;
    } catch (const Exception&) {
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!SmallEnough(data, size)) return 0;
  TVynCustomDIB image;
  try {
    TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    image.LoadFromStream(stream);
  } catch (const Exception&) {
    return 0;
  }
  TMemoryStream saved;
  image.SaveToStream(saved);
  saved.SetPosition(0);
  TVynCustomDIB again;
  again.LoadFromStream(saved);
  TMemoryStream rect;
  const int w = image.GetWidth();
  const int h = image.GetHeight();
  image.RectSaveToStream(rect, w / 3, h / 4, w - w / 3, h - h / 4);
  return 0;
}
