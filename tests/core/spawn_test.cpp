// Spawning: geometry, taper, ranges, the pool, palettes, orientation, and the order of draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <memory>
#include <set>

#include "engine/engine.h"
#include "engine/particle_system.h"

namespace {

// A 200 x 100 frame with a fully deterministic configuration: every range collapsed, no taper.
struct SpawnFixture : ::testing::Test {
  std::unique_ptr<ParticleSystem> e{new ParticleSystem()};
  void SetUp() override {
    seedRandom(1234);
    e->frameWidth = 200;
    e->frameHeight = 100;
    setSystemPreset(*e, "sparkle");
    LoadPreset("Sparkle", e->config);
    EmitterConfig& c = e->config;
    c.emitX = 0.25f; c.emitY = 0.75f; c.emitW = 0; c.emitH = 0;
    c.spreadAngle = 0; c.baseAngle = 0; c.speedMin = c.speedMax = 100;
    c.lifeMin = c.lifeMax = 2; c.sizeStartMin = c.sizeStartMax = 5;
    c.sizeEndMin = c.sizeEndMax = 1;
  }
  Particle& slot(int i) { return e->particles[i]; }
};

// The number of generator draws a spawn makes, found by replaying plain draws after it.
int drawsMadeBySpawn(ParticleSystem& e) {
  seedRandom(77);
  spawnParticle(e);
  const float next = randomRange(0, 1);
  for (int n = 0; n < 20; ++n) {
    seedRandom(77);
    for (int k = 0; k < n; ++k) randomRange(0, 1);
    if (randomRange(0, 1) == next) return n;
  }
  return -1;
}

}  // namespace

TEST_F(SpawnFixture, FixedRangesGiveExactValues) {
  spawnParticle(*e);
  const Particle& p = slot(0);
  EXPECT_EQ(p.active, 1);
  EXPECT_EQ(e->aliveCount, 1);
  EXPECT_FLOAT_EQ(p.x, 50);
  EXPECT_FLOAT_EQ(p.y, 75);
  EXPECT_FLOAT_EQ(p.vx, 100);
  EXPECT_NEAR(p.vy, 0, 1e-4);
  EXPECT_EQ(p.life, 2);
  EXPECT_EQ(p.lifeTotal, 2);
  EXPECT_EQ(p.size, 5);
  EXPECT_EQ(p.sizeStart, 5);
  EXPECT_EQ(p.sizeEnd, 1);
  EXPECT_EQ(p.startR, 255); EXPECT_EQ(p.startB, 200);
  EXPECT_EQ(p.curR, 255); EXPECT_EQ(p.curG, 255); EXPECT_EQ(p.curB, 200);
  EXPECT_EQ(p.endG, 200); EXPECT_EQ(p.endB, 100);
  EXPECT_EQ(p.alpha, 0);
  EXPECT_EQ(p.gravity, 15);
  EXPECT_EQ(p.gravityScale, 1);
  EXPECT_EQ(p.drag, 1);
  EXPECT_FLOAT_EQ(p.fadeIn, 0.1f);
  EXPECT_GE(p.phase, 0); EXPECT_LE(p.phase, 6.283f);
  EXPECT_EQ(p.spin, 0);

  e->config.baseAngle = 270;
  spawnParticle(*e);
  EXPECT_NEAR(slot(1).vx, 0, 1e-4);
  EXPECT_FLOAT_EQ(slot(1).vy, -100);
}

TEST_F(SpawnFixture, InvertedRangesTakeTheMinimumWithoutDrawing) {
  // Collapsed ranges: only position (2), phase and rotation draw.
  EXPECT_EQ(drawsMadeBySpawn(*e), 4);
  EmitterConfig& c = e->config;
  c.spreadAngle = 20; c.speedMin = 10; c.speedMax = 50; c.lifeMin = 1; c.lifeMax = 3;
  c.sizeStartMin = 2; c.sizeStartMax = 9;
  EXPECT_EQ(drawsMadeBySpawn(*e), 8);
  c.spreadAngle = -20; c.speedMin = 50; c.speedMax = 10; c.lifeMin = 3; c.lifeMax = 1;
  c.sizeStartMin = 9; c.sizeStartMax = 2;
  clearParticles(*e);
  EXPECT_EQ(drawsMadeBySpawn(*e), 4);
  const Particle& p = slot(0);
  EXPECT_FLOAT_EQ(std::hypot(p.vx, p.vy), 50);
  EXPECT_EQ(p.life, 3);
  EXPECT_EQ(p.sizeStart, 9);
  // A spread of -20 is the inverted range 10..-10: the direction is baseAngle + 10.
  EXPECT_NEAR(directionDegrees(p.vx, p.vy), 10, 1e-3);
}

