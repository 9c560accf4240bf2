// Trails and bursts on death: the update's samples and children, the streak the renderer draws,
// a burst effect that lasts as long as its children, and the Fireworks preset's repeatability.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "config/sprite.h"
#include "engine/engine.h"
#include "engine/particle_system.h"
#include "render/render_frame.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"
#include "runtime/frame_step.h"

namespace {

// A 200 x 100 frame, a quiet configuration (no forces, no emission) and hand-made particles.
struct AfterlifeFixture : ::testing::Test {
  std::unique_ptr<ParticleSystem> e{new ParticleSystem()};
  void SetUp() override {
    seedRandom(11);
    e->frameWidth = 200;
    e->frameHeight = 100;
    LoadPreset("Stars", e->config);  // no gravity, drag 1, no wind, no noise
    e->config.spawnRate = 0;
    e->config.twinkleSpeed = 0;
  }
  Particle& place(int i, float x, float y, float vx, float life) {
    Particle& p = e->particles[i];
    std::memset(&p, 0, sizeof p);
    p.active = 1;
    p.x = x; p.y = y; p.vx = vx;
    p.life = p.lifeTotal = life;
    p.size = p.sizeStart = p.sizeEnd = 4;
    p.gravityScale = 1;
    p.drag = 1;
    p.alpha = 1;
    p.curR = 255; p.curG = 255; p.curB = 255;
    ++e->aliveCount;
    return p;
  }
  void step(float dt, bool emitting = true) {
    e->elapsed += dt;
    updateParticles(*e, dt, emitting);
  }
  int live() const {
    int n = 0;
    for (const Particle& p : e->particles) n += p.active;
    return n;
  }
};

}  // namespace

TEST_F(AfterlifeFixture, ADyingParticleBurstsIntoEvenlySpreadChildren) {
  EmitterConfig& c = e->config;
  c.deathBurstMin = c.deathBurstMax = 8;
  c.deathBurstSpeed = 100;
  c.lifeMin = 1;
  c.lifeMax = 2;
  c.colorEndR = 10; c.colorEndG = 20; c.colorEndB = 30;
  Particle& parent = place(5, 40, 60, 0, 0.01f);
  parent.sizeStart = 6;
  parent.sizeEnd = 2;
  parent.curR = 300; parent.curG = 128; parent.curB = -4;  // unclamped: the children's start is clamped
  step(0.02f);
  ASSERT_EQ(e->aliveCount, 8);
  ASSERT_EQ(live(), 8);
  std::vector<float> angles;
  for (const Particle& p : e->particles) {
    if (!p.active) continue;
    EXPECT_EQ(p.child, 1);
    EXPECT_FLOAT_EQ(p.x, 40);
    EXPECT_FLOAT_EQ(p.y, 60);
    const float speed = std::sqrt(p.vx * p.vx + p.vy * p.vy);
    EXPECT_GE(speed, 60 - 1e-3f);
    EXPECT_LE(speed, 100 + 1e-3f);
    EXPECT_GE(p.life, 0.4f * c.lifeMin);
    EXPECT_LE(p.life, 0.8f * c.lifeMax);
    EXPECT_FLOAT_EQ(p.sizeStart, 3);
    EXPECT_FLOAT_EQ(p.sizeEnd, 1);
    EXPECT_EQ(p.startR, 255); EXPECT_EQ(p.startG, 128); EXPECT_EQ(p.startB, 0);
    EXPECT_EQ(p.endR, 10); EXPECT_EQ(p.endG, 20); EXPECT_EQ(p.endB, 30);
    angles.push_back(std::atan2(p.vy, p.vx) * 180 / 3.14159265f);
  }
  // Evenly round the circle: neighbours 45 degrees apart, give or take the jitter.
  std::sort(angles.begin(), angles.end());
  for (size_t k = 0; k < angles.size(); ++k) {
    const float next = k + 1 < angles.size() ? angles[k + 1] : angles[0] + 360;
    EXPECT_NEAR(next - angles[k], 45, 2 * 0.25f * 45 + 1e-3f) << k;
  }
  // Children never burst: once they have lived, nothing is left.
  for (int i = 0; i < 200; ++i) step(0.02f);
  EXPECT_EQ(e->aliveCount, 0);
  EXPECT_EQ(live(), 0);
}

