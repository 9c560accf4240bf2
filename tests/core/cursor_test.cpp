// The reader's cursor and clicks as the engine and the frame step answer them: follow moves the
// place of birth to the cursor and stops births while it is away, repel and attract push the
// live particles near it (bounded, finite, never flung from the cursor's own point), a click
// bursts at its point once. Effects are built from options texts as PlayAdvanced builds them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "render/render_frame.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"
#include "runtime/frame_step.h"

namespace {

constexpr int FrameW = 240, FrameH = 180;  // pixels
constexpr float Step = 1 / 60.0f;          // seconds, the shared timer's usual step

// An effect started as the plug-in starts one over its own frame, with the cursor where it is at
// the start.
std::unique_ptr<Emitter> started(const char* preset, const char* options, std::vector<uint32_t>& pixels,
                                 CursorPoint cursor = NoCursor) {
  std::unique_ptr<Emitter> e(new Emitter());
  pixels.assign(FrameW * FrameH, 0);
  attachFrameBuffer(e->frame, pixels.data(), FrameW, FrameH);
  buildEffect(*e, EffectAdvanced, preset, 50, options);
  e->renderingEnabled = 1;
  e->cursor = cursor;
  startParticles(*e);
  return e;
}

CursorPoint at(float x, float y) { return CursorPoint{1, x, y}; }

// Born in the last step: spawned after the update's pass, so no time has come off its life yet.
// Children of a death burst are born where their parent died, not at the emit area.
bool newborn(const Particle& p) { return p.active && !p.child && p.life == p.lifeTotal; }

// Half the emit area's size, pixels: how far from its centre a birth may land.
void halfArea(const Emitter& e, float& hw, float& hh) {
  hw = 0.5f * e.system.config.emitW * FrameW + 1e-3f;
  hh = 0.5f * e.system.config.emitH * FrameH + 1e-3f;
}

// Newborns of the last step, and how many of them lie outside the area centred on (x, y).
void countBirths(const Emitter& e, float x, float y, int& born, int& outside) {
  float hw, hh;
  halfArea(e, hw, hh);
  born = outside = 0;
  for (const Particle& p : e.system.particles) {
    if (!newborn(p)) continue;
    ++born;
    if (std::fabs(p.x - x) > hw || std::fabs(p.y - y) > hh) ++outside;
  }
}

float distance(const Particle& p, const CursorPoint& c) { return std::hypot(p.x - c.x, p.y - c.y); }

}  // namespace

// Each emit shape keeps its size round the cursor; the taper (which spreads births towards a
// frame edge) and the outward direction must not pull births back to the config's own centre.
TEST(CursorFollow, BirthsLandRoundTheCursorAndStopWhileItIsAway) {
  struct Case { const char* preset; const char* options; };
  const Case cases[] = {
      {"MagicDust", "cursor=follow;emitArea=0.5,0.5,0.2,0.2"},
      {"Sparkle", "cursor=follow;emitArea=0.5,0.5,0.2,0.2;emitShape=edge"},
      {"Stars", "cursor=follow;emitArea=0.5,0.5,0.2,0.2;emitShape=ring;density=4"},
      {"Snow", "cursor=follow;emitArea=0.5,0.5,0.2,0.2;taper=0.9;taperEdge=left"},
      {"Fire", "cursor=follow;emitArea=0.5,0.5,0.2,0.2;direction=outward"},
      {"Sparkle", "cursor=follow"},  // a point: every birth on the cursor itself
  };
  // Two places far from the area's own centre (120, 90) and from each other.
  const CursorPoint places[] = {at(40, 30), at(200, 150)};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    seedRandom(11);
    std::vector<uint32_t> pixels;
    std::unique_ptr<Emitter> e = started(c.preset, c.options, pixels);
    for (const CursorPoint& place : places) {
      e->cursor = place;
      int births = 0;
      for (int k = 0; k < 40; ++k) {
        advanceEmitterBy(*e, Step);
        int born = 0, outside = 0;
        countBirths(*e, place.x, place.y, born, outside);
        births += born;
        ASSERT_EQ(outside, 0) << "step " << k << " at " << place.x << "," << place.y;
      }
      EXPECT_GT(births, 10) << "at " << place.x << "," << place.y;
    }

    // The cursor leaves: nothing more is born, and what lives goes on living and moving.
    std::vector<Particle> before(e->system.particles, e->system.particles + MaxParticles);
    e->cursor = NoCursor;
    advanceEmitterBy(*e, Step);
    int carried = 0;
    for (int i = 0; i < MaxParticles; ++i) {
      const Particle& was = before[i];
      const Particle& now = e->system.particles[i];
      if (!was.active || was.life <= Step) continue;
      ASSERT_TRUE(now.active) << "slot " << i << " was cleared when the cursor left";
      EXPECT_FLOAT_EQ(now.life, was.life - Step);
      ++carried;
    }
    EXPECT_GT(carried, 0);
    for (int k = 0; k < 60; ++k) {
      for (const Particle& p : e->system.particles) ASSERT_FALSE(newborn(p)) << "born with the cursor away";
      advanceEmitterBy(*e, Step);
    }
  }
}

