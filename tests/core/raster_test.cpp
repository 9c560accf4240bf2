// Probe pixels of the rasterizer's primitives: pixel centres, coverage at edges, fades,
// flat caps, pen widths, rotation, sprite sampling and tint, compositing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "config/sprite.h"
#include "render/raster.h"

namespace {

struct Probe {
  int x, y;
  uint32_t pixel;  // premultiplied 0xAARRGGBB, each byte within 1 (float rounding at exact halves)
};

bool nearPixel(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255);
    if (d < -1 || d > 1) return false;
  }
  return true;
}

struct RasterCase {
  const char* name;
  std::function<void(Canvas&)> draw;
  std::vector<Probe> probes;
};

const Rgba kRed{255, 255, 0, 0};
const Rgba kHalfRed{128, 255, 0, 0};

uint32_t gSpritePixels[4] = {0xFF0000FFu, 0x80FFFFFFu, 0xFF00FF00u, 0x00FF0000u};
SpriteImage gSprite = {2, 2, gSpritePixels};

}  // namespace

TEST(Raster, ProbePixels) {
  const RasterCase cases[] = {
      {"50% red fill covering whole pixels",
       [](Canvas& c) { fillRectangle(c, frameSpace(), -0.5f, -0.5f, 4, 4, kHalfRed); },
       {{0, 0, 0x80800000u}, {3, 3, 0x80800000u}, {4, 0, 0}, {0, 4, 0}}},
      {"pixel centres at integers: a rect from 0 half-covers pixel 0",
       [](Canvas& c) { fillRectangle(c, frameSpace(), 0, 0, 4, 4, kRed); },
       {{1, 1, 0xFFFF0000u}, {0, 1, 0x80800000u}, {4, 1, 0x80800000u}, {0, 0, 0x40400000u}, {5, 1, 0}}},
      {"two half fills compose source-over, alpha included",
       [](Canvas& c) {
         fillRectangle(c, frameSpace(), -0.5f, -0.5f, 2, 2, kHalfRed);
         fillRectangle(c, frameSpace(), -0.5f, -0.5f, 2, 2, kHalfRed);
       },
       {{0, 0, 0xC0C00000u}}},
      {"soft ellipse: full at the centre, half at half radius, nothing at the rim",
       [](Canvas& c) { fillSoftEllipse(c, frameSpace(), 0, 0, 20, 20, Rgba{255, 0, 0, 255}); },
       {{10, 10, 0xFF0000FFu}, {15, 10, 0x80000080u}, {10, 5, 0x80000080u}, {20, 10, 0}, {0, 10, 0}}},
      {"soft ellipse fades alpha only (premultiplied colour follows)",
       [](Canvas& c) { fillSoftEllipse(c, frameSpace(), 0, 0, 20, 10, Rgba{200, 255, 255, 255}); },
       {{10, 5, 0xC8C8C8C8u}, {15, 5, 0x64646464u}, {10, 10, 0}}},
      {"solid ellipse: inside opaque, half at the rim",
       [](Canvas& c) { fillEllipse(c, frameSpace(), 0, 0, 20, 20, kRed); },
       {{10, 10, 0xFFFF0000u}, {19, 10, 0xFFFF0000u}, {20, 10, 0x80800000u}, {21, 10, 0}}},
      {"line with flat caps: nothing beyond the end points",
       [](Canvas& c) { drawLine(c, frameSpace(), 2, 5, 8, 5, 1, kRed); },
       {{5, 5, 0xFFFF0000u}, {2, 5, 0x80800000u}, {8, 5, 0x80800000u}, {1, 5, 0}, {9, 5, 0}, {5, 6, 0}, {5, 4, 0}}},
      {"thin pens draw one pixel wide",
       [](Canvas& c) { drawLine(c, frameSpace(), 2, 5, 8, 5, 0.3f, kRed); },
       {{5, 5, 0xFFFF0000u}, {5, 6, 0}}},
      {"wide line: whole pixels inside, half pixels at its sides",
       [](Canvas& c) { drawLine(c, frameSpace(), 0, 5, 10, 5, 2, kRed); },
       {{5, 5, 0xFFFF0000u}, {5, 4, 0x80800000u}, {5, 6, 0x80800000u}, {5, 3, 0}, {5, 7, 0}}},
      {"wide line between pixel centres",
       [](Canvas& c) { drawLine(c, frameSpace(), 0, 5.5f, 10, 5.5f, 2, kRed); },
       {{5, 5, 0xFFFF0000u}, {5, 6, 0xFFFF0000u}, {5, 4, 0}, {5, 7, 0}}},
      {"rotated space: a line along local x drawn downwards",
       [](Canvas& c) { drawLine(c, particleSpace(10, 10, 90), 0, 0, 5, 0, 1, kRed); },
       {{10, 12, 0xFFFF0000u}, {10, 9, 0}, {10, 16, 0}, {12, 12, 0}}},
      {"ring: pen centred on the ellipse",
       [](Canvas& c) { drawEllipseOutline(c, 10, 10, 20, 20, 2, kRed); },
       {{30, 20, 0xFFFF0000u}, {31, 20, 0x80800000u}, {29, 20, 0x80800000u}, {32, 20, 0}, {28, 20, 0},
        {20, 20, 0}, {20, 10, 0xFFFF0000u}}},
      {"rotated rectangle corners",
       [](Canvas& c) { fillRectangle(c, particleSpace(10, 10, 90), -5, -1, 10, 2, kRed); },
       {{10, 14, 0xFFFF0000u}, {10, 6, 0xFFFF0000u}, {10, 16, 0}, {12, 10, 0}, {9, 10, 0x80800000u},
        {11, 10, 0x80800000u}}},
      {"45 degree rectangle: corners cut, centre full",
       [](Canvas& c) { fillRectangle(c, particleSpace(20, 20, 45), -5, -5, 10, 10, kRed); },
       {{20, 20, 0xFFFF0000u}, {20, 26, 0xFFFF0000u}, {26, 26, 0}, {15, 15, 0}, {20, 28, 0}}},
      {"sprite: nearest texel, tinted in straight colour, then premultiplied",
       [](Canvas& c) { drawSprite(c, frameSpace(), 0, 0, 4, 4, gSprite, Rgba{255, 255, 0, 255}); },
       {{0, 0, 0xFF0000FFu}, {1, 1, 0xFF0000FFu}, {2, 0, 0x80800080u}, {3, 1, 0x80800080u},
        {0, 2, 0xFF000000u}, {2, 3, 0}, {4, 0, 0}}},
      {"sprite faded by its alpha",
       [](Canvas& c) { drawSprite(c, frameSpace(), 0, 0, 2, 2, gSprite, Rgba{128, 255, 255, 255}); },
       {{0, 0, 0x80000080u}, {1, 0, 0x40404040u}, {0, 1, 0x80008000u}}},
      {"sprite destination rounded to pixels, rotated half a turn",
       [](Canvas& c) { drawSprite(c, particleSpace(10, 10, 180), -2, -2, 4, 4, gSprite, Rgba{255, 255, 255, 255}); },
       {{11, 11, 0xFF0000FFu}, {12, 12, 0xFF0000FFu}, {12, 9, 0xFF00FF00u}, {9, 12, 0x80808080u},
        {8, 12, 0}, {13, 12, 0}}},
      {"shapes clip at the canvas edges",
       [](Canvas& c) { fillEllipse(c, frameSpace(), -15, -15, 30, 30, kRed); },
       {{0, 0, 0xFFFF0000u}, {14, 0, 0xFFFF0000u}, {15, 0, 0x80800000u}, {16, 0, 0}}},
  };
  for (const RasterCase& k : cases) {
    SCOPED_TRACE(k.name);
    std::vector<uint32_t> buf(40 * 40, 0);
    Canvas cv = makeCanvas(buf.data(), 40, 40);
    k.draw(cv);
    for (const Probe& p : k.probes) {
      char want[16], got[16];
      std::snprintf(want, sizeof want, "%08X", p.pixel);
      std::snprintf(got, sizeof got, "%08X", buf[p.y * 40 + p.x]);
      EXPECT_TRUE(nearPixel(buf[p.y * 40 + p.x], p.pixel))
          << "at (" << p.x << ", " << p.y << "): " << got << ", want " << want;
    }
    // Nothing outside the touched box was written.
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 40; ++x) {
        if (buf[y * 40 + x]) {
          ASSERT_TRUE(x >= cv.touchedX0 && x < cv.touchedX1 && y >= cv.touchedY0 && y < cv.touchedY1)
              << x << "," << y;
        }
      }
    }
  }
}

