// The BMP reader on small files built byte by byte: header variants, colour tables, masks,
// pixel placement and alpha.
#include <gtest/gtest.h>

#include <cstring>

#include "bmp_test_util.h"
#include "dib_test_util.h"
#include "platform/halftone_palette.h"

namespace {

// 4 × 2, 8 bits, rows of 4 bytes: bottom row 1 2 3 4, top row 5 6 7 8.
BmpParts EightBit() {
  BmpParts p;
  p.table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x112233,
             0x445566, 0x778899, 0xAABBCC, 0xDDEEFF};
  p.colorsUsed = 9;
  p.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
  return p;
}

void ExpectEightBitPixels(TVynCustomDIB& image) {
  ASSERT_EQ(image.GetWidth(), 4);
  ASSERT_EQ(image.GetHeight(), 2);
  const BYTE top[] = {5, 6, 7, 8};
  const BYTE bottom[] = {1, 2, 3, 4};
  EXPECT_EQ(0, std::memcmp(Row(image, 0), top, 4));
  EXPECT_EQ(0, std::memcmp(Row(image, 1), bottom, 4));
}

TEST(BmpReader, LeadingBlockOf256BytesIsSkipped) {
  BmpParts p = EightBit();
  p.gap = {0xEE, 0xEE};  // the pixel offset is counted from the second "BM", not the stream
  Bytes file(256, 0xAA);
  const Bytes bmp = BuildBmp(p);
  file.insert(file.end(), bmp.begin(), bmp.end());
  TVynCustomDIB image;
  LoadBytes(image, file);
  ExpectEightBitPixels(image);
}

TEST(BmpReader, LeadingBlockOf100BytesIsNotABmp) {
  Bytes file(100, 0xAA);
  const Bytes bmp = BuildBmp(EightBit());
  file.insert(file.end(), bmp.begin(), bmp.end());
  file.resize(file.size() + 400, 0);  // long enough for the second look
  TVynCustomDIB image;
  ExpectDIBError([&] { LoadBytes(image, file); }, "LoadFromStream: not BMPFile");
}

TEST(BmpReader, ShortStreamWithoutSignatureIsNotABmp) {
  TVynCustomDIB image;
  ExpectDIBError([&] { LoadBytes(image, Bytes(40, 'x')); }, "LoadFromStream: not BMPFile");
}

TEST(BmpReader, HeaderOf108BytesLoads) {
  BmpParts p = EightBit();
  p.headerSize = 108;
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  ExpectEightBitPixels(image);
  EXPECT_EQ(image.Image()->PaletteCount(), 9);
}