TEST_F(SpawnFixture, DrawsHappenInTheDocumentedOrder) {
  // Replays the draws by hand and rebuilds the particle from them.
  EmitterConfig& c = e->config;
  setSystemPreset(*e, "confetti");
  c.emitW = 0.5f; c.emitH = 0.2f; c.taper = 0.5f; c.taperEdge = 2;
  c.spreadAngle = 40; c.speedMin = 10; c.speedMax = 20; c.lifeMin = 1; c.lifeMax = 3;
  c.sizeStartMin = 1; c.sizeStartMax = 2; c.sizeEndMin = 3; c.sizeEndMax = 4;
  c.gravityVariance = 0.5f; c.shape = ShapeRectangle; c.colorOverride = 0;
  seedRandom(99);
  spawnParticle(*e);
  const Particle got = slot(0);

  seedRandom(99);
  const float W = 200, H = 100;
  float x = W * c.emitX + randomRange(-0.5f, 0.5f) * c.emitW * W;
  float y = H * c.emitY + randomRange(-0.5f, 0.5f) * c.emitH * H;
  float t = std::min(1.0f, std::max(0.0f, x / W));
  float s = (1 - c.taper) + c.taper * t;
  y = H / 2 + randomRange(-H * s / 2, H * s / 2);
  float angle = c.baseAngle + randomRange(-20, 20);
  float speed = randomRange(10, 20);
  float life = randomRange(1, 3);
  float size0 = randomRange(1, 2), size1 = randomRange(3, 4);
  int k = randomInt(5);
  float gscale = 1 + randomRange(-1, 1) * 0.5f;
  float phase = randomRange(0, 6.283f);
  float rotation = randomRange(0, 360);
  float spin = randomRange(-180, 180);

  EXPECT_EQ(got.x, x);
  EXPECT_EQ(got.y, y);
  EXPECT_FLOAT_EQ(got.vx, std::cos(angle * 3.1415927f / 180) * speed);
  EXPECT_FLOAT_EQ(got.vy, std::sin(angle * 3.1415927f / 180) * speed);
  EXPECT_EQ(got.life, life);
  EXPECT_EQ(got.sizeStart, size0);
  EXPECT_EQ(got.sizeEnd, size1);
  const int palette[6][3] = {{255, 50, 50}, {50, 200, 50}, {50, 100, 255},
                             {255, 220, 50}, {255, 100, 200}, {100, 220, 255}};
  EXPECT_EQ(got.startR, palette[k][0]); EXPECT_EQ(got.endG, palette[k][1]);
  EXPECT_EQ(got.curB, palette[k][2]);
  EXPECT_EQ(got.gravityScale, gscale);
  EXPECT_EQ(got.phase, phase);
  EXPECT_EQ(got.rotation, rotation);
  EXPECT_EQ(got.spin, spin);
}

TEST_F(SpawnFixture, TaperNarrowsTowardsTheNamedEdge) {
  EmitterConfig& c = e->config;
  c.taper = 1; c.taperEdge = 0; c.emitY = 0;
  spawnParticle(*e);
  EXPECT_EQ(slot(0).x, 100);  // at the narrow edge the area is a point in the middle

  c.taperEdge = 3; c.emitX = 1; c.emitY = 0.3f;
  spawnParticle(*e);
  EXPECT_EQ(slot(1).y, 50);
  EXPECT_EQ(slot(1).x, 200);

  c.taperEdge = 9; c.emitX = 0.25f; c.emitY = 0;  // unknown edges act as top
  spawnParticle(*e);
  EXPECT_EQ(slot(2).x, 100);

  for (float taper : {0.0f, 1.5f}) {  // no taper: x comes from the emission area
    c.taper = taper;
    clearParticles(*e);
    spawnParticle(*e);
    EXPECT_EQ(slot(0).x, 50) << taper;
  }

  // Half taper at the bottom, born on the bottom edge: x spans the middle half of the frame.
  c.taper = 0.5f; c.taperEdge = 1; c.emitY = 1;
  clearParticles(*e);
  float lo = 1e9f, hi = -1e9f;
  for (int i = 0; i < 500; ++i) {
    spawnParticle(*e);
    lo = std::min(lo, slot(i).x);
    hi = std::max(hi, slot(i).x);
  }
  EXPECT_GE(lo, 50); EXPECT_LE(hi, 150);
  EXPECT_LT(lo, 55); EXPECT_GT(hi, 145);
}

