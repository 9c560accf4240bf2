// One particle of an effect's pool, the engine's random sources and the direction helper.
// The pool itself lives inline in the Emitter record; nothing here allocates.
#pragma once

#include <cstdint>

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
};
static_assert(sizeof(Particle) == 112, "Particle is 28 fields of 32 bits");

// The single-precision pi the engine uses for degree conversions.
constexpr float EnginePi = 3.1415927f;

// a when a >= b (no draw); otherwise a + (b - a) * k / 10000 with k uniform in 0..10000.
float randomRange(float a, float b);
// Uniform integer 0..n inclusive (0 when n <= 0).
int32_t randomInt(int32_t n);
// Degrees in [-90, 270) of the direction (vx, vy); 90 or -90 when vx is practically 0.
float directionDegrees(float vx, float vy);

// The generator's state is per thread and seeds itself from the thread identity and the clock on
// first use. Tests and tools call this to make the current thread's draws repeatable.
void seedRandom(uint64_t seed);
