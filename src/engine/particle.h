// One particle of an effect's pool, the engine's random sources and the direction helper.
// The pool itself lives inline in the particle system's record; nothing here allocates.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/simd.h"

constexpr int MaxParticles = 2000;

struct Particle {
  int32_t active;      // 1 while the slot holds a live particle
  float x;             // pixels
  float y;             // pixels
  float vx;            // pixels per second
  float vy;            // pixels per second, positive down
  float life;          // seconds left; counts down
  float lifeTotal;     // seconds at birth
  float size;          // current radius, pixels
  float sizeStart;     // radius at birth, pixels
  float sizeEnd;       // radius at the end of life, pixels
  int32_t startR;      // colour at birth, 0-255
  int32_t startG;
  int32_t startB;
  int32_t curR;        // current colour (unclamped; the renderer clamps)
  int32_t curG;
  int32_t curB;
  int32_t endR;        // colour at the end of life, 0-255
  int32_t endG;
  int32_t endB;
  float alpha;         // current opacity 0-1
  float gravity;       // pixels per second squared, copied at birth
  float gravityScale;  // per-particle gravity multiplier
  float drag;          // share of velocity kept per 1/60 s, copied at birth
  float rotation;      // degrees
  float spin;          // degrees per second
  float fadeIn;        // fraction of life, copied at birth
  float fadeOut;       // fraction of life, copied at birth
  float phase;         // radians 0..6.283, for twinkle and pulse
  int32_t child;       // 1: born of another's burst on death, so it never bursts itself
  int32_t spriteFrame; // frame of a looping sprite sheet it starts at
};
static_assert(sizeof(Particle) == 120, "Particle is 30 fields of 32 bits");

// The single-precision pi the engine uses for degree conversions.
constexpr float EnginePi = 3.1415927f;

// The engine's generator, PCG32, one per thread. randomRange and randomInt draw from the calling
// thread's generator; a run of draws (a spawn makes about ten) copies it, draws from the copy
// inline and writes the copy back: the same draws, without a call and a thread-local access for
// each (nor one to hand it back, which in a spawn cost a tenth of the time).
struct RandomState {
  uint64_t state;  // LCG state
  uint64_t inc;    // stream selector, always odd
};
// The calling thread's generator, seeded from the thread identity and the clock on first use.
RandomState& threadRandom();

inline uint32_t nextRandom(RandomState& g) {
  const uint64_t old = g.state;
  g.state = old * 6364136223846793005ull + g.inc;
  const uint32_t xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
  const uint32_t rot = static_cast<uint32_t>(old >> 59u);
  return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
}

// Unbiased uniform integer in 0..bound-1 (Lemire's multiply-and-reject).
inline uint32_t uniformBelow(RandomState& g, uint32_t bound) {
  uint64_t m = static_cast<uint64_t>(nextRandom(g)) * bound;
  uint32_t low = static_cast<uint32_t>(m);
  if (low < bound) {
    const uint32_t threshold = (0u - bound) % bound;
    while (low < threshold) {
      m = static_cast<uint64_t>(nextRandom(g)) * bound;
      low = static_cast<uint32_t>(m);
    }
  }
  return static_cast<uint32_t>(m >> 32);
}

// a when a >= b (no draw); otherwise a + (b - a) * k / 10000 with k uniform in 0..10000.
inline float randomRange(RandomState& g, float a, float b) {
  if (a >= b) return a;
  const float k = static_cast<float>(uniformBelow(g, 10001));
  return a + (b - a) * k / 10000.0f;
}
// Uniform integer 0..n inclusive (0 when n <= 0).
inline int32_t randomInt(RandomState& g, int32_t n) {
  if (n <= 0) return 0;
  return static_cast<int32_t>(uniformBelow(g, static_cast<uint32_t>(n) + 1u));
}

