// Helpers shared by the plug-in test files; see plugin_util.h.
#include "plugin_util.h"

#include <vector>

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

int screenPixelsDiffering(const RECT& r, uint32_t colour) {
  std::vector<uint32_t> pixels;
  if (!hostReadScreen(r, pixels)) return -1;
  int differing = 0;
  for (uint32_t p : pixels)
    if (p != colour) ++differing;
  return differing;
}

uint32_t screenChecksum(const RECT& r) {
  std::vector<uint32_t> pixels;
  hostReadScreen(r, pixels);
  uint32_t sum = 2166136261u;  // FNV-1a over the colour words
  for (uint32_t p : pixels) sum = (sum ^ p) * 16777619u;
  return sum;
}

std::string writeTestSprite(const wchar_t* fileName) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  const std::wstring path = std::wstring(dir) + fileName;
  const int side = 16, rowBytes = side * 3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = side;
  info.biHeight = side;
  info.biPlanes = 1;
  info.biBitCount = 24;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + rowBytes * side;
  std::vector<uint8_t> pixels(rowBytes * side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int d2 = (x - 8) * (x - 8) + (y - 8) * (y - 8);
      const uint8_t v = d2 < 36 ? 255 : 40;
      uint8_t* p = &pixels[y * rowBytes + x * 3];
      p[0] = v / 2;
      p[1] = v;
      p[2] = v;
    }
  HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return "";
  DWORD written = 0;
  WriteFile(out, &file, sizeof file, &written, nullptr);
  WriteFile(out, &info, sizeof info, &written, nullptr);
  WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  CloseHandle(out);
  return std::string(path.begin(), path.end());
}
