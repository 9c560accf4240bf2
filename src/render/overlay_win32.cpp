// The frame bitmap (a 32-bit top-down DIB section the renderer fills in place) and the overlay
// window (a layered, non-activating, click-through popup over the host rectangle's client area)
// of one effect, and the presentation of each frame. Owns no state of its own: the handles and
// the presentation's bookkeeping (device context, what the screen shows, what was asked of the
// window) live in the Presentation record, the pixels in the FrameBuffer.
#include "render/overlay_win32.h"

// Presented frames between two looks at what lies above an in-front overlay (about 130 ms).
constexpr int32_t OrderCheckFrames = 8;
// Presented frames to wait for the owner thread to apply a placement before asking again.
constexpr int32_t PlaceRetryFrames = 30;
// The extended style that marks an overlay (with the window's instance, ours).
constexpr LONG OverlayExStyle = WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TOOLWINDOW |
                                WS_EX_TRANSPARENT;

static HWND hwndOf(void* p) { return static_cast<HWND>(p); }

void releasePresentation(Presentation& e) {
  // Deleting the context lets go of the bitmap selected into it.
  if (e.presentDc) DeleteDC(static_cast<HDC>(e.presentDc));
  e.presentDc = nullptr;
  e.presentDcBitmap = nullptr;
  e.presentedValid = 0;
}

void releaseFrameBitmap(Presentation& e, FrameBuffer& f) {
  releasePresentation(e);  // a bitmap still selected into a context cannot be deleted
  if (!e.frameBitmap) return;
  DeleteObject(static_cast<HBITMAP>(e.frameBitmap));
  e.frameBitmap = nullptr;
  f.pixelBits = nullptr;
  f.frameWidth = 0;
  f.frameHeight = 0;
  f.drawnValid = 0;
}

int ensureFrameBitmap(Presentation& e, FrameBuffer& f, int32_t width, int32_t height) {
  if (e.frameBitmap && f.frameWidth == width && f.frameHeight == height) return 1;
  releaseFrameBitmap(e, f);
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
  f.pixelBits = static_cast<uint32_t*>(bits);
  f.frameWidth = width;
  f.frameHeight = height;
  f.drawnValid = 0;  // a new buffer: the renderer must clear all of it
  return 1;
}

HWND createOverlay(Presentation& e, HWND rect, HINSTANCE instance) {
  if (e.overlay && IsWindow(hwndOf(e.overlay))) return hwndOf(e.overlay);
  HWND owner = GetParent(rect);
  if (!owner) owner = rect;
  HWND w = CreateWindowExW(OverlayExStyle, L"Static", L"", WS_POPUP, 0, 0, 10, 10, owner, nullptr,
                           instance, nullptr);
  e.overlay = w;
  e.placeW = 0;
  e.presentedValid = 0;
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

void placeOverlay(Presentation& e, HWND rect, int32_t inFront) {
  HWND overlay = hwndOf(e.overlay);
  if (!overlay || !IsWindow(rect)) return;
  int32_t x, y, w, h;
  rectGeometry(rect, x, y, w, h);
  if (inFront)
    SetWindowPos(overlay, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE | SWP_NOSIZE);
  else
    SetWindowPos(overlay, HWND_BOTTOM, x, y, w, h, SWP_NOACTIVATE);
  // The next frame sizes it (in front) and repaints all of it at its new place.
  e.placeW = 0;
  e.presentedValid = 0;
}

void hideOverlayAsync(Presentation& e) {
  if (e.overlay) ShowWindowAsync(hwndOf(e.overlay), SW_HIDE);
}

void showOverlayAsync(Presentation& e) {
  if (!e.overlay) return;
  ShowWindowAsync(hwndOf(e.overlay), SW_SHOWNOACTIVATE);
  // Shown again: others may have been raised over it or sunk under it meanwhile.
  e.placeW = 0;
  e.presentedValid = 0;
}

void keepOverlayHiddenAsync(Presentation& e) {
  HWND overlay = hwndOf(e.overlay);
  if (overlay && IsWindowVisible(overlay)) ShowWindowAsync(overlay, SW_HIDE);
}

// Asks the owner thread to put the overlay over (x, y, w, h), show it and restore its place in
// the window order; returns at once.
static void requestPlace(Presentation& e, int32_t inFront, HWND overlay, int32_t x, int32_t y, int32_t w,
                         int32_t h, int shown) {
  SetWindowPos(overlay, inFront ? HWND_TOPMOST : HWND_BOTTOM, x, y, w, h,
               SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS | (shown ? 0 : SWP_SHOWWINDOW));
  e.placeX = x;
  e.placeY = y;
  e.placeW = w;
  e.placeH = h;
  e.placeWaitFrames = PlaceRetryFrames;
  e.orderCheckFrames = OrderCheckFrames;
}

struct CoverSearch {
  HWND overlay;        // the in-front overlay looked at
  RECT area;           // its screen rectangle
  HINSTANCE instance;  // the instance our overlays are created on
  int covered;         // 1 once a window of another kind is found above it, over its area
};

static BOOL CALLBACK findCover(HWND w, LPARAM param) {
  CoverSearch& s = *reinterpret_cast<CoverSearch*>(param);
  if (w == s.overlay) return FALSE;  // reached it from the top: nothing above covers it
  if (!IsWindowVisible(w)) return TRUE;
  // Another overlay of ours: in front as well, and its order is its own business.
  if (reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(w, GWLP_HINSTANCE)) == s.instance &&
      (GetWindowLongW(w, GWL_EXSTYLE) & OverlayExStyle) == OverlayExStyle)
    return TRUE;
  RECT r = {}, both = {};
  if (!GetWindowRect(w, &r) || !IntersectRect(&both, &r, &s.area)) return TRUE;
  s.covered = 1;
  return FALSE;
}

