// Building an effect: from what an action receives (preset text, intensity text, and a colour
// for Play or an options text for PlayAdvanced) to an emitter's configuration, z-order and
// sprite. The one path that Play, PlayAdvanced, the editors' preview, lumivex-render and the tests
// all take, so that what Play means is written once. Owns the sprite loader hook.
#pragma once

#include <cstdint>
#include <string>

struct Emitter;
struct Sprite;
struct EmitMask;

constexpr int32_t DefaultIntensity = 50;     // percent, for an empty intensity text
constexpr float MaxPrewarmSeconds = 10;      // `prewarm` is clamped to 0 .. this
constexpr int32_t MaxFadeOutMs = 5000;       // `fadeOut` is clamped to 0 .. this
extern const char* const DefaultPresetName;  // "Sparkle", for an empty preset text

// The intensity an action reads: DefaultIntensity for the empty text, else the leading integer
// clamped to 0-100.
int32_t intensityFromText(const std::string& text);
// The preset text an action plays: DefaultPresetName for the empty text, else the text itself.
std::string presetTextOrDefault(const std::string& text);

enum EffectAction { EffectPlay, EffectAdvanced };

// Fills the emitter from the preset (presetText, presetName, config and the preset's own motion;
// the empty text plays the default preset) with inFront 1, then applies
// Play's settings (intensity and override colour) or PlayAdvanced's (intensity, then the options
// text). A sprite the emitter holds that the options do not name is released. Particles and
// handles are left alone.
void buildEffect(Emitter& emitter, EffectAction action, const std::string& preset, int32_t intensity,
                 const std::string& colorOrOptions);

// Applies every key of an options text, in the table order, to the emitter's config, inFront, its
// sprite (through the sprite loader, then cut into the frames of spriteFrames) and its emit mask
// (through the mask loader; a mask that fails leaves emitShape area), then the keys of the emitter's start and stop:
// `prewarm` (seconds, 0-10), `fadeOut` (milliseconds, 0-5000), `onEnd` (the line of host
// script, trimmed) and `motion` (`always`: motionAlways). Like every key, each counts at
// its first occurrence; an absent key leaves 0.
void ApplyOptions(Emitter& emitter, const std::string& options);

// The loader the `sprite` key calls: LoadSprite (config/sprite.h) by default, which loads through
// the installed sprite codec. nullptr makes the key do nothing. The loader returns 1 when the
// emitter's sprite record holds a picture for the path afterwards.
typedef int (*SpriteLoaderFn)(Sprite& sprite, const std::string& path);
void setSpriteLoader(SpriteLoaderFn loader);
// The loader of `emitShape=mask:PATH`: LoadEmitMask by default; nullptr makes every mask fail
// (the effect is born in its area). 1 when the mask record holds the mask afterwards.
typedef int (*MaskLoaderFn)(EmitMask& mask, const std::string& path);
void setMaskLoader(MaskLoaderFn loader);

// Releases the pictures an effect holds: its sprite (with its frames) and its emit mask.
void releaseEffectPictures(Emitter& emitter);
