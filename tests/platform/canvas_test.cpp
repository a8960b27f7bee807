#include "platform/canvas.h"

#include <gtest/gtest.h>

#include "platform/bitmap.h"
#include "platform/halftone_palette.h"

namespace {

TBitmap& EightBit(TBitmap& b, int w, int h) {
  b.SetPixelFormat(pf8bit);
  b.SetWidth(w);
  b.SetHeight(h);
  return b;
}

TEST(Canvas, FillsExactlyTheRectangleClippedToTheBitmap) {
  TBitmap b;
  TCanvas& c = EightBit(b, 10, 6).Canvas();
  c.Brush.SetColor(clWhite);
  c.FillRect(Rect(-3, 4, 2, 99));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(c.Pixels(x, y), (x < 2 && y >= 4) ? clWhite : clBlack) << x << ", " << y;
  EXPECT_EQ(c.Pixels(10, 0), clNone);
}

TEST(Canvas, ClearBrushFillsNothingUntilAColourMakesItSolid) {
  TBitmap b;
  TCanvas& c = EightBit(b, 4, 4).Canvas();
  c.Brush.SetColor(clWhite);
  c.Brush.SetStyle(bsClear);
  c.FillRect(c.ClipRect());
  EXPECT_EQ(c.Pixels(0, 0), clBlack);
  c.Brush.SetColor(clWhite);
  EXPECT_EQ(c.Brush.Style(), bsSolid);
  c.FillRect(c.ClipRect());
  EXPECT_EQ(c.Pixels(3, 3), clWhite);
}

// Sum of channel differences, lower index on a tie: grey 242 is the entry (241, 241, 241),
// not the cube's (255, 255, 255) nor the static grey (248, 248, 248).
TEST(Canvas, ColoursLandOnTheNearestEntryByTheLibrarysMeasure) {
  struct Case {
    COLORREF asked, drawn;
  };
  const Case cases[] = {{0xF2F2F2, 0xF1F1F1},
                        {0x000001, 0x000000},
                        {0x0000FF, 0x0000FF},
                        {0x7F7F7F, 0x808080},
                        {RGB(250, 1, 1), RGB(255, 0, 0)}};
  TBitmap b;
  TCanvas& c = EightBit(b, 1, 1).Canvas();
  for (const Case& k : cases) {
    c.Brush.SetColor(k.asked);
    c.FillRect(c.ClipRect());
    EXPECT_EQ(c.Pixels(0, 0), k.drawn) << std::hex << k.asked;
  }
}

TEST(Canvas, TieGoesToTheLowerIndex) {
  // Two entries at the same distance from the colour asked for.
  TBitmap b;
  TCanvas& c = EightBit(b, 1, 1).Canvas();
  std::vector<BYTE> block(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = 2;
  lp->palPalEntry[0] = {10, 0, 0, 0};
  lp->palPalEntry[1] = {0, 10, 0, 0};
  b.SetPalette(CreatePalette(lp));
  c.Brush.SetColor(RGB(5, 5, 0));
  c.FillRect(c.ClipRect());
  EXPECT_EQ(b.ScanLine(0)[0], 0);
}

TEST(Canvas, FontSizeIsPointsAtNinetySixPixelsPerInch) {
  TFont f;
  f.SetSize(9);
  EXPECT_EQ(f.Height, -12);
  EXPECT_EQ(f.Size(), 9);
  f.SetSize(10);
  EXPECT_EQ(f.Height, -13);
  EXPECT_EQ(f.Name.ToUtf8(), "ＭＳ Ｐゴシック");
  EXPECT_EQ(f.Charset, SHIFTJIS_CHARSET);
}

TEST(Canvas, WithoutABitmapNothingIsDrawn) {
  TCanvas c;
  EXPECT_TRUE(c.ClipRect() == TRect{});
  c.FillRect(Rect(0, 0, 5, 5));
  EXPECT_EQ(c.Pixels(0, 0), clNone);
}

}  // namespace
