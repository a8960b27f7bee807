#include "png/png_unfilter.h"

#include <cstring>

#include "png/png_filters.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NIMBREL_UNFILTER_SSE41 1
#endif

namespace {

using Byte = std::uint8_t;

// ---- Scalar, with the pixel size known at compile time where it is small -------------

template <std::size_t Bpp>
void SubScalar(Byte* x, std::size_t n, std::size_t bpp) {
  const std::size_t d = Bpp ? Bpp : bpp;
  for (std::size_t i = d; i < n; ++i) x[i] = Byte(x[i] + x[i - d]);
}

void Up(Byte* __restrict x, const Byte* __restrict b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) x[i] = Byte(x[i] + b[i]);
}

template <std::size_t Bpp>
void AverageScalar(Byte* __restrict x, const Byte* __restrict b, std::size_t n, std::size_t bpp) {
  const std::size_t d = Bpp ? Bpp : bpp;
  std::size_t i = 0;
  for (; i < n && i < d; ++i) x[i] = Byte(x[i] + (b[i] >> 1));
  for (; i < n; ++i) x[i] = Byte(x[i] + ((unsigned(x[i - d]) + b[i]) >> 1));
}

template <std::size_t Bpp>
void PaethScalar(Byte* __restrict x, const Byte* __restrict b, std::size_t n, std::size_t bpp) {
  const std::size_t d = Bpp ? Bpp : bpp;
  std::size_t i = 0;
  for (; i < n && i < d; ++i) x[i] = Byte(x[i] + b[i]);  // a = c = 0: the predictor is b
  for (; i < n; ++i) x[i] = Byte(x[i] + PaethPredictor(x[i - d], b[i], b[i - d]));
}

template <std::size_t Bpp>
void UnfilterScalar(Byte type, Byte* x, const Byte* b, std::size_t n, std::size_t bpp) {
  switch (type) {
    case 1:
      return SubScalar<Bpp>(x, n, bpp);
    case 2:
      return Up(x, b, n);
    case 3:
      return AverageScalar<Bpp>(x, b, n, bpp);
    case 4:
      return PaethScalar<Bpp>(x, b, n, bpp);
    default:
      return;
  }
}

#if defined(NIMBREL_UNFILTER_SSE41)
// ---- Pixels of 3 or 4 bytes, one per step in 16-bit lanes ------------------------------
//
// Sub, Average and Paeth depend on the pixel just decoded, so each is a chain of dependent
// steps; what matters is how short the chain is from one pixel to the next. Every step loads
// and stores 4 bytes; for 3-byte pixels the fourth belongs to the next pixel, which is loaded
// before the store and rewritten by the next step. The last pixel moves exactly its own bytes,
// so nothing outside the row is read or written.

#define NIMBREL_SSE41 __attribute__((target("sse4.1")))

NIMBREL_SSE41 inline __m128i Widen(int v) {
  return _mm_cvtepu8_epi16(_mm_cvtsi32_si128(v));
}

template <std::size_t Bytes>
NIMBREL_SSE41 inline __m128i LoadPixel(const Byte* p) {
  int v = 0;
  std::memcpy(&v, p, Bytes);
  return Widen(v);
}

template <std::size_t Bytes>
NIMBREL_SSE41 inline void StorePixel(Byte* p, __m128i lanes) {
  const int v = _mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes));
  std::memcpy(p, &v, Bytes);
}

// Runs step(x, b) → new pixel over the row. `x` is the filtered pixel, `b` the one above; the
// step keeps its own state (the left neighbour and the pixel above it).
template <std::size_t Bpp, typename Step>
NIMBREL_SSE41 inline void ForEachPixel(Byte* x, const Byte* b, std::size_t n, Step step) {
  const std::size_t last = n - Bpp;
  __m128i raw = last > 0 ? LoadPixel<4>(x) : LoadPixel<Bpp>(x);
  for (std::size_t i = 0; i < last; i += Bpp) {
    const __m128i above = LoadPixel<4>(b + i);
    const __m128i next = i + Bpp < last ? LoadPixel<4>(x + i + Bpp) : LoadPixel<Bpp>(x + i + Bpp);
    StorePixel<4>(x + i, step(raw, above));
    raw = next;
  }
  StorePixel<Bpp>(x + last, step(raw, LoadPixel<Bpp>(b + last)));
}

