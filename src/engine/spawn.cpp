// spawnParticle: places one particle in the first free slot of a particle system's pool. The order of
// the random draws is fixed (position, taper, direction, speed, life, sizes, palette, gravity,
// phase, orientation, snow drift) so that a seeded run is repeatable. Also the bursts and
// clearParticles, which with the update keep the pool's free-slot hint right.
#include <cmath>
#include <cstring>
#include <string>

#include "engine/engine.h"

// Confetti's paper and Fireworks' shells, used for both start and end colour unless the caller
// chose colours.
static const int32_t kConfettiPalette[6][3] = {
    {255, 50, 50}, {50, 200, 50}, {50, 100, 255}, {255, 220, 50}, {255, 100, 200}, {100, 220, 255},
};
static const int32_t kFireworksPalette[8][3] = {
    {255, 70, 70},  {255, 190, 50}, {90, 255, 110},  {80, 160, 255},
    {210, 100, 255}, {255, 255, 235}, {255, 120, 40}, {60, 235, 255},
};

static float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

void setSystemPreset(ParticleSystem& system, const std::string& presetName) {
  system.sway = presetName == "snow"      ? SwaySnow
                : presetName == "bubbles" ? SwayBubbles
                : presetName == "aurora"  ? SwayAurora
                                          : SwayNone;
  system.palette = presetName == "confetti"    ? PaletteConfetti
                   : presetName == "fireworks" ? PaletteFireworks
                                               : PaletteNone;
  system.heightScaled = presetName == "fireworks" ? 1 : 0;
}

// The factor a height-scaled effect's speeds and gravity take in this frame; 1 for the others.
static float heightScale(const ParticleSystem& system) {
  if (!system.heightScaled || system.frameHeight <= 0) return 1;
  return static_cast<float>(system.frameHeight) / HeightScaleBase;
}

// The first free slot of the pool, or MaxParticles when it is full. First fit from the hint:
// every slot below it is live, so the slot found is the first free one, and a burst of n spawns
// costs n steps instead of n^2 / 2. Slots below the hint being live means at least that many
// live particles: a hint above aliveCount says the pool was emptied behind our back, and the
// scan starts from 0 again.
static inline __attribute__((always_inline)) int32_t takeFreeSlot(ParticleSystem& system) {
  int32_t i = system.freeSlotHint;
  if (i < 0 || i > system.aliveCount) i = 0;
  while (i < MaxParticles && system.particles[i].active != 0) ++i;
  system.freeSlotHint = i == MaxParticles ? i : i + 1;
  return i;
}

// A long shape points along its velocity; the others get a random orientation and, for
// rectangles and sprites, a spin.
static inline __attribute__((always_inline)) void orient(Particle* p, int32_t shape, RandomState& g) {
  if (shape == ShapeRay || shape == ShapeBeam || shape == ShapeLaser) {
#if defined(__SSE2__)
    // Lane selects rather than branches: the sign of vx is a coin toss, which a branch mispredicts.
    p->rotation = _mm_cvtss_f32(directionDegrees4(_mm_set1_ps(p->vx), _mm_set1_ps(p->vy)));
#else
    p->rotation = directionDegrees(p->vx, p->vy);
#endif
    p->spin = 0;
  } else {
    p->rotation = randomRange(g, 0, 360);
    if (shape == ShapeRectangle) p->spin = randomRange(g, -180, 180);
    else if (shape == ShapeSprite) p->spin = randomRange(g, -30, 30);
    else p->spin = 0;
  }
}


// The shapes' helpers take the generator's state by value and hand it back, so that the spawn's
// own copy can stay in registers.

// A point uniformly along the outline of the w x h rectangle centred on (cx, cy): one draw.
static RandomState edgePoint(RandomState g, float cx, float cy, float w, float h, float& x, float& y) {
  float t = randomRange(g, 0, 2 * (w + h));
  const float left = cx - w / 2, top = cy - h / 2;
  if (t < w) { x = left + t; y = top; return g; }
  t = t - w;
  if (t < h) { x = left + w; y = top + t; return g; }
  t = t - h;
  if (t < w) { x = left + w - t; y = top + h; return g; }
  t = t - w;
  x = left;
  y = top + h - (t < h ? t : h);
  return g;
}