// A burst that follows starts round a cursor that is there at the start, and in its own place
// when the cursor is not.
TEST(CursorFollow, ABurstStartsRoundAPresentCursor) {
  struct Case { CursorPoint cursor; float x, y; };
  const Case cases[] = {{at(50, 40), 50, 40}, {at(230, 170), 230, 170}, {NoCursor, 120, 90}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    seedRandom(5);
    std::vector<uint32_t> pixels;
    std::unique_ptr<Emitter> e = started("Explosion", "cursor=follow;emitArea=0.5,0.5,0.1,0.1", pixels, c.cursor);
    float hw, hh;
    halfArea(*e, hw, hh);
    int alive = 0;
    for (const Particle& p : e->system.particles) {
      if (!p.active) continue;
      ++alive;
      ASSERT_LE(std::fabs(p.x - c.x), hw);
      ASSERT_LE(std::fabs(p.y - c.y), hh);
    }
    EXPECT_EQ(alive, e->system.config.burstCount);
    EXPECT_EQ(e->system.emissionDone, 1);
  }
}

// The same particles stepped with and without the cursor (a burst: no births, so both runs are
// the same but for the push). Repel takes the particles that were within the radius further from
// the cursor than they get by themselves, attract brings them nearer; particles beyond the radius
// are not touched.
TEST(CursorPush, RepelSpreadsAndAttractGathers) {
  struct Case { const char* preset; const char* options; int away; };
  const Case cases[] = {
      {"MagicDust", "mode=burst:400;emitArea=0.5,0.5,1,1;cursor=repel:60", 1},
      {"Snow", "mode=burst:400;emitArea=0.5,0.5,1,1;cursor=repel:60", 1},
      {"Stars", "mode=burst:400;cursor=repel:60", 1},  // particles at rest
      {"Sparkle", "mode=burst:400;emitArea=0.5,0.5,1,1;cursor=attract:60", 0},
      {"MagicDust", "mode=burst:400;emitArea=0.5,0.5,1,1;cursor=attract:60", 0},
      {"Stars", "mode=burst:400;cursor=attract:60", 0},
  };
  const CursorPoint cursor = at(120, 90);
  const float radius = 60;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.preset) + " " + c.options);
    seedRandom(3);
    std::vector<uint32_t> pixels;
    std::unique_ptr<Emitter> plain = started(c.preset, c.options, pixels);
    std::unique_ptr<Emitter> pushed(new Emitter(*plain));
    pushed->cursor = cursor;

    std::vector<int> near;
    for (int i = 0; i < MaxParticles; ++i)
      if (plain->system.particles[i].active && distance(plain->system.particles[i], cursor) < radius) near.push_back(i);
    ASSERT_GT(near.size(), 40u);

    // One step: beyond the radius both runs move alike.
    std::vector<int> far;
    for (int i = 0; i < MaxParticles; ++i)
      if (plain->system.particles[i].active && distance(plain->system.particles[i], cursor) > radius) far.push_back(i);
    advanceEmitterBy(*plain, Step);
    advanceEmitterBy(*pushed, Step);
    for (int i : far)
      ASSERT_EQ(std::memcmp(&plain->system.particles[i], &pushed->system.particles[i], sizeof(Particle)), 0)
          << "slot " << i << " beyond the radius was pushed";

    for (int k = 1; k < 30; ++k) {
      advanceEmitterBy(*plain, Step);
      advanceEmitterBy(*pushed, Step);
    }
    double plainSum = 0, pushedSum = 0;
    int counted = 0;
    for (int i : near) {
      const Particle& a = plain->system.particles[i];
      const Particle& b = pushed->system.particles[i];
      if (!a.active || !b.active) continue;
      plainSum += distance(a, cursor);
      pushedSum += distance(b, cursor);
      ++counted;
    }
    ASSERT_GT(counted, 20);
    const double plainMean = plainSum / counted, pushedMean = pushedSum / counted;
    if (c.away)
      EXPECT_GT(pushedMean, plainMean + 0.15 * radius) << plainMean << " -> " << pushedMean;
    else
      EXPECT_LT(pushedMean, plainMean - 0.15 * radius) << plainMean << " -> " << pushedMean;
  }
}

