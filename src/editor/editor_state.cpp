// The editors' opening readings, slider texts, preset defaults and composed options text. No
// state but the tables of slider rows.
#include "editor/editor_state.h"

#include <cmath>
#include <cstdio>

#include "common/text.h"
#include "config/emitter_config.h"
#include "config/options.h"

const PresetSliderRow MultiplierRows[MultiplierRowCount] = {
    {"speed", 50},
    {"size", 50},
    {"life", 50},
    {"density", 100},
    {"twinkle", 50},
};

const PresetSliderRow FractionRows[FractionRowCount] = {
    {"feather", 50},
    {"taper", 100},
};

static const char* const TwinklePresetNames[] = {
    "stars", "glow", "lightbeams", "godrays", "laser", "aurora", "shimmer",
};

static const char* const TaperEdgeWords[4][2] = {
    {"top", "0"}, {"bottom", "1"}, {"left", "2"}, {"right", "3"},
};
static const char* const TaperEdgeOptionTexts[4] = {"", "Bottom", "Left", "Right"};

// --- Play editor ---------------------------------------------------------------------------

static int presetTextOrDefault(const std::string& slot, std::string& presetText) {
  presetText = slot.empty() ? std::string("Sparkle") : slot;
  return PresetIdFromName(presetText);
}

static int intensityFromSlot(const std::string& slot) {
  const std::string text = slot.empty() ? std::string("50") : slot;
  return clampInt(readLeadingInt(text), 0, 100);
}

void readPlayOpening(const std::string slots[4], PlayDialogState& s) {
  s.rectangle = slots[0];
  s.presetIndex = presetTextOrDefault(slots[1], s.presetText);
  s.intensity = intensityFromSlot(slots[2]);
  s.colorText = slots[3];
  int32_t r = 0, g = 0, b = 0;
  if (!s.colorText.empty() && ParseColorText(s.colorText, r, g, b)) {
    s.overrideOn = 1;
    s.red = r;
    s.green = g;
    s.blue = b;
  } else {
    s.overrideOn = 0;
    s.red = s.green = s.blue = PlayColorDefault;
  }
}

int colorFieldValue(const std::string& fieldText) {
  return clampInt(readLeadingInt(fieldText), 0, 255);
}

std::string playColorText(int overrideOn, int red, int green, int blue) {
  if (!overrideOn) return std::string();
  return std::to_string(red) + "," + std::to_string(green) + "," + std::to_string(blue);
}

// --- Slider encodings ----------------------------------------------------------------------

int multiplierToSlider(const std::string& text) {
  if (trimSpaces(text).empty()) return 10;
  const float f = readLeadingFloat(text);
  if (f < 0) return 0;
  return roundHalfAway(static_cast<double>(f * 10.0f));
}

// A position in units of 1/scale, written with as many decimals as scale has zeros. Positions
// come from sliders and are never negative.
static std::string scaledText(int position, int scale, int decimals) {
  if (position < 0) position = 0;
  char text[32];
  snprintf(text, sizeof text, "%d.%0*d", position / scale, decimals, position % scale);
  return text;
}

std::string tenthsText(int position) { return scaledText(position, 10, 1); }
std::string hundredthsText(int position) { return scaledText(position, 100, 2); }

std::string multiplierLabel(int position) {
  return position == 0 ? std::string("off") : tenthsText(position) + "x";
}

std::string percentLabel(int position) { return std::to_string(position) + "%"; }
std::string degreesLabel(int position) { return std::to_string(position) + "\xC2\xB0"; }

std::string multiplierRowLabel(const PresetSlider& s) {
  return s.presetChecked ? std::string("preset") : multiplierLabel(s.position);
}

std::string fractionRowLabel(const PresetSlider& s) {
  return s.presetChecked ? std::string("preset") : hundredthsText(s.position);
}

// --- Opening readings of the options text ---------------------------------------------------

int directionChoiceFromText(const std::string& text, int& spread) {
  spread = SpreadDefault;
  if (trimSpaces(text).empty()) return 0;
  const std::vector<std::string> fields = splitText(text, ',');
  const std::string a = trimSpaces(fields[0]);
  const std::string b = fields.size() > 1 ? trimSpaces(fields[1]) : std::string();
  if (a.empty()) return 0;
  const float angle = readLeadingFloat(a);
  const int32_t s = readLeadingInt(b);
  spread = clampInt(s, 0, 360);
  if (s >= 359) return DirectionPositionOmni;
  for (int i = 1; i <= 8; ++i)
    if (std::fabs(angle - DirectionChoiceAngle(i)) < 0.5f) return i;
  return DirectionPositionCustom;
}

int taperEdgeChoiceFromText(const std::string& text) {
  const std::string t = normalizeName(text);
  for (int i = 1; i < 4; ++i)
    if (t == TaperEdgeWords[i][0] || t == TaperEdgeWords[i][1]) return i;
  return 0;
}

int zOrderChoiceFromText(const std::string& text) { return normalizeName(text) == "behind"; }

