#include "png/png_filters.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// Filters bytes [begin, end), scalar.
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

// The magnitude of a filtered byte read as a signed byte: v below 128, else 256 − v.
inline std::uint32_t Magnitude(Byte v) {
  return v < 128 ? v : 256u - v;
}

#if defined(__SSE2__)
// Sixteen bytes at a time. Filtering reads only raw bytes, never filtered output, so the
// bytes of a row are independent and the predictors vectorise.
inline __m128i Load(const Byte* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline __m128i Abs16(__m128i v) {
  return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

// The Paeth predictor on eight 16-bit lanes.
inline __m128i PaethLanes(__m128i a, __m128i b, __m128i c) {
  const __m128i pa = Abs16(_mm_sub_epi16(b, c));
  const __m128i pb = Abs16(_mm_sub_epi16(a, c));
  const __m128i pc = Abs16(_mm_add_epi16(_mm_sub_epi16(b, c), _mm_sub_epi16(a, c)));
  const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
  const __m128i notB = _mm_cmpgt_epi16(pb, pc);
  const __m128i bc = _mm_or_si128(_mm_andnot_si128(notB, b), _mm_and_si128(notB, c));
  return _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, bc));
}

template <PngFilterType T>
inline __m128i Predict16(const Byte* raw, const Byte* prior, std::size_t i, std::size_t bpp) {
  if constexpr (T == PngFilterType::Sub) return Load(raw + i - bpp);
  if constexpr (T == PngFilterType::Up) return Load(prior + i);
  if constexpr (T == PngFilterType::Average) {
    // The rounding-up average less the lost low bit is the rounding-down one.
    const __m128i a = Load(raw + i - bpp), b = Load(prior + i);
    const __m128i lowBit = _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1));
    return _mm_sub_epi8(_mm_avg_epu8(a, b), lowBit);
  }
  if constexpr (T == PngFilterType::Paeth) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = Load(raw + i - bpp), b = Load(prior + i), c = Load(prior + i - bpp);
    const __m128i lo = PaethLanes(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero),
                                  _mm_unpacklo_epi8(c, zero));
    const __m128i hi = PaethLanes(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero),
                                  _mm_unpackhi_epi8(c, zero));
    return _mm_packus_epi16(lo, hi);
  }
  return _mm_setzero_si128();
}

// Two 64-bit partial sums of the magnitudes of sixteen bytes: min(v, 256 − v) per byte.
inline __m128i Cost16(__m128i v) {
  const __m128i zero = _mm_setzero_si128();
  return _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(zero, v)), zero);
}

inline std::uint64_t Sum64(__m128i v) {
  return std::uint64_t(_mm_cvtsi128_si64(v)) +
         std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
}
#endif

#if defined(__x86_64__)
// The same with 32 bytes at a time where the CPU has AVX2; chosen once per process.
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

#define NIMBREL_AVX2 __attribute__((target("avx2")))

NIMBREL_AVX2 inline __m256i Load32B(const Byte* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

NIMBREL_AVX2 inline __m256i PaethLanes32(__m256i a, __m256i b, __m256i c) {
  const __m256i pa = _mm256_abs_epi16(_mm256_sub_epi16(b, c));
  const __m256i pb = _mm256_abs_epi16(_mm256_sub_epi16(a, c));
  const __m256i pc =
      _mm256_abs_epi16(_mm256_add_epi16(_mm256_sub_epi16(b, c), _mm256_sub_epi16(a, c)));
  const __m256i notA = _mm256_or_si256(_mm256_cmpgt_epi16(pa, pb), _mm256_cmpgt_epi16(pa, pc));
  const __m256i notB = _mm256_cmpgt_epi16(pb, pc);
  return _mm256_blendv_epi8(a, _mm256_blendv_epi8(b, c, notB), notA);
}

template <PngFilterType T>
NIMBREL_AVX2 inline __m256i Predict32B(const Byte* raw, const Byte* prior, std::size_t i,
                                       std::size_t bpp) {
  if constexpr (T == PngFilterType::Sub) return Load32B(raw + i - bpp);
  if constexpr (T == PngFilterType::Up) return Load32B(prior + i);
  if constexpr (T == PngFilterType::Average) {
    const __m256i a = Load32B(raw + i - bpp), b = Load32B(prior + i);
    const __m256i lowBit = _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1));
    return _mm256_sub_epi8(_mm256_avg_epu8(a, b), lowBit);
  }
  if constexpr (T == PngFilterType::Paeth) {
    // Unpacking and packing both work within 128-bit halves, so the bytes come back in order.
    const __m256i zero = _mm256_setzero_si256();
    const __m256i a = Load32B(raw + i - bpp), b = Load32B(prior + i), c = Load32B(prior + i - bpp);
    const __m256i lo = PaethLanes32(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero),
                                    _mm256_unpacklo_epi8(c, zero));
    const __m256i hi = PaethLanes32(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero),
                                    _mm256_unpackhi_epi8(c, zero));
    return _mm256_packus_epi16(lo, hi);
  }
  return _mm256_setzero_si256();
}

