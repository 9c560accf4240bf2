// The functions the playground page calls in the WebAssembly module (C names, called through
// emscripten's ccall/cwrap): a description of the Play and PlayAdvanced parameters built from the
// code's own tables, the options reader and composer of the plug-in, and the effect of
// playground_run.h with its frame and frame hash. Texts returned stay valid until the next call
// that returns a text. State: that text.
#include <emscripten/emscripten.h>

#include <string>

#include "config/emitter_config.h"
#include "config/option_keys.h"
#include "config/options.h"
#include "editor/editor_state.h"
#include "frame_hash.h"
#include "playground_run.h"
#include "runtime/effect.h"

namespace {

std::string gText;  // the text returned last

void appendJsonString(std::string& out, const char* text) {
  out += '"';
  for (const char* p = text; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      static const char hex[] = "0123456789abcdef";
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

// The editors' fixed choices for a key, as [label, value] pairs: what the PlayAdvanced editor
// offers and writes. Keys without a list have none.
struct KeyChoices {
  const char* key;
  const ChoiceEntry* entries;
  int count;
  int first;  // entries before this one ("Use Preset", the default edge or order) write nothing
};

const KeyChoices kKeyChoices[] = {
    {"emitArea", AreaChoices, AreaChoiceCount, 1},
    {"direction", DirectionChoices, DirectionChoiceCount, 1},
    {"mode", ModeChoices, ModeChoiceCount, 1},
    {"zOrder", ZOrderChoices, ZOrderChoiceCount, 1},
    {"taperEdge", TaperEdgeChoices, TaperEdgeCount, 1},
    {"shape", ShapeChoices, ShapeChoiceCount, 1},
    {"emitShape", EmitShapeChoices, EmitShapeMask, 1},  // a picture mask needs a file: not offered
};

void appendChoices(std::string& out, const char* key) {
  out += "[";
  for (const KeyChoices& k : kKeyChoices) {
    if (std::string(k.key) != key) continue;
    for (int i = k.first; i < k.count; ++i) {
      std::string value = k.entries[i].word;
      // A direction entry is an angle, written with the editor's spread (Omnidirectional is the
      // whole text already).
      if (k.entries == DirectionChoices && value.find(',') == std::string::npos)
        value += "," + std::to_string(SpreadDefault);
      if (i > k.first) out += ",";
      out += "[";
      appendJsonString(out, k.entries[i].label);
      out += ",";
      appendJsonString(out, value.c_str());
      out += "]";
    }
  }
  out += "]";
}

}  // namespace

extern "C" {

// {"presets": [names], "defaultPreset", "defaultIntensity", "maxSide", "keys": [{key,
// valueForm, effect, example, choices}]}: the presets in PresetId order and the options keys in
// the order ApplyOptions applies them.
EMSCRIPTEN_KEEPALIVE const char* lv_describe() {
  gText = "{\"presets\":[";
  for (int i = 0; i < PresetCount; ++i) {
    if (i) gText += ",";
    appendJsonString(gText, PresetDisplayName(i));
  }
  gText += "],\"defaultPreset\":";
  appendJsonString(gText, DefaultPresetName);
  gText += ",\"defaultIntensity\":" + std::to_string(DefaultIntensity);
  gText += ",\"maxSide\":" + std::to_string(PlaygroundMaxSide);
  gText += ",\"keys\":[";
  for (int i = 0; i < OptionKeyCount; ++i) {
    const OptionKeyInfo& k = OptionKeys[i];
    if (i) gText += ",";
    gText += "{\"key\":";
    appendJsonString(gText, k.key);
    gText += ",\"valueForm\":";
    appendJsonString(gText, k.valueForm);
    gText += ",\"effect\":";
    appendJsonString(gText, k.effect);
    gText += ",\"example\":";
    appendJsonString(gText, k.example);
    gText += ",\"choices\":";
    appendChoices(gText, k.key);
    gText += "}";
  }
  gText += "]}";
  return gText.c_str();
}

// The plug-in's reader: the trimmed value of the key's first occurrence, or "".
EMSCRIPTEN_KEEPALIVE const char* lv_get_option(const char* options, const char* key) {
  gText = getOption(options, key);
  return gText.c_str();
}

// The plug-in's composer: options with key=value appended (unchanged for an empty value).
EMSCRIPTEN_KEEPALIVE const char* lv_append_option(const char* options, const char* key, const char* value) {
  gText = appendOption(options, key, value);
  return gText.c_str();
}

// Starts an effect: advanced 1 builds it as PlayAdvanced with colorOrOptions as the options
// text, 0 as Play with it as the override colour. The seed comes as a double (a JavaScript
// number); whole numbers up to 2^53 are exact. 1, or 0 when there is no memory for it.
EMSCRIPTEN_KEEPALIVE int lv_start(const char* preset, const char* intensity, const char* colorOrOptions, int advanced,
                                  int width, int height, double fps, double seed) {
  PlaygroundArgs a;
  a.preset = preset;
  a.intensityText = intensity;
  a.colorOrOptions = colorOrOptions;
  a.advanced = advanced;
  a.width = width;
  a.height = height;
  a.fps = fps;
  a.seed = seed > 0 ? static_cast<uint64_t>(seed) : 0;
  return playgroundStart(a);
}

EMSCRIPTEN_KEEPALIVE void lv_step() { playgroundStep(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* lv_frame_rgba() { return playgroundFrameRgba(); }
EMSCRIPTEN_KEEPALIVE int lv_frame_index() { return playgroundFrameIndex(); }
EMSCRIPTEN_KEEPALIVE int lv_width() { return playgroundWidth(); }
EMSCRIPTEN_KEEPALIVE int lv_height() { return playgroundHeight(); }
EMSCRIPTEN_KEEPALIVE int lv_live_particles() { return playgroundLiveParticles(); }
// frame_hash.h of the frame stepped last.
EMSCRIPTEN_KEEPALIVE unsigned lv_frame_hash() {
  return frameHash(playgroundFrameRgba(), static_cast<size_t>(playgroundWidth()) * playgroundHeight() * 4);
}

}  // extern "C"
