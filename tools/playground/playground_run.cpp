// The playground's effect, run as lumivex-render's `render` runs one (tools/lumivex_render/
// render_run.cpp: startEffect and stepEffect): the same entry points in the same order, so the
// frames match byte for byte. The only file of the playground that reads or writes the Emitter
// record. State: the effect, its premultiplied frame and its unpremultiplied copy, the clock.
#include "playground_run.h"

#include <memory>
#include <new>
#include <vector>

#include "engine/engine.h"
#include "image_io.h"
#include "render/render_frame.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"
#include "runtime/frame_step.h"

namespace {

std::unique_ptr<Emitter> gEmitter;  // the effect playing
std::vector<uint32_t> gPixels;      // its frame, premultiplied 0xAARRGGBB
std::vector<uint8_t> gRgba;         // the frame stepped last, unpremultiplied
PlaygroundArgs gArgs;               // how it runs
int gFrame = -1;                    // frame stepped last
int32_t gSimulatedTickMs = 0;       // the clock twinkle reads

int32_t simulatedTick() { return gSimulatedTickMs; }

// As render_run.cpp: frame i starts at i * 1000 / fps ms, and its step runs at the whole
// milliseconds of its end.
double frameStartMs(int i, double fps) { return i * 1000.0 / fps; }
uint32_t frameTickMs(int i, double fps) { return static_cast<uint32_t>((i + 1) * 1000.0 / fps); }

int clampSide(int side) { return side < 1 ? 1 : (side > PlaygroundMaxSide ? PlaygroundMaxSide : side); }

}  // namespace

int playgroundStart(const PlaygroundArgs& args) {
  gArgs = args;
  gArgs.width = clampSide(args.width);
  gArgs.height = clampSide(args.height);
  if (!(gArgs.fps > 0)) gArgs.fps = 60;
  if (!gEmitter) gEmitter.reset(new (std::nothrow) Emitter());
  if (!gEmitter) return 0;
  releaseEffectPictures(*gEmitter);
  *gEmitter = Emitter();
  Emitter& e = *gEmitter;
  const size_t count = static_cast<size_t>(gArgs.width) * gArgs.height;
  gPixels.assign(count, 0u);
  gRgba.assign(count * 4, 0u);
  gFrame = -1;

  seedRandom(gArgs.seed);
  gSimulatedTickMs = 0;
  setTickSource(simulatedTick);
  buildEffect(e, gArgs.advanced ? EffectAdvanced : EffectPlay, gArgs.preset, intensityFromText(gArgs.intensityText),
              gArgs.colorOrOptions);
  attachFrameBuffer(e.frame, gPixels.data(), gArgs.width, gArgs.height);
  e.rectWidth = gArgs.width;
  e.rectHeight = gArgs.height;
  startParticles(e);
  e.renderingEnabled = 1;
  return 1;
}

void playgroundStep() {
  if (!gEmitter) return;
  ++gFrame;
  gSimulatedTickMs = static_cast<int32_t>(frameStartMs(gFrame, gArgs.fps));
  advanceEmitter(*gEmitter, frameTickMs(gFrame, gArgs.fps));
  unpremultiplyToRgba(gPixels.data(), static_cast<int>(gPixels.size()), gRgba.data());
}

const uint8_t* playgroundFrameRgba() { return gRgba.data(); }
int playgroundFrameIndex() { return gFrame; }
int playgroundWidth() { return gArgs.width; }
int playgroundHeight() { return gArgs.height; }
int playgroundLiveParticles() { return gEmitter ? gEmitter->system.aliveCount : 0; }
