// The editors' opening readings, list vocabulary, slider texts, preset defaults and composed
// options text. No state but the tables of lists and slider rows.
#include "editor/editor_state.h"

#include <cmath>
#include <cstdio>

#include "common/text.h"
#include "config/emitter_config.h"
#include "config/options.h"
#include "runtime/effect.h"

const PresetSliderRow MultiplierRows[] = {
    {"speed", 50},
    {"size", 50},
    {"life", 50},
    {"density", 100},
    {"twinkle", 50},
};

static_assert(sizeof MultiplierRows / sizeof MultiplierRows[0] == MultiplierRowCount, "one per row");

const PresetSliderRow FractionRows[] = {
    {"feather", 50},
    {"taper", 100},
};
static_assert(sizeof FractionRows / sizeof FractionRows[0] == FractionRowCount, "one per row");

static const char* const TwinklePresetNames[] = {
    "stars", "glow", "lightbeams", "godrays", "laser", "aurora", "shimmer",
};

const ChoiceEntry AreaChoices[] = {
    {"Use Preset", ""},
    {"Full Area", "0.5,0.5,1.0,1.0"},
    {"Center Point", "0.5,0.5,0.0,0.0"},
    {"Top Edge", "0.5,0.0,1.0,0.05"},
    {"Top Half", "0.5,0.25,1.0,0.5"},
    {"Bottom Edge", "0.5,1.0,1.0,0.05"},
    {"Bottom Half", "0.5,0.75,1.0,0.5"},
    {"Left Edge", "0.0,0.5,0.05,1.0"},
    {"Right Edge", "1.0,0.5,0.05,1.0"},
    {"Left Half", "0.25,0.5,0.5,1.0"},
    {"Right Half", "0.75,0.5,0.5,1.0"},
};
static_assert(sizeof AreaChoices / sizeof AreaChoices[0] == AreaChoiceCount, "Emit Area list");

const ChoiceEntry DirectionChoices[] = {
    {"Use Preset", ""},     {"Up", "270"},         {"Down", "90"},
    {"Left", "180"},        {"Right", "0"},        {"Up-Left", "225"},
    {"Up-Right", "315"},    {"Down-Left", "135"},  {"Down-Right", "45"},
    {"Omnidirectional", "0,360"},  // the whole direction text: every angle
    {"Outward", "outward"},        {"Inward", "inward"},  // from or to the centre, with the spread
};
static_assert(sizeof DirectionChoices / sizeof DirectionChoices[0] == DirectionChoiceCount, "Direction list");

// The top edge is the engine's own default, so it is never written.
const ChoiceEntry TaperEdgeChoices[] = {
    {"Top (narrow at top)", ""},
    {"Bottom (narrow at bottom)", "Bottom"},
    {"Left (narrow at left)", "Left"},
    {"Right (narrow at right)", "Right"},
};
static_assert(sizeof TaperEdgeChoices / sizeof TaperEdgeChoices[0] == TaperEdgeCount, "Taper Edge list");

const ChoiceEntry EmitShapeChoices[] = {
    {"Area", ""}, {"Edge", "edge"}, {"Ring", "ring"}, {"Picture...", "mask"},
};
static_assert(sizeof EmitShapeChoices / sizeof EmitShapeChoices[0] == EmitShapeChoiceCount, "Emit shape list");
static_assert(EmitShapeChoiceCount == EmitShapeCount, "one entry per emit shape");

// The cursor's words in CursorModeId order; None is what an effect does without the key.
const ChoiceEntry CursorChoices[] = {
    {"None", ""}, {"Follow", "follow"}, {"Repel", "repel"}, {"Attract", "attract"},
};
static_assert(sizeof CursorChoices / sizeof CursorChoices[0] == CursorChoiceCount, "Cursor list");
static_assert(CursorChoiceCount == CursorModeCount, "one entry per cursor mode");

const ChoiceEntry ClickChoices[] = {{"Off", ""}, {"Burst", "burst"}};
static_assert(sizeof ClickChoices / sizeof ClickChoices[0] == ClickChoiceCount, "Click list");

const ChoiceEntry ModeChoices[] = {
    {"Use Preset", ""},          {"Continuous", "Continuous"},  {"Burst (50)", "Burst:50"},
    {"Burst (100)", "Burst:100"}, {"Burst (200)", "Burst:200"},  {"Burst (500)", "Burst:500"},
    {"Burst (1000)", "Burst:1000"},
};
static_assert(sizeof ModeChoices / sizeof ModeChoices[0] == ModeChoiceCount, "Mode list");

