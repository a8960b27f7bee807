// The BMP writers: whole image and rectangle, their sizes, and round trips through the reader.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bmp_test_util.h"
#include "dib_test_util.h"

namespace {

// Fills every pixel byte with a pattern that differs per row and column.
void FillPattern(TVynCustomDIB& image) {
  const TVynDIBDesc& d = image.Image()->Desc();
  for (int y = 0; y < d.Height; ++y)
    for (int i = 0; i < d.LineSize; ++i)
      d.Bits[std::size_t(y) * d.LineSize + i] = BYTE(y * 31 + i * 7);
  // Padding past the last pixel is not part of the picture; keep it 0 as the reader makes it.
  const std::size_t used = (std::size_t(d.Width) * d.BitCount + 7) / 8;
  const int spare = int(used * 8 - std::size_t(d.Width) * d.BitCount);
  for (int y = 0; y < d.Height; ++y) {
    BYTE* row = d.Bits + std::size_t(y) * d.LineSize;
    if (spare != 0) row[used - 1] &= BYTE(0xFF << spare);
    std::memset(row + used, 0, d.LineSize - used);
  }
}

TEST(BmpWriter, FourByTwoEightBitSizes) {
  TVynCustomDIB image;
  Remake(image, 4, 2, 8);  // 256 entries
  const Bytes file = SaveBytes(image);
  EXPECT_EQ(file.size(), 1086u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(GetU32(file, 2), 1086u);
  EXPECT_EQ(GetU32(file, 6), 0u);
  EXPECT_EQ(GetU32(file, 10), 1078u);
  EXPECT_EQ(GetU32(file, 14), 40u);
  EXPECT_EQ(GetU32(file, 14 + 32), 256u);  // colours used
}

class BmpRoundTrip : public testing::TestWithParam<int> {};

TEST_P(BmpRoundTrip, OddSizedImageComesBackUnchanged) {
  TVynCustomDIB image;
  std::vector<RGBQUAD> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({BYTE(i), BYTE(255 - i), BYTE(i * 3), 0});
  Remake(image, 47, 33, GetParam(), GetParam() <= 8 ? palette : std::vector<RGBQUAD>{});
  FillPattern(image);
  const Bytes file = SaveBytes(image);

  TVynCustomDIB loaded;
  LoadBytes(loaded, file);
  TVynCustomInternalDIB& a = *image.Image();
  TVynCustomInternalDIB& b = *loaded.Image();
  ASSERT_EQ(b.Width(), 47);
  ASSERT_EQ(b.Height(), 33);
  ASSERT_EQ(b.BitCount(), GetParam());
  EXPECT_EQ(0, std::memcmp(a.Desc().Bits, b.Desc().Bits, std::size_t(a.LineSize()) * 33));
  if (GetParam() <= 8) {
    ASSERT_EQ(b.PaletteCount(), a.PaletteCount());
    EXPECT_EQ(0, std::memcmp(a.Palette(), b.Palette(), a.PaletteCount() * sizeof(RGBQUAD)));
  }
  // Saving what was read gives the same file again, apart from the resolution written for
  // an image without a unit.
  if (GetParam() <= 8) {
    Bytes again = SaveBytes(loaded);
    ASSERT_EQ(again.size(), file.size());
    std::memset(again.data() + 14 + 24, 0, 8);
    EXPECT_EQ(again, file);
  }
}

INSTANTIATE_TEST_SUITE_P(BitCounts, BmpRoundTrip, testing::Values(1, 4, 8, 24, 32));

TEST(BmpWriter, ThirtyTwoBitAlphaRoundTrip) {
  TVynCustomDIB image;
  Remake(image, 3, 2, 32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      image.Image()->SetPixel(x, y, DWORD(0x20 * (x + 3 * y)) << 24 | 0x102030);
  const Bytes file = SaveBytes(image);
  EXPECT_EQ(GetU32(file, 14 + 14) & 0xFFFF, 32u);  // bit count
  EXPECT_EQ(GetU32(file, 14 + 16), 0u);            // BI_RGB: no masks are written
  TVynCustomDIB loaded;
  LoadBytes(loaded, file);
  EXPECT_EQ(loaded.Image()->GetAlphaMode(), kAlphaModePixel);
  EXPECT_TRUE(loaded.GetAlphaFlag());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(loaded.Image()->GetPixel(x, y), image.Image()->GetPixel(x, y));
  // Written again, the pixels carry the same alpha bytes (the table the reader gave the image
  // comes before them).
  const Bytes again = SaveBytes(loaded);
  EXPECT_TRUE(std::equal(file.end() - 24, file.end(), again.end() - 24));
}

// ---- rectangles

TEST(BmpRectWriter, WritesTheRectangleBottomRowFirst) {
  TVynCustomDIB image;
  Remake(image, 5, 4, 8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) image.Image()->SetPixel(x, y, DWORD(10 * y + x));
  TMemoryStream stream;
  image.RectSaveToStream(stream, 1, 1, 3, 2);
  const Bytes& file = stream.Bytes();
  ASSERT_EQ(file.size(), 54u + 1024 + 2 * 4);
  EXPECT_EQ(GetU32(file, 2), file.size());
  EXPECT_EQ(GetU32(file, 10), 1078u);
  EXPECT_EQ(GetU32(file, 18), 3u);
  EXPECT_EQ(GetU32(file, 22), 2u);
  const Bytes rows(file.begin() + 1078, file.end());
  EXPECT_EQ(rows, (Bytes{21, 22, 23, 0, 11, 12, 13, 0}));

  TVynCustomDIB loaded;
  LoadBytes(loaded, file);
  EXPECT_EQ(loaded.Image()->GetPixel(0, 0), 11u);
  EXPECT_EQ(loaded.Image()->GetPixel(2, 1), 23u);
}

TEST(BmpRectWriter, RealignsOneBitPixels) {
  TVynCustomDIB image;
  Remake(image, 12, 1, 1);
  image.Image()->Desc().Bits[0] = 0b00010110;
  image.Image()->Desc().Bits[1] = 0b10000000;
  TMemoryStream stream;
  image.RectSaveToStream(stream, 3, 0, 6, 1);
  const Bytes& file = stream.Bytes();
  ASSERT_EQ(file.size(), 54u + 8 + 4);
  EXPECT_EQ(file[62], 0b10110100);  // pixels 3..8, then zero bits
}

TEST(BmpRectWriter, ZeroSizeMeansTheWholeImage) {
  TVynCustomDIB image;
  Remake(image, 5, 3, 24);
  FillPattern(image);
  TMemoryStream rect;
  image.RectSaveToStream(rect, 0, 0, 0, 0);
  EXPECT_EQ(rect.Bytes(), SaveBytes(image));
}

struct RectCase {
  int left, top, width, height;
};

class BmpRectParam : public testing::TestWithParam<RectCase> {};

TEST_P(BmpRectParam, OutsideTheImageIsRefused) {
  TVynCustomDIB image;
  Remake(image, 5, 4, 8);
  TMemoryStream stream;
  const RectCase& c = GetParam();
  ExpectDIBError([&] { image.RectSaveToStream(stream, c.left, c.top, c.width, c.height); },
                 "RectSaveToStream: error param");
  EXPECT_EQ(stream.GetSize(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, BmpRectParam,
                         testing::Values(RectCase{-1, 0, 2, 2}, RectCase{0, -1, 2, 2},
                                         RectCase{4, 0, 2, 2}, RectCase{0, 3, 2, 2},
                                         RectCase{1, 0, -1, 2}, RectCase{0, 1, 2, -1},
                                         // left + width wraps around in 32 bits
                                         RectCase{2, 0, INT32_MAX, 1}));

TEST(BmpRectWriter, SaveToFileOverwritesWithoutTruncating) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("bmp_rect_" + std::to_string(getpid()) + ".bmp");
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(5000, 'z');
  }
  TVynCustomDIB image;
  Remake(image, 2, 2, 8);
  image.RectSaveToFile(path.string(), 0, 0, 2, 2);
  std::ifstream in(path, std::ios::binary);
  const Bytes bytes((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove(path);
  ASSERT_EQ(bytes.size(), 5000u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1086 - 1], 0);
  EXPECT_EQ(bytes[1086], 'z');
}

TEST(BmpRectWriter, SaveToFileNeedsAnExistingFile) {
  TVynCustomDIB image;
  EXPECT_THROW(image.RectSaveToFile("/nonexistent-dir/x.bmp", 0, 0, 0, 0), EFOpenError);
}

}  // namespace
