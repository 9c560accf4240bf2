// The Windows side of the emitter runtime: the library-wide runtime state (the registry, the
// engine lock, the shared multimedia timer and the hidden-overlay flags), the shared timer with
// its frame step, and the emitter life cycle. Windows build only; the portable record and
// registry are runtime/emitter.h, the engine's frame step runtime/frame_step.h, the overlay
// window and frame bitmap render/overlay_win32.h, what is asked of the host runtime/host_link.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/emitter.h"

struct RuntimeState {
  HMODULE module;                   // the library; instance of every overlay window
  volatile LONG shuttingDown;       // 1 from the start of unloading, never cleared
  volatile LONG callbacksRunning;   // timer callbacks inside the callback body (interlocked)
  volatile LONG lockWaiters;        // user-interface callers waiting in lockEngine (interlocked)
  int32_t timerRunning;             // 1 while the multimedia timer event exists
  UINT timerId;                     // from timeSetEvent; 0 when none
  int32_t overlaysHidden;           // 1 while the caption rule hides every overlay
  int32_t hostHidden;               // 1 from host message 7 until host message 8
  volatile LONG ticksStepped;       // timer ticks that ran a frame step (the benchmark reads it)
  volatile LONG ticksSkipped;       // timer ticks that found the lock taken or wanted
};

extern RuntimeState runtime;
extern EmitterRegistry registry;  // every running effect, guarded by the engine lock

// --- runtime_state.cpp: the state, the engine lock, waiting and pumping ------------------------
// At process attach: state cleared, engine lock initialised (once; never deleted).
void runtimeInit(HMODULE module);
void lockEngine();    // polls, serving sent messages, so the host stays responsive
void unlockEngine();
int tryLockEngine();  // one attempt, for the timer's tick; 1 when taken
void leaveEngineLock();  // releases what tryLockEngine took
void waitForCallbacks();
void pumpMessages(int maxCount);

// --- timer.cpp: the shared timer, the frame step and the end at unload -----------------------
// At process detach: kills the timer, lets a running callback leave (not when the process is
// ending: its threads are already gone), clears the registry.
void runtimeShutdown(int processEnding);
int timerStart();     // 1 when the timer runs afterwards
void timerStopRule(); // stops the timer when the registry is empty
void timerKill();     // stops the timer whatever the registry holds
void frameStep();     // one tick's work; the caller holds the engine lock

// --- lifecycle.cpp: preparing, starting and stopping emitters, host notifications ------------
// A fresh entry for rectName over its rectangle (replacing any effect on the same key), whose
// effect the caller then builds (runtime/effect.h); or null with the message already reported.
Emitter* prepareEmitter(const std::wstring& rectName, int32_t& width, int32_t& height);
int startEmitter(Emitter* emitter, int32_t width, int32_t height);
void stopEmitter(const std::string& key);  // key already normalised by rectKey
void stopAllEmitters();
void refitOverlays();        // host message 5
void hideOverlaysForHost();  // host message 7
void showOverlaysForHost();  // host message 8
