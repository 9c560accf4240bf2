// The life cycle of the registry's emitters: preparing an entry for a rectangle (replacing a
// running effect on the same key), starting it, stopping one and stopping all, and the host's
// notifications that re-fit, hide and show every overlay. Owns no state beyond runtime_win32's.
#include <new>

#include "common/fp_env.h"
#include "common/utf16_win32.h"
#include "config/sprite.h"
#include "engine/engine.h"
#include "render/overlay_win32.h"
#include "runtime/effect.h"
#include "runtime/frame_step.h"
#include "runtime/host_link.h"
#include "runtime/runtime_win32.h"

constexpr int PumpAfterStop = 64;
constexpr size_t EntryOverheadBytes = 64;  // a map node's links beside its key and Emitter
constexpr int PumpDuringStopAll = 128;

Emitter* prepareEmitter(const std::wstring& rectName, int32_t& width, int32_t& height) {
  width = height = 0;
  const std::string name = wideToUtf8(rectName);
  const std::string key = rectKey(name);
  if (key.empty()) {
    reportError(L"Empty rectangle name.");
    return nullptr;
  }
  // A second Play replaces the first. Host script run while stopping may have played on the
  // same rectangle again; that effect is replaced too.
  lockEngine();
  while (registryFind(registry, key)) stopEmitter(key);
  unlockEngine();
  HWND rect = hostObjectWindow(rectName);
  if (!rect || !IsWindow(rect)) {
    reportError(L"Rectangle '" + rectName + L"' not found.");
    return nullptr;
  }
  RECT r = {};
  GetClientRect(rect, &r);
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) {
    reportError(L"Rectangle has zero size.");
    return nullptr;
  }
  // The particle pool makes the entry the one large allocation of an action. Its room is asked
  // for first without an exception, so that memory running short is answered plainly; should the
  // allocation itself fail after all, the exports catch it, and nothing is held yet either way.
  void* room = ::operator new(sizeof(std::pair<const std::string, Emitter>) + EntryOverheadBytes,
                              std::nothrow);
  if (!room) {
    reportError(L"Out of memory.");
    return nullptr;
  }
  ::operator delete(room);
  // Zero-filled: every count, handle and flag 0.
  Emitter* e = &startingEmitters.emplace(std::piecewise_construct, std::forward_as_tuple(key),
                                         std::forward_as_tuple())->second;
  clearParticles(e->system);
  e->hostRectWindow = rect;
  e->rectWidth = w;
  e->rectHeight = h;
  e->inFront = 1;
  e->rectName = name;
  width = w;
  height = h;
  return e;
}

// Releases an entry's window, bitmap, sprite and particles. The entry is out of the registry (or
// rendering is off and the caller holds the lock), so no frame step is drawing it. Allocates
// nothing and runs no host code.
static void teardown(Emitter& e) {
  e.renderingEnabled = 0;
  HWND overlay = static_cast<HWND>(e.presentation.overlay);
  e.presentation.overlay = nullptr;
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
  releasePresentation(e.presentation);  // its device context holds the bitmap
  HBITMAP bitmap = static_cast<HBITMAP>(e.presentation.frameBitmap);
  e.presentation.frameBitmap = nullptr;
  e.frame.pixelBits = nullptr;
  e.frame.frameWidth = e.frame.frameHeight = e.system.baseHeight = 0;
  e.frame.drawnValid = 0;
  if (bitmap) DeleteObject(bitmap);
  releaseEffectPictures(e);
  e.system.spawnAccumulator = 0;
  e.system.elapsed = 0;
  e.system.emissionDone = 0;
  e.hostRectWindow = nullptr;
  clearParticles(e.system);
}

// The starting entry at e, taken out of startingEmitters (an empty node when it is not there).
static std::multimap<std::string, Emitter>::node_type takeStarting(Emitter* e) {
  for (auto it = startingEmitters.begin(); it != startingEmitters.end(); ++it)
    if (&it->second == e) return startingEmitters.extract(it);
  return {};
}

static int failStart(Emitter* e, const wchar_t* message) {
  auto node = takeStarting(e);
  if (node) teardown(node.mapped());
  reportError(message);
  return 0;
}

