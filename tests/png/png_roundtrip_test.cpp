// What we write, libpng decodes to exactly the pixels we stored, without a complaint, and our
// reader loads back exactly: every bit count, plain and interlaced, with every filter setting,
// in every kernel variant the processor has, all of which write the same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "png/png_writer.h"
#include "tests/png/png_reader_test_util.h"
#include "tests/png/png_writer_test_util.h"
#include "tests/png/simd_levels.h"

namespace {

using namespace pngtest;

std::vector<RGBQUAD> DistinctPalette(int count) {
  std::vector<RGBQUAD> palette;
  for (int i = 0; i < count; ++i)
    palette.push_back(RGBQUAD{BYTE(i * 7), BYTE(255 - i), BYTE(i * 13 + 5), 0});
  return palette;
}

// Smooth areas, edges and noise, so every filter gets rows it wins on.
std::uint32_t Pattern(int x, int y, int bitCount, std::uint32_t noise) {
  std::uint32_t v = (x * 3 + y * 5) + ((x / 4 + y / 3) % 2) * 90 + (noise % 7);
  if ((x + y) % 5 == 0) v ^= noise;
  switch (bitCount) {
    case 1:
      return v & 1;
    case 4:
      return v & 15;
    case 8:
      return v & 255;
    case 24:
      return (v * 0x010203u + noise) & 0xFFFFFF;
    default:
      return v * 0x01020304u + noise;
  }
}

// Every kernel variant the processor has writes the same bytes; returns them.
Bytes SaveInEveryVariant(TUxPNG& image) {
  Bytes first;
  for (SimdLevel level : RunnableSimdLevels()) {
    TMemoryStream stream;
    PngWriteState state;
    state.Stream = &stream;
    state.Image = &image;
    state.MaxSimdLevel = level;
    PngSaveStream(state, 0, 0, 0, 0, &image.Settings);
    const Bytes& file = stream.Bytes();
    if (first.empty())
      first = file;
    else
      EXPECT_EQ(file, first) << SimdLevelName(level) << " wrote other bytes";
  }
  return first;
}

// A fixed filter is used on every row; adaptive rows carry one of the five types.
void ExpectFilterTypes(const Bytes& file, int bitCount, int filter, int width, int height) {
  const Bytes data = InflateImageData(SplitChunks(file));
  const std::size_t stride = (std::size_t(width) * bitCount + 7) / 8 + 1;
  ASSERT_EQ(data.size(), stride * std::size_t(height));
  for (std::size_t row = 0; row < std::size_t(height); ++row) {
    const int type = data[row * stride];
    if (filter >= 1 && filter <= 5)
      ASSERT_EQ(type, filter - 1) << "row " << row;
    else
      ASSERT_LT(type, 5) << "row " << row;
  }
}

void ExpectLibpngSeesTheStore(const Bytes& file, TVynCustomInternalDIB& store, int interlace) {
  const LibpngImage d = DecodeWithLibpng(file);
  EXPECT_TRUE(d.warnings.empty()) << d.warnings.front();
  ASSERT_EQ(d.width, std::uint32_t(store.Width()));
  ASSERT_EQ(d.height, std::uint32_t(store.Height()));
  EXPECT_EQ(d.interlace, interlace == 1 ? 1 : 0);
  EXPECT_EQ(d.bitDepth, store.BitCount() <= 8 ? store.BitCount() : 8);
  for (int y = 0; y < store.Height(); ++y)
    for (int x = 0; x < store.Width(); ++x) {
      const Bytes expected = StoredPixel(store, x, y);
      const Bytes got(d.rows[y].begin() + std::ptrdiff_t(x) * d.channels,
                      d.rows[y].begin() + std::ptrdiff_t(x + 1) * d.channels);
      ASSERT_EQ(got, expected) << "pixel " << x << "," << y;
    }
}

// Our reader, in every kernel variant, loads back exactly what was saved.
void ExpectOurReaderGetsTheStore(const Bytes& file, TVynCustomInternalDIB& a, int interlace) {
  for (SimdLevel level : RunnableSimdLevels()) {
    SCOPED_TRACE(SimdLevelName(level));
    TUxPNG loaded;
    loaded.ReadLimits.MaxSimdLevel = level;
    pngread::Load(loaded, file);
    TVynCustomInternalDIB& b = *loaded.Image();
    ASSERT_EQ(b.BitCount(), a.BitCount());
    ASSERT_EQ(b.Width(), a.Width());
    ASSERT_EQ(b.Height(), a.Height());
    EXPECT_EQ(loaded.FInfoInterlace, interlace);
    if (a.BitCount() <= 8) {
      ASSERT_EQ(b.PaletteCount(), a.PaletteCount());
      EXPECT_EQ(0, std::memcmp(a.Palette(), b.Palette(), std::size_t(a.PaletteCount()) * 4));
    }
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x)
        ASSERT_EQ(b.GetPixel(x, y), a.GetPixel(x, y)) << x << "," << y;
  }
}

struct RoundTripCase {
  int bitCount;
  int interlace;
};

std::string CaseName(const testing::TestParamInfo<RoundTripCase>& info) {
  return "Bits" + std::to_string(info.param.bitCount) +
         (info.param.interlace == 1 ? "Adam7" : "Plain");
}

class PngRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(PngRoundTrip, LibpngAndOurReaderGetTheStoredPixels) {
  const RoundTripCase& c = GetParam();
  // Odd sizes exercise row padding and partial Adam7 passes.
  const std::pair<int, int> sizes[] = {{1, 1}, {7, 3}, {13, 11}, {33, 17}, {2, 9}, {47, 33}};
  for (int filter = 0; filter <= 5; ++filter)
    for (auto [width, height] : sizes) {
      SCOPED_TRACE("filter " + std::to_string(filter) + ", " + std::to_string(width) + " x " +
                   std::to_string(height));
      std::mt19937 rng(unsigned(width * 131 + height));
      std::vector<std::uint32_t> noise(std::size_t(width) * height);
      for (auto& n : noise) n = rng();
      auto image = MakeImage(
          width, height, c.bitCount,
          [&](int x, int y) {
            return Pattern(x, y, c.bitCount, noise[std::size_t(y) * width + x]);
          },
          c.bitCount <= 8 ? DistinctPalette(1 << c.bitCount) : std::vector<RGBQUAD>{});
      image->Settings.Interlace = c.interlace;
      image->Settings.Filter = filter;
      TVynCustomInternalDIB& store = *image->Image();

      const Bytes file = SaveInEveryVariant(*image);
      if (c.interlace != 1) ExpectFilterTypes(file, c.bitCount, filter, width, height);
      ExpectLibpngSeesTheStore(file, store, c.interlace);
      ExpectOurReaderGetsTheStore(file, store, c.interlace);
      if (HasFatalFailure()) return;
    }
}

std::vector<RoundTripCase> AllCases() {
  std::vector<RoundTripCase> cases;
  for (int bits : {1, 4, 8, 24, 32})
    for (int interlace : {0, 1}) cases.push_back({bits, interlace});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, PngRoundTrip, testing::ValuesIn(AllCases()), CaseName);

// Settings outside the listed values fall back to adaptive filtering, no interlacing and the
// default level; the levels themselves only change the size.
TEST(PngRoundTripSettings, OtherValuesAndLevelsStillDecode) {
  auto image = MakeImage(64, 40, 24, [](int x, int y) { return std::uint32_t(x * 4 + y * 1000); });
  for (SaveSettings s : {SaveSettings{9, 2, 1}, SaveSettings{-1, -1, 2}, SaveSettings{0, 0, 3}}) {
    image->Settings = s;
    const Bytes file = Save(*image);
    const LibpngImage d = DecodeWithLibpng(file);
    EXPECT_TRUE(d.warnings.empty());
    EXPECT_EQ(d.interlace, 0);
    EXPECT_EQ(d.rows[39][3 * 63], std::uint8_t((63 * 4 + 39 * 1000) >> 16));
  }
}

}  // namespace

namespace {

// A rectangle starts mid-row: packed pixels are re-aligned, truecolour pixels swapped from
// the right place.
TEST(PngRoundTripRect, RectangleHoldsTheImagePixelsAtItsOffset) {
  for (int bits : {1, 4, 8, 24, 32})
    for (int interlace : {0, 1}) {
      auto image = MakeImage(
          37, 12, bits,
          [bits](int x, int y) { return Pattern(x, y, bits, std::uint32_t(x * 7919 + y * 31)); },
          bits == 8 ? DistinctPalette(256) : std::vector<RGBQUAD>{});
      image->Settings.Interlace = interlace;
      TMemoryStream stream;
      image->RectSaveToStream(stream, 3, 2, 29, 9);
      const LibpngImage d = DecodeWithLibpng(stream.Bytes());
      EXPECT_TRUE(d.warnings.empty());
      ASSERT_EQ(d.width, 29u);
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 29; ++x) {
          const Bytes got(d.rows[y].begin() + std::ptrdiff_t(x) * d.channels,
                          d.rows[y].begin() + std::ptrdiff_t(x + 1) * d.channels);
          ASSERT_EQ(got, StoredPixel(*image->Image(), x + 3, y + 2))
              << bits << " bits, pixel " << x << "," << y;
        }
    }
}

}  // namespace

namespace {

TEST(RoundTripKeys, TransparentAndBackgroundGreyOfAPaletteImage) {
  TUxPNG original;
  std::vector<RGBQUAD> palette = DistinctPalette(256);
  palette[77] = {242, 242, 242, 0};
  original.Image()->CreateImage(8, 8, false, palette.data(), 256, 8);
  original.SetBGColor(0xF2F2F2);
  original.SetTransColor(0xF2F2F2);
  original.FInfoText = AnsiString("$#Title\r\nabc");
  TMemoryStream stream;
  original.SaveToStream(stream);

  TUxPNG loaded;
  pngread::Load(loaded, stream.Bytes());
  EXPECT_EQ(loaded.GetTransColor(), 0xF2F2F2u);
  EXPECT_EQ(loaded.GetBGColor(), 0xF2F2F2u);
  EXPECT_EQ(loaded.Image()->TransIndex(), 77);
  EXPECT_EQ(loaded.Image()->BGIndex(), 77);
  EXPECT_EQ(loaded.FInfoText.bytes(), "$#Title\r\nabc");
}

}  // namespace
