#include "image/dib_pixels.h"

#include <cassert>

#include "image/dib_error.h"
#include "image/dib_routines.h"
#include "platform/byte_order.h"

namespace {

inline void StoreRGB(BYTE* p, COLORREF c) {
  p[0] = GetBValue(c);
  p[1] = GetGValue(c);
  p[2] = GetRValue(c);
}

#define NIMBREL_ASSERT_INSIDE(d, x, y) \
  assert((x) >= 0 && (x) < (d).Width && (y) >= 0 && (y) < (d).Height)

DWORD GetPixel1(const TVynDIBDesc& d, int x, int y) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  return (PictureRow(d, y)[x / 8] >> (7 - x % 8)) & 1u;
}

DWORD GetPixel4(const TVynDIBDesc& d, int x, int y) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  const BYTE b = PictureRow(d, y)[x / 2];
  return x % 2 == 0 ? DWORD(b >> 4) : DWORD(b & 0x0F);
}

DWORD GetPixel8(const TVynDIBDesc& d, int x, int y) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  return PictureRow(d, y)[x];
}

DWORD GetPixel24(const TVynDIBDesc& d, int x, int y) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  const BYTE* p = PictureRow(d, y) + std::size_t(x) * 3;
  return LoadLE24(p);
}

DWORD GetPixel32(const TVynDIBDesc& d, int x, int y) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  const BYTE* p = PictureRow(d, y) + std::size_t(x) * 4;
  return LoadLE32(p);
}

void SetPixel1(const TVynDIBDesc& d, int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  BYTE& b = PictureRow(d, y)[x / 8];
  const BYTE bit = BYTE(0x80u >> (x % 8));
  b = v != 0 ? BYTE(b | bit) : BYTE(b & ~bit);
}

void SetPixel4(const TVynDIBDesc& d, int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  BYTE& b = PictureRow(d, y)[x / 2];
  const BYTE nibble = BYTE(v & 15u);
  b = x % 2 == 0 ? BYTE((b & 0x0F) | (nibble << 4)) : BYTE((b & 0xF0) | nibble);
}

void SetPixel8(const TVynDIBDesc& d, int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  PictureRow(d, y)[x] = BYTE(v);
}

void SetPixel24(const TVynDIBDesc& d, int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  BYTE* p = PictureRow(d, y) + std::size_t(x) * 3;
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
  p[2] = BYTE(v >> 16);
}

void SetPixel32(const TVynDIBDesc& d, int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  BYTE* p = PictureRow(d, y) + std::size_t(x) * 4;
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
  p[2] = BYTE(v >> 16);
  p[3] = BYTE(v >> 24);
}

template <DWORD (*GetIndex)(const TVynDIBDesc&, int, int)>
COLORREF GetPixelColorIndexed(const TVynDIBDesc& d, int x, int y) {
  // The entry comes with red in the high byte; turned round so it reads as a COLORREF.
  return SwapRedBlue(PaletteColorRef(d.Palette, d.PaletteCount, int(GetIndex(d, x, y))));
}

COLORREF GetPixelColorRGB(const TVynDIBDesc& d, int x, int y) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  const BYTE* p = PictureRow(d, y) + std::size_t(x) * (d.BitCount / 8);
  return RGB(p[2], p[1], p[0]);
}

int NearestIndex(const TVynDIBDesc& d, COLORREF c) {
  return NearestPaletteIndex(d.Palette, d.PaletteCount, c);
}

void SetPixelColor1(const TVynDIBDesc& d, int x, int y, COLORREF c) {
  SetPixel1(d, x, y, NearestIndex(d, c) != 0 ? 1u : 0u);
}

// A palette without entries gives -1, which the pixel keeps in as many bits as it has.
template <void (*SetIndex)(const TVynDIBDesc&, int, int, DWORD)>
void SetPixelColorIndexed(const TVynDIBDesc& d, int x, int y, COLORREF c) {
  SetIndex(d, x, y, DWORD(NearestIndex(d, c)));
}

void SetPixelColor24(const TVynDIBDesc& d, int x, int y, COLORREF c) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  StoreRGB(PictureRow(d, y) + std::size_t(x) * 3, c);
}

void SetPixelColor32(const TVynDIBDesc& d, int x, int y, COLORREF c) {
  NIMBREL_ASSERT_INSIDE(d, x, y);
  StoreRGB(PictureRow(d, y) + std::size_t(x) * 4, c);  // alpha stays
}

DWORD NoPixel(const TVynDIBDesc&, int, int) {
  return 0;
}

void NoSetPixel(const TVynDIBDesc&, int, int, DWORD) {}

constexpr PixelAccessors kPixels1{GetPixel1, SetPixel1, GetPixelColorIndexed<GetPixel1>,
                                  SetPixelColor1};
constexpr PixelAccessors kPixels4{GetPixel4, SetPixel4, GetPixelColorIndexed<GetPixel4>,
                                  SetPixelColorIndexed<SetPixel4>};
constexpr PixelAccessors kPixels8{GetPixel8, SetPixel8, GetPixelColorIndexed<GetPixel8>,
                                  SetPixelColorIndexed<SetPixel8>};
constexpr PixelAccessors kPixels24{GetPixel24, SetPixel24, GetPixelColorRGB, SetPixelColor24};
constexpr PixelAccessors kPixels32{GetPixel32, SetPixel32, GetPixelColorRGB, SetPixelColor32};
constexpr PixelAccessors kNoPixels{NoPixel, NoSetPixel, NoPixel, NoSetPixel};

}  // namespace

const PixelAccessors& PixelAccessorsFor(int bitCount) {
  switch (bitCount) {
    case 1:
      return kPixels1;
    case 4:
      return kPixels4;
    case 8:
      return kPixels8;
    case 24:
      return kPixels24;
    case 32:
      return kPixels32;
    default:
      return kNoPixels;
  }
}

COLORREF PaletteColorRef(const RGBQUAD* palette, int count, int index) {
  if (index < 0 || index >= count) RaiseDIBError("GetColorRef", "over PaletteIndex");
  const RGBQUAD& e = palette[index];
  return (COLORREF(e.rgbRed) << 16) + (COLORREF(e.rgbGreen) << 8) + e.rgbBlue;
}
