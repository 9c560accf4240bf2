// The shared timer's frame step under Wine (or Windows): 1, 4 and 16 emitters of 320 x 240
// playing Sparkle at intensity 100 on a host stand-in page, with the runtime and actions linked
// in as Lumivex.dll has them. For each count it prints the cost of one tick split into update
// and render (advanceEmitter) and presentation (presentFrame), measured with the timer stopped
// and the steps driven here, and then, with the timer running, how many ticks per second
// actually ran a frame step and how many were skipped. Goal: 16 emitters within 8 ms per tick.
//   scripts/wine-run.sh build/win32/bin/frame_step_bench.exe [steps]   (under xvfb-run)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_standin/host_standin.h"
#include "plugin/actions.h"
#include "plugin/host_api.h"
#include "render/overlay_win32.h"
#include "runtime/frame_step.h"
#include "runtime/runtime_win32.h"

static double nowMs() {
  static LARGE_INTEGER frequency = {};
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

static void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

static int play(const std::string& rect) {
  std::string params[4] = {rect, "Sparkle", "100", ""};
  char* slots[4] = {&params[0][0], &params[1][0], &params[2][0], &params[3][0]};
  return runAction(1, slots);
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
  hostApi.interfaceAccess = reinterpret_cast<InterfaceAccessFn>(hostInterfaceAccess);
  hostApi.setVariable = reinterpret_cast<SetVariableFn>(hostSetVariable);
  hostApi.hostWindow = host.page;
  installHostLink();
  SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);  // away from the caption

  printf("emitters  update+render ms  present ms  tick ms  ticks/s run  ticks/s skipped\n");
  for (int count : {1, 4, 16}) {
    for (int i = 0; i < count; ++i)
      if (!play(names[i])) {
        fprintf(stderr, "frame_step_bench: Play failed on %s\n", names[i].c_str());
        return 1;
      }
    // Steps driven here, timer stopped: the first second fills the pools to their steady state.
    lockEngine();
    timerKill();
    unlockEngine();
    double engine = 0, present = 0;
    for (int s = 0; s < 60 + steps; ++s) {
      lockEngine();
      const uint32_t tick = GetTickCount();
      registryWalk(registry, [&](Emitter& e) {
        const double t0 = nowMs();
        const int drawn = advanceEmitter(e, tick);
        const double t1 = nowMs();
        if (drawn) presentFrame(e);
        const double t2 = nowMs();
        if (s >= 60) {
          engine += t1 - t0;
          present += t2 - t1;
        }
        // Each step is one frame later on the emitter's clock, whatever the real time was.
        e.lastTickMs = tick - 16;
      });
      unlockEngine();
      pump();
    }
    // The real timer for five seconds.
    lockEngine();
    timerStart();
    unlockEngine();
    const LONG ran0 = runtime.ticksStepped, skipped0 = runtime.ticksSkipped;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000) {
      pump();
      Sleep(2);
    }
    const double seconds = (GetTickCount() - start) / 1000.0;
    const double ran = (runtime.ticksStepped - ran0) / seconds;
    const double skipped = (runtime.ticksSkipped - skipped0) / seconds;
    printf("%8d  %16.2f  %10.2f  %7.2f  %11.1f  %15.1f\n", count, engine / steps, present / steps,
           (engine + present) / steps, ran, skipped);
    fflush(stdout);
    runAction(4, nullptr);
    pump();
  }
  hostDestroyPage(host);
  return 0;
}
