// The BMP writers: whole image and rectangle, their sizes, and round trips through our reader
// and through Qt's, a decoder that is not ours.
#include <gtest/gtest.h>
#include <unistd.h>
#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bmp_test_util.h"
#include "dib_test_util.h"

namespace {

// Fills every pixel byte with a pattern that differs per row and column; 8-bit pixels stay
// within the palette.
void FillPattern(TVynCustomDIB& image) {
  const TVynDIBDesc& d = image.Image()->Desc();
  const int values = d.BitCount == 8 ? d.PaletteCount : 256;
  for (int y = 0; y < d.Height; ++y)
    for (int i = 0; i < d.LineSize; ++i)
      d.Bits[std::size_t(y) * d.LineSize + i] = BYTE((y * 31 + i * 7) % values);
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

// Qt reads the file as the rectangle (left, top, width, height) of the store: size, colour
// table with its count, and every pixel's colour. Qt finds the pixels through the file
// header's offset and counts the table from the info header, so both must be right.
void ExpectQtReads(const Bytes& file, TVynCustomInternalDIB& store, int left, int top, int width,
                   int height) {
  QByteArray data(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "bmp");
  const QImage qt = reader.read();
  ASSERT_FALSE(qt.isNull()) << reader.errorString().toStdString();
  ASSERT_EQ(qt.width(), width);
  ASSERT_EQ(qt.height(), height);
  if (store.BitCount() <= 8) {
    std::vector<QRgb> ours, theirs;
    for (int i = 0; i < store.PaletteCount(); ++i) {
      const RGBQUAD& e = store.Palette()[i];
      ours.push_back(qRgb(e.rgbRed, e.rgbGreen, e.rgbBlue) & 0xFFFFFF);
    }
    for (int i = 0; i < qt.colorCount(); ++i) theirs.push_back(qt.color(i) & 0xFFFFFF);
    // Qt puts the darker of two 1-bit entries first, inverting the pixels to match.
    if (store.BitCount() == 1) {
      std::sort(ours.begin(), ours.end());
      std::sort(theirs.begin(), theirs.end());
    }
    EXPECT_EQ(theirs, ours);
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF c = store.GetPixelColor(left + x, top + y);
      ASSERT_EQ(qt.pixel(x, y) & 0xFFFFFF,
                qRgb(GetRValue(c), GetGValue(c), GetBValue(c)) & 0xFFFFFF)
          << "pixel " << x << ", " << y;
    }
}

struct BmpFormat {
  int bitCount;
  int paletteCount;  // asked of the store; 1 and 4 bits keep 2 and 16 whatever is asked
};

class BmpRoundTrip : public testing::TestWithParam<BmpFormat> {};

TEST_P(BmpRoundTrip, OddSizedImageComesBackUnchanged) {
  const int bitCount = GetParam().bitCount;
  TVynCustomDIB image;
  std::vector<RGBQUAD> palette;
  for (int i = 0; i < GetParam().paletteCount; ++i)
    palette.push_back({BYTE(i), BYTE(255 - i), BYTE(i * 3), 0});
  Remake(image, 47, 33, bitCount, palette);
  FillPattern(image);
  const Bytes file = SaveBytes(image);
  ExpectQtReads(file, *image.Image(), 0, 0, 47, 33);
  TMemoryStream rectangle;
  image.RectSaveToStream(rectangle, 5, 3, 30, 21);
  ExpectQtReads(rectangle.Bytes(), *image.Image(), 5, 3, 30, 21);

  TVynCustomDIB loaded;
  LoadBytes(loaded, file);
  TVynCustomInternalDIB& a = *image.Image();
  TVynCustomInternalDIB& b = *loaded.Image();
  ASSERT_EQ(b.Width(), 47);
  ASSERT_EQ(b.Height(), 33);
  ASSERT_EQ(b.BitCount(), bitCount);
  EXPECT_EQ(0, std::memcmp(a.Desc().Bits, b.Desc().Bits, std::size_t(a.LineSize()) * 33));
  if (bitCount <= 8) {
    ASSERT_EQ(b.PaletteCount(), a.PaletteCount());
    EXPECT_EQ(0, std::memcmp(a.Palette(), b.Palette(), a.PaletteCount() * sizeof(RGBQUAD)));
  }
  // Saving what was read gives the same file again, apart from the resolution written for
  // an image without a unit.
  if (bitCount <= 8) {
    Bytes again = SaveBytes(loaded);
    ASSERT_EQ(again.size(), file.size());
    std::memset(again.data() + 14 + 24, 0, 8);
    EXPECT_EQ(again, file);
  }
}

// A 24-bit store may keep a colour table too: the pixels then start after it.
INSTANTIATE_TEST_SUITE_P(BitCounts, BmpRoundTrip,
                         testing::Values(BmpFormat{1, 2}, BmpFormat{4, 16}, BmpFormat{8, 256},
                                         BmpFormat{8, 77}, BmpFormat{24, 0}, BmpFormat{24, 16},
                                         BmpFormat{32, 0}),
                         [](const testing::TestParamInfo<BmpFormat>& info) {
                           return "Bits" + std::to_string(info.param.bitCount) + "Palette" +
                                  std::to_string(info.param.paletteCount);
                         });

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
