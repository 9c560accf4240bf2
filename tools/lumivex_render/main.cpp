// lumivex-render: a native command for people who build effects. `config` prints the
// configuration an action would build from a preset, intensity and colour or options text;
// `render` runs an effect as the shared timer would and writes its frames as PNG files, an
// animated GIF and a contact sheet; `gallery` does that for all 20 presets; `particles` prints
// the live particles after some frames; `guide` writes the illustrated author's guide (guide.cpp).
// No window, no Wine: the engine's frame buffer is a plain array here (render_run runs effects).
// Images are written by image_io.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "config/emitter_config.h"
#include "config/options.h"
#include "config/sprite.h"
#include "config/sprite_stb.h"
#include "engine/particle.h"
#include "guide.h"
#include "image_io.h"
#include "reader_replay.h"
#include "render_run.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"

namespace {

const char* const kUsage =
    "usage: lumivex-render config PRESET [EFFECT]\n"
    "       lumivex-render render PRESET [EFFECT] [RUN] [READER] [--cursor-marker]\n"
    "                             [--background B] --out DIR [--gif FILE] [--sheet FILE]\n"
    "       lumivex-render gallery --out DIR [RUN] [--background B]\n"
    "       lumivex-render particles PRESET [EFFECT] [RUN] [READER]\n"
    "       lumivex-render guide --out DIR [--editors DIR] [--playground DIR]\n"
    "  EFFECT: [--intensity N] [--color R,G,B | --options TEXT], as Play (--color) or\n"
    "          PlayAdvanced (--options) receive them; --intensity defaults to 50\n"
    "  RUN:    [--size WxH] (320x240; each side 1-4096) [--frames N] (60) [--fps F] (60)\n"
    "          [--seed S] (random; gallery: 1)\n"
    "  READER: [--cursor PATH] [--clicks CLICKS], the reader's mouse replayed frame by frame\n"
    "          for the options' cursor and click keys. PATH: F:X,Y or F:- items separated\n"
    "          by ';', frames F rising (0 is the first frame written): from frame F the\n"
    "          cursor is at X,Y (frame pixels, 0-width and 0-height), moving in a straight\n"
    "          line to the next item when that is a point too; '-' is a cursor elsewhere.\n"
    "          Before the first item the cursor is elsewhere, after the last it stays.\n"
    "          CLICKS: F:X,Y items, frames rising: a left click at X,Y at frame F's start.\n"
    "          Same seed and same replay, same frames, byte for byte\n"
    "  --cursor-marker  draws the replayed cursor (a white ring with a dark outline) and each\n"
    "          click (a ripple for 8 frames) into the written frames; without it the frames\n"
    "          show the effect alone\n"
    "  B:      black | checker | #RRGGBB\n"
    "  config     print the 69 configuration fields and inFront (and the effect's own\n"
    "             prewarm, fadeOut, onEnd and motion when set)\n"
    "  render     write DIR/frame_0000.png ... (straight alpha, or opaque over --background),\n"
    "             and with --gif / --sheet an animated GIF and a contact sheet over the\n"
    "             background (black by default); the sheet shows up to 16 frames, evenly\n"
    "             spaced up to the last, numbered. Once a burst has ended, frames repeat the\n"
    "             last drawn frame, as its overlay would\n"
    "  gallery    DIR/<Preset>.gif and DIR/<Preset>_sheet.png for every preset, and\n"
    "             DIR/overview.png: the fullest frame of each preset, named\n"
    "  particles  one line per live particle after N frames (N may be 0):\n"
    "             slot x y size rotation curR curG curB alpha life\n"
    "  guide      the author's guide: DIR/index.html with its pictures in DIR/img/; --editors\n"
    "             names a folder of editor screenshots (play.png, stop.png, advanced.png) to\n"
    "             copy in; also DIR/playground.html, the live playground, with its modules\n"
    "             from --playground DIR (default: build/wasm/bin of the source tree)\n";

enum Subcommand { CmdConfig = 1, CmdRender = 2, CmdGallery = 4, CmdParticles = 8 };

const char* subcommandName(int cmd) {
  switch (cmd) {
    case CmdConfig: return "config";
    case CmdRender: return "render";
    case CmdGallery: return "gallery";
    default: return "particles";
  }
}

// Every flag once, with the subcommands that take it.
struct FlagInfo {
  const char* name;
  int subcommands;         // Subcommand bits
  bool takesValue = true;  // false: a switch, on when given
};
const int kEffect = CmdConfig | CmdRender | CmdParticles;
const int kRun = CmdRender | CmdGallery | CmdParticles;
const int kReader = CmdRender | CmdParticles;  // the gallery plays every preset untouched
const FlagInfo kFlags[] = {
    {"--intensity", kEffect},   {"--color", kEffect},
    {"--options", kEffect},     {"--size", kRun},
    {"--frames", kRun},         {"--fps", kRun},
    {"--seed", kRun},           {"--background", CmdRender | CmdGallery},
    {"--out", CmdRender | CmdGallery}, {"--gif", CmdRender},
    {"--sheet", CmdRender},     {"--cursor", kReader},
    {"--clicks", kReader},      {"--cursor-marker", CmdRender, false},
};

constexpr int MaxSide = 4096;          // pixels; keeps a frame's buffers well within memory
constexpr int MaxFrames = 100000;
constexpr double MinFps = 0.1, MaxFps = 1000;
constexpr int OverviewColumns = 5;

int usageError(const std::string& problem) {
  std::fprintf(stderr, "lumivex-render: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

int fileError(const std::string& message) {
  std::fprintf(stderr, "lumivex-render: %s\n", message.c_str());
  return 1;
}

// Whole decimal number lo..hi, nothing else in the text.
bool parseWhole(const std::string& text, long lo, long hi, long& out) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  out = std::strtol(text.c_str(), nullptr, 10);
  return out >= lo && out <= hi;
}

bool parseSize(const std::string& text, int& w, int& h) {
  const size_t x = text.find('x');
  long a = 0, b = 0;
  if (x == std::string::npos || !parseWhole(text.substr(0, x), 1, MaxSide, a) ||
      !parseWhole(text.substr(x + 1), 1, MaxSide, b))
    return false;
  w = static_cast<int>(a);
  h = static_cast<int>(b);
  return true;
}

bool parseFps(const std::string& text, double& fps) {
  if (text.empty() || text[0] == ' ') return false;
  char* end = nullptr;
  errno = 0;
  fps = std::strtod(text.c_str(), &end);
  return errno == 0 && *end == 0 && std::isfinite(fps) && fps >= MinFps && fps <= MaxFps;
}

bool parseSeed(const std::string& text, uint64_t& seed) {
  if (text.empty() || text.size() > 20) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
  seed = v;
  return errno == 0;
}

// Reads one flag's value into the records; returns an error text, empty on success.
std::string applyFlag(int cmd, const std::string& flag, const std::string& value, EffectArgs& effect,
                      RunArgs& run) {
  long n = 0;
  if (flag == "--intensity") effect.intensityText = value;
  else if (flag == "--color") effect.colorText = value, effect.hasColor = true;
  else if (flag == "--options") effect.optionsText = value, effect.hasOptions = true;
  else if (flag == "--size") {
    if (!parseSize(value, run.width, run.height))
      return "bad --size '" + value + "' (expected WxH, each side 1-4096)";
  } else if (flag == "--frames") {
    const long lo = cmd == CmdParticles ? 0 : 1;
    if (!parseWhole(value, lo, MaxFrames, n))
      return "bad --frames '" + value + "' (expected a whole number " + std::to_string(lo) + "-" +
             std::to_string(MaxFrames) + ")";
    run.frames = static_cast<int>(n);
  } else if (flag == "--fps") {
    if (!parseFps(value, run.fps)) return "bad --fps '" + value + "' (expected a number 0.1-1000)";
  } else if (flag == "--seed") {
    if (!parseSeed(value, run.seed)) return "bad --seed '" + value + "' (expected a whole number 0-18446744073709551615)";
    run.hasSeed = true;
  } else if (flag == "--cursor") {
    std::string problem;
    if (!parseCursorPath(value, run.reader.path, problem)) return "bad --cursor: " + problem;
  } else if (flag == "--clicks") {
    std::string problem;
    if (!parseClicks(value, run.reader.clicks, problem)) return "bad --clicks: " + problem;
  } else if (flag == "--background") {
    if (!parseBackground(value, run.background))
      return "bad --background '" + value + "' (expected black, checker or #RRGGBB)";
    run.hasBackground = true;
  } else {
    if (value.empty()) return "empty value for " + flag;
    if (flag == "--out") run.outDir = value;
    else if (flag == "--gif") run.gifPath = value;
    else run.sheetPath = value;
  }
  return std::string();
}

// Reads PRESET (unless the subcommand takes none) and the flags the subcommand takes;
// returns an error text, empty on success.
std::string parseArgs(int cmd, const std::vector<std::string>& args, EffectArgs& effect, RunArgs& run) {
  const bool takesPreset = cmd != CmdGallery;
  bool havePreset = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      const FlagInfo* info = nullptr;
      for (const FlagInfo& f : kFlags)
        if (a == f.name) info = &f;
      if (!info) return "unknown flag '" + a + "'";
      if (!(info->subcommands & cmd)) return "unknown flag '" + a + "' for " + subcommandName(cmd);
      if (!info->takesValue) {
        run.reader.marker = true;  // --cursor-marker, the only switch
        continue;
      }
      if (i + 1 >= args.size()) return "missing value for " + a;
      std::string problem = applyFlag(cmd, a, args[++i], effect, run);
      if (!problem.empty()) return problem;
    } else if (takesPreset && !havePreset) {
      effect.preset = a;
      havePreset = true;
    } else {
      return "unexpected argument '" + a + "'";
    }
  }
  if (takesPreset && !havePreset) return "missing PRESET";
  if (effect.hasColor && effect.hasOptions) return "--color and --options cannot be combined";
  if ((cmd == CmdRender || cmd == CmdGallery) && run.outDir.empty()) return "missing --out DIR";
  std::string problem;
  if (!replayFitsFrame(run.reader, run.width, run.height, problem)) return problem;
  return std::string();
}

