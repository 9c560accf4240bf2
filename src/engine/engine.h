// Spawning and per-frame update of an emitter's particles, and the smooth noise they drift in.
#pragma once

#include <cstdint>

struct Emitter;

// Places at most one particle in the emitter's pool (first free slot) from its config.
void spawnParticle(Emitter& emitter);

// Advances every live particle by dt seconds, then emits new ones for a continuous effect.
// The caller adds dt to emitter.elapsed before calling.
void updateParticles(Emitter& emitter, float dt);

// The process-wide 256 x 256 table of values in [0, 1), filled once by a fixed LCG.
constexpr int NoiseTableSide = 256;
const float* noiseTable();

// Smooth value noise over the table, in [0, 1).
float valueNoise(float x, float y);

// a + (b - a) * t with the product rounded half away from zero.
int32_t lerpColorChannel(int32_t a, int32_t b, float t);
