// renderFrame: early returns, clearing, culling, the opacity pipeline, shape geometry, slot
// order and the additive brightening, on small frames with hand-placed particles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "config/sprite.h"
#include "engine/engine.h"
#include "render/render_frame.h"
#include "engine/particle_system.h"

namespace {

int32_t fixedTick() { return 1234; }

// The records a frame is drawn from and into, and how far a fade-out has gone.
struct Drawn {
  ParticleSystem system;
  Sprite sprite;
  FrameBuffer frame;
  float fadeAmount;
};

void renderFrame(Drawn& d, DrawBudget* budget = nullptr) {
  ::renderFrame(d.system, d.sprite, d.frame, d.fadeAmount, budget);
}

struct RenderFixture : ::testing::Test {
  std::unique_ptr<Drawn> e{new Drawn()};
  std::vector<uint32_t> buf;

  void SetUp() override { frame(200, 100); }
  void TearDown() override { setTickSource(nullptr); }

  // A W x H frame and a plain configuration: solid circles, no modulation, no brightening.
  void frame(int w, int h) {
    buf.assign(static_cast<size_t>(w) * h, 0);
    attachFrameBuffer(e->frame, buf.data(), w, h);
    e->system.frameWidth = w;
    e->system.frameHeight = h;
    LoadPreset("Sparkle", e->system.config);
    e->system.config.additiveBlend = 0;
    e->system.config.glowSoftness = 0;
  }
  Particle& add(float x, float y, float size, float alpha, int r = 255, int g = 0, int b = 0) {
    for (Particle& p : e->system.particles) {
      if (p.active) continue;
      std::memset(&p, 0, sizeof p);
      p.active = 1;
      p.x = x; p.y = y; p.size = size; p.alpha = alpha;
      p.curR = r; p.curG = g; p.curB = b;
      ++e->system.aliveCount;
      return p;
    }
    return e->system.particles[0];
  }
  uint32_t at(int x, int y) const { return buf[static_cast<size_t>(y) * e->frame.frameWidth + x]; }
  uint32_t alphaAt(int x, int y) const { return at(x, y) >> 24; }
};

}  // namespace

TEST_F(RenderFixture, EarlyReturnsLeaveTheBufferAlone) {
  add(50, 50, 5, 1);
  const std::function<void(Drawn&)> disable[] = {
      [](Drawn& x) { x.frame.pixelBits = nullptr; }, [](Drawn& x) { x.frame.frameWidth = 0; },
      [](Drawn& x) { x.frame.frameHeight = -3; }};
  for (const auto& off : disable) {
    std::fill(buf.begin(), buf.end(), 0xDEADBEEFu);
    Drawn saved = *e;
    off(*e);
    renderFrame(*e);
    for (uint32_t v : buf) ASSERT_EQ(v, 0xDEADBEEFu);
    *e = saved;
  }
}

TEST_F(RenderFixture, ClearsAndDrawsOpacityBytes) {
  std::fill(buf.begin(), buf.end(), 0xDEADBEEFu);  // unknown content: the first frame clears all
  add(50, 50, 5, 0.5f);
  add(150, 50, 5, 0.001f);  // rnd(0.255) = 0: not drawn
  renderFrame(*e);
  EXPECT_EQ(at(50, 50), 0x80800000u);
  EXPECT_EQ(at(150, 50), 0u);
  EXPECT_EQ(at(0, 0), 0u);
  EXPECT_EQ(at(199, 99), 0u);
}

// A fading effect is drawn at what is left of its opacity: the opacity byte is scaled, rounded
// half away from zero; at the end of the fade nothing is drawn.
TEST_F(RenderFixture, FadeScalesTheOpacity) {
  struct Row { float fade; uint32_t centre; };
  const Row rows[] = {{0, 0xFFFF0000u}, {0.5f, 0x80800000u}, {0.75f, 0x40400000u}, {1, 0}, {2, 0}};
  add(50, 50, 5, 1);
  for (const Row& r : rows) {
    e->fadeAmount = r.fade;
    e->frame.drawnValid = 0;
    renderFrame(*e);
    EXPECT_EQ(at(50, 50), r.centre) << r.fade;
  }
}