const ChoiceEntry ShapeChoices[] = {
    {"Use Preset", ""},  {"Circle", "Circle"}, {"Rectangle", "Rectangle"},   {"Star", "Star"},
    {"Glow", "Glow"},    {"Ray", "Ray"},       {"Beam", "Beam"},             {"Laser", "Laser"},
    {"LightBurst", "LightBurst"}, {"Sprite", "Sprite"}, {"Ring", "Ring"},
};
static_assert(sizeof ShapeChoices / sizeof ShapeChoices[0] == ShapeChoiceCount, "Shape list");

const ChoiceEntry ZOrderChoices[] = {{"Front (default)", ""}, {"Behind", "Behind"}};
static_assert(sizeof ZOrderChoices / sizeof ZOrderChoices[0] == ZOrderChoiceCount, "Z-Order list");

// --- List vocabulary -------------------------------------------------------------------------

// The word of a fixed entry 1..count-1, or the empty text.
static std::string choiceWord(const ChoiceEntry* list, int count, int position) {
  if (position < 1 || position >= count) return std::string();
  return list[position].word;
}

std::string AreaChoiceText(int position) { return choiceWord(AreaChoices, AreaChoiceCount, position); }
std::string ModeChoiceText(int position) { return choiceWord(ModeChoices, ModeChoiceCount, position); }

int AreaChoiceFromText(const std::string& text) {
  if (trimSpaces(text).empty()) return 0;
  for (int i = 1; i < AreaChoiceCount; ++i)
    if (text == AreaChoices[i].word) return i;
  return AreaPositionCustom;
}

int ModeChoiceFromText(const std::string& text) {
  const std::string t = toLowerText(trimSpaces(text));
  if (t.empty()) return 0;
  for (int i = 1; i < ModeChoiceCount; ++i)
    if (t == toLowerText(ModeChoices[i].word)) return i;
  return ModePositionCustom;
}

float DirectionChoiceAngle(int position) {
  if (position < 1 || position >= DirectionPositionOmni) return 0;
  return readLeadingFloat(DirectionChoices[position].word);
}

std::string ShapeChoiceName(int position) { return choiceWord(ShapeChoices, ShapeChoiceCount, position); }

int ShapeChoiceFromName(const std::string& name) {
  const std::string n = normalizeName(name);
  if (n.empty()) return 0;
  if (n == "rect") return ShapeChoiceFromName("Rectangle");  // the options' short name
  for (int i = 1; i < ShapeChoiceCount; ++i)
    if (n == toLowerText(ShapeChoices[i].word)) return i;
  return 0;
}

// --- Play editor ---------------------------------------------------------------------------

static int presetFromSlot(const std::string& slot, std::string& presetText) {
  presetText = presetTextOrDefault(slot);
  return PresetIdFromName(presetText);
}

void readPlayOpening(const std::string slots[4], PlayDialogState& s) {
  s.rectangle = slots[0];
  s.presetIndex = presetFromSlot(slots[1], s.presetText);
  s.intensity = intensityFromText(slots[2]);
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

std::string prewarmLabel(int position) {
  return position <= 0 ? std::string("off") : tenthsText(position) + " s";
}

std::string fadeOutLabel(int position) {
  return position <= 0 ? std::string("off") : std::to_string(position * 100) + " ms";
}

std::string trailLabel(int position) {
  return position <= 0 ? std::string("off") : hundredthsText(position * 5) + " s";
}

std::string deathBurstLabel(int position) {
  return position <= 0 ? std::string("off") : std::to_string(position);
}

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
  const std::string word = normalizeName(a);
  if (word == DirectionChoices[DirectionPositionOutward].word || word == DirectionChoices[DirectionPositionInward].word) {
    spread = b.empty() ? 0 : clampInt(readLeadingInt(b), 0, 360);
    return word == DirectionChoices[DirectionPositionOutward].word ? DirectionPositionOutward
                                                                   : DirectionPositionInward;
  }
  const float angle = readLeadingFloat(a);
  const int32_t s = readLeadingInt(b);
  spread = clampInt(s, 0, 360);
  if (s >= 359) return DirectionPositionOmni;
  for (int i = 1; i <= 8; ++i)
    if (std::fabs(angle - DirectionChoiceAngle(i)) < 0.5f) return i;
  return DirectionPositionCustom;
}

