// Helpers shared by the plug-in test files: finding files beside the test program, pumping this
// thread's messages while waiting for something the timer thread does, finding the overlays of
// this process and reading the screen under a rectangle. Owns no state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host_standin/host_standin.h"

inline std::wstring besideThisProgram(const wchar_t* file) { return hostBesideProgram(file); }
inline void pump() { hostPump(); }
inline void pumpFor(DWORD ms) { hostPumpFor(ms); }

// Pumps until cond() holds or timeoutMs have passed; returns cond()'s last answer. Waits are
// generous: under emulation a frame step can take far longer than its 16 ms.
template <typename Cond>
bool pumpUntil(Cond cond, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start > timeoutMs) return false;
    pump();
    Sleep(5);
  }
  return true;
}

// The top-level layered "Static" windows of this process: the overlays.
std::vector<HWND> overlays();
// Every top-level window of this process.
std::vector<HWND> processWindows();

// The client area of w in screen coordinates.
RECT clientOnScreen(HWND w);

// Pixels of the screen under r differing from colour (0x00RRGGBB), read through the screen DC;
// -1 when the screen could not be read.
int screenPixelsDiffering(const RECT& r, uint32_t colour);
// A checksum of the screen pixels under r (to see whether an image changes).
uint32_t screenChecksum(const RECT& r);

// A 16 x 16 24-bit BMP with a bright dot, written at run time into the temporary folder under
// fileName, for sprite effects; its path (ANSI), or the empty text when it could not be written.
std::string writeTestSprite(const wchar_t* fileName);
