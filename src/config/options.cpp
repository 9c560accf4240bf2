// The options text of PlayAdvanced and the editor vocabulary. No state but the sprite loader
// hook, which is LoadSprite unless a test or tool replaces it.
#include "config/options.h"

#include <cfloat>
#include <cmath>

#include "common/text.h"
#include "config/sprite.h"
#include "runtime/emitter.h"

// LoadSprite needs no start-up call: without a codec it loads nothing and says nothing.
static SpriteLoaderFn gSpriteLoader = LoadSprite;

void setSpriteLoader(SpriteLoaderFn loader) { gSpriteLoader = loader; }

std::string getOption(const std::string& options, const std::string& key) {
  if (options.empty() || key.empty()) return std::string();
  const std::string k = normalizeName(key);
  for (const std::string& field : splitText(options, ';')) {
    const std::string f = trimSpaces(field);
    if (f.empty()) continue;
    const size_t p = f.find('=');
    if (p == std::string::npos) continue;
    if (normalizeName(f.substr(0, p)) == k) return trimSpaces(f.substr(p + 1));
  }
  return std::string();
}

std::string appendOption(const std::string& options, const std::string& key, const std::string& value) {
  if (value.empty()) return options;
  if (options.empty()) return key + "=" + value;
  return options + ";" + key + "=" + value;
}

void SetMidColor(EmitterConfig& config, const std::string& text) {
  const std::string word = normalizeName(text);
  if (word == "none" || word == "off" || word == "0") {
    config.hasColorMid = 0;
    return;
  }
  int32_t r, g, b;
  if (!ParseColorText(text, r, g, b)) return;
  config.colorMidR = r; config.colorMidG = g; config.colorMidB = b;
  config.hasColorMid = 1;
  config.colorOverride = 1;
}

// Shape names in ShapeId order, and the editor's shape list (position 1-10) in its own order.
static const char* const kShapeNames[ShapeCount] = {
    "circle", "ray", "beam", "glow", "star", "lightburst", "laser", "rectangle", "sprite", "ring",
};
static const char* const kShapeChoiceNames[11] = {
    "", "Circle", "Rectangle", "Star", "Glow", "Ray", "Beam", "Laser", "LightBurst", "Sprite", "Ring",
};

int ShapeIdFromName(const std::string& name) {
  const std::string n = normalizeName(name);
  if (n == "rect") return ShapeRectangle;
  for (int i = 0; i < ShapeCount; ++i)
    if (n == kShapeNames[i]) return i;
  return -1;
}

std::string ShapeChoiceName(int position) {
  if (position < 1 || position > 10) return std::string();
  return kShapeChoiceNames[position];
}

int ShapeChoiceFromName(const std::string& name) {
  const std::string n = normalizeName(name);
  if (n.empty()) return 0;
  if (n == "rect") return 2;
  for (int i = 1; i <= 10; ++i)
    if (n == toLowerText(kShapeChoiceNames[i])) return i;
  return 0;
}

// v * m held within the finite floats: a huge multiplier saturates instead of reaching infinity.
static float scaleFinite(float v, float m) {
  const float r = v * m;
  if (std::isinf(r)) return r > 0 ? FLT_MAX : -FLT_MAX;
  return r;
}

// A float multiplier applies only when it is not negative (0 zeroes the fields).
static void scaleBy(const std::string& value, float* const* fields, int count) {
  if (value.empty()) return;
  const float m = readLeadingFloat(value);
  if (!(m >= 0)) return;
  for (int i = 0; i < count; ++i) *fields[i] = scaleFinite(*fields[i], m);
}

static void applyMode(EmitterConfig& c, const std::string& value) {
  const std::string t = trimSpaces(value);
  std::string word, arg;
  const size_t colon = t.find(':');
  if (colon != std::string::npos) {
    word = normalizeName(t.substr(0, colon));
    arg = trimSpaces(t.substr(colon + 1));
  } else {
    word = toLowerText(t);
  }
  if (word == "burst") {
    c.spawnRate = 0;
    if (!arg.empty()) {
      const int32_t n = readLeadingInt(arg);
      if (n > 0) c.burstCount = n;
    } else if (c.burstCount == 0) {
      c.burstCount = 200;
    }
  } else if (word == "continuous") {
    c.burstCount = 0;
    if (!arg.empty()) {
      const float r = readLeadingFloat(arg);
      if (r > 0) c.spawnRate = r;
    } else if (c.spawnRate <= 0) {
      c.spawnRate = 30;
    }
  }
}

