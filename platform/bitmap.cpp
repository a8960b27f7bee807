#include "platform/bitmap.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/pixel_access.h"

namespace {

// The 16 colours of the VGA, the table a new 4-bit bitmap starts with.
constexpr RGBQUAD kVgaColors[16] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {128, 128, 128, 0},
    {192, 192, 192, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};
constexpr RGBQUAD kMonoColors[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};

std::vector<RGBQUAD> EntriesOf(HPALETTE palette, int most) {
  const UINT count = std::min<UINT>(GetPaletteEntries(palette, 0, 0, nullptr), UINT(most));
  std::vector<PALETTEENTRY> entries(count);
  GetPaletteEntries(palette, 0, count, entries.data());
  std::vector<RGBQUAD> colors;
  for (const PALETTEENTRY& e : entries) colors.push_back({e.peBlue, e.peGreen, e.peRed, 0});
  return colors;
}

HPALETTE PaletteOf(const RGBQUAD* colors, int count) {
  std::vector<BYTE> block(sizeof(LOGPALETTE) + std::size_t(count) * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(block.data());
  log->palVersion = 0x300;
  log->palNumEntries = WORD(count);
  for (int i = 0; i < count; ++i)
    log->palPalEntry[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
  return CreatePalette(log);
}

HPALETTE ScreenHalftonePalette() {
  HDC screen = GetDC(nullptr);
  HPALETTE palette = CreateHalftonePalette(screen);
  ReleaseDC(nullptr, screen);
  return palette;
}

int ScreenDepth() {
  return GetDeviceCaps(nullptr, BITSPIXEL);
}

// Copies the pixels of from that fall inside to, colour by colour unless both share one layout.
void CopyPixels(GdiBitmap& from, GdiBitmap& to) {
  PixelAccess source(from), target(to);
  const int width = std::min(source.Width(), target.Width());
  const int height = std::min(source.Height(), target.Height());
  const bool sameLayout = from.header.biBitCount == to.header.biBitCount &&
                          from.header.biCompression == to.header.biCompression &&
                          std::equal(from.colors.begin(), from.colors.end(), to.colors.begin(),
                                     to.colors.end(), [](const RGBQUAD& a, const RGBQUAD& b) {
                                       return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen &&
                                              a.rgbRed == b.rgbRed;
                                     });
  std::unordered_map<std::uint32_t, std::uint32_t> mapped;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t value = source.Get(x, y);
      if (sameLayout) {
        target.Put(x, y, value);
        continue;
      }
      auto [it, added] = mapped.try_emplace(value, 0);
      if (added) it->second = target.Encode(source.Decode(value));
      target.Put(x, y, it->second);
    }
  }
}

}  // namespace

int PixelFormatBitCount(TPixelFormat format) {
  switch (format) {
    case pf1bit:
      return 1;
    case pf4bit:
      return 4;
    case pf8bit:
      return 8;
    case pf15bit:
    case pf16bit:
      return 16;
    case pf24bit:
      return 24;
    case pf32bit:
      return 32;
    default:
      return 0;
  }
}

TBitmap::TBitmap() {
  dc_ = CreateCompatibleDC(nullptr);
  if (!dc_) OutOfMemoryError();
  canvas_.SetHandle(dc_);
}

TBitmap::~TBitmap() {
  DeleteDC(dc_);  // before the bitmap and the palette it may still hold go
}

// Callers select the bitmap's palette into its canvas to paint through it; the context must not
// keep pointing at a palette the bitmap is about to delete.
void TBitmap::DropPalette() {
  if (dc_->palette == palette_.get()) dc_->palette = nullptr;
  palette_.reset();
}

TPixelFormat TBitmap::PixelFormat() const {
  return handleType_ == bmDDB ? pfDevice : format_;
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pfCustom) throw EInvalidGraphicOperation("Invalid pixel format");
  if (format == PixelFormat()) return;
  if (format == pfDevice) {
    SetHandleType(bmDDB);
    return;
  }
  format_ = format;
  handleType_ = bmDIB;
  ResetColorTable();
  Rebuild();
  Changed();
}

void TBitmap::ResetColorTable() {
  PaletteOwner palette;
  colors_.clear();
  if (format_ == pf1bit) {
    colors_.assign(std::begin(kMonoColors), std::end(kMonoColors));
    palette.reset(PaletteOf(colors_.data(), 2));
  } else if (format_ == pf4bit) {
    colors_.assign(std::begin(kVgaColors), std::end(kVgaColors));
    palette.reset(PaletteOf(colors_.data(), 16));
  } else if (format_ == pf8bit) {
    palette.reset(ScreenHalftonePalette());
    colors_ = EntriesOf(palette.get(), 256);
  }
  DropPalette();
  palette_ = std::move(palette);
}