namespace {

// A quiet system (Stars: no gravity, wind, noise or drag) with the given cursor key, emptied, so
// that particles can be placed by hand.
struct PushFixture : ::testing::Test {
  std::unique_ptr<Emitter> e{new Emitter()};
  std::vector<uint32_t> pixels;
  void build(const char* options) {
    pixels.assign(FrameW * FrameH, 0);
    attachFrameBuffer(e->frame, pixels.data(), FrameW, FrameH);
    buildEffect(*e, EffectAdvanced, "Stars", 50, options);
    e->system.config.spawnRate = 0;
    sizeSystemToFrame(*e);
    clearParticles(e->system);
  }
  Particle& place(int i, float x, float y, float vx, float vy) {
    Particle& p = e->system.particles[i];
    std::memset(&p, 0, sizeof p);
    p.active = 1;
    p.x = x; p.y = y; p.vx = vx; p.vy = vy;
    p.life = p.lifeTotal = 1e4f;
    p.gravityScale = 1;
    p.drag = 1;
    p.sizeStart = p.sizeEnd = p.size = 2;
    e->system.aliveCount = e->system.aliveCount + 1;
    return p;
  }
  void step(float dt, const CursorPoint& cursor) {
    e->system.elapsed += dt;
    updateParticles(e->system, dt, true, cursor);
  }
};

}  // namespace

// A particle at rest at distance d along +x from the cursor, after one short step: repel pushes it
// away with the full strength at the cursor falling linearly to nothing at the radius; attract
// pulls it in, the less the further it is, and leaves the small core round the cursor alone.
TEST_F(PushFixture, PushFallsOffToTheRadius) {
  const float radius = 100, cx = 120, cy = 90;
  const float fractions[] = {0.02f, 0.25f, 0.5f, 0.75f, 0.99f, 1.0f, 1.5f};
  for (const char* mode : {"repel", "attract"}) {
    SCOPED_TRACE(mode);
    build((std::string("cursor=") + mode + ":100").c_str());
    const bool repel = mode[0] == 'r';
    const float strength = CursorPushRate * cursorReferenceSpeed(e->system.config);
    float last = 1e30f;
    for (float f : fractions) {
      SCOPED_TRACE(f);
      clearParticles(e->system);
      Particle& p = place(0, cx + f * radius, cy, 0, 0);
      step(Step, at(cx, cy));
      EXPECT_EQ(p.vy, 0);
      if (f >= 1 || (!repel && f * radius <= GatherCore * radius)) {
        EXPECT_EQ(p.vx, 0);
        EXPECT_EQ(p.x, cx + f * radius);
        continue;
      }
      if (repel) {
        EXPECT_NEAR(p.vx, strength * (1 - f) * Step, 1e-3f * strength * Step);
      } else {
        EXPECT_LT(p.vx, 0);
        EXPECT_LT(-p.vx, last);
        last = -p.vx;
      }
    }
  }
}