TEST_F(AfterlifeFixture, ChildCountsSpeedsAndWhenThereAreNone) {
  struct Case {
    const char* name;
    int32_t min, max;
    bool emitting;
    int32_t lo, hi;  // children of one death
  };
  const Case cases[] = {
      {"off", 0, 0, true, 0, 0},
      {"a range, drawn per death", 40, 70, true, 40, 70},
      {"an effect fading out bursts nothing", 8, 8, false, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    std::memset(e->particles, 0, sizeof e->particles);
    e->aliveCount = 0;
    e->config.deathBurstMin = k.min;
    e->config.deathBurstMax = k.max;
    e->config.deathBurstSpeed = 50;
    place(0, 100, 50, 0, 0.01f);
    step(0.02f, k.emitting);
    EXPECT_GE(live(), k.lo);
    EXPECT_LE(live(), k.hi);
    EXPECT_EQ(e->aliveCount, live());
  }
  // Clearing the pool is no death.
  e->config.deathBurstMin = e->config.deathBurstMax = 8;
  place(0, 100, 50, 0, 5);
  clearParticles(*e);
  step(0.02f);
  EXPECT_EQ(live(), 0);
}

TEST_F(AfterlifeFixture, AFullPoolDropsTheChildrenItHasNoRoomFor) {
  e->config.deathBurstMin = e->config.deathBurstMax = 50;
  e->config.deathBurstSpeed = 10;
  for (int i = 0; i < MaxParticles; ++i) place(i, 100, 50, 0, i == 7 || i == 1500 ? 0.01f : 10);
  step(0.02f);
  // Two deaths, two free slots: the first death's children take both.
  EXPECT_EQ(live(), MaxParticles);
  EXPECT_EQ(e->aliveCount, MaxParticles);
  EXPECT_EQ(e->particles[7].child, 1);
  EXPECT_EQ(e->particles[1500].child, 1);
}

TEST_F(AfterlifeFixture, TrailsSampleWhereParticlesWereBeforeEachMove) {
  e->config.trailSeconds = 0.25f;  // samples 1/60 s apart: one per 60 fps step
  Particle& p = place(3, 10, 50, 60, 10);
  for (int k = 1; k <= 20; ++k) {
    const float before = p.x;
    step(1 / 60.0f);
    ASSERT_EQ(e->trailCount[3], std::min(k, TrailSamples)) << k;
    EXPECT_FLOAT_EQ(e->trailX[3][e->trailHead], before) << k;
    EXPECT_FLOAT_EQ(e->trailY[3][e->trailHead], 50) << k;
    EXPECT_FLOAT_EQ(e->trailTime[e->trailHead], e->elapsed - 1 / 60.0f) << k;
  }
  // A particle born since has no streak yet.
  e->config.spawnRate = 0;
  spawnParticle(*e);
  int born = -1;
  for (int i = 0; i < MaxParticles; ++i)
    if (e->particles[i].active && i != 3) born = i;
  ASSERT_GE(born, 0);
  EXPECT_EQ(e->trailCount[born], 0);

  // A second's trail at 60 fps samples every fourth step (1/15 s apart).
  std::unique_ptr<ParticleSystem> slow(new ParticleSystem());
  *slow = *e;
  slow->config.trailSeconds = 1;
  slow->trailCount[3] = 0;
  slow->trailSince = 0;
  for (int k = 0; k < 16; ++k) {
    slow->elapsed += 1 / 60.0f;
    updateParticles(*slow, 1 / 60.0f);
  }
  EXPECT_EQ(slow->trailCount[3], 4);
}

// The streak behind a head moving right: drawn to the left of it, fading towards its tail, and
// not beyond the trail's length; with no trail nothing but the head is drawn.
TEST_F(AfterlifeFixture, TheStreakTapersAndFadesBehindTheHead) {
  std::vector<uint32_t> pixels(200 * 100);
  FrameBuffer frame = {};
  const Sprite noSprite = {};
  attachFrameBuffer(frame, pixels.data(), 200, 100);
  e->config.shape = ShapeCircle;
  e->config.glowSoftness = 0;
  e->config.additiveBlend = 0;
  e->config.trailSeconds = 0.25f;
  e->config.alphaStart = e->config.alphaEnd = 1;
  e->config.fadeInFraction = 0;
  Particle& p = place(0, 20, 50, 240, 100);  // 4 pixels per step
  for (int k = 0; k < 30; ++k) step(1 / 60.0f);
  ASSERT_EQ(e->trailCount[0], TrailSamples);
  const float head = p.x;
  renderFrame(*e, noSprite, frame);
  auto alphaAt = [&](float x) { return pixels[50 * 200 + static_cast<int>(std::lround(x))] >> 24; };
  EXPECT_EQ(alphaAt(head), 255u);
  // 0.25 s behind the head is 60 pixels; samples reach 15 steps (60 px) back.
  const uint32_t near = alphaAt(head - 12), mid = alphaAt(head - 30), far = alphaAt(head - 50);
  EXPECT_GT(near, 0u);
  EXPECT_GT(near, mid);
  EXPECT_GT(mid, far);
  EXPECT_EQ(alphaAt(head - 64), 0u);
  EXPECT_EQ(alphaAt(head + 8), 0u);

  e->config.trailSeconds = 0;
  frame.drawnValid = 0;
  renderFrame(*e, noSprite, frame);
  EXPECT_EQ(alphaAt(head), 255u);
  EXPECT_EQ(alphaAt(head - 12), 0u);
}

// A burst effect has not ended while the children of its last particles live.
TEST(Afterlife, ABurstLastsAsLongAsItsChildren) {
  seedRandom(3);
  std::unique_ptr<Emitter> e(new Emitter());
  std::vector<uint32_t> pixels(120 * 90);
  attachFrameBuffer(e->frame, pixels.data(), 120, 90);
  buildEffect(*e, EffectAdvanced, "Explosion", 50, "deathBurst=5:40;life=0.2");
  startParticles(*e);
  e->renderingEnabled = 1;
  float parentsGone = -1, ended = -1;
  for (int f = 1; f < 600 && ended < 0; ++f) {
    advanceEmitterBy(*e, 1 / 60.0f);
    int parents = 0;
    for (const Particle& p : e->system.particles) parents += p.active && !p.child;
    if (parentsGone < 0 && parents == 0) parentsGone = e->system.elapsed;
    if (!e->renderingEnabled) ended = e->system.elapsed;
  }
  ASSERT_GT(parentsGone, 0);
  ASSERT_GT(ended, 0);
  EXPECT_GT(ended, parentsGone + 0.05f);
}

static int32_t fixedTick() { return 1000; }

// Fireworks from a seed (and the twinkle's clock held) is the same run after run, and its
// rockets burst.
TEST(Afterlife, FireworksRepeatFromASeed) {
  setTickSource(fixedTick);
  auto run = [](std::vector<uint32_t>& pixels, int& children) {
    seedRandom(1);
    std::unique_ptr<Emitter> e(new Emitter());
    pixels.assign(320 * 240, 0);
    attachFrameBuffer(e->frame, pixels.data(), 320, 240);
    buildEffect(*e, EffectPlay, "Fireworks", 50, "");
    startParticles(*e);
    e->renderingEnabled = 1;
    children = 0;
    for (int f = 0; f < 240; ++f) {
      advanceEmitterBy(*e, 1 / 60.0f);
      for (const Particle& p : e->system.particles) children += p.active && p.child;
    }
  };
  std::vector<uint32_t> a, b;
  int childrenA = 0, childrenB = 0;
  run(a, childrenA);
  run(b, childrenB);
  EXPECT_GT(childrenA, 0);
  EXPECT_EQ(childrenA, childrenB);
  EXPECT_TRUE(a == b);
  setTickSource(nullptr);
}

// --- Birth places: outlines, rings, picture masks; launches from the centre ----------------------

namespace {

// A mask "picture" of 20 x 10 pixels: an L of opaque pixels, as a loader would leave it.
const char* const kMaskRows[10] = {
    "XX..................", "XX..................", "XX..................", "XX..................",
    "XX..................", "XX..................", "XX..................", "XX..................",
    "XXXXXXXXXXXXXXXXXXXX", "XXXXXXXXXXXXXXXXXXXX",
};
int gMaskLoads = 0;
int fakeMaskLoader(EmitMask& mask, const std::string& path) {
  ++gMaskLoads;
  if (path != "L.png") return 0;
  FreeEmitMask(mask);
  std::vector<uint32_t> places;
  for (uint32_t y = 0; y < 10; ++y)
    for (uint32_t x = 0; x < 20; ++x)
      if (kMaskRows[y][x] == 'X') places.push_back(x | y << 16);
  mask.maskPoints = new uint32_t[places.size()];
  std::copy(places.begin(), places.end(), mask.maskPoints);
  mask.maskPointCount = static_cast<int32_t>(places.size());
  mask.maskWidth = 20;
  mask.maskHeight = 10;
  mask.maskPath = path;
  return 1;
}

}  // namespace

// Sparkle born on a picture mask: every lit pixel of its first frames lies over the mask's opaque
// pixels as fitted into the area, or within a particle's size (and its first moves) of them.
TEST(BirthPlaces, AMaskedEffectLightsOnlyThePictureAndRepeats) {
  setMaskLoader(fakeMaskLoader);
  auto run = [](std::vector<uint32_t>& pixels, int frames) {
    seedRandom(1);
    std::unique_ptr<Emitter> e(new Emitter());
    pixels.assign(200 * 120, 0);
    attachFrameBuffer(e->frame, pixels.data(), 200, 120);
    buildEffect(*e, EffectAdvanced, "Sparkle", 100, "emitArea=0.5,0.5,0.8,0.8;emitShape=mask:L.png;density=20");
    EXPECT_EQ(e->system.config.emitShape, EmitShapeMask);
    startParticles(*e);
    e->renderingEnabled = 1;
    for (int f = 0; f < frames; ++f) advanceEmitterBy(*e, 1 / 60.0f);
    releaseEffectPictures(*e);
  };
  std::vector<uint32_t> a, b;
  run(a, 3);
  run(b, 3);
  EXPECT_TRUE(a == b);
  // The 20 x 10 mask fitted into the 160 x 96 area centred in the frame: 8 pixels a mask pixel,
  // 160 x 80 from (20, 20).
  const float scale = 8, left = 20, top = 20;
  const float reach = 5 + 80 * 3 / 60.0f + 1.5f;  // largest radius, three steps at top speed, edge
  int lit = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 200; ++x) {
      if ((a[static_cast<size_t>(y) * 200 + x] >> 24) == 0) continue;
      ++lit;
      bool near = false;
      for (int my = 0; my < 10 && !near; ++my)
        for (int mx = 0; mx < 20 && !near; ++mx) {
          if (kMaskRows[my][mx] != 'X') continue;
          const float x0 = left + mx * scale, y0 = top + my * scale;
          const float dx = x < x0 ? x0 - x : (x > x0 + scale ? x - x0 - scale : 0);
          const float dy = y < y0 ? y0 - y : (y > y0 + scale ? y - y0 - scale : 0);
          near = dx * dx + dy * dy <= reach * reach;
        }
      ASSERT_TRUE(near) << "lit pixel " << x << "," << y << " far from the mask";
    }
  EXPECT_GT(lit, 200);
  // The empty top right of the L stays dark.
  for (int y = 25; y < 70; ++y)
    for (int x = 60; x < 175; ++x) ASSERT_EQ(a[static_cast<size_t>(y) * 200 + x] >> 24, 0u) << x << "," << y;

  // A mask that cannot be loaded leaves the area rule.
  std::unique_ptr<Emitter> e(new Emitter());
  buildEffect(*e, EffectAdvanced, "Sparkle", 50, "emitShape=mask:missing.png");
  EXPECT_EQ(e->system.config.emitShape, EmitShapeArea);
  setMaskLoader(LoadEmitMask);
}

