// lumivex-demo.exe: a small host that loads Lumivex.dll through the host stand-in, puts a page of
// four named rectangles on the screen and plays effects over them.
//
//   lumivex-demo.exe                      a control window: rectangle, preset, intensity, colour
//                                         or options text, Play, PlayAdvanced, Stop, StopAll, the
//                                         action editors, and [Lumivex.LastError] after each call
//   lumivex-demo.exe --script FILE        runs the commands of FILE, one per line
//   lumivex-demo.exe COMMAND...           runs each argument as one command
//
// Commands: play RECT PRESET [INTENSITY] [R,G,B] | advanced RECT PRESET INTENSITY OPTIONS... |
// stop [RECT] | stopall | message CODE | move RECT X Y W H | wait MS | shot FILE.bmp |
// edit ACTION | about | cursor RECT FX FY (the mouse to that fraction of the rectangle) |
// cursor away | glide RECT FX0 FY0 FX1 FY1 MS (the mouse moved across it over MS) | click (a
// left click where the mouse is). Blank lines and lines starting with # are skipped. A line
// the plug-in hands to the host's script processor (an effect's onEnd) runs as a command too. Each command prints
// what the plug-in answered and the LastError text. A scripted run ends with StopAll and unloads
// the plug-in; it exits 1 when a command was malformed, a screenshot could not be written or the
// plug-in did not load, else 0.
// Owns the one stand-in of the process, the control window and the demo's parameter arrays.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "config/emitter_config.h"
#include "host_standin/host_standin.h"

namespace {

HostStandIn host = {};
const char* const LastError = "[Lumivex.LastError]";
const char* const RectNames[] = {"Rect1", "Rect2", "Rect3", "Rect4"};
const int RectBoxes[4][4] = {{20, 20, 340, 240}, {380, 20, 300, 240},   // x, y, w, h
                             {20, 280, 340, 220}, {380, 280, 300, 220}};

// The host's parameter array of one action: GlobalAlloc texts, as a real host holds them. An
// editor may replace a slot's block with one of its own; the old block is then the host's to free.
struct ParamArray {
  char* slots[4];
};

void setSlot(ParamArray& array, int index, const std::string& text) {
  char* block = static_cast<char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, text.size() + 1));
  if (block) memcpy(block, text.c_str(), text.size());
  if (array.slots[index]) GlobalFree(array.slots[index]);
  array.slots[index] = block;
}

std::string slotText(const ParamArray& array, int index) {
  return array.slots[index] ? std::string(array.slots[index]) : std::string();
}

// Runs action with params and reports the answer and LastError on stdout.
int32_t runAction(int32_t action, const std::vector<std::string>& params, std::string& report) {
  ParamArray array = {};
  for (size_t i = 0; i < params.size() && i < 4; ++i) setSlot(array, static_cast<int>(i), params[i]);
  host.variables[LastError] = "";
  const int32_t answer = host.exports.execAction(action, array.slots);
  for (char* slot : array.slots)
    if (slot) GlobalFree(slot);
  report = "answer " + std::to_string(answer) + ", LastError '" + host.variables[LastError] + "'";
  return answer;
}

// Opens the editor of action on array and reports what came back.
int32_t runEditor(int32_t action, ParamArray& array, std::string& report) {
  std::vector<char*> before(array.slots, array.slots + 4);
  const int32_t answer = host.exports.editAction(action, array.slots);
  report = "editor " + std::to_string(action) + " answered " + std::to_string(answer);
  for (int i = 0; i < 4; ++i) {
    report += i ? ", '" : ": '";
    report += slotText(array, i) + "'";
    // A written slot holds a new block; the one it replaced is the host's.
    if (array.slots[i] != before[i] && before[i]) GlobalFree(before[i]);
  }
  return answer;
}

// The whole screen as a 32-bit top-down BMP file: what the author would see, overlays included.
int saveScreen(const std::string& path) {
  const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  std::vector<uint32_t> pixels;
  if (!hostReadScreen(screen, pixels)) return 0;
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = screen.right;
  info.biHeight = -screen.bottom;
  info.biPlanes = 1;
  info.biBitCount = 32;
  const DWORD imageBytes = static_cast<DWORD>(pixels.size() * sizeof(uint32_t));
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + imageBytes;
  FILE* out = fopen(path.c_str(), "wb");
  if (!out) return 0;
  int ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
           fwrite(pixels.data(), 1, imageBytes, out) == imageBytes;
  ok = (fclose(out) == 0) && ok;
  return ok;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  std::string word;
  while (in >> word) out.push_back(word);
  return out;
}

