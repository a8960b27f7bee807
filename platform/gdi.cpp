#include "platform/gdi.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>

#include "platform/halftone_palette.h"
#include "platform/handle_object.h"
#include "platform/row_size.h"

namespace {

std::atomic<bool> paletteDisplay{false};

constexpr int kTrueColourDepth = 32;
constexpr int kPaletteDisplayDepth = 8;
constexpr int kStaticColours = 20;
constexpr std::uint64_t kMaxPixelBytes = 0xFFFFFFFFu;

// The objects a context holds when nothing of the caller's is selected; never deleted.
GdiBitmap& StockBitmap() {
  static GdiBitmap bitmap;
  return bitmap;
}

GdiPalette& DefaultPalette() {
  static GdiPalette palette = [] {
    GdiPalette p;
    const auto& table = HalftonePalette();
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255}) {
      p.entries.push_back(PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0});
    }
    return p;
  }();
  return palette;
}

bool IsStock(HGDIOBJ object) {
  return object == &StockBitmap() || object == &DefaultPalette();
}

bool ValidDibDepth(int bitCount) {
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

}  // namespace

GdiBitmap::~GdiBitmap() {
  if (view != nullptr) UnmapViewOfFile(view);
}

HPALETTE CreatePalette(const LOGPALETTE* logPalette) {
  if (logPalette == nullptr || logPalette->palVersion != 0x300 || logPalette->palNumEntries == 0) {
    return nullptr;
  }
  return NewHandleObject<GdiPalette>([logPalette](GdiPalette& palette) {
    palette.entries.assign(logPalette->palPalEntry,
                           logPalette->palPalEntry + logPalette->palNumEntries);
    return true;
  });
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
  if (palette == nullptr) return 0;
  const UINT size = UINT(palette->entries.size());
  if (entries == nullptr) return size;
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  std::copy_n(palette->entries.begin() + start, n, entries);
  return n;
}

HPALETTE CopyPalette(HPALETTE palette) {
  if (palette == nullptr) return nullptr;
  return NewHandleObject<GdiPalette>([palette](GdiPalette& copy) {
    copy.entries = palette->entries;
    return true;
  });
}

