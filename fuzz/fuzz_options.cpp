// Fuzzes the options text: getOption on every key and ApplyOptions on every preset must not
// crash, and the clamped fields must stay in their ranges whatever the text says.
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "config/options.h"
#include "fuzz/fuzz_check.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"

static const char* const kKeys[] = {
    "colorStart", "colorEnd", "colorMid", "emitArea", "direction", "speed", "size", "life",
    "mode", "zOrder", "opacity", "density", "twinkle", "feather", "taper", "taperEdge",
    "orientation", "shape", "sprite", "",
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<Emitter> e(new Emitter());
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* key : kKeys) {
    const std::string v = getOption(text, key);
    FUZZ_CHECK(v.empty() || (v.front() != ' ' && v.back() != ' '));
  }
  const int preset = size > 0 ? data[0] % PresetCount : 0;
  LoadPreset(PresetDisplayName(preset), e->system.config);
  ApplyIntensity(e->system.config, size > 1 ? data[1] : 50);
  ApplyOptions(*e, text);
  const EmitterConfig& c = e->system.config;
  FUZZ_CHECK(c.emitX >= 0 && c.emitX <= 1 && c.emitY >= 0 && c.emitY <= 1);
  FUZZ_CHECK(c.emitW >= 0 && c.emitW <= 2 && c.emitH >= 0 && c.emitH <= 2);
  FUZZ_CHECK(c.spreadAngle >= 0 && c.spreadAngle <= 360);
  FUZZ_CHECK(c.feather >= 0 && c.feather <= 1 && c.taper >= 0 && c.taper <= 1);
  FUZZ_CHECK(c.taperEdge >= 0 && c.taperEdge <= 3);
  FUZZ_CHECK(c.shape >= 0 && c.shape < ShapeCount);
  FUZZ_CHECK(c.burstCount >= 0);
  FUZZ_CHECK(std::isfinite(c.spawnRate) && std::isfinite(c.speedMax) && std::isfinite(c.lifeMax));
  FUZZ_CHECK(e->inFront == 0 || e->inFront == 1);
  for (int32_t v : {c.colorStartR, c.colorEndG, c.colorMidB}) FUZZ_CHECK(v >= 0 && v <= 255);
  return 0;
}
