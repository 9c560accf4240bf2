// Running an effect as the plug-in's shared timer runs it, with no window: the effect built the
// way Play or PlayAdvanced builds it, stepped on a simulated tick clock, its frames written as
// PNG files, an animated GIF and a contact sheet. Shared by lumivex-render's commands and its
// guide. State: the simulated clock that twinkle reads (one effect runs at a time).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image_io.h"
#include "reader_replay.h"

struct Emitter;

// What an action receives: the effect's parameters as text.
struct EffectArgs {
  std::string preset;        // preset name as given
  std::string intensityText; // intensity as given; empty means 50
  std::string colorText;     // Play's override colour
  std::string optionsText;   // PlayAdvanced's options text
  bool hasColor = false;
  bool hasOptions = false;
};

// How an effect is run and what is written.
struct RunArgs {
  int width = 320;            // frame pixels
  int height = 240;
  int frames = 60;            // frames written (and simulated after the warm-up)
  int warmupFrames = 0;       // frames simulated before the first written one
  int stopFrame = -1;         // written frame at whose start Lumivex_Stop arrives; -1: never
  double fps = 60;            // frames per second of the simulated clock
  bool hasSeed = false;
  uint64_t seed = 0;          // for seedRandom
  bool hasBackground = false;
  Background background = {BackgroundBlack, 0, 0, 0};
  std::string outDir;         // empty when not given
  std::string gifPath;        // empty: no GIF
  std::string sheetPath;      // empty: no contact sheet
  int gifDeltaTolerance = GifWholeFrames;  // GIF frames whole, or as changes (image_io.h)
  ReaderReplay reader;        // the cursor and clicks replayed, by written frame
};

// What a run writes, and for the gallery the frame it keeps for the overview.
struct RunOutputs {
  std::string framesDir;            // empty: no PNG frames
  std::string gifPath;              // empty: no GIF
  std::string sheetPath;            // empty: no contact sheet
  std::vector<uint8_t>* fullest;    // null, or receives the RGB frame with the most opacity
};

constexpr int SheetMaxFrames = 16;     // a contact sheet shows at most this many frames
constexpr int SheetColumns = 4;
constexpr int GridGap = 4;             // pixels between and around tiles
constexpr uint8_t GridGapGrey = 0x80;  // stands apart from black and the checker alike
constexpr uint32_t LabelColor = 0xFFFFFF;

// Builds the emitter's effect the way Play (--color) or PlayAdvanced (--options) does.
void buildArgsEffect(const EffectArgs& args, Emitter& emitter);

// Sets the emitter up as the plug-in's start does (prewarmed by its `prewarm`), with pixels as
// its frame buffer: seeds the random generator when run has a seed, and puts the simulated clock
// at 0. The cursor at the start is where run.reader puts it for the first simulated frame.
void startEffect(const EffectArgs& effect, const RunArgs& run, Emitter& e, std::vector<uint32_t>& pixels);

// One tick for simulated frame i (written frame i - run.warmupFrames), as the shared timer runs
// it, with the replayed cursor and click of that frame handed over first.
void stepEffect(Emitter& e, const RunArgs& run, int i);

// Runs the effect for run.warmupFrames + run.frames frames and writes the outputs of the last
// run.frames. A Stop (run.stopFrame) ends the effect at once, or with its `fadeOut` stops the
// emission and fades the whole effect out over that time, as Stop by name does; once ended the
// frames are empty. With run.reader.marker the written frames (PNG, GIF, sheet) show the replayed
// cursor and clicks; the effect's own frame never does. 1, or 0 with the message.
int renderEffect(const EffectArgs& effect, const RunArgs& run, const RunOutputs& out, std::string& error);
