// What our writer saves, our reader loads back exactly: every bit count, plain and
// interlaced, with every filter choice.
#include <tuple>

#include "tests/png/png_reader_test_util.h"

namespace {

using namespace pngread;

constexpr int kWidth = 47;  // odd sizes exercise row padding and partial Adam7 passes
constexpr int kHeight = 33;

std::vector<RGBQUAD> SomePalette(int count) {
  std::vector<RGBQUAD> p;
  for (int i = 0; i < count; ++i)
    p.push_back({BYTE(i * 37 + 5), BYTE(255 - i * 11), BYTE(i * 3), 0});
  return p;
}

// An image of the given bit count (32 means 32 bits with alpha) with varied pixels.
void Fill(TUxPNG& image, int bits) {
  TVynCustomInternalDIB& store = *image.Image();
  const int colours = bits == 1 ? 2 : bits == 4 ? 16 : 256;
  const std::vector<RGBQUAD> palette = SomePalette(colours);
  store.CreateImage(kWidth, kHeight, bits == 32, palette.data(), bits <= 8 ? colours : 0,
                    bits == 32 ? 24 : bits);
  std::uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      const DWORD v = (seed >> 8) ^ DWORD(x * 3 + y);
      store.SetPixel(x, y, bits <= 8 ? v % DWORD(colours) : bits == 24 ? v & 0xFFFFFF : v);
    }
}

class RoundTrip : public testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(RoundTrip, PixelsAndPaletteComeBackExactly) {
  const auto [bits, interlace, filter] = GetParam();
  TUxPNG original;
  Fill(original, bits);
  original.Settings.Interlace = interlace;
  original.Settings.Filter = filter;
  TMemoryStream stream;
  original.SaveToStream(stream);

  TUxPNG loaded;
  Load(loaded, stream.Bytes());
  TVynCustomInternalDIB& a = *original.Image();
  TVynCustomInternalDIB& b = *loaded.Image();
  ASSERT_EQ(b.BitCount(), a.BitCount());
  ASSERT_EQ(b.Width(), kWidth);
  ASSERT_EQ(b.Height(), kHeight);
  EXPECT_EQ(loaded.FInfoInterlace, interlace);
  if (bits <= 8) {
    ASSERT_EQ(b.PaletteCount(), a.PaletteCount());
    EXPECT_EQ(0, std::memcmp(a.Palette(), b.Palette(), std::size_t(a.PaletteCount()) * 4));
  }
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) ASSERT_EQ(b.GetPixel(x, y), a.GetPixel(x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RoundTrip,
                         testing::Combine(testing::Values(1, 4, 8, 24, 32), testing::Values(0, 1),
                                          testing::Values(0, 1, 2, 3, 4, 5)));

TEST(RoundTripKeys, TransparentAndBackgroundGreyOfAPaletteImage) {
  TUxPNG original;
  std::vector<RGBQUAD> palette = SomePalette(256);
  palette[77] = {242, 242, 242, 0};
  original.Image()->CreateImage(8, 8, false, palette.data(), 256, 8);
  original.SetBGColor(0xF2F2F2);
  original.SetTransColor(0xF2F2F2);
  original.FInfoText = AnsiString("$#Title\r\nabc");
  TMemoryStream stream;
  original.SaveToStream(stream);

  TUxPNG loaded;
  Load(loaded, stream.Bytes());
  EXPECT_EQ(loaded.GetTransColor(), 0xF2F2F2u);
  EXPECT_EQ(loaded.GetBGColor(), 0xF2F2F2u);
  EXPECT_EQ(loaded.Image()->TransIndex(), 77);
  EXPECT_EQ(loaded.Image()->BGIndex(), 77);
  EXPECT_EQ(loaded.FInfoText.bytes(), "$#Title\r\nabc");
}

}  // namespace
