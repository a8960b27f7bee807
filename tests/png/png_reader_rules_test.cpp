// The reader's refusals: each case is a small file that breaks one rule, and the exact
// message the load must fail with.
#include <typeinfo>

#include "png/png_limits.h"
#include "tests/png/png_reader_test_util.h"

namespace {

using namespace pngread;

// One 8-bit grey pixel, unfiltered.
const Bytes kGreyPixel = {0, 0x80};
// Two rows of a 1-bit 1 × 2 palette image.
const Bytes kPaletteRows = {0, 0x00, 0, 0x80};

Bytes Palette(int entries) {
  Bytes d(std::size_t(entries) * 3, 0);
  for (int i = 0; i < entries; ++i) d[std::size_t(i) * 3] = std::uint8_t(i);
  return d;
}

Bytes Grey8() {
  return PngBuilder().IHDR(1, 1, 8, 0).IDAT(kGreyPixel).End();
}
PngBuilder GreyHead() {
  return std::move(PngBuilder().IHDR(1, 1, 8, 0));
}
PngBuilder PaletteHead() {
  return std::move(PngBuilder().IHDR(1, 2, 1, 3));
}

Bytes LongKey(std::size_t length) {
  return Bytes(length, 'k');
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A file whose IHDR bytes after width and height are given.
Bytes WithHeader(std::uint8_t depth, std::uint8_t type, std::uint8_t compression = 0,
                 std::uint8_t filter = 0, std::uint8_t interlace = 0) {
  Bytes ihdr = IHDRData(1, 1, depth, type, interlace);
  ihdr[10] = compression;
  ihdr[11] = filter;
  return PngBuilder().Chunk("IHDR", ihdr).IDAT(kGreyPixel).End();
}

Bytes WithSize(std::uint32_t width, std::uint32_t height) {
  return PngBuilder().IHDR(width, height, 8, 0).IDAT(kGreyPixel).End();
}

// The image data split after its first byte, with another chunk between the two halves.
Bytes InterruptedImageData() {
  const Bytes z = Deflate(Bytes(1 + 64, 0));
  return PngBuilder()
      .IHDR(64, 1, 8, 0)
      .Chunk("IDAT", Bytes(z.begin(), z.begin() + 1))
      .Chunk("tEXt", Cat(Bytes{'k', 0}, {'v'}))
      .Chunk("IDAT", Bytes(z.begin() + 1, z.end()))
      .End();
}

// A zTXt chunk whose zlib checksum is wrong, after the image data: the checksum is checked
// for text even though the image data skips it.
Bytes ZTXtWithBadChecksumAfterImageData() {
  Bytes ztxt = Cat({'k', 0, 0}, Deflate({'h', 'e', 'l', 'l', 'o'}));
  ztxt.back() ^= 1;
  return GreyHead().IDAT(kGreyPixel).Chunk("zTXt", ztxt).End();
}

// A file whose gathered text is full: a zTXt that inflates past the text limit.
PngBuilder FullTextHead() {
  return std::move(
      GreyHead().Chunk("zTXt", Cat({'k', 0, 0}, Deflate(Bytes(kMaxTextBytes + 1, 'a')))));
}

struct RuleCase {
  const char* name;
  Bytes file;
  const char* message;
};

std::vector<RuleCase> Cases() {
  return {
      {"NotPNG", Bytes(300, 0), "PNG LoadStream: Not PNG Format"},
      {"TwoIHDR", GreyHead().IHDR(1, 1, 8, 0).IDAT(kGreyPixel).End(),
       "PNG LoadStream: appear two IHDR"},
      {"ColorType1", WithHeader(8, 1), "PNG LoadStream: Error ColorType"},
      {"ColorType5", WithHeader(8, 5), "PNG LoadStream: Error ColorType"},
      {"ColorType7", WithHeader(8, 7), "PNG LoadStream: Error ColorType"},
      {"ColorType9ReadsAs1", WithHeader(8, 9), "PNG LoadStream: Error ColorType"},
      {"GreyDepth3", WithHeader(3, 0), "PNG LoadStream: Error Bitdepth"},
      {"GreyAlphaDepth4", WithHeader(4, 4), "PNG LoadStream: not Use AlphaChannel"},
      {"RGBDepth4", WithHeader(4, 2), "PNG LoadStream: Error BitDepth"},
      {"PaletteDepth16", WithHeader(16, 3), "PNG LoadStream: Error BitDepth"},
      {"Compression2", WithHeader(8, 0, 2), "PNG LoadStream: not support Compression"},
      {"FilterMethod2", WithHeader(8, 0, 0, 2), "PNG LoadStream: not supprt Filter"},
      {"Interlace2", WithHeader(8, 0, 0, 0, 2), "PNG LoadStream: not interlace type"},
      {"WidthZero", WithSize(0, 1), "PNG LoadStream: Error Width or Height"},
      {"HeightZero", WithSize(1, 0), "PNG LoadStream: Error Width or Height"},
      {"WidthNegative", WithSize(0x80000000u, 1), "PNG LoadStream: Error Width or Height"},
      {"HeightNegative", WithSize(1, 0xFFFFFFFFu), "PNG LoadStream: Error Width or Height"},
      {"WidthOver2To24", WithSize(0x01000000u, 1), "PNG LoadStream: Error Width or Height"},
      {"PixelsOverLimit", WithSize(1u << 15, 1u << 14), "PNG LoadStream: image too large"},
      // 2^28 pixels pass the size rule and fail later, for want of data; 17 x 15790321 is one
      // more.
      {"PixelsAtTheLimit", WithSize(1u << 14, 1u << 14), "PNG LoadStream: image data too short"},
      {"PixelsOneOverTheLimit", WithSize(17, 15790321), "PNG LoadStream: image too large"},
      {"PLTEBeforeIHDR", PngBuilder().Chunk("PLTE", Palette(2)).IHDR(1, 2, 1, 3).End(),
       "PNG LoadStream: Error PLTE"},
      {"TwoPLTE", PaletteHead().Chunk("PLTE", Palette(2)).Chunk("PLTE", Palette(2)).End(),
       "PNG LoadStream: Error PLTE"},
      {"PLTENotMultipleOf3", PaletteHead().Chunk("PLTE", Bytes(4, 0)).End(),
       "PNG LoadStream: palettesize error"},
      {"PLTE257", PaletteHead().Chunk("PLTE", Palette(257)).End(),
       "PNG LoadStream: palette length over"},
      {"TRNSBeforeIHDR", PngBuilder().Chunk("tRNS", {0, 0}).End(), "PNG LoadStream: error tRNS"},
      {"TwoTRNS", GreyHead().Chunk("tRNS", {0, 0}).Chunk("tRNS", {0, 0}).End(),
       "PNG LoadStream: error tRNS"},
      {"TRNSAfterIDAT", GreyHead().IDAT(kGreyPixel).Chunk("tRNS", {0, 0}).End(),
       "PNG LoadStream: error tRNS"},
      {"TRNSGreyLength3", GreyHead().Chunk("tRNS", {0, 0, 0}).End(),
       "PNG LoadStream: error TransColor"},
      {"TRNSRGBLength4", PngBuilder().IHDR(1, 1, 8, 2).Chunk("tRNS", {0, 0, 0, 0}).End(),
       "PNG LoadStream: error TransColor"},
      {"TRNSBeforePLTE", PaletteHead().Chunk("tRNS", {0}).Chunk("PLTE", Palette(2)).End(),
       "PNG LoadStream: error TransColor"},
      {"TRNSLongerThanPLTE", PaletteHead().Chunk("PLTE", Palette(2)).Chunk("tRNS", {0, 0, 0}).End(),
       "PNG LoadStream: error TransColor"},
      {"BKGDBeforeIHDR", PngBuilder().Chunk("bKGD", {0, 0}).End(), "PNG LoadStream: error bKGD"},
      {"TwoBKGD", GreyHead().Chunk("bKGD", {0, 0}).Chunk("bKGD", {0, 0}).End(),
       "PNG LoadStream: error bKGD"},
      {"BKGDAfterIDAT", GreyHead().IDAT(kGreyPixel).Chunk("bKGD", {0, 0}).End(),
       "PNG LoadStream: error bKGD"},
      {"BKGDGreyLength1", GreyHead().Chunk("bKGD", {0}).End(), "PNG LoadStream: error BGColor"},
      {"BKGDRGBLength2", PngBuilder().IHDR(1, 1, 8, 2).Chunk("bKGD", {0, 0}).End(),
       "PNG LoadStream: error BGColor"},
      {"BKGDPaletteLength2", PaletteHead().Chunk("PLTE", Palette(2)).Chunk("bKGD", {0, 0}).End(),
       "PNG LoadStream: error BGColor"},
      {"BKGDBeforePLTE", PaletteHead().Chunk("bKGD", {0}).Chunk("PLTE", Palette(2)).End(),
       "PNG LoadStream: error BGColorIndex"},
      {"BKGDIndexPastPLTE", PaletteHead().Chunk("PLTE", Palette(2)).Chunk("bKGD", {2}).End(),
       "PNG LoadStream: error BGColorIndex"},
      {"GAMALength3", GreyHead().Chunk("gAMA", {0, 0, 0}).End(), "PNG LoadStream: error gAMA"},
      {"TwoGAMA", GreyHead().Chunk("gAMA", {0, 0, 0, 1}).Chunk("gAMA", {0, 0, 0, 1}).End(),
       "PNG LoadStream: error gAMA"},
      {"GAMABeforeIHDR", PngBuilder().Chunk("gAMA", {0, 0, 0, 1}).End(),
       "PNG LoadStream: error gAMA"},
      {"GAMAAfterIDAT", GreyHead().IDAT(kGreyPixel).Chunk("gAMA", {0, 0, 0, 1}).End(),
       "PNG LoadStream: error gAMA"},
      {"PHYSLength8", GreyHead().Chunk("pHYs", Bytes(8, 0)).End(), "PNG LoadStream: error pHYs"},
      {"PHYSAfterIDAT", GreyHead().IDAT(kGreyPixel).Chunk("pHYs", Bytes(9, 0)).End(),
       "PNG LoadStream: error pHYs"},
      {"OFFSLength10", GreyHead().Chunk("oFFs", Bytes(10, 0)).End(), "PNG LoadStream: error oFFs"},
      {"TwoOFFS", GreyHead().Chunk("oFFs", Bytes(9, 0)).Chunk("oFFs", Bytes(9, 0)).End(),
       "PNG LoadStream: error oFFs"},
      {"TEXtBeforeIHDR", PngBuilder().Chunk("tEXt", {'k', 0, 'v'}).End(),
       "PNG LoadStream: error tEXt"},
      {"TEXtEmpty", GreyHead().Chunk("tEXt", {}).End(), "PNG LoadStream: error tEXt"},
      {"ZTXtEmpty", GreyHead().Chunk("zTXt", {}).End(), "PNG LoadStream: error zEXt"},
      {"TEXtKey80", GreyHead().Chunk("tEXt", Cat(LongKey(80), {0, 'v'})).End(),
       "PNG LoadStream: error textkey"},
      {"TEXtKeyEmpty", GreyHead().Chunk("tEXt", {0, 'v'}).End(), "PNG LoadStream: error textkey"},
      {"TEXtNoSeparator", GreyHead().Chunk("tEXt", {'k', 'v'}).End(),
       "PNG LoadStream: error textkey"},
      {"ZTXtNoData", GreyHead().Chunk("zTXt", {'k', 0, 0}).End(), "PNG LoadStream: error textkey"},
      {"ZTXtMethod1", GreyHead().Chunk("zTXt", Cat({'k', 0, 1}, Deflate({'v'}))).End(),
       "PNG LoadStream: not support Compression"},
      // A full text takes no more text, but the chunks after it still keep the rules.
      {"TEXtKey80AfterTextLimit",
       FullTextHead().Chunk("tEXt", Cat(LongKey(80), {0, 'v'})).IDAT(kGreyPixel).End(),
       "PNG LoadStream: error textkey"},
      {"TEXtNoSeparatorAfterTextLimit",
       FullTextHead().Chunk("tEXt", {'k', 'v'}).IDAT(kGreyPixel).End(),
       "PNG LoadStream: error textkey"},
      {"ZTXtNoDataAfterTextLimit", FullTextHead().Chunk("zTXt", {'k', 0, 0}).IDAT(kGreyPixel).End(),
       "PNG LoadStream: error textkey"},
      {"ZTXtMethod1AfterTextLimit",
       FullTextHead().Chunk("zTXt", Cat({'k', 0, 1}, Deflate({'v'}))).IDAT(kGreyPixel).End(),
       "PNG LoadStream: not support Compression"},
      {"ZTXtBadData", GreyHead().Chunk("zTXt", {'k', 0, 0, 0xFF, 0xFF}).End(),
       "PNG LoadStream: error ZLIB"},
      {"ZTXtBadChecksumAfterIDAT", ZTXtWithBadChecksumAfterImageData(),
       "PNG LoadStream: error ZLIB"},
      {"IENDWithData", GreyHead().IDAT(kGreyPixel).Chunk("IEND", {0}).End(),
       "PNG LoadStream: error IEND size"},
      {"TwoIDATRuns",
       GreyHead().IDAT(kGreyPixel).Chunk("tEXt", {'k', 0, 'v'}).IDAT(kGreyPixel).End(),
       "PNG LoadStream: appear two IDAT"},
      {"PaletteWithoutPLTE", PaletteHead().IDAT(kPaletteRows).End(),
       "PNG Loadstream: error palette length"},
      {"PaletteWithEmptyPLTE", PaletteHead().Chunk("PLTE", {}).IDAT(kPaletteRows).End(),
       "PNG Loadstream: error palette length"},
      {"IDATBeforeIHDR", PngBuilder().IDAT(kGreyPixel).End(),
       "PNG Loadstream: error palette length"},
      {"FilterType5", GreyHead().IDAT({5, 0x80}).End(), "PNG LoadStream: not support Filter"},
      {"BadZlibData", GreyHead().Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF, 0xFF}).End(),
       "PNG LoadStream: zlib error"},
      {"PresetDictionary", GreyHead().Chunk("IDAT", {0x78, 0xBB, 0, 0, 0, 1, 0x63, 0}).End(),
       "PNG LoadStream: zlib error"},
      {"ImageDataTooShort", PngBuilder().IHDR(1, 4, 8, 0).IDAT({0, 1, 0, 2}).End(),
       "PNG LoadStream: image data too short"},
      {"NoIDAT", GreyHead().End(), "PNG LoadStream: no image data"},
      {"ChunkLengthTopBit", Cat(GreyHead().bytes, {0x80, 0, 0, 0, 'a', 'b', 'c', 'd'}),
       "PNG LoadStream: error chunk length"},
  };
}