TEST_F(RenderFixture, ClearingOnlyWhatWasDrawnMatchesAFullClear) {
  seedRandom(3);
  frame(160, 120);
  LoadPreset("Fire", e->system.config);
  setSystemPreset(e->system, "fire");
  std::vector<uint32_t> full(buf.size());
  for (int f = 0; f < 90; ++f) {
    e->system.elapsed += 1 / 60.0f;
    updateParticles(e->system, 1 / 60.0f);
    renderFrame(*e);
    // The same frame drawn into a fresh, fully cleared buffer.
    Drawn copy = *e;
    copy.frame.pixelBits = full.data();
    copy.frame.drawnValid = 0;
    std::fill(full.begin(), full.end(), 0x12345678u);
    renderFrame(copy);
    ASSERT_EQ(std::memcmp(full.data(), buf.data(), buf.size() * 4), 0) << "frame " << f;
  }
  EXPECT_GT(e->system.aliveCount, 20);
}

TEST_F(RenderFixture, CullMargins) {
  struct Case { int shape; float x, y; bool drawn; };
  const Case cases[] = {
      {ShapeCircle, -4, 50, true},     // centre outside, circle reaches in
      {ShapeCircle, -5.5f, 50, false}, // wholly outside: culled
      {ShapeSprite, -15, 50, true},    // sprites keep four times the margin
      {ShapeSprite, -21, 50, false},
  };
  static uint32_t white[16 * 16];
  for (uint32_t& v : white) v = 0xFFFFFFFFu;
  static SpriteImage img = {16, 16, white};
  for (const Case& k : cases) {
    frame(200, 100);
    e->system.config.shape = k.shape;
    e->sprite.spriteImage = &img;
    e->sprite.spriteWidth = e->sprite.spriteHeight = 16;
    std::memset(e->system.particles, 0, sizeof e->system.particles);
    e->system.aliveCount = 0;
    add(k.x, k.y, 5, 1);
    renderFrame(*e);
    EXPECT_EQ(alphaAt(0, 50) != 0, k.drawn) << k.shape << " at " << k.x;
  }
  e->sprite.spriteImage = nullptr;
}

TEST_F(RenderFixture, EdgeFeather) {
  struct Case { float feather, stretch, x, y; int w, h; uint32_t alpha; };
  const Case cases[] = {
      {0.1f, 1, 12.5f, 50, 200, 100, 64},   // 12.5 / 25 = 0.5 of the way in: A x 0.25
      {0.1f, 1, 100, 50, 200, 100, 255},    // clear of every edge
      {0.1f, 1, 100, 7.5f, 200, 100, 64},   // fy = 10, reach 5: 7.5 / 15
      {30, 1, 17.5f, 50, 200, 100, 64},     // above 1: pixels on both axes, 17.5 / 35
      {30, 1, 100, 17.5f, 200, 100, 64},
      {0.1f, 3, 15, 50, 200, 100, 64},      // stretch 3 reaches size x 2: 15 / 30
  };
  for (const Case& k : cases) {
    frame(k.w, k.h);
    e->system.config.feather = k.feather;
    e->system.config.stretch = k.stretch;
    std::memset(e->system.particles, 0, sizeof e->system.particles);
    e->system.aliveCount = 0;
    add(k.x, k.y, 5, 1);
    renderFrame(*e);
    EXPECT_EQ(alphaAt(static_cast<int>(k.x), static_cast<int>(k.y)), k.alpha) << k.feather << " " << k.x << "," << k.y;
  }
}

