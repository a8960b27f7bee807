// Picks the pixels of one pass out of an image row into PNG row data.
#pragma once

#include <cstdint>

#include "png/simd_level.h"

// The gathering kernels of one instruction set, chosen once per image.
class RowGather {
 public:
  explicit RowGather(SimdLevel level);

  // Copies count pixels of row, at columns first, first + step, ..., into out at the same bit
  // count: 1- and 4-bit pixels are packed anew from bit 7 of out's first byte (the unused low
  // bits of the last byte 0); 24- and 32-bit pixels change from blue, green, red (, alpha) to
  // red, green, blue (, alpha).
  void Gather(const std::uint8_t* row, int bitCount, std::int64_t first, int step,
              std::int64_t count, std::uint8_t* out) const;

  // Swaps the first and third byte of each pixel of a run of adjacent pixels, as many as the
  // vector steps manage; returns how many that was.
  using SwapRun = std::int64_t (*)(const std::uint8_t* in, std::int64_t count, std::uint8_t* out);

 private:
  SwapRun swapRgb_ = nullptr;   // 3-byte pixels; nullptr where the scalar code serves
  SwapRun swapRgba_ = nullptr;  // 4-byte pixels
};
