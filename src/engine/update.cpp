// updateParticles: ages, pushes, moves, turns and recolours every live particle of a particle system,
// then runs the continuous emission accumulator. All 2000 slots are visited every frame.
#include <cmath>

#include "common/text.h"
#include "engine/engine.h"

static inline float lerpf(float a, float b, float t) { return a + (b - a) * t; }


// One trail sample of every live particle's position before this update moves it, when a
// sample is due: samples trail / (TrailSamples - 1) apart, the one nearest each due time taken,
// at most one per update.
static void sampleTrails(ParticleSystem& system, float dt) {
  const float spacing = system.config.trailSeconds / static_cast<float>(TrailSamples - 1);
  system.trailSince = system.trailSince + dt;
  if (system.trailSince + 0.5f * dt < spacing) return;
  system.trailSince = 0;
  const int32_t head = system.trailHead + 1 < TrailSamples && system.trailHead >= 0 ? system.trailHead + 1 : 0;
  system.trailHead = head;
  system.trailTime[head] = system.elapsed - dt;
  for (int i = 0; i < MaxParticles; ++i) {
    const Particle& p = system.particles[i];
    if (!p.active) continue;
    system.trailX[i][head] = p.x;
    system.trailY[i][head] = p.y;
    if (system.trailCount[i] < TrailSamples) system.trailCount[i] = system.trailCount[i] + 1;
  }
}

int32_t updateLanes() {
#if defined(LUMIVEX_AVX2)
  return processorHasAvx2() ? 8 : 4;
#else
  return 4;
#endif
}

#if defined(LUMIVEX_AVX2)
// The noise pass's pushes for the live particles live[0..n) eight at a time, lane for lane the
// four-lane pass's arithmetic; returns how many it did (whole groups of eight).
AVX2_FN static int32_t noisePushes8(const ParticleSystem& system, const int32_t* live, int32_t n, const float* noise,
                                    float noiseN, float noiseO, float noisePower, float dt, float* pushX,
                                    float* pushY) {
  const __m256 scale = _mm256_set1_ps(noiseN), offset = _mm256_set1_ps(noiseO), shift = _mm256_set1_ps(500.0f);
  const __m256 power = _mm256_set1_ps(noisePower), step = _mm256_set1_ps(dt);
  const __m256 two = _mm256_set1_ps(2.0f), one = _mm256_set1_ps(1.0f);
  // Positions read by gathers: a particle is a whole number of floats, so slot i's x is float
  // i * stride of the pool from the first x, and its y the next float.
  constexpr int32_t stride = sizeof(Particle) / sizeof(float);
  static_assert(sizeof(Particle) % sizeof(float) == 0, "particles are whole floats");
  const float* xs = &system.particles[0].x;
  const float* ys = &system.particles[0].y;
  const __m256i strides = _mm256_set1_epi32(stride);
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const __m256i at = _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(live + k)), strides);
    const __m256 nx = _mm256_add_ps(_mm256_div_ps(_mm256_i32gather_ps(xs, at, 4), scale), offset);
    const __m256 ny = _mm256_add_ps(_mm256_div_ps(_mm256_i32gather_ps(ys, at, 4), scale), offset);
    const __m256 noiseX = sampleNoise8(noise, nx, ny);
    const __m256 noiseY = sampleNoise8(noise, _mm256_add_ps(nx, shift), _mm256_add_ps(ny, shift));
    alignas(32) float px[8], py[8];  // (2 noise - 1) x power x dt
    _mm256_store_ps(px, _mm256_mul_ps(_mm256_mul_ps(_mm256_sub_ps(_mm256_mul_ps(two, noiseX), one), power), step));
    _mm256_store_ps(py, _mm256_mul_ps(_mm256_mul_ps(_mm256_sub_ps(_mm256_mul_ps(two, noiseY), one), power), step));
    for (int j = 0; j < 8; ++j) {
      pushX[live[k + j]] = px[j];
      pushY[live[k + j]] = py[j];
    }
  }
  return k;
}