void ApplyOptions(Emitter& emitter, const std::string& options) {
  EmitterConfig& c = emitter.config;
  std::string v;

  SetStartColor(c, getOption(options, "colorStart"));
  SetEndColor(c, getOption(options, "colorEnd"));
  v = getOption(options, "colorMid");
  if (!v.empty()) SetMidColor(c, v);

  v = getOption(options, "emitArea");
  if (!v.empty()) {
    std::vector<std::string> f = splitText(v, ',');
    float* targets[4] = {&c.emitX, &c.emitY, &c.emitW, &c.emitH};
    const float highs[4] = {1, 1, 2, 2};
    for (size_t i = 0; i < 4 && i < f.size(); ++i) {
      const std::string field = trimSpaces(f[i]);
      if (!field.empty()) *targets[i] = clampFloat(readLeadingFloat(field), 0, highs[i]);
    }
  }

  v = getOption(options, "direction");
  if (!v.empty()) {
    std::vector<std::string> f = splitText(v, ',');
    const std::string angle = trimSpaces(f[0]);
    if (!angle.empty()) c.baseAngle = readLeadingFloat(angle);
    if (f.size() > 1) {
      const std::string spread = trimSpaces(f[1]);
      if (!spread.empty()) c.spreadAngle = clampFloat(readLeadingFloat(spread), 0, 360);
    }
  }

  float* speeds[2] = {&c.speedMin, &c.speedMax};
  scaleBy(getOption(options, "speed"), speeds, 2);
  float* sizes[4] = {&c.sizeStartMin, &c.sizeStartMax, &c.sizeEndMin, &c.sizeEndMax};
  scaleBy(getOption(options, "size"), sizes, 4);
  float* lives[2] = {&c.lifeMin, &c.lifeMax};
  scaleBy(getOption(options, "life"), lives, 2);

  v = getOption(options, "mode");
  if (!v.empty()) applyMode(c, v);

  emitter.inFront = normalizeName(getOption(options, "zOrder")) == "behind" ? 0 : 1;

  v = getOption(options, "opacity");
  if (!v.empty()) {
    const float o = clampFloat(readLeadingFloat(v), 0, 1);
    c.alphaStart = c.alphaStart * o;
    c.alphaEnd = c.alphaEnd * o;
  }

  v = getOption(options, "density");
  if (!v.empty()) {
    const float m = readLeadingFloat(v);
    if (m >= 0) {
      c.spawnRate = scaleFinite(c.spawnRate, m);
      c.burstCount = roundHalfAway(static_cast<float>(c.burstCount) * m);
    }
  }

  float* modulations[2] = {&c.twinkleSpeed, &c.pulseSpeed};
  scaleBy(getOption(options, "twinkle"), modulations, 2);

  v = getOption(options, "feather");
  if (!v.empty()) c.feather = clampFloat(readLeadingFloat(v), 0, 1);
  v = getOption(options, "taper");
  if (!v.empty()) c.taper = clampFloat(readLeadingFloat(v), 0, 1);

  v = normalizeName(getOption(options, "taperEdge"));
  if (v == "top" || v == "0") c.taperEdge = 0;
  else if (v == "bottom" || v == "1") c.taperEdge = 1;
  else if (v == "left" || v == "2") c.taperEdge = 2;
  else if (v == "right" || v == "3") c.taperEdge = 3;

  if (normalizeName(getOption(options, "orientation")) == "horizontal") c.baseAngle = 0;

  v = getOption(options, "shape");
  if (!v.empty()) {
    const int shape = ShapeIdFromName(v);
    if (shape >= 0) c.shape = shape;
  }

  v = getOption(options, "sprite");
  if (!v.empty() && gSpriteLoader) gSpriteLoader(emitter, v);
}

// ---------------------------------------------------------------------------------------------
// Editor vocabulary.

static const char* const kAreaTexts[11] = {
    "", "0.5,0.5,1.0,1.0", "0.5,0.5,0.0,0.0", "0.5,0.0,1.0,0.05", "0.5,0.25,1.0,0.5",
    "0.5,1.0,1.0,0.05", "0.5,0.75,1.0,0.5", "0.0,0.5,0.05,1.0", "1.0,0.5,0.05,1.0",
    "0.25,0.5,0.5,1.0", "0.75,0.5,0.5,1.0",
};

std::string AreaChoiceText(int index) {
  if (index < 1 || index > 10) return std::string();
  return kAreaTexts[index];
}

int AreaChoiceFromText(const std::string& text) {
  if (trimSpaces(text).empty()) return 0;
  for (int i = 1; i <= 10; ++i)
    if (text == kAreaTexts[i]) return i;
  return AreaChoiceCustom;
}

static const char* const kModeTexts[7] = {
    "", "Continuous", "Burst:50", "Burst:100", "Burst:200", "Burst:500", "Burst:1000",
};

std::string ModeChoiceText(int index) {
  if (index < 1 || index > 6) return std::string();
  return kModeTexts[index];
}

int ModeChoiceFromText(const std::string& text) {
  const std::string t = trimSpaces(text);
  if (t.empty()) return 0;
  const std::string lower = toLowerText(t);
  for (int i = 1; i <= 6; ++i)
    if (lower == toLowerText(kModeTexts[i])) return i;
  return ModeChoiceCustom;
}

float DirectionChoiceAngle(int index) {
  static const float kAngles[9] = {0, 270, 90, 180, 0, 225, 315, 135, 45};
  if (index < 1 || index > 8) return 0;
  return kAngles[index];
}
