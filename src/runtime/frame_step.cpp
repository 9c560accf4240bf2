// One emitter's frame step on a millisecond clock. No state of its own.
#include "runtime/frame_step.h"

#include "common/text.h"
#include "engine/engine.h"
#include "render/render_frame.h"
#include "runtime/emitter.h"

int32_t frameStepMs(uint32_t nowMs, uint32_t lastTickMs, int32_t stillMs) {
  int32_t d = static_cast<int32_t>(nowMs - lastTickMs);
  if (d <= 0) d = stillMs;
  if (d > FrameStepMaxMs) d = FrameStepMaxMs;
  return d;
}

int advanceEmitter(Emitter& e, uint32_t nowMs, DrawBudget* budget) {
  if (!e.renderingEnabled) return 0;
  const float step = static_cast<float>(frameStepMs(nowMs, e.lastTickMs)) / 1000.0f;
  e.lastTickMs = nowMs;
  return advanceEmitterBy(e, step, budget);
}

int advanceEmitterBy(Emitter& e, float step, DrawBudget* budget) {
  if (!e.renderingEnabled) return 0;
  e.system.elapsed += step;
  sizeSystemToFrame(e);
  updateParticles(e.system, step, !e.fading);
  if (e.system.emissionDone == 1 && e.system.aliveCount == 0) {
    e.renderingEnabled = 0;  // a finished burst: neither drawn nor presented again
    return 0;
  }
  if (!e.frame.pixelBits) return 0;
  if (budget && budget->exhausted) return 0;
  renderFrame(e.system, e.sprite, e.frame, e.fadeAmount, budget);
  return 1;
}

void startParticles(Emitter& e) {
  sizeSystemToFrame(e);
  spawnBurst(e.system);
  prewarmEmitter(e);
}

int32_t prewarmEmitter(Emitter& e) {
  if (e.system.config.burstCount > 0 || !(e.prewarmSeconds > 0)) return 0;
  const int32_t steps = roundHalfAway(static_cast<double>(e.prewarmSeconds) * PrewarmFps);
  uint32_t tick = 0;
  sizeSystemToFrame(e);
  for (int32_t k = 0; k < steps; ++k) {
    const uint32_t next = static_cast<uint32_t>((static_cast<int64_t>(k) + 1) * 1000 / PrewarmFps);
    const float step = static_cast<float>(frameStepMs(next, tick)) / 1000.0f;
    tick = next;
    e.system.elapsed += step;
    updateParticles(e.system, step, !e.fading);
  }
  return steps;
}
