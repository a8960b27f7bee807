// The kernel variants this processor runs, so a test can run each of them.
#pragma once

#include <string>
#include <vector>

#include "png/simd_level.h"

// Scalar up to the best the processor has.
inline std::vector<SimdLevel> RunnableSimdLevels() {
  std::vector<SimdLevel> levels;
  for (int level = 0; level <= int(SupportedSimdLevel()); ++level)
    levels.push_back(SimdLevel(level));
  return levels;
}

inline std::string SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kScalar:
      return "scalar";
    case SimdLevel::kSse41:
      return "SSE4.1";
    case SimdLevel::kAvx2:
      return "AVX2";
  }
  return "?";
}