TEST_F(AfterlifeFixture, EdgesRingsAndLaunchesFromTheCentre) {
  EmitterConfig& c = e->config;
  c.emitX = 0.5f; c.emitY = 0.5f; c.emitW = 0.5f; c.emitH = 0.6f;  // 100 x 60 around (100, 50)
  c.speedMin = c.speedMax = 10;
  c.spreadAngle = 0;
  struct Case {
    int32_t shape, mode;
  };
  const Case cases[] = {{EmitShapeEdge, DirectionOutward}, {EmitShapeRing, DirectionInward},
                        {EmitShapeArea, DirectionOutward}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.shape);
    clearParticles(*e);
    c.emitShape = k.shape;
    c.directionMode = k.mode;
    for (int i = 0; i < 400; ++i) spawnParticle(*e);
    int sides[4] = {};
    for (const Particle& p : e->particles) {
      if (!p.active) continue;
      const float dx = p.x - 100, dy = p.y - 50;
      if (k.shape == EmitShapeEdge) {
        const bool onSide = std::fabs(std::fabs(dx) - 50) < 1e-3f || std::fabs(std::fabs(dy) - 30) < 1e-3f;
        ASSERT_TRUE(onSide) << p.x << "," << p.y;
        ASSERT_LE(std::fabs(dx), 50 + 1e-3f);
        ASSERT_LE(std::fabs(dy), 30 + 1e-3f);
        sides[std::fabs(dy) < 30 - 1e-3f ? (dx < 0 ? 0 : 1) : (dy < 0 ? 2 : 3)]++;
      } else if (k.shape == EmitShapeRing) {
        ASSERT_NEAR(dx * dx / 2500 + dy * dy / 900, 1, 1e-3f) << p.x << "," << p.y;
      }
      // The launch runs along the line from the centre, away from it or towards it.
      const float along = (p.vx * dx + p.vy * dy) / std::sqrt(dx * dx + dy * dy) / 10;
      ASSERT_NEAR(along, k.mode == DirectionOutward ? 1 : -1, 1e-3f);
    }
    // The outline's length is shared out evenly: 60 of 320 pixels on each upright side, 100 on
    // each level one.
    if (k.shape == EmitShapeEdge) {
      EXPECT_NEAR(sides[0], 400 * 60 / 320.0, 30);
      EXPECT_NEAR(sides[2], 400 * 100 / 320.0, 35);
    }
  }
  // An area of no height stays a line, whatever the shape.
  clearParticles(*e);
  c.emitH = 0;
  c.emitShape = EmitShapeRing;
  spawnParticle(*e);
  EXPECT_FLOAT_EQ(e->particles[0].y, 50);
}

