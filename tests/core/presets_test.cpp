// Preset values against an independent transcription of the preset tables (kept here as the
// designers wrote them, parsed at run time), name lookup, intensity scaling and colour parsing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "common/text.h"
#include "config/emitter_config.h"

namespace {

// Six tables, one row per preset. "–" means the preset leaves the field alone; an RGB column
// named `colorX` (R,G,B) fills colorXR, colorXG, colorXB.
const char* const kPresetTables = R"TABLES(
| Preset | `spawnRate` | `burstCount` | `emitX` | `emitY` | `emitW` | `emitH` | `spreadAngle` | `baseAngle` | `speedMin` | `speedMax` |
|---|---|---|---|---|---|---|---|---|---|---|
| Sparkle | 40 | 0 | 0.5 | 0.5 | 0 | 0 | 360 | 270 | 20 | 80 |
| Fire | 60 | 0 | 0.5 | 0.88 | 0.16 | 0.04 | 8 | 270 | 90 | 140 |
| Rain | 120 | 0 | 0.5 | 0 | 1 | 0 | 0 | 90 | 350 | 500 |
| Snow | 60 | 0 | 0.5 | 0 | 1.1 | 0 | 30 | 90 | 20 | 60 |
| Confetti | 70 | 0 | 0.5 | 0 | 1 | 0 | 60 | 90 | 30 | 100 |
| MagicDust | 50 | 0 | 0.5 | 0.5 | 0.6 | 0.6 | 360 | 0 | 5 | 30 |
| Explosion | 0 | 200 | 0.5 | 0.5 | 0 | 0 | 360 | 0 | 80 | 350 |
| LightRays | 8 | 0 | 0.5 | 0 | 0.6 | 0.05 | 40 | 90 | 30 | 80 |
| Beams | 5 | 0 | 0.5 | 0 | 0.8 | 0.02 | 20 | 90 | 15 | 40 |
| Glow | 6 | 0 | 0.5 | 0.5 | 0.6 | 0.6 | 360 | 0 | 3 | 12 |
| Stars | 12 | 0 | 0.5 | 0.5 | 0.95 | 0.95 | 360 | 0 | 0 | 0 |
| LightBeams | 12 | 0 | 0.5 | 0.5 | 1 | 1 | 8 | 270 | 2 | 5 |
| GodRays | 10 | 0 | 0.5 | 0.5 | 0 | 0 | 360 | 0 | 0 | 5 |
| Laser | 35 | 0 | 0.5 | 0.5 | 0 | 0 | 10 | 0 | 120 | 220 |
| Bubbles | 6 | 0 | 0.5 | 1 | 1 | 0 | 10 | 270 | 25 | 60 |
| PulseWave | 0 | 1 | 0.5 | 0.5 | 0 | 0 | 0 | 0 | 0 | 0 |
| Aurora | 4 | 0 | 0.5 | 0.5 | 1 | 0 | 5 | 270 | 8 | 20 |
| Shimmer | 8 | 0 | 0.5 | 0.5 | 1 | 1 | 10 | 270 | 3 | 6 |
| AuroraBorealis | 6 | 0 | 0.5 | 0.5 | 1 | 1 | 5 | 270 | 3 | 6 |
| Fireworks | 1.5 | 0 | 0.5 | 1 | 0.7 | 0 | 12 | 270 | 360 | 440 |
| Preset | `sizeStartMin` | `sizeStartMax` | `sizeEndMin` | `sizeEndMax` | `lifeMin` | `lifeMax` |
|---|---|---|---|---|---|---|
| Sparkle | 2 | 5 | 0.5 | 1 | 0.5 | 1.5 |
| Fire | 4 | 20 | 1.5 | 3.5 | 0.5 | 1.1 |
| Rain | 1.5 | 3 | 1.5 | 3 | 0.5 | 1 |
| Snow | 4 | 7 | 4 | 7 | 3 | 6 |
| Confetti | 2.5 | 4 | 2.5 | 4 | 2 | 4 |
| MagicDust | 1 | 4 | 0.5 | 2 | 0.8 | 2.5 |
| Explosion | 4 | 10 | 1 | 3 | 0.3 | 1.5 |
| LightRays | 20 | 50 | 10 | 30 | 1.5 | 3.5 |
| Beams | 30 | 60 | 15 | 40 | 2 | 4 |
| Glow | 30 | 70 | 40 | 90 | 2 | 5 |
| Stars | 2 | 6 | 1 | 4 | 2 | 6 |
| LightBeams | 14 | 22 | 14 | 22 | 4 | 7 |
| GodRays | 12 | 20 | 10 | 16 | 1 | 2.2 |
| Laser | 2 | 4 | 2 | 3 | 0.25 | 0.6 |
| Bubbles | 8 | 18 | 12 | 26 | 3 | 6 |
| PulseWave | 8 | 8 | 120 | 120 | 1 | 1 |
| Aurora | 12 | 24 | 12 | 24 | 4 | 8 |
| Shimmer | 3 | 7 | 3 | 7 | 3 | 5 |
| AuroraBorealis | 8 | 16 | 8 | 16 | 4 | 7 |
| Fireworks | 3 | 3.6 | 2.6 | 3.2 | 1.1 | 1.5 |
| Preset | `colorStart` (R,G,B) | `colorEnd` (R,G,B) | `hasColorMid` | `colorMid` (R,G,B) | `colorMidPos` | `colorOverride` |
|---|---|---|---|---|---|---|
| Sparkle | 255,255,200 | 255,200,100 | 0 | – | 0.5 | 0 |
| Fire | 255,230,100 | 80,15,0 | 1 | 255,110,25 | 0.45 | 0 |
| Rain | 170,200,240 | 130,170,220 | 0 | – | 0.5 | 0 |
| Snow | 250,252,255 | 220,230,245 | 0 | – | 0.5 | 0 |
| Confetti | 255,100,100 | 100,100,255 | 0 | – | 0.5 | 0 |
| MagicDust | 180,130,255 | 100,200,255 | 0 | – | 0.5 | 0 |
| Explosion | 255,220,80 | 200,60,20 | 0 | – | 0.5 | 0 |
| LightRays | 255,245,200 | 255,220,150 | 0 | – | 0.5 | 0 |
| Beams | 255,250,220 | 255,240,180 | 0 | – | 0.5 | 0 |
| Glow | 255,230,180 | 200,180,255 | 0 | – | 0.5 | 0 |
| Stars | 255,255,240 | 200,220,255 | 0 | – | 0.5 | 0 |
| LightBeams | 255,245,210 | 220,220,200 | 0 | – | 0.5 | 0 |
| GodRays | 255,250,210 | 255,200,120 | 0 | – | 0.5 | 0 |
| Laser | 255,80,120 | 255,30,60 | 0 | – | 0.5 | 0 |
| Bubbles | 200,230,255 | 220,240,255 | 0 | – | 0.5 | 0 |
| PulseWave | 100,200,255 | 100,200,255 | 0 | – | 0.5 | 0 |
| Aurora | 80,255,160 | 180,100,255 | 0 | – | 0.5 | 0 |
| Shimmer | 240,245,255 | 170,195,240 | 0 | – | 0.5 | 0 |
| AuroraBorealis | 100,255,180 | 200,100,255 | 0 | – | 0.5 | 0 |
| Fireworks | 255,240,200 | 200,90,50 | 0 | – | 0.5 | 0 |
| Preset | `gravity` | `gravityVariance` | `drag` | `windX` | `windY` | `noisePower` | `noiseScale` | `noiseSpeed` |
|---|---|---|---|---|---|---|---|---|
| Sparkle | 15 | 0 | 1 | 0 | 0 | 0 | 100 | 1 |
| Fire | -60 | 0.3 | 0.97 | 4 | 0 | 65 | 40 | 2.2 |
| Rain | 200 | 0 | 1 | 0 | 0 | 0 | 100 | 1 |
| Snow | 8 | 0 | 0.99 | 0 | 0 | 0 | 100 | 1 |
| Confetti | 40 | 0 | 0.98 | 0 | 0 | 0 | 100 | 1 |
| MagicDust | -5 | 0 | 0.98 | 0 | 0 | 0 | 100 | 1 |
| Explosion | 60 | 0 | 0.95 | 0 | 0 | 0 | 100 | 1 |
| LightRays | 0 | 0 | 0.99 | 0 | 0 | 0 | 100 | 1 |
| Beams | 0 | 0 | 0.98 | 0 | 0 | 0 | 100 | 1 |
| Glow | 0 | 0 | 0.99 | 0 | 0 | 0 | 100 | 1 |
| Stars | 0 | 0 | 1 | 0 | 0 | 0 | 100 | 1 |
| LightBeams | 0 | 0 | 0.85 | 0 | 0 | 0 | 100 | 1 |
| GodRays | 0 | 0 | 1 | 0 | 0 | 0 | 100 | 1 |
| Laser | 0 | 0 | 1 | 0 | 0 | 0 | 100 | 1 |
| Bubbles | -10 | 0 | 0.99 | 0 | 0 | 0 | 100 | 1 |
| PulseWave | 0 | 0 | 1 | 0 | 0 | 0 | 100 | 1 |
| Aurora | 0 | 0 | 1 | 0 | 0 | 0 | 100 | 1 |
| Shimmer | 0 | 0 | 0.85 | 0 | 0 | 0 | 100 | 1 |
| AuroraBorealis | 0 | 0 | 0.85 | 0 | 0 | 0 | 100 | 1 |
| Fireworks | 90 | 0 | 0.995 | 0 | 0 | 0 | 100 | 1 |
| Preset | `alphaStart` | `alphaEnd` | `fadeInFraction` | `fadeOutFraction` | `glowSoftness` | `additiveBlend` | `shape` | `stretch` | `feather` | `taper` | `taperEdge` |
|---|---|---|---|---|---|---|---|---|---|---|---|
| Sparkle | 1 | 0 | 0.1 | 0 | 1 | 1 | 0 | 1 | 0 | 0 | 0 |
| Fire | 0.9 | 0 | 0.1 | 0 | 1.3 | 1 | 1 | 3 | 0.15 | 0 | 0 |
| Rain | 0.65 | 0.1 | 0 | 0 | 0 | 0 | 6 | 5 | 0 | 0 | 0 |
| Snow | 0.7 | 0 | 0.15 | 0 | 0.6 | 0 | 0 | 1 | 0 | 0 | 0 |
| Confetti | 1 | 0.3 | 0 | 0 | 0 | 0 | 7 | 2.2 | 0 | 0 | 0 |
| MagicDust | 0.9 | 0 | 0.15 | 0 | 1 | 1 | 0 | 1 | 0 | 0 | 0 |
| Explosion | 1 | 0 | 0 | 0 | 0.9 | 1 | 0 | 1 | 0 | 0 | 0 |
| LightRays | 0.5 | 0 | 0.15 | 0 | 0.9 | 1 | 1 | 6 | 0 | 0 | 0 |
| Beams | 0.35 | 0 | 0.2 | 0 | 1 | 1 | 2 | 10 | 0 | 0 | 0 |
| Glow | 0.4 | 0 | 0.2 | 0.3 | 1 | 1 | 3 | 1 | 0 | 0 | 0 |
| Stars | 0.9 | 0 | 0.1 | 0 | 1 | 1 | 4 | 1 | 0 | 0 | 0 |
| LightBeams | 0.35 | 0 | 0.3 | 0.4 | 1.7 | 1 | 2 | 10 | 0.15 | 0 | 0 |
| GodRays | 0.8 | 0 | 0.1 | 0 | 1 | 1 | 5 | 7 | 0 | 0 | 0 |
| Laser | 1 | 0 | 0.1 | 0 | 0.95 | 1 | 6 | 10 | 0 | 0 | 0 |
| Bubbles | 0.85 | 0 | 0.15 | 0.3 | 1 | 0 | 9 | 1 | 0 | 0 | 0 |
| PulseWave | 0.8 | 0 | 0 | 0.5 | 0.4 | 0 | 3 | 1 | 0 | 0 | 0 |
| Aurora | 0.25 | 0 | 0.3 | 0.4 | 1 | 1 | 2 | 8 | 0 | 0 | 0 |
| Shimmer | 0.7 | 0 | 0.3 | 0.4 | 1.4 | 1 | 2 | 2 | 0.3 | 0 | 0 |
| AuroraBorealis | 0.4 | 0 | 0.35 | 0.4 | 1.5 | 1 | 2 | 8 | 0.2 | 0 | 0 |
| Fireworks | 1 | 0.8 | 0 | 0.3 | 0 | 1 | 0 | 1 | 0 | 0 | 0 |
| Preset | `twinkleSpeed` | `twinkleAmount` | `pulseSpeed` | `pulseAmount` | `beamCore` | `beamHalo` | `beamEndGlow` | `rayCount` | `rayArc` | `rayWidth` |
|---|---|---|---|---|---|---|---|---|---|---|
| Sparkle | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| Fire | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.4 | 12 | 360 | 2 |
| Rain | 0 | 0 | 0 | 0 | 1 | 0 | 0.5 | 12 | 360 | 2 |
| Snow | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| Confetti | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| MagicDust | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| Explosion | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| LightRays | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| Beams | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| Glow | 1.5 | 0.3 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| Stars | 3 | 0.7 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| LightBeams | 0 | 0 | 0.5 | 0.2 | 1 | 0.7 | 0.4 | 12 | 360 | 2 |
| GodRays | 0 | 0 | 0.35 | 0.35 | 1 | 0.9 | 0.9 | 18 | 360 | 2.5 |
| Laser | 0 | 0 | 3.5 | 0.2 | 1 | 0.5 | 0.4 | 12 | 360 | 2 |
| Bubbles | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| PulseWave | 0 | 0 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| Aurora | 0 | 0 | 0.4 | 0.4 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| Shimmer | 0 | 0 | 0 | 0 | 1 | 0.5 | 0.3 | 12 | 360 | 2 |
| AuroraBorealis | 0 | 0 | 0.6 | 0.35 | 1 | 0.6 | 0.3 | 12 | 360 | 2 |
| Fireworks | 6 | 0.5 | 0 | 0 | 1 | 0.6 | 0.5 | 12 | 360 | 2 |
| Preset | `trailSeconds` | `deathBurstMin` | `deathBurstMax` | `deathBurstSpeed` |
|---|---|---|---|---|
| Sparkle | 0 | 0 | 0 | 0 |
| Fire | 0 | 0 | 0 | 0 |
| Rain | 0 | 0 | 0 | 0 |
| Snow | 0 | 0 | 0 | 0 |
| Confetti | 0 | 0 | 0 | 0 |
| MagicDust | 0 | 0 | 0 | 0 |
| Explosion | 0 | 0 | 0 | 0 |
| LightRays | 0 | 0 | 0 | 0 |
| Beams | 0 | 0 | 0 | 0 |
| Glow | 0 | 0 | 0 | 0 |
| Stars | 0 | 0 | 0 | 0 |
| LightBeams | 0 | 0 | 0 | 0 |
| GodRays | 0 | 0 | 0 | 0 |
| Laser | 0 | 0 | 0 | 0 |
| Bubbles | 0 | 0 | 0 | 0 |
| PulseWave | 0 | 0 | 0 | 0 |
| Aurora | 0 | 0 | 0 | 0 |
| Shimmer | 0 | 0 | 0 | 0 |
| AuroraBorealis | 0 | 0 | 0 | 0 |
| Fireworks | 0.15 | 40 | 70 | 170 |
| Preset | `emitShape` | `directionMode` | `spriteCols` | `spriteRows` | `spriteFps` |
|---|---|---|---|---|---|
| Sparkle | 0 | 0 | 1 | 1 | 0 |
| Fire | 0 | 0 | 1 | 1 | 0 |
| Rain | 0 | 0 | 1 | 1 | 0 |
| Snow | 0 | 0 | 1 | 1 | 0 |
| Confetti | 0 | 0 | 1 | 1 | 0 |
| MagicDust | 0 | 0 | 1 | 1 | 0 |
| Explosion | 0 | 0 | 1 | 1 | 0 |
| LightRays | 0 | 0 | 1 | 1 | 0 |
| Beams | 0 | 0 | 1 | 1 | 0 |
| Glow | 0 | 0 | 1 | 1 | 0 |
| Stars | 0 | 0 | 1 | 1 | 0 |
| LightBeams | 0 | 0 | 1 | 1 | 0 |
| GodRays | 0 | 0 | 1 | 1 | 0 |
| Laser | 0 | 0 | 1 | 1 | 0 |
| Bubbles | 0 | 0 | 1 | 1 | 0 |
| PulseWave | 0 | 0 | 1 | 1 | 0 |
| Aurora | 0 | 0 | 1 | 1 | 0 |
| Shimmer | 0 | 0 | 1 | 1 | 0 |
| AuroraBorealis | 0 | 0 | 1 | 1 | 0 |
| Fireworks | 0 | 0 | 1 | 1 | 0 |
| Preset | `cursorMode` | `cursorRadius` | `clickBurst` |
|---|---|---|---|
| Sparkle | 0 | 120 | 0 |
| Fire | 0 | 120 | 0 |
| Rain | 0 | 120 | 0 |
| Snow | 0 | 120 | 0 |
| Confetti | 0 | 120 | 0 |
| MagicDust | 0 | 120 | 0 |
| Explosion | 0 | 120 | 0 |
| LightRays | 0 | 120 | 0 |
| Beams | 0 | 120 | 0 |
| Glow | 0 | 120 | 0 |
| Stars | 0 | 120 | 0 |
| LightBeams | 0 | 120 | 0 |
| GodRays | 0 | 120 | 0 |
| Laser | 0 | 120 | 0 |
| Bubbles | 0 | 120 | 0 |
| PulseWave | 0 | 120 | 0 |
| Aurora | 0 | 120 | 0 |
| Shimmer | 0 | 120 | 0 |
| AuroraBorealis | 0 | 120 | 0 |
| Fireworks | 0 | 120 | 0 |
)TABLES";