// The same on the calling thread's generator.
float randomRange(float a, float b);
int32_t randomInt(int32_t n);
// Arc tangent in radians, within 2e-7 of the exact value (Cephes' single-precision reduction
// and polynomial). Ours rather than the C library's: it is several times faster in the per-frame
// turn of long shapes, and it gives the same rotations on Linux and on Windows.
inline float engineAtan(float x) {
  const bool negative = x < 0;
  if (negative) x = -x;
  float base = 0, r = x;
  if (x > 2.414213562373095f) {
    base = EnginePi / 2;
    r = -1.0f / x;
  } else if (x > 0.41421356237309503f) {
    base = EnginePi / 4;
    r = (x - 1) / (x + 1);
  }
  const float z = r * r;
  const float poly =
      (((8.05374449538e-2f * z - 1.38776856032e-1f) * z + 1.99777106478e-1f) * z - 3.33329491539e-1f) * z;
  const float y = base + (poly * r + r);
  return negative ? -y : y;
}

// Sine and cosine of x radians, rounded to float from a double-precision evaluation (within an
// ulp of the exact values; almost always the nearest float). Ours rather than the C library's
// sincosf: inline, it spares a library call at every spawn, and it gives the same directions on
// Linux and on Windows. Beyond 65536 radians, and for NaN and infinities, it
// hands over to the library.
inline void engineSinCos(float x, float& sine, float& cosine) {
  if (!(x > -65536.0f && x < 65536.0f)) {
    sine = std::sin(x);
    cosine = std::cos(x);
    return;
  }
  if (x == 0) {  // keeps the sign of a zero, which the sums below would lose
    sine = x;
    cosine = 1;
    return;
  }
  // x = k pi/2 + r with |r| <= pi/4: k by rounding through the 2^52 + 2^51 trick (SSE2 has no
  // rounding instruction), r with pi/2 split in two so that k times the first part is exact.
  const double d = x;
  const double shift = 6755399441055744.0;
  const double k = (d * 0.63661977236758134308 + shift) - shift;
  const double r = (d - k * 1.5707963267341256) - k * 6.077100506506192e-11;
  // The classic single-precision kernels' minimax polynomials on |r| <= pi/4 (sin within 2^-37.5
  // relative, cos within 2^-34 absolute), evaluated in double, grouped so that the products
  // run side by side rather than one after another.
  const double z = r * r, w = z * z;
  const double sr = (r + r * z * (-0.166666666416265235595 + z * 0.0083333293858894631756)) +
                    r * z * w * (-0.000198393348360966317347 + z * 0.0000027183114939898219064);
  const double cr = ((1 + z * -0.499999997251031003120) + w * 0.0416666233237390631894) +
                    w * z * (-0.00138867637746099294692 + z * 0.0000243904487962774090654);
  // Quadrant q: sin is (s, c, -s, -c) and cos (c, -s, -c, s) for q = 0..3, chosen on the bits so
  // that a random quadrant costs no mispredicted branch.
  const uint32_t q = static_cast<uint32_t>(static_cast<int32_t>(k)) & 3u;
  const float sf = static_cast<float>(sr), cf = static_cast<float>(cr);
  uint32_t sb, cb;
  std::memcpy(&sb, &sf, 4);
  std::memcpy(&cb, &cf, 4);
  const uint32_t swap = 0u - (q & 1u);
  const uint32_t sinBits = ((sb & ~swap) | (cb & swap)) ^ (((q >> 1) & 1u) << 31);
  const uint32_t cosBits = ((cb & ~swap) | (sb & swap)) ^ ((((q + 1) >> 1) & 1u) << 31);
  std::memcpy(&sine, &sinBits, 4);
  std::memcpy(&cosine, &cosBits, 4);
}

// Degrees in [-90, 270) of the direction (vx, vy); 90 or -90 when vx is practically 0.
inline float directionDegrees(float vx, float vy) {
  if (!(vx >= 0.000001f || vx <= -0.000001f)) return vy >= 0 ? 90.0f : -90.0f;
  float deg = engineAtan(vy / vx) * 180.0f / EnginePi;
  if (vx < 0) deg += 180.0f;
  return deg;
}

