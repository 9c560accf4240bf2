// The parameter record of one effect, its field table, the preset names and the adjustments that
// Play makes on top of a preset. The record is plain data: 69 fields of 32 bits, copied whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct EmitterConfig {
  float spawnRate;        // particles per second while burstCount is 0
  int32_t burstCount;     // > 0: particles spawned at once at start; no continuous emission
  float emitX;            // emission rectangle centre x, fraction of frame width
  float emitY;            // emission rectangle centre y, fraction of frame height
  float emitW;            // emission rectangle width, fraction of frame width
  float emitH;            // emission rectangle height, fraction of frame height
  float spreadAngle;      // degrees, total width of the launch directions
  float baseAngle;        // degrees, central launch direction (0 right, 90 down)
  float speedMin;         // pixels per second
  float speedMax;         // pixels per second
  float sizeStartMin;     // pixels (radius) at birth
  float sizeStartMax;     // pixels (radius) at birth
  float sizeEndMin;       // pixels (radius) at the end of life
  float sizeEndMax;       // pixels (radius) at the end of life
  float lifeMin;          // seconds
  float lifeMax;          // seconds
  int32_t colorStartR;    // 0-255, colour at birth
  int32_t colorStartG;
  int32_t colorStartB;
  int32_t colorEndR;      // 0-255, colour at the end of life
  int32_t colorEndG;
  int32_t colorEndB;
  int32_t colorMidR;      // 0-255, middle colour of the ramp
  int32_t colorMidG;
  int32_t colorMidB;
  float colorMidPos;      // fraction of life where the middle colour is reached
  int32_t hasColorMid;    // 1: the colour ramp passes through the middle colour
  int32_t colorOverride;  // 1: colours came from the caller (no preset palette)
  float gravity;          // pixels per second squared, positive down
  float drag;             // share of velocity kept per 1/60 s; 1 = none
  float windX;            // pixels per second squared
  float windY;            // pixels per second squared
  float gravityVariance;  // fraction, per-particle variation of gravity
  float noisePower;       // pixels per second squared; 0 = off
  float noiseScale;       // pixels, spatial scale of the noise field
  float noiseSpeed;       // per second, drift of the noise field
  float alphaStart;       // 0-1, opacity at birth
  float alphaEnd;         // 0-1, opacity at the end of life
  float fadeInFraction;   // fraction of life over which opacity ramps in
  float fadeOutFraction;  // fraction of life over which opacity ramps out
  float glowSoftness;     // above 0.3 circles are drawn as soft gradients
  int32_t additiveBlend;  // 1: a drawn frame's opacity is raised by a quarter
  float feather;          // edge fade: fraction of frame size (<= 1) or pixels (> 1)
  float taper;            // 0-1, narrowing of the emission area towards taperEdge
  int32_t taperEdge;      // 0 top, 1 bottom, 2 left, 3 right
  float stretch;          // factor on drawn width and on the length of long shapes
  int32_t shape;          // ShapeId
  float twinkleSpeed;     // cycles per second; 0 = off
  float twinkleAmount;    // 0-1, depth of the flicker
  float pulseSpeed;       // cycles per second; 0 = off
  float pulseAmount;      // factor, depth of the pulse
  float beamCore;         // opacity factor of a long shape's core
  float beamHalo;         // opacity factor of its halo
  float beamEndGlow;      // opacity factor of the glow at its ends
  int32_t rayCount;       // rays of the lightburst shape
  float rayArc;           // degrees spanned by the lightburst rays
  float rayWidth;         // pixels, line width of a lightburst ray's core
  float trailSeconds;     // seconds of past positions each particle streaks through; 0 = none
  int32_t deathBurstMin;  // children a dying particle bursts into, at least; 0 = off
  int32_t deathBurstMax;  // and at most (drawn per particle)
  float deathBurstSpeed;  // pixels per second, the children's outward speed (x 0.6-1.0)
  int32_t emitShape;      // EmitShapeId: where in the emit area particles are born
  int32_t directionMode;  // DirectionModeId: the launch direction as an angle, or from the centre
  int32_t spriteCols;     // frames across a sprite sheet, 1-16
  int32_t spriteRows;     // frames down it, 1-16
  float spriteFps;        // frames per second of a looping sheet; 0: once over each life
  int32_t cursorMode;     // CursorModeId: what the reader's cursor does to the effect
  float cursorRadius;     // pixels, the reach of repel and attract
  int32_t clickBurst;     // particles a left click inside the rectangle bursts there; 0 = off
};
static_assert(sizeof(EmitterConfig) == 276, "EmitterConfig is 69 fields of 32 bits");

