// Spawning and per-frame update of a particle system (engine/particle_system.h), and the smooth
// noise its particles drift in.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/simd.h"
#include "engine/particle_system.h"

// Places at most one particle in the system's pool (first free slot) from its config.
void spawnParticle(ParticleSystem& system);
// Frees every slot of the pool: active 0 everywhere, aliveCount 0, and spawning starts again
// from slot 0. Whoever empties a pool calls this (a pool emptied by hand must at least set
// aliveCount to 0, which spawnParticle takes as a sign to scan from slot 0 again).
void clearParticles(ParticleSystem& system);
// A burst effect's start: spawns the config's burstCount particles (at most a full pool: once it
// is full every further spawn is a no-op) and marks the burst as emitted (emissionDone = 1).
// Nothing when burstCount is 0 or less.
void spawnBurst(ParticleSystem& system);

// Where a particle died and what its children inherit: its colour then, and half its sizes.
struct DeathSeed {
  float x, y;                 // pixels
  int32_t r, g, b;            // 0-255
  float sizeStart, sizeEnd;   // the children's radii at birth and at the end, pixels
};
// A dying particle's burst: config.deathBurstMin-deathBurstMax children (drawn) born at the
// seed, spread evenly over 360 degrees with a little jitter, moving out at deathBurstSpeed x
// 0.6-1.0, living 0.4 lifeMin-0.8 lifeMax; their colour runs from the seed's to the config's end
// colour. They feel the config's forces and never burst themselves. Children the pool has no
// room for are dropped. The random draws come in a fixed order.
void spawnDeathBurst(ParticleSystem& system, const DeathSeed& seed);

// The speed cursor repel and attract are made for, pixels per second: the effect's fastest
// launch speed, at least MinCursorSpeed, and at least enough to cross cursorRadius in
// CursorCrossSeconds (so that a slow field still clears round the cursor). The push is
// CursorPushRate times it at the cursor itself, falling linearly to 0 at cursorRadius; it never
// takes a particle faster than CursorSpeedCap times it, nor faster than it already went.
constexpr float CursorPushRate = 6;        // per second
constexpr float MinCursorSpeed = 60;       // pixels per second
constexpr float CursorCrossSeconds = 0.25f;
constexpr float CursorSpeedCap = 4;
constexpr float GatherDamping = 6;         // per second, attract's braking at the cursor
constexpr float GatherCore = 0.08f;        // of the radius: attract leaves this disc alone
float cursorReferenceSpeed(const EmitterConfig& config);

// Bursts count particles (at most what the pool has room for) from the emit area centred at
// (x, y), frame pixels, with the config's own settings; the effect's mode is left as it is.
void spawnBurstAt(ParticleSystem& system, int32_t count, float x, float y);

// Advances every live particle by dt seconds, then emits new ones for a continuous effect unless
// emitting is false (an effect fading out emits nothing more). Before moving, it samples the
// trails (config.trailSeconds > 0); a particle whose life runs out bursts (config.deathBurstMax
// > 0) once the pass is over, unless it was itself born of a burst or emitting is false. The caller adds dt to
// system.elapsed before calling.
// With config.cursorMode, the cursor steers it: follow centres the emit area on a present cursor
// and emits nothing while it is absent; repel and attract push the live particles within
// cursorRadius of a present one.
void updateParticles(ParticleSystem& system, float dt, bool emitting = true, const CursorPoint& cursor = NoCursor);

// How many particles the update's noise and turning passes take at a time: 8 where the
// processor has AVX2, else 4 (SSE2). The results are the same either way.
int32_t updateLanes();

// The process-wide 256 x 256 table of values in [0, 1), filled once by a fixed LCG.
constexpr int NoiseTableSide = 256;
const float* noiseTable();

// Smooth value noise over the table, in [0, 1).
float valueNoise(float x, float y);

