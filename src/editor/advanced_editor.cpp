// The PlayAdvanced action's editor: the options text turned into colour pickers, choice lists
// and sliders, each of which can be left at the preset's own value, with the live preview on
// advancedPreviewEmitter following every change but the Z-Order and answering the cursor and
// clicks over its pane. Owns the AdvancedEditor record: the open dialog, the dialog state the
// controls stand for (editor/editor_state.h), the swatch and pane paint, the preview flags,
// frame clock and press watch.
#include <windows.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "common/utf16_win32.h"
#include "config/emitter_config.h"
#include "config/options.h"
#include "config/sprite.h"
#include "editor/dialog_win32.h"
#include "editor/editor_state.h"
#include "editor/editors.h"
#include "editor/preview.h"
#include "runtime/effect.h"

// --- Layout --------------------------------------------------------------------------------
// The left column is 22 rows 32 pixels apart; each kind of row places its controls the same way.

enum AdvancedRowKind { RowRectangle, RowList, RowSlider, RowBoxSlider, RowColor, RowSpriteFile, RowEdit };

struct AdvancedRow {
  const wchar_t* label;
  AdvancedRowKind kind;
  int id;     // the row's main control; for RowBoxSlider the box row r, for RowColor the row c
  int width;  // pixels at 96 dpi of an edit or list
};

static const AdvancedRow AdvancedRows[] = {
    {L"Rectangle:", RowRectangle, AdvRectangle, 200},
    {L"Preset:", RowList, AdvPreset, 295},
    {L"Intensity:", RowSlider, AdvIntensity, 180},
    {L"Color Start:", RowColor, 0, 0},
    {L"Color End:", RowColor, 1, 0},
    {L"Emit Area:", RowList, AdvArea, 220},
    {L"Direction:", RowList, AdvDirection, 220},
    {L"Spread:", RowSlider, AdvSpread, 180},
    {L"Speed:", RowBoxSlider, 0, 130},
    {L"Size:", RowBoxSlider, 1, 130},
    {L"Lifetime:", RowBoxSlider, 2, 130},
    {L"Density:", RowBoxSlider, 3, 130},
    {L"Twinkle:", RowBoxSlider, 4, 130},
    {L"Opacity:", RowSlider, AdvOpacity, 180},
    {L"Feather:", RowBoxSlider, 5, 130},
    {L"Taper:", RowBoxSlider, 6, 130},
    {L"Taper Edge:", RowList, AdvTaperEdge, 220},
    {L"Mode:", RowList, AdvMode, 220},
    {L"Shape:", RowList, AdvShape, 220},
    {L"Sprite File:", RowSpriteFile, AdvSprite, 220},
    {L"Z-Order:", RowList, AdvZOrder, 130},
    // The one row the dialog grew by: a line of script wants the left column's width.
    {L"When it ends:", RowEdit, AdvOnEnd, 295},
};
constexpr int AdvancedRowCount = sizeof AdvancedRows / sizeof AdvancedRows[0];

static const wchar_t AdvancedHelpText[] =
    L"All fields except Z-Order update the preview live. Sliders at the leftmost position "
    L"(labelled 'use preset') leave that dimension untouched. Opacity 100% = preset's natural "
    L"alpha; lower values dim the whole effect.";

