// What a load puts into the store: formats, palettes, colour keys, interlacing, the
// source-file information, and the image data's framing across IDAT chunks.
#include "platform/halftone_palette.h"
#include "png/adam7.h"
#include "tests/png/png_reader_test_util.h"

namespace {

using namespace pngread;

std::unique_ptr<TUxPNG> LoadOk(const Bytes& file) {
  auto image = std::make_unique<TUxPNG>();
  Load(*image, file);
  return image;
}

const TVynDIBDesc& DescOf(const std::unique_ptr<TUxPNG>& image) {
  return image->Image()->Desc();
}

// 8-bit grey pixels (row-major) as Adam7 pass rows, each unfiltered.
Bytes InterlaceGrey8(const Bytes& pixels, int width, int height) {
  Bytes raw;
  for (int pass = 0; pass < 7; ++pass) {
    if (Adam7PassIsEmpty(pass, width, height)) continue;
    const Adam7Pass& p = kAdam7Passes[pass];
    for (int y = p.firstRow; y < height; y += p.rowStep) {
      raw.push_back(0);
      for (int x = p.firstColumn; x < width; x += p.columnStep)
        raw.push_back(pixels[std::size_t(y) * width + x]);
    }
  }
  return raw;
}

Bytes Numbered(int count) {
  Bytes b;
  for (int i = 0; i < count; ++i) b.push_back(std::uint8_t(i * 7 + 3));
  return b;
}

// Interlaced grey pictures of sizes around the pass boundaries decode pixel for pixel.
class InterlacedSize : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(InterlacedSize, EveryPixelLandsWhereItBelongs) {
  const auto [w, h] = GetParam();
  const Bytes pixels = Numbered(w * h);
  const Bytes file = PngBuilder().IHDR(w, h, 8, 0, 1).IDAT(InterlaceGrey8(pixels, w, h)).End();
  auto image = LoadOk(file);
  const TVynDIBDesc& d = DescOf(image);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(PictureRow(d, y)[x], pixels[y * w + x]) << x << "," << y;
  EXPECT_EQ(image->FInfoInterlace, 1);
  ExpectSamePicture(StoreToRgba(d), DecodeWithLibpng(file), "interlaced");
}

INSTANTIATE_TEST_SUITE_P(Sizes, InterlacedSize,
                         testing::Values(std::pair{1, 1}, std::pair{4, 4}, std::pair{5, 5},
                                         std::pair{2, 9}, std::pair{9, 2}, std::pair{17, 3}));

TEST(ReaderImage, Interlaced1x1ReadsOnlyPassZero) {
  // One pass row: filter byte and the pixel; nothing else may be asked for.
  auto image = LoadOk(PngBuilder().IHDR(1, 1, 8, 0, 1).IDAT({0, 0x42}).End());
  EXPECT_EQ(PictureRow(DescOf(image), 0)[0], 0x42);
}

TEST(ReaderImage, TwoBitGreyBecomesFourBitStoreWithRamp) {
  // Pixels 0,1,2,3,3 over one row of five.
  auto image = LoadOk(PngBuilder().IHDR(5, 1, 2, 0).IDAT({0, 0x1B, 0xC0}).End());
  const TVynDIBDesc& d = DescOf(image);
  EXPECT_EQ(d.BitCount, 4);
  const BYTE* row = PictureRow(d, 0);
  EXPECT_EQ(row[0], 0x01);
  EXPECT_EQ(row[1], 0x23);
  EXPECT_EQ(row[2] >> 4, 3);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(d.Palette[i].rgbRed, i * 85);
    EXPECT_EQ(d.Palette[i].rgbBlue, i * 85);
  }
  EXPECT_EQ(image->FInfoGrayscale, 1);
  EXPECT_EQ(image->FInfoColorBits, 2);
}

TEST(ReaderImage, TwoBitPaletteKeepsItsIndices) {
  const Bytes plte = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0};
  auto image = LoadOk(PngBuilder().IHDR(4, 1, 2, 3).Chunk("PLTE", plte).IDAT({0, 0xE4}).End());
  const TVynDIBDesc& d = DescOf(image);
  EXPECT_EQ(d.BitCount, 4);
  EXPECT_EQ(PictureRow(d, 0)[0], 0x32);
  EXPECT_EQ(PictureRow(d, 0)[1], 0x10);
  EXPECT_EQ(d.Palette[3].rgbRed, 40);
  EXPECT_EQ(image->FInfoGrayscale, 0);
}

