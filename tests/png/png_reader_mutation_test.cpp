// Deterministic damage: every truncation and every single-byte change of small files must
// end in a successful load or an exception of the platform's hierarchy — never a crash,
// a sanitizer report, a hang or another kind of exception — and end the same way whether the
// image data is inflated whole or in pieces.
#include "png/adam7.h"
#include "tests/png/load_outcome.h"
#include "tests/png/png_reader_test_util.h"

namespace {

using namespace pngread;

// A small file that reaches every handler: an interlaced palette image with keys,
// resolution, offsets, both kinds of text and its image data split over two IDAT chunks.
Bytes EveryChunkFile() {
  Bytes raw;
  // 5 × 5 pixels of 2 bits in the seven Adam7 passes, with every filter type.
  for (int pass = 0; pass < 7; ++pass)
    for (int r = 0; r < Adam7PassRows(pass, 5); ++r) {
      raw.push_back(std::uint8_t((pass + r) % 5));
      for (int b = 0; b < (Adam7PassColumns(pass, 5) * 2 + 7) / 8; ++b)
        raw.push_back(std::uint8_t(0x1B * (r + 1)));
    }
  const Bytes z = Deflate(raw);
  Bytes phys(9, 0), offs(9, 0);
  phys[3] = 1;
  phys[7] = 1;
  Bytes text = {'T', 'i', 't', 'l', 'e', 0, 'a', '\r', 'b', 0x82, '\n'};
  Bytes ztxt = {'C', 0, 0};
  const Bytes zt = Deflate({'x', '\n', 'y'});
  ztxt.insert(ztxt.end(), zt.begin(), zt.end());
  return PngBuilder()
      .IHDR(5, 5, 2, 3, 1)
      .Chunk("PLTE", {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255})
      .Chunk("tRNS", {255, 0})
      .Chunk("bKGD", {1})
      .Chunk("gAMA", {0, 0, 0xB1, 0x8F})
      .Chunk("pHYs", phys)
      .Chunk("oFFs", offs)
      .Chunk("tEXt", text)
      .Chunk("zTXt", ztxt)
      .Chunk("IDAT", Bytes(z.begin(), z.begin() + long(z.size() / 2)))
      .Chunk("IDAT", Bytes(z.begin() + long(z.size() / 2), z.end()))
      .End();
}

// Loads both ways (inflating the image data whole and in pieces) and reports whether the
// outcome was acceptable and the same.
testing::AssertionResult LoadsOrThrowsAlike(const Bytes& file) {
  try {
    const auto [whole, streamed] = PngLoadOutcomesBothWays(file.data(), file.size());
    if (!InflatePathsAgree(whole, streamed))
      return testing::AssertionFailure()
             << "inflate paths differ: " << whole.substr(0, 60) << " / " << streamed.substr(0, 60);
    if (whole.ends_with(kNoImage)) return testing::AssertionFailure() << "loaded without an image";
  } catch (const std::exception& e) {
    return testing::AssertionFailure() << "foreign exception: " << e.what();
  }
  return testing::AssertionSuccess();
}

class Damaged : public testing::TestWithParam<std::string> {
 protected:
  Bytes Original() const {
    return GetParam() == "every_chunk" ? EveryChunkFile()
                                       : ReadFile(CorpusPath("pngsuite/" + GetParam() + ".png"));
  }
};

TEST_P(Damaged, EveryTruncation) {
  const Bytes file = Original();
  ASSERT_TRUE(LoadsOrThrowsAlike(file));
  ASSERT_EQ(LoadError(file), "");
  for (std::size_t length = 0; length < file.size(); ++length)
    ASSERT_TRUE(LoadsOrThrowsAlike(Bytes(file.begin(), file.begin() + long(length)))) << length;
}

TEST_P(Damaged, EverySingleByteChange) {
  const Bytes file = Original();
  for (std::size_t i = 0; i < file.size(); ++i)
    for (std::uint8_t value : {std::uint8_t(file[i] ^ 0xFF), std::uint8_t(file[i] ^ 0x01),
                               std::uint8_t(0x00), std::uint8_t(0x80)}) {
      Bytes damaged = file;
      damaged[i] = value;
      ASSERT_TRUE(LoadsOrThrowsAlike(damaged)) << "byte " << i << " = " << int(value);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Damaged,
                         testing::Values("every_chunk", "basi3p01", "basn4a08", "tm3n3p02",
                                         "s03i3p01"));

}  // namespace
