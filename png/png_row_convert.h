// Per-row work of the PNG reader: undoing the row filters, converting a raw row into the
// pixel store's format and placing it into the store. The routines are chosen once per
// image (ChooseRowFormat), so the per-row loop makes no format decisions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"
#include "png/simd_level.h"

// Converts the data bytes of one raw row (filter byte excluded) of `pixels` pixels and
// returns where the converted pixels are: `out`, or `raw` itself when the store takes the
// file's format as it is.
using ConvertRowFn = const BYTE* (*)(const BYTE* raw, BYTE* out, std::uint32_t pixels);

// Writes the converted pixels of one pass row into a store row. Pixel i goes to column
// first + i × step; a full-width row (first 0, step 1) is copied as lineSize bytes, unless
// it was converted in place (src == dst).
using PlaceRowFn = void (*)(const BYTE* src, BYTE* dst, std::uint32_t first, std::uint32_t step,
                            std::uint32_t pixels, std::size_t lineSize);

struct RowFormat {
  std::uint32_t PixelBits = 0;  // bits per pixel of the file's raw rows
  std::uint32_t ImageBits = 0;  // 1, 4, 8 or 24 (24 with alpha: a 32-bit store)
  std::uint32_t StoreBits = 0;  // what each converted pixel occupies: ImageBits, or 32
  ConvertRowFn ConvertRow = nullptr;
  PlaceRowFn PlaceRow = nullptr;
  // The store's pixels are the file's bytes, at most reordered within each pixel, and
  // ConvertRow may write a whole row straight into the store.
  bool BytesInPlace = false;
};

// The format for IHDR's colour kind (0 grey, 2 RGB, 3 palette), alpha flag and bit depth,
// with the conversions of the given instruction set. Returns false for a combination the
// reader does not take.
bool ChooseRowFormat(std::uint32_t colorKind, bool hasAlpha, std::uint32_t bitDepth,
                     bool interlaced, SimdLevel level, RowFormat& format);
