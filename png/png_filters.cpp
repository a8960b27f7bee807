#include "png/png_filters.h"

#include <algorithm>

namespace {

using Byte = std::uint8_t;

template <PngFilterType T>
inline Byte Predict(Byte a, Byte b, Byte c) {
  if constexpr (T == PngFilterType::Sub) return a;
  if constexpr (T == PngFilterType::Up) return b;
  if constexpr (T == PngFilterType::Average) return Byte((unsigned(a) + unsigned(b)) >> 1);
  if constexpr (T == PngFilterType::Paeth) return PaethPredictor(a, b, c);
  return 0;
}

// Filters bytes [begin, end). The loops carry no dependency between bytes (the predictors
// read raw data, never filtered output), so the compiler can vectorise them.
template <PngFilterType T>
void FilterSpan(const Byte* __restrict raw, const Byte* __restrict prior, std::size_t begin,
                std::size_t end, std::size_t bpp, Byte* __restrict out) {
  std::size_t i = begin;
  for (; i < end && i < bpp; ++i) out[i] = Byte(raw[i] - Predict<T>(0, prior[i], 0));
  for (; i < end; ++i) out[i] = Byte(raw[i] - Predict<T>(raw[i - bpp], prior[i], prior[i - bpp]));
}

template <PngFilterType T>
void UnfilterSpan(Byte* row, const Byte* prior, std::size_t n, std::size_t bpp) {
  std::size_t i = 0;
  for (; i < n && i < bpp; ++i) row[i] = Byte(row[i] + Predict<T>(0, prior[i], 0));
  for (; i < n; ++i) row[i] = Byte(row[i] + Predict<T>(row[i - bpp], prior[i], prior[i - bpp]));
}

// Blocks small enough that a losing candidate stops early, large enough that the per-block
// test costs nothing next to the vector loops inside.
constexpr std::size_t kCostBlock = 256;

std::uint32_t BlockCost(const Byte* data, std::size_t n) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int v = static_cast<std::int8_t>(data[i]);
    sum += std::uint32_t(v < 0 ? -v : v);
  }
  return sum;
}

// Filters the row into out while summing its cost; gives up once the running sum exceeds
// limit, returning that sum. Giving up early cannot change the choice: the sum only grows,
// and a candidate must come in strictly below the best to win.
template <PngFilterType T>
std::uint64_t FilterWithinLimit(const Byte* raw, const Byte* prior, std::size_t n, std::size_t bpp,
                                Byte* out, std::uint64_t limit) {
  std::uint64_t cost = 0;
  for (std::size_t begin = 0; begin < n; begin += kCostBlock) {
    const std::size_t end = std::min(n, begin + kCostBlock);
    FilterSpan<T>(raw, prior, begin, end, bpp, out);
    cost += BlockCost(out + begin, end - begin);
    if (cost > limit) break;
  }
  return cost;
}

}  // namespace

void FilterRow(PngFilterType type, const Byte* raw, const Byte* prior, std::size_t n,
               std::size_t bpp, Byte* out) {
  switch (type) {
    case PngFilterType::None:
      std::copy_n(raw, n, out);
      break;
    case PngFilterType::Sub:
      FilterSpan<PngFilterType::Sub>(raw, prior, 0, n, bpp, out);
      break;
    case PngFilterType::Up:
      FilterSpan<PngFilterType::Up>(raw, prior, 0, n, bpp, out);
      break;
    case PngFilterType::Average:
      FilterSpan<PngFilterType::Average>(raw, prior, 0, n, bpp, out);
      break;
    case PngFilterType::Paeth:
      FilterSpan<PngFilterType::Paeth>(raw, prior, 0, n, bpp, out);
      break;
  }
}

void UnfilterRow(PngFilterType type, Byte* row, const Byte* prior, std::size_t n, std::size_t bpp) {
  switch (type) {
    case PngFilterType::None:
      break;
    case PngFilterType::Sub:
      UnfilterSpan<PngFilterType::Sub>(row, prior, n, bpp);
      break;
    case PngFilterType::Up:
      UnfilterSpan<PngFilterType::Up>(row, prior, n, bpp);
      break;
    case PngFilterType::Average:
      UnfilterSpan<PngFilterType::Average>(row, prior, n, bpp);
      break;
    case PngFilterType::Paeth:
      UnfilterSpan<PngFilterType::Paeth>(row, prior, n, bpp);
      break;
  }
}

std::uint64_t FilterCost(const Byte* data, std::size_t n) {
  std::uint64_t cost = 0;
  for (std::size_t begin = 0; begin < n; begin += kCostBlock)
    cost += BlockCost(data + begin, std::min(kCostBlock, n - begin));
  return cost;
}

PngRowFilter::PngRowFilter(int setting, std::size_t maxLength) {
  if (setting >= 1 && setting <= kPngFilterTypeCount) {
    adaptive_ = false;
    fixed_ = PngFilterType(setting - 1);
  }
  for (int t = 1; t < kPngFilterTypeCount; ++t) {
    if (!adaptive_ && fixed_ != PngFilterType(t)) continue;
    auto& buffer = candidates_[std::size_t(t) - 1];
    buffer.assign(maxLength + 1, 0);
    buffer[0] = std::uint8_t(t);
  }
}

const Byte* PngRowFilter::Apply(const Byte* rawRow, const Byte* prior, std::size_t n,
                                std::size_t bpp) {
  if (adaptive_) return ChooseAdaptive(rawRow, prior, n, bpp);
  if (fixed_ == PngFilterType::None) return rawRow;
  Byte* out = Candidate(fixed_);
  FilterRow(fixed_, rawRow + 1, prior, n, bpp, out + 1);
  return out;
}

// None is the first best; Sub, Up, Average and Paeth follow in that order, and each replaces
// the best only when strictly cheaper, so a tie keeps the earlier filter.
const Byte* PngRowFilter::ChooseAdaptive(const Byte* rawRow, const Byte* prior, std::size_t n,
                                         std::size_t bpp) {
  const Byte* raw = rawRow + 1;
  const Byte* best = rawRow;
  std::uint64_t bestCost = FilterCost(raw, n);

  const auto consider = [&](PngFilterType type, auto filter) {
    Byte* out = Candidate(type);
    const std::uint64_t cost = filter(raw, prior, n, bpp, out + 1, bestCost);
    if (cost < bestCost) {
      bestCost = cost;
      best = out;
    }
  };
  consider(PngFilterType::Sub, FilterWithinLimit<PngFilterType::Sub>);
  consider(PngFilterType::Up, FilterWithinLimit<PngFilterType::Up>);
  consider(PngFilterType::Average, FilterWithinLimit<PngFilterType::Average>);
  consider(PngFilterType::Paeth, FilterWithinLimit<PngFilterType::Paeth>);
  return best;
}
