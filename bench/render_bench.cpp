// Renderer benchmarks: renderFrame at 800 x 600 with 2000 live particles of each shape, and
// every preset at 640 x 480 in steady state (after 5 simulated seconds). Goals, native, one
// core: 2000 soft Sparkle circles in at most 1 ms per frame including the clear; lightburst at
// most 6 ms, sprite 3 ms, star 2 ms; every preset in steady state in at most 2 ms, GodRays 1.5 ms;
// 2000 Sparkle circles with trail=0.25 in at most 4 ms; 2000 animated sheet sprites as the still
// sprite.
// The rasterizer uses eight-pixel groups where the processor has AVX2; the "_4lanes" cases run
// the same frames on the four-pixel (SSE2) groups that every x86 processor has.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "common/text.h"
#include "config/sprite.h"
#include "engine/engine.h"
#include "render/raster.h"
#include "render/render_frame.h"

namespace {

// Only the records drawing needs: the particles, a sprite, the frame.
struct Scene {
  std::unique_ptr<ParticleSystem> e{new ParticleSystem()};
  Sprite sprite = {};
  FrameBuffer frame = {};
  std::vector<uint32_t> pixels;
};

void attachFrame(Scene& s, int w, int h) {
  s.pixels.assign(static_cast<size_t>(w) * h, 0);
  attachFrameBuffer(s.frame, s.pixels.data(), w, h);
  s.e->frameWidth = w;
  s.e->frameHeight = h;
}

// A 64 x 64 soft white disc for the sprite shape.
SpriteImage* benchSprite() {
  static uint32_t texels[64 * 64];
  static SpriteImage img = {64, 64, texels};
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const int dx = x - 32, dy = y - 32, r2 = dx * dx + dy * dy;
      const uint32_t a = r2 >= 1024 ? 0 : static_cast<uint32_t>(255 - r2 * 255 / 1024);
      texels[y * 64 + x] = (a << 24) | 0xFFFFFFu;
    }
  return &img;
}

// Sparkle over a whole 800 x 600 frame, from a seed.
ParticleSystem& sparkleScene(Scene& s, uint64_t seed) {
  seedRandom(seed);
  attachFrame(s, 800, 600);
  ParticleSystem& e = *s.e;
  setSystemPreset(e, "sparkle");
  LoadPreset("Sparkle", e.config);
  e.config.emitW = e.config.emitH = 1;
  return e;
}

// 2000 live Sparkle-sized particles spread over an 800 x 600 frame, drawn as `shape`.
void BM_Shape(benchmark::State& state, int shape, float glowSoftness) {
  Scene s;
  ParticleSystem& e = sparkleScene(s, 11);
  e.config.shape = shape;
  e.config.glowSoftness = glowSoftness;
  e.config.spreadAngle = 360;  // every orientation
  if (shape == ShapeSprite) {
    s.sprite.spriteImage = benchSprite();
    s.sprite.spriteWidth = s.sprite.spriteHeight = 64;
  }
  for (int i = 0; i < MaxParticles; ++i) spawnParticle(e);
  for (Particle& p : e.particles) p.alpha = 0.8f;
  for (auto _ : state) {
    renderFrame(e, s.sprite, s.frame);
    benchmark::DoNotOptimize(s.pixels.data());
  }
  state.counters["particles"] = e.aliveCount;
}

