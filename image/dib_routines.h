// Routines shared by the image library and the codecs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

// The stored row size (RequireRowBytes at the DIB alignment) × |height|, checked: raises the
// out-of-memory error when it overflows or exceeds what one mapping can hold (4 GiB − 1).
std::size_t DIBImageSize(std::int64_t width, std::int64_t height, int bitCount);
// Dots per inch to pixels per metre: value × 10000 / 254, truncated (96 → 3779, 72 → 2834).
int DpiToPelsPerMeter(int dpi);
// Exchanges bits 0-7 and 16-23 of a 24-bit value.
constexpr DWORD SwapRedBlue(DWORD v) {
  return (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu);
}
// Copies count pixels of a row starting at pixel left into dest at the same bit count;
// 1- and 4-bit pixels are re-aligned to start at bit 7 of dest's first byte, and the unused
// low bits of the last byte are 0. Other bit counts copy nothing.
void ExtractRow(const BYTE* row, int bitCount, int left, int count, BYTE* dest);
