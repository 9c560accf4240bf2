// The replayed reader of lumivex-render: reading a cursor path and clicks from their texts,
// placing the cursor frame by frame, and drawing the marker that shows where it was. No state.
#include "reader_replay.h"

#include <cstdio>
#include <cstdlib>

#include "common/text.h"
#include "render/raster.h"
#include "runtime/emitter.h"

// Whole decimal number 0..ReplayMaxFrame, nothing else.
static int readFrame(const std::string& text, int32_t& frame) {
  if (text.empty() || text.size() > 6) return 0;
  for (char c : text)
    if (c < '0' || c > '9') return 0;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (v > ReplayMaxFrame) return 0;
  frame = static_cast<int32_t>(v);
  return 1;
}

// A plain decimal: digits with an optional fraction, no sign, no exponent (a point of a frame is
// never negative, and a short form keeps paths readable).
static int readCoordinate(const std::string& text, float& v) {
  if (text.empty() || text.size() > 12) return 0;
  int digits = 0, points = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') ++digits;
    else if (c == '.') ++points;
    else return 0;
  }
  if (digits == 0 || points > 1) return 0;
  v = static_cast<float>(std::strtod(text.c_str(), nullptr));
  return 1;
}

// "F:X,Y", or "F:-" where absent is allowed.
static int readKey(const std::string& item, bool absentAllowed, CursorKey& key) {
  const size_t colon = item.find(':');
  if (colon == std::string::npos || !readFrame(trimSpaces(item.substr(0, colon)), key.frame)) return 0;
  const std::string at = trimSpaces(item.substr(colon + 1));
  if (absentAllowed && at == "-") {
    key.present = 0;
    key.x = key.y = 0;
    return 1;
  }
  const size_t comma = at.find(',');
  if (comma == std::string::npos) return 0;
  key.present = 1;
  return readCoordinate(trimSpaces(at.substr(0, comma)), key.x) && readCoordinate(trimSpaces(at.substr(comma + 1)), key.y);
}

// The keys of a replay text in rising frame order.
static int readKeys(const std::string& text, bool absentAllowed, std::vector<CursorKey>& keys, std::string& problem) {
  keys.clear();
  for (const std::string& item : splitText(text, ';')) {
    CursorKey key;
    if (!readKey(item, absentAllowed, key)) {
      problem = "'" + trimSpaces(item) + "' is not " + (absentAllowed ? "F:X,Y or F:-" : "F:X,Y") +
                " (F a frame 0-" + std::to_string(ReplayMaxFrame) + ", X and Y pixels)";
      return 0;
    }
    if (!keys.empty() && key.frame <= keys.back().frame) {
      problem = "frame " + std::to_string(key.frame) + " does not come after frame " + std::to_string(keys.back().frame);
      return 0;
    }
    keys.push_back(key);
  }
  return 1;
}

int parseCursorPath(const std::string& text, std::vector<CursorKey>& out, std::string& problem) {
  std::vector<CursorKey> keys;
  if (!readKeys(text, true, keys, problem)) return 0;
  out = keys;
  return 1;
}

int parseClicks(const std::string& text, std::vector<ClickKey>& out, std::string& problem) {
  std::vector<CursorKey> keys;
  if (!readKeys(text, false, keys, problem)) return 0;
  out.clear();
  for (const CursorKey& k : keys) out.push_back({k.frame, k.x, k.y});
  return 1;
}

static std::string pointText(float x, float y) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g,%g", x, y);
  return buf;
}

int replayFitsFrame(const ReaderReplay& replay, int32_t width, int32_t height, std::string& problem) {
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  const std::string frame = std::to_string(width) + "x" + std::to_string(height) + " frame";
  for (const CursorKey& k : replay.path)
    if (k.present && (k.x > w || k.y > h)) {
      problem = "--cursor point " + pointText(k.x, k.y) + " is outside the " + frame + " (F:- is a cursor elsewhere)";
      return 0;
    }
  for (const ClickKey& k : replay.clicks)
    if (k.x > w || k.y > h) {
      problem = "--clicks point " + pointText(k.x, k.y) + " is outside the " + frame;
      return 0;
    }
  return 1;
}

CursorPoint cursorAtFrame(const std::vector<CursorKey>& path, int32_t frame) {
  CursorPoint at = NoCursor;
  for (size_t i = 0; i < path.size() && path[i].frame <= frame; ++i) {
    const CursorKey& k = path[i];
    if (!k.present) {
      at = NoCursor;
      continue;
    }
    at.present = 1;
    at.x = k.x;
    at.y = k.y;
    // On the way to a next present key: worked out in double from whole frames, so that every
    // run and every machine puts the cursor on the same float.
    if (i + 1 < path.size() && path[i + 1].present && frame > k.frame) {
      const CursorKey& n = path[i + 1];
      const double t = static_cast<double>(frame - k.frame) / static_cast<double>(n.frame - k.frame);
      at.x = static_cast<float>(k.x + (static_cast<double>(n.x) - k.x) * t);
      at.y = static_cast<float>(k.y + (static_cast<double>(n.y) - k.y) * t);
    }
  }
  return at;
}

void applyReplay(const ReaderReplay& replay, int32_t frame, Emitter& e) {
  e.cursor = cursorAtFrame(replay.path, frame);
  for (const ClickKey& k : replay.clicks)
    if (k.frame == frame) {
      e.clicked = 1;
      e.clickX = k.x;
      e.clickY = k.y;
    }
}

// A ring of radius r round (x, y): a dark pen under a thinner white one, so that it shows over
// bright particles and over black alike.
static void drawRing(Canvas& canvas, float x, float y, float r) {
  const Rgba dark = {255, 24, 24, 32}, white = {255, 255, 255, 255};
  drawEllipseOutline(canvas, x - r, y - r, 2 * r, 2 * r, 3.5f, dark);
  drawEllipseOutline(canvas, x - r, y - r, 2 * r, 2 * r, 1.5f, white);
}

void drawReplayMarker(const ReaderReplay& replay, int32_t frame, uint32_t* pixels, int32_t width, int32_t height) {
  Canvas canvas = makeCanvas(pixels, width, height);
  for (const ClickKey& k : replay.clicks) {
    const int32_t age = frame - k.frame;
    if (age >= 0 && age < ClickMarkFrames) drawRing(canvas, k.x, k.y, ClickRippleStart + ClickRippleGrowth * age);
  }
  const CursorPoint at = cursorAtFrame(replay.path, frame);
  if (at.present) drawRing(canvas, at.x, at.y, MarkerRadius);
}
