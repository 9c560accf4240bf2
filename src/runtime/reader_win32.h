// What the runtime and the editors' preview read of the person reading the page: whether
// Windows is to show animations, where the cursor is over a window, and the left button's
// presses. Windows build only. Owns the tests' override of the animation setting.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine/particle_system.h"

// 1 when the reader has turned animations off ("Show animations in Windows" off, read through
// SPI_GETCLIENTAREAANIMATION), unless a test has set the answer.
int animationsOff();
// Tests: 1 or 0 answers animationsOff so; -1 (the start) reads the machine's setting again.
void setAnimationsOffForTests(int answer);

// The cursor over window's client area as a point of a frame of frameWidth x frameHeight
// pixels laid over it (scaled when the two sizes differ), or absent when the cursor is outside
// that area, when another window above it covers that point (windows that let the mouse
// through, as our overlays do, cover nothing), or when window is not a window. cursor: screen
// pixels. Sends no message: the timer's thread may call it.
CursorPoint cursorOverWindow(HWND window, POINT cursor, int32_t frameWidth, int32_t frameHeight);

// Left-button presses seen by polling: each press counted exactly once, whether it lasts over
// many polls or began and ended between two. The logical left button (swapped buttons honoured).
struct PressWatch {
  int32_t primed;   // 0 until the first poll, which only takes the button's state
  int32_t wasDown;  // 1 while the button was down at the last poll
};
// 1 when the button has been pressed since the last poll of watch. The first poll of a watch
// answers 0: a press from before (the click that started the effect, say) is not new.
int pollLeftPress(PressWatch& watch);