// The turning pass for the live particles live[0..n) eight at a time, lane for lane the four-lane
// pass; returns how many it did (whole groups of eight).
AVX2_FN static int32_t turnAlong8(ParticleSystem& system, const int32_t* live, int32_t n) {
  constexpr int32_t stride = sizeof(Particle) / sizeof(float);
  const float* vxs = &system.particles[0].vx;
  const float* vys = &system.particles[0].vy;
  const __m256i strides = _mm256_set1_epi32(stride);
  const __m256 sign = _mm256_set1_ps(-0.0f), one = _mm256_set1_ps(1.0f);
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const __m256i at = _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(live + k)), strides);
    const __m256 vx = _mm256_i32gather_ps(vxs, at, 4), vy = _mm256_i32gather_ps(vys, at, 4);
    alignas(32) float deg[8];
    _mm256_store_ps(deg, directionDegrees8(vx, vy));
    // Fast enough to tell a direction: |vx| + |vy| > 1.
    const int fast = _mm256_movemask_ps(
        _mm256_cmp_ps(_mm256_add_ps(_mm256_andnot_ps(sign, vx), _mm256_andnot_ps(sign, vy)), one, _CMP_GT_OS));
    for (int j = 0; j < 8; ++j) {
      Particle& p = system.particles[live[k + j]];
      if (p.active && (fast >> j & 1)) p.rotation = deg[j];
    }
  }
  return k;
}
#endif

float cursorReferenceSpeed(const EmitterConfig& c) {
  float v = std::fabs(c.speedMin) > std::fabs(c.speedMax) ? std::fabs(c.speedMin) : std::fabs(c.speedMax);
  if (!(v > MinCursorSpeed)) v = MinCursorSpeed;
  const float radius = c.cursorRadius > MinCursorRadius ? c.cursorRadius : MinCursorRadius;
  const float crossing = radius / CursorCrossSeconds;
  return v > crossing ? v : crossing;
}

