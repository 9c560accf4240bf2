// One emitter's frame step on a millisecond clock. No state of its own.
#include "runtime/frame_step.h"

#include <new>

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

void takeClick(Emitter& e) {
  if (!e.clicked) return;
  e.clicked = 0;
  if (e.system.config.clickBurst > 0 && !e.fading) spawnBurstAt(e.system, e.system.config.clickBurst, e.clickX, e.clickY);
}

// An effect held still for a reader who wants no animations: its frame is drawn once (again
// only once the frame is new, or while a Stop fades it); a burst's fades over stillFadeSeconds
// and then ends as a burst does. The cursor and clicks are not answered.
static int advanceStill(Emitter& e, float step, DrawBudget* budget) {
  e.clicked = 0;
  float fade = e.fadeAmount;
  if (e.stillMotion == MotionStillFading) {
    e.stillFadeDone += step;
    const float f = e.stillFadeSeconds > 0 ? e.stillFadeDone / e.stillFadeSeconds : 1;
    if (f >= 1) {
      clearParticles(e.system);
      e.renderingEnabled = 0;
      e.endedByItself = 1;
      return 0;
    }
    if (f > fade) fade = f;
  } else if (e.frame.drawnValid && !e.fading) {
    return 0;  // the still frame is what the overlay shows
  }
  if (!e.frame.pixelBits) return 0;
  if (budget && budget->exhausted) return 0;
  renderFrame(e.system, e.sprite, e.frame, fade, budget);
  return 1;
}

int advanceEmitterBy(Emitter& e, float step, DrawBudget* budget) {
  if (!e.renderingEnabled) return 0;
  if (e.stillMotion != MotionMoving) return advanceStill(e, step, budget);
  e.system.elapsed += step;
  sizeSystemToFrame(e);
  updateParticles(e.system, step, !e.fading, e.cursor);
  takeClick(e);
  if (e.system.emissionDone == 1 && e.system.aliveCount == 0) {
    e.renderingEnabled = 0;  // a finished burst: neither drawn nor presented again
    e.endedByItself = 1;
    return 0;
  }
  if (!e.frame.pixelBits) return 0;
  if (budget && budget->exhausted) return 0;
  renderFrame(e.system, e.sprite, e.frame, e.fadeAmount, budget);
  return 1;
}

void startParticles(Emitter& e) {
  e.stillMotion = MotionMoving;
  e.endedByItself = 0;
  sizeSystemToFrame(e);
  // A burst that follows the cursor starts where the cursor is, if it is over the rectangle.
  const int followed = e.system.config.cursorMode == CursorFollow && e.cursor.present;
  if (followed) spawnBurstAt(e.system, e.system.config.burstCount, e.cursor.x, e.cursor.y);
  if (followed && e.system.config.burstCount > 0) e.system.emissionDone = 1;
  else spawnBurst(e.system);
  prewarmEmitter(e);
  if (e.animationsOff && !e.motionAlways) holdStill(e);
}

// The whole-millisecond steps of a 60 fps tick clock over seconds: 16, 17, 17, ...
static int32_t prewarmBy(Emitter& e, float seconds) {
  const int32_t steps = roundHalfAway(static_cast<double>(seconds) * PrewarmFps);
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

void holdStill(Emitter& e) {
  ParticleSystem& s = e.system;
  if (s.config.burstCount <= 0) {
    // prewarmEmitter has run its prewarmSeconds already: the rest of the steady state's time.
    const float done = e.prewarmSeconds > 0 ? e.prewarmSeconds : 0;
    if (done < StillPrewarmSeconds) prewarmBy(e, StillPrewarmSeconds - done);
    e.stillMotion = MotionStillFrame;
    return;
  }
  // A burst: the frame with the most particles alive, the latest of equals (spread the most),
  // within StillSearchSeconds. Without room for the copy, the burst's first frame.
  ParticleSystem* fullest = new (std::nothrow) ParticleSystem(s);
  if (fullest) {
    int32_t most = s.aliveCount;
    uint32_t tick = 0;
    const int32_t steps = static_cast<int32_t>(StillSearchSeconds * PrewarmFps);
    sizeSystemToFrame(e);
    for (int32_t k = 0; k < steps && s.aliveCount > 0; ++k) {
      const uint32_t next = static_cast<uint32_t>((static_cast<int64_t>(k) + 1) * 1000 / PrewarmFps);
      const float step = static_cast<float>(frameStepMs(next, tick)) / 1000.0f;
      tick = next;
      s.elapsed += step;
      updateParticles(s, step, true);
      if (s.aliveCount >= most && s.aliveCount > 0) {
        most = s.aliveCount;
        *fullest = s;
      }
    }
    s = *fullest;
    delete fullest;
  }
  // It fades over what is left of the longest life among its particles.
  float left = 0;
  for (const Particle& p : s.particles)
    if (p.active && p.life > left) left = p.life;
  e.stillFadeSeconds = clampFloat(left, MinStillFadeSeconds, MaxStillFadeSeconds);
  e.stillFadeDone = 0;
  e.stillMotion = MotionStillFading;
}

int32_t prewarmEmitter(Emitter& e) {
  if (e.system.config.burstCount > 0 || !(e.prewarmSeconds > 0)) return 0;
  return prewarmBy(e, e.prewarmSeconds);
}