// A point uniformly along the ellipse inscribed in the w x h rectangle centred on (cx, cy): an
// angle drawn and kept in proportion to the ellipse's length there (at most RingTries tries, the
// last one kept), two draws a try.
constexpr int RingTries = 32;
static RandomState ringPoint(RandomState g, float cx, float cy, float w, float h, float& x, float& y) {
  const float a = w / 2, b = h / 2, longer = a > b ? a : b;
  float sine = 0, cosine = 1;
  for (int k = 0; k < RingTries; ++k) {
    engineSinCos(randomRange(g, 0, 2 * EnginePi), sine, cosine);
    const float length = std::sqrt(a * a * sine * sine + b * b * cosine * cosine);
    if (randomRange(g, 0, longer) <= length) break;
  }
  x = cx + a * cosine;
  y = cy + b * sine;
  return g;
}

// A point in one of the mask's places, drawn evenly, anywhere in that pixel, with the picture
// fitted into the w x h rectangle centred on (cx, cy) with its proportions kept: three draws.
static RandomState maskPoint(RandomState g, const EmitMask& mask, float cx, float cy, float w, float h, float& x,
                             float& y) {
  const uint32_t place = mask.maskPoints[randomInt(g, mask.maskPointCount - 1)];
  const float mw = static_cast<float>(mask.maskWidth), mh = static_cast<float>(mask.maskHeight);
  const float scale = w / mw < h / mh ? w / mw : h / mh;
  const float px = static_cast<float>(place & 0xFFFFu), py = static_cast<float>(place >> 16);
  x = cx - mw * scale / 2 + (px + randomRange(g, 0, 1)) * scale;
  y = cy - mh * scale / 2 + (py + randomRange(g, 0, 1)) * scale;
  return g;
}

