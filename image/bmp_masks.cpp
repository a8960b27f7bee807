// Masked decoding: each channel is taken out of the pixel through its mask and scaled to the
// full byte range, so that a 5-bit channel at its maximum gives 255, not 248.
#include "image/bmp_masks.h"

#include <bit>

#include "platform/byte_order.h"

namespace bmp_detail {

MaskChannel MakeMaskChannel(DWORD mask) {
  MaskChannel c;
  c.mask = mask;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  c.max = mask >> c.shift;
  return c;
}

namespace {

DWORD LoadPixel(const BYTE* p, int bitCount) {
  switch (bitCount) {
    case 16:
      return LoadLE16(p);
    case 24:
      return LoadLE24(p);
    default:
      return LoadLE32(p);
  }
}

BYTE Scale(DWORD pixel, const MaskChannel& c) {
  if (c.max == 0) return 0;
  const std::uint64_t value = (pixel & c.mask) >> c.shift;
  if (c.max == 255) return BYTE(value);
  // Rounded, so every step of a narrow channel lands on the nearest byte value.
  return BYTE((value * 255 + c.max / 2) / c.max);
}

}  // namespace

void DecodeMaskedRow(const BYTE* src, int width, int bitCount, const MaskChannel (&channels)[3],
                     BYTE* dest) {
  const int bytesPerPixel = bitCount / 8;
  for (int x = 0; x < width; ++x) {
    const DWORD pixel = LoadPixel(src + std::size_t(x) * bytesPerPixel, bitCount);
    BYTE* out = dest + std::size_t(x) * 3;
    out[0] = Scale(pixel, channels[2]);
    out[1] = Scale(pixel, channels[1]);
    out[2] = Scale(pixel, channels[0]);
  }
}

}  // namespace bmp_detail