HPALETTE CreateHalftonePalette(HDC) {
  return NewHandleObject<GdiPalette>([](GdiPalette& palette) {
    for (const RGBQUAD& q : HalftonePalette())
      palette.entries.push_back(PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
    return true;
  });
}

BOOL DeleteObject(HGDIOBJ object) {
  if (object == nullptr || IsStock(object)) return FALSE;
  delete object;
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  auto* bitmap = dynamic_cast<GdiBitmap*>(object);
  if (dc == nullptr || bitmap == nullptr || dc->isScreen) return nullptr;
  HGDIOBJ previous = dc->bitmap ? static_cast<HGDIOBJ>(dc->bitmap) : &StockBitmap();
  dc->bitmap = bitmap == &StockBitmap() ? nullptr : bitmap;
  return previous;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
  if (dc == nullptr || palette == nullptr) return nullptr;
  HPALETTE previous = dc->palette ? dc->palette : &DefaultPalette();
  dc->palette = palette == &DefaultPalette() ? nullptr : palette;
  return previous;
}

UINT RealizePalette(HDC dc) {
  if (dc == nullptr) return UINT(-1);
  return dc->palette ? UINT(dc->palette->entries.size()) : 0;
}

BOOL GdiFlush() {
  return TRUE;
}

HDC GetDC(void* window) {
  if (window != nullptr) return nullptr;
  return NewHandleObject<DeviceContext>([](DeviceContext& dc) {
    dc.isScreen = true;
    return true;
  });
}

int ReleaseDC(void*, HDC dc) {
  if (dc == nullptr || !dc->isScreen) return 0;
  delete dc;
  return 1;
}

HDC CreateCompatibleDC(HDC) {
  return NewHandleObject<DeviceContext>([](DeviceContext&) { return true; });
}

BOOL DeleteDC(HDC dc) {
  if (dc == nullptr) return FALSE;
  delete dc;
  return TRUE;
}

int GetDeviceCaps(HDC, int index) {
  const bool palette = paletteDisplay.load();
  switch (index) {
    case BITSPIXEL:
      return palette ? kPaletteDisplayDepth : kTrueColourDepth;
    case NUMCOLORS:
      return palette ? kStaticColours : -1;
    case RASTERCAPS:
      return palette ? RC_PALETTE : 0;
    default:
      return 0;
  }
}

int SetStretchBltMode(HDC dc, int mode) {
  if (dc == nullptr || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  const int previous = dc->stretchMode;
  dc->stretchMode = mode;
  return previous;
}

void SetPaletteDisplay(bool value) {
  paletteDisplay = value;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || usage != DIB_RGB_COLORS) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight == INT32_MIN || !ValidDibDepth(h.biBitCount) ||
      (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)) {
    return nullptr;
  }
  const std::optional<std::size_t> lineSize = RowBytes(h.biWidth, h.biBitCount, kDIBRowAlignment);
  const std::uint64_t height =
      std::uint64_t(h.biHeight < 0 ? -std::int64_t(h.biHeight) : h.biHeight);
  if (!lineSize || *lineSize * height > kMaxPixelBytes) return nullptr;
  const std::size_t imageSize = std::size_t(*lineSize * height);

  GdiBitmap* bitmap = NewHandleObject<GdiBitmap>([&](GdiBitmap& b) {
    b.isSection = true;
    b.header = h;
    b.header.biSize = sizeof(BITMAPINFOHEADER);
    b.lineSize = *lineSize;
    if (h.biBitCount <= 8) {
      const std::size_t maxColours = std::size_t(1) << h.biBitCount;
      const std::size_t colours =
          h.biClrUsed == 0 ? maxColours : std::min<std::size_t>(h.biClrUsed, maxColours);
      b.colors.assign(info->bmiColors, info->bmiColors + colours);
    }
    if (section == nullptr) {
      b.ownedBits.assign(imageSize, 0);
      b.bits = b.ownedBits.data();
      return true;
    }
    b.view = MapViewOfFile(section, FILE_MAP_WRITE, 0, offset, imageSize);
    b.bits = static_cast<BYTE*>(b.view);
    b.section = section;
    b.sectionOffset = offset;
    return b.view != nullptr;
  });
  if (bitmap != nullptr && bits != nullptr) *bits = bitmap->bits;
  return bitmap;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  const int depth = GetDeviceCaps(nullptr, BITSPIXEL);
  const std::optional<std::size_t> lineSize = RowBytes(width, depth, kDDBRowAlignment);
  if (!lineSize || std::uint64_t(*lineSize) * std::uint64_t(height) > kMaxPixelBytes) {
    return nullptr;
  }
  return NewHandleObject<GdiBitmap>([&](GdiBitmap& bitmap) {
    bitmap.header.biSize = sizeof(BITMAPINFOHEADER);
    bitmap.header.biWidth = width;
    bitmap.header.biHeight = height;
    bitmap.header.biPlanes = 1;
    bitmap.header.biBitCount = WORD(depth);
    bitmap.lineSize = *lineSize;
    bitmap.ownedBits.assign(*lineSize * std::size_t(height), 0);
    bitmap.bits = bitmap.ownedBits.data();
    return true;
  });
}

int GetObject(HGDIOBJ object, int size, void* buffer) {
  if (auto* palette = dynamic_cast<GdiPalette*>(object)) {
    if (buffer == nullptr || size < int(sizeof(WORD))) return 0;
    const WORD count = WORD(palette->entries.size());
    std::memcpy(buffer, &count, sizeof count);
    return sizeof(WORD);
  }
  auto* bitmap = dynamic_cast<GdiBitmap*>(object);
  if (bitmap == nullptr || buffer == nullptr || size < int(sizeof(BITMAP))) return 0;
  BITMAP bm{};
  bm.bmWidth = bitmap->header.biWidth;
  bm.bmHeight = bitmap->header.biHeight < 0 ? -bitmap->header.biHeight : bitmap->header.biHeight;
  bm.bmWidthBytes = LONG(bitmap->lineSize);
  bm.bmPlanes = 1;
  bm.bmBitsPixel = bitmap->header.biBitCount;
  bm.bmBits = bitmap->isSection ? bitmap->bits : nullptr;
  if (bitmap->isSection && size >= int(sizeof(DIBSECTION))) {
    DIBSECTION ds{};
    ds.dsBm = bm;
    ds.dsBmih = bitmap->header;
    ds.dshSection = bitmap->section;
    ds.dsOffset = bitmap->sectionOffset;
    std::memcpy(buffer, &ds, sizeof ds);
    return sizeof(DIBSECTION);
  }
  std::memcpy(buffer, &bm, sizeof bm);
  return sizeof(BITMAP);
}
