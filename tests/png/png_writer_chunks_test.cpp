// The chunks the writer puts into a file: which, in which order, with which data.
#include <gtest/gtest.h>

#include <cstdlib>

#include "image/dib_error.h"
#include "platform/halftone_palette.h"
#include "png/png_writer.h"
#include "png_writer_test_util.h"
#include "tests/png/png_reader_test_util.h"

namespace {

using namespace pngtest;
using Types = std::vector<std::string>;

const Bytes kIENDBytes = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
constexpr COLORREF kGrey242 = 0x00F2F2F2;

// The nearest entry by the library's measure, computed here independently.
int ReferenceNearest(const RGBQUAD* palette, int count, COLORREF c) {
  int best = 0, bestDistance = 1 << 24;
  for (int i = 0; i < count; ++i) {
    const int d = std::abs(palette[i].rgbRed - GetRValue(c)) +
                  std::abs(palette[i].rgbGreen - GetGValue(c)) +
                  std::abs(palette[i].rgbBlue - GetBValue(c));
    if (d < bestDistance) best = i, bestDistance = d;
  }
  return best;
}

std::vector<RGBQUAD> Halftone() {
  return {HalftonePalette().begin(), HalftonePalette().end()};
}

// Empty expected data means the chunk must be absent.
void ExpectChunkData(const std::vector<Chunk>& chunks, const std::string& type,
                     const Bytes& expected) {
  const Chunk* chunk = FindChunk(chunks, type);
  if (expected.empty()) {
    EXPECT_EQ(chunk, nullptr) << type;
  } else {
    ASSERT_NE(chunk, nullptr) << type;
    EXPECT_EQ(chunk->data, expected) << type;
  }
}

void ExpectIdatPieces(const std::vector<Chunk>& chunks) {
  std::vector<std::size_t> sizes;
  for (const Chunk& c : chunks)
    if (c.type == "IDAT") sizes.push_back(c.data.size());
  ASSERT_FALSE(sizes.empty());
  for (std::size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 32768u);
  EXPECT_GE(sizes.back(), 1u);
  EXPECT_LE(sizes.back(), 32768u);
}

TEST(PngWriterFile, CaptionPictureWritesExactlyTheListedChunks) {
  const std::vector<RGBQUAD> palette = Halftone();
  const int grey = ReferenceNearest(palette.data(), 256, kGrey242);
  // Grey ground with strokes of two other entries, like outlined text.
  auto image = MakeImage(
      310, 180, 8,
      [&](int x, int y) -> std::uint32_t {
        if (y > 40 && y < 52 && (x * 7 + y * 3) % 11 < 3) return 0;
        if (y > 60 && y < 70 && x % 9 < 2) return 255;
        return std::uint32_t(grey);
      },
      palette);
  image->SetBGColor(kGrey242);
  image->SetTransColor(kGrey242);
  const Bytes file = Save(*image);
  const auto chunks = SplitChunks(file);

  EXPECT_EQ(ChunkOrder(chunks),
            (Types{"IHDR", "uxPg", "PLTE", "bKGD", "tRNS", "pHYs", "IDAT", "IEND"}));
  EXPECT_EQ(chunks[0].data, (Bytes{0, 0, 1, 0x36, 0, 0, 0, 0xB4, 8, 3, 0, 0, 0}));
  const Chunk* plte = FindChunk(chunks, "PLTE");
  ASSERT_EQ(plte->data.size(), 768u);
  EXPECT_EQ(plte->data[3 * grey], palette[grey].rgbRed);
  EXPECT_EQ(plte->data[3 * grey + 2], palette[grey].rgbBlue);
  EXPECT_EQ(FindChunk(chunks, "bKGD")->data, Bytes{std::uint8_t(grey)});
  Bytes trns(grey, 255);
  trns.push_back(0);
  EXPECT_EQ(FindChunk(chunks, "tRNS")->data, trns);
  EXPECT_EQ(FindChunk(chunks, "pHYs")->data, (Bytes{0, 0, 0, 1, 0, 0, 0, 1, 0}));
  ExpectIdatPieces(chunks);
  EXPECT_TRUE(std::equal(kIENDBytes.begin(), kIENDBytes.end(), file.end() - 12));

  const LibpngImage decoded = DecodeWithLibpng(file);
  EXPECT_TRUE(decoded.warnings.empty()) << decoded.warnings.front();
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 310; ++x)
      ASSERT_EQ(decoded.rows[y][x], StoredPixel(*image->Image(), x, y)[0]) << x << "," << y;
}

