// lumivex-render: a native command for people who build effects. `config` prints the
// configuration an action would build from a preset, intensity and colour or options text.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "config/emitter_config.h"
#include "config/options.h"
#include "runtime/emitter.h"

namespace {

const char* const kUsage =
    "usage: lumivex-render config PRESET [--intensity N] [--color R,G,B | --options TEXT]\n"
    "  config   print the 57 configuration fields and inFront that Play (--color) or\n"
    "           PlayAdvanced (--options) would build; --intensity defaults to 50\n";

// What the command line asks for, as an action would receive it.
struct EffectArgs {
  std::string preset;        // preset name as given
  std::string intensityText; // intensity as given; empty means 50
  std::string colorText;     // Play's override colour
  std::string optionsText;   // PlayAdvanced's options text
  bool hasColor = false;
  bool hasOptions = false;
};

int usageError(const std::string& problem) {
  std::fprintf(stderr, "lumivex-render: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

// Reads PRESET and the effect flags from args; returns an error text, empty on success.
std::string parseEffectArgs(const std::vector<std::string>& args, EffectArgs& out) {
  bool havePreset = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      std::string* target = nullptr;
      if (a == "--intensity") target = &out.intensityText;
      else if (a == "--color") target = &out.colorText, out.hasColor = true;
      else if (a == "--options") target = &out.optionsText, out.hasOptions = true;
      else return "unknown flag '" + a + "'";
      if (i + 1 >= args.size()) return "missing value for " + a;
      *target = args[++i];
    } else if (!havePreset) {
      out.preset = a;
      havePreset = true;
    } else {
      return "unexpected argument '" + a + "'";
    }
  }
  if (!havePreset) return "missing PRESET";
  if (out.hasColor && out.hasOptions) return "--color and --options cannot be combined";
  return std::string();
}

// Builds the emitter's configuration the way Play or PlayAdvanced does.
void buildEffect(const EffectArgs& args, Emitter& emitter) {
  int32_t intensity = 50;
  if (!args.intensityText.empty()) intensity = clampInt(readLeadingInt(args.intensityText), 0, 100);
  emitter.presetText = args.preset;
  emitter.presetName = toLowerText(args.preset);
  emitter.inFront = 1;
  LoadPreset(args.preset, emitter.config);
  if (args.hasOptions) {
    ApplyIntensity(emitter.config, intensity);
    ApplyOptions(emitter, args.optionsText);
  } else {
    ApplyPlaySettings(emitter.config, intensity, args.colorText);
  }
}

void printConfig(const Emitter& emitter) {
  for (int i = 0; i < ConfigFieldCount; ++i) {
    const double v = configFieldValue(emitter.config, i);
    if (ConfigFields[i].type == FieldFloat)
      std::printf("%s=%.9g\n", ConfigFields[i].name, v);
    else
      std::printf("%s=%d\n", ConfigFields[i].name, static_cast<int>(v));
  }
  std::printf("inFront=%d\n", emitter.inFront);
}

int runConfig(const std::vector<std::string>& args) {
  EffectArgs effect;
  std::string problem = parseEffectArgs(args, effect);
  if (!problem.empty()) return usageError(problem);
  std::unique_ptr<Emitter> emitter(new Emitter());
  buildEffect(effect, *emitter);
  printConfig(*emitter);
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usageError("missing subcommand");
  const std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "config") return runConfig(args);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return usageError("unknown subcommand '" + command + "'");
}
