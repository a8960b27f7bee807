#include "png/simd_level.h"

#include <algorithm>
#include <atomic>

namespace {

SimdLevel DetectSimdLevel() {
#if defined(NIMBREL_X86_KERNELS)
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
  if (__builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3")) return SimdLevel::kSse41;
#endif
  return SimdLevel::kScalar;
}

std::atomic<SimdLevel> levelCap{SimdLevel::kAvx2};

}  // namespace

SimdLevel SupportedSimdLevel() {
  static const SimdLevel level = DetectSimdLevel();
  return level;
}

SimdLevel ActiveSimdLevel() {
  return std::min(SupportedSimdLevel(), levelCap.load(std::memory_order_relaxed));
}

void CapSimdLevel(SimdLevel cap) {
  levelCap.store(cap, std::memory_order_relaxed);
}