static const ControlPlace RightColumn[] = {
    {NoControlId, CtlLabel, 415, 14, 200, 18, L"Live Preview:"},
    {AdvPane, CtlCanvas, 415, 34, 290, 220, nullptr},
    // The help text takes five lines at most; the notice has the rest of the room above Prewarm.
    {NoControlId, CtlLabel, 415, 264, 290, 66, AdvancedHelpText},
    {AdvStillNotice, CtlLabel, 415, 334, 290, 30, PreviewStillNotice},  // while held still
    // How the effect opens and how Stop ends it, in the free space under the help text.
    {NoControlId, CtlLabel, 415, 374, 80, 20, L"Prewarm:"},
    {AdvPrewarm, CtlSlider, 495, 370, 150, 24, nullptr},
    {AdvPrewarmValue, CtlLabel, 650, 374, 60, 20, nullptr},
    {NoControlId, CtlLabel, 415, 406, 80, 20, L"Fade out:"},
    {AdvFadeOut, CtlSlider, 495, 402, 150, 24, nullptr},
    {AdvFadeOutValue, CtlLabel, 650, 406, 60, 20, nullptr},
    // Streaks and bursts on death, under those: the longer label takes ten pixels of the slider.
    {NoControlId, CtlLabel, 415, 438, 90, 20, L"Trail:"},
    {AdvTrail, CtlSlider, 505, 434, 140, 24, nullptr},
    {AdvTrailValue, CtlLabel, 650, 438, 60, 20, nullptr},
    {NoControlId, CtlLabel, 415, 470, 90, 20, L"Burst on death:"},
    {AdvDeathBurst, CtlSlider, 505, 466, 140, 24, nullptr},
    {AdvDeathBurstValue, CtlLabel, 650, 470, 60, 20, nullptr},
    // Where particles are born (a picture's file under it) and a sprite sheet's frames.
    {NoControlId, CtlLabel, 415, 504, 90, 20, L"Emit shape:"},
    {AdvEmitShape, CtlList, 505, 500, 140, 22, nullptr},
    {AdvMaskFile, CtlEdit, 505, 530, 140, 22, nullptr},
    {AdvMaskBrowse, CtlButton, 650, 530, 60, 22, L"Browse..."},
    {NoControlId, CtlLabel, 415, 566, 90, 20, L"Frames:"},
    {AdvFrames, CtlEdit, 505, 562, 50, 22, nullptr},
    {NoControlId, CtlLabel, 560, 566, 16, 20, L"at"},
    {AdvFrameRate, CtlEdit, 578, 562, 36, 22, nullptr},
    {NoControlId, CtlLabel, 618, 566, 30, 20, L"fps"},
    // What the reader's cursor and clicks do, in the room left above the buttons.
    {NoControlId, CtlLabel, 415, 598, 90, 20, L"Cursor:"},
    {AdvCursor, CtlList, 505, 594, 80, 22, nullptr},
    {NoControlId, CtlLabel, 590, 598, 34, 20, L"radius"},
    {AdvCursorRadius, CtlEdit, 626, 594, 40, 22, nullptr},
    {NoControlId, CtlLabel, 670, 598, 20, 20, L"px"},
    {NoControlId, CtlLabel, 415, 630, 90, 20, L"Click:"},
    {AdvClick, CtlList, 505, 626, 80, 22, nullptr},
    {NoControlId, CtlLabel, 590, 630, 34, 20, L"count"},
    {AdvClickCount, CtlEdit, 626, 626, 40, 22, nullptr},
    {AdvReset, CtlButton, 425, 658, 90, 32, L"Reset"},
    {EditorOk, CtlDefaultButton, 525, 658, 90, 32, L"OK"},
    {EditorCancel, CtlButton, 620, 658, 90, 32, L"Cancel"},
};

static int rowY(int k) { return 12 + 32 * k; }

