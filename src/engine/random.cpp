// The engine's random sources: a per-thread PCG32 generator behind randomRange and randomInt.
// The timer thread and an editor's thread never share a state.
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "engine/particle.h"

namespace {

struct Pcg32 {
  uint64_t state;  // LCG state
  uint64_t inc;    // stream selector, always odd
  bool seeded;     // false until the first draw or seedRandom on this thread
};

thread_local Pcg32 tlsRandom = {0, 0, false};

void seedPcg(Pcg32& g, uint64_t seed, uint64_t stream) {
  g.state = 0;
  g.inc = (stream << 1u) | 1u;
  g.state = g.state * 6364136223846793005ull + g.inc;
  g.state += seed;
  g.state = g.state * 6364136223846793005ull + g.inc;
  g.seeded = true;
}

uint32_t nextRandom() {
  Pcg32& g = tlsRandom;
  if (!g.seeded) {
    uint64_t id = std::hash<std::thread::id>()(std::this_thread::get_id());
    uint64_t now = static_cast<uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    seedPcg(g, now ^ (id * 0x9E3779B97F4A7C15ull), id);
  }
  uint64_t old = g.state;
  g.state = old * 6364136223846793005ull + g.inc;
  uint32_t xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
  uint32_t rot = static_cast<uint32_t>(old >> 59u);
  return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
}

// Unbiased uniform integer in 0..bound-1 (Lemire's multiply-and-reject).
uint32_t uniformBelow(uint32_t bound) {
  uint64_t m = static_cast<uint64_t>(nextRandom()) * bound;
  uint32_t low = static_cast<uint32_t>(m);
  if (low < bound) {
    uint32_t threshold = (0u - bound) % bound;
    while (low < threshold) {
      m = static_cast<uint64_t>(nextRandom()) * bound;
      low = static_cast<uint32_t>(m);
    }
  }
  return static_cast<uint32_t>(m >> 32);
}

}  // namespace

void seedRandom(uint64_t seed) { seedPcg(tlsRandom, seed, 0x5851F42D4C957F2Dull); }

float randomRange(float a, float b) {
  if (a >= b) return a;
  const float k = static_cast<float>(uniformBelow(10001));
  return a + (b - a) * k / 10000.0f;
}

int32_t randomInt(int32_t n) {
  if (n <= 0) return 0;
  return static_cast<int32_t>(uniformBelow(static_cast<uint32_t>(n) + 1u));
}
