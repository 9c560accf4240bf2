// The record of one running effect and the registry of all of them, keyed by rectKey.
// Window, bitmap and image handles are opaque pointer-sized fields so the record stays portable;
// the Win32 layer casts them. The registry owns every Emitter in place (map nodes never move).
// Every use of the registry and its entries happens under the engine lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "config/emitter_config.h"
#include "engine/particle.h"

struct SpriteImage;

struct Emitter {
  std::string rectName;          // rectangle name exactly as the caller gave it
  void* hostRectWindow;          // window of the host Rectangle object
  void* overlay;                 // the overlay window; null when none
  EmitterConfig config;          // the effect's parameters
  std::string presetText;        // preset name as the caller gave it
  std::string presetName;        // preset name lower-cased
  Particle particles[MaxParticles];  // fixed pool; a slot is free while active is 0
  int32_t aliveCount;            // live particles after the last update
  int32_t freeSlotHint;          // slot index: every slot below it is live (spawn scans from here)
  float spawnAccumulator;        // fractional particles carried between frames
  void* frameBitmap;             // 32-bit DIB section holding the frame; null when none
  uint32_t* pixelBits;           // pixel memory of frameBitmap, 0xAARRGGBB premultiplied
  int32_t frameWidth;            // pixels
  int32_t frameHeight;           // pixels
  int32_t baseHeight;            // frame height at the first update; 0 until then
  int32_t renderingEnabled;      // 1 while updated, drawn and presented
  int32_t emissionDone;          // 1 once a burst has been emitted
  uint32_t lastTickMs;           // tick count (ms) of the last frame step
  float elapsed;                 // seconds of animation time
  int32_t rectWidth;             // client width of the rectangle window last seen, pixels
  int32_t rectHeight;            // client height of the rectangle window last seen, pixels
  int32_t inFront;               // 1: overlay topmost; 0: at the bottom of the window order
  float prewarmSeconds;          // seconds a continuous effect runs unseen before its first frame
  int32_t fadeOutMs;             // milliseconds a Stop by name fades it over; 0: stops at once
  int32_t fading;                // 1 from such a Stop until released: nothing more is emitted
  uint32_t fadeStartMs;          // tick count (ms) when the fade began
  float fadeAmount;              // 0-1, how far the fade has gone: drawn at (1 - it) opacity
  std::string spritePath;        // sprite path as given; empty when none
  SpriteImage* spriteImage;      // loaded sprite pixels, owned; null when none
  int32_t spriteWidth;           // pixels
  int32_t spriteHeight;          // pixels
  int32_t spriteFailed;          // 1 when the last sprite load reported why it failed
  // The rectangle of pixels the last rendered frame may have drawn into, so that the next frame
  // clears only that (x1, y1 exclusive). drawnValid 0: unknown, clear the whole buffer. Whoever
  // writes the buffer other than renderFrame, or replaces it, sets drawnValid to 0.
  int32_t drawnValid;
  int32_t drawnX0, drawnY0, drawnX1, drawnY1;  // pixels
  // Particle slot the next frame starts drawing at: 0, or the slot after the last one drawn in a
  // frame that the tick's drawing budget cut short (render/render_frame.h).
  int32_t drawResumeSlot;
  // Presentation (the Win32 overlay's own bookkeeping; zero is "nothing presented yet").
  void* presentDc;               // memory device context holding frameBitmap; null until used
  void* presentDcBitmap;         // the bitmap selected into presentDc (a new frameBitmap differs)
  int32_t presentedValid;        // 1 while the overlay shows the frame presented last, placed
  int32_t presentedX0, presentedY0, presentedX1, presentedY1;  // what that frame drew, pixels
  int32_t placeX, placeY;        // screen position last asked of the overlay window, pixels
  int32_t placeW, placeH;        // size last asked of it, pixels; placeW 0: ask at next frame
  int32_t placeWaitFrames;       // presented frames to wait for that request before asking again
  int32_t orderCheckFrames;      // presented frames until an in-front overlay's order is checked
};

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