// The text of line after its first n words (the options text of "advanced" may hold spaces).
std::string restAfterWords(const std::string& line, int n) {
  size_t at = 0;
  for (int i = 0; i < n; ++i) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string::npos) return "";
    at = line.find_first_of(" \t", at);
    if (at == std::string::npos) return "";
  }
  at = line.find_first_not_of(" \t", at);
  return at == std::string::npos ? "" : line.substr(at);
}

// The screen point at fractions fx, fy of the named rectangle's client area; 0 when there is no
// such rectangle.
int pointIn(const std::string& name, double fx, double fy, POINT& p) {
  HWND rect = hostFindObject(host, name);
  if (!rect) return 0;
  RECT r = {};
  GetClientRect(rect, &r);
  p.x = static_cast<LONG>(fx * r.right);
  p.y = static_cast<LONG>(fy * r.bottom);
  ClientToScreen(rect, &p);
  return 1;
}

void sendButton(DWORD flags) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

int runCommand(const std::string& line);

// The host's script processor as the demo plays it: the line is one of the demo's commands.
void runScriptLine(HostStandIn&, const std::string& line) {
  printf("script line from the plug-in: %s\n", line.c_str());
  runCommand(line);
}

// One script command; 1 when it was well formed and did what it says.
int runCommand(const std::string& line) {
  std::vector<std::string> w = words(line);
  if (w.empty() || w[0][0] == '#') return 1;
  const std::string& verb = w[0];
  std::string report;
  if (verb == "play" && w.size() >= 3 && w.size() <= 5) {
    runAction(1, {w[1], w[2], w.size() > 3 ? w[3] : "", w.size() > 4 ? w[4] : ""}, report);
  } else if (verb == "advanced" && w.size() >= 4) {
    runAction(3, {w[1], w[2], w[3], restAfterWords(line, 4)}, report);
  } else if (verb == "stop" && w.size() <= 2) {
    runAction(2, {w.size() > 1 ? w[1] : ""}, report);
  } else if (verb == "stopall" && w.size() == 1) {
    runAction(4, {}, report);
  } else if (verb == "message" && w.size() == 2) {
    report = "answer " + std::to_string(host.exports.message(atoi(w[1].c_str()), 0));
  } else if (verb == "move" && w.size() == 6) {
    HWND rect = hostFindObject(host, w[1]);
    if (!rect) {
      fprintf(stderr, "lumivex-demo: no rectangle '%s'\n", w[1].c_str());
      return 0;
    }
    MoveWindow(rect, atoi(w[2].c_str()), atoi(w[3].c_str()), atoi(w[4].c_str()),
               atoi(w[5].c_str()), TRUE);
    report = "moved";
  } else if (verb == "wait" && w.size() == 2) {
    hostPumpFor(static_cast<DWORD>(atoi(w[1].c_str())));
    report = "waited";
  } else if (verb == "shot" && w.size() == 2) {
    hostPump();
    if (!saveScreen(w[1])) {
      fprintf(stderr, "lumivex-demo: cannot write '%s'\n", w[1].c_str());
      return 0;
    }
    report = "saved " + w[1];
  } else if (verb == "edit" && w.size() == 2) {
    ParamArray array = {};
    runEditor(atoi(w[1].c_str()), array, report);
    for (char* slot : array.slots)
      if (slot) GlobalFree(slot);
  } else if (verb == "cursor" && w.size() == 2 && w[1] == "away") {
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
    report = "cursor away";
  } else if (verb == "cursor" && w.size() == 4) {
    POINT p = {};
    if (!pointIn(w[1], atof(w[2].c_str()), atof(w[3].c_str()), p)) {
      fprintf(stderr, "lumivex-demo: no rectangle '%s'\n", w[1].c_str());
      return 0;
    }
    SetCursorPos(p.x, p.y);
    report = "cursor at " + std::to_string(p.x) + "," + std::to_string(p.y);
  } else if (verb == "glide" && w.size() == 7) {
    POINT a = {}, b = {};
    if (!pointIn(w[1], atof(w[2].c_str()), atof(w[3].c_str()), a) ||
        !pointIn(w[1], atof(w[4].c_str()), atof(w[5].c_str()), b)) {
      fprintf(stderr, "lumivex-demo: no rectangle '%s'\n", w[1].c_str());
      return 0;
    }
    const int ms = atoi(w[6].c_str());
    const int steps = ms / 20 > 1 ? ms / 20 : 1;
    for (int k = 0; k <= steps; ++k) {
      SetCursorPos(a.x + (b.x - a.x) * k / steps, a.y + (b.y - a.y) * k / steps);
      hostPumpFor(20);
    }
    report = "glided";
  } else if (verb == "click" && w.size() == 1) {
    // Held over a few of the timer's ticks, as a reader's click is.
    sendButton(MOUSEEVENTF_LEFTDOWN);
    hostPumpFor(80);
    sendButton(MOUSEEVENTF_LEFTUP);
    report = "clicked";
  } else if (verb == "about" && w.size() == 1) {
    host.exports.about();
    report = "about closed";
  } else {
    fprintf(stderr, "lumivex-demo: cannot read command '%s'\n", line.c_str());
    return 0;
  }
  printf("%s -> %s\n", line.c_str(), report.c_str());
  fflush(stdout);
  return 1;
}

