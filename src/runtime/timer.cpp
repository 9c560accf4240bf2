// The shared 16 ms multimedia timer and the frame step it drives (caption rule, host hiding,
// size following, the engine's advanceEmitter, presentation), and the runtime's end at unload.
// Owns no state of its own: the timer's fields are in RuntimeState (runtime/runtime_state.cpp).
#include <windows.h>
#include <mmsystem.h>

#include "render/overlay_win32.h"
#include "runtime/host_link.h"
#include "runtime/frame_step.h"
#include "runtime/runtime_win32.h"

constexpr UINT TimerPeriodMs = 16;
constexpr UINT TimerResolutionMs = 1;
constexpr int32_t CaptionMargin = 16;     // pixels the caption box widens by while hidden
constexpr DWORD DetachWaitMs = 2000;      // how long unloading lets a running callback finish

static void CALLBACK timerCallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  // Counted from the first instruction, so that unloading can wait for a callback that has not
  // reached the lock yet and none runs into the library after detach returns.
  InterlockedIncrement(&runtime.callbacksRunning);
  if (!runtime.shuttingDown && runtime.lockWaiters == 0 && tryLockEngine()) {
    if (!runtime.shuttingDown) frameStep();
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
  // TIME_KILL_SYNCHRONOUS: once timeKillEvent returns no callback is on its way into this
  // library, even one the timer thread had already picked up; unloading depends on that.
  runtime.timerId = timeSetEvent(TimerPeriodMs, TimerResolutionMs, timerCallback, 0,
                                 TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
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
  if (!runtime.timerRunning || !registryIsEmpty(registry)) return;
  timerKill();
  runtime.overlaysHidden = 0;
}

void runtimeShutdown(int processEnding) {
  runtime.shuttingDown = 1;
  // From here a callback that comes in leaves at once without touching anything. One already
  // inside a frame step may be sending a message to this thread (SetWindowPos on an overlay):
  // messages sent to us are served while waiting, so it can finish and leave. Only then is the
  // timer killed: the synchronous kill waits for a callback in flight, which can no longer
  // block on this thread.
  const DWORD start = GetTickCount();
  while (!processEnding && runtime.callbacksRunning > 0 && GetTickCount() - start < DetachWaitMs) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    Sleep(1);
  }
  if (processEnding) {
    runtime.timerRunning = 0;  // the timer thread is gone already; nothing to kill or wait for
  }
  timerKill();
  stopAllEmitters();
}

// Whether the cursor is over the host's caption strip (widened while already hidden). Returns
// -1 when the whole tick is to be skipped (minimised while hidden), else 0 or 1.
static int captionRuleHides() {
  HWND host = hostMainWindow();
  HWND root = GetAncestor(host, GA_ROOT);
  if (!root) root = host;
  if (!root || !IsWindow(root)) return 0;
  if (IsIconic(root)) return runtime.overlaysHidden ? -1 : 0;
  POINT cursor = {};
  RECT window = {};
  POINT client = {0, 0};
  GetCursorPos(&cursor);
  GetWindowRect(root, &window);
  ClientToScreen(root, &client);
  if (client.y <= window.top) return 0;  // no caption strip
  const int32_t m = runtime.overlaysHidden ? CaptionMargin : 0;
  return cursor.x >= window.left - m && cursor.x <= window.right + m && cursor.y >= window.top - m &&
         cursor.y < client.y + m;
}

void frameStep() {
  if (registryIsEmpty(registry)) return;
  // The host hid the overlays (message 7): nothing moves or shows until it shows them again.
  // The windows belong to the host's thread: whatever this thread asks of them is applied when
  // that thread reads its queue, so a show asked for just before the host hid them may land
  // after; hide them again then.
  if (runtime.hostHidden) {
    registryWalk(registry, [](Emitter& e) { keepOverlayHiddenAsync(e); });
    return;
  }
  const int hide = captionRuleHides();
  if (hide < 0) return;
  if (hide) {
    if (!runtime.overlaysHidden) {
      runtime.overlaysHidden = 1;
      registryWalk(registry, [](Emitter& e) { hideOverlayAsync(e); });
    } else {
      registryWalk(registry, [](Emitter& e) { keepOverlayHiddenAsync(e); });
    }
    return;
  }
  if (runtime.overlaysHidden) {
    runtime.overlaysHidden = 0;
    registryWalk(registry, [](Emitter& e) {
      if (e.renderingEnabled && e.overlay) {
        showOverlayAsync(e);
        e.lastTickMs = GetTickCount();
      }
    });
  }
  registryWalk(registry, [](Emitter& e) {
    if (!e.renderingEnabled || !e.frameBitmap || !e.pixelBits || !e.overlay || e.frameWidth <= 0 ||
        e.frameHeight <= 0)
      return;
    HWND rect = static_cast<HWND>(e.hostRectWindow);
    if (IsWindow(rect)) {
      RECT r = {};
      GetClientRect(rect, &r);
      const int32_t w = r.right - r.left, h = r.bottom - r.top;
      if (w >= 1 && h >= 1 && (w != e.frameWidth || h != e.frameHeight)) {
        if (!ensureFrameBitmap(e, w, h)) return;
        e.rectWidth = w;
        e.rectHeight = h;
      }
    }
    if (!e.frameBitmap || !e.pixelBits || e.frameWidth <= 0 || e.frameHeight <= 0) return;
    if (!advanceEmitter(e, GetTickCount())) return;
    if (e.renderingEnabled && IsWindow(static_cast<HWND>(e.overlay))) presentFrame(e);
  });
}