#if defined(__SSE2__)
// directionDegrees of four directions, each lane with exactly the arithmetic of the scalar one
// (every branch there is a lane select here).
inline __m128 directionDegrees4(__m128 vx, __m128 vy) {
  const __m128 zero = _mm_setzero_ps(), sign = _mm_set1_ps(-0.0f);
  const __m128 one = _mm_set1_ps(1.0f);
  // Lanes whose quotient is not used divide by 1 instead, so that no lane divides by zero.
  const __m128 sideways = _mm_or_ps(_mm_cmpge_ps(vx, _mm_set1_ps(0.000001f)), _mm_cmple_ps(vx, _mm_set1_ps(-0.000001f)));
  const __m128 t = _mm_div_ps(vy, _mm_or_ps(_mm_and_ps(sideways, vx), _mm_andnot_ps(sideways, one)));
  const __m128 negative = _mm_cmplt_ps(t, zero);
  const __m128 x = _mm_or_ps(_mm_and_ps(negative, _mm_xor_ps(t, sign)), _mm_andnot_ps(negative, t));
  const __m128 beyond = _mm_cmpgt_ps(x, _mm_set1_ps(2.414213562373095f));
  const __m128 mid = _mm_andnot_ps(beyond, _mm_cmpgt_ps(x, _mm_set1_ps(0.41421356237309503f)));
  const __m128 rFar = _mm_div_ps(_mm_set1_ps(-1.0f), _mm_or_ps(_mm_and_ps(beyond, x), _mm_andnot_ps(beyond, one)));
  const __m128 rMid = _mm_div_ps(_mm_sub_ps(x, one), _mm_add_ps(x, one));
  const __m128 r = _mm_or_ps(_mm_or_ps(_mm_and_ps(beyond, rFar), _mm_and_ps(mid, rMid)),
                             _mm_andnot_ps(_mm_or_ps(beyond, mid), x));
  const __m128 base = _mm_or_ps(_mm_and_ps(beyond, _mm_set1_ps(EnginePi / 2)), _mm_and_ps(mid, _mm_set1_ps(EnginePi / 4)));
  const __m128 z = _mm_mul_ps(r, r);
  __m128 poly = _mm_sub_ps(_mm_mul_ps(_mm_set1_ps(8.05374449538e-2f), z), _mm_set1_ps(1.38776856032e-1f));
  poly = _mm_add_ps(_mm_mul_ps(poly, z), _mm_set1_ps(1.99777106478e-1f));
  poly = _mm_sub_ps(_mm_mul_ps(poly, z), _mm_set1_ps(3.33329491539e-1f));
  poly = _mm_mul_ps(poly, z);
  const __m128 y = _mm_add_ps(base, _mm_add_ps(_mm_mul_ps(poly, r), r));
  const __m128 atan = _mm_or_ps(_mm_and_ps(negative, _mm_xor_ps(y, sign)), _mm_andnot_ps(negative, y));
  __m128 deg = _mm_div_ps(_mm_mul_ps(atan, _mm_set1_ps(180.0f)), _mm_set1_ps(EnginePi));
  deg = _mm_add_ps(deg, _mm_and_ps(_mm_cmplt_ps(vx, zero), _mm_set1_ps(180.0f)));
  // Practically vertical (NaN included): 90 or -90 by the sign of vy.
  const __m128 vertical = _mm_or_ps(_mm_and_ps(_mm_cmpge_ps(vy, zero), _mm_set1_ps(90.0f)),
                                    _mm_andnot_ps(_mm_cmpge_ps(vy, zero), _mm_set1_ps(-90.0f)));
  return _mm_or_ps(_mm_and_ps(sideways, deg), _mm_andnot_ps(sideways, vertical));
}

