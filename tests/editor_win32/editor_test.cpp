// The action editors of the real Lumivex.dll, opened through the host stand-in's nbEditAction:
// window, layout and opening state, the fields set as the author sets them, OK, Cancel and the
// close box, what lands in the host's parameter array, "Select...", the live preview, and the
// editor entry's answers. The editor runs its own loop on this thread, so a thread timer (which
// that loop dispatches) plays the author: it runs a script of steps against the dialog, one step
// per tick, each step asked again on the next tick until it says it is done. Every wait is a
// poll with a generous deadline, never a timed assumption.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "editor/editors.h"
#include "host_standin/host_standin.h"
#include "runtime/reader_win32.h"
#include "runtime/runtime_win32.h"

namespace {

HostStandIn& host() {
  static HostStandIn* h = nullptr;
  if (!h) {
    h = new HostStandIn();
    hostCreatePage(*h, 400, 300);
    hostAddObject(*h, "Rect1", 10, 10, 120, 80);
    hostAddObject(*h, "Big", 150, 10, 200, 150);
    hostLoad(*h, hostBesideProgram(L"Lumivex.dll").c_str());
    hostRegister(*h);
  }
  hostMakeCurrent(*h);
  return *h;
}

const wchar_t* const PlayTitle = L"Lumivex - Play";
const wchar_t* const StopTitle = L"Lumivex - Stop";
const wchar_t* const AdvancedTitle = L"Lumivex - PlayAdvanced";
constexpr DWORD DeadlineMs = 30000;  // a script that has not finished by then cancels the editor

// The host's parameter array: four texts the test owns, and what the editor left in the slots.
// Not copyable: the slots point into the record's own texts.
struct Slots {
  std::string text[4];
  char* slot[4];
  explicit Slots(std::vector<std::string> texts) {
    texts.resize(4);
    for (int i = 0; i < 4; ++i) text[i] = texts[i];
    for (int i = 0; i < 4; ++i) slot[i] = &text[i][0];
  }
  Slots(const Slots&) = delete;
  Slots& operator=(const Slots&) = delete;
};

std::string slotText(const Slots& s, int i) { return s.slot[i] ? s.slot[i] : "(null)"; }
int untouched(const Slots& s) {
  for (int i = 0; i < 4; ++i)
    if (s.slot[i] != &s.text[i][0] || s.text[i] != s.slot[i]) return 0;
  return 1;
}

// --- The author: a script run by a thread timer ---------------------------------------------

typedef std::function<int(HWND dialog)> Step;  // 1: done, go on; 0: ask again next tick

struct Script {
  const wchar_t* title;
  std::vector<Step> steps;
  size_t next;
  HWND dialog;
  HWND ownerSeen;  // the dialog's owner when it was found
  DWORD start;
  int timedOut;
  int busy;
  int systemDialogs;                // colour and file dialogs seen (and cancelled)
  std::wstring systemDialogTitle;   // caption of the last one
};

Script* script = nullptr;

BOOL CALLBACK findSystemDialog(HWND w, LPARAM p) {
  wchar_t cls[16] = {};
  GetClassNameW(w, cls, 16);
  if (!IsWindowVisible(w) || lstrcmpW(cls, L"#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(p) = w;
  return FALSE;
}

// The colour and file dialogs are modal system dialogs: their own loop dispatches this timer,
// so they are cancelled from here (at most once each) whatever step is under way.
void cancelSystemDialog(Script* s) {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), findSystemDialog, reinterpret_cast<LPARAM>(&found));
  if (!found || GetPropW(found, L"LumivexTestCancelled")) return;
  SetPropW(found, L"LumivexTestCancelled", reinterpret_cast<HANDLE>(1));
  wchar_t caption[128] = {};
  GetWindowTextW(found, caption, 128);
  s->systemDialogs++;
  s->systemDialogTitle = caption;
  PostMessageW(found, WM_COMMAND, IDCANCEL, 0);
}

void CALLBACK runScript(HWND, UINT, UINT_PTR, DWORD) {
  Script* s = script;
  if (!s) return;
  cancelSystemDialog(s);
  if (s->busy) return;
  if (GetTickCount() - s->start > DeadlineMs) {
    s->timedOut = 1;
    if (s->dialog && IsWindow(s->dialog)) PostMessageW(s->dialog, WM_CLOSE, 0, 0);
    return;
  }
  if (!s->dialog) {
    s->dialog = FindWindowW(L"LumivexEditor", s->title);
    if (!s->dialog) return;
    s->ownerSeen = GetWindow(s->dialog, GW_OWNER);
  }
  if (s->next >= s->steps.size() || !IsWindow(s->dialog)) return;
  s->busy = 1;
  if (s->steps[s->next](s->dialog)) s->next++;
  s->busy = 0;
}

// Plays the script against the editor that open (which runs its loop to the end) brings up.
int32_t playScript(const wchar_t* title, std::vector<Step> steps, Script* out,
                   const std::function<int32_t()>& open) {
  Script s = {title, std::move(steps), 0, nullptr, nullptr, GetTickCount(), 0, 0, 0, L""};
  script = &s;
  UINT_PTR timer = SetTimer(nullptr, 0, 40, runScript);
  const int32_t result = open();
  KillTimer(nullptr, timer);
  script = nullptr;
  EXPECT_EQ(s.timedOut, 0) << "the script did not finish";
  EXPECT_EQ(s.next, s.steps.size()) << "the editor closed before the script ended";
  if (out) *out = s;
  return result;
}

// Opens the editor of action with the slots and plays the script against it.
int32_t edit(int32_t action, char** array, const wchar_t* title, std::vector<Step> steps,
             Script* out = nullptr) {
  HostStandIn& h = host();
  return playScript(title, std::move(steps), out, [&] { return h.exports.editAction(action, array); });
}

// The PlayAdvanced editor of this program's own copy of the editors, for what only a copy in
// this process can be told: the test answer of the animation setting (runtime/reader_win32.h).
void startCopyHere() {
  static int initialised = 0;
  if (!initialised) {
    runtimeInit(GetModuleHandleW(nullptr));  // the copy's windows belong to this program
    initialised = 1;
  }
  host();  // the page, whose window the editor is owned by
}

int32_t editHere(std::wstring slots[EditorSlotCount], std::vector<Step> steps) {
  startCopyHere();
  return playScript(AdvancedTitle, std::move(steps), nullptr, [&] { return runAdvancedEditor(slots); });
}
// The same for the Play editor.
int32_t playEditHere(std::wstring slots[EditorSlotCount], std::vector<Step> steps) {
  startCopyHere();
  return playScript(PlayTitle, std::move(steps), nullptr, [&] { return runPlayEditor(slots); });
}

// --- Reading and setting controls as the author does ----------------------------------------

HWND item(HWND d, int id) { return GetDlgItem(d, id); }

std::wstring text(HWND d, int id) {
  wchar_t buf[1024] = {};
  GetWindowTextW(item(d, id), buf, 1024);
  return buf;
}

int listSel(HWND d, int id) { return static_cast<int>(SendMessageW(item(d, id), CB_GETCURSEL, 0, 0)); }
int listCount(HWND d, int id) { return static_cast<int>(SendMessageW(item(d, id), CB_GETCOUNT, 0, 0)); }
std::wstring listEntry(HWND d, int id, int i) {
  wchar_t buf[256] = {};
  SendMessageW(item(d, id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
  return buf;
}
int sliderPos(HWND d, int id) { return static_cast<int>(SendMessageW(item(d, id), TBM_GETPOS, 0, 0)); }
int sliderMax(HWND d, int id) { return static_cast<int>(SendMessageW(item(d, id), TBM_GETRANGEMAX, 0, 0)); }
int checked(HWND d, int id) { return SendMessageW(item(d, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
int enabled(HWND d, int id) { return IsWindowEnabled(item(d, id)) ? 1 : 0; }

void type(HWND d, int id, const wchar_t* t) { SendMessageW(item(d, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t)); }
void choose(HWND d, int id, int pos) {
  SendMessageW(item(d, id), CB_SETCURSEL, pos, 0);
  SendMessageW(d, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(item(d, id)));
}
void slide(HWND d, int id, int pos) {
  SendMessageW(item(d, id), TBM_SETPOS, TRUE, pos);
  SendMessageW(d, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), reinterpret_cast<LPARAM>(item(d, id)));
}
void click(HWND d, int id) {
  SendMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(item(d, id)));
}
void tick(HWND d, int id, int on) {
  SendMessageW(item(d, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  click(d, id);
}

// Steps that end a script.
Step pressOk() { return [](HWND d) { click(d, EditorOk); return 1; }; }
Step pressCancel() { return [](HWND d) { click(d, EditorCancel); return 1; }; }
Step closeBox() { return [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); return 1; }; }
// A step that only acts (always done).
Step act(std::function<void(HWND)> f) { return [f](HWND d) { f(d); return 1; }; }
// A step that waits for a number of ticks, letting the editor's loop run its passes.
Step waitTicks(int n) {
  auto left = std::make_shared<int>(n);
  return [left](HWND) { return --*left <= 0 ? 1 : 0; };
}

// Pixels of a control as shown on the screen, 0x00RRGGBB, row by row.
std::vector<uint32_t> shownPixels(HWND control) {
  RECT r;
  GetClientRect(control, &r);
  const int w = r.right, h = r.bottom;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = GetDC(control);
  HBITMAP bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, dc, 0, 0, SRCCOPY);
  std::vector<uint32_t> pixels;
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  if (p)
    for (int i = 0; i < w * h; ++i) pixels.push_back(p[i] & 0xFFFFFF);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bmp);
  ReleaseDC(control, dc);
  return pixels;
}

// How many of them are not black.
int litPixels(HWND control) {
  int lit = 0;
  for (uint32_t p : shownPixels(control)) lit += p != 0;
  return lit;
}

int scaleX(int v) {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  return MulDiv(v, dpi, 96);
}
int scaleY(int v) {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return MulDiv(v, dpi, 96);
}

// A control's rectangle in its dialog's client coordinates.
RECT placeOf(HWND d, HWND c) {
  RECT r;
  GetWindowRect(c, &r);
  MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
RECT placeOf(HWND d, int id) { return placeOf(d, item(d, id)); }

struct LabelSearch {
  const wchar_t* wanted;
  HWND found;
};

BOOL CALLBACK findLabel(HWND w, LPARAM p) {
  LabelSearch* s = reinterpret_cast<LabelSearch*>(p);
  wchar_t cls[16] = {}, caption[256] = {};
  GetClassNameW(w, cls, 16);
  GetWindowTextW(w, caption, 256);
  if (lstrcmpiW(cls, L"Static") != 0 || lstrcmpW(caption, s->wanted) != 0) return TRUE;
  s->found = w;
  return FALSE;
}

// The label of the dialog showing exactly this text (labels nobody reads share one id), or null.
HWND labelWithText(HWND d, const wchar_t* wanted) {
  LabelSearch search = {wanted, nullptr};
  EnumChildWindows(d, findLabel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The frame every editor has: title, client size, caption with a close box and no sizing,
// centred on the screen, owned by the window that was active.
void expectEditorWindow(HWND d, const wchar_t* title, int clientW, int clientH) {
  wchar_t caption[64] = {};
  GetWindowTextW(d, caption, 64);
  EXPECT_STREQ(caption, title);
  RECT c;
  GetClientRect(d, &c);
  EXPECT_EQ(c.right, scaleX(clientW));
  EXPECT_EQ(c.bottom, scaleY(clientH));
  const LONG style = GetWindowLongW(d, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  RECT w;
  GetWindowRect(d, &w);
  const int cx = (w.left + w.right) / 2, cy = (w.top + w.bottom) / 2;
  EXPECT_NEAR(cx, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
  if (w.bottom - w.top < GetSystemMetrics(SM_CYSCREEN)) {
    EXPECT_NEAR(cy, GetSystemMetrics(SM_CYSCREEN) / 2, 2);
  }
}

void expectPlace(HWND d, int id, int x, int y, int w, int h) {
  const RECT r = placeOf(d, id);
  EXPECT_EQ(r.left, scaleX(x)) << id;
  EXPECT_EQ(r.top, scaleY(y)) << id;
  EXPECT_EQ(r.right - r.left, scaleX(w)) << id;
  EXPECT_EQ(r.bottom - r.top, scaleY(h)) << id;
}

void expectLabelPlace(HWND d, const wchar_t* label, int x, int y, int w, int h) {
  const HWND c = labelWithText(d, label);
  ASSERT_NE(c, nullptr) << "no label " << std::string(label, label + lstrlenW(label));
  const RECT r = placeOf(d, c);
  EXPECT_EQ(r.left, scaleX(x));
  EXPECT_EQ(r.top, scaleY(y));
  EXPECT_EQ(r.right - r.left, scaleX(w));
  EXPECT_EQ(r.bottom - r.top, scaleY(h));
}

const wchar_t* const PresetNames[20] = {
    L"Sparkle", L"Fire",  L"Rain",       L"Snow",    L"Confetti", L"MagicDust", L"Explosion",
    L"LightRays", L"Beams", L"Glow",     L"Stars",   L"LightBeams", L"GodRays",  L"Laser",
    L"Bubbles", L"PulseWave", L"Aurora", L"Shimmer", L"AuroraBorealis", L"Fireworks"};

}  // namespace

// --- Editor entry --------------------------------------------------------------------------

TEST(EditorEntry, StopAllAnswersOneAndUnknownActionsZeroWithoutADialog) {
  HostStandIn& h = host();
  ASSERT_NE(h.exports.editAction, nullptr) << "Lumivex.dll did not load";
  struct Row {
    int32_t action, result;
  };
  const Row rows[] = {{4, 1}, {9, 0}, {0, 0}, {5, 0}, {-1, 0}};
  for (const Row& row : rows) {
    Slots s({"Rect1", "Fire", "75", "255,0,0"});
    EXPECT_EQ(h.exports.editAction(row.action, s.slot), row.result) << row.action;
    EXPECT_TRUE(untouched(s)) << row.action;
  }
  EXPECT_EQ(FindWindowW(L"LumivexEditor", nullptr), nullptr);
}

TEST(EditorEntry, AnArrayThatCannotBeWrittenStillAnswersOne) {
  for (int action : {1, 2, 3}) {
    const wchar_t* title = action == 1 ? PlayTitle : action == 2 ? StopTitle : AdvancedTitle;
    EXPECT_EQ(edit(action, nullptr, title, {pressOk()}), 1) << action;
  }
}

// --- Play editor ---------------------------------------------------------------------------

TEST(PlayEditor, OpensWithTheLayoutAndDefaultsAndOkWritesThem) {
  Slots s({"", "", "", ""});
  SetForegroundWindow(host().page);
  const HWND active = GetActiveWindow();
  Script seen = {};
  const int32_t result = edit(1, s.slot, PlayTitle, {
      act([](HWND d) {
        expectEditorWindow(d, PlayTitle, 720, 380);
        expectPlace(d, PlayRectangle, 110, 10, 200, 22);
        expectPlace(d, PlaySelect, 315, 10, 75, 22);
        expectPlace(d, PlayIntensity, 110, 74, 200, 24);
        expectPlace(d, PlayOverride, 10, 112, 130, 22);
        expectPlace(d, PlayBlue, 270, 112, 35, 22);
        expectPlace(d, PlaySwatch, 110, 142, 60, 18);
        expectPlace(d, PlayPane, 410, 34, 290, 220);
        expectPlace(d, EditorOk, 525, 320, 90, 32);
        expectPlace(d, EditorCancel, 620, 320, 90, 32);
        EXPECT_EQ(text(d, PlayRectangle), L"");
        ASSERT_EQ(listCount(d, PlayPreset), 20);
        for (int i = 0; i < 20; ++i) EXPECT_EQ(listEntry(d, PlayPreset, i), PresetNames[i]);
        EXPECT_EQ(listSel(d, PlayPreset), 0);
        EXPECT_EQ(sliderMax(d, PlayIntensity), 100);
        EXPECT_EQ(sliderPos(d, PlayIntensity), 50);
        EXPECT_EQ(text(d, PlayIntensityValue), L"50%");
        EXPECT_EQ(checked(d, PlayOverride), 0);
        for (int id : {PlayRed, PlayGreen, PlayBlue}) EXPECT_EQ(text(d, id), L"255");
        EXPECT_EQ(text(d, EditorOk), L"OK");
        EXPECT_EQ(text(d, PlaySelect), L"Select...");
        EXPECT_EQ(text(d, PlayOverride), L"Override color");
      }),
      pressOk()}, &seen);
  EXPECT_EQ(result, 1);
  if (active) {
    EXPECT_EQ(seen.ownerSeen, active);
  }
  EXPECT_EQ(slotText(s, 0), "");
  EXPECT_EQ(slotText(s, 1), "Sparkle");
  EXPECT_EQ(slotText(s, 2), "50");
  EXPECT_EQ(slotText(s, 3), "");
  EXPECT_EQ(FindWindowW(L"LumivexEditor", PlayTitle), nullptr) << "the dialog stayed";
}

TEST(PlayEditor, OpeningReadingsAndWhatOkWritesBack) {
  struct Row {
    std::vector<std::string> in;
    int presetIndex, intensity, override;
    const wchar_t* fields[3];
    std::vector<std::string> out;
  };
  const Row rows[] = {
      {{"Rect1", "Sparkle", "250", ""}, 0, 100, 0, {L"255", L"255", L"255"},
       {"Rect1", "Sparkle", "100", ""}},
      {{"  Rect1  ", "fire ", "", ""}, 1, 50, 0, {L"255", L"255", L"255"},
       {"Rect1", "Fire", "50", ""}},
      {{"Big", "magicdust", "30", " 10 , 20 , 300 "}, 5, 30, 1, {L"10", L"20", L"255"},
       {"Big", "MagicDust", "30", "10,20,255"}},
      {{"Big", "Nonsense", "x", "10,,20"}, 0, 0, 0, {L"255", L"255", L"255"},
       {"Big", "Sparkle", "0", ""}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.in[1] + " / " + row.in[2] + " / " + row.in[3]);
    Slots s(row.in);
    const int32_t result = edit(1, s.slot, PlayTitle, {
        act([&row](HWND d) {
          EXPECT_EQ(listSel(d, PlayPreset), row.presetIndex);
          EXPECT_EQ(sliderPos(d, PlayIntensity), row.intensity);
          EXPECT_EQ(text(d, PlayIntensityValue), std::to_wstring(row.intensity) + L"%");
          EXPECT_EQ(checked(d, PlayOverride), row.override);
          EXPECT_EQ(text(d, PlayRed), row.fields[0]);
          EXPECT_EQ(text(d, PlayGreen), row.fields[1]);
          EXPECT_EQ(text(d, PlayBlue), row.fields[2]);
        }),
        pressOk()});
    EXPECT_EQ(result, 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(slotText(s, i), row.out[i]) << "slot " << i;
  }
}

TEST(PlayEditor, ChangedFieldsAreWrittenAndTheOverrideBoxDecidesTheColor) {
  struct Row {
    const char* what;
    std::vector<std::string> in;
    std::function<void(HWND)> change;
    std::vector<std::string> out;
  };
  const Row rows[] = {
      {"every field", {"Rect1", "Rain", "40", "1,2,3"},
       [](HWND d) {
         type(d, PlayRectangle, L"  Big ");
         choose(d, PlayPreset, 6);
         slide(d, PlayIntensity, 75);
         EXPECT_EQ(text(d, PlayIntensityValue), L"75%");
         type(d, PlayRed, L" 300");
         type(d, PlayGreen, L"abc");
         type(d, PlayBlue, L"7");
       },
       {"Big", "Explosion", "75", "255,0,7"}},
      // Unchecked, the numbers still in the fields are not written.
      {"override unchecked", {"Rect1", "Rain", "40", "1,2,3"},
       [](HWND d) { tick(d, PlayOverride, 0); }, {"Rect1", "Rain", "40", ""}},
      // An opening without a colour shows 255s; checking the box writes them.
      {"override checked", {"Rect1", "Rain", "40", ""},
       [](HWND d) { tick(d, PlayOverride, 1); }, {"Rect1", "Rain", "40", "255,255,255"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Slots s(row.in);
    const int32_t result = edit(1, s.slot, PlayTitle, {act(row.change), waitTicks(2), pressOk()});
    EXPECT_EQ(result, 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(slotText(s, i), row.out[i]) << "slot " << i;
  }
}

TEST(PlayEditor, CancelAndTheCloseBoxLeaveTheArrayAlone) {
  for (int closeWithBox = 0; closeWithBox < 2; ++closeWithBox) {
    Slots s({"Rect1", "Fire", "75", "255,0,0"});
    const int32_t result = edit(1, s.slot, PlayTitle, {
        act([](HWND d) {
          type(d, PlayRectangle, L"Other");
          choose(d, PlayPreset, 3);
          slide(d, PlayIntensity, 10);
          tick(d, PlayOverride, 0);
        }),
        closeWithBox ? closeBox() : pressCancel()});
    EXPECT_EQ(result, 0) << closeWithBox;
    EXPECT_TRUE(untouched(s)) << closeWithBox;
  }
}

TEST(PlayEditor, SelectTakesTheNamePickedAndKeepsTheFieldWhenNoneIs) {
  HostStandIn& h = host();
  struct Row {
    int succeeds;
    const char* answer;
    const char* written;  // the field, with blanks added after "Select...", trimmed by OK
  };
  const Row rows[] = {{1, "Big", "Big"}, {1, "", "Rect1"}, {0, "Big", "Rect1"}};
  for (const Row& row : rows) {
    h.pickSucceeds = row.succeeds;
    h.pickAnswer = row.answer;
    h.lastQuestion.clear();
    Slots s({"Rect1 ", "Fire", "50", ""});
    const int32_t result = edit(1, s.slot, PlayTitle, {
        act([](HWND d) {
          click(d, PlaySelect);
          EXPECT_EQ(host().lastQuestion, "Rect1 ");
          type(d, PlayRectangle, (L"  " + text(d, PlayRectangle) + L"  ").c_str());
        }),
        pressOk()});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(slotText(s, 0), row.written) << row.answer;
  }
  h.pickSucceeds = 0;
}

TEST(PlayEditor, PreviewPaneShowsTheEffectAndASecondOpeningIsRefused) {
  Slots s({"Rect1", "Sparkle", "100", ""});
  const int32_t result = edit(1, s.slot, PlayTitle, {
      act([](HWND d) {
        EXPECT_EQ(litPixels(item(d, PlayPane)), 0) << "the pane starts black";
        // The host may ask again while the editor is open: the open editor is not disturbed.
        Slots again({"Big", "Fire", "10", ""});
        EXPECT_EQ(host().exports.editAction(1, again.slot), 0);
        EXPECT_TRUE(untouched(again));
      }),
      [](HWND d) { return litPixels(item(d, PlayPane)) > 20 ? 1 : 0; },
      pressCancel()});
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(untouched(s));
}

TEST(PlayEditor, ACancelledColorDialogChangesNothing) {
  struct Row {
    const char* color;
    const wchar_t* fields[3];
    int override;
  };
  const Row rows[] = {{"", {L"255", L"255", L"255"}, 0}, {"1,2,3", {L"1", L"2", L"3"}, 1}};
  for (const Row& row : rows) {
    Slots s({"Rect1", "Fire", "50", row.color});
    Script seen = {};
    const int32_t result = edit(1, s.slot, PlayTitle, {
        act([&row](HWND d) {
          click(d, PlayPick);  // returns once the watcher has cancelled the colour dialog
          EXPECT_EQ(checked(d, PlayOverride), row.override);
          EXPECT_EQ(text(d, PlayRed), row.fields[0]);
          EXPECT_EQ(text(d, PlayGreen), row.fields[1]);
          EXPECT_EQ(text(d, PlayBlue), row.fields[2]);
        }),
        pressOk()}, &seen);
    EXPECT_EQ(seen.systemDialogs, 1) << row.color;
    EXPECT_EQ(result, 1);
    EXPECT_EQ(slotText(s, 3), row.color);
  }
}

// --- Stop editor ---------------------------------------------------------------------------

TEST(StopEditor, LayoutAndWhatOkWrites) {
  struct Row {
    const char* in;
    const wchar_t* typed;  // null: the field is left as opened
    const char* out;
  };
  const Row rows[] = {{"", nullptr, ""}, {"Rect1", L"    ", ""}, {"  Rect1 ", nullptr, "Rect1"},
                      {"", L" Big", "Big"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.in);
    Slots s({row.in});
    const int32_t result = edit(2, s.slot, StopTitle, {
        act([&row](HWND d) {
          expectEditorWindow(d, StopTitle, 380, 130);
          expectPlace(d, StopRectangle, 110, 10, 170, 22);
          expectPlace(d, StopSelect, 285, 10, 80, 22);
          expectPlace(d, EditorOk, 185, 88, 85, 30);
          expectPlace(d, EditorCancel, 280, 88, 85, 30);
          EXPECT_EQ(text(d, StopRectangle), std::wstring(row.in, row.in + strlen(row.in)));
          if (row.typed) type(d, StopRectangle, row.typed);
        }),
        pressOk()});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(slotText(s, 0), row.out);
  }
}

TEST(StopEditor, CancelAfterSelectLeavesTheSlot) {
  HostStandIn& h = host();
  h.pickSucceeds = 1;
  h.pickAnswer = "Big";
  for (int closeWithBox = 0; closeWithBox < 2; ++closeWithBox) {
    Slots s({"Rect1"});
    const int32_t result = edit(2, s.slot, StopTitle, {
        act([](HWND d) {
          click(d, StopSelect);
          EXPECT_EQ(text(d, StopRectangle), L"Big");
        }),
        closeWithBox ? closeBox() : pressCancel()});
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(untouched(s));
  }
  h.pickSucceeds = 0;
}

// --- PlayAdvanced editor -------------------------------------------------------------------

namespace {

const int BoxSpeed = 0, BoxSize = 1, BoxTwinkle = 4, BoxFeather = 5, BoxTaper = 6;

}  // namespace

TEST(AdvancedEditor, OpensWithTheLayoutAndPresetDefaultsAndOkWritesAnEmptyOptionsText) {
  Slots s({"", "", "", ""});
  const int32_t result = edit(3, s.slot, AdvancedTitle, {
      act([](HWND d) {
        expectEditorWindow(d, AdvancedTitle, 720, 716);
        expectPlace(d, AdvRectangle, 105, 12, 200, 22);
        expectPlace(d, AdvSelect, 310, 12, 75, 22);
        expectPlace(d, AdvIntensity, 105, 74, 180, 24);
        expectPlace(d, AdvIntensityValue, 290, 78, 50, 20);
        expectPlace(d, AdvColorSwatch + 0, 105, 109, 50, 22);
        expectPlace(d, AdvColorLabel + 1, 290, 142, 145, 20);
        expectPlace(d, AdvBoxSlider + BoxSpeed, 105, 266, 130, 24);
        expectPlace(d, AdvBoxValue + BoxSpeed, 240, 270, 50, 20);
        expectPlace(d, AdvBox + BoxTaper, 295, 494, 80, 20);
        expectPlace(d, AdvOpacity, 105, 426, 180, 24);
        expectPlace(d, AdvSprite, 105, 620, 220, 22);
        expectPlace(d, AdvBrowse, 330, 620, 70, 22);
        expectPlace(d, AdvPane, 415, 34, 290, 220);
        expectPlace(d, AdvReset, 425, 658, 90, 32);
        expectPlace(d, EditorOk, 525, 658, 90, 32);
        expectPlace(d, EditorCancel, 620, 658, 90, 32);

        struct List {
          int id;
          int count;
          const wchar_t* last;
        };
        const List lists[] = {{AdvPreset, 20, L"Fireworks"}, {AdvArea, 11, L"Right Half"},
                              {AdvDirection, 12, L"Inward"}, {AdvEmitShape, 4, L"Picture..."},
                              {AdvTaperEdge, 4, L"Right (narrow at right)"},
                              {AdvMode, 7, L"Burst (1000)"}, {AdvShape, 11, L"Ring"},
                              {AdvZOrder, 2, L"Behind"}};
        for (const List& l : lists) {
          EXPECT_EQ(listCount(d, l.id), l.count) << l.id;
          EXPECT_EQ(listEntry(d, l.id, l.count - 1), l.last) << l.id;
          EXPECT_EQ(listSel(d, l.id), 0) << l.id;
        }
        EXPECT_EQ(listEntry(d, AdvShape, 2), L"Rectangle");
        EXPECT_EQ(listEntry(d, AdvZOrder, 0), L"Front (default)");
        EXPECT_EQ(text(d, AdvIntensityValue), L"50%");
        EXPECT_EQ(text(d, AdvColorLabel + 0), L"(preset default)");
        EXPECT_EQ(text(d, AdvColorLabel + 1), L"(preset default)");
        EXPECT_EQ(text(d, AdvSpreadValue), L"60\u00B0");
        EXPECT_EQ(enabled(d, AdvSpread), 0);
        for (int r = 0; r < AdvBoxRowCount; ++r) {
          EXPECT_EQ(text(d, AdvBoxValue + r), L"preset") << r;
          EXPECT_EQ(checked(d, AdvBox + r), 1) << r;
          EXPECT_EQ(enabled(d, AdvBoxSlider + r), 0) << r;
        }
        EXPECT_EQ(sliderMax(d, AdvBoxSlider + 3), 100);
        EXPECT_EQ(sliderMax(d, AdvBoxSlider + BoxFeather), 50);
        EXPECT_EQ(sliderMax(d, AdvSpread), 360);
        EXPECT_EQ(enabled(d, AdvBox + BoxTwinkle), 0) << "Sparkle does not twinkle";
        EXPECT_EQ(text(d, AdvOpacityValue), L"100%");
      }),
      pressOk()});
  EXPECT_EQ(result, 1);
  EXPECT_EQ(slotText(s, 0), "");
  EXPECT_EQ(slotText(s, 1), "Sparkle");
  EXPECT_EQ(slotText(s, 2), "50");
  EXPECT_EQ(slotText(s, 3), "");
}

TEST(AdvancedEditor, OptionsShownAndWrittenBackByOk) {
  struct Row {
    const char* options;
    std::function<void(HWND)> shown;
    const char* written;
  };
  const Row rows[] = {
      {"direction=271,30",
       [](HWND d) {
         EXPECT_EQ(listSel(d, AdvDirection), DirectionPositionCustom);
         EXPECT_EQ(listEntry(d, AdvDirection, DirectionPositionCustom), L"(custom: 271,30)");
         EXPECT_EQ(sliderPos(d, AdvSpread), 30);
         EXPECT_EQ(enabled(d, AdvSpread), 1);
         slide(d, AdvSpread, 200);  // the custom text is written whatever the slider shows
       },
       "direction=271,30"},
      {"direction=90,400",
       [](HWND d) {
         EXPECT_EQ(listSel(d, AdvDirection), 9);
         EXPECT_EQ(sliderPos(d, AdvSpread), 360);
         EXPECT_EQ(enabled(d, AdvSpread), 0);
       },
       "direction=0,360"},
      {"direction=90", [](HWND d) { EXPECT_EQ(listSel(d, AdvDirection), 2); EXPECT_EQ(sliderPos(d, AdvSpread), 0); },
       "direction=90,0"},
      {"mode=burst:200", [](HWND d) { EXPECT_EQ(listSel(d, AdvMode), 4); }, "mode=Burst:200"},
      {"mode=burst", [](HWND d) { EXPECT_EQ(listEntry(d, AdvMode, listSel(d, AdvMode)), L"(custom: burst)"); },
       "mode=burst"},
      {"speed=-2",
       [](HWND d) {
         EXPECT_EQ(text(d, AdvBoxValue + BoxSpeed), L"off");
         EXPECT_EQ(checked(d, AdvBox + BoxSpeed), 0);
         EXPECT_EQ(enabled(d, AdvBoxSlider + BoxSpeed), 1);
       },
       "speed=0.0"},
      {"speed=8", [](HWND d) { EXPECT_EQ(text(d, AdvBoxValue + BoxSpeed), L"5.0x"); }, "speed=5.0"},
      {"opacity=1", [](HWND d) { EXPECT_EQ(text(d, AdvOpacityValue), L"100%"); }, ""},
      {"feather=0.333", [](HWND d) { EXPECT_EQ(text(d, AdvBoxValue + BoxFeather), L"0.33"); }, "feather=0.33"},
      {"emitArea=0.5,1.0,1.0,0.05", [](HWND d) { EXPECT_EQ(listSel(d, AdvArea), 5); }, "emitArea=0.5,1.0,1.0,0.05"},
      {"emitArea=0.5,1,1,0.05",
       [](HWND d) { EXPECT_EQ(listEntry(d, AdvArea, listSel(d, AdvArea)), L"(custom: 0.5,1,1,0.05)"); },
       "emitArea=0.5,1,1,0.05"},
      {"colorStart=255,80,0;colorEnd=bogus",
       [](HWND d) {
         EXPECT_EQ(text(d, AdvColorLabel + 0), L"RGB 255,80,0");
         EXPECT_EQ(text(d, AdvColorLabel + 1), L"(preset default)");
       },
       "colorStart=255,80,0;colorEnd=bogus"},
      {"taper=0.5;taperEdge=left",
       [](HWND d) {
         EXPECT_EQ(text(d, AdvBoxValue + BoxTaper), L"0.50");
         EXPECT_EQ(listSel(d, AdvTaperEdge), 2);
         tick(d, AdvBox + BoxTaper, 1);
         EXPECT_EQ(text(d, AdvBoxValue + BoxTaper), L"preset");
         EXPECT_EQ(enabled(d, AdvBoxSlider + BoxTaper), 0);
       },
       ""},
      {"foo=1;colorMid=1,2,3;orientation=horizontal", [](HWND) {}, ""},
      {"colorStart=255,80,0;emitArea=0.5,1.0,1.0,0.05;direction=270,60;mode=Burst:200;zOrder=behind",
       [](HWND d) { EXPECT_EQ(listSel(d, AdvZOrder), 1); },
       "colorStart=255,80,0;emitArea=0.5,1.0,1.0,0.05;direction=270,60;mode=Burst:200;zOrder=Behind"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.options);
    Slots s({"Big", "Fire", "60", row.options});
    const int32_t result = edit(3, s.slot, AdvancedTitle, {act(row.shown), pressOk()});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(slotText(s, 0), "Big");
    EXPECT_EQ(slotText(s, 1), "Fire");
    EXPECT_EQ(slotText(s, 2), "60");
    EXPECT_EQ(slotText(s, 3), row.written);
  }
}

TEST(AdvancedEditor, ControlsComposeTheOptionsText) {
  Slots s({"Rect1", "Sparkle", "", ""});
  const int32_t result = edit(3, s.slot, AdvancedTitle, {
      act([](HWND d) {
        choose(d, AdvDirection, 1);
        EXPECT_EQ(enabled(d, AdvSpread), 1);
        slide(d, AdvSpread, 60);
        EXPECT_EQ(text(d, AdvSpreadValue), L"60\u00B0");
        tick(d, AdvBox + BoxSpeed, 0);
        EXPECT_EQ(enabled(d, AdvBoxSlider + BoxSpeed), 1);
        slide(d, AdvBoxSlider + BoxSpeed, 15);
        EXPECT_EQ(text(d, AdvBoxValue + BoxSpeed), L"1.5x");
        choose(d, AdvMode, 4);
        choose(d, AdvZOrder, 1);
        slide(d, AdvOpacity, 80);
        EXPECT_EQ(text(d, AdvOpacityValue), L"80%");
        slide(d, AdvIntensity, 75);
        EXPECT_EQ(text(d, AdvIntensityValue), L"75%");
        choose(d, AdvPreset, 10);
      }),
      // Choosing a preset takes every row back to the preset's values, but not the Z-Order.
      act([](HWND d) {
        EXPECT_EQ(sliderPos(d, AdvIntensity), 50);
        EXPECT_EQ(listSel(d, AdvDirection), 0);
        EXPECT_EQ(enabled(d, AdvSpread), 0);
        EXPECT_EQ(checked(d, AdvBox + BoxSpeed), 1);
        EXPECT_EQ(text(d, AdvBoxValue + BoxSpeed), L"preset");
        EXPECT_EQ(listSel(d, AdvMode), 0);
        EXPECT_EQ(listSel(d, AdvZOrder), 1);
        EXPECT_EQ(enabled(d, AdvBox + BoxTwinkle), 1) << "Stars twinkles";
        EXPECT_EQ(enabled(d, AdvBoxSlider + BoxTwinkle), 0);
        choose(d, AdvDirection, 1);
        tick(d, AdvBox + BoxSpeed, 0);
        slide(d, AdvBoxSlider + BoxSpeed, 15);
        choose(d, AdvMode, 4);
        slide(d, AdvOpacity, 80);
        tick(d, AdvBox + BoxTwinkle, 0);
        EXPECT_EQ(enabled(d, AdvBoxSlider + BoxTwinkle), 1);
        slide(d, AdvBoxSlider + BoxTwinkle, 0);
        EXPECT_EQ(text(d, AdvBoxValue + BoxTwinkle), L"off");
      }),
      waitTicks(2), pressOk()});
  EXPECT_EQ(result, 1);
  EXPECT_EQ(slotText(s, 1), "Stars");
  EXPECT_EQ(slotText(s, 2), "50");
  EXPECT_EQ(slotText(s, 3), "direction=270,60;speed=1.5;twinkle=0.0;mode=Burst:200;zOrder=Behind;opacity=0.80");
}

// Prewarm and Fade out: under the help text, opened from the options, written after the other
// keys only when not off.
TEST(AdvancedEditor, PrewarmAndFadeOutRows) {
  struct Row {
    const char* options;
    int prewarm, fadeOut;                // slider positions shown
    const wchar_t *prewarmText, *fadeOutText;
    int newPrewarm, newFadeOut;          // positions set before OK
    const char* written;
  };
  const Row rows[] = {
      {"prewarm=1.5;fadeOut=800", 15, 8, L"1.5 s", L"800 ms", 15, 8, "prewarm=1.5;fadeOut=800"},
      {"fadeOut=800;prewarm=1.5", 15, 8, L"1.5 s", L"800 ms", 30, 0, "prewarm=3"},
      {"", 0, 0, L"off", L"off", 0, 25, "fadeOut=2500"},
      {"prewarm=20;fadeOut=9000;mode=burst:200", 50, 30, L"5.0 s", L"3000 ms", 50, 30,
       "mode=Burst:200;prewarm=5;fadeOut=3000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.options);
    Slots s({"Big", "Snow", "50", row.options});
    const int32_t result = edit(3, s.slot, AdvancedTitle, {
        act([&row](HWND d) {
          expectPlace(d, AdvPrewarm, 495, 370, 150, 24);
          expectPlace(d, AdvFadeOut, 495, 402, 150, 24);
          EXPECT_EQ(sliderMax(d, AdvPrewarm), 50);
          EXPECT_EQ(sliderMax(d, AdvFadeOut), 30);
          EXPECT_EQ(sliderPos(d, AdvPrewarm), row.prewarm);
          EXPECT_EQ(sliderPos(d, AdvFadeOut), row.fadeOut);
          EXPECT_EQ(text(d, AdvPrewarmValue), row.prewarmText);
          EXPECT_EQ(text(d, AdvFadeOutValue), row.fadeOutText);
          slide(d, AdvPrewarm, row.newPrewarm);
          slide(d, AdvFadeOut, row.newFadeOut);
        }),
        waitTicks(2), pressOk()});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(slotText(s, 3), row.written);
  }
}

// Trail and Burst on death: under Fade out, opened from the options (a burst's speed kept), written
// after every other key only when not off, and off again after Reset.
TEST(AdvancedEditor, TrailAndBurstOnDeathRows) {
  struct Row {
    const char* options;
    int trail, burst;                  // slider positions shown
    const wchar_t *trailText, *burstText;
    int newTrail, newBurst;            // positions set before OK
    bool reset;                        // Reset pressed before OK
    const char* written;
  };
  const Row rows[] = {
      {"deathBurst=12:150;trail=0.25", 5, 12, L"0.25 s", L"12", 5, 12, false, "trail=0.25;deathBurst=12:150"},
      {"", 0, 0, L"off", L"off", 20, 50, false, "trail=1.00;deathBurst=50"},
      {"trail=0.5;deathBurst=8;fadeOut=800", 10, 8, L"0.50 s", L"8", 0, 3, false, "fadeOut=800;deathBurst=3"},
      {"trail=0.5;deathBurst=8", 10, 8, L"0.50 s", L"8", 10, 8, true, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.options);
    Slots s({"Big", "Fire", "50", row.options});
    const int32_t result = edit(3, s.slot, AdvancedTitle, {
        act([&row](HWND d) {
          expectPlace(d, AdvPrewarm, 495, 370, 150, 24);
          expectPlace(d, AdvFadeOut, 495, 402, 150, 24);
          expectPlace(d, AdvTrail, 505, 434, 140, 24);
          expectPlace(d, AdvDeathBurst, 505, 466, 140, 24);
          EXPECT_EQ(sliderMax(d, AdvTrail), 20);
          EXPECT_EQ(sliderMax(d, AdvDeathBurst), 50);
          EXPECT_EQ(sliderPos(d, AdvTrail), row.trail);
          EXPECT_EQ(sliderPos(d, AdvDeathBurst), row.burst);
          EXPECT_EQ(text(d, AdvTrailValue), row.trailText);
          EXPECT_EQ(text(d, AdvDeathBurstValue), row.burstText);
          slide(d, AdvTrail, row.newTrail);
          slide(d, AdvDeathBurst, row.newBurst);
          if (row.reset) {
            click(d, AdvReset);
            EXPECT_EQ(sliderPos(d, AdvTrail), 0);
            EXPECT_EQ(text(d, AdvDeathBurstValue), L"off");
          }
        }),
        waitTicks(2), pressOk()});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(slotText(s, 3), row.written);
  }
}

// Emit shape (with a picture's file), the directions from the centre and a sheet's frames: under
// Burst on death, opened from the options, written after every other key only when set.
TEST(AdvancedEditor, EmitShapeDirectionsFromTheCentreAndFrames) {
  struct Row {
    const char* options;
    int shape, direction;                       // list positions shown
    const wchar_t *mask, *grid, *rate;          // texts shown
    int newShape;                               // chosen before OK
    const wchar_t *newMask, *newGrid, *newRate; // typed before OK
    const char* written;
  };
  const Row rows[] = {
      {"emitShape=edge;direction=outward,30", 1, 10, L"", L"", L"", 1, L"", L"", L"",
       "direction=outward,30;emitShape=edge"},
      {"emitShape=mask:C:\\w.png;direction=inward;spriteFrames=4x2@12;shape=sprite;sprite=s.png", 3, 11,
       L"C:\\w.png", L"4x2", L"12", 3, L"C:\\w.png", L"4x2", L"12",
       "direction=inward;shape=Sprite;sprite=s.png;emitShape=mask:C:\\w.png;spriteFrames=4x2@12"},
      {"", 0, 0, L"", L"", L"", 2, L"", L"4x4", L"", "emitShape=ring;spriteFrames=4x4"},
      {"emitShape=ring", 2, 0, L"", L"", L"", 3, L"", L"", L"", ""},  // Picture... without a file
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.options);
    Slots s({"Big", "Sparkle", "50", row.options});
    const int32_t result = edit(3, s.slot, AdvancedTitle, {
        act([&row](HWND d) {
          expectPlace(d, AdvTrail, 505, 434, 140, 24);
          expectPlace(d, AdvEmitShape, 505, 500, 140, 22);
          expectPlace(d, AdvMaskFile, 505, 530, 140, 22);
          expectPlace(d, AdvFrames, 505, 562, 50, 22);
          EXPECT_EQ(listSel(d, AdvEmitShape), row.shape);
          EXPECT_EQ(listSel(d, AdvDirection), row.direction);
          EXPECT_EQ(text(d, AdvMaskFile), row.mask);
          EXPECT_EQ(text(d, AdvFrames), row.grid);
          EXPECT_EQ(text(d, AdvFrameRate), row.rate);
          choose(d, AdvEmitShape, row.newShape);
          type(d, AdvMaskFile, row.newMask);
          type(d, AdvFrames, row.newGrid);
          type(d, AdvFrameRate, row.newRate);
        }),
        waitTicks(2), pressOk()});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(slotText(s, 3), row.written);
  }
}

TEST(AdvancedEditor, ResetAndCancelAndTheCloseBox) {
  Slots s({"Rect1", "Glow", "80", "speed=2;colorStart=1,2,3;zOrder=behind;mode=burst:7"});
  int32_t result = edit(3, s.slot, AdvancedTitle, {
      act([](HWND d) {
        EXPECT_EQ(text(d, AdvColorLabel + 0), L"RGB 1,2,3");
        click(d, AdvColorClear + 0);
        EXPECT_EQ(text(d, AdvColorLabel + 0), L"(preset default)");
        choose(d, AdvArea, 3);
        click(d, AdvReset);
        EXPECT_EQ(listSel(d, AdvArea), 0);
        EXPECT_EQ(listSel(d, AdvMode), 0);
        EXPECT_EQ(listEntry(d, AdvMode, 7), L"(custom: burst:7)") << "custom entries stay";
        EXPECT_EQ(text(d, AdvBoxValue + BoxSpeed), L"preset");
        EXPECT_EQ(text(d, AdvIntensityValue), L"50%");
      }),
      pressOk()});
  EXPECT_EQ(result, 1);
  EXPECT_EQ(slotText(s, 1), "Glow");
  EXPECT_EQ(slotText(s, 2), "50");
  EXPECT_EQ(slotText(s, 3), "zOrder=Behind");

  for (int closeWithBox = 0; closeWithBox < 2; ++closeWithBox) {
    Slots c({"Rect1", "Glow", "80", "speed=2"});
    result = edit(3, c.slot, AdvancedTitle, {
        act([](HWND d) {
          type(d, AdvRectangle, L"Big");
          choose(d, AdvPreset, 2);
          tick(d, AdvBox + BoxSize, 0);
          choose(d, AdvZOrder, 1);
        }),
        closeWithBox ? closeBox() : pressCancel()});
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(untouched(c));
  }
}

// The preview is rebuilt after a change of any control but the Z-Order. A sprite that cannot be
// loaded makes every rebuild visible: each one tries it again and reports in LastError.
TEST(AdvancedEditor, ZOrderLeavesThePreviewAloneAndOtherControlsRebuildIt) {
  HostStandIn& h = host();
  const char* const options = "shape=sprite;sprite=C:\\missing\\nothing.png";
  Slots s({"Rect1", "Glow", "50", options});
  auto calls = std::make_shared<int>(0);
  const int32_t result = edit(3, s.slot, AdvancedTitle, {
      [](HWND) { return host().variables["[Lumivex.LastError]"].find("nothing.png") != std::string::npos ? 1 : 0; },
      act([calls](HWND d) {
        *calls = host().setVariableCalls;
        choose(d, AdvZOrder, 1);
      }),
      waitTicks(8),
      act([calls](HWND d) {
        EXPECT_EQ(host().setVariableCalls, *calls) << "the Z-Order rebuilt the preview";
        choose(d, AdvArea, 1);
      }),
      [calls](HWND) { return host().setVariableCalls > *calls ? 1 : 0; },
      pressOk()});
  EXPECT_EQ(result, 1);
  EXPECT_EQ(slotText(s, 3), "emitArea=0.5,0.5,1.0,1.0;shape=Sprite;sprite=C:\\missing\\nothing.png;zOrder=Behind");
  h.variables.erase("[Lumivex.LastError]");
}

TEST(AdvancedEditor, PreviewPaneShowsAContinuousEffect) {
  Slots s({"Rect1", "Glow", "100", "opacity=1"});
  const int32_t result = edit(3, s.slot, AdvancedTitle, {
      [](HWND d) { return litPixels(item(d, AdvPane)) > 20 ? 1 : 0; },
      pressCancel()});
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(untouched(s));
}

// The open-file dialog is not driven here: under emulation it can block without running its
// message loop. A cancelled colour dialog keeps the row as it was.
TEST(AdvancedEditor, ACancelledColorDialogKeepsTheRow) {
  Slots s({"Rect1", "Glow", "50", "colorEnd=9,8,7"});
  Script seen = {};
  const int32_t result = edit(3, s.slot, AdvancedTitle, {
      act([](HWND d) {
        click(d, AdvColorPick + 1);
        EXPECT_EQ(script->systemDialogs, 1);
        EXPECT_EQ(text(d, AdvColorLabel + 1), L"RGB 9,8,7");
        click(d, AdvColorPick + 0);
        EXPECT_EQ(script->systemDialogs, 2);
        EXPECT_EQ(text(d, AdvColorLabel + 0), L"(preset default)");
      }),
      pressOk()}, &seen);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(slotText(s, 3), "colorEnd=9,8,7");
}

// --- PlayAdvanced: the reader's rows and a preview that answers the reader ------------------

namespace {

const wchar_t* const StillNotice = L"Animations are off in Windows, so the preview is still. motion=always plays it.";

// The cursor over the middle of the part of a control that is on the screen.
void moveCursorOver(HWND c) {
  RECT r, seen;
  GetWindowRect(c, &r);
  const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  IntersectRect(&seen, &r, &screen);
  SetCursorPos((seen.left + seen.right) / 2, (seen.top + seen.bottom) / 2);
}

// The cursor over the dialog's top left corner, far from the preview pane.
void moveCursorAway(HWND d) {
  POINT p = {scaleX(4), scaleY(4)};
  ClientToScreen(d, &p);
  SetCursorPos(p.x, p.y);
}

void leftButton(DWORD flag) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flag;
  SendInput(1, &in, sizeof in);
}

std::wstring widen(const char* t) { return std::wstring(t, t + strlen(t)); }

}  // namespace

// Cursor and Click in the room under Frames, When it ends as the left column's last row: every
// earlier control where it was, the rows opened from the options (numbers held as the effect
// holds them, each field enabled only where it counts), and what OK writes after a change.
TEST(AdvancedEditor, CursorClickAndWhenItEndsRows) {
  struct Row {
    const char* options;
    int cursor;
    const wchar_t* radius;
    int radiusOn;
    int click;
    const wchar_t* count;
    int countOn;
    const wchar_t* onEnd;
    std::function<void(HWND)> change;
    const char* written;
  };
  const Row rows[] = {
      {"", CursorNone, L"120", 0, 0, L"60", 0, L"",
       [](HWND d) {
         choose(d, AdvCursor, CursorRepel);
         EXPECT_EQ(enabled(d, AdvCursorRadius), 1);
         type(d, AdvCursorRadius, L"250");
         choose(d, AdvClick, 1);
         EXPECT_EQ(enabled(d, AdvClickCount), 1);
         type(d, AdvClickCount, L"80");
         type(d, AdvOnEnd, L"GoSub \"ShowNext\"");
       },
       "cursor=repel:250;click=burst:80;onEnd=GoSub \"ShowNext\""},
      {"cursor=attract:5000;click=burst:0;onEnd= X ", CursorAttract, L"1000", 1, 1, L"1", 1, L"X",
       [](HWND) {}, "cursor=attract:1000;click=burst:1;onEnd=X"},
      // A radius or count that is no number is written as the effect would read it.
      {"cursor=follow;click=burst:9", CursorFollow, L"120", 0, 1, L"9", 1, L"",
       [](HWND d) {
         choose(d, AdvCursor, CursorAttract);
         type(d, AdvCursorRadius, L"abc");
         type(d, AdvClickCount, L"");
       },
       "cursor=attract:10;click=burst:60"},
      // A ; typed into the line cannot end it and start a key of its own.
      {"cursor=follow;click=burst:9;motion=always;speed=2", CursorFollow, L"120", 0, 1, L"9", 1, L"",
       [](HWND d) {
         choose(d, AdvCursor, CursorNone);
         EXPECT_EQ(enabled(d, AdvCursorRadius), 0);
         choose(d, AdvClick, 0);
         EXPECT_EQ(enabled(d, AdvClickCount), 0);
         type(d, AdvOnEnd, L"AlertBox \"Done\" \"a; b\";zOrder=behind");
       },
       "speed=2.0;onEnd=AlertBox \"Done\" \"a b\"zOrder=behind;motion=always"},
      // Reset turns the reader's rows off and keeps the end.
      {"cursor=repel:300;click=burst:20;onEnd=GoSub \"A\"", CursorRepel, L"300", 1, 1, L"20", 1, L"GoSub \"A\"",
       [](HWND d) {
         click(d, AdvReset);
         EXPECT_EQ(listSel(d, AdvCursor), CursorNone);
         EXPECT_EQ(text(d, AdvCursorRadius), L"120");
         EXPECT_EQ(listSel(d, AdvClick), 0);
         EXPECT_EQ(text(d, AdvClickCount), L"60");
       },
       "onEnd=GoSub \"A\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.options);
    Slots s({"Big", "Sparkle", "50", row.options});
    const int32_t result = edit(3, s.slot, AdvancedTitle, {
        act([&row](HWND d) {
          expectPlace(d, AdvFrames, 505, 562, 50, 22);
          expectPlace(d, AdvZOrder, 105, 652, 130, 22);
          expectPlace(d, AdvReset, 425, 658, 90, 32);
          expectLabelPlace(d, L"Cursor:", 415, 598, 90, 20);
          expectPlace(d, AdvCursor, 505, 594, 80, 22);
          expectPlace(d, AdvCursorRadius, 626, 594, 40, 22);
          expectLabelPlace(d, L"Click:", 415, 630, 90, 20);
          expectPlace(d, AdvClick, 505, 626, 80, 22);
          expectPlace(d, AdvClickCount, 626, 626, 40, 22);
          expectLabelPlace(d, L"When it ends:", 10, 686, 90, 20);
          expectPlace(d, AdvOnEnd, 105, 684, 295, 22);
          ASSERT_EQ(listCount(d, AdvCursor), 4);
          const wchar_t* const cursors[] = {L"None", L"Follow", L"Repel", L"Attract"};
          for (int i = 0; i < 4; ++i) EXPECT_EQ(listEntry(d, AdvCursor, i), cursors[i]);
          ASSERT_EQ(listCount(d, AdvClick), 2);
          EXPECT_EQ(listEntry(d, AdvClick, 0), L"Off");
          EXPECT_EQ(listEntry(d, AdvClick, 1), L"Burst");

          EXPECT_EQ(listSel(d, AdvCursor), row.cursor);
          EXPECT_EQ(text(d, AdvCursorRadius), row.radius);
          EXPECT_EQ(enabled(d, AdvCursorRadius), row.radiusOn);
          EXPECT_EQ(listSel(d, AdvClick), row.click);
          EXPECT_EQ(text(d, AdvClickCount), row.count);
          EXPECT_EQ(enabled(d, AdvClickCount), row.countOn);
          EXPECT_EQ(text(d, AdvOnEnd), row.onEnd);
          row.change(d);
        }),
        waitTicks(2), pressOk()});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(slotText(s, 3), row.written);
  }
}

// A followed cursor gives births only while it is over the pane; a click in the pane bursts
// there, and nothing is born before it.
TEST(AdvancedEditor, PreviewFollowsTheCursorAndTakesClicksInItsPane) {
  {
    Slots s({"Rect1", "Glow", "100", "cursor=follow"});
    const int32_t result = edit(3, s.slot, AdvancedTitle, {
        act([](HWND d) {
          moveCursorAway(d);
          choose(d, AdvMode, 1);  // starts the preview again, with no particle left
        }),
        waitTicks(5),
        act([](HWND d) {
          EXPECT_EQ(litPixels(item(d, AdvPane)), 0) << "born while the cursor was away";
          moveCursorOver(item(d, AdvPane));
        }),
        [](HWND d) { return litPixels(item(d, AdvPane)) > 20 ? 1 : 0; },
        act(moveCursorAway), pressCancel()});
    EXPECT_EQ(result, 0);
  }
  {
    Slots s({"Rect1", "Glow", "100", "click=burst:200;density=0"});
    const int32_t result = edit(3, s.slot, AdvancedTitle, {
        act([](HWND d) { moveCursorOver(item(d, AdvPane)); }),
        waitTicks(5),
        act([](HWND d) {
          EXPECT_EQ(litPixels(item(d, AdvPane)), 0) << "born without a click";
          leftButton(MOUSEEVENTF_LEFTDOWN);
        }),
        [](HWND d) { return litPixels(item(d, AdvPane)) > 20 ? 1 : 0; },
        act([](HWND d) {
          leftButton(MOUSEEVENTF_LEFTUP);
          moveCursorAway(d);
        }),
        pressCancel()});
    leftButton(MOUSEEVENTF_LEFTUP);  // never left down, whatever failed
    EXPECT_EQ(result, 0);
  }
}

// With the animation setting's test answer (in this program's own copy of the editors): a
// reader without animations gets a still preview and the notice under the help text, unless
// the options say motion=always, which OK keeps.
TEST(AdvancedEditor, StillPreviewAndItsNotice) {
  struct Row {
    int animationsOff;
    const char* options;
    int still;
    const char* written;
  };
  const Row rows[] = {
      {1, "", 1, ""},
      {1, "mode=burst:100", 1, "mode=Burst:100"},
      {1, "motion=always", 0, "motion=always"},
      {0, "", 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.animationsOff) + " " + row.options);
    setAnimationsOffForTests(row.animationsOff);
    std::wstring slots[EditorSlotCount] = {L"Rect1", L"Glow", L"100", widen(row.options)};
    auto first = std::make_shared<std::vector<uint32_t>>();
    const int32_t result = editHere(slots, {
        [](HWND d) { return litPixels(item(d, AdvPane)) > 20 ? 1 : 0; },
        act([&row, first](HWND d) {
          expectPlace(d, AdvStillNotice, 415, 334, 290, 30);
          expectPlace(d, AdvPrewarm, 495, 370, 150, 24);
          EXPECT_EQ(text(d, AdvStillNotice), StillNotice);
          EXPECT_EQ(IsWindowVisible(item(d, AdvStillNotice)) ? 1 : 0, row.still);
          *first = shownPixels(item(d, AdvPane));
        }),
        waitTicks(6),
        act([&row, first](HWND d) {
          if (row.still) {
            EXPECT_TRUE(shownPixels(item(d, AdvPane)) == *first) << "the still preview moved";
          }
        }),
        pressOk()});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(slots[3], widen(row.written));
  }
  setAnimationsOffForTests(-1);
}

// The Play editor's preview keeps the same rule, with the same notice under its pane, read again
// at each change of a field.
TEST(PlayEditor, StillPreviewAndItsNotice) {
  for (int off : {1, 0}) {
    SCOPED_TRACE(off ? "animations off" : "animations on");
    setAnimationsOffForTests(off);
    std::wstring slots[EditorSlotCount] = {L"Rect1", L"Glow", L"100", L""};
    auto first = std::make_shared<std::vector<uint32_t>>();
    const int32_t result = playEditHere(slots, {
        [](HWND d) { return litPixels(item(d, PlayPane)) > 20 ? 1 : 0; },
        act([off, first](HWND d) {
          expectPlace(d, PlayStillNotice, 410, 260, 290, 30);
          EXPECT_EQ(text(d, PlayStillNotice), StillNotice);
          EXPECT_EQ(IsWindowVisible(item(d, PlayStillNotice)) ? 1 : 0, off);
          *first = shownPixels(item(d, PlayPane));
        }),
        waitTicks(6),
        act([off, first](HWND d) {
          EXPECT_EQ(shownPixels(item(d, PlayPane)) == *first, off != 0) << "still while moving, or moved while still";
          setAnimationsOffForTests(!off);
          choose(d, PlayPreset, 3);
        }),
        waitTicks(1),
        act([off](HWND d) { EXPECT_EQ(IsWindowVisible(item(d, PlayStillNotice)) ? 1 : 0, !off); }),
        pressCancel()});
    EXPECT_EQ(result, 0);
  }
  setAnimationsOffForTests(-1);
}

// The setting is read again whenever the preview is rebuilt: a change of it shows at the next
// change of a control, both ways.
TEST(AdvancedEditor, TheNoticeFollowsTheSettingAtTheNextChange) {
  setAnimationsOffForTests(0);
  std::wstring slots[EditorSlotCount] = {L"Rect1", L"Glow", L"100", L""};
  const int32_t result = editHere(slots, {
      act([](HWND d) {
        EXPECT_FALSE(IsWindowVisible(item(d, AdvStillNotice)));
        setAnimationsOffForTests(1);
        choose(d, AdvArea, 1);
      }),
      waitTicks(1),
      act([](HWND d) {
        EXPECT_TRUE(IsWindowVisible(item(d, AdvStillNotice)));
        setAnimationsOffForTests(0);
        choose(d, AdvArea, 2);
      }),
      waitTicks(1),
      act([](HWND d) { EXPECT_FALSE(IsWindowVisible(item(d, AdvStillNotice))); }),
      pressCancel()});
  EXPECT_EQ(result, 0);
  setAnimationsOffForTests(-1);
}

// --- Visual style --------------------------------------------------------------------------

// Whether the button answers BCM_GETIDEALSIZE, which only version 6 of the common controls
// implements (user32's own buttons leave it unanswered).
int isVersionSixButton(HWND button) {
  SIZE ideal = {0, 0};
  return SendMessageW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) && ideal.cx > 0;
}

int runningUnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The editors' controls are version 6 common controls (they draw with the system's visual
// style), while the host's thread runs under its own activation context before and after, and a
// button the host makes itself stays the one its own manifest gives it.
TEST(EditorStyle, EditorControlsAreVersionSixAndTheHostsContextIsLeftAlone) {
  auto hostButtonIsVersionSix = [] {
    HWND button = CreateWindowExW(0, L"Button", L"OK", WS_CHILD, 0, 0, 50, 20, host().page,
                                  nullptr, nullptr, nullptr);
    const int six = button ? isVersionSixButton(button) : -1;
    if (button) DestroyWindow(button);
    return six;
  };
  EXPECT_EQ(hostButtonIsVersionSix(), 0) << "the test program itself asks for version 6";
  HANDLE before = nullptr;
  ASSERT_TRUE(GetCurrentActCtx(&before));
  struct Row {
    int32_t action;
    const wchar_t* title;
    int slider;
  };
  const Row rows[] = {{1, PlayTitle, PlayIntensity}, {3, AdvancedTitle, AdvBoxSlider + 2}};
  for (const Row& row : rows) {
    Slots s({"Rect1", "Fire", "75", ""});
    int okIsSix = -1;
    LRESULT sliderVersion = -1;
    HANDLE during = nullptr;
    edit(row.action, s.slot, row.title, {
        act([&](HWND d) {
          okIsSix = isVersionSixButton(item(d, EditorOk));
          sliderVersion = SendMessageW(item(d, row.slider), CCM_GETVERSION, 0, 0);
          GetCurrentActCtx(&during);
        }),
        pressCancel()});
    EXPECT_EQ(okIsSix, 1) << row.action;
    // Windows' version 6 controls answer 6; Wine's slider leaves the message to DefWindowProc.
    if (!runningUnderWine()) {
      EXPECT_EQ(sliderVersion, 6) << row.action;
    }
    EXPECT_NE(during, before) << "the editor's loop ran under the host's context";
    if (during) ReleaseActCtx(during);
    HANDLE after = nullptr;
    ASSERT_TRUE(GetCurrentActCtx(&after));
    EXPECT_EQ(after, before) << "the editor left its context active on the host's thread";
    if (after) ReleaseActCtx(after);
  }
  if (before) ReleaseActCtx(before);
  EXPECT_EQ(hostButtonIsVersionSix(), 0) << "the host's own buttons changed version";
}
