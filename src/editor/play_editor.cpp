// The Play action's editor: rectangle, preset, intensity and an optional override colour, with
// the live preview on playPreviewEmitter. Owns the PlayEditor record (the open dialog, its
// swatch and pane paint, the preview's frame clock and the host's array while open).
#include <windows.h>

#include <string>

#include "common/text.h"
#include "config/emitter_config.h"
#include "editor/dialog_win32.h"
#include "editor/editor_state.h"
#include "editor/editors.h"
#include "editor/preview.h"
#include "plugin/host_api.h"
#include "plugin/host_text.h"

static const wchar_t PlayHelpText[] =
    L"Intensity 0-100 scales the spawn rate (50 = preset default, 100 = 2x). Override color "
    L"replaces both birth and death colors with one solid color (alpha still fades naturally). "
    L"Leave override off to use the preset's natural colors. \r\n\r\n"
    L"The right pane shows a live preview as you adjust settings.";

static const ControlPlace PlayLayout[] = {
    {NoControlId, CtlLabel, 10, 14, 90, 20, L"Rectangle:"},
    {PlayRectangle, CtlEdit, 110, 10, 200, 22, nullptr},
    {PlaySelect, CtlButton, 315, 10, 75, 22, L"Select..."},
    {NoControlId, CtlLabel, 10, 44, 90, 20, L"Preset:"},
    {PlayPreset, CtlList, 110, 40, 200, 22, nullptr},
    {NoControlId, CtlLabel, 10, 78, 90, 20, L"Intensity:"},
    {PlayIntensity, CtlSlider, 110, 74, 200, 24, nullptr},
    {PlayIntensityValue, CtlLabel, 320, 78, 60, 20, nullptr},
    {PlayOverride, CtlCheck, 10, 112, 130, 22, L"Override color"},
    {NoControlId, CtlLabel, 145, 116, 12, 20, L"R"},
    {PlayRed, CtlEdit, 160, 112, 35, 22, nullptr},
    {NoControlId, CtlLabel, 200, 116, 12, 20, L"G"},
    {PlayGreen, CtlEdit, 215, 112, 35, 22, nullptr},
    {NoControlId, CtlLabel, 255, 116, 12, 20, L"B"},
    {PlayBlue, CtlEdit, 270, 112, 35, 22, nullptr},
    {PlayPick, CtlButton, 315, 112, 75, 22, L"Pick..."},
    {PlaySwatch, CtlCanvas, 110, 142, 60, 18, nullptr},
    {NoControlId, CtlLabel, 175, 145, 200, 18, L"(used when 'Override color' is on)"},
    {NoControlId, CtlLabel, 10, 180, 380, 100, PlayHelpText},
    {NoControlId, CtlLabel, 410, 14, 200, 18, L"Live Preview:"},
    {PlayPane, CtlCanvas, 410, 34, 290, 220, nullptr},
    {EditorOk, CtlDefaultButton, 525, 320, 90, 32, L"OK"},
    {EditorCancel, CtlButton, 620, 320, 90, 32, L"Cancel"},
};

struct PlayEditor {
  EditorDialog dialog;
  CanvasPaint swatch;     // override colour, repainted with every change of the fields
  CanvasPaint pane;       // black until the first preview frame
  uint32_t frameClockMs;  // GetTickCount of the last preview frame
  char** params;          // the host's parameter array while the dialog is open
  int open;               // 1 while the dialog runs (a second opening is refused)
};

static PlayEditor play = {};

static std::string fieldText(int id) { return wideToUtf8(controlText(play.dialog, id)); }

static std::string selectedPresetName() {
  return PresetDisplayName(listSelection(play.dialog, PlayPreset));
}

static void showIntensity() {
  setControlText(play.dialog, PlayIntensityValue,
                 utf8ToWide(percentLabel(sliderPosition(play.dialog, PlayIntensity))));
}

static void paintSwatch(int r, int g, int b) {
  play.swatch.color = RGB(r, g, b);
  repaintCanvas(play.dialog, PlaySwatch);
}

static void readFieldColor(int& r, int& g, int& b) {
  r = colorFieldValue(fieldText(PlayRed));
  g = colorFieldValue(fieldText(PlayGreen));
  b = colorFieldValue(fieldText(PlayBlue));
}

// The fields as typed (trimmed), for the preset list and the slider; the override fields
// themselves pass their clamped values.
static std::string typedColorText() {
  if (!isChecked(play.dialog, PlayOverride)) return std::string();
  return trimSpaces(fieldText(PlayRed)) + "," + trimSpaces(fieldText(PlayGreen)) + "," +
         trimSpaces(fieldText(PlayBlue));
}

static void onClose(int) { play.dialog.done = 1; }

static void onTimer(int) {
  previewStep(playPreviewEmitter, control(play.dialog, PlayPane), play.frameClockMs);
  play.pane.frame = &playPreviewEmitter;
}

static void onSelect(int) {
  const std::wstring name = pickObject(controlText(play.dialog, PlayRectangle));
  if (!name.empty()) setControlText(play.dialog, PlayRectangle, name);
}

