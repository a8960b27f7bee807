#include "image/dib_desc.h"

#include <algorithm>
#include <cstring>

#include "image/dib_routines.h"
#include "platform/palette_match.h"

namespace {

constexpr std::size_t kEntryTablesSize = 512;  // entry flags followed by the alpha table

}  // namespace

void WriteDescResolution(TVynDIBDesc& desc) {
  if (desc.InfoHeader == nullptr) return;
  BITMAPINFOHEADER& h = *desc.InfoHeader;
  switch (desc.UnitSpecifier) {
    case 0:
      h.biXPelsPerMeter = 0;
      h.biYPelsPerMeter = 0;
      break;
    case 1:
      h.biXPelsPerMeter = desc.WidthSpecific;
      h.biYPelsPerMeter = desc.HeightSpecific;
      break;
    case 2:
      h.biXPelsPerMeter = DpiToPelsPerMeter(desc.WidthSpecific);
      h.biYPelsPerMeter = DpiToPelsPerMeter(desc.HeightSpecific);
      break;
    default:
      break;
  }
}

void CopyDescResolution(const TVynDIBDesc& from, TVynDIBDesc& to) {
  to.UnitSpecifier = from.UnitSpecifier;
  to.WidthSpecific = from.WidthSpecific;
  to.HeightSpecific = from.HeightSpecific;
  WriteDescResolution(to);
}

void CopyDescColorKeys(const TVynDIBDesc& from, TVynDIBDesc& to) {
  to.Gamma = from.Gamma;
  to.KeyFlags = from.KeyFlags;
  to.TransValue = from.TransValue;
  to.Reserved1 = from.Reserved1;
  to.BGValue = from.BGValue;
  to.Reserved2 = from.Reserved2;
  to.AlphaCount = from.AlphaCount;
}

void CopyDescColorTables(const TVynDIBDesc& from, TVynDIBDesc& to) {
  std::memcpy(to.Tables, from.Tables, kEntryTablesSize);
  std::memcpy(to.Palette, from.Palette, kMaxPaletteEntries * sizeof(RGBQUAD));
  to.PaletteCount = from.PaletteCount;
  to.InfoHeader->biClrUsed = DWORD(from.PaletteCount);
}

int NearestPaletteIndex(const RGBQUAD* palette, int count, COLORREF color) {
  return NearestColorIndex(palette, std::min(count, kMaxPaletteEntries), GetRValue(color),
                           GetGValue(color), GetBValue(color));
}
