// Helpers shared by the plug-in test files; see plugin_util.h.
#include "plugin_util.h"

std::wstring besideThisProgram(const wchar_t* file) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  size_t slash = dir.find_last_of(L"\\/");
  return dir.substr(0, slash + 1) + file;
}

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void pumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    pump();
    Sleep(5);
  }
}

struct WindowFilter {
  std::vector<HWND>* found;
  int overlaysOnly;
};

static BOOL CALLBACK collectWindow(HWND w, LPARAM p) {
  WindowFilter* filter = reinterpret_cast<WindowFilter*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != GetCurrentProcessId()) return TRUE;
  wchar_t cls[32] = {};
  GetClassNameW(w, cls, 32);
  const int overlay =
      lstrcmpiW(cls, L"Static") == 0 && (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_LAYERED);
  if (overlay || !filter->overlaysOnly) filter->found->push_back(w);
  return TRUE;
}

std::vector<HWND> overlays() {
  std::vector<HWND> found;
  WindowFilter filter = {&found, 1};
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&filter));
  return found;
}

std::vector<HWND> processWindows() {
  std::vector<HWND> found;
  WindowFilter filter = {&found, 0};
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&filter));
  return found;
}

RECT clientOnScreen(HWND w) {
  RECT r = {};
  GetClientRect(w, &r);
  POINT o = {0, 0};
  ClientToScreen(w, &o);
  return RECT{o.x, o.y, o.x + r.right, o.y + r.bottom};
}

// Reads the screen under r into a 32-bit top-down buffer and hands it to visit.
template <typename Visit>
static int readScreen(const RECT& r, Visit visit) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return 0;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  visit(static_cast<const uint32_t*>(bits), w * h);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  return 1;
}

int screenPixelsDiffering(const RECT& r, uint32_t colour) {
  int differing = 0;
  if (!readScreen(r, [&](const uint32_t* p, int n) {
        for (int i = 0; i < n; ++i)
          if ((p[i] & 0xFFFFFF) != colour) ++differing;
      }))
    return -1;
  return differing;
}

uint32_t screenChecksum(const RECT& r) {
  uint32_t sum = 2166136261u;  // FNV-1a over the colour bytes
  readScreen(r, [&](const uint32_t* p, int n) {
    for (int i = 0; i < n; ++i) sum = (sum ^ (p[i] & 0xFFFFFF)) * 16777619u;
  });
  return sum;
}
