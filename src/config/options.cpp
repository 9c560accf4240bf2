// The options text of PlayAdvanced. No state.
#include "config/options.h"

#include <cfloat>
#include <cmath>

#include "common/text.h"

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

// Shape names in ShapeId order.
static const char* const kShapeNames[] = {
    "circle", "ray", "beam", "glow", "star", "lightburst", "laser", "rectangle", "sprite", "ring",
};
static_assert(sizeof kShapeNames / sizeof kShapeNames[0] == ShapeCount, "one name per ShapeId");

// taperEdge words in edge order (0 top, 1 bottom, 2 left, 3 right); the digit of the edge reads
// the same.
static const char* const kTaperEdgeWords[] = {"top", "bottom", "left", "right"};
static_assert(sizeof kTaperEdgeWords / sizeof kTaperEdgeWords[0] == TaperEdgeCount, "one word per edge");

int ShapeIdFromName(const std::string& name) {
  const std::string n = normalizeName(name);
  if (n == "rect") return ShapeRectangle;
  for (int i = 0; i < ShapeCount; ++i)
    if (n == kShapeNames[i]) return i;
  return -1;
}

int TaperEdgeFromText(const std::string& text) {
  const std::string t = normalizeName(text);
  for (int i = 0; i < TaperEdgeCount; ++i)
    if (t == kTaperEdgeWords[i] || t == std::to_string(i)) return i;
  return -1;
}

