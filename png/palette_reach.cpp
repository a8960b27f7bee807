#include "png/palette_reach.h"

#include <algorithm>
#include <cstdint>

namespace {

int HighestInRow(const BYTE* row, int bits, int left, int width) {
  if (bits == 8) return *std::max_element(row + left, row + left + width);
  const int mask = (1 << bits) - 1;
  int highest = 0;
  for (std::int64_t x = left; x < std::int64_t(left) + width; ++x) {
    const std::int64_t bit = x * bits;
    highest = std::max(highest, (row[bit / 8] >> (8 - bits - bit % 8)) & mask);
  }
  return highest;
}

}  // namespace

int HighestIndexUsed(const TVynDIBDesc& desc, int left, int top, int width, int height,
                     int highest) {
  int found = 0;
  for (int y = top; y < top + height && found < highest; ++y)
    found = std::max(found, HighestInRow(PictureRow(desc, y), desc.BitCount, left, width));
  return found;
}
