// The field table of EmitterConfig, the 20 built-in presets and the Play adjustments (intensity
// scaling, override colour). The preset values are kept in the same six groups as the design
// tables so that each row can be read against them; the base values come first.
#include <cstring>

#include "common/text.h"
#include "config/emitter_config.h"

#define CONFIG_FIELD(name, type) {#name, type, offsetof(EmitterConfig, name)}
const ConfigField ConfigFields[] = {
    CONFIG_FIELD(spawnRate, FieldFloat),      CONFIG_FIELD(burstCount, FieldInt),
    CONFIG_FIELD(emitX, FieldFloat),          CONFIG_FIELD(emitY, FieldFloat),
    CONFIG_FIELD(emitW, FieldFloat),          CONFIG_FIELD(emitH, FieldFloat),
    CONFIG_FIELD(spreadAngle, FieldFloat),    CONFIG_FIELD(baseAngle, FieldFloat),
    CONFIG_FIELD(speedMin, FieldFloat),       CONFIG_FIELD(speedMax, FieldFloat),
    CONFIG_FIELD(sizeStartMin, FieldFloat),   CONFIG_FIELD(sizeStartMax, FieldFloat),
    CONFIG_FIELD(sizeEndMin, FieldFloat),     CONFIG_FIELD(sizeEndMax, FieldFloat),
    CONFIG_FIELD(lifeMin, FieldFloat),        CONFIG_FIELD(lifeMax, FieldFloat),
    CONFIG_FIELD(colorStartR, FieldInt),      CONFIG_FIELD(colorStartG, FieldInt),
    CONFIG_FIELD(colorStartB, FieldInt),      CONFIG_FIELD(colorEndR, FieldInt),
    CONFIG_FIELD(colorEndG, FieldInt),        CONFIG_FIELD(colorEndB, FieldInt),
    CONFIG_FIELD(colorMidR, FieldInt),        CONFIG_FIELD(colorMidG, FieldInt),
    CONFIG_FIELD(colorMidB, FieldInt),        CONFIG_FIELD(colorMidPos, FieldFloat),
    CONFIG_FIELD(hasColorMid, FieldInt),      CONFIG_FIELD(colorOverride, FieldInt),
    CONFIG_FIELD(gravity, FieldFloat),        CONFIG_FIELD(drag, FieldFloat),
    CONFIG_FIELD(windX, FieldFloat),          CONFIG_FIELD(windY, FieldFloat),
    CONFIG_FIELD(gravityVariance, FieldFloat), CONFIG_FIELD(noisePower, FieldFloat),
    CONFIG_FIELD(noiseScale, FieldFloat),     CONFIG_FIELD(noiseSpeed, FieldFloat),
    CONFIG_FIELD(alphaStart, FieldFloat),     CONFIG_FIELD(alphaEnd, FieldFloat),
    CONFIG_FIELD(fadeInFraction, FieldFloat), CONFIG_FIELD(fadeOutFraction, FieldFloat),
    CONFIG_FIELD(glowSoftness, FieldFloat),   CONFIG_FIELD(additiveBlend, FieldInt),
    CONFIG_FIELD(feather, FieldFloat),        CONFIG_FIELD(taper, FieldFloat),
    CONFIG_FIELD(taperEdge, FieldInt),        CONFIG_FIELD(stretch, FieldFloat),
    CONFIG_FIELD(shape, FieldInt),            CONFIG_FIELD(twinkleSpeed, FieldFloat),
    CONFIG_FIELD(twinkleAmount, FieldFloat),  CONFIG_FIELD(pulseSpeed, FieldFloat),
    CONFIG_FIELD(pulseAmount, FieldFloat),    CONFIG_FIELD(beamCore, FieldFloat),
    CONFIG_FIELD(beamHalo, FieldFloat),       CONFIG_FIELD(beamEndGlow, FieldFloat),
    CONFIG_FIELD(rayCount, FieldInt),         CONFIG_FIELD(rayArc, FieldFloat),
    CONFIG_FIELD(rayWidth, FieldFloat),       CONFIG_FIELD(trailSeconds, FieldFloat),
    CONFIG_FIELD(deathBurstMin, FieldInt),    CONFIG_FIELD(deathBurstMax, FieldInt),
    CONFIG_FIELD(deathBurstSpeed, FieldFloat), CONFIG_FIELD(emitShape, FieldInt),
    CONFIG_FIELD(directionMode, FieldInt),    CONFIG_FIELD(spriteCols, FieldInt),
    CONFIG_FIELD(spriteRows, FieldInt),       CONFIG_FIELD(spriteFps, FieldFloat),
    CONFIG_FIELD(cursorMode, FieldInt),       CONFIG_FIELD(cursorRadius, FieldFloat),
    CONFIG_FIELD(clickBurst, FieldInt),
};
static_assert(sizeof ConfigFields / sizeof ConfigFields[0] == ConfigFieldCount, "every field once");
#undef CONFIG_FIELD

