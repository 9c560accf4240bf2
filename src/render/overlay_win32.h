// The Windows side of rendering: an emitter's frame bitmap (a 32-bit top-down DIB section that
// renderFrame fills in place) and its overlay window (a layered, non-activating, click-through
// popup over the host rectangle's client area), and the presentation of each frame. Windows
// build only; the handles and the presentation's bookkeeping live in the Presentation record
// (render/presentation.h), the pixels in the renderer's FrameBuffer; nothing else is kept.
//
// The overlays belong to the host's user-interface thread, which creates them; frames are
// presented from the timer's thread. Nothing here that the timer's thread calls waits on the
// owner: pixels go out with UpdateLayeredWindowIndirect without a position or size (no message
// to the owner), and whatever must move, resize, show, hide or re-order the window is asked of
// the owner asynchronously, applied when it next reads its queue.
#pragma once

#include <windows.h>

#include <cstdint>

#include "render/presentation.h"
#include "render/render_frame.h"

// A width x height frame bitmap (the one held is kept when it has that size already), with the
// frame pointed at its pixels; 1 when there is one afterwards.
int ensureFrameBitmap(Presentation& presentation, FrameBuffer& frame, int32_t width, int32_t height);
// Frees the frame bitmap and the presentation's device context that holds it; the frame is left
// without pixels.
void releaseFrameBitmap(Presentation& presentation, FrameBuffer& frame);
// Frees only the presentation's device context (before the bitmap it holds can be deleted).
void releasePresentation(Presentation& presentation);
// The overlay window (the one held when it still exists), owned by the parent of the host's
// rectangle window and created on instance; null when it cannot be made.
HWND createOverlay(Presentation& presentation, HWND hostRect, HINSTANCE instance);
// Moves the overlay over its rectangle, topmost (inFront 1) or at the bottom of the window
// order, at once: for the thread that owns the overlay.
void placeOverlay(Presentation& presentation, HWND hostRect, int32_t inFront);
// Pushes what changed of the frame to the overlay over its rectangle; asks the owner thread to
// show it, to follow the rectangle and to restore its place in the window order when needed.
// The caller decides whether the effect is drawn and whether overlays may show at all (host
// hiding, caption rule). Never waits on the owner thread.
void presentFrame(Presentation& presentation, const FrameBuffer& frame, HWND hostRect, int32_t inFront);
// Ask the owner thread to hide or show the overlay and return at once. Showing also has the
// next presented frame re-place the overlay and restore its order.
void hideOverlayAsync(Presentation& presentation);
void showOverlayAsync(Presentation& presentation);
// While overlays are to stay hidden: hides the overlay again if it shows (a show asked for
// before the owner hid it may be applied after).
void keepOverlayHiddenAsync(Presentation& presentation);
