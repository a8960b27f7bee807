#include "platform/bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/halftone_palette.h"

namespace {

struct FormatCase {
  TPixelFormat format;
  int bitCount;
  DWORD compression;
  int colors;  // entries in the colour table
  int stride;  // bytes from one row of 33 pixels to the next, padded to four
};

class BitmapFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(BitmapFormatTest, MakesASectionOfThatLayout) {
  const FormatCase& c = GetParam();
  TBitmap b;
  b.SetPixelFormat(c.format);
  b.SetWidth(33);
  b.SetHeight(7);
  EXPECT_EQ(b.PixelFormat(), c.format);
  EXPECT_EQ(b.HandleType(), bmDIB);
  ASSERT_NE(b.Handle(), nullptr);
  DIBSECTION ds{};
  ASSERT_EQ(GetObject(b.Handle(), sizeof ds, &ds), int(sizeof ds));
  EXPECT_EQ(ds.dsBmih.biWidth, 33);
  EXPECT_EQ(ds.dsBmih.biHeight, 7);
  EXPECT_EQ(ds.dsBmih.biBitCount, c.bitCount);
  EXPECT_EQ(PixelFormatBitCount(c.format), c.bitCount);
  EXPECT_EQ(ds.dsBmih.biCompression, c.compression);
  EXPECT_EQ(int(b.Handle()->colors.size()), c.colors);
  EXPECT_EQ(b.Palette() != nullptr, c.colors > 0);
  // ScanLine counts from the top of bottom-up rows.
  EXPECT_EQ(b.ScanLine(0) - b.ScanLine(1), std::ptrdiff_t(c.stride));
}

INSTANTIATE_TEST_SUITE_P(Formats, BitmapFormatTest,
                         ::testing::Values(FormatCase{pf1bit, 1, BI_RGB, 2, 8},
                                           FormatCase{pf4bit, 4, BI_RGB, 16, 20},
                                           FormatCase{pf8bit, 8, BI_RGB, 256, 36},
                                           FormatCase{pf15bit, 16, BI_RGB, 0, 68},
                                           FormatCase{pf16bit, 16, BI_BITFIELDS, 0, 68},
                                           FormatCase{pf24bit, 24, BI_RGB, 0, 100},
                                           FormatCase{pf32bit, 32, BI_RGB, 0, 132}));

TEST(Bitmap, EightBitsBringTheHalftoneTableAndSizeChangesKeepIt) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetWidth(310);
  b.SetHeight(180);
  const auto& table = HalftonePalette();
  ASSERT_EQ(b.Handle()->colors.size(), 256u);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(b.Handle()->colors[i].rgbRed, table[i].rgbRed);
    EXPECT_EQ(b.Handle()->colors[i].rgbBlue, table[i].rgbBlue);
  }
  EXPECT_EQ(GetPaletteEntries(b.Palette(), 0, 0, nullptr), 256u);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
}

TEST(Bitmap, EmptyUntilBothSidesAreSet) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  b.SetPixelFormat(pf8bit);
  b.SetWidth(10);
  EXPECT_TRUE(b.Empty());
  b.SetHeight(10);
  EXPECT_FALSE(b.Empty());
  b.SetWidth(0);
  EXPECT_TRUE(b.Empty());
  EXPECT_TRUE(b.Canvas().ClipRect() == TRect{});
}

TEST(Bitmap, ScanLineZeroIsTheTopRowAndOutsideRowsAreRefused) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetWidth(4);
  b.SetHeight(3);
  b.Canvas().Brush.SetColor(RGB(10, 20, 30));
  b.Canvas().FillRect(Rect(0, 0, 4, 1));
  const BYTE* top = b.ScanLine(0);
  EXPECT_EQ(top[0], 30);  // blue, green, red
  EXPECT_EQ(top[2], 10);
  EXPECT_EQ(b.ScanLine(1)[0], 0);
  EXPECT_THROW(b.ScanLine(3), EInvalidGraphicOperation);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
}

TEST(Bitmap, ResizingKeepsThePixelsThatStillFit) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetWidth(8);
  b.SetHeight(8);
  b.Canvas().Brush.SetColor(clWhite);
  b.Canvas().FillRect(Rect(2, 2, 4, 4));
  b.SetWidth(3);
  b.SetHeight(12);
  EXPECT_EQ(b.Canvas().Pixels(2, 2), clWhite);
  EXPECT_EQ(b.Canvas().Pixels(2, 4), clBlack);
  EXPECT_EQ(b.Canvas().Pixels(2, 11), clBlack);
}

