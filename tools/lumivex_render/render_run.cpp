// Running an effect as the shared timer does, for lumivex-render's commands and its guide: the
// effect built as an action builds it, stepped on a simulated tick clock, its frames written.
// State: the simulated clock (gSimulatedTickMs) that twinkle reads instead of the wall clock.
#include "render_run.h"

#include <cstdio>
#include <memory>

#include <cstring>

#include "config/sprite.h"
#include "engine/engine.h"
#include "render/render_frame.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"
#include "runtime/frame_step.h"

void buildArgsEffect(const EffectArgs& args, Emitter& emitter) {
  if (args.hasOptions)
    buildEffect(emitter, EffectAdvanced, args.preset, intensityFromText(args.intensityText), args.optionsText);
  else
    buildEffect(emitter, EffectPlay, args.preset, intensityFromText(args.intensityText), args.colorText);
}

// The simulated clock that twinkle reads, so that frames do not depend on the wall clock.
static int32_t gSimulatedTickMs = 0;
static int32_t simulatedTick() { return gSimulatedTickMs; }

// Start of frame i on the simulated clock, milliseconds.
static double frameStartMs(int i, double fps) { return i * 1000.0 / fps; }

// The simulated tick count (whole milliseconds, as the timer reads it) at which frame i's step
// runs: the end of the frame.
static uint32_t frameTickMs(int i, double fps) { return static_cast<uint32_t>((i + 1) * 1000.0 / fps); }

void startEffect(const EffectArgs& effect, const RunArgs& run, Emitter& e, std::vector<uint32_t>& pixels) {
  if (run.hasSeed) seedRandom(run.seed);
  gSimulatedTickMs = 0;
  setTickSource(simulatedTick);
  buildArgsEffect(effect, e);
  pixels.assign(static_cast<size_t>(run.width) * run.height, 0u);
  attachFrameBuffer(e.frame, pixels.data(), run.width, run.height);
  e.rectWidth = run.width;
  e.rectHeight = run.height;
  applyReplay(run.reader, -run.warmupFrames, e);
  e.clicked = 0;  // clicks come with their frame's step
  startParticles(e);
  e.renderingEnabled = 1;
}

// advanceEmitter: the step since the last tick in whole milliseconds, clamped; update; burst
// end; draw. An emitter whose burst has ended is no longer advanced or drawn, so its buffer
// keeps the last drawn frame.
void stepEffect(Emitter& e, const RunArgs& run, int i) {
  applyReplay(run.reader, i - run.warmupFrames, e);
  gSimulatedTickMs = static_cast<int32_t>(frameStartMs(i, run.fps));
  advanceEmitter(e, frameTickMs(i, run.fps));
}

// Stop by name at the start of step `step`: with a fade-out the emission stops and the fade
// begins (0 returned), else the effect is released at once (1 returned).
static int stopEffect(Emitter& e, const RunArgs& run, int step) {
  if (e.fadeOutMs <= 0) return 1;
  e.fading = 1;
  e.fadeStartMs = static_cast<uint32_t>(frameStartMs(step, run.fps));
  return 0;
}

// How far a fading effect has faded by the end of step `step`; 1 once the fade is complete and
// the effect released.
static int fadeEffect(Emitter& e, const RunArgs& run, int step) {
  if (!e.fading) return 0;
  e.fadeAmount = static_cast<float>(frameTickMs(step, run.fps) - e.fadeStartMs) / static_cast<float>(e.fadeOutMs);
  return e.fadeAmount >= 1;
}

// Frame index shown in sheet tile k of m for n frames: evenly spaced, ending with the last.
static int sheetFrame(int k, int m, int n) { return static_cast<int>((static_cast<long long>(k + 1) * n) / m - 1); }

