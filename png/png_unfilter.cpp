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
#include "png/png_unfilter_quad.inc"
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
    case SimdLevel::kAvx2:
      pixels3_ = avx2::UnfilterPixels<3>, pixels4_ = avx2::UnfilterPixels<4>;
      pair3_ = avx2::PaethPairPixels<3>, pair4_ = avx2::PaethPairPixels<4>;
      quad3_[1] = avx2::QuadRowPixels<3, 1>, quad4_[1] = avx2::QuadRowPixels<4, 1>;
      quad3_[3] = avx2::QuadRowPixels<3, 3>, quad4_[3] = avx2::QuadRowPixels<4, 3>;
      quad3_[4] = avx2::QuadRowPixels<3, 4>, quad4_[4] = avx2::QuadRowPixels<4, 4>;
      rowsAtOnce_ = 4;
      break;
    case SimdLevel::kSse41:
      pixels3_ = sse41::UnfilterPixels<3>, pixels4_ = sse41::UnfilterPixels<4>;
      pair3_ = sse41::PaethPairPixels<3>, pair4_ = sse41::PaethPairPixels<4>;
      rowsAtOnce_ = 2;
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

bool RowUnfilter::Rows(const std::uint8_t* types, std::uint8_t* const* rows, std::size_t count,
                       const std::uint8_t* prior, std::size_t n, std::size_t bpp) const {
  const bool sideBySide = (bpp == 3 || bpp == 4) && n >= bpp;  // whole pixels, at least one
  for (std::size_t k = 0; k < count;) {
    const std::uint8_t type = types[k];
    if (type > 4) return false;
    std::size_t run = 1;
    while (k + run < count && run < kMostRowsAtOnce && types[k + run] == type) ++run;
    const RowsKernel quad = sideBySide ? (bpp == 3 ? quad3_ : quad4_)[type] : nullptr;
    const RowsKernel pair = sideBySide && type == 4 ? (bpp == 3 ? pair3_ : pair4_) : nullptr;
    std::size_t done = 1;
    if (quad != nullptr && run == 4) {
      quad(rows + k, prior, n);
      done = 4;
    } else if (pair != nullptr && run >= 2) {
      pair(rows + k, prior, n);
      done = 2;
    } else {
      Row(type, rows[k], prior, n, bpp);
    }
    k += done;
    prior = rows[k - 1];
  }
  return true;
}
