#include "image/dib_routines.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "platform/exception.h"
#include "platform/row_size.h"

namespace {

// One file mapping is sized by a 32-bit length.
constexpr std::uint64_t kMaxImageSize = 0xFFFFFFFFu;

// Pixels of 1 or 4 bits, re-packed so that pixel `left` lands at bit 7 of dest[0].
void ExtractPackedRow(const BYTE* row, int bitCount, int left, int count, BYTE* dest) {
  const int perByte = 8 / bitCount;
  const unsigned mask = (1u << bitCount) - 1;
  std::memset(dest, 0, (std::size_t(count) * bitCount + 7) / 8);
  for (int i = 0; i < count; ++i) {
    const std::int64_t x = std::int64_t(left) + i;
    const int srcShift = 8 - bitCount * int(x % perByte + 1);
    const unsigned value = (row[x / perByte] >> srcShift) & mask;
    const int dstShift = 8 - bitCount * (i % perByte + 1);
    dest[i / perByte] |= BYTE(value << dstShift);
  }
}

}  // namespace

std::size_t DIBImageSize(std::int64_t width, std::int64_t height, int bitCount) {
  const std::uint64_t line = RequireRowBytes(width, bitCount, kDIBRowAlignment);
  if (height == INT64_MIN) OutOfMemoryError();
  const std::uint64_t rows = std::uint64_t(height < 0 ? -height : height);
  if (rows != 0 && line > kMaxImageSize / rows) OutOfMemoryError();
  return std::size_t(line * rows);
}

int DpiToPelsPerMeter(int dpi) {
  // Worked in 64 bits so that absurd resolutions saturate instead of wrapping around.
  const double ppm = std::trunc(double(std::int64_t(dpi) * 10000) / 254.0);
  if (ppm > INT_MAX) return INT_MAX;
  if (ppm < INT_MIN) return INT_MIN;
  return int(ppm);
}

void ExtractRow(const BYTE* row, int bitCount, int left, int count, BYTE* dest) {
  if (count <= 0) return;
  switch (bitCount) {
    case 1:
    case 4:
      ExtractPackedRow(row, bitCount, left, count, dest);
      break;
    case 8:
    case 24:
    case 32: {
      const std::size_t bytesPerPixel = std::size_t(bitCount / 8);
      std::memcpy(dest, row + std::size_t(left) * bytesPerPixel,
                  std::size_t(count) * bytesPerPixel);
      break;
    }
    default:
      break;
  }
}
