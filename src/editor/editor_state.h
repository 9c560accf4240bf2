// The action editors' dialog state as plain records, and the rules over it that need no window:
// what the dialogs show when they open from the host's parameter texts, the slider encodings and
// their texts, "back to preset defaults", and the options text composed from the controls. The
// Win32 dialogs (editor/*_editor.cpp) copy their controls to and from these records. Owns no
// state; text is UTF-8 like the rest of the core.
#pragma once

#include <string>

#include "config/options.h"  // TaperEdgeCount

constexpr int PlayColorDefault = 255;       // colour channel shown when there is no override

// --- Play editor ---------------------------------------------------------------------------

struct PlayDialogState {
  std::string rectangle;   // rectangle field text
  std::string presetText;  // preset slot as read, "Sparkle" when empty; the preview starts with it
  int presetIndex;         // PresetId selected in the preset list
  int intensity;           // slider position, percent 0-100
  std::string colorText;   // colour slot as read; the preview starts with it
  int overrideOn;          // 1: "Override color" checked
  int red, green, blue;    // override colour channels shown in the fields, 0-255
};

// slots: the four parameter texts of a Play action, as read from the host.
void readPlayOpening(const std::string slots[4], PlayDialogState& state);
// A colour field's text as a channel: lenient integer, clamped to 0-255.
int colorFieldValue(const std::string& fieldText);
// "R,G,B" of the three channels, or the empty text when overrideOn is 0.
std::string playColorText(int overrideOn, int red, int green, int blue);

// --- PlayAdvanced editor -------------------------------------------------------------------

enum MultiplierRow { RowSpeed, RowSize, RowLife, RowDensity, RowTwinkle, MultiplierRowCount };
enum FractionRow { RowFeather, RowTaper, FractionRowCount };

// One entry of a PlayAdvanced list: the label the dialog shows and the word it stands for in an
// options text (empty for "Use Preset": the option is not written). The dialog fills its lists
// from these tables and the opening reading and composing read the same ones.
struct ChoiceEntry {
  const char* label;  // shown in the list
  const char* word;   // option value; for a direction, its angle in degrees (Omnidirectional:
                      // the whole direction text)
};

constexpr int AreaChoiceCount = 11;       // Use Preset, then ten areas
constexpr int DirectionChoiceCount = 12;  // Use Preset, eight directions, Omnidirectional,
                                          // Outward, Inward
constexpr int ModeChoiceCount = 7;        // Use Preset, Continuous, five bursts
constexpr int ShapeChoiceCount = 11;      // Use Preset, then ten shapes
constexpr int ZOrderChoiceCount = 2;      // Front (default), Behind
constexpr int EmitShapeChoiceCount = 4;   // Area (default), Edge, Ring, Picture...
constexpr int CursorChoiceCount = 4;      // None (default), Follow, Repel, Attract
constexpr int ClickChoiceCount = 2;       // Off (default), Burst
extern const ChoiceEntry AreaChoices[AreaChoiceCount];
extern const ChoiceEntry DirectionChoices[DirectionChoiceCount];
extern const ChoiceEntry TaperEdgeChoices[TaperEdgeCount];  // in edge order
extern const ChoiceEntry ModeChoices[ModeChoiceCount];
extern const ChoiceEntry ShapeChoices[ShapeChoiceCount];
extern const ChoiceEntry ZOrderChoices[ZOrderChoiceCount];
extern const ChoiceEntry EmitShapeChoices[EmitShapeChoiceCount];  // in EmitShapeId order
extern const ChoiceEntry CursorChoices[CursorChoiceCount];        // in CursorModeId order
extern const ChoiceEntry ClickChoices[ClickChoiceCount];

// The lists that can also hold one custom text have it after their fixed entries.
constexpr int AreaPositionCustom = AreaChoiceCount;
constexpr int DirectionPositionOmni = 9;
constexpr int DirectionPositionOutward = 10;
constexpr int DirectionPositionInward = 11;
constexpr int DirectionPositionCustom = DirectionChoiceCount;
constexpr int ModePositionCustom = ModeChoiceCount;
constexpr int ShapePositionSprite = 9;
constexpr int SpreadDefault = 60;  // degrees
constexpr int PrewarmSliderMax = 50;  // tenths of a second: the slider reaches 5 s
constexpr int FadeOutSliderMax = 30;  // steps of 100 ms: the slider reaches 3 s
constexpr int TrailSliderMax = 20;    // steps of 0.05 s: the slider reaches 1 s
constexpr int DeathBurstSliderMax = MaxDeathBurstOption;  // children per death

// The option word of an Emit Area / Mode list position, or the empty text (Use Preset, custom or
// out of range).
std::string AreaChoiceText(int position);
std::string ModeChoiceText(int position);
// List position of an option text: 0 when empty, the entry whose word it is exactly (Mode: in any
// case, trimmed), else the custom position.
int AreaChoiceFromText(const std::string& text);
int ModeChoiceFromText(const std::string& text);
// Degrees of a Direction list position 1-8; 0 for anything else.
float DirectionChoiceAngle(int position);
// Shape list: the name at position 1-10 ("" elsewhere), and the position of a shape name (trimmed,
// any case, "rect" for Rectangle; 0 when no entry has that name).
std::string ShapeChoiceName(int position);
int ShapeChoiceFromName(const std::string& name);

// A slider row with a "Preset" box: while the box is checked the option is not written.
struct PresetSlider {
  int position;       // slider position (tenths of a multiplier, or hundredths of a fraction)
  int presetChecked;  // 1: "Preset" box checked
};

