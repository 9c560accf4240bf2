// The engine's random sources: the per-thread PCG32 generator behind randomRange and randomInt
// (the draws themselves are inline in particle.h). The timer thread and an editor's thread never
// share a state.
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "engine/particle.h"

namespace {

struct ThreadRandom {
  RandomState g;
  bool seeded;  // false until the first draw or seedRandom on this thread
};

thread_local ThreadRandom tlsRandom = {{0, 0}, false};

void seedPcg(RandomState& g, uint64_t seed, uint64_t stream) {
  g.state = 0;
  g.inc = (stream << 1u) | 1u;
  g.state = g.state * 6364136223846793005ull + g.inc;
  g.state += seed;
  g.state = g.state * 6364136223846793005ull + g.inc;
}

}  // namespace

RandomState& threadRandom() {
  ThreadRandom& t = tlsRandom;
  if (!t.seeded) {
    uint64_t id = std::hash<std::thread::id>()(std::this_thread::get_id());
    uint64_t now = static_cast<uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    seedPcg(t.g, now ^ (id * 0x9E3779B97F4A7C15ull), id);
    t.seeded = true;
  }
  return t.g;
}

void seedRandom(uint64_t seed) {
  seedPcg(tlsRandom.g, seed, 0x5851F42D4C957F2Dull);
  tlsRandom.seeded = true;
}

float randomRange(float a, float b) { return randomRange(threadRandom(), a, b); }

int32_t randomInt(int32_t n) { return randomInt(threadRandom(), n); }
