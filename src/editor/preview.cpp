// The live preview's emitters and their frame steps. Owns the two previewEmitter records.
#include "editor/preview.h"

#include "config/emitter_config.h"
#include "engine/engine.h"
#include "render/overlay_win32.h"
#include "render/render_frame.h"
#include "runtime/effect.h"
#include "runtime/frame_step.h"

Emitter playPreviewEmitter;
Emitter advancedPreviewEmitter;

constexpr int32_t PreviewStillMs = 33;  // a tick difference of 0 or less counts as one period

int preparePreview(Emitter& e) {
  const int made = ensureFrameBitmap(e.presentation, e.frame, PreviewWidth, PreviewHeight);
  sizeSystemToFrame(e);
  return made;
}

void clearPreviewParticles(Emitter& e) {
  clearParticles(e.system);
  e.system.spawnAccumulator = 0;
  e.system.elapsed = 0;
  e.system.emissionDone = 0;
  e.fading = 0;
  e.fadeAmount = 0;
}

const wchar_t PreviewStillNotice[] =
    L"Animations are off in Windows, so the preview is still. motion=always plays it.";

// As the page opens an effect for a reader who wants no animations: started afresh and held still.
static void startStill(Emitter& e) {
  clearPreviewParticles(e);
  sizeSystemToFrame(e);
  startParticles(e);
  e.frame.drawnValid = 0;  // a still frame is drawn once: this one is new
}

void refreshPreviewConfig(Emitter& e, const std::string& preset, int32_t intensity,
                          const std::string& colorText) {
  buildEffect(e, EffectPlay, preset, intensity, colorText);
  // A still frame shows a change only by being made again.
  e.animationsOff = animationsOff();
  if (e.animationsOff || e.stillMotion != MotionMoving) startStill(e);
}

void restartPreview(Emitter& e, const std::string& preset, int32_t intensity,
                    const std::string& colorText) {
  clearPreviewParticles(e);
  buildEffect(e, EffectPlay, preset, intensity, colorText);
  sizeSystemToFrame(e);
  e.animationsOff = animationsOff();
  e.stillMotion = MotionMoving;
  if (e.animationsOff) {
    startStill(e);
    return;
  }
  if (e.system.config.burstCount > 0) {
    spawnBurst(e.system);
  } else {
    for (int i = 0; i < WarmStartParticles; ++i) spawnParticle(e.system);
  }
}

void rebuildPreview(Emitter& e, int restart, const std::string& preset, int32_t intensity,
                    const std::string& options) {
  buildEffect(e, EffectAdvanced, preset, intensity, options);
  sizeSystemToFrame(e);
  // Only a followed cursor centres the births; the record is reused, and after Follow it would
  // go on centring them on the cursor's last point.
  if (e.system.config.cursorMode != CursorFollow) e.system.emitCentred = 0;
  e.animationsOff = animationsOff();
  // A still frame is made once from the settings it starts with, so a still preview (or one that
  // is to become still, or to move again) shows a change only by starting again.
  const int still = e.animationsOff && !e.motionAlways;
  if (restart || still || e.stillMotion != MotionMoving) {
    // As the page opens it: a burst spawned (where a followed cursor is), a continuous effect
    // prewarmed, then held still when the reader wants no animations.
    startStill(e);
    return;
  }
  if (e.system.aliveCount == 0 && e.system.config.burstCount > 0) spawnBurst(e.system);
}

int previewHeldStill(const Emitter& e) { return e.stillMotion != MotionMoving; }

void previewFollowReader(Emitter& e, HWND pane, PressWatch& watch) {
  POINT at = {};
  e.cursor = GetCursorPos(&at) ? cursorOverWindow(pane, at, e.frame.frameWidth, e.frame.frameHeight) : NoCursor;
  // Polled on every frame wherever the cursor is, so that a press elsewhere is used up there and
  // never bursts later over the pane.
  if (pollLeftPress(watch) && e.cursor.present) {
    e.clicked = 1;
    e.clickX = e.cursor.x;
    e.clickY = e.cursor.y;
  }
}

// A burst with a fade-out fades before it repeats: the fade starts once no live particle has
// more life left than the fade lasts, and when it is over the burst starts again. fadeStartMs
// counts the preview's own animation time.
static void fadeBurstBeforeRepeat(Emitter& e) {
  const uint32_t nowMs = static_cast<uint32_t>(e.system.elapsed * 1000.0f);
  if (!e.fading) {
    const float fadeSeconds = static_cast<float>(e.fadeOutMs) / 1000.0f;
    for (const Particle& p : e.system.particles)
      if (p.active && p.life > fadeSeconds) return;
    e.fading = 1;
    e.fadeStartMs = nowMs;
  }
  e.fadeAmount = static_cast<float>(nowMs - e.fadeStartMs) / static_cast<float>(e.fadeOutMs);
  if (e.fadeAmount < 1) return;
  clearParticles(e.system);
  e.fading = 0;
  e.fadeAmount = 0;
}

// An effect held still: drawn once as it stands (a twinkle, which follows the clock, would go
// on moving otherwise), neither moved nor answering the cursor and clicks. A burst stays at its
// fullest frame instead of fading as it does on the page: a preview that repeated the fade would
// flash every few seconds for the very reader who asked for no animations.
static void drawStill(Emitter& e, HWND pane) {
  e.clicked = 0;
  e.renderingEnabled = 1;
  if (!e.presentation.frameBitmap || !e.frame.pixelBits || e.frame.drawnValid) return;
  renderFrame(e.system, e.sprite, e.frame, 0);
  if (!pane) return;
  InvalidateRect(pane, nullptr, FALSE);
  UpdateWindow(pane);
}

void previewStep(Emitter& e, HWND pane, uint32_t& clockMs) {
  const uint32_t now = GetTickCount();
  const int32_t ms = frameStepMs(now, clockMs, PreviewStillMs);
  clockMs = now;
  if (e.stillMotion != MotionMoving) {
    drawStill(e, pane);
    return;
  }
  const float dt = static_cast<float>(ms) / 1000.0f;
  e.system.elapsed += dt;
  sizeSystemToFrame(e);
  updateParticles(e.system, dt, !e.fading, e.cursor);
  takeClick(e);
  if (e.system.config.burstCount > 0 && e.fadeOutMs > 0) fadeBurstBeforeRepeat(e);
  // A burst fires again as soon as its last particle has died, so the pane never stays empty;
  // the new one starts at full opacity.
  if (e.system.config.burstCount > 0 && e.system.aliveCount == 0) {
    e.fading = 0;
    e.fadeAmount = 0;
    spawnBurst(e.system);
  }
  e.renderingEnabled = 1;
  if (!e.presentation.frameBitmap || !e.frame.pixelBits) return;
  renderFrame(e.system, e.sprite, e.frame, e.fadeAmount);
  // The pane paints itself from the frame bitmap (its WM_PAINT); painting now keeps every
  // drawn frame on the screen even while the loop is busy.
  if (!pane) return;
  InvalidateRect(pane, nullptr, FALSE);
  UpdateWindow(pane);
}
