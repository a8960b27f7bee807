// Assign from framework bitmaps: the direct row copy of DIB formats, the GDI path of other
// formats and device-dependent bitmaps, and the palette the image receives.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dib_test_util.h"
#include "image/color_tables.h"
#include "platform/bitmap.h"

namespace {

class ImportBitmapTest : public ::testing::Test {
 protected:
  void TearDown() override { UsePaletteDisplay(false); }
  static void UsePaletteDisplay(bool on) {
    SetPaletteDisplay(on);
    InitPaletteDisplayFlag();
  }
};

void MakeBitmap(TBitmap& bitmap, TPixelFormat format, int width, int height) {
  bitmap.SetPixelFormat(format);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
}

// Fills every byte of every row with a pattern that differs from row to row.
void Scribble(TBitmap& bitmap, std::size_t rowBytes) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    BYTE* row = bitmap.ScanLine(y);
    for (std::size_t i = 0; i < rowBytes; ++i) row[i] = BYTE(i * 7 + std::size_t(y) * 13 + 1);
  }
}

std::size_t ImageBytesPerRow(int width, int bits) {
  return (std::size_t(width) * bits + 7) / 8;
}

void ExpectRowsEqual(TVynCustomDIB& image, TBitmap& bitmap, std::size_t rowBytes) {
  const TVynDIBDesc& d = image.Image()->Desc();
  for (int y = 0; y < d.Height; ++y) {
    ASSERT_EQ(std::memcmp(PictureRow(d, y), bitmap.ScanLine(y), rowBytes), 0) << "row " << y;
  }
}

int PaletteIndexOf(BYTE r, BYTE g, BYTE b) {
  const auto& table = HalftonePalette();
  for (int i = 0; i < 256; ++i) {
    if (table[i].rgbRed == r && table[i].rgbGreen == g && table[i].rgbBlue == b) return i;
  }
  return -1;
}

TEST_F(ImportBitmapTest, TheSaveCommandsPicture) {
  TBitmap bitmap;
  MakeBitmap(bitmap, pf8bit, 310, 180);
  Scribble(bitmap, 310);
  TestDIB image;
  image.SetPaletteModified(false);
  image.Assign(&bitmap);

  const TVynDIBDesc& d = image.Image()->Desc();
  EXPECT_EQ(image.GetWidth(), 310);
  EXPECT_EQ(image.GetHeight(), 180);
  EXPECT_EQ(d.BitCount, 8);
  EXPECT_EQ(std::memcmp(d.Bits, bitmap.ScanLine(179), 310), 0) << "bottom stored row";
  ExpectRowsEqual(image, bitmap, 310);
  EXPECT_EQ(d.PaletteCount, int(GetPaletteEntries(bitmap.Palette(), 0, 0, nullptr)));
  EXPECT_EQ(std::memcmp(d.Palette, HalftonePalette().data(), 256 * sizeof(RGBQUAD)), 0);
  EXPECT_EQ(image.GetUnitSpecifier(), 0);
  EXPECT_EQ(image.GetWidthSpecific(), 1);
  EXPECT_EQ(image.GetHeightSpecific(), 1);
  EXPECT_FALSE(image.GetAlphaFlag());
  EXPECT_EQ(image.GetTransColor(), clNone);
  EXPECT_TRUE(image.PaletteModified());
  EXPECT_GE(image.changes, 1);

  image.SetBGColor(15921906);
  image.SetTransColor(15921906);
  EXPECT_EQ(image.GetTransColor(), 0x00F2F2F2u);
  EXPECT_EQ(image.GetBGColor(), 0x00F2F2F2u);
  EXPECT_EQ(TransMode(d), kKeyModeColor);
  EXPECT_EQ(BGMode(d), kKeyModeColor);
  const int grey241 = PaletteIndexOf(241, 241, 241);  // the halftone entry nearest grey 242
  ASSERT_GE(grey241, 0);
  EXPECT_EQ(image.Image()->TransIndex(), grey241);
  EXPECT_EQ(image.Image()->BGIndex(), grey241);
}

