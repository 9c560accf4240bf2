// spawnParticle: places one particle in the first free slot of an emitter's pool, and
// clearParticles frees them all. The order of the random draws is fixed (position, taper,
// direction, speed, life, sizes, palette, gravity, phase, orientation, snow drift) so that a
// seeded run is repeatable.
#include <cmath>

#include "engine/engine.h"
#include "runtime/emitter.h"

// Confetti's palette, used for both start and end colour unless the caller chose colours.
static const int32_t kConfettiPalette[6][3] = {
    {255, 50, 50}, {50, 200, 50}, {50, 100, 255}, {255, 220, 50}, {255, 100, 200}, {100, 220, 255},
};

static float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

void clearParticles(Emitter& emitter) {
  for (Particle& p : emitter.particles) p.active = 0;
  emitter.aliveCount = 0;
}

void spawnParticle(Emitter& emitter) {
  const float W = static_cast<float>(emitter.frameWidth);
  const float H = static_cast<float>(emitter.frameHeight);
  if (W <= 0 || H <= 0) return;

  Particle* p = nullptr;
  for (int i = 0; i < MaxParticles; ++i) {
    if (emitter.particles[i].active == 0) {
      p = &emitter.particles[i];
      break;
    }
  }
  if (!p) return;

  const EmitterConfig& c = emitter.config;
  p->active = 1;

  float x = W * c.emitX + randomRange(-0.5f, 0.5f) * c.emitW * W;
  float y = H * c.emitY + randomRange(-0.5f, 0.5f) * c.emitH * H;

  if (c.taper > 0 && c.taper <= 1) {
    const bool across = c.taperEdge == 2 || c.taperEdge == 3;  // left/right replace y
    float t;
    switch (c.taperEdge) {
      case 1: t = clamp01(1 - y / H); break;
      case 2: t = clamp01(x / W); break;
      case 3: t = clamp01(1 - x / W); break;
      default: t = clamp01(y / H); break;
    }
    const float s = (1 - c.taper) + c.taper * t;
    if (across)
      y = H / 2 + randomRange(-H * s / 2, H * s / 2);
    else
      x = W / 2 + randomRange(-W * s / 2, W * s / 2);
  }
  p->x = x;
  p->y = y;

  const float angle = c.baseAngle + randomRange(-c.spreadAngle / 2, c.spreadAngle / 2);
  const float radians = angle * EnginePi / 180.0f;
  const float speed = randomRange(c.speedMin, c.speedMax);
  p->vx = std::cos(radians) * speed;
  p->vy = std::sin(radians) * speed;

  p->life = randomRange(c.lifeMin, c.lifeMax);
  p->lifeTotal = p->life;

  p->sizeStart = randomRange(c.sizeStartMin, c.sizeStartMax);
  p->sizeEnd = randomRange(c.sizeEndMin, c.sizeEndMax);
  p->size = p->sizeStart;

  if (emitter.presetName == "confetti" && c.colorOverride == 0) {
    const int32_t* k = kConfettiPalette[randomInt(5)];
    p->startR = p->endR = k[0];
    p->startG = p->endG = k[1];
    p->startB = p->endB = k[2];
  } else {
    p->startR = c.colorStartR; p->startG = c.colorStartG; p->startB = c.colorStartB;
    p->endR = c.colorEndR; p->endG = c.colorEndG; p->endB = c.colorEndB;
  }
  p->curR = p->startR; p->curG = p->startG; p->curB = p->startB;

  p->alpha = 0;

  p->gravity = c.gravity;
  p->gravityScale = c.gravityVariance > 0 ? 1 + randomRange(-1, 1) * c.gravityVariance : 1.0f;

  p->drag = c.drag;
  p->fadeIn = c.fadeInFraction;
  p->fadeOut = c.fadeOutFraction;

  p->phase = randomRange(0, 6.283f);

  if (c.shape == ShapeRay || c.shape == ShapeBeam || c.shape == ShapeLaser) {
    p->rotation = directionDegrees(p->vx, p->vy);
    p->spin = 0;
  } else {
    p->rotation = randomRange(0, 360);
    if (c.shape == ShapeRectangle) p->spin = randomRange(-180, 180);
    else if (c.shape == ShapeSprite) p->spin = randomRange(-30, 30);
    else p->spin = 0;
  }

  if (emitter.presetName == "snow") p->vx = p->vx + randomRange(-15, 15);

  emitter.aliveCount = emitter.aliveCount + 1;
}

void spawnBurst(Emitter& emitter) {
  if (emitter.config.burstCount <= 0) return;
  const int32_t n = emitter.config.burstCount < MaxParticles ? emitter.config.burstCount : MaxParticles;
  for (int32_t i = 0; i < n; ++i) spawnParticle(emitter);
  emitter.emissionDone = 1;
}
