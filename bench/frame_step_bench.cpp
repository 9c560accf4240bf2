// The shared timer's frame step under Wine (or Windows), with two presentations side by side in
// one process: the plain one (a screen and a memory device context made and freed per frame,
// the whole window pushed with UpdateLayeredWindow, SetWindowPos on every frame), kept here as
// the reference, and the runtime's own (one device context per overlay, only the pixels that
// changed, nothing sent to the window's thread). 1, 4 and 16 emitters of 320 x 240 play Sparkle
// at intensity 100 on a host stand-in page, with the runtime and actions linked in as
// Lumivex.dll has them. For each count and presentation it prints the cost of one tick split
// into update and render (advanceEmitter) and presentation, measured with the timer stopped and
// the steps driven here, and then, with a timer running for five seconds, how many ticks per
// second ran a frame step and how many were skipped. Then the tick of 16 bursts that have ended,
// the tick of one effect with each way of answering the reader's cursor, and what a reader of
// the screen sees of one effect in 1.5 s while this program's user-interface thread (the
// overlays' owner, as the host's is) sleeps, and while it is free.
//   scripts/wine-run.sh build/win32/bin/frame_step_bench.exe [steps]   (under xvfb-run)
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_standin/host_standin.h"
#include "plugin/actions.h"
#include "plugin/host_api.h"
#include "render/overlay_win32.h"
#include "runtime/frame_step.h"
#include "runtime/reader_win32.h"
#include "runtime/runtime_win32.h"

constexpr int EmitterCounts[] = {1, 4, 16};
constexpr int WarmUpSteps = 60;      // the first second fills the pools to their steady state
constexpr int MeasureBlocks = 4;     // alternating blocks of driven steps per presentation
constexpr DWORD TimerRunMs = 5000;   // how long each presentation runs on a real timer
constexpr DWORD WatchMs = 1500;      // how long the screen is watched, busy and free
constexpr DWORD WatchEveryMs = 16;   // pause between two readings of the screen
constexpr int BusyHostEmitters = 4;  // effects playing while the screen is watched

static double nowMs() { return hostClockMs(); }
static void pump() { hostPump(); }

static void pumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    pump();
    Sleep(2);
  }
}

