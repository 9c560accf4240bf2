// The frame step's clock rules and its burst end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "render/render_frame.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"
#include "runtime/frame_step.h"

TEST(FrameStep, TickDifferencesAreClamped) {
  struct Case { uint32_t now, last; int32_t ms; };
  const Case cases[] = {
      {1016, 1000, 16}, {1033, 1000, 33}, {1000, 1000, 16}, {999, 1000, 16},  // 0 or less: 16
      {3000, 1000, 100}, {1100, 1000, 100}, {1101, 1000, 100}, {1001, 1000, 1},
      {5, 0xFFFFFFF0u, 21},  // the tick count wrapped
  };
  for (const Case& k : cases) EXPECT_EQ(frameStepMs(k.now, k.last), k.ms) << k.now << " - " << k.last;
}

TEST(FrameStep, AdvancesDrawsAndEndsBursts) {
  seedRandom(4);
  std::unique_ptr<Emitter> e(new Emitter());
  std::vector<uint32_t> pixels(80 * 60, 0);
  attachFrameBuffer(e->frame, pixels.data(), 80, 60);
  LoadPreset("PulseWave", e->system.config);  // one particle living one second
  sizeSystemToFrame(*e);
  spawnParticle(e->system);
  e->system.emissionDone = 1;
  e->lastTickMs = 5000;

  std::fill(pixels.begin(), pixels.end(), 0xDEADBEEFu);
  EXPECT_EQ(advanceEmitter(*e, 5000), 0);  // not rendering yet: nothing happens
  EXPECT_EQ(e->system.elapsed, 0);
  for (uint32_t v : pixels) ASSERT_EQ(v, 0xDEADBEEFu);
  e->renderingEnabled = 1;

  EXPECT_EQ(advanceEmitter(*e, 5000), 1);  // same millisecond: a 16 ms step
  EXPECT_FLOAT_EQ(e->system.elapsed, 0.016f);
  EXPECT_FLOAT_EQ(e->system.particles[0].life, 1 - 0.016f);
  EXPECT_EQ(e->frame.drawnValid, 1);
  EXPECT_EQ(advanceEmitter(*e, 7000), 1);  // a 2 s stall: 100 ms
  EXPECT_FLOAT_EQ(e->system.elapsed, 0.116f);
  EXPECT_EQ(e->lastTickMs, 7000u);

  // The particle dies within the next steps; the step it dies in draws nothing.
  uint32_t now = 7000;
  int drawn = 1;
  while (e->renderingEnabled && now < 20000) {
    std::fill(pixels.begin(), pixels.end(), 0xABABABABu);
    now += 100;
    drawn = advanceEmitter(*e, now);
  }
  EXPECT_EQ(e->renderingEnabled, 0);
  EXPECT_EQ(drawn, 0);
  EXPECT_EQ(pixels[0], 0xABABABABu);
  EXPECT_LT(now, 9000u);
  EXPECT_EQ(advanceEmitter(*e, now + 16), 0);  // ended: stays still
}

namespace {

// An effect started as the plug-in starts one, over its own 120 x 90 frame, rendering.
std::unique_ptr<Emitter> started(const char* preset, const std::string& options, std::vector<uint32_t>& pixels) {
  std::unique_ptr<Emitter> e(new Emitter());
  pixels.assign(120 * 90, 0);
  attachFrameBuffer(e->frame, pixels.data(), 120, 90);
  buildEffect(*e, EffectAdvanced, preset, 50, options);
  sizeSystemToFrame(*e);
  spawnBurst(e->system);
  e->renderingEnabled = 1;
  return e;
}

int samePool(const Emitter& a, const Emitter& b) {
  return a.system.aliveCount == b.system.aliveCount &&
         std::memcmp(a.system.particles, b.system.particles, sizeof a.system.particles) == 0;
}

}  // namespace

// A prewarmed effect's first frame is the frame it would have shown that much later, particle for
// particle and pixel for pixel, when both run on the same seed and the 60 fps tick clock. (The
// random source is one per thread: each run finishes before the other is seeded.)
TEST(FrameStep, PrewarmGivesTheLaterFrame) {
  for (const char* preset : {"Snow", "Fire", "Rain", "Bubbles"}) {
    SCOPED_TRACE(preset);
    std::vector<uint32_t> warmPixels, plainPixels;
    seedRandom(7);
    std::unique_ptr<Emitter> warm = started(preset, "prewarm=1.5", warmPixels);
    EXPECT_EQ(prewarmEmitter(*warm), 90);
    EXPECT_EQ(warm->lastTickMs, 0u);  // the tick clock is the frame step's alone
    ASSERT_GT(warm->system.aliveCount, 0);
    const std::unique_ptr<Emitter> warmed(new Emitter(*warm));
    EXPECT_EQ(advanceEmitter(*warm, 16), 1);  // its first frame

    seedRandom(7);
    std::unique_ptr<Emitter> plain = started(preset, "", plainPixels);
    for (int f = 0; f < 90; ++f) advanceEmitter(*plain, static_cast<uint32_t>((f + 1) * 1000 / 60));
    EXPECT_TRUE(samePool(*warmed, *plain));
    EXPECT_FLOAT_EQ(warmed->system.elapsed, plain->system.elapsed);
    EXPECT_EQ(advanceEmitter(*plain, 91 * 1000 / 60), 1);  // its 91st
    EXPECT_TRUE(samePool(*warm, *plain));
    EXPECT_EQ(warmPixels, plainPixels);
  }
}

TEST(FrameStep, PrewarmLeavesBurstsAndZeroAlone) {
  struct Case { const char* preset; const char* options; };
  const Case cases[] = {
      {"Explosion", "prewarm=3"},          // a burst preset
      {"Snow", "mode=burst:50;prewarm=3"},  // a continuous preset made a burst
      {"Snow", "prewarm=0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    std::vector<uint32_t> a, b;
    seedRandom(3);
    std::unique_ptr<Emitter> e = started(c.preset, c.options, a);
    seedRandom(3);
    std::unique_ptr<Emitter> untouched = started(c.preset, c.options, b);
    EXPECT_EQ(prewarmEmitter(*e), 0);
    EXPECT_TRUE(samePool(*e, *untouched));
    EXPECT_EQ(e->system.elapsed, 0);
  }
}