void printConfig(const Emitter& emitter) {
  for (int i = 0; i < ConfigFieldCount; ++i) {
    const double v = configFieldValue(emitter.system.config, i);
    if (ConfigFields[i].type == FieldFloat)
      std::printf("%s=%.9g\n", ConfigFields[i].name, v);
    else
      std::printf("%s=%d\n", ConfigFields[i].name, static_cast<int>(v));
  }
  std::printf("inFront=%d\n", emitter.inFront);
  // Printed only when set, so that a text without them dumps exactly the fields it always did.
  if (emitter.prewarmSeconds > 0) std::printf("prewarm=%.9g\n", emitter.prewarmSeconds);
  if (emitter.fadeOutMs > 0) std::printf("fadeOut=%d\n", emitter.fadeOutMs);
  if (!emitter.onEndAction.empty()) std::printf("onEnd=%s\n", emitter.onEndAction.c_str());
  if (emitter.motionAlways) std::printf("motion=always\n");
}

int finishStdout() { return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1; }

int runConfig(const std::vector<std::string>& args) {
  EffectArgs effect;
  RunArgs run;
  std::string problem = parseArgs(CmdConfig, args, effect, run);
  if (!problem.empty()) return usageError(problem);
  std::unique_ptr<Emitter> emitter(new Emitter());
  buildArgsEffect(effect, *emitter);
  printConfig(*emitter);
  releaseEffectPictures(*emitter);
  return finishStdout();
}

