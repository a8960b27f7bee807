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
namespace sse41 {
#define NIMBREL_TARGET __attribute__((target("sse4.1")))
#define NIMBREL_VECTOR_BYTES 16

using Vec = __m128i;

NIMBREL_TARGET inline Vec Load(const Byte* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
NIMBREL_TARGET inline void Store(Byte* p, Vec v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
NIMBREL_TARGET inline Vec Zero() {
  return _mm_setzero_si128();
}
NIMBREL_TARGET inline Vec Sub8(Vec a, Vec b) {
  return _mm_sub_epi8(a, b);
}
// The rounding-up average less the lost low bit is the rounding-down one.
NIMBREL_TARGET inline Vec Average(Vec a, Vec b) {
  const Vec lowBit = _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1));
  return _mm_sub_epi8(_mm_avg_epu8(a, b), lowBit);
}
// The predictor on eight 16-bit lanes; ties go to a, then b.
NIMBREL_TARGET inline Vec PaethLanes(Vec a, Vec b, Vec c) {
  const Vec pa = _mm_abs_epi16(_mm_sub_epi16(b, c));
  const Vec pb = _mm_abs_epi16(_mm_sub_epi16(a, c));
  const Vec pc = _mm_abs_epi16(_mm_add_epi16(_mm_sub_epi16(b, c), _mm_sub_epi16(a, c)));
  const Vec notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
  const Vec notB = _mm_cmpgt_epi16(pb, pc);
  return _mm_blendv_epi8(a, _mm_blendv_epi8(b, c, notB), notA);
}
NIMBREL_TARGET inline Vec Paeth(Vec a, Vec b, Vec c) {
  const Vec zero = _mm_setzero_si128();
  const Vec lo = PaethLanes(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero),
                            _mm_unpacklo_epi8(c, zero));
  const Vec hi = PaethLanes(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero),
                            _mm_unpackhi_epi8(c, zero));
  return _mm_packus_epi16(lo, hi);
}
// Two 64-bit partial sums of min(v, 256 − v) per byte.
NIMBREL_TARGET inline Vec AddCost(Vec sums, Vec v) {
  const Vec zero = _mm_setzero_si128();
  return _mm_add_epi64(sums, _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(zero, v)), zero));
}
NIMBREL_TARGET inline std::uint64_t Total(Vec sums) {
  alignas(16) std::uint64_t parts[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(parts), sums);
  return parts[0] + parts[1];
}

#include "png/png_filter_rows.inc"
#undef NIMBREL_VECTOR_BYTES
#undef NIMBREL_TARGET
}  // namespace sse41

namespace avx2 {
#define NIMBREL_TARGET __attribute__((target("avx2")))
#define NIMBREL_VECTOR_BYTES 32

using Vec = __m256i;

NIMBREL_TARGET inline Vec Load(const Byte* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
NIMBREL_TARGET inline void Store(Byte* p, Vec v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
NIMBREL_TARGET inline Vec Zero() {
  return _mm256_setzero_si256();
}
NIMBREL_TARGET inline Vec Sub8(Vec a, Vec b) {
  return _mm256_sub_epi8(a, b);
}
NIMBREL_TARGET inline Vec Average(Vec a, Vec b) {
  const Vec lowBit = _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1));
  return _mm256_sub_epi8(_mm256_avg_epu8(a, b), lowBit);
}
NIMBREL_TARGET inline Vec PaethLanes(Vec a, Vec b, Vec c) {
  const Vec pa = _mm256_abs_epi16(_mm256_sub_epi16(b, c));
  const Vec pb = _mm256_abs_epi16(_mm256_sub_epi16(a, c));
  const Vec pc = _mm256_abs_epi16(_mm256_add_epi16(_mm256_sub_epi16(b, c), _mm256_sub_epi16(a, c)));
  const Vec notA = _mm256_or_si256(_mm256_cmpgt_epi16(pa, pb), _mm256_cmpgt_epi16(pa, pc));
  const Vec notB = _mm256_cmpgt_epi16(pb, pc);
  return _mm256_blendv_epi8(a, _mm256_blendv_epi8(b, c, notB), notA);
}
// Unpacking and packing both work within 128-bit halves, so the bytes come back in order.
NIMBREL_TARGET inline Vec Paeth(Vec a, Vec b, Vec c) {
  const Vec zero = _mm256_setzero_si256();
  const Vec lo = PaethLanes(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero),
                            _mm256_unpacklo_epi8(c, zero));
  const Vec hi = PaethLanes(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero),
                            _mm256_unpackhi_epi8(c, zero));
  return _mm256_packus_epi16(lo, hi);
}
NIMBREL_TARGET inline Vec AddCost(Vec sums, Vec v) {
  const Vec zero = _mm256_setzero_si256();
  return _mm256_add_epi64(sums,
                          _mm256_sad_epu8(_mm256_min_epu8(v, _mm256_sub_epi8(zero, v)), zero));
}
NIMBREL_TARGET inline std::uint64_t Total(Vec sums) {
  alignas(32) std::uint64_t parts[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(parts), sums);
  return parts[0] + parts[1] + parts[2] + parts[3];
}

#include "png/png_filter_rows.inc"
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