static void buildLayout(std::vector<ControlPlace>& out) {
  for (int k = 0; k < AdvancedRowCount; ++k) {
    const AdvancedRow& row = AdvancedRows[k];
    const int y = rowY(k);
    out.push_back({NoControlId, CtlLabel, 10, y + 2, 90, 20, row.label});
    switch (row.kind) {
      case RowRectangle:
        out.push_back({row.id, CtlEdit, 105, y, row.width, 22, nullptr});
        out.push_back({AdvSelect, CtlButton, 310, y, 75, 22, L"Select..."});
        break;
      case RowList:
        out.push_back({row.id, CtlList, 105, y, row.width, 22, nullptr});
        break;
      case RowSlider:
        out.push_back({row.id, CtlSlider, 105, y - 2, row.width, 24, nullptr});
        out.push_back({row.id + 1, CtlLabel, 290, y + 2, 50, 20, nullptr});  // its value label
        break;
      case RowBoxSlider:
        out.push_back({AdvBoxSlider + row.id, CtlSlider, 105, y - 2, row.width, 24, nullptr});
        out.push_back({AdvBoxValue + row.id, CtlLabel, 240, y + 2, 50, 20, nullptr});
        out.push_back({AdvBox + row.id, CtlCheck, 295, y + 2, 80, 20, L"Preset"});
        break;
      case RowColor:
        out.push_back({AdvColorSwatch + row.id, CtlCanvas, 105, y + 1, 50, 22, nullptr});
        out.push_back({AdvColorPick + row.id, CtlButton, 160, y, 60, 22, L"Pick..."});
        out.push_back({AdvColorClear + row.id, CtlButton, 225, y, 60, 22, L"Clear"});
        out.push_back({AdvColorLabel + row.id, CtlLabel, 290, y + 2, 145, 20, nullptr});
        break;
      case RowSpriteFile:
        out.push_back({row.id, CtlEdit, 105, y, row.width, 22, nullptr});
        out.push_back({AdvBrowse, CtlButton, 330, y, 70, 22, L"Browse..."});
        break;
      case RowEdit:
        out.push_back({row.id, CtlEdit, 105, y, row.width, 22, nullptr});
        break;
    }
  }
  for (const ControlPlace& c : RightColumn) out.push_back(c);
}

// The fixed entries of the lists, from the editor state's vocabulary (the preset list comes from
// the preset table).
struct ListEntries {
  int id;
  const ChoiceEntry* entries;
  int count;
};

static const ListEntries FixedLists[] = {
    {AdvArea, AreaChoices, AreaChoiceCount},
    {AdvDirection, DirectionChoices, DirectionChoiceCount},
    {AdvTaperEdge, TaperEdgeChoices, TaperEdgeCount},
    {AdvMode, ModeChoices, ModeChoiceCount},
    {AdvShape, ShapeChoices, ShapeChoiceCount},
    {AdvZOrder, ZOrderChoices, ZOrderChoiceCount},
    {AdvEmitShape, EmitShapeChoices, EmitShapeChoiceCount},
    {AdvCursor, CursorChoices, CursorChoiceCount},
    {AdvClick, ClickChoices, ClickChoiceCount},
};

// --- State ---------------------------------------------------------------------------------

struct AdvancedEditor {
  EditorDialog dialog;
  AdvancedDialogState state;     // what the controls stand for, with the texts no control holds
  CanvasPaint swatch[2];         // colour start, colour end
  CanvasPaint pane;              // black until the first preview frame
  int previewDirty;              // 1: the preview config is rebuilt after this pass
  int previewRestart;            // 1: with its particles discarded first
  uint32_t frameClockMs;         // GetTickCount of the last preview frame
  PressWatch pressWatch;         // the left button's presses, for clicks in the pane
};

static AdvancedEditor adv = {};

static PresetSlider& boxRowState(AdvancedDialogState& s, int r) {
  return r < AdvFirstFractionRow ? s.multiplier[r] : s.fraction[r - AdvFirstFractionRow];
}

static const PresetSlider& boxRowState(const AdvancedDialogState& s, int r) {
  return r < AdvFirstFractionRow ? s.multiplier[r] : s.fraction[r - AdvFirstFractionRow];
}

static int boxRowMax(int r) {
  return r < AdvFirstFractionRow ? MultiplierRows[r].maxPosition
                                 : FractionRows[r - AdvFirstFractionRow].maxPosition;
}

static std::string boxRowLabel(int r, const PresetSlider& p) {
  return r < AdvFirstFractionRow ? multiplierRowLabel(p) : fractionRowLabel(p);
}