int runRender(const std::vector<std::string>& args) {
  EffectArgs effect;
  RunArgs run;
  std::string problem = parseArgs(CmdRender, args, effect, run);
  if (!problem.empty()) return usageError(problem);
  RunOutputs out{run.outDir, run.gifPath, run.sheetPath, nullptr};
  std::string error;
  return renderEffect(effect, run, out, error) ? 0 : fileError(error);
}

int runGallery(const std::vector<std::string>& args) {
  EffectArgs unused;
  RunArgs run;
  std::string problem = parseArgs(CmdGallery, args, unused, run);
  if (!problem.empty()) return usageError(problem);
  if (!run.hasSeed) run.hasSeed = true, run.seed = 1;  // a gallery is the same on every machine
  std::string error;
  if (!makeDirectories(run.outDir, error)) return fileError(error);

  const GridLayout overview = gridLayout(PresetCount, OverviewColumns, run.width, run.height, GridGap);
  std::vector<uint8_t> overviewRgb(static_cast<size_t>(overview.width) * overview.height * 3, GridGapGrey);
  std::vector<uint8_t> fullest;
  for (int id = 0; id < PresetCount; ++id) {
    EffectArgs effect;
    effect.preset = PresetDisplayName(id);
    const std::string base = run.outDir + "/" + effect.preset;
    RunOutputs out{std::string(), base + ".gif", base + "_sheet.png", &fullest};
    if (!renderEffect(effect, run, out, error)) return fileError(error);
    int x = 0, y = 0;
    gridTileOrigin(overview, id, run.width, run.height, GridGap, x, y);
    blitRgb(fullest.data(), run.width, run.height, overviewRgb.data(), overview.width, x, y);
    drawLabel(overviewRgb.data(), overview.width, overview.height, x + 3, y + 3, effect.preset, LabelColor);
    std::fprintf(stderr, "lumivex-render: [%d/%d] %s: %s, %s\n", id + 1, static_cast<int>(PresetCount),
                 effect.preset.c_str(), out.gifPath.c_str(), out.sheetPath.c_str());
  }
  const std::string overviewPath = run.outDir + "/overview.png";
  if (!writePng(overviewPath, overview.width, overview.height, 3, overviewRgb.data(), error))
    return fileError(error);
  std::fprintf(stderr, "lumivex-render: overview: %s\n", overviewPath.c_str());
  return 0;
}