TEST(ReaderImage, SixteenBitRGBKeepsHighBytesInBGROrder) {
  auto image =
      LoadOk(PngBuilder().IHDR(1, 1, 16, 2).IDAT({0, 0x12, 0xFF, 0x34, 0xFF, 0x56, 0xFF}).End());
  const TVynDIBDesc& d = DescOf(image);
  EXPECT_EQ(d.BitCount, 24);
  EXPECT_EQ(PictureRow(d, 0)[0], 0x56);
  EXPECT_EQ(PictureRow(d, 0)[1], 0x34);
  EXPECT_EQ(PictureRow(d, 0)[2], 0x12);
  EXPECT_EQ(image->FInfoColorBits, 48);
  // True colour without PLTE carries the halftone palette.
  EXPECT_EQ(d.PaletteCount, 256);
}

TEST(ReaderImage, TrueColourKeepsItsPLTEAsPalette) {
  auto image = LoadOk(
      PngBuilder().IHDR(1, 1, 8, 2).Chunk("PLTE", {1, 2, 3, 4, 5, 6}).IDAT({0, 9, 9, 9}).End());
  EXPECT_EQ(DescOf(image).PaletteCount, 2);
  EXPECT_EQ(DescOf(image).Palette[1].rgbRed, 4);
  EXPECT_EQ(DescOf(image).Palette[1].rgbBlue, 6);
}

TEST(ReaderImage, GreyAlphaBecomes32BitWithAlphaSkipsTRNSAndTakesBKGDAsColour) {
  auto image = LoadOk(PngBuilder()
                          .IHDR(1, 1, 8, 4)
                          .Chunk("tRNS", {0, 0})
                          .Chunk("bKGD", {0, 0x40})
                          .IDAT({0, 0x90, 0x33})
                          .End());
  const TVynDIBDesc& d = DescOf(image);
  EXPECT_EQ(d.BitCount, 32);
  const BYTE* px = PictureRow(d, 0);
  EXPECT_EQ(px[0], 0x90);
  EXPECT_EQ(px[1], 0x90);
  EXPECT_EQ(px[2], 0x90);
  EXPECT_EQ(px[3], 0x33);
  EXPECT_EQ(BGMode(d), kKeyModeColor);
  EXPECT_EQ(d.BGValue, 0x404040u);
  EXPECT_EQ(TransMode(d), kKeyModeNone);
  EXPECT_EQ(AlphaMode(d), kAlphaModePixel);
  EXPECT_EQ(image->FInfoColorBits, 8);
}

TEST(ReaderImage, SixteenBitGreyKeysUseTheHighByte) {
  auto image = LoadOk(PngBuilder()
                          .IHDR(1, 1, 16, 0)
                          .Chunk("tRNS", {0x12, 0x34})
                          .Chunk("bKGD", {0xAB, 0xCD})
                          .IDAT({0, 0x12, 0x34})
                          .End());
  const TVynDIBDesc& d = DescOf(image);
  EXPECT_EQ(TransMode(d), kKeyModeIndex);
  EXPECT_EQ(d.TransValue, 0x12u);
  EXPECT_EQ(BGMode(d), kKeyModeIndex);
  EXPECT_EQ(d.BGValue, 0xABu);
  EXPECT_EQ(image->GetTransColor(), 0x121212u);
}

TEST(ReaderImage, GreyKeyOutsideTheRampIsDropped) {
  // A level of 300 in an 8-bit image names no pixel and no palette entry.
  auto image = LoadOk(PngBuilder()
                          .IHDR(1, 1, 8, 0)
                          .Chunk("tRNS", {0x01, 0x2C})
                          .Chunk("bKGD", {0x01, 0x2C})
                          .IDAT({0, 5})
                          .End());
  EXPECT_EQ(TransMode(DescOf(image)), kKeyModeNone);
  EXPECT_EQ(BGMode(DescOf(image)), kKeyModeNone);
  EXPECT_EQ(image->GetTransColor(), clNone);
}

