#include "platform/row_size.h"

#include "platform/exception.h"

std::optional<std::size_t> RowBytes(std::int64_t pixels, int bitCount, int alignment) {
  if (pixels < 0 || bitCount < 0 || alignment < 1) return std::nullopt;
  // Checked before multiplying, so the product stays far inside 64 bits.
  if (bitCount != 0 && pixels > kMaxRowBytes * 8 / bitCount) return std::nullopt;
  const std::int64_t unitBits = std::int64_t(alignment) * 8;
  const std::int64_t bytes = (pixels * bitCount + unitBits - 1) / unitBits * alignment;
  if (bytes > kMaxRowBytes) return std::nullopt;
  return std::size_t(bytes);
}

std::size_t RequireRowBytes(std::int64_t pixels, int bitCount, int alignment) {
  const std::optional<std::size_t> bytes = RowBytes(pixels, bitCount, alignment);
  if (!bytes) OutOfMemoryError();
  return *bytes;
}
