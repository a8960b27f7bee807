#include "png/png_filters.h"

#include <algorithm>

#if defined(NIMBREL_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

using Byte = std::uint8_t;

template <PngFilterType T>
inline Byte Predict(Byte a, Byte b, Byte c) {
  if constexpr (T == PngFilterType::kSub) return a;
  if constexpr (T == PngFilterType::kUp) return b;
  if constexpr (T == PngFilterType::kAverage) return Byte((unsigned(a) + unsigned(b)) >> 1);
  if constexpr (T == PngFilterType::kPaeth) return PaethPredictor(a, b, c);
  return 0;
}

// Filters bytes [begin, end), which may start before bpp.
template <PngFilterType T>
void FilterSpan(const Byte* __restrict raw, const Byte* __restrict prior, std::size_t begin,
                std::size_t end, std::size_t bpp, Byte* __restrict out) {
  std::size_t i = begin;
  for (; i < end && i < bpp; ++i) out[i] = Byte(raw[i] - Predict<T>(0, prior[i], 0));
  for (; i < end; ++i) out[i] = Byte(raw[i] - Predict<T>(raw[i - bpp], prior[i], prior[i - bpp]));
}

// The magnitude of a filtered byte read as a signed byte: v below 128, else 256 − v.
inline std::uint32_t Magnitude(Byte v) {
  return v < 128 ? v : 256u - v;
}

std::uint64_t CostTail(const Byte* data, std::size_t begin, std::size_t end) {
  std::uint64_t cost = 0;
  for (std::size_t i = begin; i < end; ++i) cost += Magnitude(data[i]);
  return cost;
}

// Filters bytes [begin, end), all at or after bpp, one at a time; returns their cost.
template <PngFilterType T>
std::uint64_t FilterTail(const Byte* __restrict raw, const Byte* __restrict prior,
                         std::size_t begin, std::size_t end, std::size_t bpp,
                         Byte* __restrict out) {
  std::uint64_t cost = 0;
  for (std::size_t i = begin; i < end; ++i) {
    out[i] = Byte(raw[i] - Predict<T>(raw[i - bpp], prior[i], prior[i - bpp]));
    cost += Magnitude(out[i]);
  }
  return cost;
}

// Blocks small enough that a losing candidate stops early, large enough that the per-block
// test costs nothing next to the work inside.
constexpr std::size_t kCostBlock = 256;

constexpr std::uint64_t kNoLimit = ~std::uint64_t(0);

}  // namespace

// The filtering kernels of one instruction set: Sub, Up, Average and Paeth over a row within
// a cost limit, and the cost of a row as it is.
struct FilterKernels {
  using FilterFn = std::uint64_t (*)(const Byte* raw, const Byte* prior, std::size_t n,
                                     std::size_t bpp, Byte* out, std::uint64_t limit);
  FilterFn filter[kPngFilterTypeCount - 1];
  std::uint64_t (*cost)(const Byte* data, std::size_t n);
};

namespace {

namespace scalar {
#define NIMBREL_TARGET
#define NIMBREL_VECTOR_BYTES 0
#include "png/png_filter_rows.inc"
#undef NIMBREL_VECTOR_BYTES
#undef NIMBREL_TARGET
}  // namespace scalar

#if defined(NIMBREL_X86_KERNELS)
// The two vector sets differ only in their width and the prefix of their intrinsics.
namespace sse41 {
#define NIMBREL_TARGET __attribute__((target("sse4.1")))
#define NIMBREL_VECTOR_BYTES 16
#define NIMBREL_MM(op) _mm_##op
#define NIMBREL_SI(op) _mm_##op##_si128
using Vec = __m128i;
#include "png/png_filter_rows.inc"
#undef NIMBREL_SI
#undef NIMBREL_MM
#undef NIMBREL_VECTOR_BYTES
#undef NIMBREL_TARGET
}  // namespace sse41

namespace avx2 {
#define NIMBREL_TARGET __attribute__((target("avx2")))
#define NIMBREL_VECTOR_BYTES 32
#define NIMBREL_MM(op) _mm256_##op
#define NIMBREL_SI(op) _mm256_##op##_si256
using Vec = __m256i;
#include "png/png_filter_rows.inc"
#undef NIMBREL_SI
#undef NIMBREL_MM
#undef NIMBREL_VECTOR_BYTES
#undef NIMBREL_TARGET
}  // namespace avx2
#endif

const FilterKernels& KernelsFor(SimdLevel level) {
  switch (level) {
#if defined(NIMBREL_X86_KERNELS)
    case SimdLevel::kAvx2:
      return avx2::kKernels;
    case SimdLevel::kSse41:
      return sse41::kKernels;
#endif
    default:
      return scalar::kKernels;
  }
}

void Filter(const FilterKernels& kernels, PngFilterType type, const Byte* raw, const Byte* prior,
            std::size_t n, std::size_t bpp, Byte* out) {
  if (type == PngFilterType::kNone)
    std::copy_n(raw, n, out);
  else
    kernels.filter[std::size_t(type) - 1](raw, prior, n, bpp, out, kNoLimit);
}

}  // namespace

void FilterRow(PngFilterType type, const Byte* raw, const Byte* prior, std::size_t n,
               std::size_t bpp, Byte* out, SimdLevel level) {
  Filter(KernelsFor(level), type, raw, prior, n, bpp, out);
}

std::uint64_t FilterCost(const Byte* data, std::size_t n, SimdLevel level) {
  return KernelsFor(level).cost(data, n);
}

PngRowFilter::PngRowFilter(int setting, std::size_t maxLength, SimdLevel level)
    : kernels_(&KernelsFor(level)) {
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
  if (fixed_ == PngFilterType::kNone) return rawRow;
  Byte* out = Candidate(fixed_);
  Filter(*kernels_, fixed_, rawRow + 1, prior, n, bpp, out + 1);
  return out;
}

// None is the first best; Sub, Up, Average and Paeth follow in that order, and each replaces
// the best only when strictly cheaper, so a tie keeps the earlier filter.
const Byte* PngRowFilter::ChooseAdaptive(const Byte* rawRow, const Byte* prior, std::size_t n,
                                         std::size_t bpp) {
  const Byte* raw = rawRow + 1;
  const Byte* best = rawRow;
  std::uint64_t bestCost = kernels_->cost(raw, n);
  for (int t = 1; t < kPngFilterTypeCount; ++t) {
    Byte* out = Candidate(PngFilterType(t));
    const std::uint64_t cost = kernels_->filter[t - 1](raw, prior, n, bpp, out + 1, bestCost);
    if (cost < bestCost) {
      bestCost = cost;
      best = out;
    }
  }
  return best;
}