// Over many steps, slow and fast, with the cursor still (right on a particle) or circling:
// positions and velocities stay finite and no push takes a particle faster than it already went
// or than the cap, whichever is more.
TEST_F(PushFixture, SpeedsStayBoundedAndFinite) {
  struct Case { const char* options; float dt; bool circling; };
  const Case cases[] = {
      {"cursor=repel:100", Step, false},   {"cursor=repel:100", 0.1f, false},
      {"cursor=repel:10", 0.1f, true},     {"cursor=repel:1000", Step, true},
      {"cursor=attract:100", Step, false}, {"cursor=attract:100", 0.1f, false},
      {"cursor=attract:10", 0.1f, true},   {"cursor=attract:1000", Step, true},
  };
  const float speeds[] = {0, 30, 200, 1000};  // pixels per second; the cap is 4 x the reference speed
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.options) + (c.circling ? " circling" : " still") + " dt " + std::to_string(c.dt));
    build(c.options);
    const float cap = cursorReferenceSpeed(e->system.config) * CursorSpeedCap;
    std::vector<float> own;  // each particle's speed at the start
    int n = 0;
    for (int gy = 0; gy < 9; ++gy)
      for (int gx = 0; gx < 12; ++gx, ++n) {
        const float v = speeds[n % 4], angle = 0.7f * n;
        place(n, 10 + 20 * gx, 10 + 20 * gy, v * std::cos(angle), v * std::sin(angle));
        own.push_back(v);
      }
    // The still cursor sits exactly on particle 54 (130, 90), put at rest there.
    ASSERT_EQ(e->system.particles[54].x, 130);
    ASSERT_EQ(e->system.particles[54].y, 90);
    e->system.particles[54].vx = e->system.particles[54].vy = own[54] = 0;
    for (int k = 0; k < 600; ++k) {
      const float t = k * c.dt;
      const CursorPoint cursor = c.circling ? at(120 + 60 * std::cos(t), 90 + 60 * std::sin(t)) : at(130, 90);
      step(c.dt, cursor);
      for (int i = 0; i < n; ++i) {
        const Particle& p = e->system.particles[i];
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.vx) && std::isfinite(p.vy))
            << "slot " << i << " step " << k;
        const float limit = own[i] > cap ? own[i] : cap;
        ASSERT_LE(std::hypot(p.vx, p.vy), limit * 1.0001f) << "slot " << i << " step " << k;
      }
    }
  }
}

// Particles at rest all round the cursor, attracted for ten seconds (long enough to settle): they
// gather (their mean distance falls to well under half) yet stay spread over the core that
// attract leaves alone, rather than piling up on the cursor's very point, where a pull that
// reached all the way in would put them (about a hundredth of the core's radius).
TEST_F(PushFixture, AttractGathersWithoutCollapsingOntoTheCursor) {
  const float cx = 120, cy = 90;
  for (const char* options : {"cursor=attract:60", "cursor=attract:120", "cursor=attract:200"}) {
    SCOPED_TRACE(options);
    build(options);
    const float radius = e->system.config.cursorRadius;
    double startSum = 0;
    const int n = 120;
    for (int i = 0; i < n; ++i) {
      const float d = radius * (0.15f + 0.8f * static_cast<float>(i % 10) / 10), angle = 0.37f * i;
      // Some with a sideways drift, so that not every path runs through the cursor.
      const float drift = i % 3 == 0 ? 20.0f : 0.0f;
      place(i, cx + d * std::cos(angle), cy + d * std::sin(angle), -drift * std::sin(angle), drift * std::cos(angle));
      startSum += d;
    }
    for (int k = 0; k < 600; ++k) step(Step, at(cx, cy));
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += std::hypot(e->system.particles[i].x - cx, e->system.particles[i].y - cy);
    EXPECT_LT(sum, 0.5 * startSum);
    EXPECT_GT(sum / n, 0.15 * GatherCore * radius) << "piled up on the cursor's point";
  }
}

