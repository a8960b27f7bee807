#include "png/png_unfilter.h"

#include <cstring>

#include "png/png_filters.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NIMBREL_UNFILTER_SIMD 1
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

#if defined(NIMBREL_UNFILTER_SIMD)
namespace sse41 {
#define NIMBREL_TARGET __attribute__((target("sse4.1")))
#include "png/png_unfilter_pixels.inc"
#undef NIMBREL_TARGET
}  // namespace sse41

namespace avx2 {
#define NIMBREL_TARGET __attribute__((target("avx2")))
#include "png/png_unfilter_pixels.inc"
#undef NIMBREL_TARGET
}  // namespace avx2

using PixelUnfilter = void (*)(Byte type, Byte* x, const Byte* b, std::size_t n);
using PaethPairUnfilter = void (*)(Byte* upper, Byte* lower, const Byte* prior, std::size_t n);

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
bool HasSse41() {
  static const bool has = __builtin_cpu_supports("sse4.1");
  return has;
}

// The best of the two for this processor, or nullptr for the scalar code.
template <std::size_t Bpp>
PixelUnfilter ChoosePixelUnfilter() {
  return HasAvx2() ? avx2::UnfilterPixels<Bpp> : HasSse41() ? sse41::UnfilterPixels<Bpp> : nullptr;
}

template <std::size_t Bpp>
PaethPairUnfilter ChoosePaethPair() {
  return HasAvx2()    ? avx2::PaethPairPixels<Bpp>
         : HasSse41() ? sse41::PaethPairPixels<Bpp>
                      : nullptr;
}

// Both rows' Paeth filters in one pass, where this processor and pixel size allow.
bool UndoPaethPair(Byte* upper, Byte* lower, const Byte* prior, std::size_t n, std::size_t bpp) {
  if (n < bpp) return false;
  static const PaethPairUnfilter three = ChoosePaethPair<3>();
  static const PaethPairUnfilter four = ChoosePaethPair<4>();
  const PaethPairUnfilter pair = bpp == 3 ? three : bpp == 4 ? four : nullptr;
  if (pair == nullptr) return false;
  pair(upper, lower, prior, n);
  return true;
}
#endif

template <std::size_t Bpp>
void Unfilter(Byte type, Byte* x, const Byte* b, std::size_t n, std::size_t bpp) {
#if defined(NIMBREL_UNFILTER_SIMD)
  // Whole pixels only: a row holds n / Bpp of them exactly.
  if constexpr (Bpp == 3 || Bpp == 4) {
    static const PixelUnfilter pixels = ChoosePixelUnfilter<Bpp>();
    if (pixels != nullptr && n >= Bpp) return pixels(type, x, b, n);
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

bool UnfilterRawRowPair(std::uint8_t upperType, std::uint8_t* upper, std::uint8_t lowerType,
                        std::uint8_t* lower, const std::uint8_t* prior, std::size_t n,
                        std::size_t bpp) {
  if (upperType > 4 || lowerType > 4) return false;
#if defined(NIMBREL_UNFILTER_SIMD)
  if (upperType == 4 && lowerType == 4 && UndoPaethPair(upper, lower, prior, n, bpp)) return true;
#endif
  return UnfilterRawRow(upperType, upper, prior, n, bpp) &&
         UnfilterRawRow(lowerType, lower, upper, n, bpp);
}
