#include "png/simd_level.h"

#include <algorithm>

namespace {

SimdLevel DetectSimdLevel() {
#if defined(NIMBREL_X86_KERNELS)
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
  if (__builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3")) return SimdLevel::kSse41;
#endif
  return SimdLevel::kScalar;
}

}  // namespace

SimdLevel SupportedSimdLevel() {
  static const SimdLevel level = DetectSimdLevel();
  return level;
}

SimdLevel UsableSimdLevel(SimdLevel cap) {
  return std::min(SupportedSimdLevel(), cap);
}
