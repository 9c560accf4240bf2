// The Windows side of the emitter runtime: the library-wide runtime state (the registry, the
// engine lock, the shared multimedia timer and the hidden-overlay flags), the shared timer with
// its frame step, and the emitter life cycle. Windows build only; the portable record and
// registry are runtime/emitter.h, the engine's frame step runtime/frame_step.h, the overlay
// window and frame bitmap render/overlay_win32.h, what is asked of the host runtime/host_link.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "runtime/emitter.h"
#include "runtime/reader_win32.h"

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
  int32_t lockDepth;                // lockEngine holds of the user-interface thread not yet released
  int32_t drawStart;                // registry position the next tick starts drawing at
  PressWatch leftPresses;           // the left button as the frame step polls it
  DWORD stepDelayMsForTests;        // milliseconds each emitter's step is slowed by; 0 (always 0
                                    // in the plug-in: only a test linking the runtime sets it)
};

extern RuntimeState runtime;
extern EmitterRegistry registry;  // every running effect, guarded by the engine lock
// Effects between prepareEmitter and the end of startEmitter: owned by the runtime but outside
// the registry, so that host script run from our own message pumping meanwhile can neither see,
// stop nor replace them. User-interface thread only.
extern std::multimap<std::string, Emitter> startingEmitters;

// --- runtime_state.cpp: the state, the engine lock, waiting and pumping ------------------------
// At process attach: state cleared, engine lock initialised (once; never deleted).
void runtimeInit(HMODULE module);
void lockEngine();    // polls, serving sent messages, so the host stays responsive
void unlockEngine();
// The user-interface thread's count of lockEngine holds, and the release of every hold taken
// since the count was depth: what the exports do when an exception has unwound through a holder.
int32_t engineLockDepth();
void releaseEngineLockTo(int32_t depth);
int tryLockEngine();  // one attempt, for the timer's tick; 1 when taken
void leaveEngineLock();  // releases what tryLockEngine took
void waitForCallbacks();
void pumpMessages(int maxCount);

// --- timer.cpp: the shared timer, the frame step and the end at unload -----------------------
// At process detach: kills the timer, lets a running callback leave (not when the process is
// ending: its threads are already gone), clears the registry. Every wait in it is bounded.
void runtimeShutdown(int processEnding);
int timerStart();     // 1 when the timer runs afterwards
// Once the registry is empty: stops the timer, and the host's hiding (message 7) is over.
void timerStopRule();
void timerKill();     // stops the timer whatever the registry holds
void frameStep();     // one tick's work; the caller holds the engine lock
constexpr int64_t FrameDrawBudgetUs = 12000;  // a tick's share for drawing, every emitter together
// For tests linking the runtime: each emitter's step slowed by ms (0: not), and the clock the
// drawing budget reads (null: the performance counter), in microseconds.
void setFrameStepDelayForTests(DWORD ms);
void setDrawClockForTests(int64_t (*nowUs)());

// --- lifecycle.cpp: preparing, starting and stopping emitters, host notifications ------------
// A fresh entry for rectName over its rectangle (after stopping any effect on the same key),
// held in startingEmitters, whose effect the caller then builds (runtime/effect.h); or null with
// the message already reported.
Emitter* prepareEmitter(const std::wstring& rectName, int32_t& width, int32_t& height);
// Gives the prepared entry its bitmap and overlay and moves it into the registry (replacing an
// effect that host script started on the same key meanwhile), then starts the timer; 1 when it
// runs. On failure the entry is torn down and gone.
int startEmitter(Emitter* emitter, int32_t width, int32_t height);
// Tears down whatever is still in startingEmitters: an action that an exception cut short. Only
// when no action is under way (the outermost export ends).
void discardStartingEmitters();
// Both take the entries out of the registry before they release anything or pump messages: host
// script run from the pumping finds a registry without them and may play, stop or stop all again.
void stopEmitter(const std::string& key);  // key already normalised by rectKey
void stopAllEmitters();
// Lumivex_Stop with a name: an effect whose options set a fade-out, and that is shown and not
// fading yet, starts fading and is released when the fade is over; anything else as stopEmitter.
void stopOrFadeEmitter(const std::string& key);
// Releases every effect that is over by itself: a fade that has run its time, and an effect with
// an end line (onEnd) once its burst has ended or its fade is over; each such line then goes to
// the host's script processor, once, after its effect is released. The host's thread runs this
// from a thread timer of its own, which Stop's fade and the start of an onEnd effect start.
void releaseEndedEffects();
void refitOverlays();        // host message 5
void hideOverlaysForHost();  // host message 7
void showOverlaysForHost();  // host message 8
