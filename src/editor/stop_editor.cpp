// The Stop action's editor: the one rectangle whose effect is stopped, or none for every effect.
// No preview. Owns its EditorDialog record.
#include <windows.h>

#include <string>

#include "common/text.h"
#include "common/utf16_win32.h"
#include "editor/dialog_win32.h"
#include "editor/editors.h"

static const ControlPlace StopLayout[] = {
    {NoControlId, CtlLabel, 10, 12, 90, 20, L"Rectangle:"},
    {StopRectangle, CtlEdit, 110, 10, 170, 22, nullptr},
    {StopSelect, CtlButton, 285, 10, 80, 22, L"Select..."},
    {NoControlId, CtlLabel, 10, 42, 360, 32, L"Leave Rectangle empty to stop ALL active emitters."},
    {EditorOk, CtlDefaultButton, 185, 88, 85, 30, L"OK"},
    {EditorCancel, CtlButton, 280, 88, 85, 30, L"Cancel"},
};

static EditorDialog stop = {};

static void showStop(EditorDialog& d) { setControlText(d, StopRectangle, d.slots[0]); }

static void acceptStop(EditorDialog& d) {
  d.slots[0] = utf8ToWide(trimSpaces(wideToUtf8(controlText(d, StopRectangle))));
}

static const EditorHandler StopHandlers[] = {
    {EventClose, editorCancel}, {StopSelect, editorSelectRectangle}, {EditorOk, editorAccept},
    {EditorCancel, editorCancel},
};

static const EditorSpec StopEditor = {
    L"Lumivex - Stop", 380, 130, StopLayout, sizeof StopLayout / sizeof StopLayout[0],
    StopHandlers, sizeof StopHandlers / sizeof StopHandlers[0], StopRectangle,
    showStop, acceptStop, 0, nullptr, nullptr,
};

int32_t runStopEditor(std::wstring slots[EditorSlotCount]) { return runEditor(stop, StopEditor, slots); }
