// The four pixel accessors for every bit count, checked against the stored bytes.
#include <gtest/gtest.h>

#include "image/dib_test_util.h"

namespace {

// Palette whose entry i is (red i, green 2i, blue 3i), the nearest-index target below.
std::vector<RGBQUAD> Ramp(int count) {
  std::vector<RGBQUAD> p;
  for (int i = 0; i < count; ++i) p.push_back({BYTE(3 * i), BYTE(2 * i), BYTE(i), 0});
  return p;
}
COLORREF RampColor(int i) {
  return RGB(BYTE(i), BYTE(2 * i), BYTE(3 * i));
}

class Accessors : public ::testing::Test {
 protected:
  TVynCustomInternalDIB& Make(int width, int height, int bitCount) {
    Remake(image_, width, height, bitCount,
           bitCount <= 8 ? Ramp(1 << bitCount) : std::vector<RGBQUAD>{});
    return *image_.Image();
  }
  TVynCustomDIB image_;
};

TEST_F(Accessors, OneBitIsMostSignificantFirst) {
  TVynCustomInternalDIB& s = Make(10, 2, 1);
  s.SetPixel(0, 0, 1);
  s.SetPixel(9, 0, 5);  // any non-zero value sets the bit
  s.SetPixel(3, 1, 1);
  const TVynDIBDesc& d = s.Desc();
  EXPECT_EQ(PictureRow(d, 0)[0], 0x80);
  EXPECT_EQ(PictureRow(d, 0)[1], 0x40);
  EXPECT_EQ(PictureRow(d, 1)[0], 0x10);
  EXPECT_EQ(PictureRow(d, 0), d.Bits + d.LineSize) << "the top row is stored last";
  EXPECT_EQ(s.GetPixel(9, 0), 1u);
  EXPECT_EQ(s.GetPixel(8, 0), 0u);
  s.SetPixel(9, 0, 0);
  EXPECT_EQ(PictureRow(d, 0)[1], 0x00);

  EXPECT_EQ(s.GetPixelColor(0, 0), RampColor(1));
  EXPECT_EQ(s.GetPixelColor(1, 0), RampColor(0));
  s.SetPixelColor(1, 0, RampColor(1) + 1);  // nearest is entry 1
  EXPECT_EQ(s.GetPixel(1, 0), 1u);
  s.SetPixelColor(0, 0, 0);
  EXPECT_EQ(s.GetPixel(0, 0), 0u);
}

TEST_F(Accessors, FourBitsHighNibbleFirst) {
  TVynCustomInternalDIB& s = Make(5, 1, 4);
  s.SetPixel(0, 0, 0x1A);  // only the low nibble is kept
  s.SetPixel(1, 0, 3);
  s.SetPixel(4, 0, 15);
  const BYTE* row = PictureRow(s.Desc(), 0);
  EXPECT_EQ(row[0], 0xA3);
  EXPECT_EQ(row[2], 0xF0);
  EXPECT_EQ(s.GetPixel(0, 0), 10u);
  EXPECT_EQ(s.GetPixel(1, 0), 3u);
  EXPECT_EQ(s.GetPixel(4, 0), 15u);
  EXPECT_EQ(s.GetPixelColor(1, 0), RampColor(3));
  s.SetPixelColor(2, 0, RampColor(12));
  EXPECT_EQ(s.GetPixel(2, 0), 12u);
  EXPECT_EQ(row[1], 0xC0);
}

TEST_F(Accessors, EightBitsOneBytePerPixel) {
  TVynCustomInternalDIB& s = Make(3, 3, 8);
  s.SetPixel(2, 1, 0x1FF);
  EXPECT_EQ(PictureRow(s.Desc(), 1)[2], 0xFF);
  EXPECT_EQ(s.GetPixel(2, 1), 255u);
  s.SetPixelColor(0, 2, RampColor(77));
  EXPECT_EQ(s.GetPixel(0, 2), 77u);
  EXPECT_EQ(s.GetPixelColor(0, 2), RampColor(77));
  EXPECT_EQ(s.Desc().Bits[0], 77) << "row 2 of 3 is the first stored row";
}

TEST_F(Accessors, ColourOfAPixelOutsideASmallPaletteRaises) {
  TVynCustomDIB image;
  Remake(image, 2, 1, 8, MakePalette({0, 0xFFFFFF}));
  image.Image()->SetPixel(0, 0, 9);
  ExpectDIBError([&] { image.Image()->GetPixelColor(0, 0); }, "GetColorRef: over PaletteIndex");
}

TEST_F(Accessors, TwentyFourBitsBlueGreenRed) {
  TVynCustomInternalDIB& s = Make(3, 2, 24);
  s.SetPixel(1, 0, 0x00A1B2C3);
  const BYTE* p = PictureRow(s.Desc(), 0) + 3;
  EXPECT_EQ(p[0], 0xC3);  // blue
  EXPECT_EQ(p[1], 0xB2);  // green
  EXPECT_EQ(p[2], 0xA1);  // red
  EXPECT_EQ(s.GetPixel(1, 0), 0x00A1B2C3u);
  EXPECT_EQ(s.GetPixelColor(1, 0), 0x00C3B2A1u) << "as COLORREF, red low";

  s.SetPixelColor(2, 1, RGB(0x10, 0x20, 0x30));
  const BYTE* q = PictureRow(s.Desc(), 1) + 6;
  EXPECT_EQ(q[0], 0x30);
  EXPECT_EQ(q[1], 0x20);
  EXPECT_EQ(q[2], 0x10);
  EXPECT_EQ(s.GetPixelColor(2, 1), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(s.GetPixel(2, 1), 0x00102030u);
}

TEST_F(Accessors, ThirtyTwoBitsWholeWordAndColourKeepsAlpha) {
  TVynCustomInternalDIB& s = Make(2, 2, 32);
  s.SetPixel(1, 1, 0x80112233);
  const BYTE* p = PictureRow(s.Desc(), 1) + 4;
  EXPECT_EQ(p[0], 0x33);
  EXPECT_EQ(p[3], 0x80);
  EXPECT_EQ(s.GetPixel(1, 1), 0x80112233u);
  EXPECT_EQ(s.GetPixelColor(1, 1), 0x00332211u);
  s.SetPixelColor(1, 1, RGB(1, 2, 3));
  EXPECT_EQ(s.GetPixel(1, 1), 0x80010203u);
}

}  // namespace
