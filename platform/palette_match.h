// The one colour measure of the system and packed palette indices. Canvas drawing, GDI
// transfers and the image library all match colours to palette entries the same way, so the
// entry the clearing fill writes is the entry a writer later declares transparent.
#pragma once

#include "platform/win_types.h"

// The entry nearest to (red, green, blue) among the first count entries of table: the smallest
// sum of absolute channel differences; an exact match ends the search; the lower index wins a
// tie. -1 when count is 0 or less or there is no table.
int NearestColorIndex(const RGBQUAD* table, int count, BYTE red, BYTE green, BYTE blue);

// Pixel x of a row of 1-, 4- or 8-bit palette indices (most significant bits first).
constexpr unsigned ReadPackedIndex(const BYTE* row, int bits, int x) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
      return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4u;
    default:
      return row[x];
  }
}

constexpr void WritePackedIndex(BYTE* row, int bits, int x, unsigned value) {
  switch (bits) {
    case 1: {
      const BYTE mask = BYTE(0x80u >> (x & 7));
      row[x >> 3] = value ? BYTE(row[x >> 3] | mask) : BYTE(row[x >> 3] & ~mask);
      break;
    }
    case 4:
      row[x >> 1] = (x & 1) ? BYTE((row[x >> 1] & 0xF0) | (value & 0x0F))
                            : BYTE((row[x >> 1] & 0x0F) | ((value & 0x0F) << 4));
      break;
    default:
      row[x] = BYTE(value);
  }
}
