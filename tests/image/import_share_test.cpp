// Assign between images (a shared store) and AssignTo framework bitmaps.
#include <gtest/gtest.h>

#include <cstring>

#include "dib_test_util.h"
#include "platform/bitmap.h"

namespace {

const std::vector<RGBQUAD> kPalette =
    MakePalette({RGB(9, 9, 9), RGB(9, 9, 9), RGB(200, 0, 0), RGB(242, 242, 242)});

void Paint(TVynCustomDIB& image) {
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) image.Image()->SetPixel(x, y, DWORD((x + y) % 4));
  }
}

TEST(AssignImageTest, SharesTheStoreAndTheFileInformation) {
  TestDIB source, target;
  Remake(source, 5, 3, 8, kPalette);
  Paint(source);
  source.FInfoText = AnsiString("caption");
  source.FInfoFormat = 13;
  source.FInfoOffsetX = -4;
  target.SetPaletteModified(false);

  target.Assign(&source);
  EXPECT_EQ(target.Image(), source.Image());
  EXPECT_EQ(source.Image()->RefCount(), 2);
  EXPECT_EQ(target.FInfoText.bytes(), "caption");
  EXPECT_EQ(target.FInfoFormat, 13);
  EXPECT_EQ(target.FInfoOffsetX, -4);
  EXPECT_TRUE(target.PaletteModified());
  EXPECT_EQ(target.changes, 1);
}

TEST(AssignImageTest, ChangingOneOfTheSharersLeavesTheOtherAlone) {
  TVynCustomDIB source, target;
  Remake(source, 5, 3, 8, kPalette);
  Paint(source);
  target.Assign(&source);

  target.SetTransColor(RGB(242, 242, 242));
  target.SetWidth(9);
  EXPECT_NE(target.Image(), source.Image());
  EXPECT_EQ(source.Image()->RefCount(), 1);
  EXPECT_EQ(source.GetWidth(), 5);
  EXPECT_EQ(source.GetTransColor(), clNone);
  EXPECT_EQ(target.GetTransColor(), RGB(242, 242, 242));
  EXPECT_EQ(target.Image()->GetPixel(4, 2), source.Image()->GetPixel(4, 2));
}

TEST(AssignImageTest, AssigningToItselfChangesNothing) {
  TestDIB image;
  TVynCustomInternalDIB* store = image.Image();
  image.Assign(&image);
  EXPECT_EQ(image.Image(), store);
  EXPECT_EQ(store->RefCount(), 1);
  EXPECT_EQ(image.changes, 0);
}

TEST(AssignImageTest, AnEmptySourceRaisesAndLeavesTheTarget) {
  TVynCustomDIB source, target;
  Remake(target, 3, 3, 24);
  source.Image()->FreeImage();
  ExpectDIBError([&] { target.Assign(&source); }, "FreeDCHandle: not Image");
  EXPECT_EQ(target.GetWidth(), 3);
  EXPECT_EQ(target.Image()->BitCount(), 24);
}

TEST(AssignImageTest, NilGivesTheDefaultImage) {
  TVynCustomDIB image;
  Remake(image, 30, 20, 24);
  image.Assign(nullptr);
  EXPECT_EQ(image.GetWidth(), 8);
  EXPECT_EQ(image.GetHeight(), 8);
  EXPECT_EQ(image.Image()->BitCount(), 1);
}

TEST(AssignImageTest, UnknownSourcesRaiseTheConversionError) {
  TVynCustomDIB image;
  TPersistent other;
  EXPECT_THROW(image.Assign(&other), EConvertError);
  EXPECT_EQ(image.GetWidth(), 8);
}

TEST(AssignToTest, ThirtyTwoBitImagesBecomeTwentyFourBitBitmaps) {
  TVynCustomDIB image;
  Remake(image, 3, 2, 32, {}, true);
  image.Image()->SetPixel(0, 0, 0x80102030);  // alpha 0x80, red 0x10, green 0x20, blue 0x30
  image.Image()->SetPixel(2, 1, 0xFFFFFFFF);
  TBitmap bitmap;
  bitmap.Assign(&image);
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  EXPECT_EQ(bitmap.HandleType(), bmDIB);
  ASSERT_EQ(bitmap.Width(), 3);
  ASSERT_EQ(bitmap.Height(), 2);
  const BYTE top[9] = {0x30, 0x20, 0x10, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bitmap.ScanLine(0), top, 9), 0);
  EXPECT_EQ(bitmap.ScanLine(1)[6], 0xFF);
  EXPECT_EQ(bitmap.Palette(), nullptr);
}

TEST(AssignToTest, PaletteImagesKeepTheirBytesAndEntries) {
  for (int bits : {1, 4, 8}) {
    TVynCustomDIB image;
    std::vector<RGBQUAD> palette = kPalette;
    palette.resize(bits == 1 ? 2 : bits == 4 ? 16 : 4);
    Remake(image, 11, 3, bits, palette);
    Paint(image);
    TBitmap bitmap;
    bitmap.Assign(&image);
    EXPECT_EQ(bitmap.PixelFormat(), bits == 1 ? pf1bit : bits == 4 ? pf4bit : pf8bit);
    ASSERT_NE(bitmap.Palette(), nullptr);
    EXPECT_NE(bitmap.Palette(), image.GetPalette()) << "the bitmap owns a copy";
    EXPECT_EQ(GetPaletteEntries(bitmap.Palette(), 0, 0, nullptr),
              UINT(image.Image()->PaletteCount()));
    const std::size_t rowBytes = (11 * std::size_t(bits) + 7) / 8;
    for (int y = 0; y < 3; ++y) {
      EXPECT_EQ(std::memcmp(bitmap.ScanLine(y), PictureRow(image.Image()->Desc(), y), rowBytes), 0)
          << bits << " bits, row " << y;
    }
  }
}

TEST(AssignToTest, ABitmapRoundTripGivesTheSameImage) {
  TVynCustomDIB image, back;
  Remake(image, 7, 4, 8, kPalette);
  Paint(image);
  TBitmap bitmap;
  bitmap.Assign(&image);
  back.Assign(&bitmap);
  const TVynDIBDesc& a = image.Image()->Desc();
  const TVynDIBDesc& b = back.Image()->Desc();
  ASSERT_EQ(b.BitCount, 8);
  EXPECT_EQ(b.PaletteCount, a.PaletteCount);
  EXPECT_EQ(std::memcmp(a.Palette, b.Palette, 4 * sizeof(RGBQUAD)), 0);
  EXPECT_EQ(std::memcmp(a.Bits, b.Bits, std::size_t(a.LineSize) * 4), 0);
}

TEST(AssignToTest, OtherImagesShareAndOtherTargetsRefuse) {
  TVynCustomDIB image, other;
  Remake(image, 2, 2, 24);
  TPersistentAccess::AssignTo(&image, &other);
  EXPECT_EQ(other.Image(), image.Image());

  TPersistent plain;
  EXPECT_THROW(TPersistentAccess::AssignTo(&image, &plain), EConvertError);
}

}  // namespace