TEST_F(SpawnFixture, PoolFullAndFirstFreeSlot) {
  for (int i = 0; i < MaxParticles; ++i) spawnParticle(*e);
  EXPECT_EQ(e->aliveCount, MaxParticles);
  Particle last = slot(MaxParticles - 1);
  spawnParticle(*e);
  EXPECT_EQ(e->aliveCount, MaxParticles);
  EXPECT_EQ(std::memcmp(&last, &slot(MaxParticles - 1), sizeof last), 0);

  // Slots 5 and 700 die in an update; nothing else does and nothing is emitted.
  e->config.spawnRate = 0;
  slot(5).life = slot(700).life = 0.001f;
  updateParticles(*e, 0.01f);
  ASSERT_EQ(slot(5).active, 0);
  ASSERT_EQ(slot(700).active, 0);
  e->config.emitX = 0.9f;
  spawnParticle(*e);
  EXPECT_EQ(slot(5).active, 1);
  EXPECT_FLOAT_EQ(slot(5).x, 180);
  EXPECT_EQ(slot(700).active, 0);
}

// Spawns fill the lowest free slot whatever freed the slots before them: deaths in an update
// (scattered, at the front, everywhere), clearParticles, and a pool emptied by hand the way
// callers outside the engine do it (every active 0, aliveCount 0).
TEST_F(SpawnFixture, SpawnsFillTheLowestFreeSlotAfterEveryWayOfFreeing) {
  enum Freeing { DieScattered, DieFront, DieAll, Clear, ByHand };
  struct Step {
    Freeing freeing;
    int spawns;
  };
  const Step steps[] = {{DieScattered, 3000}, {DieScattered, 40}, {DieFront, 10},  {DieScattered, 1},
                        {Clear, 2000},        {DieAll, 7},        {DieScattered, 500}, {ByHand, 30},
                        {DieFront, 2500},     {ByHand, 0},        {DieScattered, 900}};
  e->config.spawnRate = 0;
  uint32_t lcg = 99;
  auto next = [&lcg]() { return (lcg = lcg * 1664525u + 1013904223u) >> 8; };
  for (const Step& step : steps) {
    switch (step.freeing) {
      case DieScattered:  // about one live particle in three dies
        for (Particle& p : e->particles) p.life = next() % 3 == 0 ? 0.001f : 2.0f;
        updateParticles(*e, 0.01f);
        break;
      case DieFront:
        for (int i = 0; i < MaxParticles; ++i) slot(i).life = i < 100 ? 0.001f : 2.0f;
        updateParticles(*e, 0.01f);
        break;
      case DieAll:
        for (Particle& p : e->particles) p.life = 0.001f;
        updateParticles(*e, 0.01f);
        break;
      case Clear:
        clearParticles(*e);
        break;
      case ByHand:
        for (Particle& p : e->particles) p.active = 0;
        e->aliveCount = 0;
        break;
    }
    for (int s = 0; s < step.spawns; ++s) {
      int expected = 0;
      while (expected < MaxParticles && slot(expected).active) ++expected;
      const int32_t aliveBefore = e->aliveCount;
      if (expected < MaxParticles) slot(expected).x = -1;
      spawnParticle(*e);
      if (expected == MaxParticles) {
        ASSERT_EQ(e->aliveCount, MaxParticles) << "step " << &step - steps << " spawn " << s;
        continue;
      }
      ASSERT_EQ(slot(expected).active, 1) << "step " << &step - steps << " spawn " << s;
      ASSERT_NE(slot(expected).x, -1) << "step " << &step - steps << " spawn " << s;
      ASSERT_EQ(e->aliveCount, aliveBefore + 1);
    }
    const int32_t live = static_cast<int32_t>(std::count_if(
        std::begin(e->particles), std::end(e->particles), [](const Particle& p) { return p.active != 0; }));
    EXPECT_EQ(e->aliveCount, live) << "step " << &step - steps;
  }
}

