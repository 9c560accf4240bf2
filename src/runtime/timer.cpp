// The shared 16 ms multimedia timer and the frame step it drives (caption rule, host hiding,
// size following, the engine's advanceEmitter within the tick's drawing budget, presentation),
// and the runtime's end at unload. The timer's fields are in RuntimeState
// (runtime/runtime_state.cpp); owns only the clock tests may give the drawing budget.
#include <windows.h>
#include <mmsystem.h>

#include <iterator>

#include "common/fp_env.h"
#include "render/overlay_win32.h"
#include "render/render_frame.h"
#include "runtime/host_link.h"
#include "runtime/frame_step.h"
#include "runtime/runtime_win32.h"

constexpr UINT TimerPeriodMs = 16;
constexpr UINT TimerResolutionMs = 1;
constexpr int32_t CaptionMargin = 16;     // pixels the caption box widens by while hidden
constexpr DWORD DetachWaitMs = 2000;      // longest wait of unloading for the timer's callbacks

static int64_t (*gDrawClock)() = nullptr;  // tests' clock for the drawing budget; null: ours

static void CALLBACK timerCallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  // Counted from the first instruction, so that unloading can wait for a callback that has not
  // reached the lock yet; from the moment unloading begins a callback leaves at once.
  InterlockedIncrement(&runtime.callbacksRunning);
  // The timer's thread is the system's: whatever control words it has, ours hold here.
  EngineFpWords engineWords;
  if (!runtime.shuttingDown && runtime.lockWaiters == 0 && tryLockEngine()) {
    // Nothing may unwind into the timer's thread; the frame step allocates nothing, so this
    // only keeps the promise should that ever change.
    try {
      if (!runtime.shuttingDown) frameStep();
    } catch (...) {
    }
    leaveEngineLock();
    InterlockedIncrement(&runtime.ticksStepped);
  } else {
    InterlockedIncrement(&runtime.ticksSkipped);
  }
  InterlockedDecrement(&runtime.callbacksRunning);
}

int timerStart() {
  if (runtime.timerRunning) return 1;
  timeBeginPeriod(TimerResolutionMs);
  // Not TIME_KILL_SYNCHRONOUS: that kill waits without limit for a callback in flight, and at
  // unload (under the loader lock) a callback may be waiting on the unloading thread. Outside
  // unloading a late callback is harmless (it finds the lock or an empty registry); unloading
  // waits for the timer's thread itself (runtimeShutdown).
  runtime.timerId = timeSetEvent(TimerPeriodMs, TimerResolutionMs, timerCallback, 0, TIME_PERIODIC);
  if (runtime.timerId) {
    runtime.timerRunning = 1;
    return 1;
  }
  timeEndPeriod(TimerResolutionMs);
  return 0;
}

void timerKill() {
  if (!runtime.timerRunning) return;
  timeKillEvent(runtime.timerId);
  timeEndPeriod(TimerResolutionMs);
  runtime.timerId = 0;
  runtime.timerRunning = 0;
}

void timerStopRule() {
  if (!registryIsEmpty(registry)) return;
  runtime.hostHidden = 0;  // no effect remains: the host's hiding is over
  if (!runtime.timerRunning) return;
  timerKill();
  runtime.overlaysHidden = 0;
}

void setFrameStepDelayForTests(DWORD ms) { runtime.stepDelayMsForTests = ms; }

void setDrawClockForTests(int64_t (*nowUs)()) { gDrawClock = nowUs; }

