// Chunk framing and the cutting of the zlib stream into IDAT pieces.
#include <gtest/gtest.h>

#include <random>

#include "png/chunk_writer.h"
#include "png/idat_deflater.h"
#include "png_writer_test_util.h"

namespace {

using namespace pngtest;

TEST(ChunkWriter, EmptyChunkHasCrcOverTypeOnly) {
  TMemoryStream stream;
  PngChunkWriter(stream).WriteChunk(kIEND, nullptr, 0);
  EXPECT_EQ(stream.Bytes(), (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
}

TEST(ChunkWriter, HeaderBringsTheIdentificationChunkWithIt) {
  TMemoryStream stream;
  PngChunkWriter writer(stream);
  writer.WriteSignature();
  writer.WriteChunk(kIHDR, ChunkData().U32(1).U32(1).U8(8).U8(0).U8(0).U8(0).U8(0));
  writer.WriteChunk(kgAMA, ChunkData().U32(45455));
  const auto chunks = SplitChunks(stream.Bytes());
  EXPECT_EQ(ChunkTypes(chunks), (std::vector<std::string>{"IHDR", "uxPg", "gAMA"}));
  EXPECT_EQ(chunks[1].data, IdentificationChunkData());
}

// Feeds data through a deflater at the given level and returns the IDAT sizes.
std::vector<std::size_t> IdatSizes(const Bytes& data, int level, Bytes* zlibStream = nullptr) {
  TMemoryStream stream;
  PngChunkWriter writer(stream);
  {
    IdatDeflater deflater(writer, level);
    // Row-sized pieces, as the writer hands them over.
    for (std::size_t pos = 0; pos < data.size(); pos += 1001)
      deflater.Write(data.data() + pos, std::min<std::size_t>(1001, data.size() - pos));
    deflater.Finish();
  }
  Bytes file(kPngSignature.begin(), kPngSignature.end());
  file.insert(file.end(), stream.Bytes().begin(), stream.Bytes().end());
  std::vector<std::size_t> sizes;
  for (const Chunk& c : SplitChunks(file)) {
    sizes.push_back(c.data.size());
    if (zlibStream) zlibStream->insert(zlibStream->end(), c.data.begin(), c.data.end());
  }
  return sizes;
}

Bytes Noise(std::size_t n) {
  std::mt19937 rng(42);
  Bytes v(n);
  for (auto& b : v) b = std::uint8_t(rng());
  return v;
}

// Level 0 stores the data, so the stream grows by one byte per input byte; search the input
// length that makes the stream exactly the size asked for.
Bytes InputForStreamSize(std::size_t target) {
  const Bytes noise = Noise(target);
  for (std::size_t n = target - 64; n < target; ++n) {
    const Bytes input(noise.begin(), noise.begin() + std::ptrdiff_t(n));
    std::size_t total = 0;
    for (std::size_t s : IdatSizes(input, 0)) total += s;
    if (total == target) return input;
  }
  return {};
}

TEST(IdatDeflater, StreamOfExactlyOnePieceIsOneIdat) {
  const Bytes input = InputForStreamSize(32768);
  ASSERT_FALSE(input.empty());
  EXPECT_EQ(IdatSizes(input, 0), std::vector<std::size_t>{32768});
}

TEST(IdatDeflater, OneByteMoreMakesASecondIdatOfOneByte) {
  const Bytes input = InputForStreamSize(32769);
  ASSERT_FALSE(input.empty());
  EXPECT_EQ(IdatSizes(input, 0), (std::vector<std::size_t>{32768, 1}));
}

TEST(IdatDeflater, LongStreamsAreCutIntoFullPiecesAndTheRest) {
  const Bytes input = Noise(200000);
  for (int level : {1, 9, Z_DEFAULT_COMPRESSION}) {
    Bytes stream;
    const auto sizes = IdatSizes(input, level, &stream);
    ASSERT_GT(sizes.size(), 6u);
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 32768u);
    EXPECT_GE(sizes.back(), 1u);
    // The pieces put together are one zlib stream of the input.
    Bytes out(input.size());
    uLongf outLength = uLongf(out.size());
    ASSERT_EQ(uncompress(out.data(), &outLength, stream.data(), uLong(stream.size())), Z_OK);
    EXPECT_EQ(out, input);
  }
}

TEST(IdatDeflater, LevelsFollowTheCompressionSetting) {
  EXPECT_EQ(ZlibLevelFor(1), 1);
  EXPECT_EQ(ZlibLevelFor(2), 9);
  for (int other : {0, 3, -1, 100}) EXPECT_EQ(ZlibLevelFor(other), Z_DEFAULT_COMPRESSION);
}

TEST(IdatDeflater, InvalidLevelIsAZlibError) {
  TMemoryStream stream;
  PngChunkWriter writer(stream);
  try {
    IdatDeflater deflater(writer, 42);
    ADD_FAILURE();
  } catch (const EQorPNG& e) {
    EXPECT_STREQ(e.what(), "PNG SaveStream: error ZLIB");
  }
  EXPECT_TRUE(stream.Bytes().empty());
}

}  // namespace
