// The Stop action's editor: the one rectangle whose effect is stopped, or none for every effect.
// No preview. Owns the StopEditor record (the open dialog and the host's array while open).
#include <windows.h>

#include <string>

#include "common/text.h"
#include "editor/dialog_win32.h"
#include "editor/editors.h"
#include "plugin/host_api.h"
#include "plugin/host_text.h"

static const ControlPlace StopLayout[] = {
    {NoControlId, CtlLabel, 10, 12, 90, 20, L"Rectangle:"},
    {StopRectangle, CtlEdit, 110, 10, 170, 22, nullptr},
    {StopSelect, CtlButton, 285, 10, 80, 22, L"Select..."},
    {NoControlId, CtlLabel, 10, 42, 360, 32, L"Leave Rectangle empty to stop ALL active emitters."},
    {EditorOk, CtlDefaultButton, 185, 88, 85, 30, L"OK"},
    {EditorCancel, CtlButton, 280, 88, 85, 30, L"Cancel"},
};

struct StopEditor {
  EditorDialog dialog;
  char** params;  // the host's parameter array while the dialog is open
  int open;       // 1 while the dialog runs (a second opening is refused)
};

static StopEditor stop = {};

static void onClose(int) { stop.dialog.done = 1; }

static void onSelect(int) {
  const std::wstring name = pickObject(controlText(stop.dialog, StopRectangle));
  if (!name.empty()) setControlText(stop.dialog, StopRectangle, name);
}

static void onOk(int) {
  const std::string name = trimSpaces(wideToUtf8(controlText(stop.dialog, StopRectangle)));
  writeParam(stop.params, 0, utf8ToWide(name));
  stop.dialog.result = 1;
  stop.dialog.done = 1;
}

static const EditorHandler StopHandlers[] = {
    {EventClose, onClose}, {StopSelect, onSelect}, {EditorOk, onOk}, {EditorCancel, onClose},
};

int32_t runStopEditor(char** params) {
  if (stop.open) return 0;
  const std::wstring rectangle = readParam(params, 0);
  if (!openEditorWindow(stop.dialog, L"Lumivex - Stop", 380, 130, StopLayout,
                        sizeof StopLayout / sizeof StopLayout[0],
                        StopHandlers, sizeof StopHandlers / sizeof StopHandlers[0]))
    return 0;
  stop.open = 1;
  stop.params = params;
  stop.dialog.handling = 1;  // the opening text is not an event
  setControlText(stop.dialog, StopRectangle, rectangle);
  stop.dialog.handling = 0;

  const int32_t result = runEditorLoop(stop.dialog, nullptr);
  closeEditorWindow(stop.dialog);
  stop.params = nullptr;
  stop.open = 0;
  return result;
}
