// The 256-entry halftone palette with its 6 × 6 × 6 colour-cube map. The screen's halftone
// palette and the image library's conversions to 8 bits share this one table.
#pragma once

#include <array>

#include "platform/win_types.h"

// Entries as RGBQUAD (blue, green, red, 0).
const std::array<RGBQUAD, 256>& HalftonePalette();
// Palette index for each cube index red level + 6 × green level + 36 × blue level.
const std::array<BYTE, 216>& HalftoneCubeMap();
// The cube level 0-5 of one channel value.
constexpr int HalftoneLevel(int value) {
  return value < 26 ? 0 : (value - 26) / 51 + 1;
}
// The palette index the cube map gives a colour.
BYTE HalftoneIndex(BYTE red, BYTE green, BYTE blue);
