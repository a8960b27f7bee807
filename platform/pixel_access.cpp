#include "platform/pixel_access.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/halftone_palette.h"
#include "platform/palette_match.h"

PixelAccess::PixelAccess(GdiBitmap& bitmap) : bitmap_(bitmap) {
  // Copies, since the packed header's fields cannot bind to references.
  const BITMAPINFOHEADER h = bitmap.header;
  const int width = h.biWidth, height = h.biHeight, planes = h.biPlanes;
  width_ = bitmap.bits && width > 0 ? width : 0;
  height_ = bitmap.bits ? std::abs(height) : 0;
  bitCount_ = h.biBitCount * std::max(planes, 1);
  // Device-dependent bitmaps and negative-height sections keep their rows top-down.
  topDown_ = !bitmap.isSection || h.biHeight < 0;
  rgb565_ = bitCount_ == 16 && h.biCompression == BI_BITFIELDS;
}

BYTE* PixelAccess::Row(int y) const {
  const int stored = topDown_ ? y : height_ - 1 - y;
  return bitmap_.bits + std::size_t(stored) * bitmap_.lineSize;
}

// A palette-display bitmap without a table of its own shows the halftone palette.
const RGBQUAD* PixelAccess::Colors() const {
  return bitmap_.colors.empty() ? HalftonePalette().data() : bitmap_.colors.data();
}

int PixelAccess::ColorCount() const {
  const int most = 1 << std::min(bitCount_, 8);
  const int count =
      bitmap_.colors.empty() ? int(HalftonePalette().size()) : int(bitmap_.colors.size());
  return std::min(count, most);
}

std::uint32_t PixelAccess::Encode(COLORREF color) const {
  const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  switch (bitCount_) {
    case 1:
    case 4:
    case 8: {
      return std::uint32_t(
          std::max(0, NearestColorIndex(Colors(), ColorCount(), BYTE(r), BYTE(g), BYTE(b))));
    }
    case 16:
      return rgb565_ ? std::uint32_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3)
                     : std::uint32_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
    default:
      return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
  }
}

COLORREF PixelAccess::Decode(std::uint32_t value) const {
  auto expand5 = [](std::uint32_t v) { return BYTE(v << 3 | v >> 2); };
  switch (bitCount_) {
    case 1:
    case 4:
    case 8: {
      if (int(value) >= ColorCount()) return clBlack;
      const RGBQUAD& q = Colors()[value];
      return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    case 16:
      if (rgb565_) {
        const std::uint32_t g = value >> 5 & 63;
        return RGB(expand5(value >> 11 & 31), BYTE(g << 2 | g >> 4), expand5(value & 31));
      }
      return RGB(expand5(value >> 10 & 31), expand5(value >> 5 & 31), expand5(value & 31));
    default:
      return RGB(BYTE(value >> 16), BYTE(value >> 8), BYTE(value));
  }
}

void PixelAccess::Put(int x, int y, std::uint32_t value) {
  BYTE* row = Row(y);
  switch (bitCount_) {
    case 1: {
      const BYTE bit = BYTE(0x80 >> (x & 7));
      row[x >> 3] = BYTE(value ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case 4: {
      BYTE& b = row[x >> 1];
      b = (x & 1) ? BYTE((b & 0xF0) | (value & 15)) : BYTE((b & 0x0F) | (value & 15) << 4);
      break;
    }
    case 8:
      row[x] = BYTE(value);
      break;
    case 16:
      row[2 * x] = BYTE(value);
      row[2 * x + 1] = BYTE(value >> 8);
      break;
    case 24:
      row[3 * x] = BYTE(value);
      row[3 * x + 1] = BYTE(value >> 8);
      row[3 * x + 2] = BYTE(value >> 16);
      break;
    case 32:
      std::memcpy(row + 4 * x, &value, 4);
      break;
    default:
      break;
  }
}

std::uint32_t PixelAccess::Get(int x, int y) const {
  const BYTE* row = Row(y);
  switch (bitCount_) {
    case 1:
      return row[x >> 3] >> (7 - (x & 7)) & 1;
    case 4:
      return (x & 1) ? row[x >> 1] & 15u : std::uint32_t(row[x >> 1] >> 4);
    case 8:
      return row[x];
    case 16:
      return std::uint32_t(row[2 * x]) | std::uint32_t(row[2 * x + 1]) << 8;
    case 24:
      return std::uint32_t(row[3 * x]) | std::uint32_t(row[3 * x + 1]) << 8 |
             std::uint32_t(row[3 * x + 2]) << 16;
    case 32: {
      std::uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v & 0xFFFFFF;
    }
    default:
      return 0;
  }
}

void PixelAccess::FillSpan(int x0, int x1, int y, std::uint32_t value) {
  x0 = std::max(x0, 0);
  x1 = std::min(x1, width_);
  if (y < 0 || y >= height_ || x0 >= x1) return;
  if (bitCount_ == 8) {
    std::memset(Row(y) + x0, int(value), std::size_t(x1 - x0));
    return;
  }
  for (int x = x0; x < x1; ++x) Put(x, y, value);
}