// Whether a visible window that is not one of our overlays lies above the overlay in the window
// order and over its area. Windows above a topmost window are topmost themselves, so the walk
// from the top is short; EnumWindows fetches the order in one go.
static int coveredByAnotherWindow(HWND overlay, const RECT& area) {
  CoverSearch s = {overlay, area,
                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(overlay, GWLP_HINSTANCE)), 0};
  EnumWindows(findCover, reinterpret_cast<LPARAM>(&s));
  return s.covered;
}

// The memory device context holding the frame bitmap, made on first use and kept.
static HDC presentationDc(Presentation& e) {
  if (e.presentDc && e.presentDcBitmap == e.frameBitmap) return static_cast<HDC>(e.presentDc);
  if (!e.presentDc) e.presentDc = CreateCompatibleDC(nullptr);
  if (!e.presentDc) return nullptr;
  SelectObject(static_cast<HDC>(e.presentDc), static_cast<HBITMAP>(e.frameBitmap));
  e.presentDcBitmap = e.frameBitmap;
  return static_cast<HDC>(e.presentDc);
}

static int emptyRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) { return x0 >= x1 || y0 >= y1; }

void presentFrame(Presentation& e, const FrameBuffer& f, HWND rect, int32_t inFront) {
  HWND overlay = hwndOf(e.overlay);
  if (!overlay || !e.frameBitmap || !IsWindow(rect)) return;
  int32_t x, y, w, h;
  rectGeometry(rect, x, y, w, h);
  if (w <= 0 || h <= 0) return;

  // Where the window is and whether it shows: the owner thread applies what is asked of it when
  // it next reads its queue, so until then it may be elsewhere, of another size, or hidden.
  RECT now = {};
  GetWindowRect(overlay, &now);
  const int shown = IsWindowVisible(overlay) != 0;
  const int placed = shown && now.left == x && now.top == y && now.right - now.left == w &&
                     now.bottom - now.top == h;
  if (!placed) e.presentedValid = 0;  // what it shows is not (all of) the last frame presented
  if (!placed || e.placeW == 0) {
    const int asked = e.placeW != 0 && e.placeX == x && e.placeY == y && e.placeW == w &&
                      e.placeH == h;
    if (!asked || --e.placeWaitFrames <= 0) requestPlace(e, inFront, overlay, x, y, w, h, shown);
  } else if (inFront && --e.orderCheckFrames <= 0) {
    e.orderCheckFrames = OrderCheckFrames;
    if (coveredByAnotherWindow(overlay, now)) requestPlace(e, inFront, overlay, x, y, w, h, shown);
  }
  if (!shown) return;  // nothing to see until it shows; the frame after that is pushed whole

  const int32_t W = f.frameWidth, H = f.frameHeight;
  const int drawnEmpty = f.drawnValid && emptyRect(f.drawnX0, f.drawnY0, f.drawnX1, f.drawnY1);
  const int presentedEmpty =
      emptyRect(e.presentedX0, e.presentedY0, e.presentedX1, e.presentedY1);
  // The same empty frame again: the screen shows it already.
  if (e.presentedValid && drawnEmpty && presentedEmpty) return;

  // Only what this frame drew or the last presented one had drawn can differ on the screen.
  RECT dirty = {0, 0, W, H};
  const RECT* dirtyArea = nullptr;
  if (e.presentedValid && f.drawnValid) {
    RECT drawn = {f.drawnX0, f.drawnY0, f.drawnX1, f.drawnY1};
    RECT before = {e.presentedX0, e.presentedY0, e.presentedX1, e.presentedY1};
    RECT frame = {0, 0, W, H};
    UnionRect(&dirty, &drawn, &before);  // an empty one adds nothing
    IntersectRect(&dirty, &dirty, &frame);
    dirtyArea = &dirty;
  }
  HDC memory = presentationDc(e);
  if (!memory) return;
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UPDATELAYEREDWINDOWINFO info = {};
  info.cbSize = sizeof info;
  info.hdcSrc = memory;
  info.pptSrc = &source;
  info.pblend = &blend;
  info.dwFlags = ULW_ALPHA;
  info.prcDirty = dirtyArea;
  // No destination point or size: the window stays where it is, so the owner is not involved.
  UpdateLayeredWindowIndirect(overlay, &info);
  if (!placed) return;
  e.presentedValid = 1;
  if (f.drawnValid) {
    e.presentedX0 = f.drawnX0;
    e.presentedY0 = f.drawnY0;
    e.presentedX1 = f.drawnX1;
    e.presentedY1 = f.drawnY1;
  } else {
    e.presentedX0 = e.presentedY0 = 0;  // drawn anywhere, as far as is known
    e.presentedX1 = W;
    e.presentedY1 = H;
  }
}