TEST_F(RenderFixture, EmissionBandFade) {
  // Band y 20..80; fade length min(fy = 10, 0.9 x 60) = 10 at the lower end for edge 0.
  e->system.config.feather = 0.1f;
  e->system.config.taper = 0.5f;
  e->system.config.emitY = 0.5f;
  e->system.config.emitH = 0.6f;
  struct Case { int edge; float y; uint32_t alpha; };
  const Case cases[] = {{0, 75, 64}, {0, 50, 255}, {0, 85, 255}, {1, 25, 64}, {1, 50, 255}, {2, 75, 255}};
  for (const Case& k : cases) {
    e->system.config.taperEdge = k.edge;
    std::memset(e->system.particles, 0, sizeof e->system.particles);
    e->system.aliveCount = 0;
    add(100, k.y, 2, 1);
    renderFrame(*e);
    EXPECT_EQ(alphaAt(100, static_cast<int>(k.y)), k.alpha) << k.edge << " " << k.y;
  }
}

TEST_F(RenderFixture, PulseAndTwinkle) {
  e->system.config.pulseSpeed = 1;
  e->system.config.pulseAmount = 2;  // above 1: blanked for part of each cycle
  Particle& p = add(100, 50, 5, 1);
  p.phase = -3.1415927f / 2;  // sin = -1 at elapsed 0: factor 1 - 2 < 0
  renderFrame(*e);
  EXPECT_EQ(at(100, 50), 0u);
  p.phase = 0;  // sin 0: factor 1
  renderFrame(*e);
  EXPECT_EQ(alphaAt(100, 50), 255u);

  e->system.config.pulseAmount = 0;
  e->system.config.twinkleSpeed = 1;
  e->system.config.twinkleAmount = 1;
  setTickSource(fixedTick);
  // t = 1.234 s: A x (1 - 0.5 (1 - sin(1.234 x 6.283 + phase))).
  p.phase = 0;
  renderFrame(*e);
  const float factor = 1 - 0.5f * (1 - std::sin(1.234f * 6.283f));
  EXPECT_EQ(alphaAt(100, 50), static_cast<uint32_t>(std::floor(255 * factor + 0.5f)));
  p.phase = 3.1415927f / 2 - 1.234f * 6.283f;  // sin = 1: full
  renderFrame(*e);
  EXPECT_EQ(alphaAt(100, 50), 255u);
}

namespace {
int32_t gTwinkleTick = 0;
int32_t twinkleTick() { return gTwinkleTick; }
}  // namespace

// Twinkle reads the wall clock. For the first minute the angle is the single-float product it
// always was; at any uptime after that it must stay exact: with a float of seconds, two frames
// 16 ms apart after a week read the same time (floats step by 1/16 s there) and twinkling
// stutters. Far readings are checked against the angle worked out in long double.
TEST_F(RenderFixture, TwinkleFollowsTheClockAtAnyUptime) {
  e->system.config.twinkleSpeed = 1.5f;
  e->system.config.twinkleAmount = 1;
  setTickSource(twinkleTick);
  Particle& p = add(100, 50, 5, 1);
  p.phase = 0.7f;
  struct Row {
    int32_t tickMs;
    bool floatFormula;  // expected exactly from the single-float formula, else from long double
  };
  const Row rows[] = {{0, true},          {1234, true},        {16, true},          {65535, true},
                      {-65535, true},     {604800000, false},  {604800016, false},  {604800032, false},
                      {2147483600, false}, {-2147483000, false}, {86400000 * 20, false}};
  int32_t previousAlpha = -1;
  for (const Row& row : rows) {
    gTwinkleTick = row.tickMs;
    renderFrame(*e);
    const int32_t got = static_cast<int32_t>(alphaAt(100, 50));
    if (row.floatFormula) {
      const float t = static_cast<float>(row.tickMs / 1000.0);
      const float factor = 1 - 0.5f * (1 - std::sin(t * 1.5f * 6.283f + 0.7f));
      EXPECT_EQ(got, static_cast<int32_t>(std::floor(255 * factor + 0.5f))) << row.tickMs;
    } else {
      const long double angle = std::fmod(static_cast<long double>(row.tickMs) / 1000 * 1.5L * 6.283L,
                                          6.283185307179586476925286766559L);
      const long double factor = 1 - 0.5L * (1 - std::sin(angle + static_cast<long double>(0.7f)));
      EXPECT_NEAR(got, static_cast<double>(255 * factor), 1.0) << row.tickMs;
    }
    // Consecutive frames of the week-long uptime rows move on (0.14 rad per 16 ms).
    if (row.tickMs == 604800016 || row.tickMs == 604800032) {
      EXPECT_NE(got, previousAlpha) << row.tickMs;
    }
    previousAlpha = got;
  }
}

