// Pixel transfers between bitmaps and device-independent bitmaps in memory: GetDIBits and
// StretchDIBits. Colours are matched to palettes by the nearest entry (smallest sum of
// absolute channel differences, the lower index on a tie), the measure the image library
// uses, so a colour drawn here lands on the entry the library would pick.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/byte_order.h"
#include "platform/gdi.h"
#include "platform/halftone_palette.h"
#include "platform/palette_match.h"
#include "platform/row_size.h"

namespace {

constexpr int kMaxTable = 256;
// Any bitmap this system makes stays far below this; it keeps every offset in range.
constexpr std::int64_t kMaxDimension = 0x00FFFFFF;

// A view of pixel rows in one of the layouts GDI knows, with the colour table its indices
// refer to (padded with black to 256 entries).
struct PixelView {
  BYTE* bits = nullptr;
  std::size_t lineSize = 0;
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitCount = 0;
  bool rgb565 = false;
  std::array<RGBQUAD, kMaxTable> table{};
  int tableCount = 0;

  BYTE* Row(int y) const { return bits + lineSize * std::size_t(topDown ? y : height - 1 - y); }
};

bool IsDIBBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

void SetTable(PixelView& v, const RGBQUAD* entries, int count) {
  v.tableCount = count < 0 ? 0 : count < kMaxTable ? count : kMaxTable;
  if (v.tableCount > 0)
    std::memcpy(v.table.data(), entries, std::size_t(v.tableCount) * sizeof(RGBQUAD));
}

// The colours a device-dependent bitmap's indices stand for: black and white for one bit,
// the system palette (the halftone table) otherwise.
void SetDeviceTable(PixelView& v) {
  if (v.bitCount == 1) {
    static constexpr RGBQUAD kMono[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    SetTable(v, kMono, 2);
  } else if (v.bitCount <= 8) {
    SetTable(v, HalftonePalette().data(), 1 << v.bitCount);
  }
}

bool ViewOfBitmap(const GdiBitmap& b, PixelView& v) {
  v.bits = b.bits;
  v.lineSize = b.lineSize;
  v.width = b.header.biWidth;
  v.height = std::abs(b.header.biHeight);
  v.bitCount = b.header.biBitCount;
  v.topDown = !b.isSection || b.header.biHeight < 0;
  v.rgb565 = v.bitCount == 16 && b.header.biCompression == BI_BITFIELDS;
  if (v.bits == nullptr || v.width <= 0 || v.height <= 0 || !IsDIBBitCount(v.bitCount)) {
    return false;
  }
  if (b.isSection) {
    SetTable(v, b.colors.data(), int(b.colors.size()));
  } else {
    SetDeviceTable(v);
  }
  return true;
}

bool ViewOfDIB(const BITMAPINFO* info, const void* bits, PixelView& v) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biWidth <= 0 ||
      h.biHeight == 0 || !IsDIBBitCount(h.biBitCount) || h.biWidth > kMaxDimension ||
      std::abs(std::int64_t(h.biHeight)) > kMaxDimension) {
    return false;
  }
  const std::optional<std::size_t> lineSize = RowBytes(h.biWidth, h.biBitCount, kDIBRowAlignment);
  if (!lineSize) return false;
  v.bits = static_cast<BYTE*>(const_cast<void*>(bits));
  v.lineSize = *lineSize;
  v.width = h.biWidth;
  v.height = int(std::abs(std::int64_t(h.biHeight)));
  v.topDown = h.biHeight < 0;
  v.bitCount = h.biBitCount;
  if (v.bitCount <= 8) {
    const int full = 1 << v.bitCount;
    const int used = h.biClrUsed == 0 || h.biClrUsed > DWORD(full) ? full : int(h.biClrUsed);
    SetTable(v, info->bmiColors, used);
  }
  return true;
}

std::int64_t Clamp(std::int64_t v, std::int64_t low, std::int64_t high) {
  return v < low ? low : v > high ? high : v;
}

int Nearest(const RGBQUAD* table, int count, RGBQUAD c) {
  return std::max(0, NearestColorIndex(table, count, c.rgbRed, c.rgbGreen, c.rgbBlue));
}

BYTE Expand5(unsigned v) {
  return BYTE(v * 255 / 31);
}
BYTE Expand6(unsigned v) {
  return BYTE(v * 255 / 63);
}