void TBitmap::SetWidth(int value) {
  value = std::max(value, 0);
  if (value == width_) return;
  width_ = value;
  Rebuild();
  Changed();
}

void TBitmap::SetHeight(int value) {
  value = std::max(value, 0);
  if (value == height_) return;
  height_ = value;
  Rebuild();
  Changed();
}

void TBitmap::SetPalette(HPALETTE palette) {
  if (palette == palette_.get()) return;
  DropPalette();
  palette_.reset(palette);
  const int bits = PixelFormatBitCount(format_);
  if (handleType_ == bmDIB && bits <= 8 && bits > 0 && palette) {
    colors_ = EntriesOf(palette, 1 << bits);
    if (bitmap_) {
      bitmap_->colors = colors_;
      bitmap_->header.biClrUsed = DWORD(colors_.size());
    }
  }
  Changed();
}

void TBitmap::SetHandleType(TBitmapHandleType type) {
  if (type == handleType_) return;
  handleType_ = type;
  if (type == bmDIB) {
    // A device-dependent bitmap becomes a section of the screen's depth.
    format_ = ScreenDepth() <= 8 ? pf8bit : pf32bit;
    ResetColorTable();
  }
  Rebuild();
  Changed();
}

BYTE* TBitmap::ScanLine(int y) {
  if (!bitmap_ || y < 0 || y >= height_)
    throw EInvalidGraphicOperation("Scan line index out of range");
  const bool topDown = !bitmap_->isSection || bitmap_->header.biHeight < 0;
  return bitmap_->bits + std::size_t(topDown ? y : height_ - 1 - y) * bitmap_->lineSize;
}

HBITMAP TBitmap::CreateSection(int width, int height) const {
  const int bits = PixelFormatBitCount(format_);
  std::vector<BYTE> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
  BITMAPINFOHEADER& h = info->bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = WORD(bits);
  h.biCompression = format_ == pf16bit ? BI_BITFIELDS : BI_RGB;
  if (format_ == pf16bit) {
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info->bmiColors, masks, sizeof masks);
  } else if (bits <= 8) {
    h.biClrUsed = DWORD(colors_.size());
    std::copy(colors_.begin(), colors_.end(), info->bmiColors);
  }
  void* pixels = nullptr;
  return CreateDIBSection(dc_, info, DIB_RGB_COLORS, &pixels, nullptr, 0);
}

void TBitmap::Rebuild() {
  BitmapOwner bitmap;
  if (width_ > 0 && height_ > 0) {
    bitmap.reset(handleType_ == bmDDB ? CreateCompatibleBitmap(dc_, width_, height_)
                                      : CreateSection(width_, height_));
    if (!bitmap) OutOfMemoryError();
    if (bitmap_) CopyPixels(*bitmap_, *bitmap);
  }
  Install(std::move(bitmap));
}

void TBitmap::Install(BitmapOwner bitmap) {
  if (bitmap) {
    SelectObject(dc_, bitmap.get());
  } else {
    dc_->bitmap = nullptr;
  }
  bitmap_.swap(bitmap);  // the old bitmap goes with the argument
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (!bitmap_ || !canvas.Handle()) return;
  // Through 32-bit pixels, which every bitmap can give and every canvas can take.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<BYTE> pixels(std::size_t(width_) * std::size_t(height_) * 4);
  if (GetDIBits(dc_, bitmap_.get(), 0, UINT(height_), pixels.data(), &info, DIB_RGB_COLORS) == 0)
    return;
  StretchDIBits(canvas.Handle(), rect.Left, rect.Top, rect.Width(), rect.Height(), 0, 0, width_,
                height_, pixels.data(), &info, DIB_RGB_COLORS, canvas.CopyMode);
}

void TBitmap::LoadFromStream(TStream&) {
  throw EConvertError("Cannot load a TBitmap from a stream");
}

void TBitmap::SaveToStream(TStream&) {
  throw EConvertError("Cannot save a TBitmap to a stream");
}

void TBitmap::LoadFromClipboardFormat(WORD, HANDLE, HPALETTE) {
  throw EConvertError("Cannot load a TBitmap from the clipboard");
}

void TBitmap::SaveToClipboardFormat(WORD&, HANDLE&, HPALETTE&) {
  throw EConvertError("Cannot save a TBitmap to the clipboard");
}
