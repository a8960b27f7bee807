#include "png/png_row_gather.h"

#include <bit>
#include <cstring>

#if defined(NIMBREL_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

using Byte = std::uint8_t;

// The word-wise pixel swaps below read and write words in memory order.
static_assert(std::endian::native == std::endian::little);

void GatherPacked(const Byte* row, int bits, std::int64_t first, int step, std::int64_t count,
                  Byte* out) {
  const int perByte = 8 / bits;
  const int mask = (1 << bits) - 1;
  std::memset(out, 0, std::size_t((count * bits + 7) / 8));
  std::int64_t x = first;
  for (std::int64_t k = 0; k < count; ++k, x += step) {
    const int shiftIn = (perByte - 1 - int(x % perByte)) * bits;
    const int shiftOut = (perByte - 1 - int(k % perByte)) * bits;
    const int v = (row[x / perByte] >> shiftIn) & mask;
    out[k / perByte] = Byte(out[k / perByte] | (v << shiftOut));
  }
}

void Gather8(const Byte* row, std::int64_t first, int step, std::int64_t count, Byte* out) {
  if (step == 1) {
    std::memcpy(out, row + first, std::size_t(count));
    return;
  }
  for (std::int64_t k = 0; k < count; ++k) out[k] = row[first + k * step];
}

inline std::uint32_t Load32(const Byte* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(Byte* p, std::uint32_t v) {
  std::memcpy(p, &v, 4);
}

#if defined(NIMBREL_X86_KERNELS)
namespace sse41 {
#define NIMBREL_TARGET __attribute__((target("sse4.1")))
#include "png/png_row_gather_swaps.inc"
#undef NIMBREL_TARGET
}  // namespace sse41

namespace avx2 {
#define NIMBREL_TARGET __attribute__((target("avx2")))
#include "png/png_row_gather_swaps.inc"
#undef NIMBREL_TARGET
}  // namespace avx2
#endif

// Blue, green, red to red, green, blue. All pixels but the last go as whole 32-bit words: the
// byte after each such pixel still lies in the row, and the stray fourth byte written is
// overwritten by the next pixel.
void GatherRGB(RowGather::SwapRun swap, const Byte* row, std::int64_t first, int step,
               std::int64_t count, Byte* __restrict out) {
  if (count <= 0) return;
  const Byte* in = row + first * 3;
  const std::int64_t stride = std::int64_t(step) * 3;
  if (step == 1 && swap != nullptr) {
    const std::int64_t done = swap(in, count, out);
    in += done * 3;
    out += done * 3;
    count -= done;
  }
  for (std::int64_t k = 0; k + 1 < count; ++k, in += stride, out += 3)
    Store32(out, __builtin_bswap32(Load32(in)) >> 8);
  out[0] = in[2];
  out[1] = in[1];
  out[2] = in[0];
}

// Blue, green, red, alpha to red, green, blue, alpha.
void GatherRGBA(RowGather::SwapRun swap, const Byte* row, std::int64_t first, int step,
                std::int64_t count, Byte* __restrict out) {
  const Byte* in = row + first * 4;
  const std::int64_t stride = std::int64_t(step) * 4;
  if (step == 1 && swap != nullptr) {
    const std::int64_t done = swap(in, count, out);
    in += done * 4;
    out += done * 4;
    count -= done;
  }
  for (std::int64_t k = 0; k < count; ++k, in += stride, out += 4) {
    const std::uint32_t v = Load32(in);
    Store32(out, (v & 0xFF00FF00u) | (v & 0xFFu) << 16 | (v >> 16 & 0xFFu));
  }
}

}  // namespace

RowGather::RowGather(SimdLevel level) {
  switch (level) {
#if defined(NIMBREL_X86_KERNELS)
    case SimdLevel::kAvx2:
      swapRgb_ = avx2::SwapRgbRun, swapRgba_ = avx2::SwapRgbaRun;
      break;
    case SimdLevel::kSse41:
      swapRgb_ = sse41::SwapRgbRun, swapRgba_ = sse41::SwapRgbaRun;
      break;
#endif
    default:
      break;
  }
}

void RowGather::Gather(const Byte* row, int bitCount, std::int64_t first, int step,
                       std::int64_t count, Byte* out) const {
  switch (bitCount) {
    case 1:
    case 4:
      GatherPacked(row, bitCount, first, step, count, out);
      break;
    case 8:
      Gather8(row, first, step, count, out);
      break;
    case 24:
      GatherRGB(swapRgb_, row, first, step, count, out);
      break;
    case 32:
      GatherRGBA(swapRgba_, row, first, step, count, out);
      break;
    default:
      break;
  }
}