// Every control into the state record; the colour and custom texts are the record's own.
static void readControls(AdvancedDialogState& s) {
  const EditorDialog& d = adv.dialog;
  s.rectangle = wideToUtf8(controlText(d, AdvRectangle));
  s.presetIndex = listSelection(d, AdvPreset);
  s.intensity = sliderPosition(d, AdvIntensity);
  s.area = listSelection(d, AdvArea);
  s.direction = listSelection(d, AdvDirection);
  s.spread = sliderPosition(d, AdvSpread);
  for (int r = 0; r < AdvBoxRowCount; ++r) {
    PresetSlider& p = boxRowState(s, r);
    p.position = sliderPosition(d, AdvBoxSlider + r);
    p.presetChecked = isChecked(d, AdvBox + r);
  }
  s.taperEdge = listSelection(d, AdvTaperEdge);
  s.opacity = sliderPosition(d, AdvOpacity);
  s.mode = listSelection(d, AdvMode);
  s.shape = listSelection(d, AdvShape);
  s.sprite = wideToUtf8(controlText(d, AdvSprite));
  s.zOrder = listSelection(d, AdvZOrder);
  s.prewarm = sliderPosition(d, AdvPrewarm);
  s.fadeOut = sliderPosition(d, AdvFadeOut);
  s.trail = sliderPosition(d, AdvTrail);
  s.deathBurst = sliderPosition(d, AdvDeathBurst);
  s.emitShape = listSelection(d, AdvEmitShape);
  s.maskFile = wideToUtf8(controlText(d, AdvMaskFile));
  s.frameGrid = trimSpaces(wideToUtf8(controlText(d, AdvFrames)));
  s.frameRate = trimSpaces(wideToUtf8(controlText(d, AdvFrameRate)));
  s.cursorMode = listSelection(d, AdvCursor);
  s.cursorRadius = cursorRadiusFromText(wideToUtf8(controlText(d, AdvCursorRadius)));
  s.clickBurst = listSelection(d, AdvClick);
  s.clickCount = clickCountFromText(wideToUtf8(controlText(d, AdvClickCount)));
  s.onEnd = wideToUtf8(controlText(d, AdvOnEnd));
}

static void showColorRow(int c) {
  const std::string& text = c == 0 ? adv.state.colorStart : adv.state.colorEnd;
  int32_t r = 0, g = 0, b = 0;
  CanvasPaint& p = adv.swatch[c];
  if (ParseColorText(text, r, g, b)) {
    p.hatched = 0;
    p.color = RGB(r, g, b);
    setControlText(adv.dialog, AdvColorLabel + c,
                   utf8ToWide("RGB " + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b)));
  } else {
    p.hatched = 1;
    setControlText(adv.dialog, AdvColorLabel + c, L"(preset default)");
  }
  repaintCanvas(adv.dialog, AdvColorSwatch + c);
}

static void showBoxRow(int r) {
  const PresetSlider& p = boxRowState(adv.state, r);
  setEnabled(adv.dialog, AdvBoxSlider + r, !p.presetChecked);
  setControlText(adv.dialog, AdvBoxValue + r, utf8ToWide(boxRowLabel(r, p)));
}

static void showSpreadEnabled(int direction) {
  setEnabled(adv.dialog, AdvSpread, direction != 0 && direction != DirectionPositionOmni);
}

// The radius reaches only what Repel and Attract push; the count only what Burst bursts.
static void showReaderNumbersEnabled(int cursorMode, int clickBurst) {
  setEnabled(adv.dialog, AdvCursorRadius, cursorMode == CursorRepel || cursorMode == CursorAttract);
  setEnabled(adv.dialog, AdvClickCount, clickBurst == 1);
}

// Only the presets with a flicker can have it sped up: elsewhere the row is disabled.
static void applyTwinkleRule(int twinkle) {
  const int box = AdvBox + RowTwinkle, slider = AdvBoxSlider + RowTwinkle;
  setEnabled(adv.dialog, box, twinkle);
  setEnabled(adv.dialog, slider, twinkle && !isChecked(adv.dialog, box));
}

