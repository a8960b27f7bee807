#include "png/png_row_gather.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
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

#if defined(__x86_64__) || defined(__i386__)
bool HasByteShuffle() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// Five adjacent pixels per step with one byte shuffle. Each step reads and writes 16 bytes
// for 15, so it stops while at least two more pixels follow: the extra byte read is the next
// pixel's, and the extra byte written is overwritten by the next step. Returns the pixels done.
__attribute__((target("ssse3"))) std::int64_t SwapRunSsse3(const Byte* in, std::int64_t count,
                                                           Byte* out) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  std::int64_t k = 0;
  for (; k + 6 < count; k += 5, in += 15, out += 15) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(v, order));
  }
  return k;
}

// Four pixels of blue, green, red, alpha per step.
__attribute__((target("ssse3"))) std::int64_t SwapAlphaRunSsse3(const Byte* in, std::int64_t count,
                                                                Byte* out) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  std::int64_t k = 0;
  for (; k + 4 <= count; k += 4, in += 16, out += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(v, order));
  }
  return k;
}
#endif

// Blue, green, red to red, green, blue. All pixels but the last go as whole 32-bit words: the
// byte after each such pixel still lies in the row, and the stray fourth byte written is
// overwritten by the next pixel.
void GatherRGB(const Byte* row, std::int64_t first, int step, std::int64_t count,
               Byte* __restrict out) {
  if (count <= 0) return;
  const Byte* in = row + first * 3;
  const std::int64_t stride = std::int64_t(step) * 3;
#if defined(__x86_64__) || defined(__i386__)
  if (step == 1 && HasByteShuffle()) {
    const std::int64_t done = SwapRunSsse3(in, count, out);
    in += done * 3;
    out += done * 3;
    count -= done;
  }
#endif
  for (std::int64_t k = 0; k + 1 < count; ++k, in += stride, out += 3)
    Store32(out, __builtin_bswap32(Load32(in)) >> 8);
  out[0] = in[2];
  out[1] = in[1];
  out[2] = in[0];
}

// Blue, green, red, alpha to red, green, blue, alpha.
void GatherRGBA(const Byte* row, std::int64_t first, int step, std::int64_t count,
                Byte* __restrict out) {
  const Byte* in = row + first * 4;
  const std::int64_t stride = std::int64_t(step) * 4;
#if defined(__x86_64__) || defined(__i386__)
  if (step == 1 && HasByteShuffle()) {
    const std::int64_t done = SwapAlphaRunSsse3(in, count, out);
    in += done * 4;
    out += done * 4;
    count -= done;
  }
#endif
  for (std::int64_t k = 0; k < count; ++k, in += stride, out += 4) {
    const std::uint32_t v = Load32(in);
    Store32(out, (v & 0xFF00FF00u) | (v & 0xFFu) << 16 | (v >> 16 & 0xFFu));
  }
}

}  // namespace

void GatherRowPixels(const Byte* row, int bitCount, std::int64_t first, int step,
                     std::int64_t count, Byte* out) {
  switch (bitCount) {
    case 1:
    case 4:
      GatherPacked(row, bitCount, first, step, count, out);
      break;
    case 8:
      Gather8(row, first, step, count, out);
      break;
    case 24:
      GatherRGB(row, first, step, count, out);
      break;
    case 32:
      GatherRGBA(row, first, step, count, out);
      break;
    default:
      break;
  }
}