// A particle's space turns by its own cosine and sine: the floats of the library's
// double-precision functions (a sweep of eight hundred thousand angles, all of them the same here;
// never more than one float step away), quarter turns exactly onto the axes however far round,
// and NaN for angles that are not numbers.
TEST(Raster, ParticleSpaceTurnsAsTheLibraryDoes) {
  int same = 0, total = 0;
  for (int i = -400000; i <= 400000; ++i) {
    const float degrees = i * 0.01731f;
    const LocalSpace sp = particleSpace(1, 2, degrees);
    const double r = static_cast<double>(degrees) * 3.14159265358979323846 / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    const float wantC = std::fabs(c) < 1e-7 ? 0.0f : static_cast<float>(c);
    const float wantS = std::fabs(s) < 1e-7 ? 0.0f : static_cast<float>(s);
    ASSERT_LE(std::fabs(sp.c - wantC), 6e-8f) << degrees;
    ASSERT_LE(std::fabs(sp.s - wantS), 6e-8f) << degrees;
    same += sp.c == wantC && sp.s == wantS;
    ++total;
  }
  EXPECT_EQ(same, total);
  struct Turn { float degrees, c, s; };
  const Turn turns[] = {{0, 1, 0},     {90, 0, 1},   {180, -1, 0},     {270, 0, -1},   {-90, 0, -1},
                        {360, 1, 0},   {-450, 0, -1}, {9e6f, 1, 0},    {-9e6f + 90, 0, 1}};
  for (const Turn& t : turns) {
    const LocalSpace sp = particleSpace(1, 2, t.degrees);
    EXPECT_EQ(sp.c, t.c) << t.degrees;
    EXPECT_EQ(sp.s, t.s) << t.degrees;
    EXPECT_EQ(sp.ox, 1);
    EXPECT_EQ(sp.oy, 2);
  }
  const LocalSpace bad = particleSpace(0, 0, NAN);
  EXPECT_TRUE(std::isnan(bad.c) && std::isnan(bad.s));
}