// Filters whole 32-byte groups of [begin, end), all at or after bpp; returns their cost and
// sets begin to where it stopped.
template <PngFilterType T>
NIMBREL_AVX2 std::uint64_t FilterGroupsAvx2(const Byte* __restrict raw,
                                            const Byte* __restrict prior, std::size_t& begin,
                                            std::size_t end, std::size_t bpp,
                                            Byte* __restrict out) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i sums = zero;
  std::size_t i = begin;
  for (; i + 32 <= end; i += 32) {
    const __m256i v = _mm256_sub_epi8(Load32B(raw + i), Predict32B<T>(raw, prior, i, bpp));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
    sums =
        _mm256_add_epi64(sums, _mm256_sad_epu8(_mm256_min_epu8(v, _mm256_sub_epi8(zero, v)), zero));
  }
  begin = i;
  const __m128i half =
      _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
  return std::uint64_t(_mm_cvtsi128_si64(half)) +
         std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(half, half)));
}
#endif

// Blocks small enough that a losing candidate stops early, large enough that the per-block
// test costs nothing next to the work inside.
constexpr std::size_t kCostBlock = 256;

// Filters bytes [begin, end), all at or after bpp, into out; returns their cost.
template <PngFilterType T>
std::uint64_t FilterBlock(const Byte* __restrict raw, const Byte* __restrict prior,
                          std::size_t begin, std::size_t end, std::size_t bpp,
                          Byte* __restrict out) {
  std::uint64_t cost = 0;
  std::size_t i = begin;
#if defined(__x86_64__)
  if (HasAvx2()) cost = FilterGroupsAvx2<T>(raw, prior, i, end, bpp, out);
#endif
#if defined(__SSE2__)
  __m128i sums = _mm_setzero_si128();
  for (; i + 16 <= end; i += 16) {
    const __m128i v = _mm_sub_epi8(Load(raw + i), Predict16<T>(raw, prior, i, bpp));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), v);
    sums = _mm_add_epi64(sums, Cost16(v));
  }
  cost += Sum64(sums);
#endif
  for (; i < end; ++i) {
    out[i] = Byte(raw[i] - Predict<T>(raw[i - bpp], prior[i], prior[i - bpp]));
    cost += Magnitude(out[i]);
  }
  return cost;
}

std::uint64_t BlockCost(const Byte* data, std::size_t n) {
  std::uint64_t cost = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  __m128i sums = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) sums = _mm_add_epi64(sums, Cost16(Load(data + i)));
  cost = Sum64(sums);
#endif
  for (; i < n; ++i) cost += Magnitude(data[i]);
  return cost;
}

// Filters the row into out while summing its cost; gives up once the running sum exceeds
// limit, returning that sum. Giving up early cannot change the choice: the sum only grows,
// and a candidate must come in strictly below the best to win. The first bpp bytes have no
// left neighbour and are done on their own.
template <PngFilterType T>
std::uint64_t FilterWithinLimit(const Byte* raw, const Byte* prior, std::size_t n, std::size_t bpp,
                                Byte* out, std::uint64_t limit) {
  const std::size_t head = std::min(n, bpp);
  FilterSpan<T>(raw, prior, 0, head, bpp, out);
  std::uint64_t cost = BlockCost(out, head);
  for (std::size_t begin = head; begin < n && cost <= limit; begin += kCostBlock)
    cost += FilterBlock<T>(raw, prior, begin, std::min(n, begin + kCostBlock), bpp, out);
  return cost;
}

constexpr std::uint64_t kNoLimit = ~std::uint64_t(0);

}  // namespace

void FilterRow(PngFilterType type, const Byte* raw, const Byte* prior, std::size_t n,
               std::size_t bpp, Byte* out) {
  switch (type) {
    case PngFilterType::None:
      std::copy_n(raw, n, out);
      break;
    case PngFilterType::Sub:
      FilterWithinLimit<PngFilterType::Sub>(raw, prior, n, bpp, out, kNoLimit);
      break;
    case PngFilterType::Up:
      FilterWithinLimit<PngFilterType::Up>(raw, prior, n, bpp, out, kNoLimit);
      break;
    case PngFilterType::Average:
      FilterWithinLimit<PngFilterType::Average>(raw, prior, n, bpp, out, kNoLimit);
      break;
    case PngFilterType::Paeth:
      FilterWithinLimit<PngFilterType::Paeth>(raw, prior, n, bpp, out, kNoLimit);
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
  return BlockCost(data, n);
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
