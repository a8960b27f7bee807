// The reader's unfiltering agrees with the plain byte-wise definition for every filter type,
// pixel size and instruction set, over rows of odd lengths, one row at a time and several
// together.
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

// The filter types of consecutive rows to undo together: every pair, and runs of up to six
// rows of one type broken by another type at each place in turn (runs take the side-by-side
// passes, two or four rows at a time).
std::vector<Bytes> RowTypeRuns() {
  std::vector<Bytes> runs;
  for (std::uint8_t upper = 0; upper < 5; ++upper)
    for (std::uint8_t lower = 0; lower < 5; ++lower) runs.push_back({upper, lower});
  for (std::uint8_t type = 0; type < 5; ++type)
    for (std::size_t count = 3; count <= 6; ++count)
      for (std::size_t other = 0; other <= count; ++other) {
        Bytes types(count, type);
        if (other < count) types[other] = std::uint8_t((type + 1 + other) % 5);
        runs.push_back(types);
      }
  return runs;
}

// Consecutive rows undone together agree with undoing them one after the other.
TEST(UnfilterRows, MatchesRowByRowInEveryVariant) {
  const std::vector<Bytes> runs = RowTypeRuns();
  for (SimdLevel level : RunnableSimdLevels()) {
    SCOPED_TRACE(SimdLevelName(level));
    const RowUnfilter unfilter(level);
    Rng next{7};
    for (std::size_t bpp : {1, 2, 3, 4, 6, 8})
      for (const Bytes& types : runs)
        for (std::size_t pixels : {1u, 2u, 3u, 6u, 7u, 8u, 41u}) {
          const std::size_t n = pixels * bpp;
          Bytes prior(n);
          std::vector<Bytes> rows(types.size(), Bytes(n));
          for (auto& b : prior) b = next();
          for (auto& row : rows)
            for (auto& b : row) b = next();
          std::vector<Bytes> expected = rows;
          for (std::size_t k = 0; k < rows.size(); ++k)
            ReferenceUnfilter(types[k], expected[k], k == 0 ? prior : expected[k - 1], bpp);
          std::vector<std::uint8_t*> pointers;
          for (auto& row : rows) pointers.push_back(row.data());
          ASSERT_TRUE(
              unfilter.Rows(types.data(), pointers.data(), rows.size(), prior.data(), n, bpp));
          for (std::size_t k = 0; k < rows.size(); ++k)
            ASSERT_EQ(rows[k], expected[k])
                << "row " << k << " of " << rows.size() << ", type " << int(types[k]) << ", bpp "
                << bpp << ", pixels " << pixels;
        }
  }
}

TEST(UnfilterType, AboveFourIsRefused) {
  for (SimdLevel level : RunnableSimdLevels()) {
    const RowUnfilter unfilter(level);
    std::uint8_t row[8] = {}, prior[8] = {}, lower[8] = {};
    EXPECT_FALSE(unfilter.Row(5, row, prior, 1, 1));
    EXPECT_FALSE(unfilter.Row(255, row, prior, 1, 1));
    std::uint8_t* rows[] = {row, lower};
    const std::uint8_t paethThenFive[] = {4, 5}, sevenThenPaeth[] = {7, 4};
    EXPECT_FALSE(unfilter.Rows(paethThenFive, rows, 2, prior, 1, 1));
    EXPECT_FALSE(unfilter.Rows(sevenThenPaeth, rows, 2, prior, 1, 1));
  }
}

}  // namespace
