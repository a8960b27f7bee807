// The BMP stream reader on arbitrary bytes, under its own limits; whatever loads is written back
// and read again, whole and as a rectangle.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_image.h"
#include "image/custom_dib.h"
#include "platform/exception.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TVynCustomDIB image;
  try {
    TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    image.LoadFromStream(stream);
  } catch (const Exception&) {
    return 0;
  }
  if (!fuzzimage::SmallEnoughToSaveBack(*image.Image())) return 0;
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
