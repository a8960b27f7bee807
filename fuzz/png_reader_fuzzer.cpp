// Feeds arbitrary bytes to the PNG reader under its own limits. A load must end in success or
// an exception of the platform's hierarchy, never in a crash, a sanitizer report, a hang or
// memory out of proportion to the data (the fuzzer runs with -rss_limit_mb=2048: a header may
// claim a picture of 2^28 pixels, but its memory may be taken only as rows arrive). Every input
// is loaded twice, inflating the image data whole and in pieces: the outcomes must agree.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "tests/png/load_outcome.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TUxPNG image;
  const std::string outcome = PngLoadOutcome(image, data, size);
  {
    // Image data is inflated whole when it can be and else in pieces; nothing else may differ.
    TUxPNG streamed;
    streamed.ReadLimits.MaxWholeInflateBytes = 0;
    FuzzCheck(InflatePathsAgree(outcome, PngLoadOutcome(streamed, data, size)),
              "loads that inflate whole and in pieces end alike");
  }
  if (outcome.starts_with("error: ")) return 0;
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