void spawnParticle(ParticleSystem& system) {
  const float W = static_cast<float>(system.frameWidth);
  const float H = static_cast<float>(system.frameHeight);
  if (W <= 0 || H <= 0) return;

  const int32_t i = takeFreeSlot(system);
  if (i == MaxParticles) return;
  Particle* p = &system.particles[i];
  system.trailCount[i] = 0;

  const EmitterConfig& c = system.config;
  RandomState& generator = threadRandom();
  RandomState g = generator;
  p->active = 1;
  p->child = 0;

  // An emit area of no width or height is a line or a point whatever the shape.
  const bool centred = system.emitCentred != 0;
  const float cx = centred ? system.emitCentreX : W * c.emitX, cy = centred ? system.emitCentreY : H * c.emitY;
  const float aw = c.emitW * W, ah = c.emitH * H;
  int32_t shape = aw > 0 && ah > 0 ? c.emitShape : EmitShapeArea;
  if (shape == EmitShapeMask && (!system.mask || system.mask->maskPointCount <= 0)) shape = EmitShapeArea;
  float x, y;
  if (shape == EmitShapeEdge) {
    g = edgePoint(g, cx, cy, aw, ah, x, y);
  } else if (shape == EmitShapeRing) {
    g = ringPoint(g, cx, cy, aw, ah, x, y);
  } else if (shape == EmitShapeMask) {
    g = maskPoint(g, *system.mask, cx, cy, aw, ah, x, y);
  } else {
    x = cx + randomRange(g, -0.5f, 0.5f) * c.emitW * W;
    y = cy + randomRange(g, -0.5f, 0.5f) * c.emitH * H;
  }

  // The taper narrows towards an edge of the frame: an area moved to a point of its own has none.
  if (shape == EmitShapeArea && c.taper > 0 && c.taper <= 1 && !centred) {
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
      y = H / 2 + randomRange(g, -H * s / 2, H * s / 2);
    else
      x = W / 2 + randomRange(g, -W * s / 2, W * s / 2);
  }
  p->x = x;
  p->y = y;

  float angle;
  if (c.directionMode == DirectionOutward || c.directionMode == DirectionInward) {
    // Through the birth point from the area's centre; the centre itself has no such direction.
    const float dx = x - cx, dy = y - cy;
    float away = dx == 0 && dy == 0 ? randomRange(g, 0, 360) : directionDegrees(dx, dy);
    if (c.directionMode == DirectionInward) away = away + 180;
    angle = away + randomRange(g, -c.spreadAngle / 2, c.spreadAngle / 2);
  } else {
    angle = c.baseAngle + randomRange(g, -c.spreadAngle / 2, c.spreadAngle / 2);
  }
  const float radians = angle * EnginePi / 180.0f;
  const float scale = heightScale(system);
  const float speed = randomRange(g, c.speedMin, c.speedMax) * scale;
  float sine, cosine;
  engineSinCos(radians, sine, cosine);
  p->vx = cosine * speed;
  p->vy = sine * speed;

  p->life = randomRange(g, c.lifeMin, c.lifeMax);
  p->lifeTotal = p->life;

  p->sizeStart = randomRange(g, c.sizeStartMin, c.sizeStartMax);
  p->sizeEnd = randomRange(g, c.sizeEndMin, c.sizeEndMax);
  p->size = p->sizeStart;

  if (system.palette != PaletteNone && c.colorOverride == 0) {
    const int32_t* k = system.palette == PaletteConfetti ? kConfettiPalette[randomInt(g, 5)]
                                                         : kFireworksPalette[randomInt(g, 7)];
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
  p->gravityScale = c.gravityVariance > 0 ? 1 + randomRange(g, -1, 1) * c.gravityVariance : 1.0f;
  p->gravityScale = p->gravityScale * scale;

  p->drag = c.drag;
  p->fadeIn = c.fadeInFraction;
  p->fadeOut = c.fadeOutFraction;

  p->phase = randomRange(g, 0, 6.283f);

  orient(p, c.shape, g);

  if (system.sway == SwaySnow) p->vx = p->vx + randomRange(g, -15, 15);

  // A looping sheet starts each particle at a frame of its own.
  const int32_t frames = c.spriteCols * c.spriteRows;
  p->spriteFrame = c.shape == ShapeSprite && c.spriteFps > 0 && frames > 1 ? randomInt(g, frames - 1) : 0;

  generator = g;
  system.aliveCount = system.aliveCount + 1;
}

void spawnDeathBurst(ParticleSystem& system, const DeathSeed& seed) {
  const EmitterConfig& c = system.config;
  if (c.deathBurstMax <= 0) return;
  RandomState& generator = threadRandom();
  RandomState g = generator;
  const int32_t n = c.deathBurstMin + randomInt(g, c.deathBurstMax - c.deathBurstMin);
  if (n > 0) {
    const float scale = heightScale(system);
    const float share = 360.0f / static_cast<float>(n);  // degrees between neighbours
    const float turn = randomRange(g, 0, share);        // the whole shell's own rotation
    for (int32_t j = 0; j < n; ++j) {
      const float angle = turn + (static_cast<float>(j) + randomRange(g, -0.25f, 0.25f)) * share;
      const float speed = c.deathBurstSpeed * randomRange(g, 0.6f, 1.0f) * scale;
      const float life = randomRange(g, 0.4f * c.lifeMin, 0.8f * c.lifeMax);
      const float phase = randomRange(g, 0, 6.283f);
      const int32_t i = takeFreeSlot(system);
      if (i == MaxParticles) continue;  // a full pool drops the rest, as for any spawn
      Particle* p = &system.particles[i];
      system.trailCount[i] = 0;
      p->active = 1;
      p->child = 1;
      p->spriteFrame = 0;
      p->x = seed.x;
      p->y = seed.y;
      float sine, cosine;
      engineSinCos(angle * EnginePi / 180.0f, sine, cosine);
      p->vx = cosine * speed;
      p->vy = sine * speed;
      p->life = life > MinLife ? life : MinLife;
      p->lifeTotal = p->life;
      p->sizeStart = p->size = seed.sizeStart;
      p->sizeEnd = seed.sizeEnd;
      p->startR = p->curR = seed.r;
      p->startG = p->curG = seed.g;
      p->startB = p->curB = seed.b;
      p->endR = c.colorEndR; p->endG = c.colorEndG; p->endB = c.colorEndB;
      p->alpha = 0;
      p->gravity = c.gravity;
      p->gravityScale = scale;
      p->drag = c.drag;
      p->fadeIn = c.fadeInFraction;
      p->fadeOut = c.fadeOutFraction;
      p->phase = phase;
      orient(p, c.shape, g);
      system.aliveCount = system.aliveCount + 1;
    }
  }
  generator = g;
}

void clearParticles(ParticleSystem& system) {
  for (Particle& p : system.particles) p.active = 0;
  system.aliveCount = 0;
  system.freeSlotHint = 0;
}

void spawnBurstAt(ParticleSystem& system, int32_t count, float x, float y) {
  const int32_t centred = system.emitCentred;
  const float cx = system.emitCentreX, cy = system.emitCentreY;
  system.emitCentred = 1;
  system.emitCentreX = x;
  system.emitCentreY = y;
  const int32_t n = count < MaxParticles ? count : MaxParticles;
  for (int32_t i = 0; i < n; ++i) spawnParticle(system);
  system.emitCentred = centred;
  system.emitCentreX = cx;
  system.emitCentreY = cy;
}

void spawnBurst(ParticleSystem& system) {
  if (system.config.burstCount <= 0) return;
  const int32_t n = system.config.burstCount < MaxParticles ? system.config.burstCount : MaxParticles;
  for (int32_t i = 0; i < n; ++i) spawnParticle(system);
  system.emissionDone = 1;
}