TEST_F(ImportBitmapTest, ThePaletteCountIsTheBitmapsEntryCount) {
  TBitmap bitmap;
  MakeBitmap(bitmap, pf8bit, 4, 2);
  std::vector<BYTE> block(sizeof(LOGPALETTE) + 16 * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = 16;
  PALETTEENTRY* e = lp->palPalEntry;
  for (int i = 0; i < 16; ++i) e[i] = {BYTE(i * 16), 0, 0, BYTE(i == 3 ? 4 : 0)};
  bitmap.SetPalette(CreatePalette(lp));
  TVynCustomDIB image;
  image.Assign(&bitmap);
  EXPECT_EQ(image.Image()->PaletteCount(), 16);
  EXPECT_EQ(image.Image()->GetPaletteColor(5), RGB(80, 0, 0));
  EXPECT_EQ(EntryFlags(image.Image()->Desc())[3], 4);
  EXPECT_NE(image.GetPalette(), bitmap.Palette()) << "the image owns a copy";
}

struct DirectCase {
  TPixelFormat format;
  int bits;
  int width;
};

class DirectFormatTest : public ImportBitmapTest,
                         public ::testing::WithParamInterface<DirectCase> {};

TEST_P(DirectFormatTest, RowsAndColourTableAreCopied) {
  const DirectCase c = GetParam();
  TBitmap bitmap;
  MakeBitmap(bitmap, c.format, c.width, 5);
  const std::size_t rowBytes = ImageBytesPerRow(c.width, c.bits);
  Scribble(bitmap, rowBytes);
  TVynCustomDIB image;
  image.Assign(&bitmap);
  ASSERT_EQ(image.Image()->BitCount(), c.bits);
  EXPECT_EQ(image.GetWidth(), c.width);
  ExpectRowsEqual(image, bitmap, rowBytes);
  EXPECT_FALSE(image.GetAlphaFlag());
  const int entries = c.bits <= 8 ? 1 << c.bits : 0;
  EXPECT_EQ(image.Image()->PaletteCount(), entries);
  if (entries > 0) {
    EXPECT_EQ(std::memcmp(image.Image()->Palette(), bitmap.Handle()->colors.data(),
                          std::size_t(entries) * sizeof(RGBQUAD)),
              0);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DirectFormatTest,
                         ::testing::Values(DirectCase{pf1bit, 1, 13}, DirectCase{pf4bit, 4, 7},
                                           DirectCase{pf8bit, 8, 5}, DirectCase{pf24bit, 24, 3},
                                           DirectCase{pf32bit, 32, 3}));

TEST_F(ImportBitmapTest, TrueColourGetsTheHalftonePaletteOnlyOnAPaletteDisplay) {
  TBitmap bitmap;
  MakeBitmap(bitmap, pf24bit, 2, 2);
  TVynCustomDIB image;
  image.Assign(&bitmap);
  EXPECT_EQ(image.Image()->PaletteCount(), 0);
  EXPECT_EQ(image.GetPalette(), nullptr);

  UsePaletteDisplay(true);
  image.Assign(&bitmap);
  EXPECT_EQ(image.Image()->BitCount(), 24);
  EXPECT_EQ(image.Image()->PaletteCount(), 256);
  EXPECT_EQ(std::memcmp(image.Image()->Palette(), HalftonePalette().data(), 256 * 4), 0);
}

TEST_F(ImportBitmapTest, SixteenBitFormatsGoThroughGDIToTwentyFourBits) {
  for (TPixelFormat format : {pf15bit, pf16bit}) {
    TBitmap bitmap;
    MakeBitmap(bitmap, format, 2, 1);
    BYTE* row = bitmap.ScanLine(0);
    row[0] = 0x1F;  // pure blue in both layouts
    row[1] = 0x00;
    row[2] = 0x00;  // red at full: 0x7C00 in 5-5-5, 0xF800 in 5-6-5
    row[3] = format == pf15bit ? 0x7C : 0xF8;
    TVynCustomDIB image;
    image.Assign(&bitmap);
    ASSERT_EQ(image.Image()->BitCount(), 24) << format;
    EXPECT_EQ(image.Image()->GetPixelColor(0, 0), RGB(0, 0, 255)) << format;
    EXPECT_EQ(image.Image()->GetPixelColor(1, 0), RGB(255, 0, 0)) << format;
  }
}

TEST_F(ImportBitmapTest, DeviceBitmapsOfATrueColourScreenBecomeTwentyFourBits) {
  TBitmap bitmap;
  bitmap.SetWidth(3);
  bitmap.SetHeight(2);
  ASSERT_EQ(bitmap.HandleType(), bmDDB);
  GdiBitmap& ddb = *bitmap.Handle();
  BYTE* top = ddb.bits;  // rows top-down, 32 bits
  top[4] = 30, top[5] = 20, top[6] = 10;
  TVynCustomDIB image;
  image.Assign(&bitmap);
  ASSERT_EQ(image.Image()->BitCount(), 24);
  EXPECT_EQ(image.Image()->GetPixelColor(1, 0), RGB(10, 20, 30));
  EXPECT_EQ(image.Image()->GetPixelColor(1, 1), RGB(0, 0, 0));
  EXPECT_EQ(image.Image()->PaletteCount(), 0);
}

TEST_F(ImportBitmapTest, DeviceBitmapsOfAPaletteDisplayKeepTheirEntries) {
  UsePaletteDisplay(true);
  TBitmap bitmap;
  bitmap.SetWidth(2);
  bitmap.SetHeight(1);
  ASSERT_EQ(int(bitmap.Handle()->header.biBitCount), 8);
  bitmap.Handle()->bits[1] = 250;  // the system palette's pure green
  TVynCustomDIB image;
  image.Assign(&bitmap);
  ASSERT_EQ(image.Image()->BitCount(), 8);
  EXPECT_EQ(image.Image()->GetPixel(1, 0), 250u);
  EXPECT_EQ(image.Image()->GetPaletteColor(250), RGB(0, 255, 0));
}

TEST_F(ImportBitmapTest, AnEmptyBitmapLeavesAnEmptyImage) {
  TBitmap bitmap;
  TVynCustomDIB image;
  EXPECT_THROW(image.Assign(&bitmap), Exception);
  EXPECT_TRUE(image.GetEmpty());
  ExpectDIBError([&] { image.GetWidth(); }, "GetWidth: not Image");
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetWidth(2);
  bitmap.SetHeight(2);
  image.Assign(&bitmap);  // a later import brings it back
  EXPECT_EQ(image.GetWidth(), 2);
}

}  // namespace
