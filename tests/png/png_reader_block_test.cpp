// Image data much larger than the block the reader inflates at a time: rows that straddle
// blocks or are longer than one, narrow rows by the thousand, interlaced passes, and streams that
// hold more or less than the picture needs.

#include "png/adam7.h"
#include "tests/peak_memory.h"
#include "tests/png/load_outcome.h"
#include "tests/png/png_reader_test_util.h"

namespace {

using namespace pngread;

struct BlockCase {
  const char* name;
  std::uint32_t width, height;
  std::uint8_t depth, colorType, interlace;
};

std::uint32_t PixelBits(const BlockCase& c) {
  const std::uint32_t samples = c.colorType == 2   ? 3
                                : c.colorType == 6 ? 4
                                : c.colorType == 4 ? 2
                                                   : 1;
  return samples * c.depth;
}

// Rows of pseudo-random bytes behind filter types 0 to 4 in turn, pass by pass.
Bytes RawRows(const BlockCase& c) {
  Bytes raw;
  std::uint32_t seed = 12345;
  int row = 0;
  for (int pass = 0; pass < (c.interlace ? 7 : 1); ++pass) {
    const Adam7Pass p = c.interlace ? kAdam7Passes[std::size_t(pass)] : Adam7Pass{0, 1, 0, 1};
    const std::int64_t pixels = Adam7Span(c.width, p.firstColumn, p.columnStep);
    if (pixels == 0) continue;
    const std::int64_t bytes = (pixels * PixelBits(c) + 7) / 8;
    for (std::int64_t y = p.firstRow; y < c.height; y += p.rowStep) {
      raw.push_back(std::uint8_t(row++ % 5));
      for (std::int64_t i = 0; i < bytes; ++i) {
        seed = seed * 1103515245u + 12345u;
        raw.push_back(std::uint8_t(seed >> 16));
      }
    }
  }
  return raw;
}

Rgba DecodeOurs(const Bytes& file) {
  TUxPNG image;
  Load(image, file);
  return StoreToRgba(image.Image()->Desc());
}

class LargeImageData : public testing::TestWithParam<BlockCase> {};

TEST_P(LargeImageData, DecodesAsLibpngDoes) {
  const BlockCase& c = GetParam();
  const Bytes file = PngBuilder()
                         .IHDR(c.width, c.height, c.depth, c.colorType, c.interlace)
                         .IDAT(RawRows(c))
                         .End();
  ExpectSamePicture(DecodeOurs(file), DecodeWithLibpng(file), c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LargeImageData,
    testing::Values(
        BlockCase{"RGB8", 301, 150, 8, 2, 0}, BlockCase{"RGBA8", 257, 100, 8, 6, 0},
        BlockCase{"Grey8", 1000, 70, 8, 0, 0}, BlockCase{"GreyAlpha8", 333, 90, 8, 4, 0},
        BlockCase{"RGB16", 129, 77, 16, 2, 0}, BlockCase{"RGBA16", 97, 61, 16, 6, 0},
        BlockCase{"Grey2", 999, 200, 2, 0, 0}, BlockCase{"Grey16", 211, 90, 16, 0, 0},
        BlockCase{"Grey16Interlaced", 95, 41, 16, 0, 1},
        BlockCase{"RGB8Narrow1", 1, 20000, 8, 2, 0}, BlockCase{"RGB8Narrow2", 2, 9000, 8, 2, 0},
        BlockCase{"RGBA8Narrow7", 7, 3000, 8, 6, 0}, BlockCase{"RGB8Interlaced", 300, 200, 8, 2, 1},
        BlockCase{"RGBA16Interlaced", 131, 67, 16, 6, 1},
        BlockCase{"Grey1Interlaced", 2001, 301, 1, 0, 1},
        // Rows longer than a block, so every row is gathered from two or more.
        BlockCase{"RGB8Wide", 11000, 3, 8, 2, 0}, BlockCase{"RGBA8Wide", 9000, 3, 8, 6, 0},
        BlockCase{"Grey8Wide", 70000, 2, 8, 0, 0}),
    [](const testing::TestParamInfo<BlockCase>& info) { return std::string(info.param.name); });

const BlockCase kBig{"RGB8", 301, 150, 8, 2, 0};

// Data after the last row is never looked at: it may run on far beyond one block.
TEST(LargeImageDataStream, DataBeyondTheLastRowIsIgnored) {
  const Bytes raw = RawRows(kBig);
  Bytes longer = raw;
  longer.insert(longer.end(), 100000, 0xAB);
  const Bytes exact = PngBuilder().IHDR(kBig.width, kBig.height, 8, 2).IDAT(raw).End();
  const Bytes extra = PngBuilder().IHDR(kBig.width, kBig.height, 8, 2).IDAT(longer).End();
  const Rgba expected = DecodeOurs(exact);
  EXPECT_EQ(DecodeOurs(extra).pixels, expected.pixels);
}

// A stream that ends short of the picture fails, by one byte or by whole blocks.
TEST(LargeImageDataStream, StreamEndingEarlyFails) {
  const Bytes raw = RawRows(kBig);
  for (std::size_t missing : {std::size_t(1), std::size_t(903), raw.size() - 40000}) {
    const Bytes shorter(raw.begin(), raw.end() - std::ptrdiff_t(missing));
    const Bytes file = PngBuilder().IHDR(kBig.width, kBig.height, 8, 2).IDAT(shorter).End();
    EXPECT_EQ(LoadError(file), "PNG LoadStream: image data too short") << missing;
  }
}

// Compressed data cut off inside a block, with IEND where more image data should be.
TEST(LargeImageDataStream, CompressedDataCutOffFails) {
  const Bytes z = Deflate(RawRows(kBig));
  const Bytes cut(z.begin(), z.begin() + std::ptrdiff_t(z.size() / 2));
  const Bytes file = PngBuilder().IHDR(kBig.width, kBig.height, 8, 2).Chunk("IDAT", cut).End();
  EXPECT_EQ(LoadError(file), "not next IDAT Chunk");
}

// zlib may read past the last row's bytes when they end a block: up to the next block header,
// where it would find this one broken. Streaming hands it input a piece at a time, and here the
// last row ends its first piece, so it never looks; when the data inflated whole is refused and
// streaming takes over, it gets what was read ahead in the same pieces, and ends alike.
TEST(LargeImageDataStream, ABadBlockPastTheLastRowsPieceIsNeverLookedAt) {
  const std::size_t rowLength = 181, rows = 181;         // 32761 bytes, one streaming block
  Bytes z = {0x78, 0x01, 0x00, 0xF9, 0x7F, 0x06, 0x80};  // a stored block of 32761 bytes
  for (std::size_t i = 0; i < rowLength * rows; ++i)
    z.push_back(i % rowLength == 0 ? 0 : std::uint8_t(i * 7));
  ASSERT_EQ(z.size(), 32768u);   // one piece of streaming input
  z.insert(z.end(), 100, 0x07);  // a final block of the reserved type
  const Bytes file = PngBuilder().IHDR(rowLength - 1, rows, 8, 0).Chunk("IDAT", z).End();
  const auto [whole, streamed] = PngLoadOutcomesBothWays(file.data(), file.size());
  EXPECT_TRUE(whole.starts_with("loaded:") && whole == streamed)
      << whole.substr(0, 40) << " / " << streamed.substr(0, 40);
}

// The two inflate paths agree on a picture too large to copy into the outcome, which then
// stands for its pixels by their checksums.
TEST(LargeImageDataStream, BothPathsAgreeOnAPictureLargerThanTheOutcomeKeeps) {
  const BlockCase c{"Grey8Tall", 1024, 1100, 8, 0, 0};
  const Bytes file = PngBuilder().IHDR(c.width, c.height, 8, 0).IDAT(RawRows(c)).End();
  const auto [whole, streamed] = PngLoadOutcomesBothWays(file.data(), file.size());
  EXPECT_EQ(whole, streamed);
  EXPECT_TRUE(whole.starts_with("loaded: "));
  EXPECT_LT(whole.size(), kPixelsKeptWhole);
}

// A header claiming a huge picture with next to no data after it is refused before the
// picture's memory is touched: pixels and row buffers take memory as rows arrive.
TEST(LargeImageDataStream, HeaderWithoutDataTakesNoPictureMemory) {
  struct Claim {
    std::uint32_t width, height;
    std::uint8_t depth;
  };
  for (const Claim c : {Claim{16777215, 16, 16}, Claim{16384, 16384, 8}}) {
    const Bytes file = PngBuilder().IHDR(c.width, c.height, c.depth, 6).IDAT(Bytes(13, 0)).End();
    const std::size_t picture = std::size_t(c.width) * c.height * 4;
    const auto growth =
        PeakGrowth([&] { EXPECT_EQ(LoadError(file), "PNG LoadStream: image data too short"); });
    if (!growth) GTEST_SKIP() << "the high-water mark cannot be reset here";
    EXPECT_LT(*growth, picture / 4) << c.width << " x " << c.height;
  }
}

}  // namespace