int startEmitter(Emitter* e, int32_t width, int32_t height) {
  if (!ensureFrameBitmap(e->presentation, e->frame, width, height))
    return failStart(e, L"Failed to create DIB for particles.");
  if (!createOverlay(e->presentation, static_cast<HWND>(e->hostRectWindow), runtime.module))
    return failStart(e, L"Failed to create overlay window.");
  // Outside the lock and before the effect is registered: no frame step waits on this, and the
  // first frame shown is the prewarmed one. The noise table is filled here (once) rather than
  // inside the timer's first frame.
  noiseTable();
  startParticles(*e);
  lockEngine();
  // Host script run while this action waited for the lock may have played on the same
  // rectangle; the later call of the two is this one, so its effect is the one that stays.
  const std::string* key = nullptr;
  for (auto& entry : startingEmitters)
    if (&entry.second == e) key = &entry.first;
  while (key && registryFind(registry, *key)) stopEmitter(*key);
  // From here to the end nothing allocates and no host code runs: an effect that is in the
  // registry has fully started.
  auto node = takeStarting(e);
  if (!node) {  // not this action's to start; cannot happen, as only this action holds it
    unlockEngine();
    return 0;
  }
  auto placed = registry.entries.insert(std::move(node)).position;
  placed->second.lastTickMs = GetTickCount();
  placed->second.renderingEnabled = 1;
  if (!timerStart()) {
    auto back = registry.entries.extract(placed);
    teardown(back.mapped());
    timerStopRule();
    unlockEngine();
    reportError(L"Failed to start shared multimedia timer.");
    return 0;
  }
  // A sprite or mask that could not be used leaves its message readable: the effect plays without it.
  const int keepMessage = placed->second.sprite.spriteFailed || placed->second.mask.maskFailed;
  unlockEngine();
  if (!keepMessage) reportError(L"");
  return 1;
}

void discardStartingEmitters() {
  while (!startingEmitters.empty()) {
    auto node = startingEmitters.extract(startingEmitters.begin());
    teardown(node.mapped());
  }
}

void stopEmitter(const std::string& key) {
  lockEngine();
  if (!registryFind(registry, key)) {
    unlockEngine();
    reportError(L"Stop: no active emitter on rectangle '" + utf8ToWide(key) + L"'");
    return;
  }
  // Out of the registry before anything else: the frame step no longer sees it (none is inside
  // one while we hold the lock), and host script run from the pumping below finds the registry
  // as it will be once this stop is done.
  auto node = registry.entries.extract(key);
  node.mapped().renderingEnabled = 0;
  waitForCallbacks();
  const int hadOverlay = node.mapped().presentation.overlay != nullptr;
  teardown(node.mapped());
  timerStopRule();
  if (hadOverlay) pumpMessages(PumpAfterStop);
  unlockEngine();
}

// --- Fading out --------------------------------------------------------------------------------
// A Stop by name of an effect with a fade-out leaves it in the registry, fading: the frame step
// draws it at what is left of its opacity and emits nothing more. The release itself must run
// on the host's thread, which owns the overlay windows: a thread timer of that thread (started
// by the first fade, as the Stop runs there) releases every fade that is over, exactly as Stop
// releases an effect, and ends itself once no effect is fading.

constexpr UINT FadeCheckMs = 40;  // how often the host's thread looks for fades that are over

static UINT_PTR fadeTimerId = 0;  // the thread timer; 0 when none runs

static void endFadeTimer() {
  if (!fadeTimerId) return;
  KillTimer(nullptr, fadeTimerId);
  fadeTimerId = 0;
}

static int fadeIsOver(const Emitter& e, DWORD now) {
  return e.fading && static_cast<int32_t>(now - e.fadeStartMs) >= e.fadeOutMs;
}

static void CALLBACK fadeTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  // A callback of the host's message loop: nothing may unwind into it, and it runs under the
  // host's control words until ours are set.
  EngineFpScope engineWords;
  try {
    if (runtime.shuttingDown) return;
    releaseFinishedFades();
  } catch (...) {
  }
}

