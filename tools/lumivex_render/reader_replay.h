// A reader replayed frame by frame, so that effects which answer the mouse can be rendered and
// tested without a screen: the cursor's path over the frame and the left clicks, read from
// lumivex-render's command line, handed to the emitter before each step as the shared timer hands
// it the real cursor, and drawn into the written frames as a marker when asked. No state of its
// own: the replay is a plain record in RunArgs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/particle_system.h"

struct Emitter;

// From `frame` on the cursor is at (x, y), moving in a straight line to the next key when that
// one is present too; or it is elsewhere (present 0) until the next key.
struct CursorKey {
  int32_t frame;    // written frame (0 is the first written frame)
  int32_t present;  // 0: the cursor is not over the frame
  float x, y;       // frame pixels
};

// A left click inside the rectangle at the start of `frame`.
struct ClickKey {
  int32_t frame;  // written frame
  float x, y;     // frame pixels
};

struct ReaderReplay {
  std::vector<CursorKey> path;    // frames rising; empty: the cursor is never over the frame
  std::vector<ClickKey> clicks;   // frames rising
  bool marker = false;            // draw the cursor and the clicks into the written frames
};

constexpr int32_t ReplayMaxFrame = 100000;  // the largest frame a key may name
constexpr float MarkerRadius = 7;           // pixels, the cursor's ring
constexpr int32_t ClickMarkFrames = 8;      // frames a click's ripple shows for
constexpr float ClickRippleStart = 3;       // pixels, its radius on the click frame...
constexpr float ClickRippleGrowth = 2;      // ...and its growth per frame after it

// "F:X,Y;F:-;..." (spaces around the parts allowed). 1, or 0 with the problem in `problem`; out
// is replaced only on success. Points are not checked against a frame here (replayFitsFrame).
int parseCursorPath(const std::string& text, std::vector<CursorKey>& out, std::string& problem);
// "F:X,Y;F:X,Y;...". 1, or 0 with the problem.
int parseClicks(const std::string& text, std::vector<ClickKey>& out, std::string& problem);
// 1 when every point of the replay lies in a width x height frame (0-width, 0-height), else 0
// with the first point outside in `problem`.
int replayFitsFrame(const ReaderReplay& replay, int32_t width, int32_t height, std::string& problem);

// Where the cursor is at written frame `frame` (negative for a warm-up frame): absent before the
// first key.
CursorPoint cursorAtFrame(const std::vector<CursorKey>& path, int32_t frame);

// Before the step of written frame `frame`: the emitter's cursor, and a click when one falls on
// that frame (taken by the step).
void applyReplay(const ReaderReplay& replay, int32_t frame, Emitter& emitter);

// The marker of written frame `frame` drawn over a premultiplied ARGB frame: a white ring with a
// dark outline where the cursor is, and for ClickMarkFrames frames after a click a ripple
// spreading from it.
void drawReplayMarker(const ReaderReplay& replay, int32_t frame, uint32_t* pixels, int32_t width, int32_t height);