TEST(Raster, DegenerateShapesDrawNothing) {
  std::vector<uint32_t> buf(16 * 16, 0);
  Canvas cv = makeCanvas(buf.data(), 16, 16);
  fillEllipse(cv, frameSpace(), 2, 2, 0, 5, kRed);
  fillSoftEllipse(cv, frameSpace(), 2, 2, 5, -1, kRed);
  fillRectangle(cv, frameSpace(), 2, 2, 5, 0, kRed);
  drawLine(cv, frameSpace(), 3, 3, 3, 3, 4, kRed);
  fillEllipse(cv, frameSpace(), 100, 100, 5, 5, kRed);
  fillEllipse(cv, frameSpace(), NAN, 3, 5, 5, kRed);
  fillEllipse(cv, frameSpace(), 2, 2, 5, 5, Rgba{0, 255, 0, 0});
  for (uint32_t v : buf) ASSERT_EQ(v, 0u);
  EXPECT_GE(cv.touchedX0, cv.touchedX1);
}

TEST(Raster, TinyEllipseCoversLittle) {
  std::vector<uint32_t> buf(8 * 8, 0);
  Canvas cv = makeCanvas(buf.data(), 8, 8);
  fillEllipse(cv, frameSpace(), 3.7f, 3.7f, 0.6f, 0.6f, kRed);
  const uint32_t a = buf[4 * 8 + 4] >> 24;
  EXPECT_GT(a, 40u);
  EXPECT_LT(a, 120u);
}

TEST(Raster, HaloAndCoreInOnePassEqualTwoPasses) {
  const Rgba halo{150, 255, 240, 200}, core{255, 255, 255, 255}, dim{3, 255, 255, 255};
  struct Case { float degrees; Rgba outer, inner; };
  for (Case k : {Case{0, halo, core}, Case{37, halo, core}, Case{90, halo, core}, Case{200, dim, core},
                 Case{-15, halo, Rgba{0, 1, 2, 3}}}) {
    std::vector<uint32_t> one(64 * 48, 0x20102040u), two(64 * 48, 0x20102040u);
    Canvas a = makeCanvas(one.data(), 64, 48), b = makeCanvas(two.data(), 64, 48);
    const LocalSpace sp = particleSpace(31.3f, 22.7f, k.degrees);
    fillSoftEllipsePair(a, sp, -25, 0, 50, 14, k.outer, 6, k.inner);
    fillSoftEllipse(b, sp, -25, -7, 50, 14, k.outer);
    fillSoftEllipse(b, sp, -25, -3, 50, 6, k.inner);
    drawLinePair(a, sp, -20, 3, 24, -5, 7, k.outer, 2.5f, k.inner);
    drawLine(b, sp, -20, 3, 24, -5, 7, k.outer);
    drawLine(b, sp, -20, 3, 24, -5, 2.5f, k.inner);
    EXPECT_EQ(one, two) << k.degrees;
  }
}

