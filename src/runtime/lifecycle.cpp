// The life cycle of the registry's emitters: preparing an entry for a rectangle (replacing a
// running effect on the same key), starting it, stopping one and stopping all, and the host's
// notifications that re-fit, hide and show every overlay. Owns no state beyond runtime_win32's.
#include "common/utf16_win32.h"
#include "config/sprite.h"
#include "engine/engine.h"
#include "render/overlay_win32.h"
#include "runtime/host_link.h"
#include "runtime/runtime_win32.h"

constexpr int PumpAfterStop = 64;
constexpr int PumpDuringStopAll = 128;

Emitter* prepareEmitter(const std::wstring& rectName, int32_t& width, int32_t& height) {
  width = height = 0;
  const std::string name = wideToUtf8(rectName);
  const std::string key = rectKey(name);
  if (key.empty()) {
    reportError(L"Empty rectangle name.");
    return nullptr;
  }
  lockEngine();
  if (registryFind(registry, key)) stopEmitter(key);  // a second Play replaces the first
  HWND rect = hostObjectWindow(rectName);
  if (!rect || !IsWindow(rect)) {
    unlockEngine();
    reportError(L"Rectangle '" + rectName + L"' not found.");
    return nullptr;
  }
  RECT r = {};
  GetClientRect(rect, &r);
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) {
    unlockEngine();
    reportError(L"Rectangle has zero size.");
    return nullptr;
  }
  Emitter* e = registryInsert(registry, key);  // zero-filled: every count, handle and flag 0
  clearParticles(*e);
  e->rectName = name;
  e->hostRectWindow = rect;
  e->rectWidth = w;
  e->rectHeight = h;
  e->inFront = 1;
  unlockEngine();
  width = w;
  height = h;
  return e;
}

static void removeEntry(Emitter* e) {
  FreeSprite(*e);
  const std::string key = rectKey(e->rectName);
  lockEngine();
  registryRemove(registry, key);
  unlockEngine();
}

int startEmitter(Emitter* e, int32_t width, int32_t height) {
  if (!ensureFrameBitmap(*e, width, height)) {
    reportError(L"Failed to create DIB for particles.");
    removeEntry(e);
    return 0;
  }
  if (!createOverlay(*e, runtime.module)) {
    reportError(L"Failed to create overlay window.");
    releaseFrameBitmap(*e);
    removeEntry(e);
    return 0;
  }
  spawnBurst(*e);
  e->lastTickMs = GetTickCount();
  e->renderingEnabled = 1;
  lockEngine();
  const int started = timerStart();
  unlockEngine();
  if (!started) {
    reportError(L"Failed to start shared multimedia timer.");
    lockEngine();
    e->renderingEnabled = 0;
    unlockEngine();
    HWND overlay = static_cast<HWND>(e->overlay);
    if (overlay && IsWindow(overlay)) DestroyWindow(overlay);
    e->overlay = nullptr;
    releaseFrameBitmap(*e);
    removeEntry(e);
    return 0;
  }
  reportError(L"");
  return 1;
}

// Releases an entry's window, bitmap, sprite and particles; the caller holds the lock and has
// switched rendering off and waited for callbacks.
static void teardown(Emitter& e) {
  HWND overlay = static_cast<HWND>(e.overlay);
  e.overlay = nullptr;
  if (overlay && IsWindow(overlay)) {
    if (!runtime.shuttingDown) {
      ShowWindow(overlay, SW_HIDE);
      DestroyWindow(overlay);
    } else {
      // Unloading, under the loader lock: nothing that could wait on another thread. The
      // window's own thread closes it when it next reads its queue (a "Static" window's
      // procedure lives in user32, so it outlives this library), instead of leaving the last
      // frame on the screen for good.
      PostMessageW(overlay, WM_CLOSE, 0, 0);
    }
  }
  releasePresentation(e);  // its device context holds the bitmap
  HBITMAP bitmap = static_cast<HBITMAP>(e.frameBitmap);
  e.frameBitmap = nullptr;
  e.pixelBits = nullptr;
  e.frameWidth = e.frameHeight = e.baseHeight = 0;
  e.drawnValid = 0;
  if (bitmap) DeleteObject(bitmap);
  FreeSprite(e);
  e.spawnAccumulator = 0;
  e.elapsed = 0;
  e.emissionDone = 0;
  e.hostRectWindow = nullptr;
  clearParticles(e);
}

void stopEmitter(const std::string& key) {
  lockEngine();
  Emitter* e = registryFind(registry, key);
  if (!e) {
    unlockEngine();
    reportError(L"Stop: no active emitter on rectangle '" + utf8ToWide(key) + L"'");
    return;
  }
  e->renderingEnabled = 0;
  waitForCallbacks();
  const int hadOverlay = e->overlay != nullptr;
  teardown(*e);
  if (hadOverlay) pumpMessages(PumpAfterStop);
  registryRemove(registry, key);
  timerStopRule();
  unlockEngine();
}

void stopAllEmitters() {
  if (registryIsEmpty(registry)) {
    pumpMessages(PumpAfterStop);
    return;
  }
  // The lock first: waiting for it serves what a running frame step sends to this thread, and
  // while it is held no callback can be inside a frame step, so the synchronous kill of the
  // timer cannot wait on one that waits on us.
  lockEngine();
  timerKill();
  runtime.overlaysHidden = 0;
  registryWalk(registry, [](Emitter& e) { e.renderingEnabled = 0; });
  waitForCallbacks();
  registryWalk(registry, [](Emitter& e) { teardown(e); });
  pumpMessages(PumpDuringStopAll);
  registryClear(registry);
  unlockEngine();
  pumpMessages(PumpAfterStop);
}

void refitOverlays() {
  lockEngine();
  registryWalk(registry, [](Emitter& e) {
    HWND rect = static_cast<HWND>(e.hostRectWindow);
    if (!e.overlay || !rect || !IsWindow(rect)) return;
    RECT r = {};
    GetClientRect(rect, &r);
    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    if (w != e.rectWidth || h != e.rectHeight) {
      e.rectWidth = w;
      e.rectHeight = h;
      ensureFrameBitmap(e, w, h);
    }
    placeOverlay(e);
  });
  unlockEngine();
}

void hideOverlaysForHost() {
  lockEngine();
  runtime.hostHidden = 1;  // lasts until showOverlaysForHost: the frame step stays away
  registryWalk(registry, [](Emitter& e) {
    if (e.overlay) ShowWindow(static_cast<HWND>(e.overlay), SW_HIDE);
  });
  unlockEngine();
}

void showOverlaysForHost() {
  lockEngine();
  runtime.hostHidden = 0;
  if (!runtime.overlaysHidden) {
    const DWORD now = GetTickCount();
    registryWalk(registry, [now](Emitter& e) {
      if (!e.overlay) return;
      ShowWindow(static_cast<HWND>(e.overlay), SW_SHOWNOACTIVATE);
      placeOverlay(e);
      e.lastTickMs = now;  // the hidden time is not animation time
    });
  }
  unlockEngine();
}
