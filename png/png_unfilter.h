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

  // Undoes the filters of `count` consecutive rows: rows[0] against prior, each further row
  // against the one before it, rows[k] with filter types[k]. Runs of rows of 3- or 4-byte
  // pixels that share a filter whose pixels depend on their left neighbours are undone side by
  // side, up to RowsAtOnce() in one pass that takes little more time than one row: Paeth rows
  // in twos or fours, Sub and Average rows in fours. Returns false when a filter type is above
  // 4; the rows are then left partly undone.
  bool Rows(const std::uint8_t* types, std::uint8_t* const* rows, std::size_t count,
            const std::uint8_t* prior, std::size_t n, std::size_t bpp) const;

  // The most rows one pass undoes side by side: 4 under AVX2, 2 under SSE4.1, else 1.
  static constexpr std::size_t kMostRowsAtOnce = 4;
  std::size_t RowsAtOnce() const { return rowsAtOnce_; }

  using PixelKernel = void (*)(std::uint8_t type, std::uint8_t* x, const std::uint8_t* b,
                               std::size_t n);
  using RowsKernel = void (*)(std::uint8_t* const* rows, const std::uint8_t* prior, std::size_t n);

 private:
  static constexpr std::size_t kFilterTypes = 5;

  // For 3- and 4-byte pixels; nullptr where the scalar code serves.
  PixelKernel pixels3_ = nullptr, pixels4_ = nullptr;
  // Two Paeth rows, and four Sub, Average or Paeth rows (indexed by type), side by side.
  RowsKernel pair3_ = nullptr, pair4_ = nullptr;
  RowsKernel quad3_[kFilterTypes] = {}, quad4_[kFilterTypes] = {};
  std::size_t rowsAtOnce_ = 1;
};