TEST_F(RenderFixture, CircleSoftnessThreshold) {
  struct Case { float softness, size; bool soft; };
  const Case cases[] = {{0.3f, 5, false}, {0.31f, 5, true}, {0.31f, 1.4f, false}, {1.3f, 1.5f, true}};
  for (const Case& k : cases) {
    e->system.config.glowSoftness = k.softness;
    std::memset(e->system.particles, 0, sizeof e->system.particles);
    e->system.aliveCount = 0;
    add(100, 50, k.size, 1);
    renderFrame(*e);
    // Well out from the centre a soft disc has faded; a solid one is (nearly) opaque there.
    const int off = std::max(1, static_cast<int>(k.size * 0.6f));
    const uint32_t a = alphaAt(100 + off, 50);
    if (k.soft) {
      EXPECT_LT(a, 150u) << k.softness << " " << k.size;
    } else {
      EXPECT_GT(a, 200u) << k.softness << " " << k.size;
    }
  }
}

TEST_F(RenderFixture, AdditiveBrighteningRaisesAlphaOnly) {
  e->system.config.additiveBlend = 1;
  struct Case { float alpha; uint32_t out; };
  for (Case k : {Case{200 / 255.0f, 250}, Case{220 / 255.0f, 255}, Case{4 / 255.0f, 5}}) {
    std::memset(e->system.particles, 0, sizeof e->system.particles);
    e->system.aliveCount = 0;
    add(100, 50, 5, k.alpha, 255, 255, 255);
    renderFrame(*e);
    EXPECT_EQ(alphaAt(100, 50), k.out);
    EXPECT_EQ(at(100, 50) & 0xFFFFFFu, (at(100, 50) >> 16 & 255) * 0x010101u);  // colour kept
    EXPECT_EQ((at(100, 50) >> 16) & 255, static_cast<uint32_t>(std::floor(k.alpha * 255 + 0.5f)));
    EXPECT_EQ(at(10, 10), 0u);
  }
  // Not for sprites.
  static uint32_t grey[4] = {0xC8FFFFFFu, 0xC8FFFFFFu, 0xC8FFFFFFu, 0xC8FFFFFFu};
  static SpriteImage img = {2, 2, grey};
  e->system.config.shape = ShapeSprite;
  e->sprite.spriteImage = &img;
  e->sprite.spriteWidth = e->sprite.spriteHeight = 2;
  std::memset(e->system.particles, 0, sizeof e->system.particles);
  e->system.aliveCount = 0;
  add(100, 50, 5, 1);
  renderFrame(*e);
  EXPECT_EQ(alphaAt(100, 50), 200u);
  e->sprite.spriteImage = nullptr;
  renderFrame(*e);  // sprite shape without a picture: nothing
  for (uint32_t v : buf) ASSERT_EQ(v, 0u);
}

TEST_F(RenderFixture, SlotOrderAndAliveCountStop) {
  add(100, 50, 5, 1, 255, 0, 0);
  add(100, 50, 5, 1, 0, 0, 255);
  renderFrame(*e);
  EXPECT_EQ(at(100, 50), 0xFF0000FFu);  // the later slot is drawn over the earlier
  e->system.aliveCount = 1;                     // the loop stops after one live slot
  renderFrame(*e);
  EXPECT_EQ(at(100, 50), 0xFFFF0000u);
}

