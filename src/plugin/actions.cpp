// The action handlers: reading the host's parameters with their defaults, then preparing,
// configuring and starting an emitter (Play, PlayAdvanced) or stopping (Stop, StopAll). Failures
// are reported by the life cycle through [Lumivex.LastError]. Owns playEnabled.
#include "plugin/actions.h"

#include "common/text.h"
#include "plugin/host_text.h"
#include "runtime/effect.h"
#include "runtime/runtime_win32.h"

volatile long playEnabled = 1;

static int32_t play(char** params, EffectAction action) {
  if (!playEnabled) return 0;
  const std::wstring rect = readParam(params, 0);
  const std::string preset = wideToUtf8(readParam(params, 1));
  const int32_t intensity = intensityFromText(wideToUtf8(readParam(params, 2)));
  const std::string fourth = wideToUtf8(readParam(params, 3));  // colour or options text
  int32_t width = 0, height = 0;
  Emitter* e = prepareEmitter(rect, width, height);
  if (!e) return 0;
  buildEffect(*e, action, preset, intensity, fourth);
  return startEmitter(e, width, height);
}

static int32_t stop(char** params) {
  const std::string key = rectKey(wideToUtf8(readParam(params, 0)));
  if (key.empty())
    stopAllEmitters();
  else
    stopOrFadeEmitter(key);
  return 1;
}

int32_t runAction(int32_t action, char** params) {
  switch (action) {
    case 1: return play(params, EffectPlay);
    case 2: return stop(params);
    case 3: return play(params, EffectAdvanced);
    case 4: stopAllEmitters(); return 1;
    default: return 0;
  }
}