void updateParticles(ParticleSystem& system, float dt, bool emitting, const CursorPoint& cursor) {
  if (system.baseHeight <= 0) system.baseHeight = system.frameHeight > 0 ? system.frameHeight : 1;
  float k = system.baseHeight >= 1
                ? static_cast<float>(system.frameHeight) / static_cast<float>(system.baseHeight)
                : 1.0f;
  if (k <= 0) k = 1;

  // The config is read into locals once: stores to the particles (floats too) would otherwise
  // oblige the compiler to reload every config field for every particle.
  const EmitterConfig& c = system.config;
  const SwayKind sway = system.sway;
  const bool turnsAlong = c.shape == ShapeRay || c.shape == ShapeBeam || c.shape == ShapeLaser;
  const bool spins = c.shape == ShapeRectangle || c.shape == ShapeSprite;
  const float windX = c.windX, windY = c.windY;
  const float noisePower = c.noisePower;
  const float noiseN = c.noiseScale < 1 ? 1.0f : c.noiseScale;
  const float noiseO = system.elapsed * c.noiseSpeed;
  const bool hasMid = c.hasColorMid != 0;
  const int32_t midR = c.colorMidR, midG = c.colorMidG, midB = c.colorMidB;
  const float midPos = c.colorMidPos < 0.001f ? 0.001f : (c.colorMidPos > 0.999f ? 0.999f : c.colorMidPos);
  const float alphaStart = c.alphaStart, alphaEnd = c.alphaEnd;
  const float elapsed = system.elapsed;
  const float drag60 = dt * 60.0f;
  float dragSeen = 2, dragFactor = 1;  // last drag value raised to drag60, and the result
  const float* noise = noiseTable();

  // The cursor's push: away (repel) or towards (attract), strongest at the cursor, none from the
  // radius on. Attract also brakes, so that particles gather instead of swinging through.
  const bool pushes = cursor.present && (c.cursorMode == CursorRepel || c.cursorMode == CursorAttract);
  const float pushSign = c.cursorMode == CursorAttract ? -1.0f : 1.0f;
  const float cursorX = cursor.x, cursorY = cursor.y;
  const float radius = c.cursorRadius > MinCursorRadius ? c.cursorRadius : MinCursorRadius;
  const float reference = pushes ? cursorReferenceSpeed(c) : 0;
  const float pushStrength = CursorPushRate * reference;
  const float speedCap = CursorSpeedCap * reference;
  const float core = c.cursorMode == CursorAttract ? GatherCore * radius : 0;

  // The noise pushes depend only on the positions before this frame's move, so they are worked
  // out in a pass of their own, four live particles at a time where SSE2 is there.
  float pushX[MaxParticles], pushY[MaxParticles];  // noise velocity change per slot, px/s
  const bool noisy = noisePower > 0;
  // Slots of the particles live before this update, in slot order, for the passes that work on
  // four particles at a time.
  int32_t live[MaxParticles];
  int32_t liveCount = 0;
  if (noisy || turnsAlong)
    for (int i = 0; i < MaxParticles; ++i)
      if (system.particles[i].active) live[liveCount++] = i;
  if (noisy) {
    const int32_t n = liveCount;
    int32_t k = 0;
#if defined(LUMIVEX_AVX2)
    if (updateLanes() == 8) k = noisePushes8(system, live, n, noise, noiseN, noiseO, noisePower, dt, pushX, pushY);
#endif
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(noiseN), offset = _mm_set1_ps(noiseO), shift = _mm_set1_ps(500.0f);
    const __m128 power = _mm_set1_ps(noisePower), step = _mm_set1_ps(dt);
    for (; k + 4 <= n; k += 4) {
      const Particle* q[4] = {&system.particles[live[k]], &system.particles[live[k + 1]],
                              &system.particles[live[k + 2]], &system.particles[live[k + 3]]};
      const __m128 nx = _mm_add_ps(_mm_div_ps(_mm_setr_ps(q[0]->x, q[1]->x, q[2]->x, q[3]->x), scale), offset);
      const __m128 ny = _mm_add_ps(_mm_div_ps(_mm_setr_ps(q[0]->y, q[1]->y, q[2]->y, q[3]->y), scale), offset);
      const __m128 two = _mm_set1_ps(2.0f), one = _mm_set1_ps(1.0f);
      alignas(16) float px[4], py[4];
      _mm_store_ps(px, _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(_mm_mul_ps(two, sampleNoise4(noise, nx, ny)), one), power), step));
      _mm_store_ps(py, _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(_mm_mul_ps(two, sampleNoise4(noise, _mm_add_ps(nx, shift),
                                                                                      _mm_add_ps(ny, shift))),
                                                       one),
                                            power),
                                 step));
      for (int j = 0; j < 4; ++j) {
        pushX[live[k + j]] = px[j];
        pushY[live[k + j]] = py[j];
      }
    }
