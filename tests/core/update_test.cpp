// The per-frame update: forces, drag per 1/60 s, sway, height scale, turning, size, colour ramp,
// fades, death, continuous emission, and the noise it reads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "engine/particle_system.h"

namespace {

// An emitter with a quiet configuration (no forces, no emission) and one hand-made particle.
struct UpdateFixture : ::testing::Test {
  std::unique_ptr<ParticleSystem> e{new ParticleSystem()};
  void SetUp() override {
    seedRandom(7);
    e->frameWidth = 200;
    e->frameHeight = 100;
    setSystemPreset(*e, "test");
    LoadPreset("Stars", e->config);  // no gravity, drag 1, no wind, no noise
    e->config.spawnRate = 0;
  }
  // Places a live particle in slot i at (50, 50) with the given velocity and life.
  Particle& place(int i, float vx, float vy, float life) {
    Particle& p = e->particles[i];
    std::memset(&p, 0, sizeof p);
    p.active = 1;
    p.x = 50; p.y = 50; p.vx = vx; p.vy = vy;
    p.life = p.lifeTotal = life;
    p.gravityScale = 1;
    p.drag = 1;
    return p;
  }
  void step(float dt) {
    e->elapsed += dt;
    updateParticles(*e, dt);
  }
};

}  // namespace

TEST_F(UpdateFixture, DragIsPerSixtiethOfASecond) {
  struct Case { float drag, dt, factor; };
  const Case cases[] = {{1, 1 / 60.0f, 1}, {0.5f, 1 / 60.0f, 0.5f}, {0.5f, 1 / 30.0f, 0.25f},
                        {1.5f, 1 / 60.0f, 1}, {0.97f, 0.1f, std::pow(0.97f, 6.0f)}};
  for (const Case& k : cases) {
    Particle& p = place(0, 100, -40, 10);
    p.drag = k.drag;
    step(k.dt);
    EXPECT_NEAR(p.vx, 100 * k.factor, 1e-3) << k.drag << " " << k.dt;
    EXPECT_NEAR(p.vy, -40 * k.factor, 1e-3);
  }
}

TEST_F(UpdateFixture, GravityWindAndMove) {
  Particle& p = place(0, 10, 0, 10);
  p.gravity = 100;
  p.gravityScale = 0.5f;
  e->config.windX = 20;
  step(0.1f);
  EXPECT_FLOAT_EQ(p.vy, 5);
  EXPECT_FLOAT_EQ(p.vx, 12);
  EXPECT_FLOAT_EQ(p.x, 51.2f);
  EXPECT_FLOAT_EQ(p.y, 50.5f);
  // Gravity acts through the copy taken at birth, not the config.
  e->config.gravity = 1000;
  e->config.windX = 0;
  e->config.windY = -10;
  step(0.1f);
  EXPECT_FLOAT_EQ(p.vx, 12);
  EXPECT_FLOAT_EQ(p.vy, 9);
}

TEST_F(UpdateFixture, MotionScalesWithHeightSinceTheFirstUpdate) {
  Particle& p = place(0, 10, 10, 10);
  step(0.1f);
  EXPECT_EQ(e->baseHeight, 100);
  EXPECT_FLOAT_EQ(p.x, 51);
  e->frameHeight = 200;
  step(0.1f);
  EXPECT_EQ(e->baseHeight, 100);
  EXPECT_FLOAT_EQ(p.x, 53);
  EXPECT_FLOAT_EQ(p.y, 53);

  e->baseHeight = 0;
  e->frameHeight = 0;  // no frame: base 1, scale 0 -> 1
  step(0.1f);
  EXPECT_EQ(e->baseHeight, 1);
  EXPECT_FLOAT_EQ(p.x, 54);
}

