// The row filters, their inverses and the adaptive choice.
#include "png/png_filters.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "png/png_unfilter.h"
#include "tests/png/simd_levels.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The predictor exactly as the format defines it, for comparison.
std::uint8_t ReferencePaeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return std::uint8_t(a);
  if (pb <= pc) return std::uint8_t(b);
  return std::uint8_t(c);
}

TEST(PaethPredictor, MatchesTheDefinitionEverywhere) {
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b)
      for (int c = 0; c < 256; c += 3)
        ASSERT_EQ(PaethPredictor(a, b, c), ReferencePaeth(a, b, c)) << a << " " << b << " " << c;
}

Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes v(n);
  for (auto& b : v) b = std::uint8_t(rng());
  return v;
}

// The filters byte by byte as the format defines them, for comparison with the vector code.
Bytes ReferenceFilter(int type, const Bytes& raw, const Bytes& prior, std::size_t bpp) {
  Bytes out(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const int a = i >= bpp ? raw[i - bpp] : 0, b = prior[i], c = i >= bpp ? prior[i - bpp] : 0;
    const int predictor[] = {0, a, b, (a + b) / 2, ReferencePaeth(a, b, c)};
    out[i] = std::uint8_t(raw[i] - predictor[type]);
  }
  return out;
}

std::uint64_t ReferenceCost(const Bytes& v) {
  std::uint64_t sum = 0;
  for (std::uint8_t b : v) sum += b < 128 ? b : 256 - b;
  return sum;
}

TEST(FilterRow, MatchesTheByteWiseDefinitionOnLongRowsInEveryVariant) {
  for (SimdLevel level : RunnableSimdLevels())
    for (std::size_t bpp : {1, 3, 4})
      for (std::size_t n : {1, 15, 16, 17, 31, 32, 33, 255, 256, 257, 1000})
        for (int type = 0; type < kPngFilterTypeCount; ++type) {
          const Bytes raw = RandomBytes(n, unsigned(n + bpp)), prior = RandomBytes(n, unsigned(n));
          Bytes out(n);
          FilterRow(PngFilterType(type), raw.data(), prior.data(), n, bpp, out.data(), level);
          ASSERT_EQ(out, ReferenceFilter(type, raw, prior, bpp))
              << SimdLevelName(level) << " type " << type << " bpp " << bpp << " n " << n;
          ASSERT_EQ(FilterCost(out.data(), n, level), ReferenceCost(out)) << SimdLevelName(level);
        }
}

TEST(FilterRow, KnownValues) {
  const Bytes raw = {10, 20, 35, 5};
  const Bytes prior = {4, 8, 30, 250};
  Bytes out(4);
  FilterRow(PngFilterType::kSub, raw.data(), prior.data(), 4, 1, out.data());
  EXPECT_EQ(out, (Bytes{10, 10, 15, std::uint8_t(5 - 35)}));
  FilterRow(PngFilterType::kUp, raw.data(), prior.data(), 4, 1, out.data());
  EXPECT_EQ(out, (Bytes{6, 12, 5, std::uint8_t(5 - 250)}));
  FilterRow(PngFilterType::kAverage, raw.data(), prior.data(), 4, 1, out.data());
  EXPECT_EQ(out, (Bytes{8, std::uint8_t(20 - 9), std::uint8_t(35 - 25), std::uint8_t(5 - 142)}));
  // bpp 2: the first two bytes have no left neighbour.
  FilterRow(PngFilterType::kSub, raw.data(), prior.data(), 4, 2, out.data());
  EXPECT_EQ(out, (Bytes{10, 20, 25, std::uint8_t(5 - 20)}));
}

// The writer's filters and the reader's unfiltering, each in every variant, undo each other.
TEST(FilterRoundTrip, UnfilterRestoresTheRow) {
  struct Case {
    PngFilterType type;
    std::size_t bpp;
    std::size_t n;
  };
  // The reader's rows hold whole pixels (or fewer bytes than one pixel).
  const Case cases[] = {{PngFilterType::kNone, 1, 7},      {PngFilterType::kSub, 1, 1},
                        {PngFilterType::kSub, 3, 999},     {PngFilterType::kUp, 4, 512},
                        {PngFilterType::kAverage, 1, 300}, {PngFilterType::kAverage, 4, 2},
                        {PngFilterType::kPaeth, 3, 930},   {PngFilterType::kPaeth, 1, 257}};
  for (SimdLevel level : RunnableSimdLevels())
    for (const auto& [type, bpp, n] : cases) {
      const Bytes raw = RandomBytes(n, 1), prior = RandomBytes(n, 2);
      Bytes filtered(n);
      FilterRow(type, raw.data(), prior.data(), n, bpp, filtered.data(), level);
      ASSERT_TRUE(
          RowUnfilter(level).Row(std::uint8_t(type), filtered.data(), prior.data(), n, bpp));
      EXPECT_EQ(filtered, raw) << SimdLevelName(level) << " type " << int(type) << " bpp " << bpp;
    }
}

TEST(FilterCost, CountsBytesAsSignedMagnitudes) {
  const Bytes v = {0, 1, 127, 128, 129, 255};
  for (SimdLevel level : RunnableSimdLevels())
    EXPECT_EQ(FilterCost(v.data(), v.size(), level), 0u + 1 + 127 + 128 + 127 + 1);
}

