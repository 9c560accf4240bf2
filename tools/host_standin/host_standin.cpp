// Host stand-in: loading the plug-in, the host's callbacks, variables, actions and the page
// window. Owns the current stand-in pointer and the window classes it registers. Question blocks
// that the plug-in hands to interfaceAccess become the host's when it answers: it frees them and
// hands back a GlobalAlloc answer block, which the plug-in then frees.
#include "host_standin/host_standin.h"

#include <cstring>

const char* const HostExportNames[HostExportCount] = {
    "_nbRegisterPlugIn", "_nbInitPlugIn", "_nbExecAction",
    "_nbEditAction",     "_nbMessage",    "_nbAbout",
    "_nbRegisterInterfaceAccess", "_nbRegisterScriptProcessor",
};

static HostStandIn* current = nullptr;

static const wchar_t* const PageClass = L"LumivexHostPage";
static const wchar_t* const RectClass = L"LumivexHostRect";
static const wchar_t* const ScriptClass = L"LumivexHostScript";
constexpr UINT ScriptMessage = WM_APP + 1;  // wParam: the script's function, lParam: its context

void hostMakeCurrent(HostStandIn& host) { current = &host; }

static std::string copyText(const char* text, int& isNull) {
  isNull = text == nullptr;
  return text ? std::string(text) : std::string();
}

static char* globalText(const std::string& text) {
  char* block = static_cast<char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, text.size() + 1));
  if (block) memcpy(block, text.c_str(), text.size());
  return block;
}

HWND hostFindObject(const HostStandIn& host, const std::string& name) {
  for (const HostPageObject& object : host.objects)
    if (lstrcmpiA(object.name.c_str(), name.c_str()) == 0) return object.window;
  return nullptr;
}

int32_t __stdcall hostAddAction(int32_t number, const char* name, const char* description,
                                const uint8_t* types, int32_t fifth, int32_t count) {
  if (!current) return 0;
  HostAction action = {};
  action.number = number;
  action.name = copyText(name, action.nameNull);
  action.description = copyText(description, action.descriptionNull);
  if (types) memcpy(action.types, types, sizeof action.types);
  action.fifth = fifth;
  action.count = count;
  current->actions.push_back(action);
  return 1;
}

int32_t __stdcall hostSetVariable(const char* name, const char* value) {
  if (!current || !name) return 0;
  current->setVariableCalls++;
  auto found = current->variables.find(name);
  if (found != current->variables.end())
    found->second = value ? value : "";
  else
    current->variables[name] = value ? value : "";
  return 1;
}

int32_t __stdcall hostScriptProcessor(const char* script) {
  if (!current || !script) return 0;
  HostScriptLine line;
  line.text = script;
  line.threadId = GetCurrentThreadId();
  line.blockWasGlobal = GlobalSize(GlobalHandle(script)) > line.text.size();
  current->scriptLines.push_back(line);
  if (current->onScript) current->onScript(*current, line.text);
  return 1;
}

int32_t __stdcall hostInterfaceAccess(int32_t request, char** text) {
  if (!current || !text) return 0;
  current->lastRequest = request;
  current->lastQuestion = *text ? *text : "";
  std::string answer;
  if (request == 7) {
    if (current->useAnswerOverride7) {
      answer = current->answerOverride7;
    } else {
      HWND found = hostFindObject(*current, current->lastQuestion);
      if (!found) return 0;
      answer = std::to_string(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(found)));
    }
  } else if (request == 8) {
    if (!current->pickSucceeds) return 0;
    answer = current->pickAnswer;
  } else {
    return 0;
  }
  char* block = globalText(answer);
  if (!block) return 0;
  if (*text) GlobalFree(*text);
  *text = block;
  return 1;
}

int hostLoad(HostStandIn& host, const wchar_t* dllPath) {
  hostMakeCurrent(host);
  host.module = LoadLibraryW(dllPath);
  host.exports = HostExports{};
  if (!host.module) return 0;
  FARPROC found[HostExportCount];
  int all = 1;
  for (int i = 0; i < HostExportCount; ++i) {
    found[i] = GetProcAddress(host.module, HostExportNames[i]);
    if (!found[i]) all = 0;
  }
  if (!all) return 0;
  host.exports.registerPlugIn = reinterpret_cast<NbRegisterPlugInFn>(reinterpret_cast<void*>(found[0]));
  host.exports.initPlugIn = reinterpret_cast<NbInitPlugInFn>(reinterpret_cast<void*>(found[1]));
  host.exports.execAction = reinterpret_cast<NbActionFn>(reinterpret_cast<void*>(found[2]));
  host.exports.editAction = reinterpret_cast<NbActionFn>(reinterpret_cast<void*>(found[3]));
  host.exports.message = reinterpret_cast<NbMessageFn>(reinterpret_cast<void*>(found[4]));
  host.exports.about = reinterpret_cast<NbAboutFn>(reinterpret_cast<void*>(found[5]));
  host.exports.registerInterfaceAccess = reinterpret_cast<NbRegisterInterfaceAccessFn>(reinterpret_cast<void*>(found[6]));
  host.exports.registerScriptProcessor = reinterpret_cast<NbRegisterScriptProcessorFn>(reinterpret_cast<void*>(found[7]));
  return 1;
}

