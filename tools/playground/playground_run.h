// The one effect the playground page plays: built the way Play or PlayAdvanced builds it and
// stepped as `lumivex-render render` steps it (the shared timer's step on a simulated tick
// clock), so that frame N of the page, unpremultiplied, is frame N of lumivex-render with the
// same arguments. Everything the page needs of the Emitter record goes through this file.
// State: the effect, its frame buffers and the simulated clock (one effect at a time).
#pragma once

#include <cstdint>
#include <string>

// What the page asks for: an action's texts and how the effect is run.
struct PlaygroundArgs {
  std::string preset;          // preset name as given
  std::string intensityText;   // as the action receives it; empty means 50
  std::string colorOrOptions;  // Play's override colour or PlayAdvanced's options text
  int advanced;                // 1: PlayAdvanced (options), 0: Play (colour)
  int width, height;           // frame pixels, 1 .. PlaygroundMaxSide
  double fps;                  // frames per second of the simulated clock
  uint64_t seed;               // for the engine's random generator
};

constexpr int PlaygroundMaxSide = 4096;  // pixels; larger sizes are held at this

// Builds and starts the effect, seeded, its clock at 0, prewarmed as the plug-in's start does.
// 1, or 0 when the frame buffer could not be had.
int playgroundStart(const PlaygroundArgs& args);
// Runs the step of the next frame (0, 1, 2, ...) as the shared timer runs it. Once a burst has
// ended the buffer keeps the last drawn frame, as the overlay does.
void playgroundStep();
// The frame stepped last, unpremultiplied RGBA (width x height x 4 bytes, top row first), as
// lumivex-render writes it to PNG.
const uint8_t* playgroundFrameRgba();
int playgroundFrameIndex();    // index of the frame stepped last; -1 before the first step
int playgroundWidth();
int playgroundHeight();
int playgroundLiveParticles(); // particles alive after the last step