// The choice as the rule states it: the cheapest of None, Sub, Up, Average, Paeth, the
// earlier on a tie.
std::uint8_t ReferenceChoice(const Bytes& raw, const Bytes& prior, std::size_t bpp) {
  std::uint64_t best = ReferenceCost(raw);
  std::uint8_t type = 0;
  for (int t = 1; t < kPngFilterTypeCount; ++t) {
    const std::uint64_t cost = ReferenceCost(ReferenceFilter(t, raw, prior, bpp));
    if (cost < best) best = cost, type = std::uint8_t(t);
  }
  return type;
}

// Runs the adaptive filter on one row; returns the bytes it hands on.
Bytes Adaptive(const Bytes& raw, const Bytes& prior, std::size_t bpp, int setting = 0,
               SimdLevel level = SupportedSimdLevel()) {
  PngRowFilter filter(setting, raw.size(), level);
  Bytes row(1, 0);
  row.insert(row.end(), raw.begin(), raw.end());
  const std::uint8_t* out = filter.Apply(row.data(), prior.data(), raw.size(), bpp);
  return Bytes(out, out + raw.size() + 1);
}

TEST(AdaptiveFilter, SinglePixelKeepsNone) {
  // Every filter costs the same on one byte against a zero row.
  EXPECT_EQ(Adaptive({77}, {0}, 1), (Bytes{0, 77}));
}

TEST(AdaptiveFilter, SubWinsATieWithUp) {
  // Sub [10, 0], Up [10, 0], Average [10, 0] and Paeth [10, 0] all cost 10; None costs 20.
  EXPECT_EQ(Adaptive({10, 10}, {0, 10}, 1), (Bytes{1, 10, 0}));
}

// Rows on which one filter costs strictly less than each of the others, so the choice cannot
// come from the order that settles ties.
TEST(AdaptiveFilter, EachFilterWinsWhereItIsStrictlyCheapest) {
  struct Case {
    int type;
    Bytes raw, prior;
  };
  const Case cases[] = {
      {0, {1, 2, 0}, {2, 0, 2}},                      // small values under a busy row: 3
      {1, {5, 10, 15, 20}, {200, 200, 200, 200}},     // a ramp under a flat bright row: 20
      {2, {102, 98, 102, 98}, {100, 100, 100, 100}},  // the row above, give or take 2: 8
      {3, {50, 75, 87, 93}, {100, 100, 100, 100}},    // each byte the mean of left and above: 0
      {4, {10, 20, 20}, {10, 10, 10}},                // a step under a flat row: 10
  };
  for (const Case& c : cases) {
    const std::uint64_t cost = ReferenceCost(ReferenceFilter(c.type, c.raw, c.prior, 1));
    for (int other = 0; other < kPngFilterTypeCount; ++other) {
      if (other == c.type) continue;
      ASSERT_LT(cost, ReferenceCost(ReferenceFilter(other, c.raw, c.prior, 1)))
          << "type " << c.type << " against " << other;
    }
    for (SimdLevel level : RunnableSimdLevels())
      EXPECT_EQ(Adaptive(c.raw, c.prior, 1, 0, level)[0], c.type) << SimdLevelName(level);
  }
}

TEST(AdaptiveFilter, AgreesWithTheRuleOnManyRowsInEveryVariant) {
  for (SimdLevel level : RunnableSimdLevels()) {
    SCOPED_TRACE(SimdLevelName(level));
    std::mt19937 rng(7);
    int chosen[kPngFilterTypeCount] = {};
    for (int trial = 0; trial < 400; ++trial) {
      const std::size_t bpp = std::size_t(1) + rng() % 4;
      const std::size_t n = std::size_t(1) + rng() % 700;
      // Smooth rows make the candidates close, so ties and early exits both happen.
      Bytes raw(n), prior(n);
      int v = int(rng() % 256), w = int(rng() % 256);
      for (std::size_t i = 0; i < n; ++i) {
        v += int(rng() % 5) - 2, w += int(rng() % 5) - 2;
        raw[i] = std::uint8_t(trial % 3 == 0 ? rng() : unsigned(v));
        prior[i] = std::uint8_t(trial % 5 == 0 ? 0 : unsigned(w));
      }
      const Bytes out = Adaptive(raw, prior, bpp, 0, level);
      ASSERT_EQ(out[0], ReferenceChoice(raw, prior, bpp)) << "trial " << trial;
      const Bytes expected = ReferenceFilter(out[0], raw, prior, bpp);
      ASSERT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + 1));
      ++chosen[out[0]];
    }
    for (int t = 0; t < kPngFilterTypeCount; ++t) EXPECT_GT(chosen[t], 0) << "type " << t;
  }
}

TEST(FixedFilter, EverySettingSendsItsType) {
  const Bytes raw = {1, 2, 3, 4}, prior = {1, 2, 3, 4};
  for (int setting = 1; setting <= 5; ++setting) {
    const Bytes out = Adaptive(raw, prior, 1, setting);
    EXPECT_EQ(out[0], setting - 1);
    Bytes expected(raw.size());
    FilterRow(PngFilterType(setting - 1), raw.data(), prior.data(), raw.size(), 1, expected.data());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + 1));
  }
  for (int setting : {0, 6, -1, 1000})
    EXPECT_TRUE(PngRowFilter(setting, 4, SimdLevel::kScalar).Adaptive());
}

}  // namespace