// The rows that "back to preset defaults" resets, from the state record.
static void showRows(const AdvancedDialogState& s) {
  const EditorDialog& d = adv.dialog;
  setSliderPosition(d, AdvIntensity, s.intensity);
  setControlText(d, AdvIntensityValue, utf8ToWide(percentLabel(s.intensity)));
  showColorRow(0);
  showColorRow(1);
  setListSelection(d, AdvArea, s.area);
  setListSelection(d, AdvDirection, s.direction);
  setSliderPosition(d, AdvSpread, s.spread);
  setControlText(d, AdvSpreadValue, utf8ToWide(degreesLabel(s.spread)));
  showSpreadEnabled(s.direction);
  for (int r = 0; r < AdvBoxRowCount; ++r) {
    const PresetSlider& p = boxRowState(s, r);
    setSliderPosition(d, AdvBoxSlider + r, p.position);
    setChecked(d, AdvBox + r, p.presetChecked);
    showBoxRow(r);
  }
  setListSelection(d, AdvTaperEdge, s.taperEdge);
  setSliderPosition(d, AdvOpacity, s.opacity);
  setControlText(d, AdvOpacityValue, utf8ToWide(percentLabel(s.opacity)));
  setListSelection(d, AdvMode, s.mode);
  setListSelection(d, AdvShape, s.shape);
  setControlText(d, AdvSprite, utf8ToWide(s.sprite));
  setSliderPosition(d, AdvTrail, s.trail);
  setControlText(d, AdvTrailValue, utf8ToWide(trailLabel(s.trail)));
  setSliderPosition(d, AdvDeathBurst, s.deathBurst);
  setControlText(d, AdvDeathBurstValue, utf8ToWide(deathBurstLabel(s.deathBurst)));
  setListSelection(d, AdvEmitShape, s.emitShape);
  setControlText(d, AdvFrames, utf8ToWide(s.frameGrid));
  setControlText(d, AdvFrameRate, utf8ToWide(s.frameRate));
  setListSelection(d, AdvCursor, s.cursorMode);
  setControlText(d, AdvCursorRadius, std::to_wstring(s.cursorRadius));
  setListSelection(d, AdvClick, s.clickBurst);
  setControlText(d, AdvClickCount, std::to_wstring(s.clickCount));
  showReaderNumbersEnabled(s.cursorMode, s.clickBurst);
}

static void showOpeningState(const AdvancedDialogState& s) {
  const EditorDialog& d = adv.dialog;
  setControlText(d, AdvRectangle, utf8ToWide(s.rectangle));
  for (int id = 0; id < PresetCount; ++id) addListEntry(d, AdvPreset, utf8ToWide(PresetDisplayName(id)));
  setListSelection(d, AdvPreset, s.presetIndex);
  for (const ListEntries& list : FixedLists)
    for (int i = 0; i < list.count; ++i) addListEntry(d, list.id, utf8ToWide(list.entries[i].label));
  if (s.area == AreaPositionCustom) addListEntry(d, AdvArea, utf8ToWide("(custom: " + s.customArea + ")"));
  if (s.direction == DirectionPositionCustom)
    addListEntry(d, AdvDirection, utf8ToWide("(custom: " + s.customDirection + ")"));
  if (s.mode == ModePositionCustom) addListEntry(d, AdvMode, utf8ToWide("(custom: " + s.customMode + ")"));
  setListSelection(d, AdvZOrder, s.zOrder);
  setSliderRange(d, AdvPrewarm, PrewarmSliderMax);
  setSliderPosition(d, AdvPrewarm, s.prewarm);
  setControlText(d, AdvPrewarmValue, utf8ToWide(prewarmLabel(s.prewarm)));
  setSliderRange(d, AdvFadeOut, FadeOutSliderMax);
  setSliderPosition(d, AdvFadeOut, s.fadeOut);
  setControlText(d, AdvFadeOutValue, utf8ToWide(fadeOutLabel(s.fadeOut)));
  setSliderRange(d, AdvTrail, TrailSliderMax);
  setSliderRange(d, AdvDeathBurst, DeathBurstSliderMax);
  setControlText(d, AdvMaskFile, utf8ToWide(s.maskFile));
  setControlText(d, AdvOnEnd, utf8ToWide(s.onEnd));

  setSliderRange(d, AdvIntensity, 100);
  setSliderRange(d, AdvSpread, 360);
  setSliderRange(d, AdvOpacity, 100);
  for (int r = 0; r < AdvBoxRowCount; ++r) setSliderRange(d, AdvBoxSlider + r, boxRowMax(r));
  for (int c = 0; c < 2; ++c) {
    adv.swatch[c] = {1, RGB(0, 0, 0), 0, nullptr};
    setCanvasPaint(d, AdvColorSwatch + c, &adv.swatch[c]);
  }
  adv.pane = {0, RGB(0, 0, 0), 1, nullptr};
  setCanvasPaint(d, AdvPane, &adv.pane);
  showRows(s);
  applyTwinkleRule(isTwinklePreset(s.presetText));
}

