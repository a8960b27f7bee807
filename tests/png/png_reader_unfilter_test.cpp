// The reader's unfiltering agrees with the plain byte-wise definition for every filter type,
// pixel size and instruction set, over rows of odd lengths.
#include <gtest/gtest.h>

#include <vector>

#include "png/png_filters.h"
#include "png/png_unfilter.h"
#include "tests/png/simd_levels.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The inverse filters byte by byte as the format defines them: row holds the filtered bytes on
// entry and the raw bytes on return.
void ReferenceUnfilter(int type, Bytes& row, const Bytes& prior, std::size_t bpp) {
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0, b = prior[i], c = i >= bpp ? prior[i - bpp] : 0;
    const int predictor[] = {0, a, b, (a + b) / 2, PaethPredictor(a, b, c)};
    row[i] = std::uint8_t(row[i] + predictor[type]);
  }
}

struct Rng {
  std::uint32_t seed;
  std::uint8_t operator()() { return std::uint8_t((seed = seed * 1664525u + 1013904223u) >> 24); }
};

TEST(Unfilter, MatchesTheDefinitionInEveryVariant) {
  for (SimdLevel level : RunnableSimdLevels()) {
    SCOPED_TRACE(SimdLevelName(level));
    const RowUnfilter unfilter(level);
    Rng next{99};
    for (int type = 0; type < 5; ++type)
      for (std::size_t bpp = 1; bpp <= 8; ++bpp)
        for (std::size_t pixels : {1u, 2u, 5u, 33u}) {
          const std::size_t n = pixels * bpp;
          // Exactly n bytes each: the sanitizer build catches any step outside the rows.
          Bytes prior(n), row(n);
          for (auto& b : prior) b = next();
          for (auto& b : row) b = next();
          Bytes expected = row;
          ReferenceUnfilter(type, expected, prior, bpp);
          ASSERT_TRUE(unfilter.Row(std::uint8_t(type), row.data(), prior.data(), n, bpp));
          ASSERT_EQ(row, expected) << "type " << type << " bpp " << bpp << " pixels " << pixels;
        }
  }
}

// Two consecutive rows undone together agree with undoing them one after the other, for
// every pair of filter types (Paeth above Paeth takes the side-by-side pass).
TEST(UnfilterPair, MatchesRowByRowInEveryVariant) {
  for (SimdLevel level : RunnableSimdLevels()) {
    SCOPED_TRACE(SimdLevelName(level));
    const RowUnfilter unfilter(level);
    Rng next{7};
    for (std::size_t bpp : {1, 2, 3, 4, 6, 8})
      for (int upperType = 0; upperType < 5; ++upperType)
        for (int lowerType = 0; lowerType < 5; ++lowerType)
          for (std::size_t pixels : {1u, 2u, 3u, 6u, 41u}) {
            const std::size_t n = pixels * bpp;
            Bytes prior(n), upper(n), lower(n);
            for (auto* v : {&prior, &upper, &lower})
              for (auto& b : *v) b = next();
            Bytes upperExpected = upper, lowerExpected = lower;
            ReferenceUnfilter(upperType, upperExpected, prior, bpp);
            ReferenceUnfilter(lowerType, lowerExpected, upperExpected, bpp);
            ASSERT_TRUE(unfilter.RowPair(std::uint8_t(upperType), upper.data(),
                                         std::uint8_t(lowerType), lower.data(), prior.data(), n,
                                         bpp));
            const std::string where = std::to_string(upperType) + "/" + std::to_string(lowerType) +
                                      " bpp " + std::to_string(bpp) + " pixels " +
                                      std::to_string(pixels);
            ASSERT_EQ(upper, upperExpected) << where;
            ASSERT_EQ(lower, lowerExpected) << where;
          }
  }
}

TEST(UnfilterType, AboveFourIsRefused) {
  for (SimdLevel level : RunnableSimdLevels()) {
    const RowUnfilter unfilter(level);
    std::uint8_t row[8] = {}, prior[8] = {}, lower[8] = {};
    EXPECT_FALSE(unfilter.Row(5, row, prior, 1, 1));
    EXPECT_FALSE(unfilter.Row(255, row, prior, 1, 1));
    EXPECT_FALSE(unfilter.RowPair(4, row, 5, lower, prior, 1, 1));
    EXPECT_FALSE(unfilter.RowPair(7, row, 4, lower, prior, 1, 1));
  }
}

}  // namespace