// Where particles are born: anywhere in the emit area, on its outline, on the ellipse inscribed
// in it, or on the opaque pixels of a picture fitted into it. An area of zero width or height is
// a line or a point whatever the shape.
enum EmitShapeId { EmitShapeArea, EmitShapeEdge, EmitShapeRing, EmitShapeMask, EmitShapeCount };
// The launch direction: baseAngle with its spread, or away from / towards the emit area's centre
// through the birth point (with the spread around that).
enum DirectionModeId { DirectionAngle, DirectionOutward, DirectionInward };
// The reader's cursor, while it is over the rectangle: the emit area's centre follows it, or the
// live particles within cursorRadius of it are pushed away or pulled in.
enum CursorModeId { CursorNone, CursorFollow, CursorRepel, CursorAttract, CursorModeCount };
constexpr float DefaultCursorRadius = 120;  // pixels
constexpr float MinCursorRadius = 10;
constexpr float MaxCursorRadius = 1000;
constexpr int32_t DefaultClickBurst = 60;   // particles
constexpr int32_t MaxClickBurst = 500;
constexpr int32_t MaxSpriteFrameSide = 16;   // frames across or down a sheet
constexpr float MaxSpriteFps = 60;

enum ConfigFieldType { FieldFloat, FieldInt };

struct ConfigField {
  const char* name;      // the record's field name, as the dump and the tests spell it
  ConfigFieldType type;  // float or 32-bit signed integer
  size_t offset;         // byte offset in EmitterConfig
};

constexpr int ConfigFieldCount = 69;
extern const ConfigField ConfigFields[ConfigFieldCount];

// Index into ConfigFields of the field with this exact name, or -1.
int configFieldIndex(const char* name);
// Field value as a double (floats widened exactly, integers converted).
double configFieldValue(const EmitterConfig& config, int index);
// Writes one field from a double (integers truncated toward zero).
void setConfigFieldValue(EmitterConfig& config, int index, double value);

enum PresetId {
  PresetSparkle, PresetFire, PresetRain, PresetSnow, PresetConfetti, PresetMagicDust,
  PresetExplosion, PresetLightRays, PresetBeams, PresetGlow, PresetStars, PresetLightBeams,
  PresetGodRays, PresetLaser, PresetBubbles, PresetPulseWave, PresetAurora, PresetShimmer,
  PresetAuroraBorealis, PresetFireworks,
  PresetCount
};

enum ShapeId {
  ShapeCircle, ShapeRay, ShapeBeam, ShapeGlow, ShapeStar, ShapeLightburst, ShapeLaser,
  ShapeRectangle, ShapeSprite, ShapeRing,
  ShapeCount
};

// Overwrites config with the named preset (unknown names load Sparkle). The middle colour
// channels are left as they were unless the preset sets them.
void LoadPreset(const std::string& name, EmitterConfig& config);
PresetId PresetIdFromName(const std::string& name);
const char* PresetDisplayName(int id);

void ApplyIntensity(EmitterConfig& config, int32_t intensity);
void ApplyPlaySettings(EmitterConfig& config, int32_t intensity, const std::string& colorText);

// The bounds every effect's values are held within once the preset, the intensity and the options
// have done their work, so that the engine's and the renderer's arithmetic stays finite (a host
// may run with float traps unmasked). Each is beyond anything an author could see differ.
constexpr float MaxSpeed = 1e7f;        // pixels per second: crosses any frame in a 1 ms step
constexpr float MaxSize = 1e6f;         // pixels (radius): far larger than any frame
constexpr float MaxLife = 1e6f;         // seconds: eleven days
constexpr float MinLife = 1e-4f;        // seconds: a positive life below a step still ends in it
constexpr float MaxSpawnRate = 1e7f;    // particles per second: fills the pool in any step
constexpr float MaxCyclesPerSecond = 1e4f;  // twinkle and pulse: far above the frame rate
constexpr float MaxForce = 1e7f;        // pixels per second squared: gravity, wind, noise
constexpr float MaxTrailSeconds = 1;    // `trail`: the longest streak
constexpr int32_t MaxDeathBurstOption = 50;     // `deathBurst`: children per death an author may ask
constexpr float MaxDeathBurstSpeed = 2000;      // `deathBurst`: pixels per second
constexpr int32_t MaxDeathBurstChildren = 100;  // children per death a preset may have
// Holds every field of config within those bounds (an angle is reduced to one turn, exactly);
// values already inside are left bit for bit as they are. NaN reads as 0.
void BoundConfigValues(EmitterConfig& config);

// "R,G,B": three non-empty comma fields, each read leniently and clamped to 0-255. 1 on success.
int ParseColorText(const std::string& text, int32_t& r, int32_t& g, int32_t& b);
void SetStartColor(EmitterConfig& config, const std::string& text);
void SetEndColor(EmitterConfig& config, const std::string& text);