// A 1-bit store keeps 2 entries of a 256-entry PLTE: an index PLTE has but the store lacks
// loads, and names no background colour.
TEST(ReaderImage, BKGDIndexPastStorePaletteGivesNoBackground) {
  auto image = LoadOk(PngBuilder()
                          .IHDR(1, 2, 1, 3)
                          .Chunk("PLTE", Bytes(256 * 3, 0x40))
                          .Chunk("bKGD", {200})
                          .IDAT({0, 0x00, 0, 0x80})
                          .End());
  EXPECT_EQ(DescOf(image).PaletteCount, 2);
  EXPECT_EQ(image->GetBGColor(), clNone);
  EXPECT_EQ(image->Image()->BGIndex(), -1);
}

TEST(ReaderImage, RGBKeysOf16BitImagesTakeHighBytesOf8BitLowBytes) {
  const Bytes key = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  auto wide = LoadOk(
      PngBuilder().IHDR(1, 1, 16, 2).Chunk("tRNS", key).Chunk("bKGD", key).IDAT(Bytes(7, 0)).End());
  EXPECT_EQ(DescOf(wide).TransValue, 0x553311u);
  EXPECT_EQ(DescOf(wide).BGValue, 0x553311u);
  EXPECT_EQ(TransMode(DescOf(wide)), kKeyModeColor);
  auto narrow = LoadOk(
      PngBuilder().IHDR(1, 1, 8, 2).Chunk("tRNS", key).Chunk("bKGD", key).IDAT(Bytes(4, 0)).End());
  EXPECT_EQ(DescOf(narrow).TransValue, 0x664422u);
  EXPECT_EQ(DescOf(narrow).BGValue, 0x664422u);
}

Bytes PaletteFile(const Bytes& trns) {
  const Bytes plte = {0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0};
  return PngBuilder().IHDR(1, 1, 8, 3).Chunk("PLTE", plte).Chunk("tRNS", trns).IDAT({0, 1}).End();
}

TEST(ReaderImage, PaletteTRNSFillsTheAlphaTable) {
  auto image = LoadOk(PaletteFile({255, 0, 128}));
  const TVynDIBDesc& d = DescOf(image);
  EXPECT_EQ(d.AlphaCount, 3);
  EXPECT_EQ(AlphaMode(d), kAlphaModeTable);
  EXPECT_EQ(AlphaTable(d)[1], 0);
  EXPECT_EQ(AlphaTable(d)[2], 128);
  EXPECT_EQ(AlphaTable(d)[3], 255);
}

TEST(ReaderImage, PaletteTRNSWithOneZeroBecomesTransparentIndex) {
  auto image = LoadOk(PaletteFile({255, 255, 0}));
  const TVynDIBDesc& d = DescOf(image);
  EXPECT_EQ(AlphaMode(d), kAlphaModeNone);
  EXPECT_EQ(TransMode(d), kKeyModeIndex);
  EXPECT_EQ(d.TransValue, 2u);
}

TEST(ReaderImage, ResolutionGammaAndOffsets) {
  auto plain = LoadOk(PngBuilder().IHDR(1, 1, 8, 0).IDAT({0, 0}).End());
  EXPECT_EQ(DescOf(plain).UnitSpecifier, 0);
  EXPECT_EQ(DescOf(plain).WidthSpecific, 0);
  EXPECT_EQ(DescOf(plain).HeightSpecific, 0);

  Bytes phys, offs;
  PutBE32(phys, 96);
  PutBE32(phys, 72);
  phys.push_back(2);
  PutBE32(offs, std::uint32_t(-5));
  PutBE32(offs, 7);
  offs.push_back(0);
  auto image = LoadOk(PngBuilder()
                          .IHDR(1, 1, 8, 0)
                          .Chunk("gAMA", {0, 0, 0xB1, 0x8F})
                          .Chunk("pHYs", phys)
                          .Chunk("oFFs", offs)
                          .IDAT({0, 0})
                          .End());
  EXPECT_EQ(DescOf(image).UnitSpecifier, 2);
  EXPECT_EQ(DescOf(image).WidthSpecific, 96);
  EXPECT_EQ(DescOf(image).HeightSpecific, 72);
  EXPECT_EQ(DescOf(image).Gamma, 45455u);
  EXPECT_EQ(image->FInfoOffsetX, -5);
  EXPECT_EQ(image->FInfoOffsetY, 7);

  offs.back() = 1;  // micrometres: not a pixel offset
  auto micro = LoadOk(PngBuilder().IHDR(1, 1, 8, 0).Chunk("oFFs", offs).IDAT({0, 0}).End());
  EXPECT_EQ(micro->FInfoOffsetX, 0);
  EXPECT_EQ(micro->FInfoOffsetY, 0);
}