TEST_F(UpdateFixture, SizeColourAndOpacityFollowAge) {
  Particle& p = place(0, 0, 0, 2);
  p.sizeStart = 10; p.sizeEnd = 2;
  step(0.5f);
  EXPECT_FLOAT_EQ(p.size, 8);

  // Ramp through a middle colour: red -> green (at 0.5) -> blue.
  EmitterConfig& c = e->config;
  c.hasColorMid = 1; c.colorMidPos = 0.5f;
  c.colorMidR = 0; c.colorMidG = 255; c.colorMidB = 0;
  struct Case { float u; int r, g, b; };
  const Case ramp[] = {{0.25f, 127, 128, 0}, {0.75f, 0, 127, 128}, {0.5f, 0, 255, 0}};
  for (const Case& k : ramp) {
    Particle& q = place(1, 0, 0, 4);
    q.startR = 255; q.endB = 255;
    step(4 * k.u);
    EXPECT_EQ(q.curR, k.r) << k.u; EXPECT_EQ(q.curG, k.g) << k.u; EXPECT_EQ(q.curB, k.b) << k.u;
  }
  // Middle positions at or beyond the ends are clamped, so neither half divides by zero.
  for (float pos : {0.0f, 1.0f, -3.0f}) {
    c.colorMidPos = pos;
    Particle& q = place(1, 0, 0, 4);
    q.startR = 255; q.endB = 255;
    step(1);
    EXPECT_GE(q.curR, 0); EXPECT_LE(q.curR, 255);
    EXPECT_GE(q.curB, 0); EXPECT_LE(q.curB, 255);
  }
  // Without a middle colour the ramp is start -> end.
  c.hasColorMid = 0;
  Particle& q = place(1, 0, 0, 4);
  q.startR = 255; q.endB = 255;
  step(1);
  EXPECT_EQ(q.curR, 191); EXPECT_EQ(q.curB, 64);

  c.alphaStart = 1; c.alphaEnd = 1;
  struct Fade { float u, alpha; };
  for (Fade k : {Fade{0.05f, 0.5f}, Fade{0.5f, 1}, Fade{0.85f, 0.5f}}) {
    Particle& f = place(2, 0, 0, 10);
    f.fadeIn = 0.1f; f.fadeOut = 0.3f;
    step(10 * k.u);
    EXPECT_NEAR(f.alpha, k.alpha, 1e-4) << k.u;
  }
  c.alphaStart = 3; c.alphaEnd = -1;  // clamped to 0..1
  Particle& f = place(2, 0, 0, 10);
  step(1);
  EXPECT_EQ(f.alpha, 1);
  step(8);
  EXPECT_EQ(f.alpha, 0);
}

TEST_F(UpdateFixture, ParticlesDieAndAreNotCounted) {
  place(0, 0, 0, 0.05f);
  place(3, 0, 0, 1);
  place(1999, 0, 0, 0.1f);
  e->aliveCount = 99;
  step(0.1f);
  EXPECT_EQ(e->particles[0].active, 0);
  EXPECT_EQ(e->particles[1999].active, 0);  // life exactly 0 dies
  EXPECT_EQ(e->particles[3].active, 1);
  EXPECT_EQ(e->aliveCount, 1);
}

TEST_F(UpdateFixture, ContinuousEmissionCarriesTheFraction) {
  e->config.spawnRate = 30;
  step(0.016f);
  step(0.016f);
  EXPECT_EQ(e->aliveCount, 0);
  step(0.016f);
  EXPECT_EQ(e->aliveCount, 1);
  EXPECT_EQ(e->particles[0].active, 1);
  EXPECT_NEAR(e->spawnAccumulator, 0.44f, 1e-5);
  EXPECT_EQ(e->particles[0].life, e->particles[0].lifeTotal);  // born this frame, not yet aged

  // Several whole units in one frame spawn several; a full pool still consumes them.
  e->config.spawnRate = 2600;
  step(0.1f);
  EXPECT_EQ(e->aliveCount, 261);
  EXPECT_NEAR(e->spawnAccumulator, 0.44f, 1e-3);
  e->config.spawnRate = 1e30f;
  step(0.1f);
  EXPECT_EQ(e->aliveCount, MaxParticles);
  EXPECT_LT(e->spawnAccumulator, 1);
}

TEST_F(UpdateFixture, BurstsAndFinishedEmissionNeverEmit) {
  e->config.spawnRate = 1000;
  e->config.burstCount = 5;
  for (int i = 0; i < 10; ++i) step(0.1f);
  EXPECT_EQ(e->aliveCount, 0);
  EXPECT_EQ(e->spawnAccumulator, 0);
  e->config.burstCount = 0;
  e->emissionDone = 1;
  step(0.1f);
  EXPECT_EQ(e->aliveCount, 0);
}