static std::string selectedPresetName() {
  return PresetDisplayName(listSelection(adv.dialog, AdvPreset));
}

// --- Events --------------------------------------------------------------------------------

static void markDirty() { adv.previewDirty = 1; }
static void markRestart() { adv.previewDirty = adv.previewRestart = 1; }

static void backToDefaults() {
  readControls(adv.state);
  backToPresetDefaults(adv.state);
  showRows(adv.state);
}

static void onTimer(EditorDialog&, int) {
  adv.pane.frame = &advancedPreviewEmitter;
  HWND pane = control(adv.dialog, AdvPane);
  previewFollowReader(advancedPreviewEmitter, pane, adv.pressWatch);
  previewStep(advancedPreviewEmitter, pane, adv.frameClockMs);
}

static void onPreset(EditorDialog&, int) {
  backToDefaults();
  releaseEffectPictures(advancedPreviewEmitter);
  applyTwinkleRule(isTwinklePreset(selectedPresetName()));
  markRestart();
}

static void onMode(EditorDialog&, int) { markRestart(); }

static void onIntensity(EditorDialog&, int) {
  setControlText(adv.dialog, AdvIntensityValue,
                 utf8ToWide(percentLabel(sliderPosition(adv.dialog, AdvIntensity))));
  markDirty();
}

static void onDirection(EditorDialog&, int) {
  showSpreadEnabled(listSelection(adv.dialog, AdvDirection));
  markDirty();
}

static void onSpread(EditorDialog&, int) {
  setControlText(adv.dialog, AdvSpreadValue, utf8ToWide(degreesLabel(sliderPosition(adv.dialog, AdvSpread))));
  markDirty();
}

// A new prewarm is seen from the start; a new fade-out shows at the burst's next repeat.
static void onPrewarm(EditorDialog&, int) {
  setControlText(adv.dialog, AdvPrewarmValue, utf8ToWide(prewarmLabel(sliderPosition(adv.dialog, AdvPrewarm))));
  markRestart();
}

static void onFadeOut(EditorDialog&, int) {
  setControlText(adv.dialog, AdvFadeOutValue, utf8ToWide(fadeOutLabel(sliderPosition(adv.dialog, AdvFadeOut))));
  markDirty();
}

static void onTrail(EditorDialog&, int) {
  setControlText(adv.dialog, AdvTrailValue, utf8ToWide(trailLabel(sliderPosition(adv.dialog, AdvTrail))));
  markDirty();
}

static void onDeathBurst(EditorDialog&, int) {
  setControlText(adv.dialog, AdvDeathBurstValue,
                 utf8ToWide(deathBurstLabel(sliderPosition(adv.dialog, AdvDeathBurst))));
  markDirty();
}

// Choosing a mask file picks Picture... too; a new shape or file is seen from the start.
static void onMaskBrowse(EditorDialog&, int) {
  const std::wstring current = utf8ToWide(trimSpaces(wideToUtf8(controlText(adv.dialog, AdvMaskFile))));
  const std::wstring path = chooseSpriteFile(adv.dialog.window, current);
  if (path.empty()) return;
  setControlText(adv.dialog, AdvMaskFile, path);
  if (listSelection(adv.dialog, AdvEmitShape) != EmitShapeMask) setListSelection(adv.dialog, AdvEmitShape, EmitShapeMask);
  markRestart();
}

static void onReaderList(EditorDialog&, int) {
  showReaderNumbersEnabled(listSelection(adv.dialog, AdvCursor), listSelection(adv.dialog, AdvClick));
  markDirty();
}

static void onOpacity(EditorDialog&, int) {
  setControlText(adv.dialog, AdvOpacityValue, utf8ToWide(percentLabel(sliderPosition(adv.dialog, AdvOpacity))));
  markDirty();
}