struct Expected {
  std::string preset;
  std::string field;
  double value;
};

std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out;
  std::vector<std::string> parts = splitText(line, '|');
  for (size_t i = 1; i + 1 < parts.size(); ++i) out.push_back(trimSpaces(parts[i]));
  return out;
}

std::string fieldName(std::string header) {
  std::string name;
  for (char ch : header)
    if (ch != '`') name += ch;
  return name;
}

std::vector<Expected> parseTables() {
  std::vector<Expected> rows;
  std::istringstream in(kPresetTables);
  std::string line;
  std::vector<std::string> header;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> c = cells(line);
    if (c.empty()) continue;
    if (c[0] == "Preset") { header = c; continue; }
    if (c[0].rfind("---", 0) == 0) continue;
    for (size_t i = 1; i < c.size() && i < header.size(); ++i) {
      if (c[i] == "\u2013") continue;
      std::string h = fieldName(header[i]);
      size_t rgb = h.find(" (R,G,B)");
      if (rgb != std::string::npos) {
        std::vector<std::string> v = splitText(c[i], ',');
        const char* suffix[3] = {"R", "G", "B"};
        for (int k = 0; k < 3; ++k)
          rows.push_back({c[0], h.substr(0, rgb) + suffix[k], std::stod(v.at(k))});
      } else {
        rows.push_back({c[0], h, std::stod(c[i])});
      }
    }
  }
  return rows;
}

