// The noise table (filled once per process, before any reader, by the LCG seeded 0xDEADBEEF)
// and the smooth value noise read from it.
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

}  // namespace

const float* noiseTable() { return table().values; }

float valueNoise(float x, float y) { return sampleNoise(table().values, x, y); }