void releaseFinishedFades() {
  lockEngine();
  const DWORD now = GetTickCount();
  int fading = 0;
  for (;;) {
    // One at a time: host script run while a stop pumps may change the registry.
    const std::string* over = nullptr;
    fading = 0;
    for (auto& entry : registry.entries) {
      if (!entry.second.fading) continue;
      if (fadeIsOver(entry.second, now)) {
        over = &entry.first;
        break;
      }
      ++fading;
    }
    if (!over) break;
    const std::string key = *over;
    stopEmitter(key);
  }
  if (!fading) endFadeTimer();
  unlockEngine();
}

void stopOrFadeEmitter(const std::string& key) {
  lockEngine();
  Emitter* e = registryFind(registry, key);
  // Only what is still shown can fade: an ended burst, or a second Stop, goes at once.
  if (!e || e->fadeOutMs <= 0 || e->fading || !e->renderingEnabled) {
    unlockEngine();
    stopEmitter(key);
    return;
  }
  if (!fadeTimerId) fadeTimerId = SetTimer(nullptr, 0, FadeCheckMs, fadeTimerProc);
  if (!fadeTimerId) {  // no timer to end the fade with: stop at once instead
    unlockEngine();
    stopEmitter(key);
    return;
  }
  e->fadeStartMs = GetTickCount();
  e->fadeAmount = 0;
  e->fading = 1;
  unlockEngine();
}

void stopAllEmitters() {
  if (registryIsEmpty(registry)) {
    // Nothing runs; nor may the timer, nor the host's hiding.
    lockEngine();
    timerKill();
    endFadeTimer();
    runtime.overlaysHidden = 0;
    runtime.hostHidden = 0;
    unlockEngine();
    pumpMessages(PumpAfterStop);
    return;
  }
  // The lock first: waiting for it serves what a running frame step sends to this thread, and
  // while it is held no callback is inside a frame step.
  lockEngine();
  timerKill();
  endFadeTimer();
  runtime.overlaysHidden = 0;
  runtime.hostHidden = 0;  // no effect remains: the host's hiding is over
  // Every entry leaves the registry at once (the nodes stay where they are); host script run from
  // the pumping below plays into an empty registry, and what it starts stays running.
  std::map<std::string, Emitter> stopping;
  stopping.swap(registry.entries);
  for (auto& entry : stopping) entry.second.renderingEnabled = 0;
  waitForCallbacks();
  for (auto& entry : stopping) teardown(entry.second);
  pumpMessages(PumpDuringStopAll);
  stopping.clear();
  unlockEngine();
  pumpMessages(PumpAfterStop);
}

void refitOverlays() {
  lockEngine();
  registryWalk(registry, [](Emitter& e) {
    HWND rect = static_cast<HWND>(e.hostRectWindow);
    if (!e.presentation.overlay || !rect || !IsWindow(rect)) return;
    RECT r = {};
    GetClientRect(rect, &r);
    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    if (w != e.rectWidth || h != e.rectHeight) {
      e.rectWidth = w;
      e.rectHeight = h;
      ensureFrameBitmap(e.presentation, e.frame, w, h);
    }
    placeOverlay(e.presentation, static_cast<HWND>(e.hostRectWindow), e.inFront);
  });
  unlockEngine();
}

void hideOverlaysForHost() {
  lockEngine();
  // Lasts until showOverlaysForHost for the effects there are, and for any started meanwhile;
  // once none remains it is over (timerStopRule, stopAllEmitters), so with none there now there
  // is nothing to hide.
  runtime.hostHidden = registryIsEmpty(registry) ? 0 : 1;
  registryWalk(registry, [](Emitter& e) {
    if (e.presentation.overlay) ShowWindow(static_cast<HWND>(e.presentation.overlay), SW_HIDE);
  });
  unlockEngine();
}

void showOverlaysForHost() {
  lockEngine();
  runtime.hostHidden = 0;
  if (!runtime.overlaysHidden) {
    const DWORD now = GetTickCount();
    registryWalk(registry, [now](Emitter& e) {
      if (!e.presentation.overlay) return;
      ShowWindow(static_cast<HWND>(e.presentation.overlay), SW_SHOWNOACTIVATE);
      placeOverlay(e.presentation, static_cast<HWND>(e.hostRectWindow), e.inFront);
      e.lastTickMs = now;  // the hidden time is not animation time
    });
  }
  unlockEngine();
}