// A fan of line pairs drawn in one call (the rays of a burst) against the same lines drawn one
// by one, on both group widths: some rays run off the canvas, and the cases without a shared
// set-up (a transparent layer, a core wider than the halo, a zero length) are among them.
TEST(Raster, LinePairFanEqualsLinesOneByOne) {
  const Rgba halo{150, 255, 240, 200}, core{255, 255, 255, 255};
  struct Case { float length, outerWidth; Rgba outer; float innerWidth; Rgba inner; };
  const Case cases[] = {{11, 5.6f, halo, 2, core},       {30, 9, halo, 3.5f, Rgba{90, 10, 200, 30}},
                        {3, 1.5f, halo, 0.5f, core},     {11, 5.6f, Rgba{0, 1, 2, 3}, 2, core},
                        {11, 2, halo, 5, core},          {0, 5.6f, halo, 2, core}};
  for (int32_t lanes : {4, 8}) {
    setRasterLanes(lanes);
    for (const Case& k : cases) {
      LocalSpace rays[13];
      for (int j = 0; j < 13; ++j) rays[j] = particleSpace(9.5f + j * 3.1f, 6.25f + j * 1.7f, -40 + 360.0f * j / 13);
      std::vector<uint32_t> one(48 * 40, 0x20102040u), two(48 * 40, 0x20102040u);
      Canvas a = makeCanvas(one.data(), 48, 40), b = makeCanvas(two.data(), 48, 40);
      drawLinePairs(a, rays, 13, 0, 0, k.length, 0, k.outerWidth, k.outer, k.innerWidth, k.inner);
      for (const LocalSpace& sp : rays) drawLinePair(b, sp, 0, 0, k.length, 0, k.outerWidth, k.outer, k.innerWidth, k.inner);
      EXPECT_EQ(one, two) << lanes << " lanes, length " << k.length;
      if (k.length > 0) {
        EXPECT_NE(one, std::vector<uint32_t>(48 * 40, 0x20102040u)) << k.length;
      }
      EXPECT_EQ(a.touchedX0, b.touchedX0);
      EXPECT_EQ(a.touchedY0, b.touchedY0);
      EXPECT_EQ(a.touchedX1, b.touchedX1);
      EXPECT_EQ(a.touchedY1, b.touchedY1);
    }
  }
  setRasterLanes(8);
}

// Nearest-neighbour sprite drawing worked out pixel by pixel, the plain way, as a reference for
// the vector path: inverse-map the pixel centre, pick the texel, tint it, composite it.
TEST(Raster, SpriteMatchesPlainReference) {
  uint32_t texels[17 * 13];
  for (int i = 0; i < 17 * 13; ++i)
    texels[i] = (static_cast<uint32_t>((i * 37) % 256) << 24) | (static_cast<uint32_t>((i * 11) % 256) << 16) |
                (static_cast<uint32_t>((i * 53) % 256) << 8) | static_cast<uint32_t>((i * 29) % 256);
  const SpriteImage img = {17, 13, texels};
  const Rgba tint{200, 255, 128, 64};
  auto round255 = [](uint32_t x) { return (2 * x + 255) / 510; };
  for (float degrees : {0.0f, 30.0f, 90.0f, 211.0f}) {
    std::vector<uint32_t> buf(64 * 64, 0x40201008u), want = buf;
    Canvas cv = makeCanvas(buf.data(), 64, 64);
    const LocalSpace sp = particleSpace(31.5f, 30.25f, degrees);
    drawSprite(cv, sp, -20, -15, 40, 30, img, tint);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const float u = x - sp.ox, v = y - sp.oy;
        const float lx = sp.c * u + (sp.s * v + 20), ly = -sp.s * u + (sp.c * v + 15);
        if (lx < 0 || ly < 0 || lx >= 40 || ly >= 30) continue;
        const int sx = std::min(static_cast<int>(lx * (17.0f / 40)), 16);
        const int sy = std::min(static_cast<int>(ly * (13.0f / 30)), 12);
        const uint32_t t = texels[sy * 17 + sx];
        const uint32_t a = round255((t >> 24) * tint.a);
        const uint32_t c[3] = {round255(((t >> 16) & 255) * tint.r), round255(((t >> 8) & 255) * tint.g),
                               round255((t & 255) * tint.b)};
        uint32_t& d = want[y * 64 + x];
        uint32_t out = (a + round255((d >> 24) * (255 - a))) << 24;
        for (int k = 0; k < 3; ++k) {
          const int shift = 16 - 8 * k;
          out |= (round255(c[k] * a) + round255(((d >> shift) & 255) * (255 - a))) << shift;
        }
        d = out;
      }
    EXPECT_EQ(buf, want) << degrees;
  }
}