#if defined(LUMIVEX_AVX2)
// directionDegrees4 on eight directions, lane for lane the same arithmetic.
AVX2_INLINE __m256 directionDegrees8(__m256 vx, __m256 vy) {
  const __m256 zero = _mm256_setzero_ps(), sign = _mm256_set1_ps(-0.0f);
  const __m256 one = _mm256_set1_ps(1.0f);
  const __m256 sideways = _mm256_or_ps(_mm256_cmp_ps(vx, _mm256_set1_ps(0.000001f), _CMP_GE_OS),
                                       _mm256_cmp_ps(vx, _mm256_set1_ps(-0.000001f), _CMP_LE_OS));
  const __m256 t = _mm256_div_ps(vy, _mm256_blendv_ps(one, vx, sideways));
  const __m256 negative = _mm256_cmp_ps(t, zero, _CMP_LT_OS);
  const __m256 x = _mm256_or_ps(_mm256_and_ps(negative, _mm256_xor_ps(t, sign)), _mm256_andnot_ps(negative, t));
  const __m256 beyond = _mm256_cmp_ps(x, _mm256_set1_ps(2.414213562373095f), _CMP_GT_OS);
  const __m256 mid = _mm256_andnot_ps(beyond, _mm256_cmp_ps(x, _mm256_set1_ps(0.41421356237309503f), _CMP_GT_OS));
  const __m256 rFar = _mm256_div_ps(_mm256_set1_ps(-1.0f), _mm256_blendv_ps(one, x, beyond));
  const __m256 rMid = _mm256_div_ps(_mm256_sub_ps(x, one), _mm256_add_ps(x, one));
  const __m256 r = _mm256_or_ps(_mm256_or_ps(_mm256_and_ps(beyond, rFar), _mm256_and_ps(mid, rMid)),
                                _mm256_andnot_ps(_mm256_or_ps(beyond, mid), x));
  const __m256 base = _mm256_or_ps(_mm256_and_ps(beyond, _mm256_set1_ps(EnginePi / 2)),
                                   _mm256_and_ps(mid, _mm256_set1_ps(EnginePi / 4)));
  const __m256 z = _mm256_mul_ps(r, r);
  __m256 poly = _mm256_sub_ps(_mm256_mul_ps(_mm256_set1_ps(8.05374449538e-2f), z), _mm256_set1_ps(1.38776856032e-1f));
  poly = _mm256_add_ps(_mm256_mul_ps(poly, z), _mm256_set1_ps(1.99777106478e-1f));
  poly = _mm256_sub_ps(_mm256_mul_ps(poly, z), _mm256_set1_ps(3.33329491539e-1f));
  poly = _mm256_mul_ps(poly, z);
  const __m256 y = _mm256_add_ps(base, _mm256_add_ps(_mm256_mul_ps(poly, r), r));
  const __m256 atan = _mm256_or_ps(_mm256_and_ps(negative, _mm256_xor_ps(y, sign)), _mm256_andnot_ps(negative, y));
  __m256 deg = _mm256_div_ps(_mm256_mul_ps(atan, _mm256_set1_ps(180.0f)), _mm256_set1_ps(EnginePi));
  deg = _mm256_add_ps(deg, _mm256_and_ps(_mm256_cmp_ps(vx, zero, _CMP_LT_OS), _mm256_set1_ps(180.0f)));
  // Practically vertical (NaN included): 90 or -90 by the sign of vy.
  const __m256 vertical = _mm256_or_ps(_mm256_and_ps(_mm256_cmp_ps(vy, zero, _CMP_GE_OS), _mm256_set1_ps(90.0f)),
                                       _mm256_andnot_ps(_mm256_cmp_ps(vy, zero, _CMP_GE_OS), _mm256_set1_ps(-90.0f)));
  return _mm256_or_ps(_mm256_and_ps(sideways, deg), _mm256_andnot_ps(sideways, vertical));
}
#endif
#endif

// The generator's state is per thread and seeds itself from the thread identity and the clock on
// first use. Tests and tools call this to make the current thread's draws repeatable.
void seedRandom(uint64_t seed);