// A left click bursts clickBurst particles round its point (the emit area's size kept) whatever
// the effect and its cursor mode, once: compared with the same effect stepped without the click
// from the same state (births and deaths of one step do not depend on the random draws).
TEST(CursorClick, BurstsOnceAtThePoint) {
  struct Case { const char* preset; const char* options; CursorPoint cursor; bool fading; int burst; };
  const char* const area = "emitArea=0.75,0.75,0.15,0.15;";  // far from the click at (40, 40)
  const Case cases[] = {
      {"Sparkle", "click=burst:25", NoCursor, false, 25},
      {"Snow", "click=burst", NoCursor, false, DefaultClickBurst},
      {"Explosion", "click=burst:40", NoCursor, false, 40},  // a burst effect
      {"MagicDust", "cursor=follow;click=burst:30", NoCursor, false, 30},  // follow, cursor away
      {"MagicDust", "cursor=follow;click=burst:30", at(200, 150), false, 30},
      {"MagicDust", "cursor=repel;click=burst:30", at(40, 40), false, 30},
      {"MagicDust", "cursor=attract:200;click=burst:500", at(40, 40), false, 500},
      {"Sparkle", "click=burst:25", NoCursor, true, 0},  // fading out: nothing more is born
      {"Sparkle", "click=off", NoCursor, false, 0},
      {"Sparkle", "", NoCursor, false, 0},
  };
  for (const Case& c : cases) {
    const std::string options = area + std::string(c.options);
    SCOPED_TRACE(std::string(c.preset) + " " + options + (c.fading ? " fading" : ""));
    seedRandom(9);
    std::vector<uint32_t> pixels;
    std::unique_ptr<Emitter> plain = started(c.preset, options.c_str(), pixels, c.cursor);
    for (int k = 0; k < 30; ++k) advanceEmitterBy(*plain, Step);
    plain->fading = c.fading ? 1 : 0;
    std::unique_ptr<Emitter> clicked(new Emitter(*plain));
    clicked->clicked = 1;
    clicked->clickX = 40;
    clicked->clickY = 40;

    // The effect's own births: round a present cursor it follows, else round its own centre.
    const EmitterConfig& config = plain->system.config;
    const bool follows = config.cursorMode == CursorFollow && c.cursor.present;
    const float ownX = follows ? c.cursor.x : config.emitX * FrameW, ownY = follows ? c.cursor.y : config.emitY * FrameH;

    advanceEmitterBy(*plain, Step);
    advanceEmitterBy(*clicked, Step);
    EXPECT_EQ(clicked->clicked, 0);
    EXPECT_EQ(clicked->system.aliveCount - plain->system.aliveCount, c.burst);
    int born = 0, outside = 0, ownBorn = 0, ownOutside = 0, plainBorn = 0, plainOutside = 0;
    countBirths(*clicked, 40, 40, born, outside);
    countBirths(*clicked, ownX, ownY, ownBorn, ownOutside);
    countBirths(*plain, ownX, ownY, plainBorn, plainOutside);
    EXPECT_EQ(born - outside, c.burst);
    EXPECT_EQ(ownBorn - ownOutside, plainBorn) << "the effect's own births changed";
    EXPECT_EQ(born, c.burst + plainBorn) << "births away from the click and the effect's place";

    // The next step has no click of its own: no second burst, and the effect is born where it
    // was before the click.
    advanceEmitterBy(*plain, Step);
    advanceEmitterBy(*clicked, Step);
    countBirths(*clicked, 40, 40, born, outside);
    EXPECT_EQ(born - outside, 0);
    countBirths(*clicked, ownX, ownY, ownBorn, ownOutside);
    EXPECT_EQ(ownOutside, 0) << "births moved after the click";
    EXPECT_EQ(clicked->system.aliveCount - plain->system.aliveCount, c.burst);
  }
}