static void onPreset(int) {
  restartPreview(playPreviewEmitter, selectedPresetName(), sliderPosition(play.dialog, PlayIntensity),
                 typedColorText());
}

static void onIntensity(int) {
  showIntensity();
  refreshPreviewConfig(playPreviewEmitter, selectedPresetName(),
                       sliderPosition(play.dialog, PlayIntensity), typedColorText());
}

static void onColorField(int) {
  int r, g, b;
  readFieldColor(r, g, b);
  paintSwatch(r, g, b);
  refreshPreviewConfig(playPreviewEmitter, selectedPresetName(),
                       sliderPosition(play.dialog, PlayIntensity),
                       playColorText(isChecked(play.dialog, PlayOverride), r, g, b));
}

static void onPick(int) {
  int r, g, b;
  readFieldColor(r, g, b);
  if (!chooseColor(play.dialog.window, r, g, b)) return;
  setControlText(play.dialog, PlayRed, std::to_wstring(r));
  setControlText(play.dialog, PlayGreen, std::to_wstring(g));
  setControlText(play.dialog, PlayBlue, std::to_wstring(b));
  setChecked(play.dialog, PlayOverride, 1);
  paintSwatch(r, g, b);
  refreshPreviewConfig(playPreviewEmitter, selectedPresetName(),
                       sliderPosition(play.dialog, PlayIntensity), playColorText(1, r, g, b));
}

static void onOk(int) {
  int r, g, b;
  readFieldColor(r, g, b);
  writeParam(play.params, 0, utf8ToWide(trimSpaces(fieldText(PlayRectangle))));
  writeParam(play.params, 1, utf8ToWide(selectedPresetName()));
  writeParam(play.params, 2, std::to_wstring(sliderPosition(play.dialog, PlayIntensity)));
  writeParam(play.params, 3, utf8ToWide(playColorText(isChecked(play.dialog, PlayOverride), r, g, b)));
  play.dialog.result = 1;
  play.dialog.done = 1;
}

static const EditorHandler PlayHandlers[] = {
    {EventClose, onClose},     {EventTimer, onTimer},         {PlaySelect, onSelect},
    {PlayPreset, onPreset},    {PlayIntensity, onIntensity},  {PlayOverride, onColorField},
    {PlayRed, onColorField},   {PlayGreen, onColorField},     {PlayBlue, onColorField},
    {PlayPick, onPick},        {EditorOk, onOk},              {EditorCancel, onClose},
};

static void showOpeningState(const PlayDialogState& s) {
  EditorDialog& d = play.dialog;
  setControlText(d, PlayRectangle, utf8ToWide(s.rectangle));
  for (int id = 0; id < PresetCount; ++id) addListEntry(d, PlayPreset, utf8ToWide(PresetDisplayName(id)));
  setListSelection(d, PlayPreset, s.presetIndex);
  setSliderRange(d, PlayIntensity, 100);
  setSliderPosition(d, PlayIntensity, s.intensity);
  showIntensity();
  setChecked(d, PlayOverride, s.overrideOn);
  setControlText(d, PlayRed, std::to_wstring(s.red));
  setControlText(d, PlayGreen, std::to_wstring(s.green));
  setControlText(d, PlayBlue, std::to_wstring(s.blue));
  play.swatch = {0, RGB(s.red, s.green, s.blue), 0, nullptr};
  play.pane = {0, RGB(0, 0, 0), 1, nullptr};
  setCanvasPaint(d, PlaySwatch, &play.swatch);
  setCanvasPaint(d, PlayPane, &play.pane);
}

int32_t runPlayEditor(char** params) {
  if (play.open) return 0;
  std::string slots[4];
  for (int i = 0; i < 4; ++i) slots[i] = wideToUtf8(readParam(params, i));
  PlayDialogState s = {};
  readPlayOpening(slots, s);

  if (!openEditorWindow(play.dialog, L"Lumivex - Play", 720, 380, PlayLayout,
                        sizeof PlayLayout / sizeof PlayLayout[0],
                        PlayHandlers, sizeof PlayHandlers / sizeof PlayHandlers[0]))
    return 0;
  play.open = 1;
  play.params = params;
  // Setting the opening texts is not an event of the author's.
  play.dialog.handling = 1;
  showOpeningState(s);
  play.dialog.handling = 0;

  preparePreview(playPreviewEmitter);
  restartPreview(playPreviewEmitter, s.presetText, s.intensity, s.colorText);
  play.frameClockMs = GetTickCount();
  SetTimer(play.dialog.window, PreviewTimerId, PreviewTimerMs, nullptr);

  const int32_t result = runEditorLoop(play.dialog, nullptr);

  if (play.dialog.window) KillTimer(play.dialog.window, PreviewTimerId);
  playPreviewEmitter.renderingEnabled = 0;
  closeEditorWindow(play.dialog);
  play.params = nullptr;
  play.open = 0;
  return result;
}