// v * m held within the finite floats: a huge multiplier saturates instead of reaching infinity.
// Worked in double, where the product of two floats cannot overflow, so that not even the
// multiplication raises an overflow under a host's unmasked control words.
static float scaleFinite(float v, float m) {
  const double r = static_cast<double>(v) * static_cast<double>(m);
  if (r > FLT_MAX) return FLT_MAX;
  if (r < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(r);
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

// "COUNT[:SPEED]": COUNT children per death (0 turns it off), moving out at SPEED; without a
// speed, the middle of the launch speeds as they stand.
static const char* const kEmitShapeWords[EmitShapeCount] = {"area", "edge", "ring", "mask"};

int EmitShapeFromText(const std::string& text) {
  const std::string t = trimSpaces(text);
  const size_t colon = t.find(':');
  const std::string word = normalizeName(t.substr(0, colon));
  for (int i = 0; i < EmitShapeCount; ++i) {
    if (word != kEmitShapeWords[i]) continue;
    if (i == EmitShapeMask) return EmitMaskPath(t).empty() ? -1 : i;
    return colon == std::string::npos ? i : -1;
  }
  return -1;
}

std::string EmitMaskPath(const std::string& text) {
  const std::string t = trimSpaces(text);
  const size_t colon = t.find(':');
  if (colon == std::string::npos || normalizeName(t.substr(0, colon)) != "mask") return std::string();
  return trimSpaces(t.substr(colon + 1));
}

// "COLSxROWS[@FPS]": a sheet of COLS x ROWS frames (each 1-16), looping at FPS (1-60) or, without
// it, played once over each particle's life. Anything else leaves the single picture.
static void applySpriteFrames(EmitterConfig& c, const std::string& value) {
  const std::string t = normalizeName(value);
  const size_t at = t.find('@');
  const std::string grid = t.substr(0, at);
  const size_t x = grid.find('x');
  if (x == std::string::npos) return;
  const std::string cols = trimSpaces(grid.substr(0, x)), rows = trimSpaces(grid.substr(x + 1));
  if (cols.empty() || rows.empty()) return;
  c.spriteCols = clampInt(readLeadingInt(cols), 1, MaxSpriteFrameSide);
  c.spriteRows = clampInt(readLeadingInt(rows), 1, MaxSpriteFrameSide);
  c.spriteFps = 0;
  if (at != std::string::npos) {
    const float fps = readLeadingFloat(t.substr(at + 1));
    if (fps > 0) c.spriteFps = clampFloat(fps, 1, MaxSpriteFps);
  }
}

static void applyDeathBurst(EmitterConfig& c, const std::string& value) {
  const std::string t = trimSpaces(value);
  const size_t colon = t.find(':');
  const int32_t n = clampInt(readLeadingInt(t.substr(0, colon)), 0, MaxDeathBurstOption);
  c.deathBurstMin = c.deathBurstMax = n;
  float speed = 0.5f * c.speedMin + 0.5f * c.speedMax;
  if (colon != std::string::npos && !trimSpaces(t.substr(colon + 1)).empty())
    speed = readLeadingFloat(t.substr(colon + 1));
  c.deathBurstSpeed = speed >= 0 ? clampFloat(speed, 0, MaxDeathBurstSpeed) : 0;
}

// "WORD[:NUMBER]": the word, trimmed and lower-cased, and whether a number followed the colon.
static std::string wordAndNumber(const std::string& value, std::string& number) {
  const std::string t = trimSpaces(value);
  const size_t colon = t.find(':');
  number = colon == std::string::npos ? std::string() : trimSpaces(t.substr(colon + 1));
  return normalizeName(t.substr(0, colon));
}

int CursorModeFromText(const std::string& text) {
  std::string number;
  const std::string word = wordAndNumber(text, number);
  if (word == "none" || word == "off") return number.empty() ? CursorNone : -1;
  if (word == "follow") return number.empty() ? CursorFollow : -1;
  if (word == "repel") return CursorRepel;
  if (word == "attract") return CursorAttract;
  return -1;
}

// "follow", "repel[:RADIUS]", "attract[:RADIUS]" or "none"; anything else changes nothing.
static void applyCursor(EmitterConfig& c, const std::string& value) {
  const int mode = CursorModeFromText(value);
  if (mode < 0) return;
  c.cursorMode = mode;
  std::string number;
  wordAndNumber(value, number);
  c.cursorRadius = DefaultCursorRadius;
  if (!number.empty()) c.cursorRadius = clampFloat(readLeadingFloat(number), MinCursorRadius, MaxCursorRadius);
}

// "burst[:COUNT]" or "off"; anything else changes nothing.
static void applyClick(EmitterConfig& c, const std::string& value) {
  std::string number;
  const std::string word = wordAndNumber(value, number);
  if (word == "off" || word == "none") {
    c.clickBurst = 0;
  } else if (word == "burst") {
    c.clickBurst = number.empty() ? DefaultClickBurst : clampInt(readLeadingInt(number), 1, MaxClickBurst);
  }
}

void ApplyConfigOptions(EmitterConfig& c, int32_t& inFront, const std::string& options) {
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

  v = getOption(options, "emitShape");
  if (!v.empty()) {
    const int shape = EmitShapeFromText(v);
    if (shape >= 0) c.emitShape = shape;
  }

  v = getOption(options, "direction");
  if (!v.empty()) {
    std::vector<std::string> f = splitText(v, ',');
    const std::string angle = trimSpaces(f[0]);
    const std::string word = normalizeName(angle);
    if (word == "outward" || word == "inward") {
      // From the centre through the birth point: the spread is around that, none unless given.
      c.directionMode = word == "outward" ? DirectionOutward : DirectionInward;
      c.spreadAngle = 0;
    } else if (!angle.empty()) {
      c.baseAngle = readLeadingFloat(angle);
      c.directionMode = DirectionAngle;
    }
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

  inFront = normalizeName(getOption(options, "zOrder")) == "behind" ? 0 : 1;

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
      c.burstCount = roundHalfAway(static_cast<double>(c.burstCount) * static_cast<double>(m));
    }
  }

  float* modulations[2] = {&c.twinkleSpeed, &c.pulseSpeed};
  scaleBy(getOption(options, "twinkle"), modulations, 2);

  v = getOption(options, "feather");
  if (!v.empty()) c.feather = clampFloat(readLeadingFloat(v), 0, 1);
  v = getOption(options, "taper");
  if (!v.empty()) c.taper = clampFloat(readLeadingFloat(v), 0, 1);

  const int edge = TaperEdgeFromText(getOption(options, "taperEdge"));
  if (edge >= 0) c.taperEdge = edge;

  if (normalizeName(getOption(options, "orientation")) == "horizontal") c.baseAngle = 0;

  v = getOption(options, "shape");
  if (!v.empty()) {
    const int shape = ShapeIdFromName(v);
    if (shape >= 0) c.shape = shape;
  }

  v = getOption(options, "trail");
  if (!v.empty()) {
    const float t = readLeadingFloat(v);
    c.trailSeconds = t > 0 ? clampFloat(t, 0, MaxTrailSeconds) : 0;
  }
  v = getOption(options, "deathBurst");
  if (!v.empty()) applyDeathBurst(c, v);
  v = getOption(options, "spriteFrames");
  if (!v.empty()) applySpriteFrames(c, v);
  v = getOption(options, "cursor");
  if (!v.empty()) applyCursor(c, v);
  v = getOption(options, "click");
  if (!v.empty()) applyClick(c, v);
}

// Within [lo, hi]; NaN reads as 0 (then clamped).
static void holdWithin(float& v, float lo, float hi) {
  if (!(v == v)) v = 0;
  if (v < lo) v = lo;
  if (v > hi) v = hi;
}

void BoundConfigValues(EmitterConfig& c) {
  holdWithin(c.spawnRate, 0, MaxSpawnRate);
  for (float* v : {&c.emitX, &c.emitY}) holdWithin(*v, -4, 4);
  for (float* v : {&c.emitW, &c.emitH}) holdWithin(*v, 0, 4);
  holdWithin(c.spreadAngle, 0, 360);
  holdWithin(c.baseAngle, -FLT_MAX, FLT_MAX);
  // Beyond a million degrees, one turn of it: fmod is exact, so the direction is the same one,
  // and its radians cannot overflow. Angles an author would type stay as typed.
  if (c.baseAngle > 1e6f || c.baseAngle < -1e6f) c.baseAngle = std::fmod(c.baseAngle, 360.0f);
  for (float* v : {&c.speedMin, &c.speedMax}) holdWithin(*v, -MaxSpeed, MaxSpeed);
  for (float* v : {&c.sizeStartMin, &c.sizeStartMax, &c.sizeEndMin, &c.sizeEndMax}) holdWithin(*v, 0, MaxSize);
  for (float* v : {&c.lifeMin, &c.lifeMax}) {
    holdWithin(*v, 0, MaxLife);
    if (*v > 0 && *v < MinLife) *v = MinLife;
  }
  holdWithin(c.colorMidPos, 0, 1);
  for (float* v : {&c.gravity, &c.windX, &c.windY, &c.noisePower}) holdWithin(*v, -MaxForce, MaxForce);
  holdWithin(c.drag, 0, 1);
  holdWithin(c.gravityVariance, -100, 100);
  holdWithin(c.noiseScale, 0, MaxSize);
  holdWithin(c.noiseSpeed, -MaxCyclesPerSecond, MaxCyclesPerSecond);
  for (float* v : {&c.alphaStart, &c.alphaEnd, &c.fadeInFraction, &c.fadeOutFraction}) holdWithin(*v, 0, 1);
  holdWithin(c.glowSoftness, 0, 1000);
  holdWithin(c.feather, 0, MaxSize);
  holdWithin(c.taper, 0, 1);
  holdWithin(c.stretch, 0, 100);
  for (float* v : {&c.twinkleSpeed, &c.pulseSpeed}) holdWithin(*v, 0, MaxCyclesPerSecond);
  holdWithin(c.twinkleAmount, 0, 1);
  holdWithin(c.pulseAmount, 0, 100);
  for (float* v : {&c.beamCore, &c.beamHalo, &c.beamEndGlow}) holdWithin(*v, 0, 100);
  holdWithin(c.rayArc, -3600, 3600);
  holdWithin(c.rayWidth, 0, MaxSize);
  if (c.rayCount < 0) c.rayCount = 0;
  if (c.rayCount > 1000) c.rayCount = 1000;
  holdWithin(c.trailSeconds, 0, MaxTrailSeconds);
  c.deathBurstMin = clampInt(c.deathBurstMin, 0, MaxDeathBurstChildren);
  c.deathBurstMax = clampInt(c.deathBurstMax, c.deathBurstMin, MaxDeathBurstChildren);
  holdWithin(c.deathBurstSpeed, 0, MaxSpeed);
  if (c.emitShape < 0 || c.emitShape >= EmitShapeCount) c.emitShape = EmitShapeArea;
  if (c.directionMode < DirectionAngle || c.directionMode > DirectionInward) c.directionMode = DirectionAngle;
  c.spriteCols = clampInt(c.spriteCols, 1, MaxSpriteFrameSide);
  c.spriteRows = clampInt(c.spriteRows, 1, MaxSpriteFrameSide);
  holdWithin(c.spriteFps, 0, MaxSpriteFps);
  if (c.cursorMode < CursorNone || c.cursorMode >= CursorModeCount) c.cursorMode = CursorNone;
  holdWithin(c.cursorRadius, MinCursorRadius, MaxCursorRadius);
  c.clickBurst = clampInt(c.clickBurst, 0, MaxClickBurst);
}
