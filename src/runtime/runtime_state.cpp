// The library-wide runtime state: RuntimeState, the registry of running effects, the engine lock
// that guards both, waiting for timer callbacks and bounded message pumping. Owns all of these.
#include <windows.h>

#include "common/fp_env.h"
#include "runtime/runtime_win32.h"

RuntimeState runtime = {};
EmitterRegistry registry;
std::multimap<std::string, Emitter> startingEmitters;

static CRITICAL_SECTION engineLock;
static int engineLockMade = 0;  // the critical section is initialised once and never deleted

constexpr int WaitRounds = 50;  // waitForCallbacks gives up after about 0.5 s

void runtimeInit(HMODULE module) {
  runtime = RuntimeState{};
  runtime.module = module;
  registryClear(registry);
  startingEmitters.clear();
  if (!engineLockMade) InitializeCriticalSection(&engineLock);
  engineLockMade = 1;
}

void lockEngine() {
  if (runtime.shuttingDown) return;
  if (TryEnterCriticalSection(&engineLock)) {
    ++runtime.lockDepth;
    return;
  }
  // A frame step slower than the timer period would otherwise hold the lock almost all the
  // time and starve this thread; ticks skip while someone waits here.
  InterlockedIncrement(&runtime.lockWaiters);
  for (;;) {
    if (TryEnterCriticalSection(&engineLock)) {
      InterlockedDecrement(&runtime.lockWaiters);
      ++runtime.lockDepth;
      return;
    }
    // Serves what other threads send to this thread's windows meanwhile (among them the moves,
    // order and showing the timer thread asks of our overlays without waiting for them).
    MSG msg;
    {
      HostFpScope hostWords;  // what is served may be the host's code
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    Sleep(1);
  }
}

void unlockEngine() {
  if (runtime.shuttingDown) return;
  --runtime.lockDepth;
  LeaveCriticalSection(&engineLock);
}

int32_t engineLockDepth() { return runtime.lockDepth; }

void releaseEngineLockTo(int32_t depth) {
  while (!runtime.shuttingDown && runtime.lockDepth > depth) unlockEngine();
}

void waitForCallbacks() {
  if (runtime.shuttingDown) return;
  for (int i = 0; i < WaitRounds && runtime.callbacksRunning > 0; ++i) {
    MSG msg;
    {
      HostFpScope hostWords;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    Sleep(10);
  }
}

void pumpMessages(int maxCount) {
  if (runtime.shuttingDown) return;
  MSG msg;
  // Host script runs from here: under the host's control words.
  HostFpScope hostWords;
  for (int n = 0; n < maxCount && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

int tryLockEngine() { return TryEnterCriticalSection(&engineLock); }

void leaveEngineLock() { LeaveCriticalSection(&engineLock); }
