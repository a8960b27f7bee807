// The BMP decoder's bit-field pixels: 16-, 24- or 32-bit pixels through masks into 24 bits.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace bmp_detail {
struct MaskChannel {
  DWORD mask = 0;
  int shift = 0;          // the mask's lowest set bit
  std::uint64_t max = 0;  // the largest value the mask can give, after the shift
};
MaskChannel MakeMaskChannel(DWORD mask);
// One row of pixels through the red, green and blue channels into a 24-bit row.
void DecodeMaskedRow(const BYTE* src, int width, int bitCount, const MaskChannel (&channels)[3],
                     BYTE* dest);
}  // namespace bmp_detail
