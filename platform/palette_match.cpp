#include "platform/palette_match.h"

#include <cstdlib>

int NearestColorIndex(const RGBQUAD* table, int count, BYTE red, BYTE green, BYTE blue) {
  if (table == nullptr || count <= 0) return -1;
  int best = 0;
  int bestDistance = 0x1000000;
  for (int i = 0; i < count; ++i) {
    const RGBQUAD& e = table[i];
    const int distance =
        std::abs(e.rgbBlue - blue) + std::abs(e.rgbRed - red) + std::abs(e.rgbGreen - green);
    if (distance == 0) return i;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}
