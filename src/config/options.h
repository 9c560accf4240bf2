// The PlayAdvanced options text ("key=value;key=value;..."): reading and composing it, the keys
// that set the configuration and the z-order in their fixed order, shape and taper-edge words. ApplyOptions (runtime/effect.h) adds the last key, the sprite, to an emitter.
#pragma once

#include <string>

#include "config/emitter_config.h"

// Trimmed value of the key's first occurrence (key matched trimmed and case-insensitively),
// or the empty text.
std::string getOption(const std::string& options, const std::string& key);
// options + ";key=value" (or "key=value" when options is empty); unchanged when value is empty.
std::string appendOption(const std::string& options, const std::string& key, const std::string& value);

// Applies every key but the last (`sprite`), in the table order, to config and inFront (1: in
// front; 0 for `zOrder=behind`).
void ApplyConfigOptions(EmitterConfig& config, int32_t& inFront, const std::string& options);
// "none", "off" or "0" switch the middle colour off; "R,G,B" sets it (and colorOverride).
void SetMidColor(EmitterConfig& config, const std::string& text);
// ShapeId of a shape name (trimmed, any case; "rect" is a rectangle), or -1 for no shape.
int ShapeIdFromName(const std::string& name);

constexpr int TaperEdgeCount = 4;  // 0 top, 1 bottom, 2 left, 3 right
// The edge a `taperEdge` text names ("top", "bottom", "left", "right" or the edge's digit;
// trimmed, any case), or -1 for anything else.
int TaperEdgeFromText(const std::string& text);

// The EmitShapeId an `emitShape` text names ("area", "edge", "ring", or "mask:PATH" with a
// path; trimmed, any case), or -1 for anything else; and the PATH of a "mask:PATH" text (empty
// for any other).
int EmitShapeFromText(const std::string& text);
std::string EmitMaskPath(const std::string& text);
// The CursorModeId a `cursor` text names ("none", "follow", "repel[:RADIUS]",
// "attract[:RADIUS]"; trimmed, any case), or -1 for anything else.
int CursorModeFromText(const std::string& text);
