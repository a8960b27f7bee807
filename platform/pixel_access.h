// Reading and writing single pixels of a GDI bitmap in its own format, with rows counted from
// the top whichever way they are stored.
#pragma once

#include <cstdint>

#include "platform/gdi.h"
#include "platform/win_types.h"

class PixelAccess {
 public:
  explicit PixelAccess(GdiBitmap& bitmap);

  int Width() const { return width_; }
  int Height() const { return height_; }

  // The stored value that stands for a colour: the nearest colour-table entry (smallest sum of
  // channel differences, the lower index on a tie) for 8 bits or fewer, else the packed colour.
  std::uint32_t Encode(COLORREF color) const;
  COLORREF Decode(std::uint32_t value) const;

  // Callers keep x and y inside the bitmap.
  void Put(int x, int y, std::uint32_t value);
  std::uint32_t Get(int x, int y) const;
  // Pixels x0 to x1 - 1 of row y, clipped to the bitmap.
  void FillSpan(int x0, int x1, int y, std::uint32_t value);

 private:
  BYTE* Row(int y) const;
  const RGBQUAD* Colors() const;
  int ColorCount() const;

  GdiBitmap& bitmap_;
  int width_ = 0;
  int height_ = 0;
  int bitCount_ = 0;
  bool topDown_ = false;
  bool rgb565_ = false;
};
