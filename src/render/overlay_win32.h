// The Windows side of rendering: an emitter's frame bitmap (a 32-bit top-down DIB section that
// renderFrame fills in place) and its overlay window (a layered, non-activating, click-through
// popup over the host rectangle's client area), and the presentation of each frame. Windows
// build only; the handles live in the Emitter, nothing else is kept.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/emitter.h"

// A width x height frame bitmap (the one held is kept when it has that size already); 1 when the
// emitter holds one afterwards.
int ensureFrameBitmap(Emitter& emitter, int32_t width, int32_t height);
void releaseFrameBitmap(Emitter& emitter);
// The overlay window (the one held when it still exists), owned by the rectangle's parent and
// created on instance; null when it cannot be made.
HWND createOverlay(Emitter& emitter, HINSTANCE instance);
// Moves the overlay over its rectangle, topmost or at the bottom of the window order.
void placeOverlay(Emitter& emitter);
// Pushes the frame to the overlay over its rectangle and re-asserts its place in the window
// order. The caller decides whether overlays may show at all (host hiding, caption rule).
void presentFrame(Emitter& emitter);