TEST(Bitmap, ChangingTheFormatConvertsThePixels) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetWidth(2);
  b.SetHeight(1);
  b.Canvas().Brush.SetColor(RGB(250, 0, 0));
  b.Canvas().FillRect(Rect(0, 0, 1, 1));
  b.SetPixelFormat(pf8bit);
  EXPECT_EQ(b.Canvas().Pixels(0, 0), RGB(255, 0, 0));  // the nearest halftone entry
  EXPECT_EQ(b.Canvas().Pixels(1, 0), clBlack);
}

TEST(Bitmap, APaletteBecomesTheColourTable) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetWidth(2);
  b.SetHeight(2);
  std::vector<BYTE> block(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = 2;
  lp->palPalEntry[0] = {9, 8, 7, 0};
  lp->palPalEntry[1] = {1, 2, 3, 0};
  HPALETTE palette = CreatePalette(lp);
  SelectPalette(b.Canvas().Handle(), b.Palette(), TRUE);
  b.SetPalette(palette);                             // the bitmap owns it now
  EXPECT_EQ(b.Canvas().Handle()->palette, nullptr);  // the old one is gone, not left selected
  EXPECT_EQ(b.Palette(), palette);
  ASSERT_EQ(b.Handle()->colors.size(), 2u);
  EXPECT_EQ(b.Handle()->colors[0].rgbRed, 9);
  EXPECT_EQ(b.Handle()->colors[1].rgbBlue, 3);
  EXPECT_EQ(b.Canvas().Pixels(0, 0), RGB(9, 8, 7));
  b.SetPalette(nullptr);
  EXPECT_EQ(b.Palette(), nullptr);
}

TEST(Bitmap, DeviceDependentBitmapsHaveTheScreensDepth) {
  for (bool paletteDisplay : {false, true}) {
    SetPaletteDisplay(paletteDisplay);
    TBitmap b;
    b.SetWidth(5);
    b.SetHeight(4);
    b.SetHandleType(bmDDB);
    EXPECT_EQ(b.PixelFormat(), pfDevice);
    BITMAP bm{};
    EXPECT_EQ(GetObject(b.Handle(), sizeof(DIBSECTION), &bm), int(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmBitsPixel, paletteDisplay ? 8 : 32);
    b.Canvas().Brush.SetColor(RGB(0, 255, 0));
    b.Canvas().FillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(b.Canvas().Pixels(0, 0), RGB(0, 255, 0));
    // Back to a section of the same depth, pixels kept.
    b.SetHandleType(bmDIB);
    EXPECT_EQ(b.PixelFormat(), paletteDisplay ? pf8bit : pf32bit);
    EXPECT_EQ(b.Canvas().Pixels(0, 0), RGB(0, 255, 0));
  }
  SetPaletteDisplay(false);
}

TEST(Bitmap, SixteenBitFormatsKeepFiveOrSixBitsPerChannel) {
  for (TPixelFormat format : {pf15bit, pf16bit}) {
    TBitmap b;
    b.SetPixelFormat(format);
    b.SetWidth(1);
    b.SetHeight(1);
    b.Canvas().Brush.SetColor(RGB(255, 132, 8));
    b.Canvas().FillRect(Rect(0, 0, 1, 1));
    WORD stored;
    std::memcpy(&stored, b.ScanLine(0), 2);
    EXPECT_EQ(stored, format == pf16bit ? (31 << 11 | 33 << 5 | 1) : (31 << 10 | 16 << 5 | 1));
  }
}

TEST(Bitmap, DrawPaintsItsPixelsOntoAnotherCanvas) {
  TBitmap source, target;
  source.SetPixelFormat(pf24bit);
  source.SetWidth(2);
  source.SetHeight(2);
  source.Canvas().Brush.SetColor(RGB(255, 0, 0));
  source.Canvas().FillRect(Rect(1, 0, 2, 1));
  target.SetPixelFormat(pf32bit);
  target.SetWidth(4);
  target.SetHeight(4);
  source.Draw(target.Canvas(), Rect(2, 2, 4, 4));
  EXPECT_EQ(target.Canvas().Pixels(3, 2), RGB(255, 0, 0));
  EXPECT_EQ(target.Canvas().Pixels(2, 2), clBlack);
  EXPECT_EQ(target.Canvas().Pixels(1, 1), clBlack);
}

TEST(Bitmap, RefusesACustomFormatAndHasNoStreamFormat) {
  TBitmap b;
  EXPECT_THROW(b.SetPixelFormat(pfCustom), EInvalidGraphicOperation);
  WORD format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  EXPECT_THROW(b.SaveToClipboardFormat(format, data, palette), EConvertError);
}

}  // namespace
