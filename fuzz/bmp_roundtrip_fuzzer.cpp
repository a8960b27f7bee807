// The BMP writer and reader together, and the packed DIB of the clipboard: the input chooses an
// image (size, bit count, palette, resolution and pixels) and a rectangle to save. Size,
// palette, pixels and resolution must come back exactly; colour keys are not carried, and a
// 32-bit image whose alpha bytes are all 0 comes back opaque.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_image.h"
#include "fuzz/fuzz_support.h"
#include "platform/kernel.h"
#include "platform/stream.h"

namespace {

using namespace fuzzimage;

constexpr std::size_t kFileHeaderSize = 14;

void CheckLoaded(TVynCustomDIB& image, TVynCustomDIB& loaded, const SavedArea& r,
                 const char* what) {
  TVynCustomInternalDIB& a = *image.Image();
  TVynCustomInternalDIB& b = *loaded.Image();
  const bool alpha = a.BitCount() == 32 && AnyAlpha(a, r);
  CheckPixels(a, b, r, a.BitCount() == 32 && !alpha, what);
  if (a.PaletteCount() > 0)
    CheckPalette(a, b, what);
  else
    FuzzCheck(b.PaletteCount() == 256, std::string(what) + ": halftone palette");
  FuzzCheck(b.GetAlphaMode() == (alpha ? kAlphaModePixel : kAlphaModeNone),
            std::string(what) + ": alpha mode");
  FuzzCheck(!HasColor(b.TransColor()) && !HasColor(b.BGColor()),
            std::string(what) + ": no colour keys");
  // The header's pixels per metre, when both are stated; otherwise no unit and 1 × 1.
  const BITMAPINFOHEADER& h = *a.InfoHeader();
  const bool stated = h.biXPelsPerMeter != 0 && h.biYPelsPerMeter != 0;
  const TVynDIBDesc& e = b.Desc();
  FuzzCheck(e.UnitSpecifier == (stated ? 1 : 0) &&
                e.WidthSpecific == (stated ? h.biXPelsPerMeter : 1) &&
                e.HeightSpecific == (stated ? h.biYPelsPerMeter : 1),
            std::string(what) + ": resolution");
}

// The packed DIB holds what the file holds after its file header.
void CheckClipboard(TVynCustomDIB& image, const std::vector<std::uint8_t>& file) {
  WORD format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  image.SaveToClipboardFormat(format, data, palette);
  GlobalBlock block(data);
  const std::size_t size = GlobalSize(block.Get());
  FuzzCheck(size == file.size() - kFileHeaderSize &&
                std::memcmp(GlobalLock(block.Get()), file.data() + kFileHeaderSize, size) == 0,
            "packed DIB: the file's bytes after its file header");
  GlobalUnlock(block.Get());
  TVynCustomDIB loaded;
  loaded.LoadFromClipboardFormat(format, block.Get(), nullptr);
  CheckLoaded(image, loaded, SavedArea{}, "packed DIB");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  TVynCustomDIB image;
  BuildImage(in, image, 300, 64);
  const SavedArea r = ChooseArea(in, image.GetWidth(), image.GetHeight());
  FillPixels(*image.Image(), in);

  TMemoryStream stream;
  SaveArea(image, r, stream);
  stream.SetPosition(0);
  TVynCustomDIB loaded;
  loaded.LoadFromStream(stream);
  CheckLoaded(image, loaded, r, "BMP");
  if (r.Whole()) CheckClipboard(image, stream.Bytes());
  return 0;
}
