// Feeds arbitrary bytes to the PNG reader. A load must end in success or an exception of
// the platform's hierarchy, never in a crash, a sanitizer report, a hang or a huge
// allocation.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "image/internal_dib.h"
#include "platform/stream.h"
#include "png/png_reader.h"
#include "png/ux_png.h"

namespace {

// Tighter than the reader's own limits, so the fuzzer spends its time on the decoder and
// not on gigabyte pictures that a few bytes of IHDR can declare.
constexpr std::int64_t kFuzzMaxPixels = std::int64_t(1) << 22;
constexpr std::size_t kFuzzMaxTextBytes = std::size_t(1) << 20;

// The reader as TUxPNG drives it, under the fuzzer's limits. Returns true on success.
bool LoadUnderLimits(const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  auto store = std::make_unique<TVynCustomInternalDIB>();
  PngReadState state;
  state.Source = &stream;
  state.Target = store.get();
  state.Limits.MaxPixels = kFuzzMaxPixels;
  state.Limits.MaxTextBytes = kFuzzMaxTextBytes;
  TDIBDescGuard guard(*store, state.Desc);
  try {
    PngLoadStream(state);
  } catch (const Exception&) {
    return false;
  }
  guard.Attach();
  // Touch what a caller reads after a load.
  for (int y = 0; y < store->Height(); y += 7)
    for (int x = 0; x < store->Width(); x += 7) (void)store->GetPixel(x, y);
  (void)store->TransColor();
  (void)store->BGColor();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!LoadUnderLimits(data, size)) return 0;
  // What loaded under the tight limits loads the same way through the image class, which
  // must then hold the new picture.
  TUxPNG image;
  TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  try {
    image.LoadFromStream(stream);
  } catch (const Exception&) {
    __builtin_trap();
  }
  if (image.FInfoFormat != 13) __builtin_trap();
  return 0;
}
