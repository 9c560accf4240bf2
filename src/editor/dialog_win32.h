// The small control toolkit the action editors stand on: a captioned, non-sizable editor window
// owned by the active window and centred on the screen, its controls created from a table of
// 96-dpi rectangles scaled by the screen's resolution, paintable canvases (colour swatches and
// the preview pane), the editor's own event loop that hands one event per pass to a handler
// table, and the system colour and open-file dialogs. Owns the window classes it registers;
// each editor owns its EditorDialog record. Windows build only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct Emitter;

enum ControlKind {
  CtlLabel, CtlEdit, CtlButton, CtlDefaultButton, CtlCheck, CtlList, CtlSlider, CtlCanvas,
  ControlKindCount
};

// One control of a layout: its id, kind and rectangle in client pixels at 96 dpi.
struct ControlPlace {
  int id;               // control id; labels that nobody reads use NoControlId
  ControlKind kind;
  int x, y, w, h;       // pixels at 96 dpi
  const wchar_t* text;  // caption or label text; null for none
};

constexpr int NoControlId = 0xFFFF;
constexpr int EventClose = -1;              // the close box (or the window went away)
constexpr int EventTimer = -2;              // the preview timer ticked
constexpr UINT_PTR PreviewTimerId = 1;
constexpr UINT PreviewTimerMs = 33;         // milliseconds between preview frames

// What a canvas shows: a solid colour, the hatch that stands for the preset's own colour, or
// black with the frame of a preview emitter copied over it.
struct CanvasPaint {
  int hatched;          // 1: light grey with grey diagonal lines
  COLORREF color;       // solid colour when not hatched
  int isPane;           // 1: the preview pane (black, then frame when set)
  const Emitter* frame; // pane only: emitter whose frame bitmap is copied in; null shows black
};

struct EditorDialog;

struct EditorHandler {
  int control;                                      // control id, EventClose or EventTimer
  void (*handle)(EditorDialog& dialog, int control);  // runs on the host's thread in the loop
};

// What makes one editor: its window, controls and event table, and the steps the shell runs
// around its loop.
struct EditorSpec {
  const wchar_t* title;            // window caption
  int clientWidth, clientHeight;   // pixels at 96 dpi
  const ControlPlace* layout;
  int layoutCount;
  const EditorHandler* handlers;
  int handlerCount;
  int rectangleControl;            // the edit that editorSelectRectangle fills
  void (*show)(EditorDialog& dialog);    // the opening state from the slots (not events)
  void (*accept)(EditorDialog& dialog);  // OK: the controls into the slots
  int previewTimer;                // 1: the preview timer runs while the editor is open
  void (*afterPass)();             // after every pass of the loop; null for none
  void (*finish)();                // after the loop, before the window goes; null for none
};

struct EditorDialog {
  HWND window;                    // null when closed
  int dpiX, dpiY;                 // screen resolution the layout is scaled by
  const EditorHandler* handlers;  // the editor's event table
  int handlerCount;
  int handling;                   // 1 while a handler runs: events it causes itself are not new ones
  int done;                       // 1 once the loop is to end
  int result;                     // 1 after OK
  const EditorSpec* spec;         // the editor being run; null when closed
  std::wstring* slots;            // the action's parameter texts while open; rewritten on OK
  int open;                       // 1 while the editor runs (a second opening is refused)
};

// The whole life of one editor: refused (0) when this dialog is already open or its window
// cannot be made; otherwise the window with its opening state, the loop until OK (1, slots
// rewritten by spec.accept), Cancel or the close box (0, slots untouched), then the clean-up.
int32_t runEditor(EditorDialog& dialog, const EditorSpec& spec, std::wstring* slots);

// Handlers every editor shares: Cancel and the close box; the Select... button (asks the host to
// pick an object into spec.rectangleControl); OK (spec.accept, then the loop ends with 1).
void editorCancel(EditorDialog& dialog, int control);
void editorSelectRectangle(EditorDialog& dialog, int control);
void editorAccept(EditorDialog& dialog, int control);

// Opens the window (hidden) with its controls and the editor's event table; 0 when the window
// cannot be created.
int openEditorWindow(EditorDialog& dialog, const wchar_t* title, int clientWidth, int clientHeight,
                     const ControlPlace* controls, int controlCount,
                     const EditorHandler* handlers, int handlerCount);
// Shows the window and runs the event loop until a handler sets done; returns the result.
// After every pass afterPass runs when given (the PlayAdvanced preview rebuild).
int runEditorLoop(EditorDialog& dialog, void (*afterPass)());
// Destroys the window if it is still there.
void closeEditorWindow(EditorDialog& dialog);

// Control access by id.
HWND control(const EditorDialog& dialog, int id);
std::wstring controlText(const EditorDialog& dialog, int id);
void setControlText(const EditorDialog& dialog, int id, const std::wstring& text);
void addListEntry(const EditorDialog& dialog, int id, const std::wstring& text);
int listSelection(const EditorDialog& dialog, int id);
void setListSelection(const EditorDialog& dialog, int id, int position);
int listCount(const EditorDialog& dialog, int id);
void setSliderRange(const EditorDialog& dialog, int id, int maxPosition);
int sliderPosition(const EditorDialog& dialog, int id);
void setSliderPosition(const EditorDialog& dialog, int id, int position);
int isChecked(const EditorDialog& dialog, int id);
void setChecked(const EditorDialog& dialog, int id, int checked);
void setEnabled(const EditorDialog& dialog, int id, int enabled);
void setVisible(const EditorDialog& dialog, int id, int visible);
// Binds a canvas control to the record it paints from and repaints it.
void setCanvasPaint(const EditorDialog& dialog, int id, CanvasPaint* paint);
void repaintCanvas(const EditorDialog& dialog, int id);

// The system colour dialog started at r, g, b; 1 with the choice, 0 when cancelled.
int chooseColor(HWND owner, int& r, int& g, int& b);
// The open-file dialog for a sprite image; the chosen path, or empty when cancelled.
std::wstring chooseSpriteFile(HWND owner, const std::wstring& initialFile);