// The colour of one pixel; for 32 bits the fourth byte travels in rgbReserved.
RGBQUAD ReadColor(const PixelView& v, const BYTE* row, int x) {
  switch (v.bitCount) {
    case 16: {
      const unsigned w = LoadLE16(row + 2 * std::size_t(x));
      if (v.rgb565) return RGBQUAD{Expand5(w & 31), Expand6((w >> 5) & 63), Expand5(w >> 11), 0};
      return RGBQUAD{Expand5(w & 31), Expand5((w >> 5) & 31), Expand5((w >> 10) & 31), 0};
    }
    case 24: {
      const BYTE* p = row + 3 * std::size_t(x);
      return RGBQUAD{p[0], p[1], p[2], 0};
    }
    case 32: {
      const BYTE* p = row + 4 * std::size_t(x);
      return RGBQUAD{p[0], p[1], p[2], p[3]};
    }
    default:
      return v.table[ReadPackedIndex(row, v.bitCount, x)];
  }
}

void WriteColor(const PixelView& v, BYTE* row, int x, RGBQUAD c) {
  switch (v.bitCount) {
    case 16: {
      const unsigned w = v.rgb565 ? (c.rgbRed >> 3) << 11 | (c.rgbGreen >> 2) << 5 | c.rgbBlue >> 3
                                  : (c.rgbRed >> 3) << 10 | (c.rgbGreen >> 3) << 5 | c.rgbBlue >> 3;
      row[2 * x] = BYTE(w);
      row[2 * x + 1] = BYTE(w >> 8);
      break;
    }
    case 24: {
      BYTE* p = row + 3 * std::size_t(x);
      p[0] = c.rgbBlue;
      p[1] = c.rgbGreen;
      p[2] = c.rgbRed;
      break;
    }
    case 32:
      std::memcpy(row + 4 * std::size_t(x), &c, 4);
      break;
    default:
      break;
  }
}

// Moves pixels from one view to another, matching colours to the target's table when it has
// one. Indices pass unchanged between identical tables, so a palette picture keeps its bytes.
class PixelMover {
 public:
  PixelMover(const PixelView& from, const PixelView& to) : from_(from), to_(to) {
    sameIndices_ = from.bitCount <= 8 && to.bitCount == from.bitCount &&
                   from.tableCount <= to.tableCount &&
                   std::memcmp(from.table.data(), to.table.data(),
                               std::size_t(from.tableCount) * sizeof(RGBQUAD)) == 0;
    if (from.bitCount <= 8 && to.bitCount <= 8 && !sameIndices_) {
      for (int i = 0; i < kMaxTable; ++i) indexMap_[i] = BYTE(Match(from.table[i]));
    }
  }

  void Move(const BYTE* fromRow, int fromX, BYTE* toRow, int toX) {
    if (to_.bitCount > 8) {
      RGBQUAD c = ReadColor(from_, fromRow, fromX);
      if (from_.bitCount != 32) c.rgbReserved = 0;
      WriteColor(to_, toRow, toX, c);
    } else if (sameIndices_) {
      WritePackedIndex(toRow, to_.bitCount, toX, ReadPackedIndex(fromRow, from_.bitCount, fromX));
    } else if (from_.bitCount <= 8) {
      WritePackedIndex(toRow, to_.bitCount, toX,
                       indexMap_[ReadPackedIndex(fromRow, from_.bitCount, fromX)]);
    } else {
      WritePackedIndex(toRow, to_.bitCount, toX, CachedMatch(ReadColor(from_, fromRow, fromX)));
    }
  }

 private:
  unsigned Match(RGBQUAD c) const { return unsigned(Nearest(to_.table.data(), to_.tableCount, c)); }

  // True-colour pictures repeat few colours; a small direct-mapped cache spares most searches.
  unsigned CachedMatch(RGBQUAD c) {
    const std::uint32_t key = c.rgbBlue | (c.rgbGreen << 8) | (std::uint32_t(c.rgbRed) << 16);
    Slot& slot = cache_[(key * 2654435761u) >> 20];
    if (!slot.used || slot.key != key) slot = Slot{key, BYTE(Match(c)), true};
    return slot.index;
  }

  struct Slot {
    std::uint32_t key = 0;
    BYTE index = 0;
    bool used = false;
  };
  const PixelView& from_;
  const PixelView& to_;
  bool sameIndices_ = false;
  std::array<BYTE, kMaxTable> indexMap_{};
  std::array<Slot, 4096> cache_{};
};