TEST_F(RenderFixture, ShapeGeometry) {
  struct Probe { int x, y; bool lit; };
  struct Case { const char* name; int shape; float size, stretch, rotation; std::vector<Probe> probes; };
  const Case cases[] = {
      // Ray, size 5, stretch 4: L 40 from x 80 to 120; end glows of 9.66 reach 78.07 and 121.93.
      {"ray", ShapeRay, 5, 4, 0, {{79, 50, true}, {77, 50, false}, {121, 50, true}, {123, 50, false},
                                   {100, 53, true}, {100, 56, false}}},
      // Beam, size 2, stretch 10: L 40 (x 80..120), T 3, halo 6, one end glow of 6.6 at the
      // leading end only, centred 16.04 + 3.3 from the middle.
      {"beam", ShapeBeam, 2, 10, 0, {{81, 50, true}, {79, 50, false}, {122, 50, true}, {123, 50, false},
                                      {100, 52, true}, {100, 53, false}}},
      {"beam turned down", ShapeBeam, 2, 10, 90, {{100, 72, true}, {100, 73, false}, {100, 31, true},
                                                   {103, 50, false}}},
      // Laser: a core line of 1.5 along x and a halo of 7.5.
      {"laser", ShapeLaser, 5, 4, 0, {{81, 50, true}, {78, 50, false}, {100, 53, true}, {100, 55, false}}},
      // Glow: 1.5 x h high, stretched wide.
      {"glow", ShapeGlow, 10, 2, 0, {{100, 50, true}, {128, 50, true}, {131, 50, false}, {100, 64, true},
                                      {100, 66, false}}},
      // Star: core and four lines of 1.2 x h.
      {"star", ShapeStar, 5, 1, 0, {{111, 50, true}, {113, 50, false}, {100, 38, true}, {107, 43, true},
                                     {105, 40, false}}},
      {"rectangle", ShapeRectangle, 5, 2, 0, {{109, 54, true}, {111, 50, false}, {100, 56, false}}},
      {"rectangle turned", ShapeRectangle, 5, 2, 90, {{104, 59, true}, {100, 61, false}, {106, 50, false}}},
      {"ring", ShapeRing, 10, 1, 0, {{110, 50, true}, {100, 50, false}, {107, 50, true}, {113, 50, false}}},
      {"unknown codes draw as circles", 42, 5, 1, 0, {{100, 50, true}, {104, 50, true}, {107, 50, false}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    e->system.config.shape = k.shape;
    e->system.config.stretch = k.stretch;
    std::memset(e->system.particles, 0, sizeof e->system.particles);
    e->system.aliveCount = 0;
    Particle& p = add(100, 50, k.size, 1, 255, 255, 255);
    p.rotation = k.rotation;
    renderFrame(*e);
    for (const Probe& q : k.probes) EXPECT_EQ(alphaAt(q.x, q.y) != 0, q.lit) << q.x << "," << q.y;
  }
}

TEST_F(RenderFixture, LightburstMinimums) {
  e->system.config.shape = ShapeLightburst;
  e->system.config.beamEndGlow = 0;
  e->system.config.stretch = 1;
  struct Case { int rays; float arc, width; std::vector<int> litAngles, darkAngles; };
  const Case cases[] = {
      {1, 360, 2, {60, 180, 300}, {0, 120, 240}},   // at least 3 rays: -180, -60, 60
      {4, 0, 2, {0, 90, 180, 270}, {45, 135}},      // arc 0 spreads over 360
      {2, 90, 2, {345, 15, 45}, {90, 135, 300}},    // 3 rays from 30 - 45 in steps of 30
  };
  for (const Case& k : cases) {
    e->system.config.rayCount = k.rays;
    e->system.config.rayArc = k.arc;
    e->system.config.rayWidth = k.width;
    std::memset(e->system.particles, 0, sizeof e->system.particles);
    e->system.aliveCount = 0;
    Particle& p = add(100, 50, 20, 1, 255, 255, 255);  // rays 1.2 x 40 = 48 long
    p.rotation = k.arc == 90 ? 30 : 0;
    renderFrame(*e);
    auto lit = [&](int deg) {
      const float r = deg * 3.1415927f / 180;
      return alphaAt(100 + static_cast<int>(std::lround(40 * std::cos(r))),
                     50 + static_cast<int>(std::lround(40 * std::sin(r)))) != 0;
    };
    for (int a : k.litAngles) EXPECT_TRUE(lit(a)) << k.rays << " rays, angle " << a;
    for (int a : k.darkAngles) EXPECT_FALSE(lit(a)) << k.rays << " rays, angle " << a;
  }
}

// --- The drawing budget ---------------------------------------------------------------------

namespace {

// A clock that moves on by ClockStepUs at every reading, so a budget runs out after a known
// number of readings.
constexpr int64_t ClockStepUs = 4;
int64_t fakeNowUs = 0;
int clockReadings = 0;
int64_t steppingClock() {
  ++clockReadings;
  return fakeNowUs += ClockStepUs;
}

DrawBudget budgetOf(int64_t allowanceUs, const volatile long* stop = nullptr) {
  fakeNowUs = 0;
  clockReadings = 0;
  return DrawBudget{steppingClock, allowanceUs, stop, 0};
}

}  // namespace

TEST_F(RenderFixture, BudgetCutsHugeParticlesShortAndLaterFramesResumeWhereItStopped) {
  // Ten opaque particles each far larger than the frame, told apart by their red: the pixel
  // shows the last one drawn. Every one covers the frame, so the clock is read after each, and
  // an allowance of 10 us runs out at the third reading.
  for (int slot = 0; slot < 10; ++slot) add(100, 50, 1e6f, 1, 10 + 20 * slot, 0, 0);
  auto lastRed = [&] { return static_cast<int>((at(100, 50) >> 16) & 255); };
  struct Frame {
    int firstSlot, lastSlot, resumeSlot;
  };
  const Frame frames[] = {{0, 2, 3}, {3, 5, 6}, {6, 8, 9}, {9, 1, 2}};  // the last one wraps round
  for (const Frame& f : frames) {
    SCOPED_TRACE(f.firstSlot);
    DrawBudget budget = budgetOf(10);
    renderFrame(*e, &budget);
    EXPECT_EQ(budget.exhausted, 1);
    EXPECT_EQ(clockReadings, 3);
    EXPECT_EQ(lastRed(), 10 + 20 * f.lastSlot);
    EXPECT_EQ(e->frame.drawResumeSlot, f.resumeSlot);
    EXPECT_EQ(alphaAt(0, 0), 255u);    // a particle a million pixels wide still covers the
    EXPECT_EQ(alphaAt(199, 99), 255u);  // frame exactly, clipped to it
  }
  // An allowance that lasts: the frame goes round once from where the last one stopped and
  // is then whole, so the next starts at slot 0 again.
  DrawBudget ample = budgetOf(1000);
  renderFrame(*e, &ample);
  EXPECT_EQ(ample.exhausted, 0);
  EXPECT_EQ(lastRed(), 10 + 20 * 1);
  EXPECT_EQ(e->frame.drawResumeSlot, 0);
  // Without a budget: slot order from 0, whatever was left before.
  e->frame.drawResumeSlot = 7;
  renderFrame(*e);
  EXPECT_EQ(lastRed(), 10 + 20 * 9);
  EXPECT_EQ(e->frame.drawResumeSlot, 0);
}

TEST_F(RenderFixture, BudgetStopFlagEndsTheFrameAfterOneParticle) {
  for (int slot = 0; slot < 4; ++slot) add(100, 50, 1e6f, 1, 10 + 20 * slot, 0, 0);
  volatile long stop = 1;
  DrawBudget budget = budgetOf(1000000, &stop);
  renderFrame(*e, &budget);
  EXPECT_EQ(budget.exhausted, 1);
  EXPECT_EQ((at(100, 50) >> 16) & 255, 10u);
  EXPECT_EQ(e->frame.drawResumeSlot, 1);
}

TEST_F(RenderFixture, BudgetReadsNoClockForAFrameOfSmallParticles) {
  // Small particles cost little each: a frame of them never reads the clock, even past the
  // deadline, and is drawn whole.
  for (int slot = 0; slot < 50; ++slot) add(4.0f * slot, 50, 1, 1);
  DrawBudget budget = budgetOf(-1);
  renderFrame(*e, &budget);
  EXPECT_EQ(clockReadings, 0);
  EXPECT_EQ(budget.exhausted, 0);
  EXPECT_EQ(e->frame.drawResumeSlot, 0);
  EXPECT_EQ(alphaAt(196, 50), 255u);
}
