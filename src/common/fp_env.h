// The floating-point control words our code runs under. A host may run its thread with the
// invalid-operation, division-by-zero and overflow exceptions unmasked (a Delphi program leaves
// x87 at 0x1332 and MXCSR at 0x1900), so that each one traps instead of giving an infinity or a
// NaN. Our code is written for the masked defaults, so every way in from the outside (an export,
// a window or timer procedure, the multimedia timer's callback) switches to them and switches
// back on the way out, and every way back out to code that may be the host's (its callbacks, and
// message pumping that can dispatch its script) switches to the host's words for the call.
// State: per thread, the words of whoever called the outermost way in.
#pragma once

#include <cstdint>

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#define LUMIVEX_FP_CONTROL 1
#include <xmmintrin.h>
#endif

struct FpControl {
  uint16_t x87;    // x87 control word
  uint32_t mxcsr;  // SSE control and status register
};

// All exceptions masked, round to nearest, 53-bit x87 precision (what Windows sets for a new
// thread); no flush to zero.
constexpr FpControl EngineFpControl = {0x027F, 0x1F80};

inline FpControl readFpControl() {
  FpControl c = {EngineFpControl.x87, EngineFpControl.mxcsr};
#if defined(LUMIVEX_FP_CONTROL)
  __asm__ __volatile__("fnstcw %0" : "=m"(c.x87));
  c.mxcsr = _mm_getcsr();
#endif
  return c;
}

// Sets both words. The x87 exception flags our code may have raised while they were masked are
// cleared first: under an unmasked control word a pending flag traps at the next x87 instruction.
inline void writeFpControl(FpControl c) {
#if defined(LUMIVEX_FP_CONTROL)
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(c.x87));
  _mm_setcsr(c.mxcsr);
#else
  (void)c;
#endif
}

// Ours from here to the end of the scope; the caller's words come back exactly when it ends, on
// every path out. Nests: an inner scope (host script calling an export from our own pumping)
// saves and restores the words it found.
struct EngineFpScope {
  FpControl saved;
  EngineFpScope* outer;
  EngineFpScope();
  ~EngineFpScope();
  EngineFpScope(const EngineFpScope&) = delete;
  EngineFpScope& operator=(const EngineFpScope&) = delete;
};

// Ours for a thread that never calls out to the host (the multimedia timer's): the same words,
// saved and given back, without joining the per-thread chain, so that such a thread never needs
// thread-local storage of ours.
struct EngineFpWords {
  FpControl saved;
  EngineFpWords() : saved(readFpControl()) { writeFpControl(EngineFpControl); }
  ~EngineFpWords() { writeFpControl(saved); }
  EngineFpWords(const EngineFpWords&) = delete;
  EngineFpWords& operator=(const EngineFpWords&) = delete;
};

// Inside an EngineFpScope: the words of the code that called us, for a call that may run that
// code (a host callback, message pumping); ours come back when it ends. Outside any scope it
// changes nothing.
struct HostFpScope {
  int active;
  HostFpScope();
  ~HostFpScope();
  HostFpScope(const HostFpScope&) = delete;
  HostFpScope& operator=(const HostFpScope&) = delete;
};
