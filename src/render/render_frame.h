// renderFrame: draws a particle system's live particles into a frame (premultiplied
// 0xAARRGGBB, top row first) with our own anti-aliased rasterizer, then applies the additive
// brightening. The frame record is the renderer's own: the pixels, their size and what the last
// frame drew; whoever owns the memory (the overlay's bitmap, a tool's buffer) points it there.
#pragma once

#include <cstdint>

struct ParticleSystem;
struct Sprite;
struct DrawBudget;

struct FrameBuffer {
  uint32_t* pixelBits;           // frameWidth x frameHeight pixels, 0xAARRGGBB premultiplied
  int32_t frameWidth;            // pixels
  int32_t frameHeight;           // pixels
  // The rectangle of pixels the last rendered frame may have drawn into, so that the next frame
  // clears only that (x1, y1 exclusive). drawnValid 0: unknown, clear the whole buffer. Whoever
  // writes the buffer other than renderFrame, or replaces it, sets drawnValid to 0.
  int32_t drawnValid;
  int32_t drawnX0, drawnY0, drawnX1, drawnY1;  // pixels
  // Particle slot the next frame starts drawing at: 0, or the slot after the last one drawn in a
  // frame that the tick's drawing budget cut short.
  int32_t drawResumeSlot;
};

// Draws the system's particles into the frame, the sprite shape from sprite's picture, at
// (1 - fadeAmount) of their opacity (fadeAmount 0-1: how far a fade-out has gone). Nothing
// without pixels or with a side below 1. budget null: the whole frame, particles in slot order.
// With a budget, see DrawBudget.
void renderFrame(const ParticleSystem& system, const Sprite& sprite, FrameBuffer& frame, float fadeAmount = 0,
                 DrawBudget* budget = nullptr);

// A share of one timer tick for drawing, common to every emitter drawn in that tick, so that one
// tick never holds the engine lock much longer than the share however costly the particles are.
// renderFrame with a budget starts at the frame's drawResumeSlot and walks the slots round
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

// Points the frame at a plain width x height buffer the caller owns (off-screen drawing: tools,
// tests, benchmarks): pixelBits, frameWidth and frameHeight, and the whole buffer counted as
// unknown so the next frame clears all of it.
void attachFrameBuffer(FrameBuffer& frame, uint32_t* pixels, int32_t width, int32_t height);

// The wall clock that twinkle reads: milliseconds as a signed 32-bit tick count. By default
// the system's tick count (GetTickCount on Windows, a monotonic clock elsewhere); tests and
// tools install their own for repeatable frames. nullptr restores the default.
typedef int32_t (*TickSourceFn)();
void setTickSource(TickSourceFn source);
int32_t currentTickMs();