TEST_F(SpawnFixture, BurstSpawnsItsCountUpToAFullPoolAndMarksItself) {
  struct Row {
    int32_t burstCount;
    int32_t alive;     // active slots afterwards
    int32_t done;      // emissionDone afterwards
  };
  const Row rows[] = {{0, 0, 0}, {-5, 0, 0}, {37, 37, 1}, {MaxParticles, MaxParticles, 1},
                      {2147483647, MaxParticles, 1}};
  for (const Row& row : rows) {
    clearParticles(*e);
    e->emissionDone = 0;
    e->config.burstCount = row.burstCount;
    spawnBurst(*e);
    const int32_t alive = static_cast<int32_t>(std::count_if(
        std::begin(e->particles), std::end(e->particles), [](const Particle& p) { return p.active != 0; }));
    EXPECT_EQ(alive, row.alive) << row.burstCount;
    EXPECT_EQ(e->emissionDone, row.done) << row.burstCount;
  }
}

TEST_F(SpawnFixture, EmptyFrameSpawnsNothing) {
  for (auto size : {std::make_pair(0, 100), std::make_pair(200, 0), std::make_pair(-5, 100)}) {
    e->frameWidth = size.first;
    e->frameHeight = size.second;
    spawnParticle(*e);
    EXPECT_EQ(slot(0).active, 0);
    EXPECT_EQ(e->aliveCount, 0);
  }
}

TEST_F(SpawnFixture, ConfettiPaletteUnlessColoursWereGiven) {
  setSystemPreset(*e, "confetti");
  for (int i = 0; i < 300; ++i) spawnParticle(*e);
  std::set<int> seen;
  for (int i = 0; i < 300; ++i) {
    const Particle& p = slot(i);
    EXPECT_EQ(p.startR, p.endR); EXPECT_EQ(p.startG, p.endG); EXPECT_EQ(p.startB, p.endB);
    seen.insert(p.startR * 65536 + p.startG * 256 + p.startB);
  }
  EXPECT_EQ(seen.size(), 6u);
  EXPECT_TRUE(seen.count(100 * 65536 + 220 * 256 + 255));

  e->config.colorOverride = 1;
  e->config.colorStartR = 1; e->config.colorEndR = 2;
  spawnParticle(*e);
  EXPECT_EQ(slot(300).startR, 1);
  EXPECT_EQ(slot(300).endR, 2);

  e->config.colorOverride = 0;
  setSystemPreset(*e, "Confetti");  // the name must be exactly lower case
  spawnParticle(*e);
  EXPECT_EQ(slot(301).startR, 1);
}

TEST_F(SpawnFixture, SnowDriftsSideways) {
  setSystemPreset(*e, "snow");
  e->config.baseAngle = 90;
  float widest = 0;
  for (int i = 0; i < 400; ++i) {
    spawnParticle(*e);
    EXPECT_LE(std::fabs(slot(i).vx), 15.001f);
    widest = std::max(widest, std::fabs(slot(i).vx));
  }
  EXPECT_GT(widest, 14);
}

TEST_F(SpawnFixture, OrientationFollowsTheShape) {
  e->config.baseAngle = 135;
  for (int shape : {ShapeRay, ShapeBeam, ShapeLaser}) {
    e->config.shape = shape;
    clearParticles(*e);
    spawnParticle(*e);
    EXPECT_NEAR(slot(0).rotation, 135, 1e-3) << shape;
    EXPECT_EQ(slot(0).spin, 0);
  }
  struct Case { int shape; float spinLimit; };
  for (Case k : {Case{ShapeRectangle, 180}, Case{ShapeSprite, 30}, Case{ShapeCircle, 0},
                 Case{ShapeStar, 0}, Case{ShapeRing, 0}}) {
    e->config.shape = k.shape;
    clearParticles(*e);
    float spinMax = 0, rotMax = 0;
    for (int i = 0; i < 200; ++i) {
      spawnParticle(*e);
      EXPECT_LE(std::fabs(slot(i).spin), k.spinLimit);
      EXPECT_GE(slot(i).rotation, 0);
      EXPECT_LE(slot(i).rotation, 360);
      spinMax = std::max(spinMax, std::fabs(slot(i).spin));
      rotMax = std::max(rotMax, slot(i).rotation);
    }
    EXPECT_GE(spinMax, k.spinLimit * 0.9f) << k.shape;
    EXPECT_GT(rotMax, 300) << k.shape;
  }
}

TEST(Random, RangeIsQuantisedAndInclusive) {
  seedRandom(5);
  float lo = 1, hi = 0;
  for (int i = 0; i < 200000; ++i) {
    const float v = randomRange(0, 1);
    const float steps = v * 10000;
    ASSERT_NEAR(steps, std::round(steps), 1e-2) << v;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 1);
  EXPECT_EQ(randomRange(3, 3), 3);
  EXPECT_EQ(randomRange(4, -4), 4);

  int counts[6] = {};
  for (int i = 0; i < 60000; ++i) {
    const int k = randomInt(5);
    ASSERT_GE(k, 0);
    ASSERT_LE(k, 5);
    ++counts[k];
  }
  for (int c : counts) EXPECT_NEAR(c, 10000, 600);
}

