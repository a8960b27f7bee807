// What we write, libpng decodes to exactly the pixels we stored, without a complaint.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "png_writer_test_util.h"

namespace {

using namespace pngtest;

struct RoundTripCase {
  int bitCount;
  int interlace;
  int filter;
  int width, height;
};

std::string CaseName(const testing::TestParamInfo<RoundTripCase>& info) {
  const RoundTripCase& c = info.param;
  std::ostringstream name;
  name << "Bits" << c.bitCount << (c.interlace == 1 ? "Adam7" : "Plain") << "Filter" << c.filter
       << "_" << c.width << "x" << c.height;
  return name.str();
}

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

class PngRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(PngRoundTrip, LibpngDecodesTheStoredPixels) {
  const RoundTripCase& c = GetParam();
  std::mt19937 rng(unsigned(c.width * 131 + c.height));
  std::vector<std::uint32_t> noise(std::size_t(c.width) * c.height);
  for (auto& n : noise) n = rng();
  auto image = MakeImage(
      c.width, c.height, c.bitCount,
      [&](int x, int y) { return Pattern(x, y, c.bitCount, noise[std::size_t(y) * c.width + x]); },
      c.bitCount == 8 ? DistinctPalette(256) : std::vector<RGBQUAD>{});
  image->Settings.Interlace = c.interlace;
  image->Settings.Filter = c.filter;
  const Bytes file = Save(*image);

  if (c.interlace != 1) {
    // A fixed filter is used on every row; adaptive rows carry one of the five types.
    const Bytes data = InflateImageData(SplitChunks(file));
    const std::size_t stride = (std::size_t(c.width) * c.bitCount + 7) / 8 + 1;
    ASSERT_EQ(data.size(), stride * std::size_t(c.height));
    for (std::size_t row = 0; row < std::size_t(c.height); ++row) {
      const int type = data[row * stride];
      if (c.filter >= 1 && c.filter <= 5)
        ASSERT_EQ(type, c.filter - 1) << "row " << row;
      else
        ASSERT_LT(type, 5) << "row " << row;
    }
  }
  const LibpngImage d = DecodeWithLibpng(file);
  EXPECT_TRUE(d.warnings.empty()) << d.warnings.front();
  ASSERT_EQ(d.width, std::uint32_t(c.width));
  ASSERT_EQ(d.height, std::uint32_t(c.height));
  EXPECT_EQ(d.interlace, c.interlace == 1 ? 1 : 0);
  EXPECT_EQ(d.bitDepth, c.bitCount <= 8 ? c.bitCount : 8);
  TVynCustomInternalDIB& store = *image->Image();
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const Bytes expected = StoredPixel(store, x, y);
      const Bytes got(d.rows[y].begin() + std::ptrdiff_t(x) * d.channels,
                      d.rows[y].begin() + std::ptrdiff_t(x + 1) * d.channels);
      ASSERT_EQ(got, expected) << "pixel " << x << "," << y;
    }
}

std::vector<RoundTripCase> AllCases() {
  std::vector<RoundTripCase> cases;
  const std::pair<int, int> sizes[] = {{1, 1}, {7, 3}, {13, 11}, {33, 17}, {2, 9}};
  for (int bits : {1, 4, 8, 24, 32})
    for (int interlace : {0, 1})
      for (int filter : {0, 1, 2, 3, 4, 5})
        for (auto [w, h] : sizes) cases.push_back({bits, interlace, filter, w, h});
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
