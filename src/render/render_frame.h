// renderFrame: draws an emitter's live particles into its frame buffer (premultiplied
// 0xAARRGGBB, top row first) with our own anti-aliased rasterizer, then applies the additive
// brightening. The buffer (pixelBits, frameWidth x frameHeight) is owned by the emitter.
#pragma once

#include <cstdint>

struct Emitter;

void renderFrame(Emitter& emitter);

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
