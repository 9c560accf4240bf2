// The one path from an action's texts to an emitter's effect. State: the sprite loader hook,
// LoadSprite unless a test or tool replaces it.
#include "runtime/effect.h"

#include "common/text.h"
#include "config/emitter_config.h"
#include "config/options.h"
#include "config/sprite.h"
#include "runtime/emitter.h"

const char* const DefaultPresetName = "Sparkle";

// LoadSprite needs no start-up call: without a codec it loads nothing and says nothing.
static SpriteLoaderFn gSpriteLoader = LoadSprite;

void setSpriteLoader(SpriteLoaderFn loader) { gSpriteLoader = loader; }

int32_t intensityFromText(const std::string& text) {
  if (text.empty()) return DefaultIntensity;
  return clampInt(readLeadingInt(text), 0, 100);
}

std::string presetTextOrDefault(const std::string& text) {
  return text.empty() ? std::string(DefaultPresetName) : text;
}

void ApplyOptions(Emitter& emitter, const std::string& options) {
  ApplyConfigOptions(emitter.system.config, emitter.inFront, options);
  const std::string sprite = getOption(options, "sprite");
  if (!sprite.empty() && gSpriteLoader) gSpriteLoader(emitter.sprite, sprite);
  // NaN (no number can give it, but the clamp must not pass it on) reads as 0.
  const float prewarm = readLeadingFloat(getOption(options, "prewarm"));
  emitter.prewarmSeconds = prewarm > 0 ? clampFloat(prewarm, 0, MaxPrewarmSeconds) : 0;
  emitter.fadeOutMs = clampInt(readLeadingInt(getOption(options, "fadeOut")), 0, MaxFadeOutMs);
}

void buildEffect(Emitter& e, EffectAction action, const std::string& preset, int32_t intensity,
                 const std::string& colorOrOptions) {
  e.presetText = presetTextOrDefault(preset);
  e.presetName = toLowerText(e.presetText);
  setSystemPreset(e.system, e.presetName);
  e.inFront = 1;
  e.prewarmSeconds = 0;
  e.fadeOutMs = 0;
  LoadPreset(e.presetText, e.system.config);
  // The options only ever load a sprite: one they no longer name must not stay drawn.
  if (action != EffectAdvanced || getOption(colorOrOptions, "sprite").empty()) FreeSprite(e.sprite);
  if (action == EffectAdvanced) {
    ApplyIntensity(e.system.config, intensity);
    ApplyOptions(e, colorOrOptions);
  } else {
    ApplyPlaySettings(e.system.config, intensity, colorOrOptions);
  }
  BoundConfigValues(e.system.config);
}