static void onBoxSlider(EditorDialog&, int id) {
  const int r = id - AdvBoxSlider;
  PresetSlider& p = boxRowState(adv.state, r);
  p.position = sliderPosition(adv.dialog, id);
  p.presetChecked = isChecked(adv.dialog, AdvBox + r);
  setControlText(adv.dialog, AdvBoxValue + r, utf8ToWide(boxRowLabel(r, p)));
  markDirty();
}

static void onBox(EditorDialog&, int id) {
  const int r = id - AdvBox;
  PresetSlider& p = boxRowState(adv.state, r);
  p.position = sliderPosition(adv.dialog, AdvBoxSlider + r);
  p.presetChecked = isChecked(adv.dialog, id);
  showBoxRow(r);
  markDirty();
}

static void onColorPick(EditorDialog&, int id) {
  const int c = id - AdvColorPick;
  std::string& text = c == 0 ? adv.state.colorStart : adv.state.colorEnd;
  int32_t r = 255, g = 255, b = 255;
  if (!ParseColorText(text, r, g, b)) r = g = b = 255;
  int cr = r, cg = g, cb = b;
  if (!chooseColor(adv.dialog.window, cr, cg, cb)) return;
  text = std::to_string(cr) + "," + std::to_string(cg) + "," + std::to_string(cb);
  showColorRow(c);
  markDirty();
}

static void onColorClear(EditorDialog&, int id) {
  const int c = id - AdvColorClear;
  (c == 0 ? adv.state.colorStart : adv.state.colorEnd).clear();
  showColorRow(c);
  markDirty();
}

static void onShape(EditorDialog&, int) {
  const int sprite = listSelection(adv.dialog, AdvShape) == ShapePositionSprite;
  if (sprite && trimSpaces(wideToUtf8(controlText(adv.dialog, AdvSprite))).empty()) {
    const std::wstring path = chooseSpriteFile(adv.dialog.window, std::wstring());
    if (!path.empty()) {
      setControlText(adv.dialog, AdvSprite, path);
      markRestart();
    }
  }
  if (sprite) markRestart();
  markDirty();
}

static void onBrowse(EditorDialog&, int) {
  const std::wstring current = utf8ToWide(trimSpaces(wideToUtf8(controlText(adv.dialog, AdvSprite))));
  const std::wstring path = chooseSpriteFile(adv.dialog.window, current);
  if (path.empty()) return;
  setControlText(adv.dialog, AdvSprite, path);
  if (listSelection(adv.dialog, AdvShape) != ShapePositionSprite)
    setListSelection(adv.dialog, AdvShape, ShapePositionSprite);
  markRestart();
}

static void onReset(EditorDialog&, int) {
  clearPreviewParticles(advancedPreviewEmitter);
  releaseEffectPictures(advancedPreviewEmitter);
  backToDefaults();
  applyTwinkleRule(isTwinklePreset(selectedPresetName()));
  markDirty();
}

static void acceptAdvanced(EditorDialog& d) {
  readControls(adv.state);
  d.slots[0] = utf8ToWide(trimSpaces(adv.state.rectangle));
  d.slots[1] = utf8ToWide(PresetDisplayName(adv.state.presetIndex));
  d.slots[2] = std::to_wstring(adv.state.intensity);
  d.slots[3] = utf8ToWide(composeOptions(adv.state, 1));
}

