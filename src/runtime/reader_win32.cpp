// The reader's settings and input as the runtime and the preview read them: the animation
// setting (with the tests' override), the cursor over a window, left-button presses. State: the
// override only; each caller keeps its own PressWatch.
#include "runtime/reader_win32.h"

static int gAnimationsOffForTests = -1;  // -1: ask the machine

void setAnimationsOffForTests(int answer) { gAnimationsOffForTests = answer < 0 ? -1 : (answer ? 1 : 0); }

int animationsOff() {
  if (gAnimationsOffForTests >= 0) return gAnimationsOffForTests;
  BOOL on = TRUE;
  // Where the setting cannot be read (older systems), animations are shown.
  if (!SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &on, 0)) return 0;
  return on ? 0 : 1;
}

// Whether a window that lets the mouse through (our overlays: layered and transparent), or is
// hidden or minimised, or does not contain the point, may be over it without covering it.
// The place first: most windows are elsewhere, and each question is a call into the system.
static int covers(HWND w, POINT cursor) {
  RECT r = {};
  if (!GetWindowRect(w, &r) || !PtInRect(&r, cursor)) return 0;
  if (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TRANSPARENT) return 0;
  return IsWindowVisible(w) && !IsIconic(w);
}

// Whether any window above `window` covers the point: its siblings above it at every level up to
// its top-level window, then the top-level windows above that. Asked by walking the window
// order, never by hit-testing (WindowFromPoint sends WM_NCHITTEST, and this runs on the timer's
// thread, which must never wait on the host's).
static int coveredAt(HWND window, POINT cursor) {
  HWND w = window;
  for (int depth = 0; w && depth < 64; ++depth) {
    int siblings = 0;
    for (HWND above = GetWindow(w, GW_HWNDPREV); above && siblings < 4096; above = GetWindow(above, GW_HWNDPREV), ++siblings)
      if (covers(above, cursor)) return 1;
    if (!(GetWindowLongW(w, GWL_STYLE) & WS_CHILD)) break;
    w = GetParent(w);
  }
  return 0;
}

CursorPoint cursorOverWindow(HWND window, POINT cursor, int32_t frameWidth, int32_t frameHeight) {
  CursorPoint none = NoCursor;
  if (!window || !IsWindow(window) || frameWidth <= 0 || frameHeight <= 0) return none;
  RECT client = {};
  if (!GetClientRect(window, &client)) return none;
  POINT p = cursor;
  if (!ScreenToClient(window, &p)) return none;
  const int32_t w = client.right - client.left, h = client.bottom - client.top;
  if (w <= 0 || h <= 0 || p.x < 0 || p.y < 0 || p.x >= w || p.y >= h) return none;
  if (coveredAt(window, cursor)) return none;
  // The middle of the cursor's pixel, in the frame's pixels.
  CursorPoint at;
  at.present = 1;
  at.x = (static_cast<float>(p.x) + 0.5f) * static_cast<float>(frameWidth) / static_cast<float>(w);
  at.y = (static_cast<float>(p.y) + 0.5f) * static_cast<float>(frameHeight) / static_cast<float>(h);
  return at;
}

int pollLeftPress(PressWatch& watch) {
  const int key = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
  const SHORT state = GetAsyncKeyState(key);
  const int down = (state & 0x8000) != 0;
  // The low bit says the button went down since the last look of anyone in this process: with
  // the button up and not down at our last poll, a press came and went between the two.
  const int pressedMeanwhile = (state & 1) != 0;
  const int press = watch.primed && !watch.wasDown && (down || pressedMeanwhile);
  watch.primed = 1;
  watch.wasDown = down;
  return press;
}
