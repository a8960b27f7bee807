// What the image targets share: saving back what a reader loaded, and the images the round
// trips build from the fuzzer's bytes with the comparisons they make after a write and a read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "image/custom_dib.h"
#include "image/dib_routines.h"
#include "image/internal_dib.h"
#include "platform/kernel.h"
#include "platform/stream.h"

namespace fuzzimage {

constexpr COLORREF kNoColor = clNone;

inline bool HasColor(COLORREF c) {
  return c <= 0x00FFFFFF;
}

// A run-length file of a few bytes may describe a picture of 2^28 pixels. Saving back more than
// a megabyte would spend the fuzzer's time and memory on the writers, not the reader (the
// round-trip targets fuzz those).
constexpr std::uint64_t kMaxSaveBackBytes = std::uint64_t(1) << 20;

inline bool SmallEnoughToSaveBack(const TVynCustomInternalDIB& store) {
  return std::uint64_t(store.LineSize()) * std::uint64_t(store.Height()) <= kMaxSaveBackBytes;
}

// A global memory block freed at the end of the scope.
class GlobalBlock {
 public:
  explicit GlobalBlock(HGLOBAL memory) : memory_(memory) {}
  ~GlobalBlock() {
    if (memory_ != nullptr) GlobalFree(memory_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  HGLOBAL Get() const { return memory_; }

 private:
  HGLOBAL memory_;
};

// The part of an image a writer saves: the whole image, or a rectangle of it.
struct SavedArea {
  int left = 0, top = 0, width = 0, height = 0;  // width 0: the whole image
  bool Whole() const { return width == 0; }
};

inline SavedArea ChooseArea(FuzzInput& in, int width, int height) {
  if (!in.Flag()) return {};
  SavedArea r;
  r.left = in.Range(0, width - 1);
  r.top = in.Range(0, height - 1);
  r.width = in.Range(1, width - r.left);
  r.height = in.Range(1, height - r.top);
  return r;
}

// Writes the area with the image's own writer (the class decides the format).
inline void SaveArea(TVynCustomDIB& image, const SavedArea& r, TStream& stream) {
  if (r.Whole())
    image.SaveToStream(stream);
  else
    image.RectSaveToStream(stream, r.left, r.top, r.width, r.height);
}

// Width and height: mostly small, sometimes wide enough for many compressed blocks.
inline int ChooseSide(FuzzInput& in, int large) {
  return in.Flag() ? in.Range(1, large) : in.Range(1, 32);
}

inline void ChooseColorKey(FuzzInput& in, TVynDIBDesc& d, DWORD& value, int modeShift) {
  DWORD mode = DWORD(in.Range(0, 2));
  if (mode == kKeyModeIndex && d.PaletteCount == 0) mode = kKeyModeNone;
  if (mode == kKeyModeIndex) value = DWORD(in.Range(0, d.PaletteCount - 1));
  if (mode == kKeyModeColor) value = in.U32() & 0x00FFFFFF;
  d.KeyFlags |= mode << modeShift;
}

// A palette alpha table: random bytes, or the shape a single transparent entry takes.
inline void ChooseAlphaTable(FuzzInput& in, TVynDIBDesc& d) {
  d.AlphaCount = in.Range(0, d.PaletteCount);
  BYTE* alpha = AlphaTable(d);
  if (in.Flag()) {
    for (int i = 0; i < d.AlphaCount; ++i) alpha[i] = in.Byte();
  } else if (d.AlphaCount > 0) {
    alpha[in.Range(0, d.AlphaCount - 1)] = 0;
  }
}

// Shape, palette, colour keys, alpha and resolution chosen by the input; the pixels come
// later (FillPixels), from what the input has left.
inline void BuildImage(FuzzInput& in, TVynCustomDIB& image, int largeWidth, int largeHeight) {
  static constexpr int kBitCounts[] = {1, 4, 8, 24, 32};
  const int bits = in.Pick(kBitCounts);
  const int width = ChooseSide(in, largeWidth);
  const int height = ChooseSide(in, largeHeight);
  const bool withAlpha = in.Flag();
  const int paletteCount = in.Range(0, 256);
  std::vector<RGBQUAD> palette(256);
  for (int i = 0; i < paletteCount; ++i) palette[i] = {in.Byte(), in.Byte(), in.Byte(), 0};

  TVynCustomInternalDIB& store = *image.Image();
  TVynDIBDesc d{};
  store.AllocImage(d, width, withAlpha, palette.data(), paletteCount, bits, height);
  TDIBDescGuard guard(store, d);
  d.UnitSpecifier = in.Range(0, 3);
  d.WidthSpecific = int(in.U32());
  d.HeightSpecific = int(in.U32());
  WriteDescResolution(d);
  // gAMA values that other readers take as meaningful (0.00016 to 6250).
  d.Gamma = in.Flag() ? DWORD(in.Range(16, 625000000)) : 0;
  ChooseColorKey(in, d, d.TransValue, 0);
  ChooseColorKey(in, d, d.BGValue, kBGModeShift);
  if (AlphaMode(d) == kAlphaModeTable) ChooseAlphaTable(in, d);
  guard.Attach();  // runs the alpha-table reduction and fills the key caches
}

// Fills every pixel's bytes; indices stay inside the palette.
inline void FillPixels(TVynCustomInternalDIB& store, PixelSource& source) {
  const TVynDIBDesc& d = store.Desc();
  const std::size_t used = (std::size_t(d.Width) * std::size_t(d.BitCount) + 7) / 8;
  for (int y = 0; y < d.Height; ++y) {
    BYTE* row = PictureRow(d, y);
    for (std::size_t i = 0; i < used; ++i) row[i] = source.Next();
    if (d.BitCount == 8 && d.PaletteCount < 256)
      for (std::size_t i = 0; i < used; ++i) row[i] = BYTE(row[i] % d.PaletteCount);
  }
}

inline void FillPixels(TVynCustomInternalDIB& store, FuzzInput& in) {
  if (in.Flag()) {
    PixelSource noise(in.U32());
    FillPixels(store, noise);
  } else {
    PixelSource bytes(in.Rest(), in.RestSize());
    FillPixels(store, bytes);
  }
}

inline std::string At(int x, int y) {
  return " at " + std::to_string(x) + "," + std::to_string(y);
}

// Every pixel of b equals the pixel of a in the rectangle, at the rectangle's offset; `opaque`
// asks for alpha 255 where a 32-bit pixel of a holds 0 there.
inline void CheckPixels(TVynCustomInternalDIB& a, TVynCustomInternalDIB& b, const SavedArea& r,
                        bool opaque, const char* what) {
  const int width = r.Whole() ? a.Width() : r.width;
  const int height = r.Whole() ? a.Height() : r.height;
  FuzzCheck(b.Width() == width && b.Height() == height, std::string(what) + ": size");
  FuzzCheck(b.BitCount() == a.BitCount(), std::string(what) + ": bit count");
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      DWORD expected = a.GetPixel(r.left + x, r.top + y);
      if (opaque) expected |= 0xFF000000u;
      if (b.GetPixel(x, y) != expected) FuzzFail(std::string(what) + ": pixel" + At(x, y));
    }
}

// The palette comes back entry for entry (red, green and blue; the fourth byte is not kept).
inline void CheckPalette(TVynCustomInternalDIB& a, TVynCustomInternalDIB& b, const char* what) {
  FuzzCheck(b.PaletteCount() == a.PaletteCount(), std::string(what) + ": palette count");
  for (int i = 0; i < a.PaletteCount(); ++i) {
    const RGBQUAD p = a.Palette()[i], q = b.Palette()[i];
    FuzzCheck(p.rgbRed == q.rgbRed && p.rgbGreen == q.rgbGreen && p.rgbBlue == q.rgbBlue,
              std::string(what) + ": palette entry " + std::to_string(i));
  }
}

// Whether any pixel of a 32-bit image's rectangle has an alpha byte other than 0.
inline bool AnyAlpha(TVynCustomInternalDIB& a, const SavedArea& r) {
  const int width = r.Whole() ? a.Width() : r.width;
  const int height = r.Whole() ? a.Height() : r.height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (a.GetPixel(r.left + x, r.top + y) >> 24 != 0) return true;
  return false;
}

}  // namespace fuzzimage
