#include "png/png_unfilter.h"

#include <cstring>

#include "png/png_filters.h"

#if defined(NIMBREL_X86_KERNELS)
#include <immintrin.h>
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

#if defined(NIMBREL_X86_KERNELS)
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
#endif

template <std::size_t Bpp>
void Unfilter(RowUnfilter::PixelKernel pixels, Byte type, Byte* x, const Byte* b, std::size_t n,
              std::size_t bpp) {
  // Whole pixels only: a row holds n / Bpp of them exactly.
  if constexpr (Bpp == 3 || Bpp == 4) {
    if (pixels != nullptr && n >= Bpp) return pixels(type, x, b, n);
  }
  UnfilterScalar<Bpp>(type, x, b, n, bpp);
}

}  // namespace

RowUnfilter::RowUnfilter(SimdLevel level) {
  switch (level) {
#if defined(NIMBREL_X86_KERNELS)
    case SimdLevel::Avx2:
      pixels3_ = avx2::UnfilterPixels<3>, pixels4_ = avx2::UnfilterPixels<4>;
      pair3_ = avx2::PaethPairPixels<3>, pair4_ = avx2::PaethPairPixels<4>;
      break;
    case SimdLevel::Sse41:
      pixels3_ = sse41::UnfilterPixels<3>, pixels4_ = sse41::UnfilterPixels<4>;
      pair3_ = sse41::PaethPairPixels<3>, pair4_ = sse41::PaethPairPixels<4>;
      break;
#endif
    default:
      break;
  }
}

bool RowUnfilter::Row(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior,
                      std::size_t n, std::size_t bpp) const {
  if (type > 4) return false;
  if (type == 0) return true;
  switch (bpp) {
    case 1:
      Unfilter<1>(nullptr, type, row, prior, n, bpp);
      break;
    case 2:
      Unfilter<2>(nullptr, type, row, prior, n, bpp);
      break;
    case 3:
      Unfilter<3>(pixels3_, type, row, prior, n, bpp);
      break;
    case 4:
      Unfilter<4>(pixels4_, type, row, prior, n, bpp);
      break;
    case 6:
      Unfilter<6>(nullptr, type, row, prior, n, bpp);
      break;
    case 8:
      Unfilter<8>(nullptr, type, row, prior, n, bpp);
      break;
    default:
      Unfilter<0>(nullptr, type, row, prior, n, bpp);
      break;
  }
  return true;
}

bool RowUnfilter::RowPair(std::uint8_t upperType, std::uint8_t* upper, std::uint8_t lowerType,
                          std::uint8_t* lower, const std::uint8_t* prior, std::size_t n,
                          std::size_t bpp) const {
  if (upperType > 4 || lowerType > 4) return false;
  // Both rows' Paeth filters in one pass, where this instruction set and pixel size allow.
  const PaethPairKernel pair = bpp == 3 ? pair3_ : bpp == 4 ? pair4_ : nullptr;
  if (upperType == 4 && lowerType == 4 && pair != nullptr && n >= bpp) {
    pair(upper, lower, prior, n);
    return true;
  }
  return Row(upperType, upper, prior, n, bpp) && Row(lowerType, lower, upper, n, bpp);
}
