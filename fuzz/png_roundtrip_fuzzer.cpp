// The PNG writer and reader together: the input chooses an image (size, bit count, palette,
// colour keys, alpha, resolution, gamma, text and pixels) and how it is saved (filter,
// interlacing, level, a rectangle). What the file carries must come back exactly from our
// reader, and libpng must decode the same pixels without a warning.
#include <png.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_image.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/png_text_model.h"
#include "platform/stream.h"
#include "png/ux_png.h"

namespace {

using namespace fuzzimage;

// Texts stay well below the 1000 ancillary chunks libpng keeps before it complains.
constexpr std::size_t kMaxText = 4096;

// Any bytes, or a list of "$#" entries built from pieces of the input, so that keywords of
// every length, escapes and line breaks inside texts are met often.
std::string ChooseText(FuzzInput& in) {
  if (in.Flag()) return in.Bytes(kMaxText);
  std::string text;
  const int entries = in.Range(0, 8);
  for (int i = 0; i < entries; ++i) {
    text += "$#";
    text += in.Bytes(in.Flag() ? 90 : 8);
    text += "\r\n";
    text += in.Bytes(in.Flag() ? 200 : 4);
  }
  text += in.Bytes(4);
  return text;
}

struct LibpngSource {
  const std::vector<std::uint8_t>* file;
  std::size_t at = 0;
};

// Any complaint of libpng's, warning or error, fails the run: our files must be clean.
void LibpngError(png_structp, png_const_charp message) {
  FuzzFail(std::string("libpng error: ") + message);
}
void LibpngWarning(png_structp, png_const_charp message) {
  FuzzFail(std::string("libpng warning: ") + message);
}

void LibpngRead(png_structp png, png_bytep data, png_size_t length) {
  auto* source = static_cast<LibpngSource*>(png_get_io_ptr(png));
  if (source->file->size() - source->at < length) png_error(png, "read past the end");
  std::copy_n(source->file->data() + source->at, length, data);
  source->at += length;
}

// The pixel of a store as libpng gives it: an index, or red, green, blue (and alpha).
std::vector<std::uint8_t> LibpngPixel(TVynCustomInternalDIB& store, int x, int y) {
  const DWORD v = store.GetPixel(x, y);
  switch (store.BitCount()) {
    case 24:
      return {BYTE(v >> 16), BYTE(v >> 8), BYTE(v)};
    case 32:
      return {BYTE(v >> 16), BYTE(v >> 8), BYTE(v), BYTE(v >> 24)};
    default:
      return {BYTE(v)};
  }
}

void CheckWithLibpng(const std::vector<std::uint8_t>& file, TVynCustomInternalDIB& store,
                     const SavedArea& r) {
  LibpngSource source{&file};
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, LibpngError, LibpngWarning);
  png_infop info = png_create_info_struct(png);
  png_set_read_fn(png, &source, LibpngRead);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);  // our private chunk
  png_read_info(png, info);
  if (png_get_bit_depth(png, info) < 8) png_set_packing(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::uint32_t width = png_get_image_width(png, info);
  const std::uint32_t height = png_get_image_height(png, info);
  const std::size_t channels = png_get_channels(png, info);
  FuzzCheck(width == std::uint32_t(r.Whole() ? store.Width() : r.width) &&
                height == std::uint32_t(r.Whole() ? store.Height() : r.height),
            "libpng: size");
  std::vector<std::vector<std::uint8_t>> rows(
      height, std::vector<std::uint8_t>(png_get_rowbytes(png, info)));
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  png_read_image(png, pointers.data());
  png_read_end(png, info);
  png_destroy_read_struct(&png, &info, nullptr);

  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto expected = LibpngPixel(store, r.left + int(x), r.top + int(y));
      FuzzCheck(expected.size() == channels &&
                    std::equal(expected.begin(), expected.end(), rows[y].begin() + x * channels),
                "libpng: pixel" + At(int(x), int(y)));
    }
}

