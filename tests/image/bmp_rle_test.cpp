// Run-length data: escapes, absolute runs, deltas, and runs that reach outside the image,
// which are clipped to it.
#include <gtest/gtest.h>

#include <cstring>

#include "bmp_test_util.h"
#include "tests/peak_memory.h"

namespace {

// A run-length file of the given bit count and data, with a full grey palette.
Bytes RleFile(int width, int height, int bitCount, const Bytes& data) {
  BmpParts p;
  p.width = width;
  p.height = height;
  p.bitCount = bitCount;
  p.compression = bitCount == 8 ? 1 : 2;
  for (int i = 0; i < (bitCount == 8 ? 256 : 16); ++i) p.table.push_back(std::uint32_t(i));
  p.pixels = data;
  return BuildBmp(p);
}

// A run-length image 4 pixels wide (stored rows are 4 bytes) and `height` rows, top-down if
// negative.
TVynCustomDIB* LoadRle(TVynCustomDIB& image, int bitCount, const Bytes& data, int height = 3) {
  LoadBytes(image, RleFile(4, height, bitCount, data));
  return &image;
}

// Stored row y (0 = bottom), as bytes.
Bytes Stored(TVynCustomDIB& image, int y) {
  const TVynDIBDesc& d = image.Image()->Desc();
  const BYTE* row = d.Bits + std::size_t(y) * d.LineSize;
  return Bytes(row, row + d.LineSize);
}

struct RleCase {
  const char* name;
  int bitCount;
  Bytes data;
  Bytes bottom, middle, top;  // stored rows 0, 1, 2
};

class BmpRle : public testing::TestWithParam<RleCase> {};

TEST_P(BmpRle, DecodesToTheExpectedRows) {
  const RleCase& c = GetParam();
  TVynCustomDIB image;
  LoadRle(image, c.bitCount, c.data);
  EXPECT_EQ(Stored(image, 0), c.bottom);
  EXPECT_EQ(Stored(image, 1), c.middle);
  EXPECT_EQ(Stored(image, 2), c.top);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpRle,
    testing::Values(
        // End of bitmap stops decoding; rows it never reached stay 0.
        RleCase{"Rle8EndOfBitmap",
                8,
                {4, 7, 0, 0, 2, 9, 0, 1, 4, 5},
                {7, 7, 7, 7},
                {9, 9, 0, 0},
                {0, 0, 0, 0}},
        RleCase{"Rle8AbsoluteOddPadded",
                8,
                {0, 3, 1, 2, 3, 0, 1, 5, 0, 1},
                {1, 2, 3, 5},
                {0, 0, 0, 0},
                {0, 0, 0, 0}},
        RleCase{"Rle8Delta", 8, {0, 2, 1, 1, 1, 6, 0, 1}, {0, 0, 0, 0}, {0, 6, 0, 0}, {0, 0, 0, 0}},
        RleCase{"Rle4RunAlternatesNibbles",
                4,
                {3, 0x12, 0, 1},
                {0x12, 0x10, 0, 0},
                {0, 0, 0, 0},
                {0, 0, 0, 0}},
        // An absolute run of 3 nibbles is two bytes, already a whole 16-bit word.
        RleCase{"Rle4Absolute",
                4,
                {0, 3, 0x34, 0x50, 1, 0x60, 0, 1},
                {0x34, 0x56, 0, 0},
                {0, 0, 0, 0},
                {0, 0, 0, 0}},
        // Five nibbles are three bytes and one byte of padding.
        // Its fifth pixel falls outside the 4-pixel row.
        RleCase{"Rle4AbsolutePadded",
                4,
                {0, 5, 0x12, 0x34, 0x50, 0xEE, 0, 0, 1, 0x70, 0, 1},
                {0x12, 0x34, 0, 0},
                {0x70, 0, 0, 0},
                {0, 0, 0, 0}},
        // Runs past the end of a row are clipped there and never spill into the next row.
        RleCase{"Rle8RunPastRowEnd",
                8,
                {200, 3, 0, 0, 1, 4, 0, 1},
                {3, 3, 3, 3},
                {4, 0, 0, 0},
                {0, 0, 0, 0}},
        RleCase{"Rle8AbsolutePastRowEnd",
                8,
                {0, 2, 9, 9, 0, 6, 1, 2, 3, 4, 5, 6, 0, 1},
                {0, 0, 0, 0},
                {0, 0, 0, 0},
                {0, 0, 0, 0}},
        RleCase{"Rle4RunPastRowEnd",
                4,
                {255, 0xAB, 0, 0, 1, 0xC0, 0, 1},
                {0xAB, 0xAB, 0, 0},
                {0xC0, 0, 0, 0},
                {0, 0, 0, 0}},
        // Deltas above the top or past the right edge move the position out; writes there are
        // dropped, and once above the top decoding ends even without an end-of-bitmap.
        RleCase{"Rle8DeltaPastRight",
                8,
                {0, 2, 250, 0, 2, 5, 0, 0, 1, 8, 0, 1},
                {0, 0, 0, 0},
                {8, 0, 0, 0},
                {0, 0, 0, 0}},
        RleCase{"Rle8DeltaAboveTop",
                8,
                {1, 1, 0, 2, 0, 200, 5, 5},
                {1, 0, 0, 0},
                {0, 0, 0, 0},
                {0, 0, 0, 0}},
        RleCase{"Rle8EndOfLinesAboveTop",
                8,
                {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                {1, 0, 0, 0},
                {0, 0, 0, 0},
                {0, 0, 0, 0}}),
    [](const testing::TestParamInfo<RleCase>& info) { return std::string(info.param.name); });

// Data that ends while the position is still inside the image is a damaged file.
TEST(BmpRleData, EndingBeforeEndOfBitmapInsideTheImageIsAShortStream) {
  TVynCustomDIB image;
  EXPECT_THROW(LoadRle(image, 8, {4, 7, 0, 0}), EReadError);
  EXPECT_EQ(image.GetWidth(), 8);  // unchanged
}

TEST(BmpRleData, TopDownRunLengthRowsPutTheFirstOnTop) {
  TVynCustomDIB image;
  LoadRle(image, 8, {4, 1, 0, 0, 4, 2, 0, 1}, -2);
  EXPECT_EQ(Stored(image, 0), (Bytes{2, 2, 2, 2}));
  EXPECT_EQ(Stored(image, 1), (Bytes{1, 1, 1, 1}));
}

// Rows are written where they belong rather than turned over afterwards, so a top-down file
// whose data ends at once leaves the rest of a huge picture untouched: it takes no memory.
TEST(BmpRleData, TopDownRowsTheDataNeverReachesTakeNoMemory) {
  // Two pixels of colour 1, then the end of the bitmap.
  const Bytes file = RleFile(4096, -16384, 8, {2, 1, 0, 1});
  const auto growth = PeakGrowth([&] {
    TVynCustomDIB image;
    LoadBytes(image, file);
    EXPECT_EQ(Stored(image, 16383)[1], 1);  // the first file row is the top one
  });
  if (!growth) GTEST_SKIP() << "the high-water mark cannot be reset here";
  EXPECT_LT(*growth, std::size_t(4096) * 16384 / 4);
}

}  // namespace
