// The record of one running effect and the registry of all of them, keyed by rectKey.
// Window, bitmap and image handles are opaque pointer-sized fields so the record stays portable;
// the Win32 layer casts them. The registry owns every Emitter in place (map nodes never move).
// Every use of the registry and its entries happens under the engine lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "config/sprite.h"
#include "engine/particle_system.h"
#include "render/presentation.h"
#include "render/render_frame.h"

// The record is composed of the layers' own records, each read and written only by its layer
// and by the runtime that ties them together:
// - system (engine/particle_system.h): the config, the particle pool and what the spawn and the
//   update carry between frames, the frame size they scale by, the preset's sway;
// - frame (render/render_frame.h): the pixels, their size, what the last frame drew, the slot a
//   frame cut short resumes at;
// - presentation (render/presentation.h): the overlay window, the frame bitmap, the memory
//   device context, what the screen shows and the placement and order bookkeeping;
// - sprite (config/sprite.h): the picture, its path and size, its sheet's frames, whether its
//   load failed; mask (config/sprite.h) the same of an emit mask's birth places.
// The rest is the runtime's own: names, host rectangle, rendering flag, tick, fade, z-order.
// Fields kept their names when they moved into the records (emitter.config is now
// emitter.system.config, pixelBits frame.pixelBits, overlay and frameBitmap
// presentation.overlay and presentation.frameBitmap, spriteImage sprite.spriteImage). The
// preset name stays here; what the engine took from it by comparing names each frame is now
// system.sway and system.confettiColors, set once by buildEffect. The fade stays here too: the
// update is told whether to emit, the renderer how far the fade has gone.
// The frame's size is the one truth: the runtime hands it to the system before each spawn and
// update (sizeSystemToFrame).
struct Emitter {
  std::string rectName;          // rectangle name exactly as the caller gave it
  void* hostRectWindow;          // window of the host Rectangle object
  std::string presetText;        // preset name as the caller gave it
  std::string presetName;        // preset name lower-cased
  ParticleSystem system;         // the engine's record
  FrameBuffer frame;             // the renderer's record
  Presentation presentation;     // the overlay's record
  Sprite sprite;                 // the loaded sprite
  EmitMask mask;                 // the birth places of emitShape=mask (system.mask points here)
  int32_t renderingEnabled;      // 1 while updated, drawn and presented
  uint32_t lastTickMs;           // tick count (ms) of the last frame step
  int32_t rectWidth;             // client width of the rectangle window last seen, pixels
  int32_t rectHeight;            // client height of the rectangle window last seen, pixels
  int32_t inFront;               // 1: overlay topmost; 0: at the bottom of the window order
  float prewarmSeconds;          // seconds a continuous effect runs unseen before its first frame
  int32_t fadeOutMs;             // milliseconds a Stop by name fades it over; 0: stops at once
  int32_t fading;                // 1 from such a Stop until released: nothing more is emitted
  uint32_t fadeStartMs;          // tick count (ms) when the fade began
  float fadeAmount;              // 0-1, how far the fade has gone: drawn at (1 - it) opacity
  // The reader: where the cursor is this step and a click to burst at, set by whoever steps the
  // emitter (the shared timer from the screen, the preview from its pane, lumivex-render from a
  // replayed path) and taken by advanceEmitterBy.
  CursorPoint cursor;            // in frame pixels, or absent
  int32_t clicked;               // 1: a left click at clickX, clickY waits to burst
  float clickX, clickY;          // frame pixels
  // The end: the line of host script run once the effect ends by itself (`onEnd`), and whether
  // it has (a burst's last particle gone, a fade-out over; set on the thread that steps it).
  std::string onEndAction;       // empty: none
  int32_t endedByItself;         // 1 once ended by itself; the host's thread then releases it
  // Reduced motion: animationsOff is what the machine said when the effect started (set before
  // startParticles); unless motionAlways, the effect is then held still (MotionStill*).
  int32_t motionAlways;          // 1: `motion=always`, moves whatever the machine says
  int32_t animationsOff;         // 1: the reader asked Windows not to show animations
  int32_t stillMotion;           // MotionMoving, MotionStillFrame or MotionStillFading
  float stillFadeSeconds;        // a still burst's fade: what was left of its particles' lives
  float stillFadeDone;           // seconds of that fade gone
};

// How an effect moves while the reader has asked for no animations.
enum StillMotionKind {
  MotionMoving,       // as always
  MotionStillFrame,   // a continuous effect: one frame of its steady state, drawn once
  MotionStillFading   // a burst: its fullest frame, fading out over stillFadeSeconds, then ended
};

// The particle system lives in a frame of the frame's size: copied over before the engine spawns
// or updates, so that a frame made, resized or released is what the particles see next.
inline void sizeSystemToFrame(Emitter& e) {
  e.system.frameWidth = e.frame.frameWidth;
  e.system.frameHeight = e.frame.frameHeight;
}

// The registry key of a rectangle name: spaces (code 32) trimmed, then lower-cased.
std::string rectKey(const std::string& rectName);

struct EmitterRegistry {
  std::map<std::string, Emitter> entries;  // rectKey -> emitter, owned in place
};

// Every operation takes the key as already normalised by rectKey.
Emitter* registryFind(EmitterRegistry& registry, const std::string& key);
// A new zero-filled entry; callers remove an existing entry for the key first.
Emitter* registryInsert(EmitterRegistry& registry, const std::string& key);
void registryRemove(EmitterRegistry& registry, const std::string& key);
void registryClear(EmitterRegistry& registry);
int registryIsEmpty(const EmitterRegistry& registry);

// Visits every entry once; the visitor may change an entry but must not insert or remove.
template <typename Visitor>
void registryWalk(EmitterRegistry& registry, Visitor&& visit) {
  for (auto& entry : registry.entries) visit(entry.second);
}
