// renderFrame: draws an emitter's live particles into its frame buffer (premultiplied
// 0xAARRGGBB, top row first) with our own anti-aliased rasterizer, then applies the additive
// brightening. The buffer (pixelBits, frameWidth x frameHeight) is owned by the emitter.
#pragma once

#include <cstdint>

struct Emitter;

struct DrawBudget;

// budget null: the whole frame, particles in slot order. With a budget, see DrawBudget.
void renderFrame(Emitter& emitter, DrawBudget* budget = nullptr);

// A share of one timer tick for drawing, common to every emitter drawn in that tick, so that one
// tick never holds the engine lock much longer than the share however costly the particles are.
// renderFrame with a budget starts at the emitter's drawResumeSlot and walks the slots round
// once; after each particle it reads the clock, and once the deadline has passed (or *stop is
// set) it leaves the rest of the frame undrawn, remembers the next slot in drawResumeSlot and
// sets exhausted. A frame drawn to the end sets drawResumeSlot back to 0. At least one particle
// is drawn per call, so every particle gets its turn over the following ticks.
struct DrawBudget {
  int64_t (*nowUs)();          // the clock, microseconds
  int64_t deadlineUs;          // drawing stops once nowUs() is past this
  const volatile long* stop;   // when non-null and set, drawing stops as at the deadline
  int32_t exhausted;           // 1 once a frame has been cut short
};

// Points the emitter's frame at a plain width x height buffer the caller owns (off-screen
// drawing: tools, tests, benchmarks): pixelBits, frameBitmap (renderFrame only asks that there is
// one), frameWidth and frameHeight, and the whole buffer counted as unknown so the next frame
// clears all of it.
void attachFrameBuffer(Emitter& emitter, uint32_t* pixels, int32_t width, int32_t height);

// The wall clock that twinkle reads: milliseconds as a signed 32-bit tick count. By default
// the system's tick count (GetTickCount on Windows, a monotonic clock elsewhere); tests and
// tools install their own for repeatable frames. nullptr restores the default.
typedef int32_t (*TickSourceFn)();
void setTickSource(TickSourceFn source);
int32_t currentTickMs();
