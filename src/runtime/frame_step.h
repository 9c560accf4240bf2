// The engine's part of one frame step for one emitter, shared by the plug-in's timer, the
// editors' preview and the tools: measure the time since the emitter's last step on a
// millisecond tick clock, advance the particles, end a finished burst, draw the frame.
#pragma once

#include <cstdint>

struct Emitter;
struct DrawBudget;

constexpr int32_t FrameStepDefaultMs = 16;  // a tick difference of 0 or less counts as this
constexpr int32_t FrameStepMaxMs = 100;     // and a longer one as at most this

// Milliseconds the step since lastTickMs covers: the signed 32-bit difference (so the tick
// count may wrap), stillMs (the timer's period) when it is 0 or less, at most 100.
int32_t frameStepMs(uint32_t nowMs, uint32_t lastTickMs, int32_t stillMs = FrameStepDefaultMs);

// Advances a rendering emitter to nowMs: lastTickMs = nowMs, then advanceEmitterBy the step.
// Returns 1 when a frame was drawn and is to be presented.
int advanceEmitter(Emitter& emitter, uint32_t nowMs, DrawBudget* budget = nullptr);
// The step itself, for a clock of the caller's own: elapsed += stepSeconds, updateParticles, then
// either ends a finished burst (renderingEnabled = 0, nothing drawn) or draws the frame. Returns 1
// when a frame was drawn. With a budget (render/render_frame.h) that is already exhausted the
// particles still move but nothing is drawn (0): the overlay keeps its last frame.
int advanceEmitterBy(Emitter& emitter, float stepSeconds, DrawBudget* budget = nullptr);

// An effect's start once its frame exists: the frame's size handed to the particles, a burst's
// particles spawned (spawnBurst), then a continuous effect prewarmed (prewarmEmitter).
void startParticles(Emitter& emitter);

constexpr int32_t PrewarmFps = 60;  // prewarming steps as the shared timer does at this rate

// A continuous effect is advanced by its prewarmSeconds before it is first shown: updated, never
// drawn, in the whole-millisecond steps a 60 fps tick clock gives (16, 17, 17, ...), so that its
// first frame is the one it would have shown that much later. A burst (burstCount > 0) is left as
// it is; so are lastTickMs and every handle. Returns the number of steps taken.
int32_t prewarmEmitter(Emitter& emitter);
