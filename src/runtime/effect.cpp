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
static MaskLoaderFn gMaskLoader = LoadEmitMask;

void setSpriteLoader(SpriteLoaderFn loader) { gSpriteLoader = loader; }
void setMaskLoader(MaskLoaderFn loader) { gMaskLoader = loader; }

void releaseEffectPictures(Emitter& e) {
  FreeSprite(e.sprite);
  FreeEmitMask(e.mask);
}

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
  // A sheet is cut once its picture is there; without a sheet the whole picture draws.
  const EmitterConfig& c = emitter.system.config;
  if (c.spriteCols * c.spriteRows > 1) CutSpriteFrames(emitter.sprite, c.spriteCols, c.spriteRows);
  else ClearSpriteFrames(emitter.sprite);
  // A mask that cannot be used leaves the area rule, as if the key were not there.
  if (emitter.system.config.emitShape == EmitShapeMask &&
      !(gMaskLoader && gMaskLoader(emitter.mask, EmitMaskPath(getOption(options, "emitShape")))))
    emitter.system.config.emitShape = EmitShapeArea;
  // NaN (no number can give it, but the clamp must not pass it on) reads as 0.
  const float prewarm = readLeadingFloat(getOption(options, "prewarm"));
  emitter.prewarmSeconds = prewarm > 0 ? clampFloat(prewarm, 0, MaxPrewarmSeconds) : 0;
  emitter.fadeOutMs = clampInt(readLeadingInt(getOption(options, "fadeOut")), 0, MaxFadeOutMs);
  emitter.onEndAction = getOption(options, "onEnd");
  emitter.motionAlways = normalizeName(getOption(options, "motion")) == "always" ? 1 : 0;
}

void buildEffect(Emitter& e, EffectAction action, const std::string& preset, int32_t intensity,
                 const std::string& colorOrOptions) {
  e.presetText = presetTextOrDefault(preset);
  e.presetName = toLowerText(e.presetText);
  setSystemPreset(e.system, e.presetName);
  e.inFront = 1;
  e.prewarmSeconds = 0;
  e.fadeOutMs = 0;
  e.onEndAction.clear();
  e.motionAlways = 0;
  LoadPreset(e.presetText, e.system.config);
  // The options only ever load a sprite or a mask: one they no longer name must not stay in use.
  if (action != EffectAdvanced || getOption(colorOrOptions, "sprite").empty()) FreeSprite(e.sprite);
  if (action != EffectAdvanced || EmitMaskPath(getOption(colorOrOptions, "emitShape")).empty()) FreeEmitMask(e.mask);
  e.system.mask = &e.mask;
  if (action == EffectAdvanced) {
    ApplyIntensity(e.system.config, intensity);
    ApplyOptions(e, colorOrOptions);
  } else {
    ApplyPlaySettings(e.system.config, intensity, colorOrOptions);
  }
  BoundConfigValues(e.system.config);
}
