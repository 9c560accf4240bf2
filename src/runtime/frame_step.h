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
// The step itself, for a clock of the caller's own: elapsed += stepSeconds, updateParticles with
// the emitter's cursor, a waiting click's burst (config.clickBurst), then either ends a finished
// burst (renderingEnabled = 0 and endedByItself = 1, nothing drawn) or draws the frame. A still
// effect (stillMotion) is drawn as holdStill says instead. Returns 1
// when a frame was drawn. With a budget (render/render_frame.h) that is already exhausted the
// particles still move but nothing is drawn (0): the overlay keeps its last frame.
int advanceEmitterBy(Emitter& emitter, float stepSeconds, DrawBudget* budget = nullptr);

// A click waiting to burst (clicked) taken, at most once: config.clickBurst particles burst at
// clickX, clickY, unless the effect is fading (it emits nothing more) or has no click burst.
void takeClick(Emitter& emitter);

// An effect's start once its frame exists: the frame's size handed to the particles, a burst's
// particles spawned (spawnBurst; round the cursor when it follows a present one), then a
// continuous effect prewarmed (prewarmEmitter), then, for a reader who wants no animations
// (animationsOff without motionAlways), the effect held still (holdStill).
void startParticles(Emitter& emitter);

constexpr float StillPrewarmSeconds = 2;    // a still continuous effect's steady state
constexpr float StillSearchSeconds = 10;    // how far into a burst its fullest frame is sought
constexpr float MinStillFadeSeconds = 0.25f;
constexpr float MaxStillFadeSeconds = 5;
// Holds a started effect still: a continuous one prewarmed to at least StillPrewarmSeconds and
// drawn once (MotionStillFrame); a burst advanced, unseen, to its frame with the most particles
// alive (the latest of equals) and then faded over what is left of its longest life
// (MotionStillFading, clamped to 0.25-5 s), after which it ends as a burst does.
void holdStill(Emitter& emitter);

constexpr int32_t PrewarmFps = 60;  // prewarming steps as the shared timer does at this rate

// A continuous effect is advanced by its prewarmSeconds before it is first shown: updated, never
// drawn, in the whole-millisecond steps a 60 fps tick clock gives (16, 17, 17, ...), so that its
// first frame is the one it would have shown that much later. A burst (burstCount > 0) is left as
// it is; so are lastTickMs and every handle. Returns the number of steps taken.
int32_t prewarmEmitter(Emitter& emitter);
