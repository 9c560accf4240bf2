// editor_shots: opens each action editor of Lumivex.dll over a stand-in host page so that a
// screenshot can be taken of it (scripts/editor-shots.sh). `editor_shots.exe DIR`: for each shot
// it writes DIR\ready-NAME once the dialog has been up long enough for its preview to fill, and
// waits, with the editor's loop still running, until DIR\done-NAME appears (the script has
// taken the picture), then moves on: play, play_2 (the same Play editor about a second later),
// stop, advanced. Every editor is left with Cancel. Owns nothing beyond its main().
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_standin/host_standin.h"

namespace {

constexpr DWORD SettleMs = 1500;      // preview frames before the first picture of a dialog
constexpr DWORD SecondShotMs = 1000;  // between play and play_2
constexpr DWORD GiveUpMs = 300000;    // a script that never answers does not hang the program

struct Shot {
  const char* name;  // NAME of ready-NAME / done-NAME
  DWORD waitMs;      // from the dialog's appearance (or the previous shot) to ready-NAME
};

struct ShotRun {
  std::wstring dir;          // where the marker files go
  const wchar_t* title;      // the editor's caption
  std::vector<Shot> shots;   // taken one after the other on the same dialog
  size_t next;               // shot under way
  int announced;             // 1 once ready-NAME of the current shot is written
  DWORD since;               // tick count the current shot's wait started
  DWORD start;               // tick count the editor was opened
  HWND dialog;
};

ShotRun* run = nullptr;

// The page's own effect, played before the first editor opens, or, under qemu-i386 emulation,
// once each editor's dialog is up, until it closes: there Wine kills or hangs a program that dispatches a Windows exception
// (as making the version 6 controls does) while another thread (the effect's timer) waits.
HostStandIn* gHost = nullptr;
int gPagePlayed = 0;
void playOnPage() {
  if (gPagePlayed || !gHost) return;
  gPagePlayed = 1;
  std::string a = "Banner", b = "Stars", c = "60", d = "";
  char* play[4] = {&a[0], &b[0], &c[0], &d[0]};
  gHost->exports.execAction(1, play);
}

std::wstring marker(const char* kind, const char* name) {
  std::wstring path = run->dir + L"\\" + std::wstring(kind, kind + strlen(kind)) + L"-";
  return path + std::wstring(name, name + strlen(name));
}

void CALLBACK shotTick(HWND, UINT, UINT_PTR, DWORD) {
  ShotRun* r = run;
  if (!r) return;
  if (!r->dialog) {
    r->dialog = FindWindowW(L"LumivexEditor", r->title);
    if (!r->dialog) return;
    playOnPage();
    r->since = GetTickCount();
  }
  const DWORD now = GetTickCount();
  if (r->next >= r->shots.size() || now - r->start > GiveUpMs) {
    PostMessageW(r->dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return;
  }
  const Shot& shot = r->shots[r->next];
  if (!r->announced) {
    if (now - r->since < shot.waitMs) return;
    HANDLE f = CreateFileW(marker("ready", shot.name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    r->announced = 1;
    return;
  }
  if (GetFileAttributesW(marker("done", shot.name).c_str()) == INVALID_FILE_ATTRIBUTES) return;
  r->next++;
  r->announced = 0;
  r->since = now;
}

int32_t openEditor(HostStandIn& host, int32_t action, std::vector<std::string> params,
                   ShotRun& shots) {
  std::vector<char*> slots;
  for (std::string& p : params) slots.push_back(&p[0]);
  shots.start = GetTickCount();
  run = &shots;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, shotTick);
  const int32_t result = host.exports.editAction(action, slots.data());
  KillTimer(nullptr, timer);
  if (getenv("LUMIVEX_WINE_EMULATED")) {
    // Under emulation the page's effect plays inside each editor only, from its dialog's start on.
    char empty[1] = "";
    char* none[4] = {empty, empty, empty, empty};
    host.exports.execAction(4, none);
    gPagePlayed = 0;
  }
  run = nullptr;
  return result;
}

}  // namespace

// Under Xvfb no window manager draws captions: Wine is asked to draw them itself, for this
// program only (an application default in the prefix, read when its display driver starts).
void drawOwnCaptions() {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\editor_shots.exe\\X11 Driver", 0,
                      nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  static const wchar_t no[] = L"N";
  RegSetValueExW(key, L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof no);
  RegCloseKey(key);
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: editor_shots.exe DIR\n");
    return 2;
  }
  drawOwnCaptions();
  HostStandIn host = {};
  if (!hostCreatePage(host, 520, 360)) return 1;
  hostAddObject(host, "Banner", 20, 20, 480, 140);
  hostAddObject(host, "Button1", 20, 190, 220, 140);
  if (!hostLoad(host, hostBesideProgram(L"Lumivex.dll").c_str()) || !hostRegister(host)) {
    fprintf(stderr, "editor_shots: Lumivex.dll did not load\n");
    return 1;
  }
  // An effect already playing on the page: it keeps running while the editors are open.
  gHost = &host;
  if (!getenv("LUMIVEX_WINE_EMULATED")) playOnPage();
  SetForegroundWindow(host.page);

  const std::wstring dir = argv[1];
  ShotRun playShots = {dir, L"Lumivex - Play", {{"play", SettleMs}, {"play_2", SecondShotMs}}, 0, 0, 0, 0, nullptr};
  openEditor(host, 1, {"Banner", "Fire", "70", ""}, playShots);
  ShotRun stopShots = {dir, L"Lumivex - Stop", {{"stop", SettleMs}}, 0, 0, 0, 0, nullptr};
  openEditor(host, 2, {"Banner"}, stopShots);
  ShotRun advancedShots = {dir, L"Lumivex - PlayAdvanced", {{"advanced", SettleMs}}, 0, 0, 0, 0, nullptr};
  openEditor(host, 3,
             {"Button1", "MagicDust", "80",
              "colorStart=255,80,0;emitArea=0.5,1.0,1.0,0.05;direction=270,60;speed=1.5;mode=Continuous"},
             advancedShots);

  std::string all = "";
  char* stopAll[1] = {&all[0]};
  host.exports.execAction(4, stopAll);
  return 0;
}
