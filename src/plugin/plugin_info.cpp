// Identification texts, the action table and the About text of the plug-in.
#include "plugin/plugin_info.h"

const wchar_t* const PluginTitle = L"Lumivex";
// The author line of nbInitPlugIn and of the About box; one place to change it.
const wchar_t* const PluginAuthor = L"Lumivex developers";
const wchar_t* const PluginDescription =
    L"Real-time particle engine. 20 presets, full configuration, live preview.";

const ActionInfo ActionTable[] = {
    {1, L"Lumivex_Play",
     L"Play a particle effect on a Rectangle. Pick preset, intensity (0-100), and optional R,G,B "
     L"color.",
     4},
    {2, L"Lumivex_Stop", L"Stop a particle effect. Leave Rectangle empty to stop all emitters.", 1},
    {3, L"Lumivex_PlayAdvanced",
     L"Play with full control. 4th param is an options string: key=value;key=value;...", 4},
    {4, L"Lumivex_StopAll",
     L"Hard-stop every active particle emitter. Kills timers, destroys overlays, pumps the "
     L"message queue. Use in cleanup/exit handlers.",
     0},
};
static_assert(sizeof ActionTable / sizeof ActionTable[0] == ActionCount, "one row per action");

std::wstring aboutText() {
  static const wchar_t* const lines[] = {
      L"Lumivex v2.0 (Simplified API)",
      L"Real-time procedural particle engine for VisualNEO Win.",
      L"",
      L"Four actions:",
      L"  Play          - rect, preset, intensity, color",
      L"  PlayAdvanced  - full control via options string",
      L"  Stop          - rect ('' = stop all)",
      L"  StopAll       - hard-stop every emitter (cleanup)",
      L"",
      L"20 presets: Sparkle, Fire, Rain, Snow, Confetti, MagicDust,",
      L"Explosion, LightRays, Beams, Glow, Stars, LightBeams, GodRays,",
      L"Laser, Bubbles, PulseWave, Aurora, Shimmer, AuroraBorealis,",
      L"Fireworks.",
      L"",
      L"PlayAdvanced supports custom sprite images (PNG, JPG, BMP, GIF)",
      L"for clouds, smoke, debris, and any custom particle texture.",
      L"",
  };
  std::wstring text;
  for (const wchar_t* line : lines) {
    text += line;
    text += L"\r\n";
  }
  text += L"Author: ";
  text += PluginAuthor;
  return text;
}