class ReaderRule : public testing::TestWithParam<RuleCase> {};

TEST_P(ReaderRule, FailsWithItsMessage) {
  TUxPNG image;
  try {
    Load(image, GetParam().file);
    ADD_FAILURE() << "loaded";
  } catch (const EVynPNG& e) {
    EXPECT_EQ(e.Message().bytes(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(Messages, ReaderRule, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderFailure, ImageDataInterruptedByAnotherChunkRaisesPlainException) {
  TUxPNG image;
  try {
    Load(image, InterruptedImageData());
    ADD_FAILURE() << "loaded";
  } catch (const Exception& e) {
    EXPECT_EQ(typeid(e), typeid(Exception));
    EXPECT_EQ(e.Message().bytes(), "not next IDAT Chunk");
  }
}

TEST(ReaderFailure, StreamEndingBeforeIENDRaisesReadError) {
  Bytes file = Grey8();
  file.resize(file.size() - 12);  // drop IEND
  TUxPNG image;
  EXPECT_THROW(Load(image, file), EReadError);
}

TEST(ReaderFailure, ShortNonPNGRunsOutOfBytesBeforeTheSecondSignature) {
  TUxPNG image;
  EXPECT_THROW(Load(image, Bytes(263, 0)), EReadError);
}

// The signature may sit behind a leading block of exactly 256 bytes, not one byte more or
// less.
class LeadingBlock : public testing::TestWithParam<int> {};

TEST_P(LeadingBlock, OnlyExactly256BytesAreAccepted) {
  const Bytes file = Cat(Bytes(std::size_t(GetParam()), 0x11), Grey8());
  if (GetParam() == 256) {
    TUxPNG image;
    Load(image, file);
    EXPECT_TRUE(image.FInfoPrefixed);
  } else {
    EXPECT_EQ(LoadError(file), "PNG LoadStream: Not PNG Format");
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LeadingBlock, testing::Values(255, 256, 257));

TEST(ReaderFailure, FailedLoadLeavesTheImageAsItWas) {
  const Bytes good = PngBuilder()
                         .IHDR(3, 2, 8, 3)
                         .Chunk("PLTE", Palette(5))
                         .Chunk("bKGD", {4})
                         .Chunk("tEXt", {'k', 0, 'v'})
                         .IDAT({0, 1, 2, 3, 0, 4, 3, 2})
                         .End();
  TUxPNG image;
  Load(image, good);
  const TVynCustomInternalDIB* store = image.Image();
  const Rgba before = StoreToRgba(store->Desc());
  const AnsiString text = image.FInfoText;
  // Same header, but the image data breaks off in its second row.
  Bytes data = Deflate(Bytes(200, 0));
  data.resize(data.size() - 6);
  const Bytes bad =
      PngBuilder().IHDR(9, 9, 8, 2).Chunk("tEXt", {'x', 0, 'y'}).Chunk("IDAT", data).End();
  EXPECT_NE(LoadError(bad), "");
  EXPECT_THROW(Load(image, bad), Exception);
  EXPECT_EQ(image.Image(), store);
  EXPECT_EQ(image.GetWidth(), 3);
  EXPECT_EQ(image.GetHeight(), 2);
  EXPECT_EQ(image.FInfoText, text);
  EXPECT_EQ(image.GetBGColor(), COLORREF(4));
  const Rgba after = StoreToRgba(image.Image()->Desc());
  EXPECT_EQ(after.pixels, before.pixels);
}

}  // namespace
