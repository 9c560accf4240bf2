// The editors' control toolkit on plain Win32 and comctl32: the editor and canvas window
// classes (registered once, on the library's instance), layouts created from control tables,
// the event loop, and the system colour and file dialogs. Owns the registration flag and the
// colour dialog's custom colours; every other state is in the editor's EditorDialog.
#include "editor/dialog_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include "common/fp_env.h"
#include "runtime/emitter.h"
#include "runtime/host_link.h"
#include "runtime/runtime_win32.h"
#include "editor/visual_style_win32.h"

static const wchar_t* const EditorClass = L"LumivexEditor";
static const wchar_t* const CanvasClass = L"LumivexEditorCanvas";

constexpr int ListDropHeight = 220;  // pixels at 96 dpi below a drop-down list's field
constexpr int ListBorderHeight = 6;  // pixels the field's frame adds to its item height

struct ToolkitState {
  int classesRegistered;      // 1 once both window classes exist
  COLORREF customColors[16];  // the colour dialog's custom colours, kept between openings
};

static ToolkitState toolkit = {};

// --- Canvas --------------------------------------------------------------------------------

static void paintHatch(HDC dc, const RECT& r, int dpiX, int dpiY) {
  HBRUSH grey = CreateSolidBrush(RGB(220, 220, 220));
  FillRect(dc, &r, grey);
  DeleteObject(grey);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(170, 170, 170));
  HGDIOBJ old = SelectObject(dc, pen);
  // The hatch is drawn in the swatch's 96-dpi coordinates (50 x 22), scaled like the layout.
  for (int x = -22; x <= 50; x += 6) {
    MoveToEx(dc, MulDiv(x, dpiX, 96), 0, nullptr);
    LineTo(dc, MulDiv(x + 22, dpiX, 96), MulDiv(22, dpiY, 96));
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

static void copyFrame(HDC dc, const Emitter& e) {
  if (!e.presentation.frameBitmap) return;
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, static_cast<HBITMAP>(e.presentation.frameBitmap));
  BitBlt(dc, 0, 0, e.frame.frameWidth, e.frame.frameHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

static LRESULT canvasMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) return 1;  // WM_PAINT covers every pixel
  if (msg != WM_PAINT) return DefWindowProcW(w, msg, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  RECT r;
  GetClientRect(w, &r);
  const CanvasPaint* p = reinterpret_cast<const CanvasPaint*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  if (!p || p->isPane) {
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (p && p->frame) copyFrame(dc, *p->frame);
  } else if (p->hatched) {
    paintHatch(dc, r, GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
  } else {
    HBRUSH b = CreateSolidBrush(p->color);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  EndPaint(w, &ps);
  return 0;
}

// No C++ exception may unwind through the system's code that calls a window procedure; nothing
// here allocates much, so one that does fail paints nothing.
static LRESULT CALLBACK canvasProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  EngineFpScope engineWords;  // called from the host's thread under the host's control words
  try {
    return canvasMessage(w, msg, wp, lp);
  } catch (...) {
    return DefWindowProcW(w, msg, wp, lp);
  }
}

// --- Events --------------------------------------------------------------------------------

// The loop sleeps in GetMessage until something is posted: whatever ends the editor posts a
// message too, so that it ends even when the ending came in a message sent from another thread
// (a click by UI automation, a screen reader or a test tool), which GetMessage handles without
// returning.
static void endEditorLoop(EditorDialog& d) {
  d.done = 1;
  if (d.window && IsWindow(d.window))
    PostMessageW(d.window, WM_NULL, 0, 0);
  else
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

static void dispatchEvent(EditorDialog& d, int id) {
  if (d.handling || d.done) return;
  for (int i = 0; i < d.handlerCount; ++i) {
    if (d.handlers[i].control != id) continue;
    d.handling = 1;
    d.handlers[i].handle(d, id);
    d.handling = 0;
    if (d.done) endEditorLoop(d);
    return;
  }
}

// Whether a WM_COMMAND notification is a change the editors react to: an edit's text changed,
// a list's selection changed, a button or box was clicked. Focus and drop-down notifications are
// not events: the Shape list would otherwise reopen its file dialog each time it got the focus
// back from that dialog.
static int isChangeNotification(HWND from, int code) {
  if (!from) return 1;  // keyboard: Enter and Escape as OK and Cancel
  wchar_t cls[32] = {};
  GetClassNameW(from, cls, 32);
  if (lstrcmpiW(cls, L"Edit") == 0) return code == EN_CHANGE;
  if (lstrcmpiW(cls, L"ComboBox") == 0) return code == CBN_SELCHANGE;
  if (lstrcmpiW(cls, L"Button") == 0) return code == BN_CLICKED;
  return 0;
}

static LRESULT editorMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  EditorDialog* d = reinterpret_cast<EditorDialog*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  if (!d) return DefWindowProcW(w, msg, wp, lp);
  switch (msg) {
    case WM_COMMAND:
      if (isChangeNotification(reinterpret_cast<HWND>(lp), HIWORD(wp))) dispatchEvent(*d, LOWORD(wp));
      return 0;
    case WM_HSCROLL:
      if (lp) dispatchEvent(*d, GetDlgCtrlID(reinterpret_cast<HWND>(lp)));
      return 0;
    case WM_TIMER:
      if (wp == PreviewTimerId) dispatchEvent(*d, EventTimer);
      return 0;
    case WM_CLOSE:
      dispatchEvent(*d, EventClose);
      return 0;
    case WM_DESTROY:
      // Gone from under the editor (its owner was destroyed): the loop ends as for the close box.
      d->window = nullptr;
      endEditorLoop(*d);
      return 0;
    default:
      return DefWindowProcW(w, msg, wp, lp);
  }
}

// A handler cut short by a failed allocation ends the editor as cancelled: the host's parameters
// stay as they were, and no exception unwinds through the system's code.
static LRESULT CALLBACK editorProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  EngineFpScope engineWords;
  try {
    return editorMessage(w, msg, wp, lp);
  } catch (...) {
    EditorDialog* d = reinterpret_cast<EditorDialog*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (d) {
      d->handling = 0;
      d->result = 0;
      endEditorLoop(*d);
    }
    return 0;
  }
}

// --- Window and controls -------------------------------------------------------------------

static int registerClasses() {
  if (toolkit.classesRegistered) return 1;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  for (COLORREF& c : toolkit.customColors) c = RGB(255, 255, 255);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.hInstance = runtime.module;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow (IDC_ARROW)
  wc.lpfnWndProc = editorProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = EditorClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 0;
  wc.lpfnWndProc = canvasProc;
  wc.hbrBackground = nullptr;
  wc.lpszClassName = CanvasClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 0;
  toolkit.classesRegistered = 1;
  return 1;
}

struct KindStyle {
  const wchar_t* cls;
  DWORD style;
  DWORD exStyle;
};

// Indexed by ControlKind.
static const KindStyle KindStyles[] = {
    {L"Static", SS_LEFT | SS_NOPREFIX, 0},
    {L"Edit", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {L"Button", WS_TABSTOP | BS_PUSHBUTTON, 0},
    {L"Button", WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {L"Button", WS_TABSTOP | BS_AUTOCHECKBOX, 0},
    {L"ComboBox", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0},
    {TRACKBAR_CLASSW, WS_TABSTOP | TBS_HORZ | TBS_BOTTOM, 0},
    {CanvasClass, 0, 0},
};
static_assert(sizeof KindStyles / sizeof KindStyles[0] == ControlKindCount, "one style per kind");

int openEditorWindow(EditorDialog& d, const wchar_t* title, int clientWidth, int clientHeight,
                     const ControlPlace* controls, int controlCount,
                     const EditorHandler* handlers, int handlerCount) {
  d.window = nullptr;
  d.handlers = nullptr;  // nothing the creation of the controls causes is an event
  d.handlerCount = 0;
  d.done = 0;
  d.result = 0;
  d.handling = 0;
  ULONG_PTR visualStyle = 0;  // the editors' visual style while their windows are made
  beginEditorStyle(visualStyle);
  if (!registerClasses()) {
    endEditorStyle(visualStyle);
    return 0;
  }
  HDC screen = GetDC(nullptr);
  d.dpiX = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  d.dpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT r = {0, 0, MulDiv(clientWidth, d.dpiX, 96), MulDiv(clientHeight, d.dpiY, 96)};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  const int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  if (y < 0) y = 0;  // a screen smaller than the editor keeps the caption reachable
  if (x < 0) x = 0;
  HWND owner = GetActiveWindow();
  HWND window = CreateWindowExW(exStyle, EditorClass, title, style, x, y, w, h, owner, nullptr,
                                runtime.module, &d);
  if (!window) {
    endEditorStyle(visualStyle);
    return 0;
  }
  d.window = window;

  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (int i = 0; i < controlCount; ++i) {
    const ControlPlace& c = controls[i];
    const KindStyle& k = KindStyles[c.kind];
    const int cx = MulDiv(c.x, d.dpiX, 96), cy = MulDiv(c.y, d.dpiY, 96);
    const int cw = MulDiv(c.w, d.dpiX, 96);
    int ch = MulDiv(c.h, d.dpiY, 96);
    if (c.kind == CtlList) ch += MulDiv(ListDropHeight, d.dpiY, 96);
    HWND child = CreateWindowExW(k.exStyle, k.cls, c.text ? c.text : L"",
                                 WS_CHILD | WS_VISIBLE | k.style, cx, cy, cw, ch, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                 runtime.module, nullptr);
    if (!child) continue;
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (c.kind == CtlList)
      SendMessageW(child, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                   MulDiv(c.h - ListBorderHeight, d.dpiY, 96));
  }
  d.handlers = handlers;
  d.handlerCount = handlerCount;
  endEditorStyle(visualStyle);
  return 1;
}

int runEditorLoop(EditorDialog& d, void (*afterPass)()) {
  if (!d.window) return 0;
  ULONG_PTR visualStyle = 0;  // the system dialogs the handlers open share the editors' style
  beginEditorStyle(visualStyle);
  ShowWindow(d.window, SW_SHOW);
  SetForegroundWindow(d.window);
  MSG msg;
  while (!d.done) {
    BOOL got = 0;
    {
      // Waiting and dispatching run the host's windows too: under the host's control words
      // (ours come back in our own window procedures).
      HostFpScope hostWords;
      got = GetMessageW(&msg, nullptr, 0, 0);
      if (got > 0 && (!d.window || !IsDialogMessageW(d.window, &msg))) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    if (got == 0) {
      // The application is quitting: the editor ends as cancelled and the quit goes on.
      PostQuitMessage(static_cast<int>(msg.wParam));
      d.result = 0;
      break;
    }
    if (got < 0) break;
    if (afterPass && !d.done) afterPass();
  }
  endEditorStyle(visualStyle);
  return d.result;
}

void closeEditorWindow(EditorDialog& d) {
  if (d.window && IsWindow(d.window)) DestroyWindow(d.window);
  d.window = nullptr;
}

// --- The editor shell ----------------------------------------------------------------------

int32_t runEditor(EditorDialog& d, const EditorSpec& spec, std::wstring* slots) {
  if (d.open) return 0;
  if (!openEditorWindow(d, spec.title, spec.clientWidth, spec.clientHeight, spec.layout,
                        spec.layoutCount, spec.handlers, spec.handlerCount))
    return 0;
  d.open = 1;
  d.spec = &spec;
  d.slots = slots;
  int32_t result = 0;
  // Whatever fails for want of memory ends the editor as cancelled, with its window closed and
  // its preview released below; no exception leaves the editor.
  try {
    d.handling = 1;  // setting the opening state is not an event of the author's
    spec.show(d);
    d.handling = 0;
    if (spec.previewTimer) SetTimer(d.window, PreviewTimerId, PreviewTimerMs, nullptr);
    result = runEditorLoop(d, spec.afterPass);
  } catch (...) {
    d.handling = 0;
    result = 0;
  }

  if (spec.previewTimer && d.window) KillTimer(d.window, PreviewTimerId);
  if (spec.finish) spec.finish();
  closeEditorWindow(d);
  d.slots = nullptr;
  d.spec = nullptr;
  d.open = 0;
  return result;
}

void editorCancel(EditorDialog& d, int) { d.done = 1; }  // dispatchEvent wakes the loop

void editorSelectRectangle(EditorDialog& d, int) {
  if (!d.spec) return;
  const std::wstring name = hostPickObject(controlText(d, d.spec->rectangleControl));
  if (!name.empty()) setControlText(d, d.spec->rectangleControl, name);
}

void editorAccept(EditorDialog& d, int) {
  if (d.spec && d.slots) d.spec->accept(d);
  d.result = 1;
  d.done = 1;
}

// --- Control access ------------------------------------------------------------------------

HWND control(const EditorDialog& d, int id) { return d.window ? GetDlgItem(d.window, id) : nullptr; }

std::wstring controlText(const EditorDialog& d, int id) {
  HWND c = control(d, id);
  if (!c) return std::wstring();
  const int n = GetWindowTextLengthW(c);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(c, &text[0], n + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

void setControlText(const EditorDialog& d, int id, const std::wstring& text) {
  if (HWND c = control(d, id)) SetWindowTextW(c, text.c_str());
}

void addListEntry(const EditorDialog& d, int id, const std::wstring& text) {
  SendMessageW(control(d, id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int listSelection(const EditorDialog& d, int id) {
  return static_cast<int>(SendMessageW(control(d, id), CB_GETCURSEL, 0, 0));
}

void setListSelection(const EditorDialog& d, int id, int position) {
  SendMessageW(control(d, id), CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

int listCount(const EditorDialog& d, int id) {
  return static_cast<int>(SendMessageW(control(d, id), CB_GETCOUNT, 0, 0));
}

void setSliderRange(const EditorDialog& d, int id, int maxPosition) {
  SendMessageW(control(d, id), TBM_SETRANGEMIN, FALSE, 0);
  SendMessageW(control(d, id), TBM_SETRANGEMAX, TRUE, maxPosition);
}

int sliderPosition(const EditorDialog& d, int id) {
  return static_cast<int>(SendMessageW(control(d, id), TBM_GETPOS, 0, 0));
}

void setSliderPosition(const EditorDialog& d, int id, int position) {
  SendMessageW(control(d, id), TBM_SETPOS, TRUE, position);
}

int isChecked(const EditorDialog& d, int id) {
  return SendMessageW(control(d, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void setChecked(const EditorDialog& d, int id, int checked) {
  SendMessageW(control(d, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void setEnabled(const EditorDialog& d, int id, int enabled) {
  if (HWND c = control(d, id)) EnableWindow(c, enabled ? TRUE : FALSE);
}

void setVisible(const EditorDialog& d, int id, int visible) {
  if (HWND c = control(d, id)) ShowWindow(c, visible ? SW_SHOWNA : SW_HIDE);
}

void setCanvasPaint(const EditorDialog& d, int id, CanvasPaint* paint) {
  if (HWND c = control(d, id)) SetWindowLongPtrW(c, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(paint));
  repaintCanvas(d, id);
}

void repaintCanvas(const EditorDialog& d, int id) {
  if (HWND c = control(d, id)) {
    InvalidateRect(c, nullptr, FALSE);
    UpdateWindow(c);
  }
}

// --- System dialogs ------------------------------------------------------------------------

int chooseColor(HWND owner, int& r, int& g, int& b) {
  CHOOSECOLORW cc = {};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = owner;
  cc.rgbResult = RGB(r, g, b);
  cc.lpCustColors = toolkit.customColors;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
  BOOL chosen = FALSE;
  {
    HostFpScope hostWords;  // a modal loop: the host's windows are served meanwhile
    chosen = ChooseColorW(&cc);
  }
  if (!chosen) return 0;
  r = GetRValue(cc.rgbResult);
  g = GetGValue(cc.rgbResult);
  b = GetBValue(cc.rgbResult);
  return 1;
}

std::wstring chooseSpriteFile(HWND owner, const std::wstring& initialFile) {
  wchar_t path[1024] = {};
  // An initial name that does not fit the buffer is dropped rather than cut.
  if (initialFile.size() < sizeof path / sizeof path[0]) lstrcpynW(path, initialFile.c_str(), 1024);
  static const wchar_t filter[] =
      L"Image Files (*.png; *.jpg; *.bmp; *.gif)\0*.png;*.jpg;*.bmp;*.gif\0All Files (*.*)\0*.*\0";
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof path / sizeof path[0];
  ofn.lpstrTitle = L"Select sprite image";
  // The host's current directory is left where it was.
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  BOOL opened = FALSE;
  {
    HostFpScope hostWords;
    opened = GetOpenFileNameW(&ofn);
  }
  if (!opened) return std::wstring();
  return path;
}