struct AdvancedDialogState {
  std::string rectangle;        // rectangle edit text
  std::string presetText;       // preset slot as read, "Sparkle" when empty
  int presetIndex;              // PresetId selected in the preset list
  int intensity;                // percent 0-100
  std::string colorStart;       // colour texts: as read (trimmed), "R,G,B" from the colour
  std::string colorEnd;         // dialog, or empty for the preset's own colour
  int area;                     // Emit Area list position 0-10, AreaPositionCustom
  std::string customArea;       // text of the custom Emit Area entry; empty when none
  int direction;                // Direction list position 0-9, DirectionPositionCustom
  std::string customDirection;  // text of the custom Direction entry; empty when none
  int spread;                   // degrees 0-360
  PresetSlider multiplier[MultiplierRowCount];  // tenths of the multiplier
  PresetSlider fraction[FractionRowCount];      // hundredths
  int taperEdge;                // 0 top, 1 bottom, 2 left, 3 right
  int opacity;                  // percent 0-100
  int mode;                     // Mode list position 0-6, ModePositionCustom
  std::string customMode;       // text of the custom Mode entry; empty when none
  int shape;                    // Shape list position 0-10 (ShapeChoiceName)
  std::string sprite;           // sprite edit text
  int zOrder;                   // 0 "Front (default)", 1 "Behind"
  int prewarm;                  // tenths of a second, 0 (off) .. PrewarmSliderMax
  int fadeOut;                  // hundreds of milliseconds, 0 (off) .. FadeOutSliderMax
  int emitShape;                // Emit shape list position (EmitShapeId)
  std::string maskFile;         // mask file edit text (written with Picture... only)
  std::string frameGrid;        // Frames: the sheet's "COLSxROWS" as typed; empty when none
  std::string frameRate;        // and its frames per second as typed; empty: once per life
  int trail;                    // twentieths of a second, 0 (off) .. TrailSliderMax
  int deathBurst;               // children per death, 0 (off) .. DeathBurstSliderMax
  std::string deathBurstSpeed;  // the speed a `deathBurst` text gave after its count, as read
  int cursorMode;               // Cursor list position: CursorModeId
  int cursorRadius;             // pixels, 10-1000: the reach of Repel and Attract
  int clickBurst;               // Click list position: 0 Off, 1 Burst
  int clickCount;               // particles a click bursts, 1-500
  std::string onEnd;            // When it ends: the line of host script as typed
  int motionAlways;             // 1: `motion=always` was read; no control shows it, OK keeps it
};

// One slider row with a "Preset" box: its option key and range.
struct PresetSliderRow {
  const char* key;   // option key it writes
  int maxPosition;   // slider range is 0..maxPosition
};
extern const PresetSliderRow MultiplierRows[MultiplierRowCount];
extern const PresetSliderRow FractionRows[FractionRowCount];

// Slider position of a multiplier text: 10 (1.0x) when empty, 0 for a negative value, else the
// value in tenths rounded half away from zero (not clamped: the slider keeps it in its range).
int multiplierToSlider(const std::string& text);
// "off" at 0, else the multiplier with one decimal and "x" ("1.5x").
std::string multiplierLabel(int position);
// position / 10 with one decimal ("1.5"), position / 100 with two ("0.25").
std::string tenthsText(int position);
std::string hundredthsText(int position);
// "off" at 0, else the seconds with one decimal ("1.5 s") / the milliseconds ("800 ms").
std::string prewarmLabel(int position);
std::string fadeOutLabel(int position);
std::string trailLabel(int position);       // "off", else the seconds ("0.25 s")
std::string deathBurstLabel(int position);  // "off", else the count
// position followed by "%", or by the degree sign.
std::string percentLabel(int position);
std::string degreesLabel(int position);
// The value label of a row with a "Preset" box: "preset" while checked.
std::string multiplierRowLabel(const PresetSlider& slider);
std::string fractionRowLabel(const PresetSlider& slider);

// Direction list position of a `direction` text (0-9, DirectionPositionCustom); spread is set to
// the text's spread (60 when the text names no angle).
int directionChoiceFromText(const std::string& text, int& spread);
// Taper Edge list position of a `taperEdge` text (0 for anything unknown).
int taperEdgeChoiceFromText(const std::string& text);
// 1 ("Behind") for a `zOrder` text of "behind" in any case, else 0.
int zOrderChoiceFromText(const std::string& text);
// The Cursor row's radius field, or the number after a `cursor` text's colon, as the options
// reader takes it: empty is the default 120, anything else is read leniently and held to
// 10-1000, in whole pixels.
int cursorRadiusFromText(const std::string& text);
// The Click row's count field, or the number after `click=burst:`, the same way: empty is the
// default 60, anything else 1-500.
int clickCountFromText(const std::string& text);
// The action line as written into the options text: trimmed, and without any `;`.
std::string onEndText(const std::string& typed);
// 1 for the presets whose flicker the Twinkle row speeds up (name trimmed, any case).
int isTwinklePreset(const std::string& presetName);

// slots: the four parameter texts of a PlayAdvanced action, as read from the host.
void readAdvancedOpening(const std::string slots[4], AdvancedDialogState& state);
// Every row back to the preset's own values (Trail and Burst on death off: a preset's own streaks
// and bursts are what it does without them; Cursor None and Click Off, at their default radius
// and count); the rectangle, preset, Z-Order, Prewarm, Fade out, When it ends, motion=always
// (none of them the preset's) and custom texts stay.
void backToPresetDefaults(AdvancedDialogState& state);
// The options text the controls stand for; withZOrder 0 leaves out the z-order (the preview).
std::string composeOptions(const AdvancedDialogState& state, int withZOrder);