// Where the processor has AVX2 the primitives blend eight pixels at a time; the pixels must be
// exactly those of the four-at-a-time groups (and of the pixel-by-pixel tails), for every
// primitive, rotated or not, at the canvas's edges (odd widths put groups and tails everywhere)
// and over what earlier primitives drew; the same for the brightening.
TEST(Raster, EightPixelGroupsDrawExactlyWhatFourPixelGroupsDraw) {
  if (setRasterLanes(8) != 8) GTEST_SKIP() << "no AVX2 here: only the four-pixel groups exist";
  uint32_t texels[7 * 5];
  uint32_t lcg = 17;
  auto next = [&lcg]() { return (lcg = lcg * 1664525u + 1013904223u) >> 8; };  // the high bits
  for (uint32_t& t : texels) t = (next() << 8) ^ next();
  const SpriteImage sprite = {7, 5, texels};
  auto frand = [&next](float lo, float hi) { return lo + (hi - lo) * static_cast<float>(next()) / 16777216.0f; };
  const int sizes[][2] = {{61, 47}, {64, 40}, {9, 9}, {3, 17}};
  for (const auto& size : sizes) {
    const int w = size[0], h = size[1];
    std::vector<uint32_t> four(static_cast<size_t>(w) * h), eight(four.size());
    const uint32_t seed = lcg;
    for (int lanes : {4, 8}) {
      setRasterLanes(lanes);
      lcg = seed;
      std::vector<uint32_t>& pixels = lanes == 4 ? four : eight;
      Canvas cv = makeCanvas(pixels.data(), w, h);
      for (int i = 0; i < 300; ++i) {
        const Rgba c{static_cast<int32_t>(next() % 256), static_cast<int32_t>(next() % 256),
                     static_cast<int32_t>(next() % 256), static_cast<int32_t>(next() % 256)};
        const Rgba c2{static_cast<int32_t>(next() % 256), 255, 40, 7};
        const bool quarter = next() % 4 == 0;
        const LocalSpace sp = particleSpace(frand(-10, w + 10.0f), frand(-10, h + 10.0f),
                                            quarter ? 90.0f * (next() % 4) : frand(0, 360));
        const float a = frand(0.2f, 30), b = frand(0.2f, 12);
        switch (next() % 8) {
          case 0: fillSoftEllipse(cv, sp, -a / 2, -b / 2, a, b, c); break;
          case 1: fillSoftEllipsePair(cv, sp, -a / 2, 0, a, b, c, b / 3, c2); break;
          case 2: fillEllipse(cv, next() % 2 ? sp : frameSpace(), sp.ox - a / 2, sp.oy - b / 2, a, b, c); break;
          case 3: drawEllipseOutline(cv, sp.ox - a / 2, sp.oy - b / 2, a, b, frand(0.5f, 4), c); break;
          case 4: fillRectangle(cv, sp, -a / 2, -b / 2, a, b, c); break;
          case 5: drawLine(cv, sp, 0, 0, a, 0, frand(0.5f, 3), c); break;
          case 6: drawLinePair(cv, sp, 0, 0, a, 0, b / 2, c, b / 6, c2); break;
          default:
            drawSprite(cv, sp, -static_cast<int32_t>(a), -static_cast<int32_t>(b), static_cast<int32_t>(2 * a) + 1,
                       static_cast<int32_t>(2 * b) + 1, sprite, c);
            break;
        }
      }
      brightenRect(cv, 1, 2, w - 1, h);  // the additive look, over odd bounds
    }
    for (size_t k = 0; k < four.size(); ++k)
      ASSERT_EQ(four[k], eight[k]) << w << " x " << h << " pixel " << k % w << ", " << k / w;
  }
  setRasterLanes(8);
}