// A section of the same depth hands over its own table; otherwise the palette selected into
// the device context decides, or the device's own colours when none is.
void TargetTable(HDC dc, const GdiBitmap& bitmap, const PixelView& source, PixelView& target) {
  if (bitmap.isSection && source.bitCount == target.bitCount && source.tableCount > 0) {
    SetTable(target, source.table.data(), source.tableCount);
    return;
  }
  if (dc != nullptr && dc->palette != nullptr && !dc->palette->entries.empty()) {
    std::array<RGBQUAD, kMaxTable> entries{};
    const int full = 1 << target.bitCount;
    const int count =
        int(dc->palette->entries.size()) < full ? int(dc->palette->entries.size()) : full;
    for (int i = 0; i < count; ++i) {
      const PALETTEENTRY& e = dc->palette->entries[i];
      entries[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
    }
    SetTable(target, entries.data(), count);
    return;
  }
  SetDeviceTable(target);
}

}  // namespace

int GetDIBits(HDC dc, HBITMAP bitmap, UINT startLine, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage) {
  if (bitmap == nullptr || bits == nullptr || info == nullptr || usage != DIB_RGB_COLORS) return 0;
  PixelView source, target;
  if (!ViewOfBitmap(*bitmap, source) || !ViewOfDIB(info, bits, target)) return 0;
  if (target.bitCount == 16) return 0;
  if (target.bitCount <= 8) {
    TargetTable(dc, *bitmap, source, target);
    const int full = 1 << target.bitCount;
    std::memset(info->bmiColors, 0, std::size_t(full) * sizeof(RGBQUAD));
    std::memcpy(info->bmiColors, target.table.data(),
                std::size_t(target.tableCount) * sizeof(RGBQUAD));
  }
  // The buffer's first row holds line startLine, lines counting from the bottom of the bitmap
  // for a bottom-up buffer and from the top for a top-down one.
  const std::int64_t available = std::int64_t(source.height) - startLine;
  std::int64_t count = std::int64_t(lines) < available ? std::int64_t(lines) : available;
  if (count > target.height) count = target.height;
  if (count <= 0) return 0;
  const int width = source.width < target.width ? source.width : target.width;
  PixelMover mover(source, target);
  for (int k = 0; k < int(count); ++k) {
    const int line = int(startLine) + k;
    const BYTE* from = source.Row(target.topDown ? line : source.height - 1 - line);
    BYTE* to = target.bits + target.lineSize * std::size_t(k);
    for (int x = 0; x < width; ++x) mover.Move(from, x, to, x);
  }
  return int(count);
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop) {
  if (dc == nullptr || dc->bitmap == nullptr || bits == nullptr || info == nullptr ||
      usage != DIB_RGB_COLORS || rop != SRCCOPY) {
    return 0;
  }
  if (destWidth <= 0 || destHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return 0;
  PixelView source, target;
  if (!ViewOfDIB(info, bits, source) || !ViewOfBitmap(*dc->bitmap, target)) return 0;
  // Every stretch mode picks the nearest source pixel (COLORONCOLOR); source coordinates
  // count from the picture's top-left corner.
  PixelMover mover(source, target);
  // Only the part of the destination rectangle inside the bitmap is visited.
  const int firstX = int(Clamp(-std::int64_t(xDest), 0, destWidth));
  const int endX = int(Clamp(std::int64_t(target.width) - xDest, 0, destWidth));
  const int firstY = int(Clamp(-std::int64_t(yDest), 0, destHeight));
  const int endY = int(Clamp(std::int64_t(target.height) - yDest, 0, destHeight));
  int painted = 0;
  for (int dy = firstY; dy < endY; ++dy) {
    const std::int64_t sy = ySrc + std::int64_t(dy) * srcHeight / destHeight;
    if (sy < 0 || sy >= source.height) continue;
    const BYTE* from = source.Row(int(sy));
    BYTE* to = target.Row(yDest + dy);
    for (int dx = firstX; dx < endX; ++dx) {
      const std::int64_t sx = xSrc + std::int64_t(dx) * srcWidth / destWidth;
      if (sx < 0 || sx >= source.width) continue;
      mover.Move(from, int(sx), to, xDest + dx);
    }
    ++painted;
  }
  return painted;
}
