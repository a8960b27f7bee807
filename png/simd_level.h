// The instruction sets the codec's row kernels are built for, and the one new images use.
// Each kernel family (unfiltering, filtering, gathering pixels) keeps one source per family in
// an .inc file that is compiled once per instruction set; an image picks its kernels once,
// when its rows begin.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define NIMBREL_X86_KERNELS 1
#endif

// Kernel variants, each needing what the ones before it need: plain C++; SSE4.1 (with the
// SSSE3 and SSE2 it comes with); AVX2.
enum class SimdLevel { kScalar, kSse41, kAvx2 };

// The best level this processor runs (kScalar off x86), checked once per process.
SimdLevel SupportedSimdLevel();
// The level an image chooses its kernels for under a cap (a load's or a save's, so tests can
// run every variant the processor has): the supported one, or the cap when that is lower.
SimdLevel UsableSimdLevel(SimdLevel cap);