TEST(Random, SeedingRepeatsAndThreadsAreIndependent) {
  seedRandom(42);
  const float a = randomRange(0, 100), b = randomRange(0, 100);
  seedRandom(42);
  EXPECT_EQ(randomRange(0, 100), a);
  EXPECT_EQ(randomRange(0, 100), b);
}

TEST(Direction, DegreesInRange) {
  struct Case { float vx, vy, deg; };
  const Case cases[] = {
      {1, 0, 0}, {0, 1, 90}, {0, -1, -90}, {0, 0, 90}, {-1, 0, 180}, {-1, -1, 225},
      {1, -1, -45}, {-1, 1, 135}, {1e-7f, -5, -90}, {1, 1, 45},
  };
  for (const Case& k : cases) EXPECT_NEAR(directionDegrees(k.vx, k.vy), k.deg, 1e-4) << k.vx << "," << k.vy;
}

// engineSinCos against the double-precision functions rounded to float: never more than one
// float step away and almost always the same float, over every quadrant of both signs up to
// where it hands over to the library; the library's own values beyond; NaN for NaN and infinities.
TEST(Direction, OwnSineAndCosineAreWithinAFloatStep) {
  auto steps = [](float a, float b) {  // how many floats apart two finite values are
    int32_t ia, ib;
    std::memcpy(&ia, &a, 4);
    std::memcpy(&ib, &b, 4);
    if (ia < 0) ia = INT32_MIN - ia;
    if (ib < 0) ib = INT32_MIN - ib;
    return std::llabs(static_cast<long long>(ia) - ib);
  };
  long long worst = 0;
  int same = 0, total = 0;
  for (int i = -300000; i <= 300000; ++i) {
    const float x = i * 0.2185f;  // +-65550 radians, past the hand-over at 65536
    float s, c;
    engineSinCos(x, s, c);
    if (std::fabs(x) >= 65536) {
      EXPECT_EQ(s, std::sin(x)) << x;
      EXPECT_EQ(c, std::cos(x)) << x;
      continue;
    }
    const float rs = static_cast<float>(std::sin(static_cast<double>(x)));
    const float rc = static_cast<float>(std::cos(static_cast<double>(x)));
    worst = std::max({worst, steps(s, rs), steps(c, rc)});
    same += (s == rs) + (c == rc);
    total += 2;
  }
  EXPECT_LE(worst, 1);
  EXPECT_GT(same, total * 0.99) << same << " of " << total;
  // Quadrant edges and signed zero.
  struct Case { float x, sine, cosine; };
  const float pi = 3.14159265f;
  const Case cases[] = {{0, 0, 1}, {pi / 2, 1, 0}, {pi, 0, -1}, {3 * pi / 2, -1, 0}, {-pi / 2, -1, 0},
                        {pi / 4, 0.70710678f, 0.70710678f}, {-3 * pi / 4, -0.70710678f, -0.70710678f}};
  for (const Case& k : cases) {
    float s, c;
    engineSinCos(k.x, s, c);
    EXPECT_NEAR(s, k.sine, 1e-6) << k.x;
    EXPECT_NEAR(c, k.cosine, 1e-6) << k.x;
  }
  float s, c;
  engineSinCos(-0.0f, s, c);
  EXPECT_TRUE(s == 0 && std::signbit(s)) << "sin(-0) is -0";
  EXPECT_EQ(c, 1);
  for (float bad : {NAN, INFINITY, -INFINITY}) {
    engineSinCos(bad, s, c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c)) << bad;
  }
}

TEST(Direction, OwnArcTangentIsAccurate) {
  double worst = 0;
  for (int i = -200000; i <= 200000; ++i) {
    const float x = i * 0.0005f * std::fabs(i * 0.0005f);  // dense near 0, out to +-10000
    worst = std::max(worst, std::fabs(static_cast<double>(engineAtan(x)) - std::atan(static_cast<double>(x))));
  }
  EXPECT_LT(worst, 2.5e-7);
  EXPECT_FLOAT_EQ(engineAtan(INFINITY), 3.1415927f / 2);
  EXPECT_FLOAT_EQ(engineAtan(-INFINITY), -3.1415927f / 2);
  EXPECT_TRUE(std::isnan(engineAtan(NAN)));
}