EmitterConfig filledWith(uint8_t byte) {
  EmitterConfig c;
  std::memset(&c, byte, sizeof c);
  return c;
}

}  // namespace

TEST(Presets, EveryTableValueMatchesAndEveryFieldIsSet) {
  std::vector<Expected> rows = parseTables();
  ASSERT_GT(rows.size(), 20u * 50u);
  std::map<std::string, std::set<std::string>> seen;
  for (const Expected& e : rows) {
    SCOPED_TRACE(e.preset + "." + e.field);
    int index = configFieldIndex(e.field.c_str());
    ASSERT_GE(index, 0) << "no record field named " << e.field;
    // Garbage in the record beforehand must not survive a load.
    EmitterConfig c = filledWith(0xA5);
    LoadPreset(e.preset, c);
    EXPECT_EQ(configFieldValue(c, index), static_cast<double>(static_cast<float>(e.value)));
    seen[e.preset].insert(e.field);
  }
  ASSERT_EQ(seen.size(), 20u);
  // Every field but the middle colour channels is determined by every preset.
  for (auto& entry : seen) {
    for (int i = 0; i < ConfigFieldCount; ++i) {
      std::string name = ConfigFields[i].name;
      if (name == "colorMidR" || name == "colorMidG" || name == "colorMidB") continue;
      EXPECT_TRUE(entry.second.count(name)) << entry.first << " lacks " << name;
    }
  }
}