int renderEffect(const EffectArgs& effect, const RunArgs& run, const RunOutputs& out, std::string& error) {
  const int W = run.width, H = run.height, n = run.frames, warm = run.warmupFrames;
  const size_t pixelCount = static_cast<size_t>(W) * H;

  // Open what can be opened first, so that a bad path fails before any work.
  if (!out.framesDir.empty() && !makeDirectories(out.framesDir, error)) return 0;
  FILE* sheetFile = nullptr;
  if (!out.sheetPath.empty() && !(sheetFile = openOutput(out.sheetPath, error))) return 0;
  GifWriter gif;
  const bool wantGif = !out.gifPath.empty();
  if (wantGif && !gifOpen(gif, out.gifPath, W, H, error, run.gifDeltaTolerance)) {
    if (sheetFile) std::fclose(sheetFile);
    return 0;
  }

  const int sheetCount = n < SheetMaxFrames ? n : SheetMaxFrames;
  const GridLayout sheet = gridLayout(sheetCount, SheetColumns, W, H, GridGap);
  std::vector<uint8_t> sheetRgb;
  if (sheetFile) sheetRgb.assign(static_cast<size_t>(sheet.width) * sheet.height * 3, GridGapGrey);

  std::unique_ptr<Emitter> e(new Emitter());
  std::vector<uint32_t> pixels;
  startEffect(effect, run, *e, pixels);
  for (int i = 0; i < warm; ++i) stepEffect(*e, run, i);

  std::vector<uint8_t> rgb(pixelCount * 3), rgba;
  // What is written: the effect's frame, or a copy of it with the marker over it (the effect's
  // own buffer must stay as the effect left it: an ended burst's is shown again).
  std::vector<uint32_t> marked;
  if (run.reader.marker) marked.resize(pixelCount);
  const uint32_t* shown = run.reader.marker ? marked.data() : pixels.data();
  if (!run.hasBackground) rgba.resize(pixelCount * 4);
  uint64_t bestOpacity = 0;
  int nextTile = 0;
  bool ok = true;
  int released = 0;  // 1 once a Stop has released the effect
  const bool needRgb = run.hasBackground || wantGif || sheetFile || out.fullest;
  char name[32];
  // Written frames are numbered (and timed) from 0, after the warm-up.
  for (int i = 0; i < n && ok; ++i) {
    if (i == run.stopFrame) released = stopEffect(*e, run, warm + i);
    if (!released) released = fadeEffect(*e, run, warm + i);
    if (released)  // its window is gone: nothing of the effect shows
      std::memset(pixels.data(), 0, pixelCount * sizeof(uint32_t));
    else
      stepEffect(*e, run, warm + i);
    if (run.reader.marker) {
      std::memcpy(marked.data(), pixels.data(), pixelCount * sizeof(uint32_t));
      drawReplayMarker(run.reader, i, marked.data(), W, H);
    }
    if (needRgb) composeOverBackground(shown, W, H, run.background, rgb.data());
    if (!out.framesDir.empty()) {
      std::snprintf(name, sizeof name, "/frame_%04d.png", i);
      if (run.hasBackground) {
        ok = writePng(out.framesDir + name, W, H, 3, rgb.data(), error);
      } else {
        unpremultiplyToRgba(shown, static_cast<int>(pixelCount), rgba.data());
        ok = writePng(out.framesDir + name, W, H, 4, rgba.data(), error);
      }
    }
    if (ok && wantGif) ok = gifAddFrame(gif, rgb.data(), frameStartMs(i, run.fps), error);
    if (sheetFile && nextTile < sheetCount && i == sheetFrame(nextTile, sheetCount, n)) {
      int x = 0, y = 0;
      gridTileOrigin(sheet, nextTile++, W, H, GridGap, x, y);
      blitRgb(rgb.data(), W, H, sheetRgb.data(), sheet.width, x, y);
      // The frame number in the corner, when the tile has room for it.
      if (W >= 6 * LabelGlyphSide && H >= 3 * LabelGlyphSide)
        drawLabel(sheetRgb.data(), sheet.width, sheet.height, x + 3, y + 3, std::to_string(i), LabelColor);
    }
    if (out.fullest) {
      uint64_t opacity = 0;
      for (size_t p = 0; p < pixelCount; ++p) opacity += pixels[p] >> 24;
      if (i == 0 || opacity > bestOpacity) {
        bestOpacity = opacity;
        *out.fullest = rgb;
      }
    }
  }
  if (wantGif) {
    std::string gifError;
    if (!gifClose(gif, frameStartMs(n, run.fps), gifError) && ok) {
      ok = false;
      error = gifError;
    }
  }
  releaseEffectPictures(*e);
  if (sheetFile) {
    if (ok) ok = writePngFile(sheetFile, out.sheetPath, sheet.width, sheet.height, 3, sheetRgb.data(), error);
    else std::fclose(sheetFile);
  }
  return ok ? 1 : 0;
}