// A sprite sheet's frames: cut once from the picture, shown once over a life or looping.
TEST(SpriteFrames, CutOnceAndShownByAgeOrRate) {
  static uint32_t texels[8 * 4];
  for (int i = 0; i < 32; ++i) texels[i] = 0xFF000000u | static_cast<uint32_t>((i % 8) / 2 + 4 * (i / 16));
  Sprite sprite = {};
  sprite.spriteImage = newSpriteImage(8, 4);
  std::copy(texels, texels + 32, sprite.spriteImage->pixels);
  sprite.spriteWidth = 8;
  sprite.spriteHeight = 4;
  ASSERT_EQ(CutSpriteFrames(sprite, 4, 2), 1);
  ASSERT_EQ(sprite.spriteFrameCount, 8);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(sprite.spriteFrameImages[k].width, 2);
    EXPECT_EQ(sprite.spriteFrameImages[k].height, 2);
    EXPECT_EQ(sprite.spriteFrameImages[k].pixels[0] & 0xFF, static_cast<uint32_t>(k)) << k;  // left to right, top to bottom
  }
  const SpriteImage* first = sprite.spriteFrameImages;
  EXPECT_EQ(CutSpriteFrames(sprite, 4, 2), 1);
  EXPECT_EQ(sprite.spriteFrameImages, first);  // the same layout is not cut again
  EXPECT_EQ(CutSpriteFrames(sprite, 9, 1), 0);  // more columns than pixels
  EXPECT_EQ(sprite.spriteFrameCount, 0);
  EXPECT_EQ(CutSpriteFrames(sprite, 1, 1), 0);
  FreeSprite(sprite);
  EXPECT_EQ(sprite.spriteFrameImages, nullptr);
}
