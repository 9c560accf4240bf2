// The eight-lane AVX2 paths run only on a processor that has AVX2. Asked here independently of
// the code's own check: CPUID's AVX2 bit, and the system's consent to the YMM state (OSXSAVE and
// XCR0), without which AVX2 instructions fault even where the processor has them. On a machine
// (or an emulated processor) without AVX2 this is what keeps the rasterizer and the engine on
// their four-lane SSE2 code.
#include <gtest/gtest.h>

#include "common/simd.h"
#include "engine/engine.h"
#include "render/raster.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>

static bool cpuidSaysAvx2() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool osxsave = (c & (1u << 27)) != 0, avx = (c & (1u << 28)) != 0;
  if (!osxsave || !avx) return false;
  unsigned xcr0 = 0, xcr0High = 0;
  __asm__ volatile("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
  if ((xcr0 & 6u) != 6u) return false;  // the system saves SSE and YMM state
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return (b & (1u << 5)) != 0;
}

TEST(Simd, EightLanesOnlyWhereTheProcessorHasAvx2) {
  const bool avx2 = cpuidSaysAvx2();
  std::printf("this processor %s AVX2\n", avx2 ? "has" : "lacks");
#if defined(LUMIVEX_AVX2)
  EXPECT_EQ(processorHasAvx2(), avx2);
#endif
  const int32_t widest = avx2 ? 8 : 4;
  EXPECT_EQ(setRasterLanes(8), widest) << "the rasterizer's widest groups";
  EXPECT_EQ(setRasterLanes(4), 4);
  EXPECT_EQ(setRasterLanes(16), widest) << "asking for more than there is";
  EXPECT_EQ(updateLanes(), widest) << "the update's noise and turning passes";
  setRasterLanes(8);
}
#endif
