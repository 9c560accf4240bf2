// No floating-point trap, whatever number an options text carries. The effect is built, its
// burst spawned, prewarmed, updated and drawn under the control words a Delphi host's thread has
// (invalid operation, division by zero and overflow unmasked), so that any infinity or NaN our
// code makes, or any float too large for an integer it converts, stops the program here instead
// of in the author's application. Native x86-64 and native Wine raise these traps; the qemu path
// raises none (the run says which it is).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/fp_env.h"
#include "config/emitter_config.h"
#include "engine/engine.h"
#include "render/render_frame.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"
#include "runtime/frame_step.h"

#if defined(LUMIVEX_FP_CONTROL)

namespace {

constexpr FpControl DelphiFpControl = {0x1332, 0x1900};

// The x87 control word's meaningful bits (bit 6 is reserved and reads as 1).
uint16_t x87Bits(uint16_t word) { return word & 0x1F3F; }

// Whether the host's words took (they then trap on a native processor; qemu raises no trap).
const char* trapKind() {
  const FpControl c = readFpControl();
  writeFpControl(DelphiFpControl);
  const FpControl set = readFpControl();
  writeFpControl(c);
  return set.mxcsr == DelphiFpControl.mxcsr && x87Bits(set.x87) == x87Bits(DelphiFpControl.x87)
             ? "the host's control words are set (a native processor traps under them; qemu does not)"
             : "the control words did not take";
}

// The values an author can type: huge, beyond the floats, tiny, below the normal floats,
// negative, zero.
const char* const Values[] = {"1e38", "1e20", "1e999", "1e-30", "1e-45", "-1e30", "-1", "0"};

// Every key that takes a number, with {} where the value goes.
const char* const NumericKeys[] = {
    "speed={}",       "size={}",           "life={}",          "density={}",
    "twinkle={}",     "opacity={}",        "feather={}",       "taper={};taperEdge=bottom",
    "taper={};taperEdge=right", "prewarm={}", "fadeOut={}",    "emitArea={},{},{},{}",
    "direction={},{}", "mode=burst:{}",    "mode=continuous:{}", "colorStart={},{},{}",
    "colorMid={},{},{}", "cursor=repel:{}",   "cursor=attract:{}", "click=burst:{}",
};

const char* const Shapes[] = {"circle", "ray",  "beam",      "glow",   "star",
                              "lightburst", "laser", "rectangle", "ring", "sprite"};

std::string fill(std::string pattern, const std::string& value) {
  for (size_t p; (p = pattern.find("{}")) != std::string::npos;) pattern.replace(p, 2, value);
  return pattern;
}

std::vector<std::string> optionRows() {
  std::vector<std::string> rows;
  for (const char* key : NumericKeys)
    for (const char* v : Values) rows.push_back(fill(key, v));
  for (const char* shape : Shapes)
    for (const char* v : {"1e20", "1e-20", "0", "1e38"})
      for (const char* speed : {"1", "1e20"})
        rows.push_back(std::string("shape=") + shape + ";size=" + v + ";speed=" + speed + ";feather=1");
  // Several extremes at once, as found trapping before.
  rows.push_back("feather=0;taper=0.999999;taperEdge=bottom;size=1e-30");
  rows.push_back("prewarm=10;density=1e30");
  rows.push_back("fadeOut=5000;size=1e38");
  rows.push_back("prewarm=10;speed=1e38;life=1e38;size=1e38;twinkle=1e38;density=1e38");
  rows.push_back("prewarm=10;speed=1e-45;life=1e-45;size=1e-45;twinkle=1e-45");
  rows.push_back("mode=burst:2000;speed=1e38;size=1e38;life=1e-45;direction=1e38,360");
  rows.push_back("shape=lightburst;size=1e20;direction=-1e38,1e38;emitArea=1e38,-1e38,1e38,1e38");
  // The cursor (at the frame's centre in every run) and a click among extremes.
  rows.push_back("cursor=attract;prewarm=10;speed=1e38;life=1e38;density=1e38");
  rows.push_back("cursor=repel:1e38;speed=1e20;size=1e38;click=burst:500");
  rows.push_back("cursor=follow;emitArea=1e38,-1e38,1e38,1e38;click=burst:1e38");
  rows.push_back("cursor=attract;emitArea=0.5,0.5,0,0;speed=0");  // born on the cursor itself
  rows.push_back("cursor=repel:1e-45;mode=burst:2000;speed=1e-45;life=1e38");
  return rows;
}

struct Outcome {
  int frames;        // frames drawn
  int finite;        // every particle's numbers finite afterwards
};

// One effect's life, as the plug-in and the preview give it: built, its burst spawned,
// prewarmed, then a few steps of updating and drawing (a 100 ms stall among them).
Outcome play(const char* preset, const std::string& options, std::vector<uint32_t>& pixels) {
  std::unique_ptr<Emitter> e(new Emitter());
  attachFrameBuffer(e->frame, pixels.data(), 64, 48);
  buildEffect(*e, EffectAdvanced, preset, 100, options);
  startParticles(*e);
  e->renderingEnabled = 1;
  // The reader's cursor in the middle of the frame, and a click there.
  e->cursor = CursorPoint{1, 32, 24};
  e->clicked = 1;
  e->clickX = 32;
  e->clickY = 24;
  Outcome run = {0, 1};
  const float steps[] = {0.016f, 0.1f, 0.001f, 0.033f};
  for (float step : steps) run.frames += advanceEmitterBy(*e, step, nullptr);
  for (const Particle& p : e->system.particles)
    if (p.active && !(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.vx) && std::isfinite(p.vy) &&
                      std::isfinite(p.size) && std::isfinite(p.life) && std::isfinite(p.alpha)))
      run.finite = 0;
  return run;
}

}  // namespace

