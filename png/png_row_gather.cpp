#include "png/png_row_gather.h"

#include <cstring>

namespace {

using Byte = std::uint8_t;

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

template <int kBytes>
void GatherSwapped(const Byte* row, std::int64_t first, int step, std::int64_t count,
                   Byte* __restrict out) {
  const Byte* __restrict in = row + first * kBytes;
  const std::int64_t stride = std::int64_t(step) * kBytes;
  for (std::int64_t k = 0; k < count; ++k, in += stride, out += kBytes) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    if constexpr (kBytes == 4) out[3] = in[3];
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
      GatherSwapped<3>(row, first, step, count, out);
      break;
    case 32:
      GatherSwapped<4>(row, first, step, count, out);
      break;
    default:
      break;
  }
}
