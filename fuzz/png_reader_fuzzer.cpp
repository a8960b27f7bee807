// Feeds arbitrary bytes to the PNG reader under its own limits. A load must end in success or
// an exception of the platform's hierarchy, never in a crash, a sanitizer report, a hang or
// memory out of proportion to the data (the fuzzer runs with -rss_limit_mb=2048: a header may
// claim a picture of 2^28 pixels, but its memory may be taken only as rows arrive).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/stream.h"
#include "png/ux_png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TUxPNG image;
  TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  try {
    image.LoadFromStream(stream);
  } catch (const Exception&) {
    return 0;
  }
  FuzzCheck(image.FInfoFormat == 13, "a load that succeeds marks the image as PNG");
  // Touch what a caller reads after a load.
  TVynCustomInternalDIB& store = *image.Image();
  if (!store.HasImage()) return 0;  // IEND without image data
  for (int y = 0; y < store.Height(); y += 7)
    for (int x = 0; x < store.Width(); x += 7) (void)store.GetPixel(x, y);
  (void)image.GetTransColor();
  (void)image.GetBGColor();
  return 0;
}
