// The Windows sprite codec: decoding and reduction through the GDI+ flat API, and the lazy
// once-per-process start of GDI+ that drawing shares. Windows build only.
#pragma once

#include "config/sprite.h"

// Starts GDI+ (version 1) once per process; 1 when it is running. A failed start is tried again
// by the next call. The first success also fills the noise table, so the timer thread never
// does that work in a frame.
int startGdiplus();
// At the end of the library: GDI+ stays started in the process (it is pinned there), but this
// library's record of it is cleared.
void forgetGdiplus();

// The codec record to hand to setSpriteCodec. Its start is startGdiplus.
const SpriteCodec* gdiplusSpriteCodec();
