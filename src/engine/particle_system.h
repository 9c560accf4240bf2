// The engine's record of one effect: its configuration, its fixed particle pool and everything
// the spawn and the update carry from frame to frame. Nothing else is read or written by them,
// so a tool, a test or the preview that only moves particles needs only this record.
#pragma once

#include <cstdint>
#include <string>

#include "config/emitter_config.h"
#include "engine/particle.h"

// Preset-specific sideways motion (snow also drifts at birth), resolved once when the effect is
// built rather than compared by name every frame.
enum SwayKind { SwayNone, SwaySnow, SwayBubbles, SwayAurora };

struct ParticleSystem {
  EmitterConfig config;          // the effect's parameters
  Particle particles[MaxParticles];  // fixed pool; a slot is free while active is 0
  int32_t aliveCount;            // live particles after the last update
  int32_t freeSlotHint;          // slot index: every slot below it is live (spawn scans from here)
  float spawnAccumulator;        // fractional particles carried between frames
  int32_t emissionDone;          // 1 once a burst has been emitted
  float elapsed;                 // seconds of animation time
  int32_t frameWidth;            // pixels of the frame the particles live in
  int32_t frameHeight;           // pixels
  int32_t baseHeight;            // frame height at the first update; 0 until then
  SwayKind sway;                 // from the preset name
  int32_t confettiColors;        // 1: each particle takes a colour of confetti's own palette
                                 // unless the config overrides the colour
};

// Resolves the preset's own motion and colours from its name, lower-cased (exactly "snow",
// "bubbles", "aurora" or "confetti"; any other name has none).
void setSystemPreset(ParticleSystem& system, const std::string& presetName);
