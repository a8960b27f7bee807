// Draw: the image stretched onto a bitmap's canvas, whole pixels only, with the canvas's copy
// mode, its palette selected for the call and the device context left as it was.
#include <gtest/gtest.h>

#include "dib_test_util.h"
#include "platform/bitmap.h"

namespace {

// A 24-bit bitmap of the given size.
void MakeTarget(TBitmap& bitmap, int width, int height) {
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
}

COLORREF TargetPixel(TBitmap& bitmap, int x, int y) {
  const BYTE* p = bitmap.ScanLine(y) + 3 * x;
  return RGB(p[2], p[1], p[0]);
}

TEST(Draw, StretchesIntoARectangleTwiceTheImageSize) {
  TVynCustomDIB image;
  Remake(image, 3, 2, 24);
  const COLORREF colors[2][3] = {{RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)},
                                 {RGB(10, 20, 30), RGB(200, 100, 50), RGB(255, 255, 255)}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) image.Image()->SetPixelColor(x, y, colors[y][x]);

  TBitmap target;
  MakeTarget(target, 8, 6);
  const int modeBefore = target.Canvas().Handle()->stretchMode;
  image.Draw(target.Canvas(), Rect(1, 1, 7, 5));

  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 1 && x < 7 && y >= 1 && y < 5;
      const COLORREF want = inside ? colors[(y - 1) / 2][(x - 1) / 2] : RGB(0, 0, 0);
      EXPECT_EQ(TargetPixel(target, x, y), want) << x << ", " << y;
    }
  }
  EXPECT_EQ(target.Canvas().Handle()->stretchMode, modeBefore);
}

TEST(Draw, PaletteImageSelectsItsPaletteOnlyForTheCall) {
  TVynCustomDIB image;
  Remake(image, 2, 1, 8, MakePalette({RGB(1, 2, 3), RGB(250, 128, 7)}));
  image.Image()->SetPixel(1, 0, 1);
  TBitmap target;
  MakeTarget(target, 4, 2);
  HDC dc = target.Canvas().Handle();
  const HPALETTE before = dc->palette;
  image.Draw(target.Canvas(), Rect(0, 0, 4, 2));
  EXPECT_EQ(TargetPixel(target, 0, 0), RGB(1, 2, 3));
  EXPECT_EQ(TargetPixel(target, 3, 1), RGB(250, 128, 7));
  EXPECT_EQ(dc->palette, before);
}

TEST(Draw, UsesTheCanvasCopyMode) {
  TVynCustomDIB image;
  Remake(image, 1, 1, 24);
  image.Image()->SetPixelColor(0, 0, RGB(9, 9, 9));
  TBitmap target;
  MakeTarget(target, 2, 2);
  // The platform paints only SRCCOPY; any other mode reaching it leaves the canvas untouched,
  // which shows the canvas's mode is the one passed on.
  target.Canvas().CopyMode = 0x00EE0086;  // SRCPAINT
  image.Draw(target.Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(TargetPixel(target, 0, 0), RGB(0, 0, 0));
  target.Canvas().CopyMode = SRCCOPY;
  image.Draw(target.Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(TargetPixel(target, 1, 1), RGB(9, 9, 9));
}

}  // namespace
