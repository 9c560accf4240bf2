// The Play action's editor: rectangle, preset, intensity and an optional override colour, with
// the live preview on playPreviewEmitter. Owns the PlayEditor record (the dialog, its swatch and
// pane paint, and the preview's frame clock).
#include <windows.h>

#include <string>

#include "common/text.h"
#include "common/utf16_win32.h"
#include "config/emitter_config.h"
#include "editor/dialog_win32.h"
#include "editor/editor_state.h"
#include "editor/editors.h"
#include "editor/preview.h"

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
    {PlayStillNotice, CtlLabel, 410, 260, 290, 30, PreviewStillNotice},  // while held still
    {EditorOk, CtlDefaultButton, 525, 320, 90, 32, L"OK"},
    {EditorCancel, CtlButton, 620, 320, 90, 32, L"Cancel"},
};

struct PlayEditor {
  EditorDialog dialog;
  CanvasPaint swatch;     // override colour, repainted with every change of the fields
  CanvasPaint pane;       // black until the first preview frame
  uint32_t frameClockMs;  // GetTickCount of the last preview frame
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

// The notice under the preview says whether it is held still.
static void showStillNotice() { setVisible(play.dialog, PlayStillNotice, previewHeldStill(playPreviewEmitter)); }

static void onTimer(EditorDialog&, int) {
  play.pane.frame = &playPreviewEmitter;
  previewStep(playPreviewEmitter, control(play.dialog, PlayPane), play.frameClockMs);
}

static void onPreset(EditorDialog&, int) {
  restartPreview(playPreviewEmitter, selectedPresetName(), sliderPosition(play.dialog, PlayIntensity),
                 typedColorText());
  showStillNotice();
}

static void onIntensity(EditorDialog&, int) {
  showIntensity();
  refreshPreviewConfig(playPreviewEmitter, selectedPresetName(),
                       sliderPosition(play.dialog, PlayIntensity), typedColorText());
  showStillNotice();
}

static void onColorField(EditorDialog&, int) {
  int r, g, b;
  readFieldColor(r, g, b);
  paintSwatch(r, g, b);
  refreshPreviewConfig(playPreviewEmitter, selectedPresetName(),
                       sliderPosition(play.dialog, PlayIntensity),
                       playColorText(isChecked(play.dialog, PlayOverride), r, g, b));
  showStillNotice();
}

static void onPick(EditorDialog&, int) {
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
  showStillNotice();
}

static void acceptPlay(EditorDialog& d) {
  int r, g, b;
  readFieldColor(r, g, b);
  d.slots[0] = utf8ToWide(trimSpaces(fieldText(PlayRectangle)));
  d.slots[1] = utf8ToWide(selectedPresetName());
  d.slots[2] = std::to_wstring(sliderPosition(d, PlayIntensity));
  d.slots[3] = utf8ToWide(playColorText(isChecked(d, PlayOverride), r, g, b));
}

static const EditorHandler PlayHandlers[] = {
    {EventClose, editorCancel}, {EventTimer, onTimer},         {PlaySelect, editorSelectRectangle},
    {PlayPreset, onPreset},     {PlayIntensity, onIntensity},  {PlayOverride, onColorField},
    {PlayRed, onColorField},    {PlayGreen, onColorField},     {PlayBlue, onColorField},
    {PlayPick, onPick},         {EditorOk, editorAccept},      {EditorCancel, editorCancel},
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

// The opening state from the slots, then the preview started from it.
static void showPlay(EditorDialog& d) {
  std::string slots[EditorSlotCount];
  for (int i = 0; i < EditorSlotCount; ++i) slots[i] = wideToUtf8(d.slots[i]);
  PlayDialogState s = {};
  readPlayOpening(slots, s);
  showOpeningState(s);
  preparePreview(playPreviewEmitter);
  restartPreview(playPreviewEmitter, s.presetText, s.intensity, s.colorText);
  showStillNotice();
  play.frameClockMs = GetTickCount();
}

static void finishPlay() { playPreviewEmitter.renderingEnabled = 0; }

static const EditorSpec PlayEditorSpec = {
    L"Lumivex - Play", 720, 380, PlayLayout, sizeof PlayLayout / sizeof PlayLayout[0],
    PlayHandlers, sizeof PlayHandlers / sizeof PlayHandlers[0], PlayRectangle,
    showPlay, acceptPlay, 1, nullptr, finishPlay,
};

int32_t runPlayEditor(std::wstring slots[EditorSlotCount]) {
  return runEditor(play.dialog, PlayEditorSpec, slots);
}
