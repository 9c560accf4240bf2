// The live preview's emitters and their frame steps. Owns the two previewEmitter records.
#include "editor/preview.h"

#include "common/text.h"
#include "config/emitter_config.h"
#include "config/options.h"
#include "config/sprite.h"
#include "engine/engine.h"
#include "render/render_frame.h"
#include "runtime/frame_step.h"
#include "runtime/runtime_win32.h"

Emitter playPreviewEmitter;
Emitter advancedPreviewEmitter;

constexpr int32_t PreviewStillMs = 33;  // a tick difference of 0 or less counts as one period

int preparePreview(Emitter& e) { return ensureFrameBitmap(e, PreviewWidth, PreviewHeight); }

void clearPreviewParticles(Emitter& e) {
  for (Particle& p : e.particles) p.active = 0;
  e.aliveCount = 0;
  e.spawnAccumulator = 0;
  e.elapsed = 0;
  e.emissionDone = 0;
}

void refreshPreviewConfig(Emitter& e, const std::string& preset, int32_t intensity,
                          const std::string& colorText) {
  LoadPreset(preset, e.config);
  ApplyPlaySettings(e.config, intensity, colorText);
}

void restartPreview(Emitter& e, const std::string& preset, int32_t intensity,
                    const std::string& colorText) {
  clearPreviewParticles(e);
  e.presetText = preset;
  e.presetName = toLowerText(preset);
  refreshPreviewConfig(e, preset, intensity, colorText);
  if (e.config.burstCount > 0) {
    spawnBurst(e);
  } else {
    for (int i = 0; i < WarmStartParticles; ++i) spawnParticle(e);
  }
}

void rebuildPreview(Emitter& e, int restart, const std::string& preset, int32_t intensity,
                    const std::string& options) {
  if (restart) {
    clearPreviewParticles(e);
    e.presetText = preset;
    e.presetName = toLowerText(preset);
  }
  LoadPreset(preset, e.config);
  ApplyIntensity(e.config, intensity);
  // An options text without a sprite keeps no sprite: ApplyOptions only ever loads one.
  if (getOption(options, "sprite").empty()) FreeSprite(e);
  ApplyOptions(e, options);
  if (e.aliveCount == 0 && e.config.burstCount > 0) spawnBurst(e);
}

void previewStep(Emitter& e, HWND pane, uint32_t& clockMs) {
  const uint32_t now = GetTickCount();
  const int32_t ms = frameStepMs(now, clockMs, PreviewStillMs);
  clockMs = now;
  const float dt = static_cast<float>(ms) / 1000.0f;
  e.elapsed += dt;
  updateParticles(e, dt);
  // A burst fires again as soon as its last particle has died, so the pane never stays empty.
  if (e.config.burstCount > 0 && e.aliveCount == 0) spawnBurst(e);
  e.renderingEnabled = 1;
  if (!e.frameBitmap || !e.pixelBits) return;
  renderFrame(e);
  if (!pane) return;
  HDC dc = GetDC(pane);
  if (!dc) return;
  HDC memory = CreateCompatibleDC(dc);
  if (memory) {
    HGDIOBJ old = SelectObject(memory, static_cast<HBITMAP>(e.frameBitmap));
    BitBlt(dc, 0, 0, e.frameWidth, e.frameHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
  ReleaseDC(pane, dc);
}
