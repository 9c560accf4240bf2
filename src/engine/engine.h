// Spawning and per-frame update of an emitter's particles, and the smooth noise they drift in.
#pragma once

#include <cstdint>

struct Emitter;

// Places at most one particle in the emitter's pool (first free slot) from its config.
void spawnParticle(Emitter& emitter);
// Frees every slot of the pool: active 0 everywhere, aliveCount 0, and spawning starts again
// from slot 0. Whoever empties a pool calls this (a pool emptied by hand must at least set
// aliveCount to 0, which spawnParticle takes as a sign to scan from slot 0 again).
void clearParticles(Emitter& emitter);
// A burst effect's start: spawns the config's burstCount particles (at most a full pool: once it
// is full every further spawn is a no-op) and marks the burst as emitted (emissionDone = 1).
// Nothing when burstCount is 0 or less.
void spawnBurst(Emitter& emitter);

// Advances every live particle by dt seconds, then emits new ones for a continuous effect.
// The caller adds dt to emitter.elapsed before calling.
void updateParticles(Emitter& emitter, float dt);

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

// a + (b - a) * t with the product rounded half away from zero.
inline int32_t lerpColorChannel(int32_t a, int32_t b, float t) {
  const double x = static_cast<double>(static_cast<float>(b - a) * t);
  int64_t step = 0;  // NaN steps by 0
  if (x >= 0) step = x < 2147483647.0 ? static_cast<int64_t>(x + 0.5) : 2147483647;
  else if (x < 0) step = x > -2147483648.0 ? static_cast<int64_t>(x - 0.5) : -2147483647 - 1;
  return static_cast<int32_t>(a + step);
}
