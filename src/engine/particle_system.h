// The engine's record of one effect: its configuration, its fixed particle pool and everything
// the spawn and the update carry from frame to frame. Nothing else is read or written by them,
// so a tool, a test or the preview that only moves particles needs only this record.
#pragma once

#include <cstdint>
#include <string>

#include "config/emitter_config.h"
#include "config/sprite.h"
#include "engine/particle.h"

// Preset-specific sideways motion (snow also drifts at birth) and colours, resolved once when the
// effect is built rather than compared by name every frame.
enum SwayKind { SwayNone, SwaySnow, SwayBubbles, SwayAurora };
// A palette a particle draws its colour from at birth, for both start and end, unless the config
// overrides the colour: Confetti's paper, Fireworks' shells.
enum PaletteKind { PaletteNone, PaletteConfetti, PaletteFireworks };

// Positions kept per particle for its trail: a ring the update writes once per sample.
constexpr int TrailSamples = 16;
// The frame height at which a height-scaled effect moves as its config says, pixels.
constexpr float HeightScaleBase = 480;

// The reader's cursor as the update sees it: a point of the frame, or absent (elsewhere).
struct CursorPoint {
  int32_t present;  // 1 while the cursor is over the frame's rectangle
  float x, y;       // pixels of the frame
};
constexpr CursorPoint NoCursor = {0, 0, 0};

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
  PaletteKind palette;           // from the preset name
  int32_t heightScaled;          // 1 (Fireworks): launch speeds and gravity scale with the frame
                                 // height against HeightScaleBase, so that the rockets burst in
                                 // the upper half of any rectangle; from the preset name
  // Trails (config.trailSeconds > 0): the positions of every live particle at the last
  // TrailSamples samples, newest at trailHead; a slot's trailCount says how many of them were
  // taken since its particle was born. Samples are config.trailSeconds / (TrailSamples - 1)
  // apart, at most one per update.
  float trailX[MaxParticles][TrailSamples];  // pixels
  float trailY[MaxParticles][TrailSamples];  // pixels
  int32_t trailCount[MaxParticles];          // samples of the slot's particle, 0-TrailSamples
  float trailTime[TrailSamples];             // elapsed (seconds) at each sample
  int32_t trailHead;                         // ring position of the newest sample
  float trailSince;                          // seconds since the last sample
  // Where the emit area is centred instead of the config's emitX/emitY while emitCentred is 1:
  // the reader's cursor (cursor follow) or a click (click burst). Set by whoever drives the
  // system; the spawn only reads it.
  int32_t emitCentred;           // 1: emitCentreX/Y hold
  float emitCentreX;             // pixels of the frame
  float emitCentreY;             // pixels
  // The birth places of emitShape mask: the runtime's mask record, or null when there is none
  // (the area rule then holds).
  const EmitMask* mask;
};

// Resolves the preset's own motion and colours from its name, lower-cased (exactly "snow",
// "bubbles", "aurora", "confetti" or "fireworks"; any other name has none).
void setSystemPreset(ParticleSystem& system, const std::string& presetName);
