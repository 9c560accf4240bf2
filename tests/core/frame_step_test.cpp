// The frame step's clock rules and its burst end.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "render/render_frame.h"
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
  attachFrameBuffer(*e, pixels.data(), 80, 60);
  e->presetName = "pulsewave";
  LoadPreset("PulseWave", e->config);  // one particle living one second
  spawnParticle(*e);
  e->emissionDone = 1;
  e->lastTickMs = 5000;

  EXPECT_EQ(advanceEmitter(*e, 5000), 0);  // not rendering yet: nothing happens
  EXPECT_EQ(e->elapsed, 0);
  e->renderingEnabled = 1;

  EXPECT_EQ(advanceEmitter(*e, 5000), 1);  // same millisecond: a 16 ms step
  EXPECT_FLOAT_EQ(e->elapsed, 0.016f);
  EXPECT_FLOAT_EQ(e->particles[0].life, 1 - 0.016f);
  EXPECT_EQ(e->drawnValid, 1);
  EXPECT_EQ(advanceEmitter(*e, 7000), 1);  // a 2 s stall: 100 ms
  EXPECT_FLOAT_EQ(e->elapsed, 0.116f);
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
