// Undoing the PNG row filters on the reading side. Decoding spends much of its time here,
// so the common pixel sizes (3 and 4 bytes) run one pixel per vector step where the
// processor allows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "png/simd_level.h"

// The unfiltering kernels of one instruction set, chosen once per image.
class RowUnfilter {
 public:
  explicit RowUnfilter(SimdLevel level);

  // Undoes filter `type` (0-4) on the n data bytes at row, given the previous row's data at
  // prior (zeros for the first row of a pass); bpp is the byte distance of the left
  // neighbour. Returns false for a filter type above 4. Nothing outside the n bytes of either
  // row is touched, so both may lie in an image's own rows.
  bool Row(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n,
           std::size_t bpp) const;

  // Undoes the filters of two consecutive rows: `upper` against prior, then `lower` against
  // the result. Two Paeth rows of 3- or 4-byte pixels are undone side by side in one pass,
  // which takes about 40 % less time than two. Returns false when either filter type is above
  // 4; the rows are then left partly undone.
  bool RowPair(std::uint8_t upperType, std::uint8_t* upper, std::uint8_t lowerType,
               std::uint8_t* lower, const std::uint8_t* prior, std::size_t n,
               std::size_t bpp) const;

  using PixelKernel = void (*)(std::uint8_t type, std::uint8_t* x, const std::uint8_t* b,
                               std::size_t n);
  using PaethPairKernel = void (*)(std::uint8_t* upper, std::uint8_t* lower,
                                   const std::uint8_t* prior, std::size_t n);

 private:
  // For 3- and 4-byte pixels; nullptr where the scalar code serves.
  PixelKernel pixels3_ = nullptr, pixels4_ = nullptr;
  PaethPairKernel pair3_ = nullptr, pair4_ = nullptr;
};