TEST_F(UpdateFixture, PresetSwayIsPerFrameNotPerSecond) {
  struct Case { const char* preset; int slot; float u, elapsedAfter, added; };
  // u is the age after the step; elapsed is what the step leaves in the emitter.
  const Case cases[] = {
      {"snow", 4, 0.5f, 1, 0.5f * std::sin(12 * 0.5f + 0.3f * 4)},
      {"bubbles", 9, 0.5f, 1, 0.8f * std::sin(6 * 0.5f + 0.5f * 9)},
      {"aurora", 2, 0.5f, 1, 1.5f * std::sin(0.5f * 1 + 0.7f * 2)},
      {"auroraborealis", 2, 0.5f, 1, 0},
      {"Snow", 4, 0.5f, 1, 0},
  };
  for (const Case& k : cases) {
    setSystemPreset(*e, k.preset);
    e->elapsed = 0;
    Particle& p = place(k.slot, 0, 0, 2);
    step(1);
    EXPECT_NEAR(p.vx, k.added, 1e-5) << k.preset;
    EXPECT_NEAR(p.x, 50 + k.added, 1e-4) << k.preset;
  }
  // The same push at any frame length.
  setSystemPreset(*e, "snow");
  e->elapsed = 0;
  Particle& p = place(0, 0, 0, 0.02f);
  step(0.01f);
  EXPECT_NEAR(p.vx, 0.5f * std::sin(12 * 0.5f), 1e-5);
}

TEST_F(UpdateFixture, LongShapesTurnWithVelocityAndSpinnersSpin) {
  e->config.shape = ShapeBeam;
  Particle& p = place(0, 0, 10, 10);
  p.rotation = 5;
  p.gravity = -200;  // turns the velocity upwards
  step(0.1f);
  EXPECT_NEAR(p.rotation, -90, 1e-3);
  p.vx = 0.2f; p.vy = 0.2f; p.gravity = 0;  // too slow to say a direction: keeps its rotation
  step(0.1f);
  EXPECT_NEAR(p.rotation, -90, 1e-3);

  e->config.shape = ShapeRectangle;
  Particle& r = place(1, 0, 0, 10);
  r.rotation = 10; r.spin = -100;
  step(0.5f);
  EXPECT_FLOAT_EQ(r.rotation, -40);

  e->config.shape = ShapeStar;
  Particle& s = place(2, 3, 4, 10);
  s.rotation = 10; s.spin = 50;
  step(0.5f);
  EXPECT_EQ(s.rotation, 10);
}

TEST_F(UpdateFixture, NoisePushesFromThePositionBeforeTheMove) {
  EmitterConfig& c = e->config;
  c.noisePower = 65; c.noiseScale = 40; c.noiseSpeed = 2.2f;
  Particle& p = place(0, 0, 0, 10);
  step(0.05f);
  const float o = 0.05f * 2.2f, nx = 50 / 40.0f + o, ny = 50 / 40.0f + o;
  const float vx = (2 * valueNoise(nx, ny) - 1) * 65 * 0.05f;
  const float vy = (2 * valueNoise(nx + 500, ny + 500) - 1) * 65 * 0.05f;
  EXPECT_FLOAT_EQ(p.vx, vx);
  EXPECT_FLOAT_EQ(p.vy, vy);
  EXPECT_NE(vx, 0);

  c.noiseScale = 0.25f;  // below 1 acts as 1
  Particle& q = place(1, 0, 0, 10);
  e->elapsed = 0;
  step(0.05f);
  const float o2 = 0.05f * 2.2f;
  EXPECT_FLOAT_EQ(q.vx, (2 * valueNoise(50 + o2, 50 + o2) - 1) * 65 * 0.05f);
}

