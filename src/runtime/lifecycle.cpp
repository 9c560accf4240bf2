// The life cycle of the registry's emitters: preparing an entry for a rectangle (replacing a
// running effect on the same key), starting it, stopping one and stopping all, and the host's
// notifications that re-fit, hide and show every overlay. Owns no state beyond runtime_win32's.
#include <new>

#include "common/fp_env.h"
#include "common/utf16_win32.h"
#include "runtime/reader_win32.h"
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

static int startEndTimer();  // the host thread's watch for effects that end by themselves

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
  // The reader's wishes as they stand when the effect starts: no animations, and where the
  // cursor is (a burst that follows it starts there).
  e->animationsOff = animationsOff();
  if (e->system.config.cursorMode == CursorFollow) {
    POINT cursor = {};
    if (GetCursorPos(&cursor))
      e->cursor = cursorOverWindow(static_cast<HWND>(e->hostRectWindow), cursor, e->frame.frameWidth,
                                   e->frame.frameHeight);
  }
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
  // An end line is run by the host's thread once the effect is over: its watch starts here.
  // Without it the line could never run; the effect plays on regardless.
  if (!placed->second.onEndAction.empty()) startEndTimer();
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

// --- Ending by itself ---------------------------------------------------------------------------
// A Stop by name of an effect with a fade-out leaves it in the registry, fading: the frame step
// draws it at what is left of its opacity and emits nothing more. An effect with an onEnd line
// waits for its burst's last particle (the frame step sets endedByItself). The release must run
// on the host's thread, which owns the overlay windows, and so must the host's script: a thread
// timer of that thread (started by the first fade or onEnd effect, as both begin there)
// releases every fade that is over and every onEnd effect that has ended, exactly as Stop
// releases an effect, then hands the effect's line to the host once. It ends itself once no
// effect is fading or waiting to end.

constexpr UINT EndCheckMs = 40;  // how often the host's thread looks for effects that are over

static UINT_PTR endTimerId = 0;  // the thread timer; 0 when none runs

static void endEndTimer() {
  if (!endTimerId) return;
  KillTimer(nullptr, endTimerId);
  endTimerId = 0;
}

static int fadeIsOver(const Emitter& e, DWORD now) {
  return e.fading && static_cast<int32_t>(now - e.fadeStartMs) >= e.fadeOutMs;
}

// Over by itself: a fade that has run its time, or an effect with an end line whose frame step
// found it ended.
static int endIsDue(const Emitter& e, DWORD now) {
  return fadeIsOver(e, now) || (!e.onEndAction.empty() && e.endedByItself);
}

// Whether the end timer has something to watch for.
static int awaitsEnd(const Emitter& e) { return e.fading || !e.onEndAction.empty(); }

static void CALLBACK endTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  // A callback of the host's message loop: nothing may unwind into it, and it runs under the
  // host's control words until ours are set.
  EngineFpScope engineWords;
  try {
    if (runtime.shuttingDown) return;
    releaseEndedEffects();
  } catch (...) {
  }
}

static int startEndTimer() {
  if (!endTimerId) endTimerId = SetTimer(nullptr, 0, EndCheckMs, endTimerProc);
  return endTimerId != 0;
}

void releaseEndedEffects() {
  lockEngine();
  for (;;) {
    // One at a time: host script run while a stop pumps, or run by the end line, may change the
    // registry.
    const DWORD now = GetTickCount();
    const std::string* over = nullptr;
    for (auto& entry : registry.entries)
      if (endIsDue(entry.second, now)) {
        over = &entry.first;
        break;
      }
    if (!over) break;
    const std::string key = *over;
    // The line is taken before the release: the entry is gone after it, so it runs once.
    std::wstring line = utf8ToWide(registryFind(registry, key)->onEndAction);
    stopEmitter(key);
    if (!line.empty()) {
      // The effect is released and nothing of ours is half-way: the host's script may do
      // anything, call our actions included, and take its time (a message box, say) while the
      // other effects play on, so it runs without our hold on the lock.
      unlockEngine();
      hostRunScript(line);
      lockEngine();
    }
  }
  int waiting = 0;
  for (auto& entry : registry.entries) waiting += awaitsEnd(entry.second);
  if (!waiting) endEndTimer();
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
  if (!startEndTimer()) {  // no timer to end the fade with: stop at once instead
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
    endEndTimer();
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
  endEndTimer();
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