TEST(PngWriterFile, IdentificationChunkFollowsHeader) {
  auto image = std::make_unique<TUxPNG>();
  const auto chunks = SplitChunks(Save(*image));
  ASSERT_GE(chunks.size(), 2u);
  EXPECT_EQ(chunks[1].type, "uxPg");
  const Bytes& d = chunks[1].data;
  ASSERT_EQ(d.size(), 64u);
  const std::string text(reinterpret_cast<const char*>(d.data()));
  EXPECT_LT(text.size(), 40u);
  EXPECT_NE(text.find("Nimbrel"), std::string::npos);
  for (char c : text) EXPECT_TRUE(c >= 0x20 && c < 0x7F);
  for (std::size_t i = text.size(); i < 64; ++i) EXPECT_EQ(d[i], 0) << i;
}

TEST(PngWriterFile, FreshImageIsAnEightByEightBlackPaletteImage) {
  TUxPNG image;
  const Bytes file = Save(image);
  const auto chunks = SplitChunks(file);
  EXPECT_EQ(ChunkOrder(chunks), (Types{"IHDR", "uxPg", "PLTE", "pHYs", "IDAT", "IEND"}));
  EXPECT_EQ(chunks[0].data, (Bytes{0, 0, 0, 8, 0, 0, 0, 8, 1, 3, 0, 0, 0}));
  EXPECT_EQ(FindChunk(chunks, "PLTE")->data, Bytes(6, 0));
  EXPECT_EQ(FindChunk(chunks, "pHYs")->data, (Bytes{0, 0, 0, 1, 0, 0, 0, 1, 0}));
  EXPECT_TRUE(DecodeWithLibpng(file).warnings.empty());
}

