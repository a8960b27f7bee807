#include "png/png_unfilter.h"

#include <cstring>

#include "png/png_filters.h"

#if defined(__SSE2__)
#include <emmintrin.h>
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

#if defined(__SSE2__)
// ---- One pixel of 3 or 4 bytes per step, in 16-bit lanes -------------------------------

inline __m128i Load4(const Byte* p) {
  int v;
  std::memcpy(&v, p, 4);
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), _mm_setzero_si128());
}

// Stores the pixel in lanes 0 .. Bpp − 1. (A 4-byte store for 3-byte pixels would overlap
// the next pixel's load and defeat store forwarding.)
template <std::size_t Bpp>
inline void Store(Byte* p, __m128i lanes) {
  const int v = _mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes));
  std::memcpy(p, &v, Bpp);
}

inline __m128i Abs16(__m128i v) {
  return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

const __m128i kLowByte = _mm_set1_epi16(0xFF);

template <std::size_t Bpp>
void SubPixels(Byte* x, std::size_t n) {
  __m128i a = _mm_setzero_si128();
  for (std::size_t i = 0; i < n; i += Bpp) {
    a = _mm_and_si128(_mm_add_epi16(Load4(x + i), a), kLowByte);
    Store<Bpp>(x + i, a);
  }
}

template <std::size_t Bpp>
void AveragePixels(Byte* x, const Byte* b, std::size_t n) {
  __m128i a = _mm_setzero_si128();
  for (std::size_t i = 0; i < n; i += Bpp) {
    const __m128i avg = _mm_srli_epi16(_mm_add_epi16(a, Load4(b + i)), 1);
    a = _mm_and_si128(_mm_add_epi16(Load4(x + i), avg), kLowByte);
    Store<Bpp>(x + i, a);
  }
}

template <std::size_t Bpp>
void PaethPixels(Byte* x, const Byte* b, std::size_t n) {
  __m128i a = _mm_setzero_si128();
  __m128i c = _mm_setzero_si128();
  for (std::size_t i = 0; i < n; i += Bpp) {
    const __m128i above = Load4(b + i);
    const __m128i pa = Abs16(_mm_sub_epi16(above, c));  // |p − a| with p = a + b − c
    const __m128i pb = Abs16(_mm_sub_epi16(a, c));      // |p − b|
    const __m128i pc = Abs16(_mm_add_epi16(_mm_sub_epi16(above, c), _mm_sub_epi16(a, c)));
    const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
    // Ties go to a, then b.
    const __m128i predictor =
        Select(_mm_cmpeq_epi16(smallest, pa), a, Select(_mm_cmpeq_epi16(smallest, pb), above, c));
    a = _mm_and_si128(_mm_add_epi16(Load4(x + i), predictor), kLowByte);
    Store<Bpp>(x + i, a);
    c = above;
  }
}
#endif

template <std::size_t Bpp>
void Unfilter(Byte type, Byte* x, const Byte* b, std::size_t n, std::size_t bpp) {
#if defined(__SSE2__)
  if constexpr (Bpp == 3 || Bpp == 4) {
    // Whole pixels only: a row holds n / Bpp of them exactly.
    switch (type) {
      case 1:
        return SubPixels<Bpp>(x, n);
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
#endif
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