// valueNoise over a given table, inline for the per-particle loop.
inline float sampleNoise(const float* table, float x, float y) {
  // Integer parts toward zero and signed fractions; coordinates that no int can hold (or NaN)
  // read as the point 0 so that the conversion stays defined. Only runaway particles get there.
  int32_t xt = 0, yt = 0;
  float fx = 0, fy = 0;
  if (x > -2147483520.0f && x < 2147483520.0f) { xt = static_cast<int32_t>(x); fx = x - static_cast<float>(xt); }
  if (y > -2147483520.0f && y < 2147483520.0f) { yt = static_cast<int32_t>(y); fy = y - static_cast<float>(yt); }
  const int32_t c0 = xt & 255, c1 = (c0 + 1) & 255;
  const int32_t r0 = (yt & 255) * NoiseTableSide, r1 = ((r0 / NoiseTableSide + 1) & 255) * NoiseTableSide;
  const float sx = fx * fx * (3 - 2 * fx);
  const float sy = fy * fy * (3 - 2 * fy);
  const float a = table[r0 + c0], b = table[r0 + c1], c = table[r1 + c0], d = table[r1 + c1];
  return a + (b - a) * sx + (c - a) * sy + (d - b - c + a) * sx * sy;
}

#if defined(__SSE2__)
// sampleNoise at four points, each lane with exactly the arithmetic of sampleNoise.
inline __m128 sampleNoise4(const float* table, __m128 x, __m128 y) {
  const __m128 lo = _mm_set1_ps(-2147483520.0f), hi = _mm_set1_ps(2147483520.0f);
  const __m128 inX = _mm_and_ps(_mm_cmpgt_ps(x, lo), _mm_cmplt_ps(x, hi));
  const __m128 inY = _mm_and_ps(_mm_cmpgt_ps(y, lo), _mm_cmplt_ps(y, hi));
  // Lanes no int can hold are converted as 0: converting them would raise an invalid operation.
  const __m128i xt = _mm_cvttps_epi32(_mm_and_ps(x, inX));
  const __m128i yt = _mm_cvttps_epi32(_mm_and_ps(y, inY));
  const __m128 fx = _mm_and_ps(_mm_sub_ps(x, _mm_cvtepi32_ps(xt)), inX);
  const __m128 fy = _mm_and_ps(_mm_sub_ps(y, _mm_cvtepi32_ps(yt)), inY);
  const __m128i m255 = _mm_set1_epi32(255), one = _mm_set1_epi32(1);
  const __m128i c0 = _mm_and_si128(xt, m255), c1 = _mm_and_si128(_mm_add_epi32(c0, one), m255);
  const __m128i yr = _mm_and_si128(yt, m255);
  const __m128i r0 = _mm_slli_epi32(yr, 8), r1 = _mm_slli_epi32(_mm_and_si128(_mm_add_epi32(yr, one), m255), 8);
  alignas(16) int32_t i00[4], i01[4], i10[4], i11[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(i00), _mm_add_epi32(r0, c0));
  _mm_store_si128(reinterpret_cast<__m128i*>(i01), _mm_add_epi32(r0, c1));
  _mm_store_si128(reinterpret_cast<__m128i*>(i10), _mm_add_epi32(r1, c0));
  _mm_store_si128(reinterpret_cast<__m128i*>(i11), _mm_add_epi32(r1, c1));
  const __m128 a = _mm_setr_ps(table[i00[0]], table[i00[1]], table[i00[2]], table[i00[3]]);
  const __m128 b = _mm_setr_ps(table[i01[0]], table[i01[1]], table[i01[2]], table[i01[3]]);
  const __m128 c = _mm_setr_ps(table[i10[0]], table[i10[1]], table[i10[2]], table[i10[3]]);
  const __m128 d = _mm_setr_ps(table[i11[0]], table[i11[1]], table[i11[2]], table[i11[3]]);
  const __m128 three = _mm_set1_ps(3.0f), two = _mm_set1_ps(2.0f);
  const __m128 sx = _mm_mul_ps(_mm_mul_ps(fx, fx), _mm_sub_ps(three, _mm_mul_ps(two, fx)));
  const __m128 sy = _mm_mul_ps(_mm_mul_ps(fy, fy), _mm_sub_ps(three, _mm_mul_ps(two, fy)));
  // a + (b - a) sx + (c - a) sy + (d - b - c + a) sx sy, summed left to right as written there.
  const __m128 ab = _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), sx));
  const __m128 abc = _mm_add_ps(ab, _mm_mul_ps(_mm_sub_ps(c, a), sy));
  const __m128 twist = _mm_add_ps(_mm_sub_ps(_mm_sub_ps(d, b), c), a);
  return _mm_add_ps(abc, _mm_mul_ps(_mm_mul_ps(twist, sx), sy));
}
#endif

