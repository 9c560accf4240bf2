// updateParticles: ages, pushes, moves, turns and recolours every live particle of one emitter,
// then runs the continuous emission accumulator. All 2000 slots are visited every frame.
#include <cmath>

#include "engine/engine.h"
#include "runtime/emitter.h"

static inline float lerpf(float a, float b, float t) { return a + (b - a) * t; }

// Preset-specific sideways motion, chosen once per update from the lower-cased preset name.
enum Sway { SwayNone, SwaySnow, SwayBubbles, SwayAurora };

void updateParticles(Emitter& emitter, float dt) {
  if (emitter.baseHeight <= 0) emitter.baseHeight = emitter.frameHeight > 0 ? emitter.frameHeight : 1;
  float k = emitter.baseHeight >= 1
                ? static_cast<float>(emitter.frameHeight) / static_cast<float>(emitter.baseHeight)
                : 1.0f;
  if (k <= 0) k = 1;

  // The config is read into locals once: stores to the particles (floats too) would otherwise
  // oblige the compiler to reload every config field for every particle.
  const EmitterConfig& c = emitter.config;
  const Sway sway = emitter.presetName == "snow"      ? SwaySnow
                    : emitter.presetName == "bubbles" ? SwayBubbles
                    : emitter.presetName == "aurora"  ? SwayAurora
                                                      : SwayNone;
  const bool turnsAlong = c.shape == ShapeRay || c.shape == ShapeBeam || c.shape == ShapeLaser;
  const bool spins = c.shape == ShapeRectangle || c.shape == ShapeSprite;
  const float windX = c.windX, windY = c.windY;
  const float noisePower = c.noisePower;
  const float noiseN = c.noiseScale < 1 ? 1.0f : c.noiseScale;
  const float noiseO = emitter.elapsed * c.noiseSpeed;
  const bool hasMid = c.hasColorMid != 0;
  const int32_t midR = c.colorMidR, midG = c.colorMidG, midB = c.colorMidB;
  const float midPos = c.colorMidPos < 0.001f ? 0.001f : (c.colorMidPos > 0.999f ? 0.999f : c.colorMidPos);
  const float alphaStart = c.alphaStart, alphaEnd = c.alphaEnd;
  const float elapsed = emitter.elapsed;
  const float drag60 = dt * 60.0f;
  float dragSeen = 2, dragFactor = 1;  // last drag value raised to drag60, and the result
  const float* noise = noiseTable();

  // The noise pushes depend only on the positions before this frame's move, so they are worked
  // out in a pass of their own: two short loops keep the processor busier than one long one.
  float pushX[MaxParticles], pushY[MaxParticles];  // noise velocity change per slot, px/s
  const bool noisy = noisePower > 0;
  if (noisy) {
    for (int i = 0; i < MaxParticles; ++i) {
      const Particle& p = emitter.particles[i];
      if (!p.active) continue;
      const float nx = p.x / noiseN + noiseO;
      const float ny = p.y / noiseN + noiseO;
      pushX[i] = (2 * sampleNoise(noise, nx, ny) - 1) * noisePower * dt;
      pushY[i] = (2 * sampleNoise(noise, nx + 500, ny + 500) - 1) * noisePower * dt;
    }
  }

  int32_t alive = 0;
  int32_t firstFree = MaxParticles;  // the spawn's hint: the lowest slot free after this pass
  for (int i = 0; i < MaxParticles; ++i) {
    if (!emitter.particles[i].active) {
      if (firstFree == MaxParticles) firstFree = i;
      continue;
    }
    Particle p = emitter.particles[i];  // worked on in registers, stored back once

    p.life = p.life - dt;
    if (p.life <= 0) {
      emitter.particles[i].active = 0;
      if (firstFree == MaxParticles) firstFree = i;
      continue;
    }
    const float u = 1 - p.life / p.lifeTotal;

    p.vy = p.vy + p.gravity * p.gravityScale * dt;
    if (windX != 0) p.vx = p.vx + windX * dt;
    if (windY != 0) p.vy = p.vy + windY * dt;

    if (noisy) {
      p.vx = p.vx + pushX[i];
      p.vy = p.vy + pushY[i];
    }

    if (p.drag < 1) {
      // Particles of one effect share their drag, so the power is worked out once per value.
      if (p.drag != dragSeen) {
        dragSeen = p.drag;
        dragFactor = std::pow(p.drag, drag60);
      }
      p.vx = p.vx * dragFactor;
      p.vy = p.vy * dragFactor;
    }

    switch (sway) {
      case SwaySnow: p.vx = p.vx + 0.5f * std::sin(12 * u + 0.3f * i); break;
      case SwayBubbles: p.vx = p.vx + 0.8f * std::sin(6 * u + 0.5f * i); break;
      case SwayAurora: p.vx = p.vx + 1.5f * std::sin(0.5f * elapsed + 0.7f * i); break;
      case SwayNone: break;
    }

    p.x = p.x + p.vx * k * dt;
    p.y = p.y + p.vy * k * dt;

    if (turnsAlong) {
      if (std::fabs(p.vx) + std::fabs(p.vy) > 1) p.rotation = directionDegrees(p.vx, p.vy);
    } else if (spins) {
      p.rotation = p.rotation + p.spin * dt;
    }

    p.size = lerpf(p.sizeStart, p.sizeEnd, u);

    if (hasMid) {
      if (u < midPos) {
        const float t = u / midPos;
        p.curR = lerpColorChannel(p.startR, midR, t);
        p.curG = lerpColorChannel(p.startG, midG, t);
        p.curB = lerpColorChannel(p.startB, midB, t);
      } else {
        const float t = (u - midPos) / (1 - midPos);
        p.curR = lerpColorChannel(midR, p.endR, t);
        p.curG = lerpColorChannel(midG, p.endG, t);
        p.curB = lerpColorChannel(midB, p.endB, t);
      }
    } else {
      p.curR = lerpColorChannel(p.startR, p.endR, u);
      p.curG = lerpColorChannel(p.startG, p.endG, u);
      p.curB = lerpColorChannel(p.startB, p.endB, u);
    }

    float a = lerpf(alphaStart, alphaEnd, u);
    if (p.fadeIn > 0 && u < p.fadeIn) a = a * u / p.fadeIn;
    if (p.fadeOut > 0 && u > 1 - p.fadeOut) a = a * (1 - u) / p.fadeOut;
    p.alpha = a < 0 ? 0 : (a > 1 ? 1 : a);

    emitter.particles[i] = p;
    ++alive;
  }
  emitter.aliveCount = alive;
  emitter.freeSlotHint = firstFree;

  if (c.burstCount == 0 && !emitter.emissionDone) {
    float acc = emitter.spawnAccumulator + c.spawnRate * dt;
    if (acc >= 1) {
      // One spawn per whole unit, subtracting the whole units at once: the same carry as
      // subtracting 1 at a time, but a huge rate cannot keep the timer thread spinning. More
      // than a pool's worth in one frame would only be dropped by the full pool.
      const float whole = std::floor(acc);
      const int n = whole > static_cast<float>(MaxParticles) ? MaxParticles : static_cast<int>(whole);
      for (int s = 0; s < n; ++s) spawnParticle(emitter);
      acc = std::isfinite(acc) ? acc - whole : 0.0f;
    }
    emitter.spawnAccumulator = acc;
  }
}