// --- The control window -------------------------------------------------------------------------

enum ControlId {
  IdRect = 100, IdPreset, IdIntensity, IdExtra, IdPlay, IdAdvanced, IdStop, IdStopAll,
  IdEditPlay, IdEditStop, IdEditAdvanced, IdAbout, IdStatus,
};

struct Panel {
  HWND window;
  HWND controls[IdStatus - IdRect + 1];
  ParamArray editArrays[4];  // the parameter arrays the editors of actions 1-3 work on
};

Panel panel = {};

HWND control(int id) { return panel.controls[id - IdRect]; }

std::string fieldText(int id) {
  char text[1024] = {};
  GetWindowTextA(control(id), text, sizeof text);
  return text;
}

void showStatus(const std::string& text) { SetWindowTextA(control(IdStatus), text.c_str()); }

void onCommand(int id) {
  const std::string rect = fieldText(IdRect), preset = fieldText(IdPreset),
                    intensity = fieldText(IdIntensity), extra = fieldText(IdExtra);
  std::string report;
  switch (id) {
    case IdPlay: runAction(1, {rect, preset, intensity, extra}, report); break;
    case IdAdvanced: runAction(3, {rect, preset, intensity, extra}, report); break;
    case IdStop: runAction(2, {rect}, report); break;
    case IdStopAll: runAction(4, {}, report); break;
    case IdEditPlay:
    case IdEditStop:
    case IdEditAdvanced: {
      const int action = id - IdEditPlay + 1;
      ParamArray& array = panel.editArrays[action];
      const std::string fields[4] = {rect, preset, intensity, extra};
      for (int i = 0; i < (action == 2 ? 1 : 4); ++i) setSlot(array, i, fields[i]);
      if (runEditor(action, array, report) == 1) {
        SetWindowTextA(control(IdRect), slotText(array, 0).c_str());
        if (action != 2) {
          SetWindowTextA(control(IdPreset), slotText(array, 1).c_str());
          SetWindowTextA(control(IdIntensity), slotText(array, 2).c_str());
          SetWindowTextA(control(IdExtra), slotText(array, 3).c_str());
        }
      }
      break;
    }
    case IdAbout: host.exports.about(); report = "about closed"; break;
    default: return;
  }
  showStatus(report);
}

LRESULT CALLBACK panelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    onCommand(LOWORD(wParam));
    return 0;
  }
  if (message == WM_CLOSE) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

struct ControlRow {
  int id;  // 0 for a plain label
  const wchar_t* kind;
  const wchar_t* text;
  int x, y, w, h;
  DWORD style;
};

