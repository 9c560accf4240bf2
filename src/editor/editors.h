// The action editors that nbEditAction opens, and the ids of their controls (the integration
// tests find the controls by these ids). Each editor opens from its action's parameter texts
// (the slots), runs its own event loop on the host's thread, rewrites the slots on OK and returns
// 1; Cancel, the close box or a window that cannot be opened return 0 and leave them alone. An
// editor that is already open answers 0 at once. Windows build only.
#pragma once

#include <cstdint>
#include <string>

constexpr int EditorSlotCount = 4;  // parameter texts of the largest action

int32_t runPlayEditor(std::wstring slots[EditorSlotCount]);
int32_t runStopEditor(std::wstring slots[EditorSlotCount]);
int32_t runAdvancedEditor(std::wstring slots[EditorSlotCount]);

// OK and Cancel carry the dialog ids so that Enter and Escape work as usual.
constexpr int EditorOk = 1;      // IDOK
constexpr int EditorCancel = 2;  // IDCANCEL

// Play editor ("Lumivex - Play").
enum PlayControl {
  PlayRectangle = 100, PlaySelect, PlayPreset, PlayIntensity, PlayIntensityValue, PlayOverride,
  PlayRed, PlayGreen, PlayBlue, PlayPick, PlaySwatch, PlayPane, PlayStillNotice,
};

// Stop editor ("Lumivex - Stop").
enum StopControl { StopRectangle = 200, StopSelect };

// PlayAdvanced editor ("Lumivex - PlayAdvanced"). The seven rows with a "Preset" box (Speed,
// Size, Lifetime, Density, Twinkle, Feather, Taper) are AdvBoxSlider + r, AdvBoxValue + r and
// AdvBox + r; the two colour rows (start, end) are AdvColor... + c.
enum AdvancedControl {
  AdvRectangle = 300, AdvSelect, AdvPreset, AdvIntensity, AdvIntensityValue,
  AdvArea, AdvDirection, AdvSpread, AdvSpreadValue, AdvOpacity, AdvOpacityValue,
  AdvTaperEdge, AdvMode, AdvShape, AdvSprite, AdvBrowse, AdvZOrder, AdvPane, AdvReset,
  AdvColorSwatch = 330, AdvColorPick = 332, AdvColorClear = 334, AdvColorLabel = 336,
  AdvBoxSlider = 340, AdvBoxValue = 350, AdvBox = 360,
  AdvPrewarm = 370, AdvPrewarmValue, AdvFadeOut, AdvFadeOutValue, AdvTrail, AdvTrailValue, AdvDeathBurst,
  AdvDeathBurstValue, AdvEmitShape, AdvMaskFile, AdvMaskBrowse, AdvFrames, AdvFrameRate,
  AdvCursor, AdvCursorRadius, AdvClick, AdvClickCount, AdvOnEnd, AdvStillNotice,
};
constexpr int AdvBoxRowCount = 7;     // 0-4 the multiplier rows, 5-6 Feather and Taper
constexpr int AdvFirstFractionRow = 5;