#if defined(LUMIVEX_AVX2)
// sampleNoise4 at eight points, lane for lane the same arithmetic, the corners read by gathers.
AVX2_INLINE __m256 sampleNoise8(const float* table, __m256 x, __m256 y) {
  const __m256 lo = _mm256_set1_ps(-2147483520.0f), hi = _mm256_set1_ps(2147483520.0f);
  const __m256 inX = _mm256_and_ps(_mm256_cmp_ps(x, lo, _CMP_GT_OS), _mm256_cmp_ps(x, hi, _CMP_LT_OS));
  const __m256 inY = _mm256_and_ps(_mm256_cmp_ps(y, lo, _CMP_GT_OS), _mm256_cmp_ps(y, hi, _CMP_LT_OS));
  const __m256i xt = _mm256_cvttps_epi32(_mm256_and_ps(x, inX));
  const __m256i yt = _mm256_cvttps_epi32(_mm256_and_ps(y, inY));
  const __m256 fx = _mm256_and_ps(_mm256_sub_ps(x, _mm256_cvtepi32_ps(xt)), inX);
  const __m256 fy = _mm256_and_ps(_mm256_sub_ps(y, _mm256_cvtepi32_ps(yt)), inY);
  const __m256i m255 = _mm256_set1_epi32(255), one = _mm256_set1_epi32(1);
  const __m256i c0 = _mm256_and_si256(xt, m255), c1 = _mm256_and_si256(_mm256_add_epi32(c0, one), m255);
  const __m256i yr = _mm256_and_si256(yt, m255);
  const __m256i r0 = _mm256_slli_epi32(yr, 8);
  const __m256i r1 = _mm256_slli_epi32(_mm256_and_si256(_mm256_add_epi32(yr, one), m255), 8);
  const __m256 a = _mm256_i32gather_ps(table, _mm256_add_epi32(r0, c0), 4);
  const __m256 b = _mm256_i32gather_ps(table, _mm256_add_epi32(r0, c1), 4);
  const __m256 c = _mm256_i32gather_ps(table, _mm256_add_epi32(r1, c0), 4);
  const __m256 d = _mm256_i32gather_ps(table, _mm256_add_epi32(r1, c1), 4);
  const __m256 three = _mm256_set1_ps(3.0f), two = _mm256_set1_ps(2.0f);
  const __m256 sx = _mm256_mul_ps(_mm256_mul_ps(fx, fx), _mm256_sub_ps(three, _mm256_mul_ps(two, fx)));
  const __m256 sy = _mm256_mul_ps(_mm256_mul_ps(fy, fy), _mm256_sub_ps(three, _mm256_mul_ps(two, fy)));
  const __m256 ab = _mm256_add_ps(a, _mm256_mul_ps(_mm256_sub_ps(b, a), sx));
  const __m256 abc = _mm256_add_ps(ab, _mm256_mul_ps(_mm256_sub_ps(c, a), sy));
  const __m256 twist = _mm256_add_ps(_mm256_sub_ps(_mm256_sub_ps(d, b), c), a);
  return _mm256_add_ps(abc, _mm256_mul_ps(_mm256_mul_ps(twist, sx), sy));
}
#endif

// a + (b - a) * t with the product rounded half away from zero.
inline int32_t lerpColorChannel(int32_t a, int32_t b, float t) {
  const double x = static_cast<double>(static_cast<float>(b - a) * t);
  int64_t step = 0;  // NaN steps by 0
  if (x >= 0) step = x < 2147483647.0 ? static_cast<int64_t>(x + 0.5) : 2147483647;
  else if (x < 0) step = x > -2147483648.0 ? static_cast<int64_t>(x - 0.5) : -2147483647 - 1;
  return static_cast<int32_t>(a + step);
}