void CheckPaletteKeys(TVynCustomDIB& image, TVynCustomDIB& loaded) {
  TVynCustomInternalDIB& a = *image.Image();
  TVynCustomInternalDIB& b = *loaded.Image();
  const TVynDIBDesc& d = a.Desc();
  // The alpha table the file carries, or a single transparent entry for a transparent colour;
  // a key is written on the entry the image holds for it.
  std::vector<BYTE> alpha(256, 255);
  int count = 0;
  if (image.GetAlphaFlag()) {
    count = std::min(d.AlphaCount, d.PaletteCount);
    std::copy_n(AlphaTable(d), count, alpha.begin());
  } else if (HasColor(a.TransColor())) {
    count = a.TransIndex() + 1;
    alpha[std::size_t(count - 1)] = 0;
  }
  const int zeros = int(std::count(alpha.begin(), alpha.begin() + d.PaletteCount, 0));
  const int opaque = int(std::count(alpha.begin(), alpha.begin() + d.PaletteCount, 255));
  if (count > 0 && zeros == 1 && opaque == d.PaletteCount - 1) {
    const int k = int(std::find(alpha.begin(), alpha.end(), 0) - alpha.begin());
    FuzzCheck(b.TransIndex() == k && b.GetAlphaMode() == kAlphaModeNone, "transparent index");
    FuzzCheck(b.TransColor() == a.GetPaletteColor(k), "transparent colour");
  } else if (count > 0) {
    FuzzCheck(b.GetAlphaMode() == kAlphaModeTable && b.Desc().AlphaCount == count, "alpha table");
    FuzzCheck(std::equal(alpha.begin(), alpha.begin() + count, AlphaTable(b.Desc())),
              "alpha values");
    FuzzCheck(!HasColor(b.TransColor()), "no transparent colour beside an alpha table");
  } else {
    FuzzCheck(b.GetAlphaMode() == kAlphaModeNone && !HasColor(b.TransColor()), "no alpha");
  }
  if (HasColor(a.BGColor())) {
    const int k = a.BGIndex();
    FuzzCheck(b.BGIndex() == k && b.BGColor() == a.GetPaletteColor(k), "background entry");
  } else {
    FuzzCheck(!HasColor(b.BGColor()), "no background");
  }
}

void CheckTruecolourKeys(TVynCustomDIB& image, TVynCustomDIB& loaded) {
  TVynCustomInternalDIB& a = *image.Image();
  TVynCustomInternalDIB& b = *loaded.Image();
  const bool rgba = a.BitCount() == 32;
  const COLORREF trans = rgba ? kNoColor : a.TransColor();
  FuzzCheck(b.TransColor() == (HasColor(trans) ? trans : kNoColor), "transparent colour");
  COLORREF bg = a.BGColor();
  if (!HasColor(bg) && rgba && image.GetAlphaFlag()) bg = 0;  // black behind the alpha
  FuzzCheck(b.BGColor() == (HasColor(bg) ? bg : kNoColor), "background colour");
  FuzzCheck(b.GetAlphaMode() == (rgba ? kAlphaModePixel : kAlphaModeNone), "alpha mode");
}

void CheckResolution(TVynCustomInternalDIB& a, TVynCustomInternalDIB& b) {
  const TVynDIBDesc& d = a.Desc();
  int unit = d.UnitSpecifier, x = d.WidthSpecific, y = d.HeightSpecific;
  if (unit == 2) {
    x = DpiToPelsPerMeter(x);
    y = DpiToPelsPerMeter(y);
    unit = 1;
  }
  if (unit < 0 || unit > 1 || x <= 0 || y <= 0) unit = x = y = 0;  // no pHYs
  const TVynDIBDesc& e = b.Desc();
  FuzzCheck(e.UnitSpecifier == unit && e.WidthSpecific == x && e.HeightSpecific == y, "resolution");
}

void CheckLoaded(TUxPNG& image, TUxPNG& loaded, const SavedArea& r) {
  TVynCustomInternalDIB& a = *image.Image();
  TVynCustomInternalDIB& b = *loaded.Image();
  CheckPixels(a, b, r, false, "our reader");
  if (a.BitCount() <= 8 || a.PaletteCount() > 0) {
    CheckPalette(a, b, "our reader");
  } else {
    FuzzCheck(b.PaletteCount() == 256, "halftone palette for a truecolour image");
  }
  if (a.BitCount() <= 8)
    CheckPaletteKeys(image, loaded);
  else
    CheckTruecolourKeys(image, loaded);
  CheckResolution(a, b);
  FuzzCheck(b.Desc().Gamma == a.Desc().Gamma, "gamma");
  const bool offset = !r.Whole() && (r.left != 0 || r.top != 0);
  FuzzCheck(
      loaded.FInfoOffsetX == (offset ? r.left : 0) && loaded.FInfoOffsetY == (offset ? r.top : 0),
      "offset");
  FuzzCheck(loaded.FInfoInterlace == (image.Settings.Interlace == 1 ? 1 : 0), "interlace");
  FuzzCheck(loaded.FInfoColorBits == (a.BitCount() == 32 ? 24 : a.BitCount()), "colour bits");
  FuzzCheck(loaded.FInfoGrayscale == 0 && loaded.FInfoFormat == 13, "format");
  const std::string text =
      pngtextmodel::Gathered(pngtextmodel::WrittenEntries(image.FInfoText.bytes()));
  FuzzCheck(loaded.FInfoText.bytes() == text, "text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  TUxPNG image;
  image.FInfoText = AnsiString(ChooseText(in));
  BuildImage(in, image, 600, 80);
  image.Settings = {in.Range(0, 6), in.Range(0, 2), in.Range(0, 3)};
  const SavedArea r = ChooseArea(in, image.GetWidth(), image.GetHeight());
  FillPixels(*image.Image(), in);

  TMemoryStream stream;
  SaveArea(image, r, stream);
  CheckWithLibpng(stream.Bytes(), *image.Image(), r);

  stream.SetPosition(0);
  TUxPNG loaded;
  loaded.LoadFromStream(stream);
  CheckLoaded(image, loaded, r);
  return 0;
}
