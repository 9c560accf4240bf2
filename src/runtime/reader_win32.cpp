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

// Whether the window under the cursor lets it count as over `window`: the window itself, one in
// its top-level window, or a window of this process that is not (a dialog of ours above the
// page is another window, but our overlays let the mouse through and are never found).
static int cursorReaches(HWND window, POINT cursor) {
  HWND under = WindowFromPoint(cursor);
  if (!under) return 0;
  if (under == window) return 1;
  HWND root = GetAncestor(window, GA_ROOT);
  return root && GetAncestor(under, GA_ROOT) == root;
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
  if (!cursorReaches(window, cursor)) return none;
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