// Waits, at most until limitMs after start, for handle (null: for no callback to be inside),
// serving messages sent to this thread meanwhile: a frame step may be sending to one of our
// overlays. 1 when what was waited for came.
static int waitServingSent(HANDLE handle, DWORD start, DWORD limitMs) {
  for (;;) {
    if (!handle && runtime.callbacksRunning == 0) return 1;
    const DWORD spent = GetTickCount() - start;
    if (spent >= limitMs) return 0;
    const DWORD r = MsgWaitForMultipleObjects(handle ? 1 : 0, &handle, FALSE,
                                              handle ? limitMs - spent : 1, QS_SENDMESSAGE);
    if (handle && r == WAIT_OBJECT_0) return 1;
    MSG msg;
    HostFpScope hostWords;  // sent messages may be the host's
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void runtimeShutdown(int processEnding) {
  runtime.shuttingDown = 1;
  // From here a callback that comes in leaves at once, and one inside a frame step stops
  // drawing at its next particle and leaves before the next emitter.
  if (processEnding) {
    runtime.timerRunning = 0;  // the timer's thread is gone already; nothing to kill or wait for
  } else {
    const DWORD start = GetTickCount();
    HANDLE fired = nullptr;
    UINT barrier = 0;
    if (runtime.timerRunning) {
      // The timer's thread calls one callback after another. A one-shot event timer set while
      // ours still runs (so the thread stays) fires only after any callback of ours the thread
      // had already picked up when ours was killed: once it has fired none is on its way in.
      fired = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      if (fired)
        barrier = timeSetEvent(1, TimerResolutionMs, reinterpret_cast<LPTIMECALLBACK>(fired), 0,
                               TIME_ONESHOT | TIME_CALLBACK_EVENT_SET);
    }
    timerKill();  // returns at once: see timerStart
    // Both waits are bounded. Past the bound a callback is blocked on something outside this
    // library; it is left to leave on its own: the one case in which unloading cannot know that
    // no code of ours still runs. (So is a callback the thread picked up just before an earlier
    // stop killed the timer and that has not yet reached its first instruction.)
    if (barrier) waitServingSent(fired, start, DetachWaitMs);
    waitServingSent(nullptr, start, DetachWaitMs);
    if (fired) CloseHandle(fired);
  }
  stopAllEmitters();
}

// Whether the cursor is over the host's caption strip (widened while already hidden). Returns
// -1 when the whole tick is to be skipped (minimised while hidden), else 0 or 1.
static int captionRuleHides(POINT cursor) {
  HWND host = hostMainWindow();
  HWND root = GetAncestor(host, GA_ROOT);
  if (!root) root = host;
  if (!root || !IsWindow(root)) return 0;
  if (IsIconic(root)) return runtime.overlaysHidden ? -1 : 0;
  RECT window = {};
  POINT client = {0, 0};
  GetWindowRect(root, &window);
  ClientToScreen(root, &client);
  if (client.y <= window.top) return 0;  // no caption strip
  const int32_t m = runtime.overlaysHidden ? CaptionMargin : 0;
  return cursor.x >= window.left - m && cursor.x <= window.right + m && cursor.y >= window.top - m &&
         cursor.y < client.y + m;
}

static int64_t performanceClockUs() {
  static LARGE_INTEGER frequency = {};
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<int64_t>(now.QuadPart / frequency.QuadPart * 1000000 +
                              now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}

void frameStep() {
  if (registryIsEmpty(registry)) return;
  // The host hid the overlays (message 7): nothing moves or shows until it shows them again.
  // The windows belong to the host's thread: whatever this thread asks of them is applied when
  // that thread reads its queue, so a show asked for just before the host hid them may land
  // after; hide them again then.
  if (runtime.hostHidden) {
    registryWalk(registry, [](Emitter& e) { keepOverlayHiddenAsync(e.presentation); });
    return;
  }
  // Nothing draws (ended bursts keep their place with drawing off, and so do faded effects until
  // their release): nothing to show or hide, so the caption rule's look at the cursor and the
  // host window, the dearest part of such a tick, waits until something draws.
  bool drawing = false;
  registryWalk(registry, [&drawing](Emitter& e) { drawing = drawing || e.renderingEnabled != 0; });
  if (!drawing) return;
  // The cursor is read once per tick: the caption rule and the effects that answer the reader
  // see the same position.
  POINT cursor = {};
  GetCursorPos(&cursor);
  const int hide = captionRuleHides(cursor);
  if (hide < 0) return;
  if (hide) {
    if (!runtime.overlaysHidden) {
      runtime.overlaysHidden = 1;
      registryWalk(registry, [](Emitter& e) { hideOverlayAsync(e.presentation); });
    } else {
      registryWalk(registry, [](Emitter& e) { keepOverlayHiddenAsync(e.presentation); });
    }
    return;
  }
  if (runtime.overlaysHidden) {
    runtime.overlaysHidden = 0;
    registryWalk(registry, [](Emitter& e) {
      if (e.renderingEnabled && e.presentation.overlay) {
        showOverlayAsync(e.presentation);
        e.lastTickMs = GetTickCount();
      }
    });
  }
  // The left button is polled only while an effect answers clicks, and a watch that has not
  // polled for a while starts again from the button's state (a press long ago is no click).
  bool clicks = false;
  registryWalk(registry, [&clicks](Emitter& e) {
    clicks = clicks || (e.renderingEnabled && e.system.config.clickBurst > 0 && e.stillMotion == MotionMoving);
  });
  if (!clicks) runtime.leftPresses.primed = 0;
  const int pressed = clicks && pollLeftPress(runtime.leftPresses);
  // One drawing budget for the whole tick, so the user-interface thread never waits on the lock
  // much longer than that. Once it is spent the remaining emitters still move but keep their
  // last frame; the next tick starts with the first of them, and the one that spent it goes on
  // from its next particle when its turn comes round again, so none starves. Unloading stops
  // the walk at the next emitter and the drawing at the next particle.
  int64_t (*clock)() = gDrawClock ? gDrawClock : performanceClockUs;
  DrawBudget budget = {clock, clock() + FrameDrawBudgetUs, &runtime.shuttingDown, 0};
  const int32_t count = static_cast<int32_t>(registry.entries.size());
  const int32_t first = runtime.drawStart >= 0 && runtime.drawStart < count ? runtime.drawStart : 0;
  int32_t spentAt = -1;  // position of the emitter that spent the budget
  auto it = registry.entries.begin();
  std::advance(it, first);
  for (int32_t n = 0; n < count && !runtime.shuttingDown; ++n) {
    const int32_t position = (first + n) % count;
    Emitter& e = it->second;
    if (++it == registry.entries.end()) it = registry.entries.begin();
    if (!e.renderingEnabled || !e.presentation.frameBitmap || !e.frame.pixelBits || !e.presentation.overlay ||
        e.frame.frameWidth <= 0 || e.frame.frameHeight <= 0)
      continue;
    HWND rect = static_cast<HWND>(e.hostRectWindow);
    if (IsWindow(rect)) {
      RECT r = {};
      GetClientRect(rect, &r);
      const int32_t w = r.right - r.left, h = r.bottom - r.top;
      if (w >= 1 && h >= 1 && (w != e.frame.frameWidth || h != e.frame.frameHeight)) {
        if (!ensureFrameBitmap(e.presentation, e.frame, w, h)) continue;
        e.rectWidth = w;
        e.rectHeight = h;
      }
    }
    if (!e.presentation.frameBitmap || !e.frame.pixelBits || e.frame.frameWidth <= 0 || e.frame.frameHeight <= 0)
      continue;
    if (runtime.stepDelayMsForTests) Sleep(runtime.stepDelayMsForTests);
    // Where the reader's cursor is over this effect's rectangle, for an effect that answers it.
    const EmitterConfig& c = e.system.config;
    e.cursor = NoCursor;
    if ((c.cursorMode != CursorNone || c.clickBurst > 0) && e.stillMotion == MotionMoving)
      e.cursor = cursorOverWindow(rect, cursor, e.frame.frameWidth, e.frame.frameHeight);
    if (pressed && c.clickBurst > 0 && e.cursor.present) {
      e.clicked = 1;
      e.clickX = e.cursor.x;
      e.clickY = e.cursor.y;
    }
    if (e.fading) {
      // Linear over the fade's time; the host's thread releases the effect once it is over.
      const float f = static_cast<float>(static_cast<int32_t>(GetTickCount() - e.fadeStartMs)) /
                      static_cast<float>(e.fadeOutMs > 0 ? e.fadeOutMs : 1);
      e.fadeAmount = f < 0 ? 0 : (f > 1 ? 1 : f);
    }
    const int spentBefore = budget.exhausted;
    const int drawn = advanceEmitter(e, GetTickCount(), &budget);
    if (!spentBefore && budget.exhausted) spentAt = position;
    if (!drawn) continue;
    if (e.renderingEnabled && IsWindow(static_cast<HWND>(e.presentation.overlay)))
      presentFrame(e.presentation, e.frame, static_cast<HWND>(e.hostRectWindow), e.inFront);
    // Faded out: the empty frame is shown, and nothing more is stepped until the release.
    if (e.fading && e.fadeAmount >= 1) e.renderingEnabled = 0;
  }
  runtime.drawStart = spentAt < 0 ? 0 : (spentAt + 1) % count;
}