TEST(Presets, FieldTableDescribesTheRecordInOrder) {
  EXPECT_EQ(ConfigFieldCount * 4, static_cast<int>(sizeof(EmitterConfig)));
  for (int i = 0; i < ConfigFieldCount; ++i) EXPECT_EQ(ConfigFields[i].offset, size_t(i) * 4) << i;
  EXPECT_STREQ(ConfigFields[0].name, "spawnRate");
  EXPECT_STREQ(ConfigFields[56].name, "rayWidth");
  EXPECT_EQ(ConfigFields[configFieldIndex("burstCount")].type, FieldInt);
  EXPECT_EQ(configFieldIndex("nope"), -1);
}

TEST(Presets, MiddleColourIsLeftAloneExceptByFire) {
  EmitterConfig c = filledWith(0);
  c.colorMidR = 1; c.colorMidG = 2; c.colorMidB = 3;
  LoadPreset("Snow", c);
  EXPECT_EQ(c.colorMidR, 1); EXPECT_EQ(c.colorMidG, 2); EXPECT_EQ(c.colorMidB, 3);
  EXPECT_EQ(c.hasColorMid, 0);
  LoadPreset("fire", c);
  EXPECT_EQ(c.colorMidR, 255); EXPECT_EQ(c.colorMidG, 110); EXPECT_EQ(c.colorMidB, 25);
}