TEST(BmpReader, CoreHeaderReadsThreeByteEntries) {
  BmpParts p;
  p.headerSize = 12;
  p.bitCount = 1;
  p.width = 3;
  p.height = 1;
  p.table = {0x102030, 0x405060};
  p.pixels = {0xA0, 0, 0, 0};  // 1 0 1
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  TVynCustomInternalDIB& store = *image.Image();
  EXPECT_EQ(store.GetPaletteColor(0), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(store.GetPaletteColor(1), RGB(0x40, 0x50, 0x60));
  EXPECT_EQ(store.GetPixel(0, 0), 1u);
  EXPECT_EQ(store.GetPixel(1, 0), 0u);
  EXPECT_EQ(store.GetPixel(2, 0), 1u);
  EXPECT_EQ(image.GetUnitSpecifier(), 0);
}

TEST(BmpReader, ColorsUsed300KeepsFirst256AndReadsPixelsAfterAllEntries) {
  BmpParts p = EightBit();
  p.table.clear();
  for (std::uint32_t i = 0; i < 300; ++i) p.table.push_back(i * 0x010101 & 0xFFFFFF);
  p.colorsUsed = 300;
  p.offBits = 0;  // the pixels must be found by counting the whole table
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  EXPECT_EQ(image.Image()->PaletteCount(), 256);
  EXPECT_EQ(image.Image()->GetPaletteColor(255), RGB(255, 255, 255));
  ExpectEightBitPixels(image);
}

TEST(BmpReader, TrueColorWithoutTableGetsTheHalftonePalette) {
  BmpParts p;
  p.bitCount = 24;
  p.width = 1;
  p.height = 1;
  p.pixels = {0x30, 0x20, 0x10, 0};
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  TVynCustomInternalDIB& store = *image.Image();
  EXPECT_EQ(store.BitCount(), 24);
  ASSERT_EQ(store.PaletteCount(), 256);
  EXPECT_EQ(0, std::memcmp(store.Palette(), HalftonePalette().data(), 256 * sizeof(RGBQUAD)));
  EXPECT_EQ(store.GetPixelColor(0, 0), RGB(0x10, 0x20, 0x30));
}

TEST(BmpReader, TopDownRowsPutTheFirstFileRowOnTop) {
  BmpParts p;
  p.bitCount = 24;
  p.width = 1;
  p.height = -2;
  p.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  ASSERT_EQ(image.GetHeight(), 2);
  EXPECT_EQ(image.Image()->GetPixel(0, 0), 0x030201u);
  EXPECT_EQ(image.Image()->GetPixel(0, 1), 0x060504u);
}

TEST(BmpReader, ResolutionComesFromTheHeader) {
  BmpParts p = EightBit();
  p.xPels = 3779;
  p.yPels = 2834;
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  EXPECT_EQ(image.GetUnitSpecifier(), 1);
  EXPECT_EQ(image.GetWidthSpecific(), 3779);
  EXPECT_EQ(image.GetHeightSpecific(), 2834);
  EXPECT_EQ(image.Image()->InfoHeader()->biXPelsPerMeter, 3779);
  // One of them 0: no unit, square pixels.
  p.yPels = 0;
  LoadBytes(image, BuildBmp(p));
  EXPECT_EQ(image.GetUnitSpecifier(), 0);
  EXPECT_EQ(image.GetWidthSpecific(), 1);
  EXPECT_EQ(image.GetHeightSpecific(), 1);
}

TEST(BmpReader, PixelsAfterAGapAreFoundThroughTheOffset) {
  BmpParts p = EightBit();
  p.gap = Bytes(10, 0x77);
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  ExpectEightBitPixels(image);
}

TEST(BmpReader, AnOffsetThatCannotBeRightIsIgnored) {
  // Backwards, and so far on that the rows would not fit: the pixels follow the table.
  for (std::uint32_t offBits : {0u, 20u, 0x7FFFFFFFu, 14u + 40u + 36u + 2u}) {
    BmpParts p = EightBit();
    p.offBits = offBits;
    TVynCustomDIB image;
    LoadBytes(image, BuildBmp(p));
    ExpectEightBitPixels(image);
  }
}

TEST(BmpReader, StreamPositionEndsAfterTheImage) {
  BmpParts p = EightBit();
  p.compression = 1;
  p.pixels = {4, 9, 0, 0, 4, 8, 0, 1};
  Bytes file = BuildBmp(p);
  const std::size_t end = file.size();
  file.resize(end + 5000, 0x55);  // data of someone else after the image
  TMemoryStream stream(file);
  TVynCustomDIB image;
  image.LoadFromStream(stream);
  EXPECT_EQ(stream.GetPosition(), std::int64_t(end));
}

// ---- bit masks

struct MaskCase {
  const char* name;
  int bitCount;
  std::uint32_t compression;
  std::uint32_t headerSize;
  std::vector<std::uint32_t> headerMasks;
  std::vector<std::uint32_t> masks;
  Bytes pixel;        // one pixel, padded to 4 bytes
  COLORREF expected;  // what the pixel reads as
};

class BmpMasks : public testing::TestWithParam<MaskCase> {};

TEST_P(BmpMasks, DecodeToTheExpectedColour) {
  const MaskCase& c = GetParam();
  BmpParts p;
  p.width = 1;
  p.height = 1;
  p.bitCount = c.bitCount;
  p.compression = c.compression;
  p.headerSize = c.headerSize;
  p.headerMasks = c.headerMasks;
  p.masks = c.masks;
  p.pixels = c.pixel;
  p.offBits = 0;  // found by what was read, not by the offset
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  EXPECT_EQ(image.Image()->GetPixelColor(0, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpMasks,
    testing::Values(
        // 16 bits without masks are 5-5-5; a full channel is 255, not 248.
        MaskCase{"Rgb555Default", 16, 0, 40, {}, {}, {0xFF, 0x7F, 0, 0}, RGB(255, 255, 255)},
        MaskCase{"Rgb555Steps", 16, 0, 40, {}, {}, {0x21, 0x04, 0, 0}, RGB(8, 8, 8)},
        MaskCase{"Rgb565AfterHeader",
                 16,
                 3,
                 40,
                 {},
                 {0xF800, 0x07E0, 0x001F},
                 {0x1F, 0xF8, 0, 0},
                 RGB(255, 0, 255)},
        // Masks inside a long header: none follow it, so the pixel is right after the header.
        MaskCase{"MasksInsideV5Header",
                 32,
                 3,
                 124,
                 {0x000000FF, 0x0000FF00, 0x00FF0000, 0},
                 {},
                 {0x10, 0x20, 0x30, 0x00},
                 RGB(0x10, 0x20, 0x30)},
        MaskCase{"MasksInsideHeader52",
                 32,
                 3,
                 52,
                 {0x0000FF00, 0x00FF0000, 0xFF000000},
                 {},
                 {0x00, 0x10, 0x20, 0x30},
                 RGB(0x10, 0x20, 0x30)},
        MaskCase{"AlphaBitFieldsFourMasks",
                 32,
                 6,
                 40,
                 {},
                 {0x00FF0000, 0x000000FF, 0x0000FF00, 0xFF000000},
                 {0x10, 0x20, 0x30, 0x40},
                 RGB(0x30, 0x10, 0x20)},
        MaskCase{"TenBitChannels",
                 32,
                 3,
                 40,
                 {},
                 {0x3FF00000, 0x000FFC00, 0x000003FF},
                 {0xFF, 0x03, 0x00, 0x00},
                 RGB(0, 0, 255)}),
    [](const testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

// ---- 32-bit alpha

TEST(BmpReader, ThirtyTwoBitPlainGetsPixelAlpha) {
  BmpParts p;
  p.bitCount = 32;
  p.width = 2;
  p.height = 1;
  p.pixels = {1, 2, 3, 0x80, 4, 5, 6, 0xFF};
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  EXPECT_EQ(image.Image()->GetAlphaMode(), kAlphaModePixel);
  EXPECT_EQ(image.Image()->GetPixel(0, 0), 0x80030201u);
}

TEST(BmpReader, ThirtyTwoBitWithZeroFourthBytesIsOpaque) {
  // The fourth byte is padding in most files; taken as alpha it would hide the whole picture.
  BmpParts p;
  p.bitCount = 32;
  p.width = 2;
  p.height = 1;
  p.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  EXPECT_EQ(image.Image()->BitCount(), 32);
  EXPECT_EQ(image.Image()->GetAlphaMode(), kAlphaModeNone);
  // Writers copy the fourth byte as it is (PNG writes every 32-bit image with alpha).
  EXPECT_EQ(image.Image()->GetPixel(0, 0), 0xFF030201u);
  EXPECT_EQ(image.Image()->GetPixel(1, 0), 0xFF060504u);
}

TEST(BmpReader, StatedAlphaMaskDecidesAboutAlpha) {
  BmpParts p;
  p.bitCount = 32;
  p.width = 1;
  p.height = 1;
  p.compression = 3;
  p.headerSize = 56;
  p.headerMasks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  p.pixels = {1, 2, 3, 0};
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  EXPECT_EQ(image.Image()->GetAlphaMode(), kAlphaModePixel);
  p.headerMasks[3] = 0;
  p.pixels = {1, 2, 3, 0x40};
  LoadBytes(image, BuildBmp(p));
  EXPECT_EQ(image.Image()->GetAlphaMode(), kAlphaModeNone);
  EXPECT_EQ(image.Image()->GetPixel(0, 0), 0xFF030201u) << "unused bits are not alpha";
  // A 40-byte header cannot state an alpha mask: the fourth byte of bit fields is unused.
  p.headerSize = 40;
  p.headerMasks.clear();
  p.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
  LoadBytes(image, BuildBmp(p));
  EXPECT_EQ(image.Image()->BitCount(), 32);
  EXPECT_EQ(image.Image()->GetAlphaMode(), kAlphaModeNone);
  EXPECT_EQ(image.Image()->GetPixel(0, 0), 0xFF030201u);
}

TEST(BmpReader, TwoBitPixelsBecomeFourBit) {
  BmpParts p;
  p.bitCount = 2;
  p.width = 4;
  p.height = 1;
  p.table = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};
  p.pixels = {0x1B, 0, 0, 0};  // 0 1 2 3
  TVynCustomDIB image;
  LoadBytes(image, BuildBmp(p));
  ASSERT_EQ(image.Image()->BitCount(), 4);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(image.Image()->GetPixel(x, 0), DWORD(x));
  EXPECT_EQ(image.Image()->GetPaletteColor(2), RGB(0xAA, 0xAA, 0xAA));
}

}  // namespace
