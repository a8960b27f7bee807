#include "png/png_store_setup.h"

#include <algorithm>
#include <cstring>

#include "image/internal_dib.h"
#include "platform/halftone_palette.h"
#include "png/png_chunk_cursor.h"

namespace {

// The store's palette: a grey ramp, the file's PLTE, or the halftone palette for true colour
// without one.
PngPalette StorePalette(const PngHeader& h, const PngPalette& plte, std::uint32_t imageBits) {
  PngPalette palette;
  if (h.IsGrey && imageBits <= 8) {
    const std::uint32_t depth = std::min<std::uint32_t>(h.BitDepth, 8);
    palette.Count = 1u << depth;
    const std::uint32_t step = 255 / (palette.Count - 1);
    for (std::uint32_t i = 0; i < palette.Count; ++i) {
      const BYTE v = BYTE(i * step);
      palette.Entries[i] = RGBQUAD{v, v, v, 0};
    }
  } else if (imageBits <= 8) {
    if (plte.Count < 1 || plte.Count > kMaxPaletteLength)
      ReaderFail("PNG Loadstream: error palette length");
    palette = plte;
  } else if (plte.Count == 0) {
    std::copy(HalftonePalette().begin(), HalftonePalette().end(), palette.Entries.begin());
    palette.Count = kMaxPaletteLength;
  } else {
    palette = plte;  // a suggested palette for true colour
  }
  return palette;
}

}  // namespace

void SetUpStore(PngReadState& s, const RowFormat& format) {
  const PngPalette palette = StorePalette(s.Header, s.Palette, format.ImageBits);
  // A picture with alpha takes a 32-bit store. Asking the store for alpha would fill every
  // pixel with opaque black before any data is seen; the rows cover every pixel anyway, so
  // the store is made plain and given its alpha mode below.
  const int storeBits = s.Header.HasAlpha ? 32 : int(format.ImageBits);
  TVynDIBDesc fresh{};
  s.Target->AllocImage(fresh, s.Header.Width, false, palette.Entries.data(), int(palette.Count),
                       storeBits, s.Header.Height);
  TVynDIBDesc& d = s.Desc;
  d = fresh;  // the reader's own fields follow
  const PngColourKeys& keys = s.Keys;
  if (keys.AlphaCount > 0)
    std::memcpy(AlphaTable(d), keys.Alpha.data(), std::size_t(keys.AlphaCount));
  d.UnitSpecifier = s.Info.PhysUnit;
  d.WidthSpecific = int(s.Info.PhysX);
  d.HeightSpecific = int(s.Info.PhysY);
  d.Gamma = s.Info.Gamma;
  d.TransValue = keys.TransValue;
  d.BGValue = keys.BGValue;
  d.AlphaCount = keys.AlphaCount;
  // A 32-bit store has an alpha byte per pixel; the colour keys are the reader's.
  constexpr DWORD kKeyModes = kTransModeMask | kBGModeMask;
  d.KeyFlags = s.Header.HasAlpha
                   ? (DWORD(kAlphaModePixel) << kAlphaModeShift) | (keys.KeyFlags & kKeyModes)
                   : keys.KeyFlags;
}