TEST(Presets, NameLookup) {
  struct Case { const char* name; int id; };
  const Case cases[] = {
      {"AURORABOREALIS", PresetAuroraBorealis}, {" auroraborealis ", PresetAuroraBorealis},
      {"aurora", PresetAurora}, {"  FIRE ", PresetFire}, {"Fire2", PresetSparkle},
      {"Fire\t", PresetSparkle}, {"\tFire", PresetSparkle}, {"", PresetSparkle},
      {"Sparks", PresetSparkle}, {"pulsewave", PresetPulseWave}, {"Magic Dust", PresetSparkle},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(PresetIdFromName(k.name), k.id);
    EmitterConfig loaded = filledWith(0), direct = filledWith(0);
    LoadPreset(k.name, loaded);
    LoadPreset(PresetDisplayName(k.id), direct);
    EXPECT_EQ(std::memcmp(&loaded, &direct, sizeof loaded), 0);
  }
  EXPECT_STREQ(PresetDisplayName(0), "Sparkle");
  EXPECT_STREQ(PresetDisplayName(18), "AuroraBorealis");
  EXPECT_STREQ(PresetDisplayName(11), "LightBeams");
  EXPECT_STREQ(PresetDisplayName(20), "Sparkle");
  EXPECT_STREQ(PresetDisplayName(-1), "Sparkle");
  for (int id = 0; id < PresetCount; ++id) EXPECT_EQ(PresetIdFromName(PresetDisplayName(id)), id);
}