int configFieldIndex(const char* name) {
  for (int i = 0; i < ConfigFieldCount; ++i)
    if (std::strcmp(ConfigFields[i].name, name) == 0) return i;
  return -1;
}

double configFieldValue(const EmitterConfig& config, int index) {
  const char* p = reinterpret_cast<const char*>(&config) + ConfigFields[index].offset;
  if (ConfigFields[index].type == FieldFloat) {
    float f;
    std::memcpy(&f, p, sizeof f);
    return f;
  }
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void setConfigFieldValue(EmitterConfig& config, int index, double value) {
  char* p = reinterpret_cast<char*>(&config) + ConfigFields[index].offset;
  if (ConfigFields[index].type == FieldFloat) {
    float f = static_cast<float>(value);
    std::memcpy(p, &f, sizeof f);
  } else {
    int32_t v = static_cast<int32_t>(value);
    std::memcpy(p, &v, sizeof v);
  }
}

// ---------------------------------------------------------------------------------------------
// Preset tables, one row per PresetId in order.

struct PresetNames { const char* display; const char* key; };
static const PresetNames kPresetNames[] = {
    {"Sparkle", "sparkle"},       {"Fire", "fire"},           {"Rain", "rain"},
    {"Snow", "snow"},             {"Confetti", "confetti"},   {"MagicDust", "magicdust"},
    {"Explosion", "explosion"},   {"LightRays", "lightrays"}, {"Beams", "beams"},
    {"Glow", "glow"},             {"Stars", "stars"},         {"LightBeams", "lightbeams"},
    {"GodRays", "godrays"},       {"Laser", "laser"},         {"Bubbles", "bubbles"},
    {"PulseWave", "pulsewave"},   {"Aurora", "aurora"},       {"Shimmer", "shimmer"},
    {"AuroraBorealis", "auroraborealis"}, {"Fireworks", "fireworks"},
};
static_assert(sizeof kPresetNames / sizeof kPresetNames[0] == PresetCount, "one row per preset");

struct EmissionRow {
  float spawnRate; int32_t burstCount; float emitX, emitY, emitW, emitH;
  float spreadAngle, baseAngle, speedMin, speedMax;
};
static const EmissionRow kEmission[] = {
    {40, 0, 0.5f, 0.5f, 0, 0, 360, 270, 20, 80},             // Sparkle
    {60, 0, 0.5f, 0.88f, 0.16f, 0.04f, 8, 270, 90, 140},     // Fire
    {120, 0, 0.5f, 0, 1, 0, 0, 90, 350, 500},                // Rain
    {60, 0, 0.5f, 0, 1.1f, 0, 30, 90, 20, 60},               // Snow
    {70, 0, 0.5f, 0, 1, 0, 60, 90, 30, 100},                 // Confetti
    {50, 0, 0.5f, 0.5f, 0.6f, 0.6f, 360, 0, 5, 30},          // MagicDust
    {0, 200, 0.5f, 0.5f, 0, 0, 360, 0, 80, 350},             // Explosion
    {8, 0, 0.5f, 0, 0.6f, 0.05f, 40, 90, 30, 80},            // LightRays
    {5, 0, 0.5f, 0, 0.8f, 0.02f, 20, 90, 15, 40},            // Beams
    {6, 0, 0.5f, 0.5f, 0.6f, 0.6f, 360, 0, 3, 12},           // Glow
    {12, 0, 0.5f, 0.5f, 0.95f, 0.95f, 360, 0, 0, 0},         // Stars
    {12, 0, 0.5f, 0.5f, 1, 1, 8, 270, 2, 5},                 // LightBeams
    {10, 0, 0.5f, 0.5f, 0, 0, 360, 0, 0, 5},                 // GodRays
    {35, 0, 0.5f, 0.5f, 0, 0, 10, 0, 120, 220},              // Laser
    {6, 0, 0.5f, 1, 1, 0, 10, 270, 25, 60},                  // Bubbles
    {0, 1, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0},                    // PulseWave
    {4, 0, 0.5f, 0.5f, 1, 0, 5, 270, 8, 20},                 // Aurora
    {8, 0, 0.5f, 0.5f, 1, 1, 10, 270, 3, 6},                 // Shimmer
    {6, 0, 0.5f, 0.5f, 1, 1, 5, 270, 3, 6},                  // AuroraBorealis
    {1.5f, 0, 0.5f, 1, 0.7f, 0, 12, 270, 360, 440},          // Fireworks
};
static_assert(sizeof kEmission / sizeof kEmission[0] == PresetCount, "one row per preset");

struct SizeLifeRow { float sizeStartMin, sizeStartMax, sizeEndMin, sizeEndMax, lifeMin, lifeMax; };
static const SizeLifeRow kSizeLife[] = {
    {2, 5, 0.5f, 1, 0.5f, 1.5f},     // Sparkle
    {4, 20, 1.5f, 3.5f, 0.5f, 1.1f}, // Fire
    {1.5f, 3, 1.5f, 3, 0.5f, 1},     // Rain
    {4, 7, 4, 7, 3, 6},              // Snow
    {2.5f, 4, 2.5f, 4, 2, 4},        // Confetti
    {1, 4, 0.5f, 2, 0.8f, 2.5f},     // MagicDust
    {4, 10, 1, 3, 0.3f, 1.5f},       // Explosion
    {20, 50, 10, 30, 1.5f, 3.5f},    // LightRays
    {30, 60, 15, 40, 2, 4},          // Beams
    {30, 70, 40, 90, 2, 5},          // Glow
    {2, 6, 1, 4, 2, 6},              // Stars
    {14, 22, 14, 22, 4, 7},          // LightBeams
    {12, 20, 10, 16, 1, 2.2f},       // GodRays
    {2, 4, 2, 3, 0.25f, 0.6f},       // Laser
    {8, 18, 12, 26, 3, 6},           // Bubbles
    {8, 8, 120, 120, 1, 1},          // PulseWave
    {12, 24, 12, 24, 4, 8},          // Aurora
    {3, 7, 3, 7, 3, 5},              // Shimmer
    {8, 16, 8, 16, 4, 7},            // AuroraBorealis
    {3, 3.6f, 2.6f, 3.2f, 1.1f, 1.5f}, // Fireworks
};
static_assert(sizeof kSizeLife / sizeof kSizeLife[0] == PresetCount, "one row per preset");

// The middle colour is written only when hasColorMid is 1 (Fire); the others leave it alone.
struct ColorRow {
  int32_t start[3], end[3];
  int32_t hasColorMid, mid[3];
  float colorMidPos;
};
static const ColorRow kColor[] = {
    {{255, 255, 200}, {255, 200, 100}, 0, {0, 0, 0}, 0.5f},     // Sparkle
    {{255, 230, 100}, {80, 15, 0}, 1, {255, 110, 25}, 0.45f},   // Fire
    {{170, 200, 240}, {130, 170, 220}, 0, {0, 0, 0}, 0.5f},     // Rain
    {{250, 252, 255}, {220, 230, 245}, 0, {0, 0, 0}, 0.5f},     // Snow
    {{255, 100, 100}, {100, 100, 255}, 0, {0, 0, 0}, 0.5f},     // Confetti
    {{180, 130, 255}, {100, 200, 255}, 0, {0, 0, 0}, 0.5f},     // MagicDust
    {{255, 220, 80}, {200, 60, 20}, 0, {0, 0, 0}, 0.5f},        // Explosion
    {{255, 245, 200}, {255, 220, 150}, 0, {0, 0, 0}, 0.5f},     // LightRays
    {{255, 250, 220}, {255, 240, 180}, 0, {0, 0, 0}, 0.5f},     // Beams
    {{255, 230, 180}, {200, 180, 255}, 0, {0, 0, 0}, 0.5f},     // Glow
    {{255, 255, 240}, {200, 220, 255}, 0, {0, 0, 0}, 0.5f},     // Stars
    {{255, 245, 210}, {220, 220, 200}, 0, {0, 0, 0}, 0.5f},     // LightBeams
    {{255, 250, 210}, {255, 200, 120}, 0, {0, 0, 0}, 0.5f},     // GodRays
    {{255, 80, 120}, {255, 30, 60}, 0, {0, 0, 0}, 0.5f},        // Laser
    {{200, 230, 255}, {220, 240, 255}, 0, {0, 0, 0}, 0.5f},     // Bubbles
    {{100, 200, 255}, {100, 200, 255}, 0, {0, 0, 0}, 0.5f},     // PulseWave
    {{80, 255, 160}, {180, 100, 255}, 0, {0, 0, 0}, 0.5f},      // Aurora
    {{240, 245, 255}, {170, 195, 240}, 0, {0, 0, 0}, 0.5f},     // Shimmer
    {{100, 255, 180}, {200, 100, 255}, 0, {0, 0, 0}, 0.5f},     // AuroraBorealis
    {{255, 240, 200}, {200, 90, 50}, 0, {0, 0, 0}, 0.5f},       // Fireworks
};
static_assert(sizeof kColor / sizeof kColor[0] == PresetCount, "one row per preset");

struct ForceRow {
  float gravity, gravityVariance, drag, windX, windY, noisePower, noiseScale, noiseSpeed;
};
static const ForceRow kForces[] = {
    {15, 0, 1, 0, 0, 0, 100, 1},             // Sparkle
    {-60, 0.3f, 0.97f, 4, 0, 65, 40, 2.2f},  // Fire
    {200, 0, 1, 0, 0, 0, 100, 1},            // Rain
    {8, 0, 0.99f, 0, 0, 0, 100, 1},          // Snow
    {40, 0, 0.98f, 0, 0, 0, 100, 1},         // Confetti
    {-5, 0, 0.98f, 0, 0, 0, 100, 1},         // MagicDust
    {60, 0, 0.95f, 0, 0, 0, 100, 1},         // Explosion
    {0, 0, 0.99f, 0, 0, 0, 100, 1},          // LightRays
    {0, 0, 0.98f, 0, 0, 0, 100, 1},          // Beams
    {0, 0, 0.99f, 0, 0, 0, 100, 1},          // Glow
    {0, 0, 1, 0, 0, 0, 100, 1},              // Stars
    {0, 0, 0.85f, 0, 0, 0, 100, 1},          // LightBeams
    {0, 0, 1, 0, 0, 0, 100, 1},              // GodRays
    {0, 0, 1, 0, 0, 0, 100, 1},              // Laser
    {-10, 0, 0.99f, 0, 0, 0, 100, 1},        // Bubbles
    {0, 0, 1, 0, 0, 0, 100, 1},              // PulseWave
    {0, 0, 1, 0, 0, 0, 100, 1},              // Aurora
    {0, 0, 0.85f, 0, 0, 0, 100, 1},          // Shimmer
    {0, 0, 0.85f, 0, 0, 0, 100, 1},          // AuroraBorealis
    {90, 0, 0.995f, 0, 0, 0, 100, 1},        // Fireworks
};
static_assert(sizeof kForces / sizeof kForces[0] == PresetCount, "one row per preset");

struct LookRow {
  float alphaStart, alphaEnd, fadeInFraction, fadeOutFraction, glowSoftness;
  int32_t additiveBlend, shape;
  float stretch, feather, taper;
  int32_t taperEdge;
};
static const LookRow kLook[] = {
    {1, 0, 0.1f, 0, 1, 1, 0, 1, 0, 0, 0},              // Sparkle
    {0.9f, 0, 0.1f, 0, 1.3f, 1, 1, 3, 0.15f, 0, 0},    // Fire
    {0.65f, 0.1f, 0, 0, 0, 0, 6, 5, 0, 0, 0},          // Rain
    {0.7f, 0, 0.15f, 0, 0.6f, 0, 0, 1, 0, 0, 0},       // Snow
    {1, 0.3f, 0, 0, 0, 0, 7, 2.2f, 0, 0, 0},           // Confetti
    {0.9f, 0, 0.15f, 0, 1, 1, 0, 1, 0, 0, 0},          // MagicDust
    {1, 0, 0, 0, 0.9f, 1, 0, 1, 0, 0, 0},              // Explosion
    {0.5f, 0, 0.15f, 0, 0.9f, 1, 1, 6, 0, 0, 0},       // LightRays
    {0.35f, 0, 0.2f, 0, 1, 1, 2, 10, 0, 0, 0},         // Beams
    {0.4f, 0, 0.2f, 0.3f, 1, 1, 3, 1, 0, 0, 0},        // Glow
    {0.9f, 0, 0.1f, 0, 1, 1, 4, 1, 0, 0, 0},           // Stars
    {0.35f, 0, 0.3f, 0.4f, 1.7f, 1, 2, 10, 0.15f, 0, 0}, // LightBeams
    {0.8f, 0, 0.1f, 0, 1, 1, 5, 7, 0, 0, 0},           // GodRays
    {1, 0, 0.1f, 0, 0.95f, 1, 6, 10, 0, 0, 0},         // Laser
    {0.85f, 0, 0.15f, 0.3f, 1, 0, 9, 1, 0, 0, 0},      // Bubbles
    {0.8f, 0, 0, 0.5f, 0.4f, 0, 3, 1, 0, 0, 0},        // PulseWave
    {0.25f, 0, 0.3f, 0.4f, 1, 1, 2, 8, 0, 0, 0},       // Aurora
    {0.7f, 0, 0.3f, 0.4f, 1.4f, 1, 2, 2, 0.3f, 0, 0},  // Shimmer
    {0.4f, 0, 0.35f, 0.4f, 1.5f, 1, 2, 8, 0.2f, 0, 0}, // AuroraBorealis
    {1, 0.8f, 0, 0.3f, 0, 1, 0, 1, 0, 0, 0},           // Fireworks
};
static_assert(sizeof kLook / sizeof kLook[0] == PresetCount, "one row per preset");

struct ModulationRow {
  float twinkleSpeed, twinkleAmount, pulseSpeed, pulseAmount;
  float beamCore, beamHalo, beamEndGlow;
  int32_t rayCount;
  float rayArc, rayWidth;
};
static const ModulationRow kModulation[] = {
    {0, 0, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},           // Sparkle
    {0, 0, 0, 0, 1, 0.6f, 0.4f, 12, 360, 2},           // Fire
    {0, 0, 0, 0, 1, 0, 0.5f, 12, 360, 2},              // Rain
    {0, 0, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},           // Snow
    {0, 0, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},           // Confetti
    {0, 0, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},           // MagicDust
    {0, 0, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},           // Explosion
    {0, 0, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},           // LightRays
    {0, 0, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},           // Beams
    {1.5f, 0.3f, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},     // Glow
    {3, 0.7f, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},        // Stars
    {0, 0, 0.5f, 0.2f, 1, 0.7f, 0.4f, 12, 360, 2},     // LightBeams
    {0, 0, 0.35f, 0.35f, 1, 0.9f, 0.9f, 18, 360, 2.5f}, // GodRays
    {0, 0, 3.5f, 0.2f, 1, 0.5f, 0.4f, 12, 360, 2},     // Laser
    {0, 0, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},           // Bubbles
    {0, 0, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},           // PulseWave
    {0, 0, 0.4f, 0.4f, 1, 0.6f, 0.5f, 12, 360, 2},     // Aurora
    {0, 0, 0, 0, 1, 0.5f, 0.3f, 12, 360, 2},           // Shimmer
    {0, 0, 0.6f, 0.35f, 1, 0.6f, 0.3f, 12, 360, 2},    // AuroraBorealis
    {6, 0.5f, 0, 0, 1, 0.6f, 0.5f, 12, 360, 2},        // Fireworks
};
static_assert(sizeof kModulation / sizeof kModulation[0] == PresetCount, "one row per preset");

// Streaks and bursts on death; only Fireworks has them.
struct AfterlifeRow {
  float trailSeconds;
  int32_t deathBurstMin, deathBurstMax;
  float deathBurstSpeed;
};
static const AfterlifeRow kAfterlife[] = {
    {0, 0, 0, 0},  {0, 0, 0, 0},  {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},  // Sparkle .. Confetti
    {0, 0, 0, 0},  {0, 0, 0, 0},  {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},  // MagicDust .. Glow
    {0, 0, 0, 0},  {0, 0, 0, 0},  {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},  // Stars .. Bubbles
    {0, 0, 0, 0},  {0, 0, 0, 0},  {0, 0, 0, 0}, {0, 0, 0, 0},                // PulseWave .. AuroraBorealis
    {0.15f, 40, 70, 170},                                                    // Fireworks
};
static_assert(sizeof kAfterlife / sizeof kAfterlife[0] == PresetCount, "one row per preset");

// The values every preset starts from; the middle colour channels are not touched.
static void writeBaseValues(EmitterConfig& c) {
  c.burstCount = 0;
  c.emitX = 0.5f; c.emitY = 0.5f; c.emitW = 0; c.emitH = 0;
  c.colorMidPos = 0.5f; c.hasColorMid = 0; c.colorOverride = 0;
  c.drag = 1; c.windX = 0; c.windY = 0; c.gravityVariance = 0;
  c.noisePower = 0; c.noiseScale = 100; c.noiseSpeed = 1;
  c.fadeInFraction = 0.1f; c.fadeOutFraction = 0;
  c.glowSoftness = 0.8f; c.additiveBlend = 0; c.feather = 0; c.taper = 0; c.taperEdge = 0;
  c.stretch = 1; c.shape = ShapeCircle;
  c.twinkleSpeed = 0; c.twinkleAmount = 0; c.pulseSpeed = 0; c.pulseAmount = 0;
  c.beamCore = 1; c.beamHalo = 0.6f; c.beamEndGlow = 0.5f;
  c.rayCount = 12; c.rayArc = 360; c.rayWidth = 2;
  c.trailSeconds = 0; c.deathBurstMin = 0; c.deathBurstMax = 0; c.deathBurstSpeed = 0;
  c.emitShape = EmitShapeArea; c.directionMode = DirectionAngle;
  c.spriteCols = 1; c.spriteRows = 1; c.spriteFps = 0;
  c.cursorMode = CursorNone; c.cursorRadius = DefaultCursorRadius; c.clickBurst = 0;
}

static void writePresetValues(int id, EmitterConfig& c) {
  const EmissionRow& e = kEmission[id];
  c.spawnRate = e.spawnRate; c.burstCount = e.burstCount;
  c.emitX = e.emitX; c.emitY = e.emitY; c.emitW = e.emitW; c.emitH = e.emitH;
  c.spreadAngle = e.spreadAngle; c.baseAngle = e.baseAngle;
  c.speedMin = e.speedMin; c.speedMax = e.speedMax;

  const SizeLifeRow& s = kSizeLife[id];
  c.sizeStartMin = s.sizeStartMin; c.sizeStartMax = s.sizeStartMax;
  c.sizeEndMin = s.sizeEndMin; c.sizeEndMax = s.sizeEndMax;
  c.lifeMin = s.lifeMin; c.lifeMax = s.lifeMax;

  const ColorRow& k = kColor[id];
  c.colorStartR = k.start[0]; c.colorStartG = k.start[1]; c.colorStartB = k.start[2];
  c.colorEndR = k.end[0]; c.colorEndG = k.end[1]; c.colorEndB = k.end[2];
  c.hasColorMid = k.hasColorMid;
  if (k.hasColorMid) { c.colorMidR = k.mid[0]; c.colorMidG = k.mid[1]; c.colorMidB = k.mid[2]; }
  c.colorMidPos = k.colorMidPos;
  c.colorOverride = 0;

  const ForceRow& f = kForces[id];
  c.gravity = f.gravity; c.gravityVariance = f.gravityVariance; c.drag = f.drag;
  c.windX = f.windX; c.windY = f.windY;
  c.noisePower = f.noisePower; c.noiseScale = f.noiseScale; c.noiseSpeed = f.noiseSpeed;

  const LookRow& l = kLook[id];
  c.alphaStart = l.alphaStart; c.alphaEnd = l.alphaEnd;
  c.fadeInFraction = l.fadeInFraction; c.fadeOutFraction = l.fadeOutFraction;
  c.glowSoftness = l.glowSoftness; c.additiveBlend = l.additiveBlend; c.shape = l.shape;
  c.stretch = l.stretch; c.feather = l.feather; c.taper = l.taper; c.taperEdge = l.taperEdge;

  const ModulationRow& m = kModulation[id];
  c.twinkleSpeed = m.twinkleSpeed; c.twinkleAmount = m.twinkleAmount;
  c.pulseSpeed = m.pulseSpeed; c.pulseAmount = m.pulseAmount;
  c.beamCore = m.beamCore; c.beamHalo = m.beamHalo; c.beamEndGlow = m.beamEndGlow;
  c.rayCount = m.rayCount; c.rayArc = m.rayArc; c.rayWidth = m.rayWidth;

  const AfterlifeRow& a = kAfterlife[id];
  c.trailSeconds = a.trailSeconds;
  c.deathBurstMin = a.deathBurstMin; c.deathBurstMax = a.deathBurstMax;
  c.deathBurstSpeed = a.deathBurstSpeed;
}

// -1 when the normalised name is no preset's lookup key.
static int findPreset(const std::string& name) {
  const std::string key = normalizeName(name);
  for (int i = 0; i < PresetCount; ++i)
    if (key == kPresetNames[i].key) return i;
  return -1;
}

void LoadPreset(const std::string& name, EmitterConfig& config) {
  int id = findPreset(name);
  writeBaseValues(config);
  writePresetValues(id < 0 ? PresetSparkle : id, config);
}

PresetId PresetIdFromName(const std::string& name) {
  int id = findPreset(name);
  return static_cast<PresetId>(id < 0 ? PresetSparkle : id);
}

const char* PresetDisplayName(int id) {
  if (id < 0 || id >= PresetCount) return kPresetNames[PresetSparkle].display;
  return kPresetNames[id].display;
}

void ApplyIntensity(EmitterConfig& config, int32_t intensity) {
  const int32_t i = clampInt(intensity, 0, 100);
  const float k = static_cast<float>(i) / 50.0f;
  config.spawnRate = config.spawnRate * k;
  config.burstCount = roundHalfAway(static_cast<float>(config.burstCount) * k);
}

void ApplyPlaySettings(EmitterConfig& config, int32_t intensity, const std::string& colorText) {
  ApplyIntensity(config, intensity);
  if (!colorText.empty()) {
    SetStartColor(config, colorText);
    SetEndColor(config, colorText);
  }
}

int ParseColorText(const std::string& text, int32_t& r, int32_t& g, int32_t& b) {
  if (text.empty()) return 0;
  std::vector<std::string> fields = splitText(text, ',');
  if (fields.size() < 3) return 0;
  int32_t rgb[3];
  for (int i = 0; i < 3; ++i) {
    std::string f = trimSpaces(fields[i]);
    if (f.empty()) return 0;
    rgb[i] = clampInt(readLeadingInt(f), 0, 255);
  }
  r = rgb[0]; g = rgb[1]; b = rgb[2];
  return 1;
}

void SetStartColor(EmitterConfig& config, const std::string& text) {
  int32_t r, g, b;
  if (!ParseColorText(text, r, g, b)) return;
  config.colorStartR = r; config.colorStartG = g; config.colorStartB = b;
  config.colorOverride = 1;
}

void SetEndColor(EmitterConfig& config, const std::string& text) {
  int32_t r, g, b;
  if (!ParseColorText(text, r, g, b)) return;
  config.colorEndR = r; config.colorEndG = g; config.colorEndB = b;
  config.colorOverride = 1;
}