TEST(ReaderImage, SourceFileInformation) {
  auto image = LoadOk(PngBuilder().IHDR(3, 2, 16, 6).IDAT(Bytes(2 * (1 + 3 * 8), 0)).End());
  EXPECT_EQ(image->FInfoFormat, 13);
  EXPECT_EQ(image->FInfoWidth, 3);
  EXPECT_EQ(image->FInfoHeight, 2);
  EXPECT_EQ(image->FInfoColorBits, 48);
  EXPECT_EQ(image->FInfoGrayscale, 0);
  EXPECT_EQ(image->FInfoInterlace, 0);
  EXPECT_FALSE(image->FInfoPrefixed);
}

TEST(ReaderImage, LenientHeaderBytes) {
  // Compression and filter method 1 pass; colour type 10 reads as RGB (low three bits).
  Bytes ihdr = IHDRData(1, 1, 8, 10);
  ihdr[10] = 1;
  ihdr[11] = 1;
  auto image = LoadOk(PngBuilder().Chunk("IHDR", ihdr).IDAT({0, 1, 2, 3}).End());
  EXPECT_EQ(DescOf(image).BitCount, 24);
}

TEST(ReaderImage, WrongCRCsAndUnknownCriticalChunksAreIgnored) {
  Bytes file =
      PngBuilder().Chunk("ABCD", {1, 2, 3}).IHDR(1, 1, 8, 0).Chunk("QQQQ", {}).IDAT({0, 7}).End();
  for (std::size_t i = 8; i + 12 <= file.size();) {  // spoil every CRC
    const std::size_t length =
        (std::size_t(file[i]) << 24) | (file[i + 1] << 16) | (file[i + 2] << 8) | file[i + 3];
    file[i + 8 + length] ^= 0x5A;
    i += 12 + length;
  }
  auto image = LoadOk(file);
  EXPECT_EQ(PictureRow(DescOf(image), 0)[0], 7);
}

// The image data split over IDAT chunks in every way: one byte per chunk, empty chunks
// between, and the stream's tail in chunks of its own after the last row.
TEST(ReaderImage, ImageDataAcrossManyIDATChunks) {
  const Bytes pixels = Numbered(16 * 16);
  Bytes raw;
  for (int y = 0; y < 16; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), pixels.begin() + y * 16, pixels.begin() + y * 16 + 16);
  }
  const Bytes z = Deflate(raw);
  PngBuilder b;
  b.IHDR(16, 16, 8, 0);
  for (std::uint8_t byte : z) b.Chunk("IDAT", {byte}).Chunk("IDAT", {});
  auto image = LoadOk(b.End());
  for (int y = 0; y < 16; ++y)
    ASSERT_EQ(0, std::memcmp(PictureRow(DescOf(image), y), &pixels[y * 16], 16)) << y;
}

TEST(ReaderImage, TextAfterTheImageDataIsStillGathered) {
  auto image =
      LoadOk(PngBuilder().IHDR(1, 1, 8, 0).IDAT({0, 0}).Chunk("tEXt", {'k', 0, 'v'}).End());
  EXPECT_EQ(image->FInfoText.bytes(), "$#k\r\nv");
}

TEST(ReaderImage, PLTEAfterTheImageDataChangesNothing) {
  auto image =
      LoadOk(PngBuilder().IHDR(1, 1, 8, 2).IDAT({0, 0, 0, 0}).Chunk("PLTE", {9, 9, 9}).End());
  EXPECT_EQ(DescOf(image).PaletteCount, 256);  // still the halftone palette
  EXPECT_EQ(0, std::memcmp(DescOf(image).Palette, HalftonePalette().data(), 256 * 4));
}

}  // namespace