#endif
    for (; k < n; ++k) {
      const Particle& p = system.particles[live[k]];
      const float nx = p.x / noiseN + noiseO;
      const float ny = p.y / noiseN + noiseO;
      pushX[live[k]] = (2 * sampleNoise(noise, nx, ny) - 1) * noisePower * dt;
      pushY[live[k]] = (2 * sampleNoise(noise, nx + 500, ny + 500) - 1) * noisePower * dt;
    }
  }

  if (c.trailSeconds > 0) sampleTrails(system, dt);

  // Deaths that burst, in slot order, spawned once the pass is over.
  const bool bursts = c.deathBurstMax > 0 && emitting;
  DeathSeed deaths[MaxParticles];
  int32_t deathCount = 0;

  int32_t alive = 0;
  int32_t firstFree = MaxParticles;  // the spawn's hint: the lowest slot free after this pass
  for (int i = 0; i < MaxParticles; ++i) {
    if (!system.particles[i].active) {
      if (firstFree == MaxParticles) firstFree = i;
      continue;
    }
    Particle p = system.particles[i];  // worked on in registers, stored back once

    p.life = p.life - dt;
    if (p.life <= 0) {
      if (bursts && !p.child)
        deaths[deathCount++] = {p.x,  p.y, clampInt(p.curR, 0, 255), clampInt(p.curG, 0, 255),
                                clampInt(p.curB, 0, 255), 0.5f * p.sizeStart, 0.5f * p.sizeEnd};
      system.particles[i].active = 0;
      if (firstFree == MaxParticles) firstFree = i;
      continue;
    }
    const float u = 1 - p.life / p.lifeTotal;

    p.vy = p.vy + p.gravity * p.gravityScale * dt;
    if (windX != 0) p.vx = p.vx + windX * dt;
    if (windY != 0) p.vy = p.vy + windY * dt;

    if (noisy) {
      p.vx = p.vx + pushX[i];
      p.vy = p.vy + pushY[i];
    }

    if (pushes) {
      const float dx = p.x - cursorX, dy = p.y - cursorY;
      // The box first: a runaway particle's squares could overflow.
      if (dx < radius && dx > -radius && dy < radius && dy > -radius) {
        const float d2 = dx * dx + dy * dy;
        // At the cursor itself there is no direction to push in.
        if (d2 < radius * radius && d2 > 1e-6f) {
          const float d = std::sqrt(d2);
          const float nearness = 1 - d / radius;  // 1 at the cursor, 0 at the radius
          // Speeds are squared in double: a particle may be far faster than any push.
          const double before2 = static_cast<double>(p.vx) * p.vx + static_cast<double>(p.vy) * p.vy;
          if (d > core) {
            const float f = pushSign * pushStrength * nearness * dt / d;
            p.vx = p.vx + dx * f;
            p.vy = p.vy + dy * f;
          }
          if (pushSign < 0) {
            const float brake = GatherDamping * nearness * dt;
            const float keep = brake < 1 ? 1 - brake : 0;
            p.vx = p.vx * keep;
            p.vy = p.vy * keep;
          }
          const double capped = static_cast<double>(speedCap) * speedCap;
          const double cap2 = before2 > capped ? before2 : capped;
          const double after2 = static_cast<double>(p.vx) * p.vx + static_cast<double>(p.vy) * p.vy;
          if (after2 > cap2) {
            const float scale = static_cast<float>(std::sqrt(cap2 / after2));
            p.vx = p.vx * scale;
            p.vy = p.vy * scale;
          }
        }
      }
    }

    if (p.drag < 1) {
      // Particles of one effect share their drag, so the power is worked out once per value.
      if (p.drag != dragSeen) {
        dragSeen = p.drag;
        dragFactor = std::pow(p.drag, drag60);
      }
      p.vx = p.vx * dragFactor;
      p.vy = p.vy * dragFactor;
    }

    switch (sway) {
      case SwaySnow: p.vx = p.vx + 0.5f * std::sin(12 * u + 0.3f * i); break;
      case SwayBubbles: p.vx = p.vx + 0.8f * std::sin(6 * u + 0.5f * i); break;
      case SwayAurora: p.vx = p.vx + 1.5f * std::sin(0.5f * elapsed + 0.7f * i); break;
      case SwayNone: break;
    }

    p.x = p.x + p.vx * k * dt;
    p.y = p.y + p.vy * k * dt;

    // Long shapes turn along their velocity in a pass of their own, below.
    if (spins) p.rotation = p.rotation + p.spin * dt;

    p.size = lerpf(p.sizeStart, p.sizeEnd, u);

    if (hasMid) {
      if (u < midPos) {
        const float t = u / midPos;
        p.curR = lerpColorChannel(p.startR, midR, t);
        p.curG = lerpColorChannel(p.startG, midG, t);
        p.curB = lerpColorChannel(p.startB, midB, t);
      } else {
        const float t = (u - midPos) / (1 - midPos);
        p.curR = lerpColorChannel(midR, p.endR, t);
        p.curG = lerpColorChannel(midG, p.endG, t);
        p.curB = lerpColorChannel(midB, p.endB, t);
      }
    } else {
      p.curR = lerpColorChannel(p.startR, p.endR, u);
      p.curG = lerpColorChannel(p.startG, p.endG, u);
      p.curB = lerpColorChannel(p.startB, p.endB, u);
    }

    float a = lerpf(alphaStart, alphaEnd, u);
    if (p.fadeIn > 0 && u < p.fadeIn) a = a * u / p.fadeIn;
    if (p.fadeOut > 0 && u > 1 - p.fadeOut) a = a * (1 - u) / p.fadeOut;
    p.alpha = a < 0 ? 0 : (a > 1 ? 1 : a);

    system.particles[i] = p;
    ++alive;
  }
  system.aliveCount = alive;
  system.freeSlotHint = firstFree;

  // Long shapes point along their velocity (kept while it is too slow to tell a direction).
  if (turnsAlong) {
    int32_t k = 0;
#if defined(LUMIVEX_AVX2)
    if (updateLanes() == 8) k = turnAlong8(system, live, liveCount);
#endif
#if defined(__SSE2__)
    for (; k + 4 <= liveCount; k += 4) {
      Particle* q[4] = {&system.particles[live[k]], &system.particles[live[k + 1]],
                        &system.particles[live[k + 2]], &system.particles[live[k + 3]]};
      alignas(16) float deg[4];
      _mm_store_ps(deg, directionDegrees4(_mm_setr_ps(q[0]->vx, q[1]->vx, q[2]->vx, q[3]->vx),
                                          _mm_setr_ps(q[0]->vy, q[1]->vy, q[2]->vy, q[3]->vy)));
      for (int j = 0; j < 4; ++j)
        if (q[j]->active && std::fabs(q[j]->vx) + std::fabs(q[j]->vy) > 1) q[j]->rotation = deg[j];
    }
#endif
    for (; k < liveCount; ++k) {
      Particle& p = system.particles[live[k]];
      if (p.active && std::fabs(p.vx) + std::fabs(p.vy) > 1) p.rotation = directionDegrees(p.vx, p.vy);
    }
  }

  for (int32_t k = 0; k < deathCount; ++k) spawnDeathBurst(system, deaths[k]);

  // Following the cursor: born round it while it is there, not at all while it is away.
  bool emitsHere = emitting;
  // A system reused for an effect that no longer follows must not keep the last cursor place.
  if (c.cursorMode != CursorFollow) system.emitCentred = 0;
  if (c.cursorMode == CursorFollow) {
    system.emitCentred = cursor.present ? 1 : 0;
    system.emitCentreX = cursor.x;
    system.emitCentreY = cursor.y;
    emitsHere = emitting && cursor.present;
  }
  if (c.burstCount == 0 && !system.emissionDone && emitsHere) {
    float acc = system.spawnAccumulator + c.spawnRate * dt;
    if (acc >= 1) {
      // One spawn per whole unit, subtracting the whole units at once: the same carry as
      // subtracting 1 at a time, but a huge rate cannot keep the timer thread spinning. More
      // than a pool's worth in one frame would only be dropped by the full pool.
      const float whole = std::floor(acc);
      const int n = whole > static_cast<float>(MaxParticles) ? MaxParticles : static_cast<int>(whole);
      for (int s = 0; s < n; ++s) spawnParticle(system);
      acc = std::isfinite(acc) ? acc - whole : 0.0f;
    }
    system.spawnAccumulator = acc;
  }
}