// Presets by the table of option rows: each row plays on a preset of its own (the rows walk the
// presets) and on the burst preset, so every preset meets extreme values and every row meets
// both kinds of emission.
TEST(FloatTraps, NoTrapUnderTheHostsControlWordsForAnyOptionValue) {
  std::printf("%s\n", trapKind());
  const std::vector<std::string> rows = optionRows();
  std::vector<uint32_t> pixels(64 * 48);
  int runs = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const char* presets[] = {PresetDisplayName(static_cast<int>(i % PresetCount)), "Explosion"};
    for (const char* preset : presets) {
      seedRandom(static_cast<uint32_t>(i + 1));
      const FpControl saved = readFpControl();
      writeFpControl(DelphiFpControl);
      const Outcome run = play(preset, rows[i], pixels);
      writeFpControl(saved);
      ++runs;
      EXPECT_EQ(run.finite, 1) << preset << " " << rows[i];
    }
  }
  std::printf("%d options rows, %d runs\n", static_cast<int>(rows.size()), runs);
}

// The words themselves: ours inside a scope, the caller's exactly after it, nested scopes and
// the host's words given back for a call out.
TEST(FloatTraps, ScopesSetOurWordsAndGiveTheCallersBack) {
  const FpControl before = readFpControl();
  writeFpControl(DelphiFpControl);
  {
    EngineFpScope ours;
    FpControl now = readFpControl();
    EXPECT_EQ(x87Bits(now.x87), x87Bits(EngineFpControl.x87));
    EXPECT_EQ(now.mxcsr & 0xFFC0u, EngineFpControl.mxcsr);
    {
      HostFpScope host;
      now = readFpControl();
      EXPECT_EQ(x87Bits(now.x87), x87Bits(DelphiFpControl.x87));
      EXPECT_EQ(now.mxcsr, DelphiFpControl.mxcsr);
      {
        EngineFpScope inner;  // host script calling an export from our pumping
        EXPECT_EQ(x87Bits(readFpControl().x87), x87Bits(EngineFpControl.x87));
      }
      EXPECT_EQ(x87Bits(readFpControl().x87), x87Bits(DelphiFpControl.x87));
    }
    now = readFpControl();
    EXPECT_EQ(x87Bits(now.x87), x87Bits(EngineFpControl.x87));
    // A flag our code raised while masked is not handed to the host.
    volatile float big = 3e38f;
    big = big * 10.0f;
    (void)big;
  }
  const FpControl after = readFpControl();
  writeFpControl(before);
  EXPECT_EQ(x87Bits(after.x87), x87Bits(DelphiFpControl.x87));
  EXPECT_EQ(after.mxcsr, DelphiFpControl.mxcsr);
  {
    HostFpScope outside;  // outside any scope of ours: nothing changes
    EXPECT_EQ(readFpControl().x87, before.x87);
  }
}

#endif