TEST(PngWriterFile, TextGammaAndOffsetComeBeforeThePalette) {
  auto image = MakeImage(20, 30, 4, [](int x, int y) { return std::uint32_t(x + y) % 16; });
  image->FInfoText = "$#Title\r\nHello$#Author\r\nMe";
  image->Image()->Desc().Gamma = 45455;
  TMemoryStream stream;
  image->RectSaveToStream(stream, 10, 20, 5, 5);
  const auto chunks = SplitChunks(stream.Bytes());
  EXPECT_EQ(ChunkTypes(chunks), (Types{"IHDR", "uxPg", "tEXt", "tEXt", "gAMA", "oFFs", "PLTE",
                                       "pHYs", "IDAT", "IEND"}));
  EXPECT_EQ(chunks[2].data, (Bytes{'T', 'i', 't', 'l', 'e', 0, 'H', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(chunks[3].data, (Bytes{'A', 'u', 't', 'h', 'o', 'r', 0, 'M', 'e'}));
  EXPECT_EQ(chunks[4].data, (Bytes{0, 0, 0xB1, 0x8F}));
  EXPECT_EQ(chunks[5].data, (Bytes{0, 0, 0, 10, 0, 0, 0, 20, 0}));
  EXPECT_EQ(chunks[0].data, (Bytes{0, 0, 0, 5, 0, 0, 0, 5, 4, 3, 0, 0, 0}));
  const LibpngImage decoded = DecodeWithLibpng(stream.Bytes());
  EXPECT_TRUE(decoded.warnings.empty());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(decoded.rows[y][x], (x + 10 + y + 20) % 16);
}

TEST(PngWriterFile, ShiftJisCommentIsCopiedUnchanged) {
  TUxPNG image;
  image.FInfoText = AnsiString("\x93\xfa\x96\x7b\x8c\xea");
  const auto chunks = SplitChunks(Save(image));
  const Chunk* text = FindChunk(chunks, "tEXt");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->data,
            (Bytes{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0x93, 0xfa, 0x96, 0x7b, 0x8c, 0xea}));
}

// Rectangles: a real one gets oFFs, a zero width or height means the whole image.
TEST(PngWriterRect, ZeroSizeMeansWholeImageWithoutOffset) {
  auto image = MakeImage(12, 9, 8, [](int x, int y) { return std::uint32_t(x * 3 + y); });
  const Bytes whole = Save(*image);
  for (auto [l, t, w, h] : {std::array{0, 0, 0, 0}, {5, 5, 0, 10}, {3, 0, 4, 0}}) {
    TMemoryStream stream;
    image->RectSaveToStream(stream, l, t, w, h);
    EXPECT_EQ(stream.Bytes(), whole);
  }
  TMemoryStream origin;
  image->RectSaveToStream(origin, 0, 0, 4, 4);
  EXPECT_EQ(FindChunk(SplitChunks(origin.Bytes()), "oFFs"), nullptr);
}

TEST(PngWriterRect, OutsideTheImageIsRefusedBeforeWriting) {
  auto image = MakeImage(12, 9, 8, [](int, int) { return 0u; });
  for (auto [l, t, w, h] : {std::array{-1, 0, 4, 4},
                            {0, -1, 4, 4},
                            {9, 0, 4, 4},
                            {0, 6, 4, 4},
                            {0, 0, -4, 4},
                            {0, 0, 4, -1},
                            {0, 0, 13, 9},
                            {2147483647, 0, 2, 2}}) {
    TMemoryStream stream;
    try {
      image->RectSaveToStream(stream, l, t, w, h);
      ADD_FAILURE() << "accepted " << l << "," << t << "," << w << "," << h;
    } catch (const EVynCustomDIB& e) {
      EXPECT_STREQ(e.what(), "RectSaveToStream: error param");
    }
    EXPECT_TRUE(stream.Bytes().empty());
  }
  TMemoryStream edge;
  image->RectSaveToStream(edge, 8, 5, 4, 4);  // touches the right and bottom edge
  EXPECT_TRUE(DecodeWithLibpng(edge.Bytes()).warnings.empty());
}

// Colour keys and resolution, image by image.
struct KeyCase {
  const char* name;
  int bitCount;
  bool withAlpha;
  COLORREF bg, trans;
  Bytes bKGD, tRNS;  // empty: the chunk must be absent
};

class PngWriterKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(PngWriterKeys, BackgroundAndTransparency) {
  const KeyCase& k = GetParam();
  std::vector<RGBQUAD> palette;
  if (k.bitCount == 8)
    for (int i = 0; i < 8; ++i)
      palette.push_back(RGBQUAD{BYTE(i * 30), BYTE(i * 20), BYTE(i * 10), 0});
  auto image = MakeImage(
      3, 2, k.bitCount, [](int x, int) { return std::uint32_t(x); }, palette, k.withAlpha);
  image->SetBGColor(k.bg);
  image->SetTransColor(k.trans);
  const Bytes file = Save(*image);
  const auto chunks = SplitChunks(file);
  ExpectChunkData(chunks, "bKGD", k.bKGD);
  ExpectChunkData(chunks, "tRNS", k.tRNS);
  EXPECT_TRUE(DecodeWithLibpng(file).warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PngWriterKeys,
    testing::Values(
        KeyCase{"PaletteNoKeys", 8, false, clNone, clNone, {}, {}},
        // Entry 2 is red 20, green 40, blue 60; (20, 40, 61) is nearest to it.
        KeyCase{"PaletteNearest", 8, false, RGB(20, 40, 61), RGB(20, 40, 61), {2}, {255, 255, 0}},
        KeyCase{"PaletteFirstEntry", 8, false, RGB(0, 0, 0), RGB(0, 0, 1), {0}, {0}},
        KeyCase{"PaletteOutOfRangeIsNone", 8, false, 0x01000000, 0xFFFFFFFF, {}, {}},
        KeyCase{"RGBTransparentRed", 24, false, clNone, 0x000000FF, {}, {0, 0xFF, 0, 0, 0, 0}},
        KeyCase{"RGBBackground", 24, false, 0x00332211, clNone, {0, 0x11, 0, 0x22, 0, 0x33}, {}},
        KeyCase{"RGBANoBackgroundIsBlack", 32, true, clNone, clNone, Bytes(6, 0), {}},
        KeyCase{"RGBANeverTransparent", 32, true, 0x00010203, 0x000000FF, {0, 3, 0, 2, 0, 1}, {}},
        KeyCase{"ThirtyTwoBitWithoutAlphaFlag", 32, false, clNone, 0x000000FF, {}, {}}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

// A palette whose transparent (and background) entry shares its colour with a lower entry
// keeps its keys on the entry the file named: moving them to the lower entry would swap which
// pixels are transparent.
TEST(PngWriterKeysIndex, KeysStayOnTheIndexTheImageHolds) {
  pngread::Bytes palette;
  for (int i = 0; i < 8; ++i) palette.insert(palette.end(), {std::uint8_t(i * 20), 9, 9});
  for (int i : {3, 7}) std::fill_n(palette.begin() + 3 * i, 3, 255);
  const Bytes file = pngread::PngBuilder()
                         .IHDR(2, 1, 8, 3)
                         .Chunk("PLTE", palette)
                         .Chunk("tRNS", {255, 255, 255, 255, 255, 255, 255, 0})
                         .Chunk("bKGD", {7})
                         .IDAT({0, 3, 7})
                         .End();
  TUxPNG image;
  pngread::Load(image, file);
  const Bytes saved = Save(image);
  const auto chunks = SplitChunks(saved);
  EXPECT_EQ(FindChunk(chunks, "tRNS")->data, (Bytes{255, 255, 255, 255, 255, 255, 255, 0}));
  EXPECT_EQ(FindChunk(chunks, "bKGD")->data, Bytes{7});
  const LibpngImage decoded = DecodeWithLibpng(saved);
  EXPECT_EQ(decoded.rows[0], (Bytes{3, 7}));
  EXPECT_EQ(TransparentIndex(decoded), 7);
}

// A file's rows may use indices its palette lacks. PLTE then gets black entries up to the
// highest index the rectangle written uses, so every decoder sees the same picture.
TEST(PngWriterKeysIndex, PaletteReachesEveryIndexTheRowsUse) {
  const Bytes twoEntries = {10, 20, 30, 40, 50, 60};
  TUxPNG image;
  // The highest index lies in the second row.
  pngread::Load(image, pngread::PngBuilder()
                           .IHDR(3, 2, 8, 3)
                           .Chunk("PLTE", twoEntries)
                           .IDAT({0, 1, 5, 0, 0, 0, 200, 0})
                           .End());
  Bytes lengthened = twoEntries;
  lengthened.resize(201 * 3, 0);
  const Bytes saved = Save(image);
  EXPECT_EQ(FindChunk(SplitChunks(saved), "PLTE")->data, lengthened);
  const LibpngImage decoded = DecodeWithLibpng(saved);
  EXPECT_TRUE(decoded.warnings.empty()) << decoded.warnings.front();
  EXPECT_EQ(decoded.rows[1], (Bytes{0, 200, 0}));

  TMemoryStream right;
  image.RectSaveToStream(right, 2, 0, 1, 2);
  EXPECT_EQ(FindChunk(SplitChunks(right.Bytes()), "PLTE")->data, twoEntries);
}

TEST(PngWriterKeysIndex, AlphaTableIsWrittenUpToAlphaCount) {
  auto image = MakeImage(
      2, 2, 8, [](int x, int) { return std::uint32_t(x); },
      std::vector<RGBQUAD>(6, RGBQUAD{9, 9, 9, 0}));
  TVynCustomInternalDIB& store = *image->Image();
  TVynDIBDesc& desc = store.Desc();
  const Bytes alpha = {0, 128, 0, 255, 255, 255};
  std::copy(alpha.begin(), alpha.end(), AlphaTable(desc));
  desc.AlphaCount = 4;
  store.SetAlphaMode(kAlphaModeTable);
  store.AttachImage(desc);
  image->SetTransColor(RGB(9, 9, 9));  // ignored: the alpha table decides
  Bytes file = Save(*image);
  EXPECT_EQ(FindChunk(SplitChunks(file), "tRNS")->data, (Bytes{0, 128, 0, 255}));
  EXPECT_TRUE(DecodeWithLibpng(file).warnings.empty());

  // An empty table is no tRNS at all: a tRNS without bytes is invalid.
  desc.AlphaCount = 0;
  file = Save(*image);
  EXPECT_EQ(FindChunk(SplitChunks(file), "tRNS"), nullptr);
  EXPECT_TRUE(DecodeWithLibpng(file).warnings.empty());
}

struct PhysCase {
  const char* name;
  int unit, x, y;
  Bytes pHYs;  // empty: absent
};

class PngWriterPhys : public testing::TestWithParam<PhysCase> {};

TEST_P(PngWriterPhys, Resolution) {
  const PhysCase& p = GetParam();
  TUxPNG image;
  TVynDIBDesc& desc = image.Image()->Desc();
  desc.UnitSpecifier = p.unit;
  desc.WidthSpecific = p.x;
  desc.HeightSpecific = p.y;
  ExpectChunkData(SplitChunks(Save(image)), "pHYs", p.pHYs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PngWriterPhys,
    testing::Values(PhysCase{"AspectOnly", 0, 2, 3, {0, 0, 0, 2, 0, 0, 0, 3, 0}},
                    PhysCase{"Metre", 1, 5000, 4000, {0, 0, 0x13, 0x88, 0, 0, 0x0F, 0xA0, 1}},
                    PhysCase{"Inch96", 2, 96, 72, {0, 0, 0x0E, 0xC3, 0, 0, 0x0B, 0x12, 1}},
                    PhysCase{"UnknownUnit", 3, 96, 96, {}}, PhysCase{"ZeroWidth", 1, 0, 96, {}},
                    PhysCase{"ZeroHeight", 0, 1, 0, {}}, PhysCase{"Negative", 1, -5, 96, {}}),
    [](const testing::TestParamInfo<PhysCase>& info) { return std::string(info.param.name); });

// Failures.
TEST(PngWriterFailure, UnsupportedBitCountWritesNothing) {
  TUxPNG image;
  TVynDIBDesc desc = image.Image()->Desc();
  desc.BitCount = 16;
  PngWriteSource source;
  source.Desc = &desc;
  TMemoryStream stream;
  PngWriteState state;
  state.Stream = &stream;
  try {
    PngWriteImage(state, source, 0, 0, 0, 0, nullptr);
    ADD_FAILURE() << "16 bits accepted";
  } catch (const EQorPNG& e) {
    EXPECT_STREQ(e.what(), "PNG SaveStream: support BitCount");
  }
  EXPECT_TRUE(stream.Bytes().empty());
  EXPECT_EQ(state.Deflater, nullptr);
  EXPECT_TRUE(state.PriorRow.empty());
}

// A stream that takes a limited number of bytes, then refuses.
class ShortStream : public TMemoryStream {
 public:
  explicit ShortStream(std::size_t limit) : limit_(limit) {}
  std::size_t Write(const void* buffer, std::size_t count) override {
    const std::size_t room = limit_ - std::min(limit_, Bytes().size());
    return TMemoryStream::Write(buffer, std::min(count, room));
  }

 private:
  std::size_t limit_;
};

TEST(PngWriterFailure, StreamErrorPassesOnAndReleasesEverything) {
  auto image =
      MakeImage(300, 200, 24, [](int x, int y) { return std::uint32_t(x * 7919 ^ y * 104729); });
  const std::size_t full = Save(*image).size();
  for (std::size_t limit : {std::size_t(0), std::size_t(8), std::size_t(40), full / 2, full - 1}) {
    ShortStream stream(limit);
    EXPECT_THROW(image->SaveToStream(stream), EWriteError) << limit;
    EXPECT_EQ(stream.Bytes().size(), limit);  // what was written stays
  }
}

TEST(PngWriterFailure, EmptyImageIsRefused) {
  TUxPNG image;
  image.Image()->FreeImage();
  TMemoryStream stream;
  try {
    image.SaveToStream(stream);
    ADD_FAILURE();
  } catch (const EVynCustomDIB& e) {
    EXPECT_STREQ(e.what(), "SaveToStream: not Image");
  }
  try {
    image.RectSaveToStream(stream, 0, 0, 1, 1);
    ADD_FAILURE();
  } catch (const EVynCustomDIB& e) {
    EXPECT_STREQ(e.what(), "RectSaveToStream: not Image");
  }
  EXPECT_TRUE(stream.Bytes().empty());
}

}  // namespace

namespace {

// The rows as compressed: the adaptive choice keeps the earlier filter on a tie.
TEST(PngWriterRows, TiesKeepTheEarlierFilter) {
  auto single = MakeImage(1, 1, 8, [](int, int) { return 77u; });
  EXPECT_EQ(InflateImageData(SplitChunks(Save(*single))), (Bytes{0, 77}));

  // Row 0 against zeros: None and Sub both cost 10, None stays. Row 1 [10, 10] over [0, 10]:
  // Sub, Up, Average and Paeth all cost 10 against None's 20, Sub comes first.
  const std::uint32_t pixels[2][2] = {{0, 10}, {10, 10}};
  auto tie = MakeImage(2, 2, 8, [&](int x, int y) { return pixels[y][x]; });
  EXPECT_EQ(InflateImageData(SplitChunks(Save(*tie))), (Bytes{0, 0, 10, 1, 10, 0}));
}

}  // namespace

namespace {

TEST(PngWriterFile, TruecolourImageWithAPaletteSuggestsIt) {
  const std::vector<RGBQUAD> palette = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  auto image = MakeImage(
      4, 4, 24, [](int x, int y) { return std::uint32_t(x * 0x10203 + y); }, palette);
  const Bytes file = Save(*image);
  const auto chunks = SplitChunks(file);
  EXPECT_EQ(ChunkOrder(chunks), (Types{"IHDR", "uxPg", "PLTE", "pHYs", "IDAT", "IEND"}));
  EXPECT_EQ(FindChunk(chunks, "PLTE")->data, (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7}));
  EXPECT_TRUE(DecodeWithLibpng(file).warnings.empty());
}

TEST(PngWriterFailure, RowTooLargeToHoldIsOutOfMemoryBeforeWriting) {
  TUxPNG image;
  TVynDIBDesc desc = image.Image()->Desc();
  desc.BitCount = 32;
  desc.Width = 0x7FFFFFFF;
  PngWriteSource source;
  source.Desc = &desc;
  TMemoryStream stream;
  PngWriteState state;
  state.Stream = &stream;
  EXPECT_THROW(PngWriteImage(state, source, 0, 0, 0, 0, nullptr), EOutOfMemory);
  EXPECT_TRUE(stream.Bytes().empty());
}

}  // namespace