int taperEdgeChoiceFromText(const std::string& text) {
  const int edge = TaperEdgeFromText(text);
  return edge > 0 ? edge : 0;
}

int zOrderChoiceFromText(const std::string& text) {
  return normalizeName(text) == toLowerText(ZOrderChoices[1].word);
}

constexpr int32_t MinRadiusPixels = static_cast<int32_t>(MinCursorRadius);
constexpr int32_t MaxRadiusPixels = static_cast<int32_t>(MaxCursorRadius);

int cursorRadiusFromText(const std::string& text) {
  if (trimSpaces(text).empty()) return static_cast<int>(DefaultCursorRadius);
  const float radius = clampFloat(readLeadingFloat(text), MinCursorRadius, MaxCursorRadius);
  return roundHalfAway(static_cast<double>(radius));
}

int clickCountFromText(const std::string& text) {
  if (trimSpaces(text).empty()) return DefaultClickBurst;
  return clampInt(readLeadingInt(text), 1, MaxClickBurst);
}

// Every `;` is stripped rather than the line refused or cut there: the options text cannot
// quote one, and in a line of script it most likely stands inside a quoted text, which keeps
// working without it, where cutting the line would leave the quote open.
std::string onEndText(const std::string& typed) {
  std::string line;
  for (char c : typed)
    if (c != ';') line += c;
  return trimSpaces(line);
}

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
  s.presetIndex = presetFromSlot(slots[1], s.presetText);
  s.intensity = intensityFromText(slots[2]);
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

  // The effect's start and stop, in the sliders' steps and ranges (a longer prewarm or fade
  // than the slider reaches shows at its end).
  const double prewarm = static_cast<double>(readLeadingFloat(getOption(options, "prewarm")));
  s.prewarm = prewarm > 0 ? clampInt(roundHalfAway(prewarm * 10), 0, PrewarmSliderMax) : 0;
  const int32_t fadeOut = readLeadingInt(getOption(options, "fadeOut"));
  s.fadeOut = fadeOut > 0 ? clampInt(roundHalfAway(fadeOut / 100.0), 0, FadeOutSliderMax) : 0;

  // Streaks and bursts on death: a trail shorter than the first step still shows as that step;
  // the speed after a burst's count is kept as written.
  const double trail = static_cast<double>(readLeadingFloat(getOption(options, "trail")));
  s.trail = trail > 0 ? clampInt(roundHalfAway(trail * 20), 1, TrailSliderMax) : 0;

  // Where particles are born and the frames of a sheet, as written.
  const std::string emitShape = getOption(options, "emitShape");
  const int shape = EmitShapeFromText(emitShape);
  s.emitShape = shape > 0 ? shape : 0;
  s.maskFile = EmitMaskPath(emitShape);
  const std::string frames = getOption(options, "spriteFrames");
  const size_t at = frames.find('@');
  s.frameGrid = trimSpaces(frames.substr(0, at));
  s.frameRate = at == std::string::npos ? std::string() : trimSpaces(frames.substr(at + 1));
  const std::string burst = getOption(options, "deathBurst");
  const size_t colon = burst.find(':');
  s.deathBurst = clampInt(readLeadingInt(burst.substr(0, colon)), 0, DeathBurstSliderMax);
  s.deathBurstSpeed = colon == std::string::npos ? std::string() : trimSpaces(burst.substr(colon + 1));

  // What the reader's cursor and clicks do, with the numbers held as the options reader holds
  // them; a word it does not know reads as None or Off, as it plays.
  const std::string cursor = getOption(options, "cursor");
  const size_t cursorColon = cursor.find(':');
  const std::string radius = cursorColon == std::string::npos ? std::string() : cursor.substr(cursorColon + 1);
  const int cursorMode = CursorModeFromText(cursor);
  s.cursorMode = cursorMode > 0 ? cursorMode : CursorNone;
  s.cursorRadius = cursorRadiusFromText(s.cursorMode == CursorRepel || s.cursorMode == CursorAttract ? radius : "");
  const std::string click = getOption(options, "click");
  const size_t clickColon = click.find(':');
  s.clickBurst = normalizeName(click.substr(0, clickColon)) == ClickChoices[1].word;
  s.clickCount = clickCountFromText(s.clickBurst && clickColon != std::string::npos ? click.substr(clickColon + 1) : "");
  s.onEnd = getOption(options, "onEnd");
  s.motionAlways = normalizeName(getOption(options, "motion")) == "always";
}