TEST(Noise, TableAndValueNoise) {
  const float* t = noiseTable();
  // The first values of the LCG seeded 0xDEADBEEF, worked out independently.
  EXPECT_FLOAT_EQ(t[0], 0.41668507f);
  EXPECT_FLOAT_EQ(t[1], 0.96058804f);
  EXPECT_FLOAT_EQ(t[2], 0.037253261f);
  EXPECT_FLOAT_EQ(t[3], 0.22123918f);
  EXPECT_FLOAT_EQ(t[65535], 0.71604532f);
  for (int k = 0; k < 65536; ++k) ASSERT_TRUE(t[k] >= 0 && t[k] < 1) << k;

  EXPECT_FLOAT_EQ(valueNoise(3, 7), 0.30512193f);  // integer points read the table
  EXPECT_EQ(valueNoise(3, 7), t[7 * 256 + 3]);
  EXPECT_EQ(valueNoise(259, 263), t[7 * 256 + 3]);  // wraps every 256
  EXPECT_EQ(valueNoise(-1, 0), t[255]);              // negative integers wrap too
  EXPECT_FLOAT_EQ(valueNoise(0.5f, 0), (t[0] + t[1]) / 2);
  EXPECT_FLOAT_EQ(valueNoise(255.5f, 0), (t[255] + t[0]) / 2);
  // Smooth: close inputs give close outputs.
  EXPECT_NEAR(valueNoise(10.001f, 20.5f), valueNoise(10.0f, 20.5f), 1e-2);
  // Inputs no integer can hold stay defined.
  EXPECT_TRUE(std::isfinite(valueNoise(1e20f, -1e20f)));
  EXPECT_TRUE(std::isfinite(valueNoise(NAN, 3)));
}

TEST(Noise, LerpColorChannelRoundsTheStepHalfAway) {
  struct Case { int a, b; float t; int out; };
  const Case cases[] = {{255, 0, 0.5f, 127}, {0, 255, 0.5f, 128}, {0, 5, 0.5f, 3},
                        {5, 0, 0.5f, 2}, {10, 20, 0, 10}, {10, 20, 1, 20}, {0, 255, 0.25f, 64}};
  for (const Case& k : cases) EXPECT_EQ(lerpColorChannel(k.a, k.b, k.t), k.out) << k.a << " " << k.b;
}

// Many live particles go through the passes that take eight or four at a time (noise, turning):
// each particle must come out exactly as the scalar helpers say, whatever its place in a group
// (14 live: a group of eight where the processor has AVX2, then groups of four, then one by
// one), with dead and free slots in between and a particle that dies during the update left as
// it was.
TEST_F(UpdateFixture, EveryParticleOfABatchIsPushedAndTurnedAsOnItsOwn) {
  EmitterConfig& c = e->config;
  c.shape = ShapeRay;
  c.noisePower = 65; c.noiseScale = 40; c.noiseSpeed = 2.2f;
  struct Row { int slot; float x, y, vx, vy, life; };
  const Row rows[] = {{0, 50, 50, 30, 40, 10},     {1, 10, 90, -30, 5, 10},   {3, 199, 1, 0, -50, 10},
                      {4, 7.5f, 3, 0.1f, 0.2f, 10}, {5, 120, 60, -8, -9, 0.01f}, {9, 33, 33, 1e-7f, 20, 10},
                      {10, 60, 20, -100, 0, 10},   {11, 80, 70, 3, -300, 10}, {40, 5, 5, 500, 499, 10},
                      {41, 150, 95, -0.4f, 0.3f, 10}, {42, 20, 80, 12, -7, 10},  {100, 170, 30, -2, 60, 10},
                      {1500, 90, 50, 45, -45, 10},   {1999, 190, 10, -70, 70, 10}};
  struct Expect { float vx, vy, rotation; int active; };
  Expect expect[sizeof rows / sizeof rows[0]];
  const float dt = 0.05f, o = (e->elapsed + dt) * 2.2f;
  for (size_t k = 0; k < sizeof rows / sizeof rows[0]; ++k) {
    const Row& r = rows[k];
    Particle& p = place(r.slot, r.vx, r.vy, r.life);
    p.x = r.x; p.y = r.y; p.rotation = 33;
    const float nx = r.x / 40 + o, ny = r.y / 40 + o;
    const float vx = r.vx + (2 * valueNoise(nx, ny) - 1) * 65 * dt;
    const float vy = r.vy + (2 * valueNoise(nx + 500, ny + 500) - 1) * 65 * dt;
    const bool dies = r.life <= dt;
    const bool turns = !dies && std::fabs(vx) + std::fabs(vy) > 1;
    expect[k] = dies ? Expect{r.vx, r.vy, 33, 0} : Expect{vx, vy, turns ? directionDegrees(vx, vy) : 33, 1};
  }
  step(dt);
  for (size_t k = 0; k < sizeof rows / sizeof rows[0]; ++k) {
    const Particle& p = e->particles[rows[k].slot];
    EXPECT_EQ(p.active, expect[k].active) << "slot " << rows[k].slot;
    EXPECT_EQ(p.vx, expect[k].vx) << "slot " << rows[k].slot;
    EXPECT_EQ(p.vy, expect[k].vy) << "slot " << rows[k].slot;
    EXPECT_EQ(p.rotation, expect[k].rotation) << "slot " << rows[k].slot;
  }
  EXPECT_EQ(e->aliveCount, 13);
}

