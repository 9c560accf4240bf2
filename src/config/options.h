// The PlayAdvanced options text ("key=value;key=value;..."): reading and composing it, the 19
// keys applied to an emitter in their fixed order, shape names, and the editor's fixed choices.
#pragma once

#include <string>

#include "config/emitter_config.h"

struct Emitter;

// Trimmed value of the key's first occurrence (key matched trimmed and case-insensitively),
// or the empty text.
std::string getOption(const std::string& options, const std::string& key);
// options + ";key=value" (or "key=value" when options is empty); unchanged when value is empty.
std::string appendOption(const std::string& options, const std::string& key, const std::string& value);

// Applies every key, in the table order, to the emitter's config, inFront and sprite.
void ApplyOptions(Emitter& emitter, const std::string& options);
// "none", "off" or "0" switch the middle colour off; "R,G,B" sets it (and colorOverride).
void SetMidColor(EmitterConfig& config, const std::string& text);
// ShapeId of a shape name (trimmed, any case; "rect" is a rectangle), or -1 for no shape.
int ShapeIdFromName(const std::string& name);

// The loader the `sprite` key calls: LoadSprite (config/sprite.h) by default, which loads through
// the installed sprite codec. nullptr makes the key do nothing. The loader returns 1 when the
// emitter holds a sprite for the path afterwards.
typedef int (*SpriteLoaderFn)(Emitter& emitter, const std::string& path);
void setSpriteLoader(SpriteLoaderFn loader);

// Editor vocabulary: list positions <-> the texts the editor writes into an options text.
constexpr int AreaChoiceCustom = 11;
constexpr int ModeChoiceCustom = 7;
std::string AreaChoiceText(int index);
int AreaChoiceFromText(const std::string& text);
std::string ModeChoiceText(int index);
int ModeChoiceFromText(const std::string& text);
float DirectionChoiceAngle(int index);
std::string ShapeChoiceName(int position);
int ShapeChoiceFromName(const std::string& name);
