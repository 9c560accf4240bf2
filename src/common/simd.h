// Eight-lane code with AVX2 where the processor has it, chosen at run time: the functions that
// use it carry the target attribute, everything else stays SSE2 (the i686 build's baseline).
// Lane for lane such code does the arithmetic of its four-lane counterpart, so the results are
// the same either way.
#pragma once

#if defined(__SSE2__) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define LUMIVEX_AVX2 1
#include <immintrin.h>
#define AVX2_FN __attribute__((target("avx2")))
// For kernels inlined into their callers, so that the callers' constants stay in registers.
#define AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// Whether the processor runs AVX2, asked once.
inline bool processorHasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();  // may run before the constructors that would otherwise do it
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}
#endif