#if defined(__SSE2__)
// Noise and direction of `lanes` points at once (four with SSE2, eight with AVX2).
void noiseAndDirection4(const float* table, const float* x, const float* y, float* noise, float* deg) {
  _mm_storeu_ps(noise, sampleNoise4(table, _mm_loadu_ps(x), _mm_loadu_ps(y)));
  _mm_storeu_ps(deg, directionDegrees4(_mm_loadu_ps(x), _mm_loadu_ps(y)));
}
#if defined(LUMIVEX_AVX2)
AVX2_FN void noiseAndDirection8(const float* table, const float* x, const float* y, float* noise, float* deg) {
  _mm256_storeu_ps(noise, sampleNoise8(table, _mm256_loadu_ps(x), _mm256_loadu_ps(y)));
  _mm256_storeu_ps(deg, directionDegrees8(_mm256_loadu_ps(x), _mm256_loadu_ps(y)));
}
#endif

// The four- and eight-lane noise and direction agree with the scalar ones bit for bit, on the
// awkward inputs (wrap-around, the range limit of the integer conversion, infinities, NaN, the
// branch points of the arc tangent) and on a sweep of ordinary ones.
TEST(FourLanes, NoiseAndDirectionMatchTheScalarOnesExactly) {
  const float inf = INFINITY, nan = NAN;
  std::vector<float> values = {0, -0.0f, 0.5f, -0.5f, 1, -1, 255, 255.5f, 256, -256.25f, 1e-7f, -1e-7f,
                               0.000001f, -0.000001f, 0.41421356f, 0.41421359f, 2.4142134f, 2.4142137f,
                               -2.4142137f, 2147483520.0f, -2147483520.0f, 2147483648.0f, 3e9f, -3e9f, 1e30f,
                               inf, -inf, nan};
  uint32_t lcg = 5;
  for (int i = 0; i < 4000; ++i) {
    lcg = lcg * 1664525u + 1013904223u;
    values.push_back((static_cast<int32_t>(lcg >> 4) - (1 << 27)) / 65536.0f);
  }
  const float* table = noiseTable();
  const size_t n = values.size();
  struct Width { int lanes; void (*run)(const float*, const float*, const float*, float*, float*); };
  std::vector<Width> widths = {{4, noiseAndDirection4}};
#if defined(LUMIVEX_AVX2)
  if (processorHasAvx2()) widths.push_back({8, noiseAndDirection8});
#endif
  for (const Width& w : widths)
    for (size_t i = 0; i + w.lanes <= n * 4; i += w.lanes) {
      float x[8], y[8], noise[8], deg[8];
      for (int j = 0; j < w.lanes; ++j) {
        x[j] = values[(i + j) % n];
        y[j] = values[(i * 7 + j * 13 + 3) % n];
      }
      w.run(table, x, y, noise, deg);
      for (int j = 0; j < w.lanes; ++j) {
        const float wantNoise = sampleNoise(table, x[j], y[j]), wantDeg = directionDegrees(x[j], y[j]);
        ASSERT_EQ(std::memcmp(&noise[j], &wantNoise, 4), 0)
            << w.lanes << " lanes, " << x[j] << ", " << y[j] << ": " << noise[j] << " vs " << wantNoise;
        ASSERT_EQ(std::memcmp(&deg[j], &wantDeg, 4), 0)
            << w.lanes << " lanes, " << x[j] << ", " << y[j] << ": " << deg[j] << " vs " << wantDeg;
      }
    }
}
#endif