TEST(Intensity, ScalesRateAndRoundsBurst) {
  struct Case { const char* preset; int intensity; float rate; int burst; };
  const Case cases[] = {
      {"Sparkle", 50, 40, 0},     {"Sparkle", 100, 80, 0},     {"Sparkle", 0, 0, 0},
      {"Sparkle", 150, 80, 0},    {"Sparkle", -5, 0, 0},       {"Sparkle", 25, 20, 0},
      {"Explosion", 50, 0, 200},  {"Explosion", 100, 0, 400},  {"Explosion", 25, 0, 100},
      {"Explosion", 1, 0, 4},     {"Explosion", 0, 0, 0},      {"PulseWave", 25, 0, 1},
      {"PulseWave", 24, 0, 0},    {"PulseWave", 75, 0, 2},     {"Fire", 33, 60.0f * (33.0f / 50.0f), 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.preset) + " " + std::to_string(k.intensity));
    EmitterConfig c = filledWith(0);
    LoadPreset(k.preset, c);
    ApplyIntensity(c, k.intensity);
    EXPECT_FLOAT_EQ(c.spawnRate, k.rate);
    EXPECT_EQ(c.burstCount, k.burst);
  }
}

TEST(Colors, ParseColorText) {
  struct Case { const char* text; int ok; int r, g, b; };
  const Case cases[] = {
      {"255, 0 ,0", 1, 255, 0, 0},   {"300,-4,abc", 1, 255, 0, 0}, {"255,0", 0, 0, 0, 0},
      {"255,,0", 0, 0, 0, 0},        {"", 0, 0, 0, 0},             {"1,2,3,4", 1, 1, 2, 3},
      {" 10 , 20 , 30 ", 1, 10, 20, 30}, {"$FF,%101,7x", 1, 255, 5, 7}, {"1,2, ", 0, 0, 0, 0},
      {"1,2,\t", 1, 1, 2, 0},        {",,,", 0, 0, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    int32_t r = -1, g = -1, b = -1;
    EXPECT_EQ(ParseColorText(k.text, r, g, b), k.ok);
    if (k.ok) {
      EXPECT_EQ(r, k.r); EXPECT_EQ(g, k.g); EXPECT_EQ(b, k.b);
    } else {
      EXPECT_EQ(r, -1);
    }
  }
}

TEST(Colors, PlaySettingsOverrideBothEndsAndKeepMiddle) {
  EmitterConfig c = filledWith(0);
  LoadPreset("Fire", c);
  ApplyPlaySettings(c, 100, "255, 0 ,0");
  EXPECT_FLOAT_EQ(c.spawnRate, 120);
  EXPECT_EQ(c.colorStartR, 255); EXPECT_EQ(c.colorStartG, 0); EXPECT_EQ(c.colorStartB, 0);
  EXPECT_EQ(c.colorEndR, 255); EXPECT_EQ(c.colorEndG, 0); EXPECT_EQ(c.colorEndB, 0);
  EXPECT_EQ(c.colorOverride, 1);
  EXPECT_EQ(c.hasColorMid, 1);  // Fire's middle colour stays in the ramp
  EXPECT_FLOAT_EQ(c.alphaStart, 0.9f);

  EmitterConfig d = filledWith(0);
  LoadPreset("Confetti", d);
  EmitterConfig before = d;
  ApplyPlaySettings(d, 50, "255,0");
  EXPECT_EQ(std::memcmp(&before, &d, sizeof d), 0);
  ApplyPlaySettings(d, 50, "");
  EXPECT_EQ(d.colorOverride, 0);
}