// The Z-Order list and the When it ends line have no entry: the preview shows neither the window
// order nor the end of the effect on the page.
static const EditorHandler AdvancedHandlers[] = {
    {EventClose, editorCancel},
    {EventTimer, onTimer},
    {AdvSelect, editorSelectRectangle},
    {AdvPreset, onPreset},
    {AdvMode, onMode},
    {AdvIntensity, onIntensity},
    {AdvArea, [](EditorDialog&, int) { markDirty(); }},
    {AdvDirection, onDirection},
    {AdvSpread, onSpread},
    {AdvOpacity, onOpacity},
    {AdvPrewarm, onPrewarm},
    {AdvFadeOut, onFadeOut},
    {AdvTrail, onTrail},
    {AdvEmitShape, [](EditorDialog&, int) { markRestart(); }},
    {AdvMaskFile, [](EditorDialog&, int) { markDirty(); }},
    {AdvMaskBrowse, onMaskBrowse},
    {AdvFrames, [](EditorDialog&, int) { markDirty(); }},
    {AdvFrameRate, [](EditorDialog&, int) { markDirty(); }},
    {AdvDeathBurst, onDeathBurst},
    {AdvTaperEdge, [](EditorDialog&, int) { markDirty(); }},
    {AdvSprite, [](EditorDialog&, int) { markDirty(); }},
    {AdvCursor, onReaderList},
    {AdvCursorRadius, [](EditorDialog&, int) { markDirty(); }},
    {AdvClick, onReaderList},
    {AdvClickCount, [](EditorDialog&, int) { markDirty(); }},
    {AdvBoxSlider + 0, onBoxSlider}, {AdvBoxSlider + 1, onBoxSlider}, {AdvBoxSlider + 2, onBoxSlider},
    {AdvBoxSlider + 3, onBoxSlider}, {AdvBoxSlider + 4, onBoxSlider}, {AdvBoxSlider + 5, onBoxSlider},
    {AdvBoxSlider + 6, onBoxSlider},
    {AdvBox + 0, onBox}, {AdvBox + 1, onBox}, {AdvBox + 2, onBox}, {AdvBox + 3, onBox},
    {AdvBox + 4, onBox}, {AdvBox + 5, onBox}, {AdvBox + 6, onBox},
    {AdvColorPick + 0, onColorPick}, {AdvColorPick + 1, onColorPick},
    {AdvColorClear + 0, onColorClear}, {AdvColorClear + 1, onColorClear},
    {AdvShape, onShape},
    {AdvBrowse, onBrowse},
    {AdvReset, onReset},
    {EditorOk, editorAccept},
    {EditorCancel, editorCancel},
};

// After every pass: the preview follows the controls, without the z-order, and the notice says
// whether it is held still.
static void rebuildIfDirty() {
  if (!adv.previewDirty) return;
  adv.previewDirty = 0;
  readControls(adv.state);
  rebuildPreview(advancedPreviewEmitter, adv.previewRestart, PresetDisplayName(adv.state.presetIndex),
                 adv.state.intensity, composeOptions(adv.state, 0));
  adv.previewRestart = 0;
  setVisible(adv.dialog, AdvStillNotice, previewHeldStill(advancedPreviewEmitter));
}

// The opening state from the slots; the preview is built by the first pass.
static void showAdvanced(EditorDialog& d) {
  std::string slots[EditorSlotCount];
  for (int i = 0; i < EditorSlotCount; ++i) slots[i] = wideToUtf8(d.slots[i]);
  adv.state = AdvancedDialogState();
  readAdvancedOpening(slots, adv.state);
  showOpeningState(adv.state);

  Emitter& e = advancedPreviewEmitter;
  preparePreview(e);
  clearPreviewParticles(e);
  // The click that opened the editor is not one in the pane (the watch's first poll primes it).
  adv.pressWatch = PressWatch();
  e.cursor = NoCursor;
  e.clicked = 0;
  adv.previewDirty = adv.previewRestart = 1;
  adv.frameClockMs = GetTickCount();
  rebuildIfDirty();
}

static void finishAdvanced() {
  advancedPreviewEmitter.renderingEnabled = 0;
  releaseEffectPictures(advancedPreviewEmitter);
}

static std::vector<ControlPlace> advancedLayout;
static EditorSpec advancedSpec = {
    L"Lumivex - PlayAdvanced", 720, 716, nullptr, 0,
    AdvancedHandlers, sizeof AdvancedHandlers / sizeof AdvancedHandlers[0], AdvRectangle,
    showAdvanced, acceptAdvanced, 1, rebuildIfDirty, finishAdvanced,
};

int32_t runAdvancedEditor(std::wstring slots[EditorSlotCount]) {
  if (advancedLayout.empty()) {
    buildLayout(advancedLayout);
    advancedSpec.layout = advancedLayout.data();
    advancedSpec.layoutCount = static_cast<int>(advancedLayout.size());
  }
  return runEditor(adv.dialog, advancedSpec, slots);
}
