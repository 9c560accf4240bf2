// The action handlers: reading the host's parameters with their defaults, then preparing,
// configuring and starting an emitter (Play, PlayAdvanced) or stopping (Stop, StopAll). Failures
// are reported by the life cycle through [Lumivex.LastError]. Owns playEnabled.
#include "plugin/actions.h"

#include "common/text.h"
#include "config/emitter_config.h"
#include "config/options.h"
#include "plugin/host_text.h"
#include "runtime/runtime_win32.h"

volatile long playEnabled = 1;

constexpr int32_t DefaultIntensity = 50;

struct PlayParams {
  std::wstring rect;       // as the host gave it
  std::wstring preset;     // "Sparkle" when empty
  int32_t intensity;       // 0..100
  std::string fourth;      // colour (Play) or options text (PlayAdvanced), UTF-8
};

static PlayParams readPlayParams(char** params) {
  PlayParams p;
  p.rect = readParam(params, 0);
  p.preset = readParam(params, 1);
  if (p.preset.empty()) p.preset = L"Sparkle";
  const std::wstring intensityText = readParam(params, 2);
  p.intensity = DefaultIntensity;
  if (!intensityText.empty()) p.intensity = clampInt(readLeadingInt(wideToUtf8(intensityText)), 0, 100);
  p.fourth = wideToUtf8(readParam(params, 3));
  return p;
}

static int32_t play(char** params, int advanced) {
  if (!playEnabled) return 0;
  const PlayParams p = readPlayParams(params);
  int32_t width = 0, height = 0;
  Emitter* e = prepareEmitter(p.rect, p.preset, width, height);
  if (!e) return 0;
  if (advanced) {
    ApplyIntensity(e->config, p.intensity);
    ApplyOptions(*e, p.fourth);
  } else {
    ApplyPlaySettings(e->config, p.intensity, p.fourth);
  }
  return startEmitter(e, width, height);
}

static int32_t stop(char** params) {
  const std::string key = rectKey(wideToUtf8(readParam(params, 0)));
  if (key.empty())
    stopAllEmitters();
  else
    stopEmitter(key);
  return 1;
}

int32_t runAction(int32_t action, char** params) {
  switch (action) {
    case 1: return play(params, 0);
    case 2: return stop(params);
    case 3: return play(params, 1);
    case 4: stopAllEmitters(); return 1;
    default: return 0;
  }
}
