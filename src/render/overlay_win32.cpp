// The frame bitmap (a 32-bit top-down DIB section the renderer fills in place) and the overlay
// window (a layered, non-activating, click-through popup over the host rectangle's client area)
// of one emitter, and the presentation of each frame with UpdateLayeredWindow. Owns no state of
// its own: the handles live in the Emitter.
#include "render/overlay_win32.h"

static HWND hwndOf(void* p) { return static_cast<HWND>(p); }

void releaseFrameBitmap(Emitter& e) {
  if (!e.frameBitmap) return;
  DeleteObject(static_cast<HBITMAP>(e.frameBitmap));
  e.frameBitmap = nullptr;
  e.pixelBits = nullptr;
  e.frameWidth = 0;
  e.frameHeight = 0;
  e.drawnValid = 0;
}

int ensureFrameBitmap(Emitter& e, int32_t width, int32_t height) {
  if (e.frameBitmap && e.frameWidth == width && e.frameHeight == height) return 1;
  releaseFrameBitmap(e);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row 0 is the top of the rectangle
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return 0;
  }
  e.frameBitmap = bitmap;
  e.pixelBits = static_cast<uint32_t*>(bits);
  e.frameWidth = width;
  e.frameHeight = height;
  e.drawnValid = 0;  // a new buffer: the renderer must clear all of it
  return 1;
}

HWND createOverlay(Emitter& e, HINSTANCE instance) {
  if (e.overlay && IsWindow(hwndOf(e.overlay))) return hwndOf(e.overlay);
  HWND rect = hwndOf(e.hostRectWindow);
  HWND owner = GetParent(rect);
  if (!owner) owner = rect;
  HWND w = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT,
                           L"Static", L"", WS_POPUP, 0, 0, 10, 10, owner, nullptr, instance,
                           nullptr);
  e.overlay = w;
  return w;
}

// The rectangle's client size and the screen position of its client origin.
static void rectGeometry(HWND rect, int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
  RECT r = {};
  GetClientRect(rect, &r);
  POINT origin = {0, 0};
  ClientToScreen(rect, &origin);
  x = origin.x;
  y = origin.y;
  w = r.right - r.left;
  h = r.bottom - r.top;
}

void placeOverlay(Emitter& e) {
  HWND overlay = hwndOf(e.overlay);
  HWND rect = hwndOf(e.hostRectWindow);
  if (!overlay || !IsWindow(rect)) return;
  int32_t x, y, w, h;
  rectGeometry(rect, x, y, w, h);
  if (e.inFront)
    SetWindowPos(overlay, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE | SWP_NOSIZE);
  else
    SetWindowPos(overlay, HWND_BOTTOM, x, y, w, h, SWP_NOACTIVATE);
}

void presentFrame(Emitter& e) {
  HWND overlay = hwndOf(e.overlay);
  HWND rect = hwndOf(e.hostRectWindow);
  if (!e.renderingEnabled || !overlay || !e.frameBitmap || !IsWindow(rect)) return;
  int32_t x, y, w, h;
  rectGeometry(rect, x, y, w, h);
  if (w <= 0 || h <= 0) return;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ previous = SelectObject(memory, static_cast<HBITMAP>(e.frameBitmap));
  POINT destination = {x, y};
  SIZE size = {w, h};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(overlay, screen, &destination, &size, memory, &source, 0, &blend, ULW_ALPHA);
  SelectObject(memory, previous);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  // Other windows may have been raised over (or sunk under) the overlay since the last frame.
  SetWindowPos(overlay, e.inFront ? HWND_TOPMOST : HWND_BOTTOM, x, y, w, h,
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
}