// 2000 sprites of a 4 x 4 sheet of 64-pixel frames looping at 12 frames a second, each particle
// at a frame of its own: the same size as the still sprite case, which it should match in cost.
void BM_SpriteSheet2000(benchmark::State& state) {
  Scene s;
  ParticleSystem& e = sparkleScene(s, 11);
  e.config.shape = ShapeSprite;
  e.config.glowSoftness = 1;
  e.config.spreadAngle = 360;
  e.config.spriteCols = e.config.spriteRows = 4;
  e.config.spriteFps = 12;
  s.sprite.spriteImage = newSpriteImage(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) s.sprite.spriteImage->pixels[y * 256 + x] = benchSprite()->pixels[(y % 64) * 64 + x % 64];
  s.sprite.spriteWidth = s.sprite.spriteHeight = 256;
  CutSpriteFrames(s.sprite, 4, 4);
  for (int i = 0; i < MaxParticles; ++i) spawnParticle(e);
  for (Particle& p : e.particles) p.alpha = 0.8f;
  for (auto _ : state) {
    renderFrame(e, s.sprite, s.frame);
    benchmark::DoNotOptimize(s.pixels.data());
  }
  state.counters["particles"] = e.aliveCount;
  state.counters["frames"] = s.sprite.spriteFrameCount;
  FreeSprite(s.sprite);
}

// The same frames on four-pixel groups.
void BM_Shape4Lanes(benchmark::State& state, int shape, float glowSoftness) {
  setRasterLanes(4);
  BM_Shape(state, shape, glowSoftness);
  setRasterLanes(8);
}

// 2000 live Sparkle particles over 800 x 600 with trail=0.25, their rings full (16 samples each,
// one per 60 fps step) before timing starts. Goal: at most 4 ms per frame.
void BM_Trail2000(benchmark::State& state) {
  Scene s;
  ParticleSystem& e = sparkleScene(s, 13);
  e.config.spawnRate = 0;
  e.config.lifeMin = e.config.lifeMax = 1e6f;  // nobody dies while the rings fill
  e.config.trailSeconds = 0.25f;
  for (int i = 0; i < MaxParticles; ++i) spawnParticle(e);
  for (int f = 0; f < 20; ++f) {
    e.elapsed += 1 / 60.0f;
    updateParticles(e, 1 / 60.0f);
  }
  for (Particle& p : e.particles) p.alpha = 0.8f;
  for (auto _ : state) {
    renderFrame(e, s.sprite, s.frame);
    benchmark::DoNotOptimize(s.pixels.data());
  }
  state.counters["particles"] = e.aliveCount;
  state.counters["samples"] = e.trailCount[0];
}

void BM_Preset(benchmark::State& state) {
  const int id = static_cast<int>(state.range(0));
  seedRandom(12);
  Scene s;
  attachFrame(s, 640, 480);
  ParticleSystem& e = *s.e;
  const char* name = PresetDisplayName(id);
  setSystemPreset(e, toLowerText(name));
  LoadPreset(name, e.config);
  spawnBurst(e);
  const float dt = 0.016f;
  // Steady state: 5 simulated seconds. A burst is caught early instead, while it still shows.
  const int warm = e.config.burstCount > 0 ? 10 : 312;
  for (int f = 0; f < warm; ++f) {
    e.elapsed += dt;
    updateParticles(e, dt);
  }
  for (auto _ : state) {
    renderFrame(e, s.sprite, s.frame);
    benchmark::DoNotOptimize(s.pixels.data());
  }
  state.SetLabel(name);
  state.counters["particles"] = e.aliveCount;
}

void BM_Preset4Lanes(benchmark::State& state) {
  setRasterLanes(4);
  BM_Preset(state);
  setRasterLanes(8);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Shape, circle_soft, ShapeCircle, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, circle_solid, ShapeCircle, 0.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, ray, ShapeRay, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, beam, ShapeBeam, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, glow, ShapeGlow, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, star, ShapeStar, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, lightburst, ShapeLightburst, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, laser, ShapeLaser, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, rectangle, ShapeRectangle, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, ring, ShapeRing, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape, sprite, ShapeSprite, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Trail2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpriteSheet2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Preset)->DenseRange(0, PresetCount - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape4Lanes, star_4lanes, ShapeStar, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape4Lanes, lightburst_4lanes, ShapeLightburst, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Shape4Lanes, sprite_4lanes, ShapeSprite, 1.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Preset4Lanes)->Arg(PresetGodRays)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
