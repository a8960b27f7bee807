// The pixel accessors of the store, one set per bit count, chosen whenever storage is attached.
#include <cassert>

#include "image/dib_routines.h"
#include "image/internal_dib.h"

namespace {

inline void StoreRGB(BYTE* p, COLORREF c) {
  p[0] = GetBValue(c);
  p[1] = GetGValue(c);
  p[2] = GetRValue(c);
}

}  // namespace

void TVynCustomInternalDIB::InstallAccessors() {
  FGetPixel = &TVynCustomInternalDIB::NoPixel;
  FSetPixel = &TVynCustomInternalDIB::NoSetPixel;
  FGetPixelColor = &TVynCustomInternalDIB::NoPixel;
  FSetPixelColor = &TVynCustomInternalDIB::NoSetPixel;
  if (!FHasImage) return;
  switch (FDesc.BitCount) {
    case 1:
      FGetPixel = &TVynCustomInternalDIB::GetPixel1;
      FSetPixel = &TVynCustomInternalDIB::SetPixel1;
      FGetPixelColor = &TVynCustomInternalDIB::GetPixelColorIndexed;
      FSetPixelColor = &TVynCustomInternalDIB::SetPixelColor1;
      break;
    case 4:
      FGetPixel = &TVynCustomInternalDIB::GetPixel4;
      FSetPixel = &TVynCustomInternalDIB::SetPixel4;
      FGetPixelColor = &TVynCustomInternalDIB::GetPixelColorIndexed;
      FSetPixelColor = &TVynCustomInternalDIB::SetPixelColorIndexed;
      break;
    case 8:
      FGetPixel = &TVynCustomInternalDIB::GetPixel8;
      FSetPixel = &TVynCustomInternalDIB::SetPixel8;
      FGetPixelColor = &TVynCustomInternalDIB::GetPixelColorIndexed;
      FSetPixelColor = &TVynCustomInternalDIB::SetPixelColorIndexed;
      break;
    case 24:
      FGetPixel = &TVynCustomInternalDIB::GetPixel24;
      FSetPixel = &TVynCustomInternalDIB::SetPixel24;
      FGetPixelColor = &TVynCustomInternalDIB::GetPixelColorRGB;
      FSetPixelColor = &TVynCustomInternalDIB::SetPixelColor24;
      break;
    case 32:
      FGetPixel = &TVynCustomInternalDIB::GetPixel32;
      FSetPixel = &TVynCustomInternalDIB::SetPixel32;
      FGetPixelColor = &TVynCustomInternalDIB::GetPixelColorRGB;
      FSetPixelColor = &TVynCustomInternalDIB::SetPixelColor32;
      break;
    default:
      break;
  }
}

#define NIMBREL_ASSERT_INSIDE(x, y) \
  assert((x) >= 0 && (x) < FDesc.Width && (y) >= 0 && (y) < FDesc.Height)

DWORD TVynCustomInternalDIB::GetPixel1(int x, int y) {
  NIMBREL_ASSERT_INSIDE(x, y);
  return (PictureRow(FDesc, y)[x / 8] >> (7 - x % 8)) & 1u;
}

DWORD TVynCustomInternalDIB::GetPixel4(int x, int y) {
  NIMBREL_ASSERT_INSIDE(x, y);
  const BYTE b = PictureRow(FDesc, y)[x / 2];
  return x % 2 == 0 ? DWORD(b >> 4) : DWORD(b & 0x0F);
}

DWORD TVynCustomInternalDIB::GetPixel8(int x, int y) {
  NIMBREL_ASSERT_INSIDE(x, y);
  return PictureRow(FDesc, y)[x];
}

DWORD TVynCustomInternalDIB::GetPixel24(int x, int y) {
  NIMBREL_ASSERT_INSIDE(x, y);
  const BYTE* p = PictureRow(FDesc, y) + std::size_t(x) * 3;
  return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16);
}

DWORD TVynCustomInternalDIB::GetPixel32(int x, int y) {
  NIMBREL_ASSERT_INSIDE(x, y);
  const BYTE* p = PictureRow(FDesc, y) + std::size_t(x) * 4;
  return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24);
}

void TVynCustomInternalDIB::SetPixel1(int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(x, y);
  BYTE& b = PictureRow(FDesc, y)[x / 8];
  const BYTE bit = BYTE(0x80u >> (x % 8));
  b = v != 0 ? BYTE(b | bit) : BYTE(b & ~bit);
}

void TVynCustomInternalDIB::SetPixel4(int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(x, y);
  BYTE& b = PictureRow(FDesc, y)[x / 2];
  const BYTE nibble = BYTE(v & 15u);
  b = x % 2 == 0 ? BYTE((b & 0x0F) | (nibble << 4)) : BYTE((b & 0xF0) | nibble);
}

void TVynCustomInternalDIB::SetPixel8(int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(x, y);
  PictureRow(FDesc, y)[x] = BYTE(v);
}

void TVynCustomInternalDIB::SetPixel24(int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(x, y);
  BYTE* p = PictureRow(FDesc, y) + std::size_t(x) * 3;
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
  p[2] = BYTE(v >> 16);
}

void TVynCustomInternalDIB::SetPixel32(int x, int y, DWORD v) {
  NIMBREL_ASSERT_INSIDE(x, y);
  BYTE* p = PictureRow(FDesc, y) + std::size_t(x) * 4;
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
  p[2] = BYTE(v >> 16);
  p[3] = BYTE(v >> 24);
}

DWORD TVynCustomInternalDIB::GetPixelColorIndexed(int x, int y) {
  // GetColorRef gives red in the high byte; turned round so it reads as a COLORREF.
  return SwapRedBlue(GetColorRef(int(GetPixel(x, y))));
}

DWORD TVynCustomInternalDIB::GetPixelColorRGB(int x, int y) {
  NIMBREL_ASSERT_INSIDE(x, y);
  const BYTE* p = PictureRow(FDesc, y) + std::size_t(x) * (FDesc.BitCount / 8);
  return RGB(p[2], p[1], p[0]);
}

void TVynCustomInternalDIB::SetPixelColor1(int x, int y, DWORD c) {
  SetPixel1(x, y, GetNearestPaletteIndex(c) != 0 ? 1u : 0u);
}

void TVynCustomInternalDIB::SetPixelColorIndexed(int x, int y, DWORD c) {
  SetPixel(x, y, DWORD(GetNearestPaletteIndex(c)));
}

void TVynCustomInternalDIB::SetPixelColor24(int x, int y, DWORD c) {
  NIMBREL_ASSERT_INSIDE(x, y);
  StoreRGB(PictureRow(FDesc, y) + std::size_t(x) * 3, c);
}

void TVynCustomInternalDIB::SetPixelColor32(int x, int y, DWORD c) {
  NIMBREL_ASSERT_INSIDE(x, y);
  StoreRGB(PictureRow(FDesc, y) + std::size_t(x) * 4, c);  // alpha stays
}