int runParticles(const std::vector<std::string>& args) {
  EffectArgs effect;
  RunArgs run;
  std::string problem = parseArgs(CmdParticles, args, effect, run);
  if (!problem.empty()) return usageError(problem);
  std::unique_ptr<Emitter> e(new Emitter());
  std::vector<uint32_t> pixels;
  startEffect(effect, run, *e, pixels);
  for (int i = 0; i < run.frames; ++i) stepEffect(*e, run, i);
  for (int slot = 0; slot < MaxParticles; ++slot) {
    const Particle& p = e->system.particles[slot];
    if (!p.active) continue;
    std::printf("%d %.9g %.9g %.9g %.9g %d %d %d %.9g %.9g\n", slot, p.x, p.y, p.size, p.rotation,
                p.curR, p.curG, p.curB, p.alpha, p.life);
  }
  releaseEffectPictures(*e);
  return finishStdout();
}

void printSpriteMessage(const std::string& message) {
  std::fprintf(stderr, "lumivex-render: %s\n", message.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // Sprites (the options text's `sprite` key) decode through stb here; their outcome messages,
  // which the plug-in puts into its LastError variable, go to stderr.
  setSpriteCodec(stbSpriteCodec());
  setLastErrorSink(printSpriteMessage);
  if (argc < 2) return usageError("missing subcommand");
  const std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "config") return runConfig(args);
  if (command == "render") return runRender(args);
  if (command == "gallery") return runGallery(args);
  if (command == "particles") return runParticles(args);
  if (command == "guide") return runGuide(args);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return usageError("unknown subcommand '" + command + "'");
}
