// The noise table (filled once per process, before any reader, by the LCG seeded 0xDEADBEEF)
// and the smooth value noise read from it.
#include <cmath>

#include "common/text.h"
#include "engine/engine.h"

namespace {

struct NoiseTableData {
  float values[NoiseTableSide * NoiseTableSide];  // row * 256 + column, each in [0, 1)
  NoiseTableData() {
    uint32_t s = 0xDEADBEEFu;
    for (int k = 0; k < NoiseTableSide * NoiseTableSide; ++k) {
      s = s * 1664525u + 1013904223u;
      values[k] = static_cast<float>(static_cast<double>(s) / 4294967296.0);
    }
  }
};

const NoiseTableData& table() {
  static const NoiseTableData data;  // thread-safe one-time fill
  return data;
}

// Integer part toward zero and the signed fraction. Coordinates no int can hold (or NaN) read as
// the point 0 so that the conversion stays defined; only runaway particles get there.
inline void splitCoord(float v, int32_t& whole, float& frac) {
  if (std::fabs(v) < 2147483520.0f) {
    whole = static_cast<int32_t>(v);
    frac = v - static_cast<float>(whole);
  } else {
    whole = 0;
    frac = 0;
  }
}

}  // namespace

const float* noiseTable() { return table().values; }

float valueNoise(float x, float y) {
  const float* t = table().values;
  int32_t xt, yt;
  float fx, fy;
  splitCoord(x, xt, fx);
  splitCoord(y, yt, fy);
  const int32_t c0 = xt & 255, c1 = (c0 + 1) & 255;
  const int32_t r0 = yt & 255, r1 = (r0 + 1) & 255;
  const float sx = fx * fx * (3 - 2 * fx);
  const float sy = fy * fy * (3 - 2 * fy);
  const float a = t[r0 * NoiseTableSide + c0], b = t[r0 * NoiseTableSide + c1];
  const float c = t[r1 * NoiseTableSide + c0], d = t[r1 * NoiseTableSide + c1];
  return a + (b - a) * sx + (c - a) * sy + (d - b - c + a) * sx * sy;
}

int32_t lerpColorChannel(int32_t a, int32_t b, float t) {
  return a + roundHalfAway(static_cast<float>(b - a) * t);
}