int isTwinklePreset(const std::string& presetName) {
  const std::string n = normalizeName(presetName);
  for (const char* name : TwinklePresetNames)
    if (n == name) return 1;
  return 0;
}

// Slider position of a fraction text in hundredths, held in the slider's range.
static int fractionToSlider(const std::string& text, int maxPosition) {
  const double v = static_cast<double>(readLeadingFloat(text) * 100.0f);
  return clampInt(roundHalfAway(v), 0, maxPosition);
}

void readAdvancedOpening(const std::string slots[4], AdvancedDialogState& s) {
  s.rectangle = slots[0];
  s.presetIndex = presetTextOrDefault(slots[1], s.presetText);
  s.intensity = intensityFromSlot(slots[2]);
  const std::string& options = slots[3];

  s.colorStart = trimSpaces(getOption(options, "colorStart"));
  s.colorEnd = trimSpaces(getOption(options, "colorEnd"));

  const std::string area = getOption(options, "emitArea");
  s.area = AreaChoiceFromText(area);
  s.customArea = s.area == AreaPositionCustom ? area : std::string();

  const std::string direction = getOption(options, "direction");
  s.direction = directionChoiceFromText(direction, s.spread);
  s.customDirection = s.direction == DirectionPositionCustom ? direction : std::string();

  for (int i = 0; i < MultiplierRowCount; ++i) {
    const std::string v = getOption(options, MultiplierRows[i].key);
    s.multiplier[i].presetChecked = v.empty();
    s.multiplier[i].position = clampInt(multiplierToSlider(v), 0, MultiplierRows[i].maxPosition);
  }
  for (int i = 0; i < FractionRowCount; ++i) {
    const std::string v = getOption(options, FractionRows[i].key);
    s.fraction[i].presetChecked = v.empty();
    s.fraction[i].position = v.empty() ? 0 : fractionToSlider(v, FractionRows[i].maxPosition);
  }
  s.taperEdge = taperEdgeChoiceFromText(getOption(options, "taperEdge"));

  const std::string opacity = getOption(options, "opacity");
  s.opacity = opacity.empty() ? 100 : fractionToSlider(opacity, 100);

  const std::string mode = getOption(options, "mode");
  s.mode = ModeChoiceFromText(mode);
  s.customMode = s.mode == ModePositionCustom ? mode : std::string();

  s.shape = ShapeChoiceFromName(getOption(options, "shape"));
  s.sprite = getOption(options, "sprite");
  s.zOrder = zOrderChoiceFromText(getOption(options, "zOrder"));
}

void backToPresetDefaults(AdvancedDialogState& s) {
  s.intensity = EditorIntensityDefault;
  s.colorStart.clear();
  s.colorEnd.clear();
  s.area = 0;
  s.direction = 0;
  s.spread = SpreadDefault;
  for (PresetSlider& m : s.multiplier) m = {10, 1};
  for (PresetSlider& f : s.fraction) f = {0, 1};
  s.taperEdge = 0;
  s.opacity = 100;
  s.mode = 0;
  s.shape = 0;
  s.sprite.clear();
}

// --- Composing -----------------------------------------------------------------------------

static std::string directionText(const AdvancedDialogState& s) {
  if (s.direction <= 0) return std::string();
  if (s.direction == DirectionPositionOmni) return "0,360";
  if (s.direction == DirectionPositionCustom) return s.customDirection;
  if (s.direction > 8) return std::string();
  char angle[32];
  snprintf(angle, sizeof angle, "%.0f", static_cast<double>(DirectionChoiceAngle(s.direction)));
  return std::string(angle) + "," + std::to_string(s.spread);
}

std::string composeOptions(const AdvancedDialogState& s, int withZOrder) {
  std::string o;
  o = appendOption(o, "colorStart", s.colorStart);
  o = appendOption(o, "colorEnd", s.colorEnd);
  o = appendOption(o, "emitArea", s.area == AreaPositionCustom ? s.customArea : AreaChoiceText(s.area));
  o = appendOption(o, "direction", directionText(s));
  for (int i = 0; i < MultiplierRowCount; ++i)
    if (!s.multiplier[i].presetChecked)
      o = appendOption(o, MultiplierRows[i].key, tenthsText(s.multiplier[i].position));
  for (int i = 0; i < FractionRowCount; ++i)
    if (!s.fraction[i].presetChecked)
      o = appendOption(o, FractionRows[i].key, hundredthsText(s.fraction[i].position));
  if (!s.fraction[RowTaper].presetChecked && s.taperEdge >= 1 && s.taperEdge <= 3)
    o = appendOption(o, "taperEdge", TaperEdgeOptionTexts[s.taperEdge]);
  o = appendOption(o, "shape", ShapeChoiceName(s.shape));
  o = appendOption(o, "sprite", trimSpaces(s.sprite));
  o = appendOption(o, "mode", s.mode == ModePositionCustom ? s.customMode : ModeChoiceText(s.mode));
  if (withZOrder && s.zOrder == 1) o = appendOption(o, "zOrder", "Behind");
  if (s.opacity < 100) o = appendOption(o, "opacity", hundredthsText(s.opacity));
  return o;
}