void backToPresetDefaults(AdvancedDialogState& s) {
  s.intensity = DefaultIntensity;
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
  s.trail = 0;
  s.deathBurst = 0;
  s.deathBurstSpeed.clear();
  s.emitShape = 0;
  s.frameGrid.clear();
  s.frameRate.clear();
  s.cursorMode = CursorNone;
  s.cursorRadius = static_cast<int>(DefaultCursorRadius);
  s.clickBurst = 0;
  s.clickCount = DefaultClickBurst;
}

// --- Composing -----------------------------------------------------------------------------

static std::string directionText(const AdvancedDialogState& s) {
  if (s.direction <= 0) return std::string();
  if (s.direction == DirectionPositionOmni) return DirectionChoices[DirectionPositionOmni].word;
  if (s.direction == DirectionPositionCustom) return s.customDirection;
  if (s.direction == DirectionPositionOutward || s.direction == DirectionPositionInward)
    return std::string(DirectionChoices[s.direction].word) + (s.spread > 0 ? "," + std::to_string(s.spread) : "");
  if (s.direction >= DirectionPositionOmni) return std::string();
  char angle[32];
  snprintf(angle, sizeof angle, "%.0f", static_cast<double>(DirectionChoiceAngle(s.direction)));
  return std::string(angle) + "," + std::to_string(s.spread);
}

// Tenths as the shortest decimal: 15 -> "1.5", 30 -> "3".
static std::string trimmedTenths(int position) {
  return position % 10 == 0 ? std::to_string(position / 10) : tenthsText(position);
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
    o = appendOption(o, "taperEdge", TaperEdgeChoices[s.taperEdge].word);
  o = appendOption(o, "shape", ShapeChoiceName(s.shape));
  o = appendOption(o, "sprite", trimSpaces(s.sprite));
  o = appendOption(o, "mode", s.mode == ModePositionCustom ? s.customMode : ModeChoiceText(s.mode));
  if (withZOrder && s.zOrder == 1) o = appendOption(o, "zOrder", ZOrderChoices[1].word);
  if (s.opacity < 100) o = appendOption(o, "opacity", hundredthsText(s.opacity));
  if (s.prewarm > 0) o = appendOption(o, "prewarm", trimmedTenths(s.prewarm));
  if (s.fadeOut > 0) o = appendOption(o, "fadeOut", std::to_string(s.fadeOut * 100));
  if (s.trail > 0) o = appendOption(o, "trail", hundredthsText(s.trail * 5));
  if (s.deathBurst > 0)
    o = appendOption(o, "deathBurst",
                     std::to_string(s.deathBurst) + (s.deathBurstSpeed.empty() ? "" : ":" + s.deathBurstSpeed));
  if (s.emitShape > 0 && s.emitShape < EmitShapeMask) o = appendOption(o, "emitShape", EmitShapeChoices[s.emitShape].word);
  if (s.emitShape == EmitShapeMask && !trimSpaces(s.maskFile).empty())
    o = appendOption(o, "emitShape", std::string(EmitShapeChoices[EmitShapeMask].word) + ":" + trimSpaces(s.maskFile));
  if (!s.frameGrid.empty())
    o = appendOption(o, "spriteFrames", s.frameGrid + (s.frameRate.empty() ? "" : "@" + s.frameRate));
  // The reader's keys last, each only when set: a radius only where it reaches something.
  if (s.cursorMode == CursorFollow) o = appendOption(o, "cursor", CursorChoices[CursorFollow].word);
  if (s.cursorMode == CursorRepel || s.cursorMode == CursorAttract)
    o = appendOption(o, "cursor", std::string(CursorChoices[s.cursorMode].word) + ":" +
                                      std::to_string(clampInt(s.cursorRadius, MinRadiusPixels, MaxRadiusPixels)));
  if (s.clickBurst == 1)
    o = appendOption(o, "click", std::string(ClickChoices[1].word) + ":" +
                                     std::to_string(clampInt(s.clickCount, 1, MaxClickBurst)));
  o = appendOption(o, "onEnd", onEndText(s.onEnd));
  if (s.motionAlways) o = appendOption(o, "motion", "always");
  return o;
}