// The 16-bit lanes hold bytes, so an 8-bit add is the sum modulo 256 with the high bytes
// kept at zero.
template <std::size_t Bpp>
NIMBREL_SSE41 void SubPixels(Byte* x, const Byte* b, std::size_t n) {
  __m128i a = _mm_setzero_si128();
  ForEachPixel<Bpp>(x, b, n,
                    [&a](__m128i raw, __m128i) NIMBREL_SSE41 { return a = _mm_add_epi8(raw, a); });
}

template <std::size_t Bpp>
NIMBREL_SSE41 void AveragePixels(Byte* x, const Byte* b, std::size_t n) {
  __m128i a = _mm_setzero_si128();
  ForEachPixel<Bpp>(x, b, n, [&a](__m128i raw, __m128i above) NIMBREL_SSE41 {
    return a = _mm_add_epi8(raw, _mm_srli_epi16(_mm_add_epi16(a, above), 1));
  });
}

// With p = a + b − c: |p − a| = |b − c| does not depend on a and is known before the step;
// |p − b| = |a − c| and |p − c| = |(a − c) + (b − c)| do.
template <std::size_t Bpp>
NIMBREL_SSE41 void PaethPixels(Byte* x, const Byte* b, std::size_t n) {
  __m128i a = _mm_setzero_si128();
  __m128i c = _mm_setzero_si128();
  ForEachPixel<Bpp>(x, b, n, [&a, &c](__m128i raw, __m128i above) NIMBREL_SSE41 {
    const __m128i bc = _mm_sub_epi16(above, c);
    const __m128i pa = _mm_abs_epi16(bc);
    const __m128i ac = _mm_sub_epi16(a, c);
    const __m128i pb = _mm_abs_epi16(ac);
    const __m128i pc = _mm_abs_epi16(_mm_add_epi16(ac, bc));
    // Ties go to a, then b.
    const __m128i notA = _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc));
    const __m128i bOrC = _mm_blendv_epi8(above, c, _mm_cmpgt_epi16(pb, pc));
    c = above;
    return a = _mm_add_epi8(raw, _mm_blendv_epi8(a, bOrC, notA));
  });
}

template <std::size_t Bpp>
NIMBREL_SSE41 void UnfilterSse41(Byte type, Byte* x, const Byte* b, std::size_t n) {
  switch (type) {
    case 1:
      return SubPixels<Bpp>(x, b, n);
    case 2:
      return Up(x, b, n);
    case 3:
      return AveragePixels<Bpp>(x, b, n);
    case 4:
      return PaethPixels<Bpp>(x, b, n);
    default:
      return;
  }
}

bool HasSse41() {
  static const bool has = __builtin_cpu_supports("sse4.1");
  return has;
}
#endif

template <std::size_t Bpp>
void Unfilter(Byte type, Byte* x, const Byte* b, std::size_t n, std::size_t bpp) {
#if defined(NIMBREL_UNFILTER_SSE41)
  // Whole pixels only: a row holds n / Bpp of them exactly.
  if constexpr (Bpp == 3 || Bpp == 4) {
    if (HasSse41() && n >= Bpp) return UnfilterSse41<Bpp>(type, x, b, n);
  }
#endif
  UnfilterScalar<Bpp>(type, x, b, n, bpp);
}

}  // namespace

bool UnfilterRawRow(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n,
                    std::size_t bpp) {
  if (type > 4) return false;
  if (type == 0) return true;
  switch (bpp) {
    case 1:
      Unfilter<1>(type, row, prior, n, bpp);
      break;
    case 2:
      Unfilter<2>(type, row, prior, n, bpp);
      break;
    case 3:
      Unfilter<3>(type, row, prior, n, bpp);
      break;
    case 4:
      Unfilter<4>(type, row, prior, n, bpp);
      break;
    case 6:
      Unfilter<6>(type, row, prior, n, bpp);
      break;
    case 8:
      Unfilter<8>(type, row, prior, n, bpp);
      break;
    default:
      Unfilter<0>(type, row, prior, n, bpp);
      break;
  }
  return true;
}