int hostRegister(HostStandIn& host) {
  if (!host.exports.registerPlugIn) return 0;
  hostMakeCurrent(host);
  host.exports.registerPlugIn(reinterpret_cast<void*>(hostAddAction), 0, 0,
                              reinterpret_cast<void*>(hostSetVariable));
  char* title = nullptr;
  char* author = nullptr;
  char* description = nullptr;
  host.exports.initPlugIn(host.page, &title, &author, &description);
  int ignored = 0;
  host.title = copyText(title, ignored);
  host.author = copyText(author, ignored);
  host.description = copyText(description, ignored);
  host.exports.registerInterfaceAccess(reinterpret_cast<void*>(hostInterfaceAccess));
  host.exports.registerScriptProcessor(
      host.withholdScriptProcessor ? 0 : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hostScriptProcessor)));
  return 1;
}

void hostUnload(HostStandIn& host) {
  if (host.module) FreeLibrary(host.module);
  host.module = nullptr;
  host.exports = HostExports{};
}

static LRESULT CALLBACK rectProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN && current) current->rectClicks++;
  if (message == WM_ERASEBKGND) {
    // A visible fill, so screenshots show where the rectangles are.
    RECT r;
    GetClientRect(window, &r);
    HBRUSH brush = CreateSolidBrush(RGB(40, 60, 90));
    FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
    DeleteObject(brush);
    return 1;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

static LRESULT CALLBACK scriptProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ScriptMessage && wParam) {
    reinterpret_cast<void (*)(void*)>(wParam)(reinterpret_cast<void*>(lParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

static int registerClasses() {
  static int done = 0;
  if (done) return 1;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW page = {};
  page.lpfnWndProc = DefWindowProcW;
  page.hInstance = instance;
  page.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  page.lpszClassName = PageClass;
  WNDCLASSW rect = {};
  rect.lpfnWndProc = rectProc;
  rect.hInstance = instance;
  rect.lpszClassName = RectClass;
  WNDCLASSW script = {};
  script.lpfnWndProc = scriptProc;
  script.hInstance = instance;
  script.lpszClassName = ScriptClass;
  if (!RegisterClassW(&page) || !RegisterClassW(&rect) || !RegisterClassW(&script)) return 0;
  done = 1;
  return 1;
}

int hostCreatePage(HostStandIn& host, int32_t width, int32_t height) {
  if (!registerClasses()) return 0;
  RECT r = {0, 0, width, height};
  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  AdjustWindowRect(&r, style, FALSE);
  host.page = CreateWindowExW(0, PageClass, L"Lumivex host page", style, 40, 40, r.right - r.left,
                              r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
  if (!host.page) return 0;
  ShowWindow(host.page, SW_SHOWNOACTIVATE);
  return 1;
}

HWND hostAddObject(HostStandIn& host, const std::string& name, int32_t x, int32_t y, int32_t w,
                   int32_t h) {
  if (!host.page) return nullptr;
  HWND window = CreateWindowExW(0, RectClass, L"", WS_CHILD | WS_VISIBLE, x, y, w, h, host.page,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window) host.objects.push_back(HostPageObject{name, window});
  return window;
}

int hostPostScript(HostStandIn& host, void (*run)(void* context), void* context) {
  if (!registerClasses()) return 0;
  if (!host.scriptWindow || !IsWindow(host.scriptWindow))
    host.scriptWindow = CreateWindowExW(0, ScriptClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
  if (!host.scriptWindow) return 0;
  return PostMessageW(host.scriptWindow, ScriptMessage, reinterpret_cast<WPARAM>(run),
                      reinterpret_cast<LPARAM>(context)) ? 1 : 0;
}

void hostDestroyPage(HostStandIn& host) {
  if (host.page) DestroyWindow(host.page);  // takes the child rectangles with it
  host.page = nullptr;
  host.objects.clear();
}

std::wstring hostBesideProgram(const wchar_t* file) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1) + file;
}

void hostPump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

double hostClockMs() {
  static LARGE_INTEGER frequency = {};
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void hostPumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    hostPump();
    Sleep(5);
  }
}

int hostReadScreen(const RECT& r, std::vector<uint32_t>& pixels) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  pixels.clear();
  if (w <= 0 || h <= 0) return 0;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
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
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  pixels.resize(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = p[i] & 0xFFFFFF;
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  return 1;
}

static uint32_t screenChecksum(const std::vector<uint32_t>& pixels) {
  uint32_t sum = 2166136261u;  // FNV-1a over the colour words
  for (uint32_t p : pixels) sum = (sum ^ p) * 16777619u;
  return sum;
}

static DWORD WINAPI watchScreen(void* param) {
  HostScreenWatch& watch = *static_cast<HostScreenWatch*>(param);
  std::vector<uint32_t> pixels;
  uint32_t last = 0;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < watch.durationMs) {
    if (hostReadScreen(watch.area, pixels)) {
      const uint32_t sum = screenChecksum(pixels);
      if (watch.reads > 0 && sum != last) watch.changes++;
      last = sum;
      watch.reads++;
    }
    Sleep(watch.intervalMs);
  }
  return 0;
}

int hostStartScreenWatch(HostScreenWatch& watch, const RECT& area, DWORD durationMs,
                         DWORD intervalMs) {
  watch = HostScreenWatch{};
  watch.area = area;
  watch.durationMs = durationMs;
  watch.intervalMs = intervalMs;
  watch.thread = CreateThread(nullptr, 0, watchScreen, &watch, 0, nullptr);
  return watch.thread != nullptr;
}

void hostFinishScreenWatch(HostScreenWatch& watch) {
  if (!watch.thread) return;
  WaitForSingleObject(watch.thread, INFINITE);
  CloseHandle(watch.thread);
  watch.thread = nullptr;
}
