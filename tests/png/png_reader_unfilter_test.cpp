// The reader's fast unfiltering agrees with the plain byte-wise definition for every
// filter type and pixel size, over rows of odd lengths.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "png/png_filters.h"
#include "png/png_unfilter.h"

namespace {

class Unfilter : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(Unfilter, MatchesTheDefinition) {
  const auto [type, bpp] = GetParam();
  std::uint32_t seed = 99;
  auto next = [&seed] { return std::uint8_t((seed = seed * 1664525u + 1013904223u) >> 24); };
  for (std::size_t pixels : {1u, 2u, 5u, 33u}) {
    const std::size_t n = pixels * std::size_t(bpp);
    // Exactly n bytes each: the sanitizer build catches any step outside the rows.
    std::vector<std::uint8_t> prior(n), row(n);
    for (auto& b : prior) b = next();
    for (auto& b : row) b = next();
    std::vector<std::uint8_t> expected = row;
    UnfilterRow(PngFilterType(type), expected.data(), prior.data(), n, std::size_t(bpp));
    ASSERT_TRUE(UnfilterRawRow(std::uint8_t(type), row.data(), prior.data(), n, std::size_t(bpp)));
    ASSERT_EQ(row, expected) << "pixels " << pixels;
  }
}

INSTANTIATE_TEST_SUITE_P(TypesAndPixelSizes, Unfilter,
                         testing::Combine(testing::Range(0, 5), testing::Range(1, 9)));

// Two consecutive rows undone together agree with undoing them one after the other, for
// every pair of filter types (Paeth above Paeth takes the side-by-side pass).
class UnfilterPair : public testing::TestWithParam<int> {};

TEST_P(UnfilterPair, MatchesRowByRow) {
  const std::size_t bpp = std::size_t(GetParam());
  std::uint32_t seed = 7;
  auto next = [&seed] { return std::uint8_t((seed = seed * 1664525u + 1013904223u) >> 24); };
  for (int upperType = 0; upperType < 5; ++upperType)
    for (int lowerType = 0; lowerType < 5; ++lowerType)
      for (std::size_t pixels : {1u, 2u, 3u, 6u, 41u}) {
        const std::size_t n = pixels * bpp;
        std::vector<std::uint8_t> prior(n), upper(n), lower(n);
        for (auto* v : {&prior, &upper, &lower})
          for (auto& b : *v) b = next();
        std::vector<std::uint8_t> upperExpected = upper, lowerExpected = lower;
        UnfilterRow(PngFilterType(upperType), upperExpected.data(), prior.data(), n, bpp);
        UnfilterRow(PngFilterType(lowerType), lowerExpected.data(), upperExpected.data(), n, bpp);
        ASSERT_TRUE(UnfilterRawRowPair(std::uint8_t(upperType), upper.data(),
                                       std::uint8_t(lowerType), lower.data(), prior.data(), n,
                                       bpp));
        ASSERT_EQ(upper, upperExpected) << upperType << "/" << lowerType << " pixels " << pixels;
        ASSERT_EQ(lower, lowerExpected) << upperType << "/" << lowerType << " pixels " << pixels;
      }
}

INSTANTIATE_TEST_SUITE_P(PixelSizes, UnfilterPair, testing::Values(1, 2, 3, 4, 6, 8));

TEST(UnfilterType, AboveFourIsRefused) {
  std::uint8_t row[8] = {}, prior[8] = {};
  EXPECT_FALSE(UnfilterRawRow(5, row, prior, 1, 1));
  EXPECT_FALSE(UnfilterRawRow(255, row, prior, 1, 1));
  std::uint8_t lower[8] = {};
  EXPECT_FALSE(UnfilterRawRowPair(4, row, 5, lower, prior, 1, 1));
  EXPECT_FALSE(UnfilterRawRowPair(7, row, 4, lower, prior, 1, 1));
}

}  // namespace
