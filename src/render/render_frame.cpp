// renderFrame: one frame of a particle system into a premultiplied 0xAARRGGBB frame.
// Clears what the previous frame drew, culls, runs the opacity pipeline (pulse, edge feather,
// emission-band fade, twinkle), draws each live particle's shape in slot order, then applies
// the additive brightening. Keeps no state but the frame's record of the pixels it drew.
#include "render/render_frame.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "common/text.h"
#include "config/sprite.h"
#include "engine/particle_system.h"
#include "render/raster.h"

static TickSourceFn gTickSource = nullptr;

void setTickSource(TickSourceFn source) { gTickSource = source; }

int32_t currentTickMs() {
  if (gTickSource) return gTickSource();
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<int32_t>(
      static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
}

namespace {

// How often a budgeted frame reads its clock: once the bounding boxes drawn since the last reading
// add up to this many pixels, each particle counting BudgetParticleCost pixels more for its own
// set-up.
constexpr float BudgetClockPixels = 16384;
constexpr float BudgetParticleCost = 64;

// Below this tick count (about a minute) twinkle's angle is the single-float product it always
// was; beyond, it is worked out in double (see twinkleAngle).
constexpr int32_t TwinkleFloatMs = 65536;

// Twinkle's angle before the particle's phase: t x speed x 6.283 with t the tick count in
// seconds. A float of seconds has too few bits for a long uptime (after a week it moves in
// sixteenths of a second and twinkling stutters), so past the first minute the angle is
// worked out in double and reduced to within one turn, which sin cannot tell from the whole
// angle. Near the switch the two differ by float rounding only.
float twinkleAngle(int32_t tickMs, float speed) {
  if (tickMs > -TwinkleFloatMs && tickMs < TwinkleFloatMs) {
    const float t = static_cast<float>(tickMs / 1000.0);
    return t * speed * 6.283f;
  }
  const double turn = 6.283185307179586476925286766559;
  return static_cast<float>(std::fmod(tickMs / 1000.0 * speed * 6.283, turn));
}

// Opacity byte of a fraction (rounded half away from zero, clamped to 0-255).
inline int32_t rnd(float v) { return toByte(v); }

// Zeroes the rectangle [x0, x1) x [y0, y1) of the buffer.
void clearRect(uint32_t* pixels, int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (x0 >= x1 || y0 >= y1) return;
  for (int32_t y = y0; y < y1; ++y)
    std::memset(pixels + static_cast<size_t>(y) * width + x0, 0, static_cast<size_t>(x1 - x0) * 4);
}

// Rays of a lightburst handed to the rasterizer at once (a stack array, no allocation).
constexpr int32_t RayBatch = 32;

// The shapes with a core, a halo and end glows share these colours.
struct BeamColors {
  Rgba core, halo, end;
};

BeamColors beamColors(const EmitterConfig& c, int32_t A, int32_t R, int32_t G, int32_t B) {
  return BeamColors{{rnd(A * c.beamCore), R, G, B}, {rnd(A * c.beamHalo), R, G, B}, {rnd(A * c.beamEndGlow), R, G, B}};
}

// The frame of a sprite sheet a particle shows: looping at spriteFps from its own first frame, or
// once over its life.
int32_t spriteFrameOf(const EmitterConfig& c, const Sprite& sprite, const Particle& p) {
  const int32_t n = sprite.spriteFrameCount;
  const double age = static_cast<double>(p.lifeTotal) - static_cast<double>(p.life);
  double k;
  if (c.spriteFps > 0) {
    k = std::fmod(static_cast<double>(p.spriteFrame) + std::floor(age * c.spriteFps), static_cast<double>(n));
  } else {
    k = p.lifeTotal > 0 ? std::floor(age / p.lifeTotal * n) : 0;
  }
  if (!(k >= 0)) k = 0;  // NaN, or a negative age
  return k >= n ? n - 1 : static_cast<int32_t>(k);
}

void drawParticle(Canvas& cv, const ParticleSystem& e, const Sprite& sprite, const Particle& p, bool softGlow,
                  float w, float h, int32_t A, int32_t R, int32_t G, int32_t B) {
  const EmitterConfig& c = e.config;
  const float px = p.x, py = p.y;
  const Rgba color{A, R, G, B};
  switch (c.shape) {
    case ShapeRay:
    case ShapeBeam:
    case ShapeLaser: {
      // The long shapes: a halo and a core along the particle's rotation, L long.
      const BeamColors k = beamColors(c, A, R, G, B);
      const LocalSpace sp = particleSpace(px, py, p.rotation);
      const float L = w, x0 = -L / 2;
      if (c.shape == ShapeRay) {
        const float T = std::max(2.0f, 0.3f * h), Th = 2.3f * T;
        fillSoftEllipsePair(cv, sp, x0, 0, L, Th, k.halo, T, k.core);
        if (k.end.a > 0) {  // a glow at both ends
          const float E = 1.4f * Th;
          fillSoftEllipse(cv, sp, -L / 2 - 0.2f * E, -E / 2, E, E, k.end);
          fillSoftEllipse(cv, sp, L / 2 - 0.8f * E, -E / 2, E, E, k.end);
        }
      } else if (c.shape == ShapeBeam) {
        const float T = std::max(3.0f, 0.45f * h), Th = 2 * T;
        fillSoftEllipsePair(cv, sp, x0, 0, L, Th, k.halo, T, k.core);
        if (k.end.a > 0) {  // a glow at the leading end only
          const float E = 1.1f * Th;
          fillSoftEllipse(cv, sp, L / 2 - 0.6f * E, -E / 2, E, E, k.end);
        }
      } else {  // laser: a solid core line in a wide soft halo, no end glow
        const float T = std::max(1.5f, 0.1f * h), Th = 5 * T;
        fillSoftEllipse(cv, sp, x0, -Th / 2, L, Th, k.halo);
        drawLine(cv, sp, x0, 0, x0 + L, 0, T, k.core);
      }
      break;
    }
    case ShapeGlow: {
      const float gh = 1.5f * h, gw = gh * c.stretch;
      fillSoftEllipse(cv, frameSpace(), px - gw / 2, py - gh / 2, gw, gh, color);
      break;
    }
    case ShapeStar: {
      const float core = 0.6f * h;
      fillSoftEllipse(cv, frameSpace(), px - core / 2, py - core / 2, core, core, color);
      const Rgba pen{clampInt(static_cast<int32_t>(std::lround(A * 0.7f)), 0, 255), R, G, B};
      const float pw = h > 6 ? 1.5f : 1.0f;
      const float s = 1.2f * h, s2 = 0.6f * s;
      const LocalSpace fs = frameSpace();
      drawLine(cv, fs, px - s, py, px + s, py, pw, pen);
      drawLine(cv, fs, px, py - s, px, py + s, pw, pen);
      drawLine(cv, fs, px - s2, py - s2, px + s2, py + s2, pw, pen);
      drawLine(cv, fs, px - s2, py + s2, px + s2, py - s2, pw, pen);
      break;
    }
    case ShapeLightburst: {
      const BeamColors k = beamColors(c, A, R, G, B);
      const int32_t n = std::max(3, c.rayCount);
      const float arc = c.rayArc <= 0 ? 360.0f : c.rayArc;
      const float rw = std::max(0.5f, c.rayWidth);
      const float Lr = 1.2f * w;
      // The rays go to the rasterizer a batch at a time: they share everything but their turn.
      LocalSpace rays[RayBatch];
      for (int32_t j0 = 0; j0 < n; j0 += RayBatch) {
        const int32_t count = std::min(RayBatch, n - j0);
        for (int32_t j = 0; j < count; ++j) rays[j] = particleSpace(px, py, p.rotation - arc / 2 + arc * (j0 + j) / n);
        drawLinePairs(cv, rays, count, 0, 0, Lr, 0, 2.8f * rw, k.halo, rw, k.core);
      }
      if (k.end.a > 0) {
        const float G2 = 1.2f * h;
        fillSoftEllipse(cv, particleSpace(px, py, 0), -G2 / 2, -G2 / 2, G2, G2, k.end);
      }
      break;
    }
    case ShapeRectangle:
      fillRectangle(cv, particleSpace(px, py, p.rotation), -w / 2, -h / 2, w, h, color);
      break;
    case ShapeSprite: {
      const SpriteImage* img = sprite.spriteImage;
      if (!img || sprite.spriteWidth <= 0 || sprite.spriteHeight <= 0) break;
      if (sprite.spriteFrameImages && sprite.spriteFrameCount > 1) img = &sprite.spriteFrameImages[spriteFrameOf(c, sprite, p)];
      const float sw = 4 * w, sh = 4 * h;
      drawSprite(cv, particleSpace(px, py, p.rotation), roundHalfAway(-sw / 2), roundHalfAway(-sh / 2),
                 roundHalfAway(sw), roundHalfAway(sh), *img, color);
      break;
    }
    case ShapeRing: {
      const float pw = std::max(1.5f, 0.12f * w);
      drawEllipseOutline(cv, px - w / 2, py - h / 2, w, h, pw, color);
      const int32_t Ai = rnd(A * 0.4f);
      if (Ai > 0) {
        const float d = 0.7f * w;
        drawEllipseOutline(cv, px - d / 2, py - d / 2, d, d, pw / 2, Rgba{Ai, R, G, B});
      }
      break;
    }
    default:  // circle, and any code not listed
      if (softGlow && h >= 3)
        fillSoftEllipse(cv, frameSpace(), px - w / 2, py - h / 2, w, h, color);
      else
        fillEllipse(cv, frameSpace(), px - w / 2, py - h / 2, w, h, color);
      break;
  }
}

// Particle i's streak through its trail samples, from its head (hx, hy) back to the samples
// config.trailSeconds old: segment by segment, the width falls from the head's drawn size and
// the opacity from its opacity A, both to 0 at the tail. A width under a pixel is drawn one pixel
// wide at that share of the opacity.
void drawTrail(Canvas& cv, const ParticleSystem& e, int32_t i, float hx, float hy, float width, int32_t A,
               int32_t R, int32_t G, int32_t B) {
  const float span = e.config.trailSeconds;
  const int32_t n = e.trailCount[i];
  if (!(span > 0) || n <= 0 || e.trailHead < 0 || e.trailHead >= TrailSamples) return;
  float x0 = hx, y0 = hy, age0 = 0;
  for (int32_t s = 0; s < n; ++s) {
    const int32_t slot = (e.trailHead - s + TrailSamples) % TrailSamples;
    float x1 = e.trailX[i][slot], y1 = e.trailY[i][slot];
    float age1 = e.elapsed - e.trailTime[slot];
    const bool tail = !(age1 < span);
    if (tail) {  // cut where the sample is span old
      const float t = age1 > age0 ? (span - age0) / (age1 - age0) : 0.0f;
      x1 = x0 + (x1 - x0) * t;
      y1 = y0 + (y1 - y0) * t;
      age1 = span;
    }
    const float k = 1 - (age0 + age1) / (2 * span);  // what is left of the head over the segment
    float w = width * k;
    int32_t a = rnd(A * k);
    if (w < 1) {
      a = rnd(a * w);
      w = 1;
    }
    if (a > 0 && k > 0) drawLine(cv, frameSpace(), x0, y0, x1, y1, w, Rgba{a, R, G, B});
    if (tail) break;
    x0 = x1;
    y0 = y1;
    age0 = age1;
  }
}

}  // namespace

void attachFrameBuffer(FrameBuffer& f, uint32_t* pixels, int32_t width, int32_t height) {
  f.pixelBits = pixels;
  f.frameWidth = width;
  f.frameHeight = height;
  f.drawnValid = 0;
}

void renderFrame(const ParticleSystem& e, const Sprite& sprite, FrameBuffer& f, float fadeAmount,
                 DrawBudget* budget) {
  const int32_t W = f.frameWidth, H = f.frameHeight;
  if (!f.pixelBits || W < 1 || H < 1) return;

  // Clear what the last frame drew (the rest is still clear), or everything when unknown.
  if (f.drawnValid)
    clearRect(f.pixelBits, W, std::max(0, f.drawnX0), std::max(0, f.drawnY0), std::min(W, f.drawnX1),
              std::min(H, f.drawnY1));
  else
    std::memset(f.pixelBits, 0, static_cast<size_t>(W) * H * 4);

  Canvas cv = makeCanvas(f.pixelBits, W, H);
  const EmitterConfig& c = e.config;
  const bool softGlow = c.glowSoftness > 0.3f;
  const bool spriteShape = c.shape == ShapeSprite;
  const bool spriteUsable = spriteShape && sprite.spriteImage;
  const float Wf = static_cast<float>(W), Hf = static_cast<float>(H);

  // Per-frame constants of the opacity pipeline.
  const bool pulse = c.pulseSpeed > 0 && c.pulseAmount > 0;
  const bool feather = c.feather > 0;
  const float fx = c.feather <= 1 ? c.feather * Wf : c.feather;
  const float fy = c.feather <= 1 ? c.feather * Hf : c.feather;
  float bandLo = 0, bandHi = 0, bandL = 0;
  const bool band = feather && c.taper > 0 && c.taper <= 1 && (c.taperEdge == 0 || c.taperEdge == 1);
  if (band) {
    bandLo = Hf * std::max(0.0f, c.emitY - c.emitH / 2);
    bandHi = Hf * std::min(1.0f, c.emitY + c.emitH / 2);
    if (bandHi - bandLo > 0) bandL = std::min(fy, 0.9f * (bandHi - bandLo));
  }
  // A fading effect is drawn at what is left of its opacity.
  const bool fade = fadeAmount > 0;
  const float fadeLeft = fade ? 1 - std::min(fadeAmount, 1.0f) : 1;
  const bool trails = c.trailSeconds > 0;
  const bool twinkle = c.twinkleSpeed > 0 && c.twinkleAmount > 0;
  const float twinkleBase = twinkle ? twinkleAngle(currentTickMs(), c.twinkleSpeed) : 0.0f;

  // Slot order from drawResumeSlot, once round: without a budget (and in every frame that one
  // never cut short) that is plain slot order from 0, the order the look depends on.
  int32_t i = budget && f.drawResumeSlot > 0 && f.drawResumeSlot < MaxParticles ? f.drawResumeSlot : 0;
  f.drawResumeSlot = 0;
  int32_t visited = 0;
  float unclocked = 0;  // pixels of bounding boxes drawn since the budget's clock was last read
  for (int32_t n = 0; n < MaxParticles && visited < e.aliveCount; ++n, i = i + 1 == MaxParticles ? 0 : i + 1) {
    const Particle& p = e.particles[i];
    if (!p.active) continue;
    ++visited;

    const float px = p.x, py = p.y;
    const float d = 2 * p.size, w = d * c.stretch, h = d;
    float mx = w / 2, my = h / 2;
    if (spriteShape) mx *= 4, my *= 4;
    if (px + mx < 0 || px - mx > Wf || py + my < 0 || py - my > Hf) continue;

    int32_t A = rnd(p.alpha * 255);
    if (A == 0) continue;
    if (pulse) {
      A = rnd(A * (1 + c.pulseAmount * std::sin(e.elapsed * c.pulseSpeed * 6.2831853f + p.phase)));
      if (A == 0) continue;
    }
    if (feather) {
      const float reachX = p.size * std::min(c.stretch, 2.0f);
      const float ex = fx + reachX, ey = fy + p.size;
      float f = 1;
      if (ex > 0) {
        if (px < ex) f = std::min(f, px / ex);
        if (Wf - px < ex) f = std::min(f, (Wf - px) / ex);
      }
      if (ey > 0) {
        if (py < ey) f = std::min(f, py / ey);
        if (Hf - py < ey) f = std::min(f, (Hf - py) / ey);
      }
      f = f < 0 ? 0 : (f > 1 ? 1 : f);
      A = rnd(A * f * f);
      if (A == 0) continue;
    }
    if (band && bandL > 0) {
      float k = 1;
      if (c.taperEdge == 0) {
        if (py <= bandHi && bandHi - py < bandL) k = (bandHi - py) / bandL;
      } else if (py >= bandLo && py - bandLo < bandL) {
        k = (py - bandLo) / bandL;
      }
      if (k < 1) {
        k = std::max(k, 0.0f);
        A = rnd(A * k * k);
        if (A == 0) continue;
      }
    }
    const int32_t R = clampInt(p.curR, 0, 255), G = clampInt(p.curG, 0, 255), B = clampInt(p.curB, 0, 255);
    if (twinkle) {
      A = rnd(A * (1 - c.twinkleAmount * 0.5f * (1 - std::sin(twinkleBase + p.phase))));
      if (A == 0) continue;
    }
    if (fade) {
      A = rnd(A * fadeLeft);
      if (A == 0) continue;
    }
    if (spriteShape && !spriteUsable) continue;
    if (trails && e.trailCount[i] > 0) drawTrail(cv, e, i, px, py, d, A, R, G, B);
    drawParticle(cv, e, sprite, p, softGlow, w, h, A, R, G, B);
    if (!budget) continue;
    // The clock is read once the particles drawn since the last reading may have covered a
    // small frame's worth of pixels: every particle when they are huge, rarely when they are
    // small, so that reading it costs next to nothing in an ordinary frame.
    unclocked += std::min(2 * mx, Wf) * std::min(2 * my, Hf) + BudgetParticleCost;
    if (trails) unclocked += static_cast<float>(e.trailCount[i]) * BudgetParticleCost;
    if (unclocked < BudgetClockPixels) continue;
    unclocked = 0;
    if (budget->nowUs() <= budget->deadlineUs && !(budget->stop && *budget->stop)) continue;
    budget->exhausted = 1;
    if (visited < e.aliveCount) f.drawResumeSlot = i + 1 == MaxParticles ? 0 : i + 1;
    break;
  }

  // Additive brightening: alpha + alpha / 4, capped, on every drawn pixel (untouched ones are 0).
  if (c.additiveBlend != 0 && !spriteShape && cv.touchedX0 < cv.touchedX1)
    brightenRect(cv, cv.touchedX0, cv.touchedY0, cv.touchedX1, cv.touchedY1);

  f.drawnValid = 1;
  f.drawnX0 = cv.touchedX0; f.drawnY0 = cv.touchedY0;
  f.drawnX1 = cv.touchedX1; f.drawnY1 = cv.touchedY1;
}
