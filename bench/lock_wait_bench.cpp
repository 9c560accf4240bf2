// How long the host's user-interface thread can be kept waiting for the engine lock while an
// expensive effect plays: PlayAdvanced Big Sparkle 100 'size=1e6;density=100' (every particle
// far larger than the frame) over a 640 x 360 rectangle, with the runtime and actions linked in
// as Lumivex.dll has them. Prints the cost of one frame step (driven here with the timer
// stopped), then, with the shared timer running, the longest and mean wait of lockEngine on this
// thread and the longest Play + Stop of a small effect on another rectangle.
//   xvfb-run -a scripts/wine-run.sh build/win32/bin/lock_wait_bench.exe [seconds] [options]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host_standin/host_standin.h"
#include "plugin/actions.h"
#include "plugin/host_api.h"
#include "render/overlay_win32.h"
#include "runtime/runtime_win32.h"

static double nowMs() { return hostClockMs(); }
static void pump() { hostPump(); }

static int32_t act(int32_t action, std::string a, std::string b, std::string c, std::string d) {
  char* slots[4] = {&a[0], &b[0], &c[0], &d[0]};
  return runAction(action, slots);
}

int main(int argc, char** argv) {
  const int seconds = argc > 1 && atoi(argv[1]) > 0 ? atoi(argv[1]) : 10;
  const std::string options = argc > 2 ? argv[2] : "size=1e6;density=100";
  HostStandIn host = {};
  if (!hostCreatePage(host, 900, 420)) return 1;
  hostAddObject(host, "Big", 0, 0, 640, 360);
  hostAddObject(host, "Small", 660, 0, 160, 120);
  hostMakeCurrent(host);
  runtimeInit(GetModuleHandleW(nullptr));
  connectHost(reinterpret_cast<InterfaceAccessFn>(hostInterfaceAccess),
              reinterpret_cast<SetVariableFn>(hostSetVariable), host.page);
  SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);  // away from the caption

  if (!act(3, "Big", "Sparkle", "100", options)) {
    fprintf(stderr, "lock_wait_bench: PlayAdvanced failed: %s\n",
            host.variables["[Lumivex.LastError]"].c_str());
    return 1;
  }
  printf("effect: PlayAdvanced Big Sparkle 100 '%s' over 640x360\n", options.c_str());

  // Frame steps driven here, timer stopped, after a second of filling the pool.
  lockEngine();
  timerKill();
  unlockEngine();
  double stepTotal = 0, stepMax = 0;
  int measured = 0;
  const double fillUntil = nowMs() + 1000;
  for (int s = 0; measured < 20; ++s) {
    lockEngine();
    registryWalk(registry, [](Emitter& e) { e.lastTickMs = GetTickCount() - 16; });
    const double t0 = nowMs();
    frameStep();
    const double t = nowMs() - t0;
    unlockEngine();
    pump();
    if (nowMs() < fillUntil && s < 60) continue;
    stepTotal += t;
    stepMax = std::max(stepMax, t);
    ++measured;
  }
  int alive = 0;
  double presentMs = 0;
  lockEngine();
  registryWalk(registry, [&](Emitter& e) {
    alive += e.system.aliveCount;
    const double t0 = nowMs();
    presentFrame(e.presentation, e.frame, static_cast<HWND>(e.hostRectWindow), e.inFront);
    presentMs = nowMs() - t0;
  });
  unlockEngine();
  printf("frame step (timer stopped, %d steps, %d live particles): mean %.1f ms, max %.1f ms "
         "(of which presenting the frame %.1f ms)\n",
         measured, alive, stepTotal / measured, stepMax, presentMs);
  fflush(stdout);

  // The timer running: this thread takes the lock as an action would, at random moments.
  lockEngine();
  timerStart();
  unlockEngine();
  double waitMax = 0, waitTotal = 0, actionMax = 0;
  int waits = 0, actions = 0;
  const LONG ran0 = runtime.ticksStepped;
  const double end = nowMs() + seconds * 1000.0;
  srand(1);
  while (nowMs() < end) {
    const double t0 = nowMs();
    lockEngine();
    const double t = nowMs() - t0;
    unlockEngine();
    waitMax = std::max(waitMax, t);
    waitTotal += t;
    ++waits;
    if (waits % 25 == 0) {
      const double a0 = nowMs();
      act(1, "Small", "Sparkle", "50", "");
      act(2, "Small", "", "", "");
      actionMax = std::max(actionMax, nowMs() - a0);
      ++actions;
    }
    pump();
    Sleep(static_cast<DWORD>(rand() % 8));
  }
  const double ticksPerSecond = (runtime.ticksStepped - ran0) / static_cast<double>(seconds);
  printf("timer running %d s: lock wait on the UI thread max %.1f ms, mean %.2f ms over %d waits; "
         "Play+Stop of another effect max %.1f ms over %d; frame steps run %.1f per second\n",
         seconds, waitMax, waitTotal / waits, waits, actionMax, actions, ticksPerSecond);
  runAction(4, nullptr);
  pump();
  hostDestroyPage(host);
  return 0;
}
