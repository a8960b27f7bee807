// The five PNG row filters, their inverses, and the writer's per-row choice among them.
// Filters work byte-wise modulo 256; bytes left of the row start, and the prior row of a
// pass's first row, count as 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "png/simd_level.h"

enum class PngFilterType : std::uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };
constexpr int kPngFilterTypeCount = 5;

// The Paeth predictor of a (left), b (above) and c (above left): whichever of the three is
// closest to a + b − c, preferring a, then b, on a tie.
constexpr std::uint8_t PaethPredictor(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  const int pa = b > c ? b - c : c - b;  // |p − a|
  const int pb = a > c ? a - c : c - a;  // |p − b|
  const int pc = (a + b - 2 * c) < 0 ? 2 * c - a - b : a + b - 2 * c;
  return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

// Filters n bytes of raw against prior (the previous row's data, or zeros) into out; bpp is
// the distance to the byte of the left neighbour (1 for packed pixels). Every instruction set
// gives the same bytes.
void FilterRow(PngFilterType type, const std::uint8_t* raw, const std::uint8_t* prior,
               std::size_t n, std::size_t bpp, std::uint8_t* out,
               SimdLevel level = SupportedSimdLevel());
// The adaptive measure of a filtered row: each byte's magnitude read as a signed byte.
std::uint64_t FilterCost(const std::uint8_t* data, std::size_t n,
                         SimdLevel level = SupportedSimdLevel());

struct FilterKernels;

// The per-row filter choice of one save, with the kernels of one instruction set. The setting
// is SaveSettings::Filter: 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth, any other value adaptive.
// Only the candidate buffers the setting needs are allocated, once, for the longest row.
class PngRowFilter {
 public:
  PngRowFilter(int setting, std::size_t maxLength, SimdLevel level);

  // rawRow is the row as sent unfiltered: a type byte 0 followed by n data bytes; prior
  // holds the previous row's n data bytes. Returns the n + 1 bytes to compress, the filter
  // type byte first. The result stays valid until the next call.
  const std::uint8_t* Apply(const std::uint8_t* rawRow, const std::uint8_t* prior, std::size_t n,
                            std::size_t bpp);

  bool Adaptive() const { return adaptive_; }

 private:
  const std::uint8_t* ChooseAdaptive(const std::uint8_t* rawRow, const std::uint8_t* prior,
                                     std::size_t n, std::size_t bpp);
  std::uint8_t* Candidate(PngFilterType type) { return candidates_[std::size_t(type) - 1].data(); }

  const FilterKernels* kernels_;
  bool adaptive_ = true;
  PngFilterType fixed_ = PngFilterType::kNone;
  // Sub, Up, Average, Paeth: each a type byte followed by the filtered data.
  std::array<std::vector<std::uint8_t>, 4> candidates_;
};
