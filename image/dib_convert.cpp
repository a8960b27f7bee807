// Bit-count conversion of a pixel store: every pair of 1, 4, 8, 24 and 32 bits.
#include <algorithm>
#include <array>
#include <cstring>

#include "image/color_tables.h"
#include "image/dib_error.h"
#include "image/internal_dib.h"
#include "platform/palette_match.h"

namespace {

bool IsSupportedBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
}

bool IsIndexed(int bits) {
  return bits <= 8;
}

// A colour counts as white for a 1-bit target when its weighted brightness reaches half.
bool WhiteFlag(BYTE red, BYTE green, BYTE blue) {
  return red * 77 + green * 150 + blue * 29 >= 32640;
}

void WriteColor(BYTE* row, int bits, int x, RGBQUAD c, BYTE alpha) {
  BYTE* p = row + std::size_t(x) * (bits / 8);
  p[0] = c.rgbBlue;
  p[1] = c.rgbGreen;
  p[2] = c.rgbRed;
  if (bits == 32) p[3] = alpha;
}

RGBQUAD ReadColor(const BYTE* row, int bits, int x) {
  const BYTE* p = row + std::size_t(x) * (bits / 8);
  return RGBQUAD{p[0], p[1], p[2], 0};
}

void InstallPalette(TVynDIBDesc& d, const RGBQUAD* entries, int count) {
  std::memcpy(d.Palette, entries, std::size_t(count) * sizeof(RGBQUAD));
  d.PaletteCount = count;
  d.InfoHeader->biClrUsed = DWORD(count);
}

// The target's palette when it is not carried over from the source.
void InstallTargetPalette(TVynDIBDesc& d) {
  static constexpr RGBQUAD kBlackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  if (d.BitCount == 1) {
    InstallPalette(d, kBlackWhite, 2);
  } else if (d.BitCount == 4) {
    InstallPalette(d, SixteenColorPalette().data(), 16);
  } else {
    InstallPalette(d, HalftonePalette().data(), 256);
  }
}

// The target index of a colour, for a target whose palette was replaced.
unsigned TargetIndex(int targetBits, RGBQUAD c) {
  if (targetBits == 1) return WhiteFlag(c.rgbRed, c.rgbGreen, c.rgbBlue) ? 1 : 0;
  if (targetBits == 4) {
    const auto& table = SixteenColorPalette();
    return unsigned(
        NearestPaletteIndex(table.data(), int(table.size()), RGB(c.rgbRed, c.rgbGreen, c.rgbBlue)));
  }
  return HalftoneIndex(c.rgbRed, c.rgbGreen, c.rgbBlue);
}

// The target keeps the source's palette entries when it has at least as many bits, or when
// it has more than 8 bits.
bool KeepsPalette(int from, int to) {
  return to > from || to > 8;
}

void ConvertFromIndexed(const TVynDIBDesc& s, TVynDIBDesc& d, const BYTE* alphaTable) {
  const int from = s.BitCount, to = d.BitCount;
  std::array<BYTE, 256> indexMap{};
  for (unsigned i = 0; i < indexMap.size(); ++i) {
    indexMap[i] = KeepsPalette(from, to) ? BYTE(i) : BYTE(TargetIndex(to, s.Palette[i]));
  }
  for (int y = 0; y < s.Height; ++y) {
    const BYTE* src = PictureRow(s, y);
    BYTE* dst = PictureRow(d, y);
    for (int x = 0; x < s.Width; ++x) {
      const unsigned raw = ReadPackedIndex(src, from, x);
      if (IsIndexed(to)) {
        WritePackedIndex(dst, to, x, indexMap[raw]);
      } else {
        WriteColor(dst, to, x, s.Palette[raw], alphaTable[raw]);
      }
    }
  }
}

void ConvertFromColor(const TVynDIBDesc& s, TVynDIBDesc& d) {
  const int from = s.BitCount, to = d.BitCount;
  for (int y = 0; y < s.Height; ++y) {
    const BYTE* src = PictureRow(s, y);
    BYTE* dst = PictureRow(d, y);
    for (int x = 0; x < s.Width; ++x) {
      const RGBQUAD c = ReadColor(src, from, x);
      if (IsIndexed(to)) {
        WritePackedIndex(dst, to, x, TargetIndex(to, c));
      } else {
        WriteColor(dst, to, x, c, 255);
      }
    }
  }
}

// An index key means nothing once the palette is replaced: it becomes the colour it named,
// so the store can find that colour's nearest entry in the new palette.
void KeepIndexKeyAsColor(const TVynDIBDesc& s, DWORD& flags, DWORD& value, DWORD mask, int shift) {
  if (((flags & mask) >> shift) != kKeyModeIndex) return;
  flags &= ~mask;
  if (value < DWORD(s.PaletteCount)) {
    const RGBQUAD e = s.Palette[value];
    flags |= kKeyModeColor << shift;
    value = RGB(e.rgbRed, e.rgbGreen, e.rgbBlue);
  } else {
    value = 0;
  }
}

void CopyKeys(const TVynDIBDesc& s, TVynDIBDesc& d) {
  CopyDescColorKeys(s, d);
  if (!KeepsPalette(s.BitCount, d.BitCount)) {
    KeepIndexKeyAsColor(s, d.KeyFlags, d.TransValue, kTransModeMask, 0);
    KeepIndexKeyAsColor(s, d.KeyFlags, d.BGValue, kBGModeMask, kBGModeShift);
  }
}

void SetAlpha(TVynDIBDesc& d, int mode, int count) {
  d.KeyFlags = (d.KeyFlags & ~kAlphaModeMask) | (DWORD(mode) << kAlphaModeShift);
  d.AlphaCount = count;
}

void Convert(const TVynDIBDesc& s, TVynDIBDesc& d) {
  const int from = s.BitCount, to = d.BitCount;
  if (!KeepsPalette(from, to)) InstallTargetPalette(d);
  CopyKeys(s, d);
  // The resolution is the picture's, whatever its bit count.
  CopyDescResolution(s, d);
  if (!IsIndexed(from)) {
    ConvertFromColor(s, d);
    SetAlpha(d, to == 32 ? kAlphaModePixel : kAlphaModeNone, 0);
    return;
  }
  const bool tableAlpha = AlphaMode(s) == kAlphaModeTable;
  if (to == 32) {
    // A palette image's alpha table becomes the alpha of each pixel; without one, every
    // pixel takes the new store's all-opaque table.
    ConvertFromIndexed(s, d, tableAlpha ? AlphaTable(s) : AlphaTable(d));
    if (tableAlpha) SetAlpha(d, kAlphaModePixel, 0);
  } else if (to > from && IsIndexed(to)) {
    // Wider palette images keep the entries, so they keep the alpha of each entry too.
    std::memcpy(AlphaTable(d), AlphaTable(s), kMaxPaletteEntries);
    ConvertFromIndexed(s, d, AlphaTable(d));
  } else {
    ConvertFromIndexed(s, d, AlphaTable(d));
    SetAlpha(d, kAlphaModeNone, 0);
  }
}

}  // namespace

void TVynCustomInternalDIB::ConvertImage(int bitCount) {
  if (!IsSupportedBitCount(bitCount)) RaiseDIBError("ConvertImage", "not support bitcount");
  if (bitCount == FDesc.BitCount) return;
  TVynDIBDesc target{};
  AllocImage(target, FDesc.Width, false, FDesc.Palette,
             bitCount > FDesc.BitCount ? FDesc.PaletteCount : 0, bitCount, FDesc.Height);
  TDIBDescGuard guard(*this, target);
  Convert(FDesc, target);
  guard.Attach();
}