// The reference: every frame makes and frees two device contexts, pushes the whole window with
// its position and size, and puts the window back in its place in the order (which, from the
// timer's thread, waits for the window's own thread to do it).
static void plainPresentFrame(Emitter& e) {
  HWND overlay = static_cast<HWND>(e.presentation.overlay);
  HWND rect = static_cast<HWND>(e.hostRectWindow);
  if (!e.renderingEnabled || !overlay || !e.presentation.frameBitmap || !IsWindow(rect)) return;
  RECT r = {};
  GetClientRect(rect, &r);
  POINT origin = {0, 0};
  ClientToScreen(rect, &origin);
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ previous = SelectObject(memory, static_cast<HBITMAP>(e.presentation.frameBitmap));
  SIZE size = {w, h};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(overlay, screen, &origin, &size, memory, &source, 0, &blend, ULW_ALPHA);
  SelectObject(memory, previous);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  SetWindowPos(overlay, e.inFront ? HWND_TOPMOST : HWND_BOTTOM, origin.x, origin.y, w, h,
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

// Ours, as the shared timer presents a drawn frame.
static void ourPresentFrame(Emitter& e) {
  if (e.renderingEnabled)
    presentFrame(e.presentation, e.frame, static_cast<HWND>(e.hostRectWindow), e.inFront);
}

struct PresentWay {
  const char* name;
  void (*present)(Emitter&);
  int usesRuntimeTimer;  // 1: the runtime's own timer and frame step; 0: the bench's timer
};

const PresentWay Presentations[] = {
    {"plain", plainPresentFrame, 0},
    {"ours", ourPresentFrame, 1},
};
constexpr int PresentationCount = sizeof Presentations / sizeof Presentations[0];

// The bench's timer for the plain presentation: the runtime's tick (try the lock once, skip
// when busy) with the frame step's per-emitter work, presenting the plain way.
static volatile LONG plainTicksRun = 0, plainTicksSkipped = 0;
static UINT plainTimerId = 0;

static void CALLBACK plainTimerTick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  if (runtime.lockWaiters != 0 || !tryLockEngine()) {
    InterlockedIncrement(&plainTicksSkipped);
    return;
  }
  const uint32_t now = GetTickCount();
  registryWalk(registry, [now](Emitter& e) {
    if (advanceEmitter(e, now)) plainPresentFrame(e);
  });
  leaveEngineLock();
  InterlockedIncrement(&plainTicksRun);
}

// Runs the presentation's timer; 1 when it started.
static int startTimer(const PresentWay& p) {
  lockEngine();
  const DWORD now = GetTickCount();
  registryWalk(registry, [now](Emitter& e) { e.lastTickMs = now; });
  int started;
  if (p.usesRuntimeTimer) {
    started = timerStart();
  } else {
    timeBeginPeriod(1);
    plainTimerId = timeSetEvent(16, 1, plainTimerTick, 0, TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
    started = plainTimerId != 0;
  }
  unlockEngine();
  return started;
}

// Stops either timer. The lock first: waiting for it serves what a running tick sends to this
// thread, and while it is held no tick is inside a step, so the synchronous kill cannot wait on
// one that waits on us.
static void stopTimers() {
  lockEngine();
  timerKill();
  if (plainTimerId) {
    timeKillEvent(plainTimerId);
    timeEndPeriod(1);
    plainTimerId = 0;
  }
  unlockEngine();
}

static void ticksSoFar(const PresentWay& p, LONG& run, LONG& skipped) {
  run = p.usesRuntimeTimer ? runtime.ticksStepped : plainTicksRun;
  skipped = p.usesRuntimeTimer ? runtime.ticksSkipped : plainTicksSkipped;
}

// Between presentations: the frame bitmap can be selected into one device context only, so ours
// lets go of its own, and whatever the screen shows came from the other one: ours pushes the
// whole window next.
static void handOver() {
  stopTimers();
  lockEngine();
  registryWalk(registry, [](Emitter& e) { releasePresentation(e.presentation); });
  unlockEngine();
}

struct TickFigures {
  double engineMs;    // update + render per tick
  double presentMs;   // presentation per tick
  double ranPerS;     // ticks per second that ran a frame step
  double skippedPerS; // ticks per second skipped
};

// Steps driven here with the timer stopped, adding to engineMs and presentMs (totals, not yet
// per tick). The first step after taking over from the other presentation is not counted.
static void drivenSteps(const PresentWay& p, int warmUp, int steps, TickFigures& f) {
  handOver();
  for (int s = 0; s < 1 + warmUp + steps; ++s) {
    lockEngine();
    const uint32_t tick = GetTickCount();
    registryWalk(registry, [&](Emitter& e) {
      const double t0 = nowMs();
      const int drawn = advanceEmitter(e, tick);
      const double t1 = nowMs();
      if (drawn) p.present(e);
      const double t2 = nowMs();
      if (s > warmUp) {
        f.engineMs += t1 - t0;
        f.presentMs += t2 - t1;
      }
      // Each step is one frame later on the emitter's clock, whatever the real time was.
      e.lastTickMs = tick - 16;
    });
    unlockEngine();
    pump();
  }
}

// Ticks per second run and skipped with the presentation's timer running for TimerRunMs.
static void timedTicks(const PresentWay& p, TickFigures& f) {
  handOver();
  if (!startTimer(p)) return;
  LONG ran0, skipped0, ran1, skipped1;
  ticksSoFar(p, ran0, skipped0);
  const DWORD start = GetTickCount();
  pumpFor(TimerRunMs);
  ticksSoFar(p, ran1, skipped1);
  const double seconds = (GetTickCount() - start) / 1000.0;
  f.ranPerS = (ran1 - ran0) / seconds;
  f.skippedPerS = (skipped1 - skipped0) / seconds;
  stopTimers();
}

// Both presentations over the emitters playing: the driven steps in alternating blocks, so
// that a machine whose load changes meanwhile weighs on both alike, then each on its timer.
static void measure(int steps, TickFigures (&f)[PresentationCount]) {
  for (int i = 0; i < PresentationCount; ++i) f[i] = TickFigures{};
  const int blockSteps = (steps + MeasureBlocks - 1) / MeasureBlocks;
  for (int b = 0; b < MeasureBlocks; ++b)
    for (int i = 0; i < PresentationCount; ++i)
      drivenSteps(Presentations[i], b == 0 ? WarmUpSteps : 0, blockSteps, f[i]);
  for (int i = 0; i < PresentationCount; ++i) {
    f[i].engineMs /= blockSteps * MeasureBlocks;
    f[i].presentMs /= blockSteps * MeasureBlocks;
    timedTicks(Presentations[i], f[i]);
  }
}

static int play(const std::string& rect, const char* options) {
  std::string params[4] = {rect, "Sparkle", "100", options};
  char* slots[4] = {&params[0][0], &params[1][0], &params[2][0], &params[3][0]};
  return runAction(options[0] ? 3 : 1, slots);
}

static int playOn(const std::vector<std::string>& names, int count, const char* options) {
  for (int i = 0; i < count; ++i)
    if (!play(names[i], options)) {
      fprintf(stderr, "frame_step_bench: Play failed on %s\n", names[i].c_str());
      return 0;
    }
  return 1;
}

static void stopAll() {
  stopTimers();
  runAction(4, nullptr);
  pump();
}

// Distinct frames a reader of the screen over area sees in WatchMs, with this thread pumping
// (free) or asleep (busy), while the presentation's timer runs.
static void watchScreen(const PresentWay& p, const RECT& area, int& free, int& busy) {
  free = busy = 0;
  handOver();
  if (!startTimer(p)) return;
  pumpFor(500);
  HostScreenWatch watch = {};
  if (hostStartScreenWatch(watch, area, WatchMs, WatchEveryMs)) {
    pumpFor(WatchMs + 50);
    hostFinishScreenWatch(watch);
    free = watch.changes;
  }
  if (hostStartScreenWatch(watch, area, WatchMs, WatchEveryMs)) {
    Sleep(WatchMs + 50);  // the host is busy: nothing sent or posted to this thread is served
    hostFinishScreenWatch(watch);
    busy = watch.changes;
  }
  stopTimers();
}

int main(int argc, char** argv) {
  const int steps = argc > 1 && atoi(argv[1]) > 0 ? atoi(argv[1]) : 120;
  HostStandIn host = {};
  if (!hostCreatePage(host, 4 * 330, 4 * 250)) return 1;
  std::vector<std::string> names;
  for (int i = 0; i < 16; ++i) {
    names.push_back("R" + std::to_string(i));
    hostAddObject(host, names.back(), (i % 4) * 330, (i / 4) * 250, 320, 240);
  }
  hostMakeCurrent(host);
  runtimeInit(GetModuleHandleW(nullptr));
  connectHost(reinterpret_cast<InterfaceAccessFn>(hostInterfaceAccess),
              reinterpret_cast<SetVariableFn>(hostSetVariable), host.page);
  SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);  // away from the caption

  printf("emitters  presentation  update+render ms  present ms  tick ms  ticks/s run  "
         "ticks/s skipped\n");
  TickFigures at16[PresentationCount] = {};
  double oneFramePresentMs = 0;
  for (int count : EmitterCounts) {
    if (!playOn(names, count, "")) return 1;
    TickFigures figures[PresentationCount];
    measure(steps, figures);
    for (int i = 0; i < PresentationCount; ++i) {
      const TickFigures& f = figures[i];
      printf("%8d  %12s  %16.2f  %10.2f  %7.2f  %11.1f  %15.1f\n", count, Presentations[i].name,
             f.engineMs, f.presentMs, f.engineMs + f.presentMs, f.ranPerS, f.skippedPerS);
      fflush(stdout);
      if (count == 16) at16[i] = f;
      if (count == 1 && Presentations[i].usesRuntimeTimer) oneFramePresentMs = f.presentMs;
    }
    stopAll();
  }

  // Bursts that have ended stay registered with rendering off: a whole tick of the runtime's
  // frame step over 16 of them, against presenting one frame.
  if (!playOn(names, 16, "mode=burst:20;life=0.1")) return 1;
  const DWORD waitStart = GetTickCount();
  int ended = 0;
  while (!ended && GetTickCount() - waitStart < 20000) {
    pumpFor(50);
    lockEngine();
    ended = 1;
    registryWalk(registry, [&](Emitter& e) { ended &= e.renderingEnabled == 0; });
    unlockEngine();
  }
  stopTimers();
  // The whole tick of the runtime's frame step, and the bursts' part measured as the rows above
  // measure a live emitter's (advance, then present). With nothing drawing, the tick skips the
  // caption rule's look at the cursor and the host window too.
  double endedMs = 0, walkMs = 0;
  for (int s = 0; s < steps; ++s) {
    lockEngine();
    const double t0 = nowMs();
    frameStep();
    const double t1 = nowMs();
    const uint32_t tick = GetTickCount();
    registryWalk(registry, [&](Emitter& e) {
      if (advanceEmitter(e, tick)) ended = 0;
      ourPresentFrame(e);
    });
    const double t2 = nowMs();
    unlockEngine();
    endedMs += t1 - t0;
    walkMs += t2 - t1;
    pump();
  }
  endedMs /= steps;
  walkMs /= steps;
  const double ours16Tick = at16[PresentationCount - 1].presentMs;
  printf("16 ended bursts: %.3f ms per tick%s (%.4f ms of it for the bursts), %.1f %% of one "
         "presented frame (%.2f ms), %.2f %% of a tick presenting 16 (%.1f ms)\n",
         endedMs, ended ? "" : " (not all ended)", walkMs,
         oneFramePresentMs > 0 ? 100.0 * endedMs / oneFramePresentMs : 0.0, oneFramePresentMs,
         ours16Tick > 0 ? 100.0 * endedMs / ours16Tick : 0.0, ours16Tick);
  stopAll();

  const double plain16 = at16[0].presentMs, ours16 = at16[PresentationCount - 1].presentMs;
  printf("present speed-up at 16 emitters: %.1fx\n", ours16 > 0 ? plain16 / ours16 : 0.0);

  // The reader's cursor, for one Sparkle at intensity 100 with the cursor in the middle of its
  // rectangle, by cursor mode: what the frame step adds to read it (the cursor, the button, the
  // rectangle's place and the windows over it), and the update and drawing that follow.
  // Presenting is left out: it is the same in every mode and far noisier than the difference.
  {
    RECT r = {};
    HWND rect0 = hostFindObject(host, names[0]);
    GetClientRect(rect0, &r);
    POINT middle = {r.right / 2, r.bottom / 2};
    ClientToScreen(rect0, &middle);
    const char* const modes[] = {"speed=1", "cursor=follow", "cursor=repel", "cursor=attract", "click=burst"};
    printf("cursor mode      cursor read ms  button+place ms  update+render ms  (1 Sparkle, 320 x 240, "
           "cursor over it; the read is once per tick, shared with the caption rule)\n");
    for (const char* mode : modes) {
      if (!play(names[0], mode)) return 1;
      stopTimers();
      SetCursorPos(middle.x, middle.y);
      double readMs = 0, placeMs = 0, engineMs = 0;
      PressWatch watch = {};
      for (int s = 0; s < WarmUpSteps + steps; ++s) {
        lockEngine();
        Emitter* e = registryFind(registry, rectKey(names[0]));
        const double t0 = nowMs();
        POINT cursor = {};
        GetCursorPos(&cursor);
        const double t1 = nowMs();
        pollLeftPress(watch);
        if (e) e->cursor = cursorOverWindow(rect0, cursor, e->frame.frameWidth, e->frame.frameHeight);
        const double t2 = nowMs();
        if (e) advanceEmitter(*e, GetTickCount());
        const double t3 = nowMs();
        unlockEngine();
        if (s >= WarmUpSteps) {
          readMs += t1 - t0;
          placeMs += t2 - t1;
          engineMs += t3 - t2;
        }
        Sleep(1);
      }
      printf("%-15s  %14.3f  %15.3f  %16.3f\n", mode, readMs / steps, placeMs / steps, engineMs / steps);
      fflush(stdout);
      stopAll();
    }
    SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);
  }

  // The screen over one effect while others play, the user-interface thread busy and free.
  if (!playOn(names, BusyHostEmitters, "")) return 1;
  RECT area = {};
  GetClientRect(hostFindObject(host, names[0]), &area);
  MapWindowPoints(hostFindObject(host, names[0]), nullptr, reinterpret_cast<POINT*>(&area), 2);
  int free[PresentationCount] = {}, busy[PresentationCount] = {};
  for (int i = PresentationCount - 1; i >= 0; --i) {
    watchScreen(Presentations[i], area, free[i], busy[i]);
    pumpFor(200);  // what the sleep held back
  }
  stopAll();
  const int ours = PresentationCount - 1;
  printf("busy host: %d distinct frames in 1.5 s\n", busy[ours]);
  printf("  with the UI thread free: %d distinct frames in 1.5 s (busy sees %.0f %% of it); "
         "plain presentation: %d busy, %d free\n",
         free[ours], free[ours] > 0 ? 100.0 * busy[ours] / free[ours] : 0.0, busy[0], free[0]);
  hostDestroyPage(host);
  return 0;
}