const ControlRow PanelRows[] = {
    {0, L"STATIC", L"Rectangle:", 10, 14, 90, 20, 0},
    {IdRect, L"COMBOBOX", L"", 110, 10, 200, 200, CBS_DROPDOWN | WS_TABSTOP},
    {0, L"STATIC", L"Preset:", 10, 44, 90, 20, 0},
    {IdPreset, L"COMBOBOX", L"", 110, 40, 200, 300, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP},
    {0, L"STATIC", L"Intensity:", 10, 74, 90, 20, 0},
    {IdIntensity, L"EDIT", L"70", 110, 70, 60, 22, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP},
    {0, L"STATIC", L"Colour / options:", 10, 104, 100, 20, 0},
    {IdExtra, L"EDIT", L"", 110, 100, 300, 22, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP},
    {IdPlay, L"BUTTON", L"Play", 10, 134, 95, 26, BS_PUSHBUTTON | WS_TABSTOP},
    {IdAdvanced, L"BUTTON", L"PlayAdvanced", 110, 134, 95, 26, BS_PUSHBUTTON | WS_TABSTOP},
    {IdStop, L"BUTTON", L"Stop", 210, 134, 95, 26, BS_PUSHBUTTON | WS_TABSTOP},
    {IdStopAll, L"BUTTON", L"StopAll", 310, 134, 95, 26, BS_PUSHBUTTON | WS_TABSTOP},
    {IdEditPlay, L"BUTTON", L"Edit Play...", 10, 166, 95, 26, BS_PUSHBUTTON | WS_TABSTOP},
    {IdEditStop, L"BUTTON", L"Edit Stop...", 110, 166, 95, 26, BS_PUSHBUTTON | WS_TABSTOP},
    {IdEditAdvanced, L"BUTTON", L"Edit Adv...", 210, 166, 95, 26, BS_PUSHBUTTON | WS_TABSTOP},
    {IdAbout, L"BUTTON", L"About", 310, 166, 95, 26, BS_PUSHBUTTON | WS_TABSTOP},
    {IdStatus, L"STATIC", L"Pick a rectangle and a preset, then Play.", 10, 200, 400, 60, 0},
};

int openPanel() {
  WNDCLASSW cls = {};
  cls.lpfnWndProc = panelProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = L"LumivexDemoPanel";
  if (!RegisterClassW(&cls)) return 0;
  RECT r = {0, 0, 420, 270};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&r, style, FALSE);
  panel.window = CreateWindowExW(0, cls.lpszClassName, L"Lumivex demo", style, 760, 40,
                                 r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                 cls.hInstance, nullptr);
  if (!panel.window) return 0;
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (const ControlRow& row : PanelRows) {
    HWND c = CreateWindowExW(0, row.kind, row.text, WS_CHILD | WS_VISIBLE | row.style, row.x,
                             row.y, row.w, row.h, panel.window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                             cls.hInstance, nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (row.id) panel.controls[row.id - IdRect] = c;
  }
  for (const char* name : RectNames)
    SendMessageA(control(IdRect), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SetWindowTextA(control(IdRect), RectNames[0]);
  for (int id = 0; id < PresetCount; ++id)
    SendMessageA(control(IdPreset), CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(PresetDisplayName(id)));
  SendMessageW(control(IdPreset), CB_SETCURSEL, 0, 0);
  ShowWindow(panel.window, SW_SHOW);
  return 1;
}

int runScript(const std::vector<std::string>& lines) {
  int ok = 1;
  for (const std::string& line : lines) ok = runCommand(line) && ok;
  std::string report;
  runAction(4, {}, report);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (!hostCreatePage(host, 700, 520)) {
    fprintf(stderr, "lumivex-demo: cannot open the page window\n");
    return 1;
  }
  SetWindowTextW(host.page, L"Lumivex demo page");
  for (int i = 0; i < 4; ++i)
    hostAddObject(host, RectNames[i], RectBoxes[i][0], RectBoxes[i][1], RectBoxes[i][2],
                  RectBoxes[i][3]);
  if (!hostLoad(host, hostBesideProgram(L"Lumivex.dll").c_str()) || !hostRegister(host)) {
    fprintf(stderr, "lumivex-demo: cannot load Lumivex.dll beside the program\n");
    return 1;
  }
  host.pickSucceeds = 1;
  host.pickAnswer = RectNames[0];
  host.onScript = runScriptLine;
  hostPumpFor(200);  // let the page paint before the first effect

  std::vector<std::string> lines;
  if (argc >= 3 && strcmp(argv[1], "--script") == 0) {
    std::ifstream in(argv[2]);
    if (!in) {
      fprintf(stderr, "lumivex-demo: cannot read '%s'\n", argv[2]);
      return 1;
    }
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  } else {
    for (int i = 1; i < argc; ++i) lines.push_back(argv[i]);
  }

  int ok = 1;
  if (!lines.empty()) {
    ok = runScript(lines);
  } else {
    if (!openPanel()) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (IsDialogMessageW(panel.window, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    std::string report;
    runAction(4, {}, report);
  }
  hostUnload(host);
  hostDestroyPage(host);
  return ok ? 0 : 1;
}
