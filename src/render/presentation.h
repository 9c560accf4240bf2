// The overlay's record of one effect's presentation: its window, the bitmap the frame lives in,
// the memory device context that holds it, what the screen shows and what was last asked of the
// window. Handles are opaque pointer-sized fields so that the record stays portable (the runtime's
// record composes it); only the Windows overlay (render/overlay_win32) reads or writes them.
// Zero-filled: nothing made, nothing presented yet.
#pragma once

#include <cstdint>

struct Presentation {
  void* overlay;                 // the overlay window; null when none
  void* frameBitmap;             // 32-bit DIB section holding the frame's pixels; null when none
  void* presentDc;               // memory device context holding frameBitmap; null until used
  void* presentDcBitmap;         // the bitmap selected into presentDc (a new frameBitmap differs)
  int32_t presentedValid;        // 1 while the overlay shows the frame presented last, placed
  int32_t presentedX0, presentedY0, presentedX1, presentedY1;  // what that frame drew, pixels
  int32_t placeX, placeY;        // screen position last asked of the overlay window, pixels
  int32_t placeW, placeH;        // size last asked of it, pixels; placeW 0: ask at next frame
  int32_t placeWaitFrames;       // presented frames to wait for that request before asking again
  int32_t orderCheckFrames;      // presented frames until an in-front overlay's order is checked
};
