// Sprite images: loading a picture file into a sprite record (limits, reduction to a working
// size, outcome messages) and releasing it. Decoding is done by a platform codec: GDI+ in the Windows
// build (config/sprite_gdiplus.h), stb_image in the native tools and tests (config/sprite_stb.h).
// A Sprite record owns the SpriteImage its spriteImage points at.
#pragma once

#include <cstdint>
#include <string>

#include "common/error_sink.h"  // where LoadSprite's outcome texts go

constexpr int32_t MaxSpriteFileSide = 4096;  // pixels; wider or taller pictures are refused
constexpr int32_t SpriteWorkingSide = 512;   // pixels; larger pictures are reduced to this

// The pixels the rasterizer draws from: straight (not premultiplied) 0xAARRGGBB, top row first.
struct SpriteImage {
  int32_t width;      // pixels
  int32_t height;     // pixels
  uint32_t* pixels;   // width * height words, owned (delete[])
};

// A zero-filled width x height SpriteImage, or null when a side is below 1 or above
// MaxSpriteFileSide, or there is no memory. Codecs make their results with it; FreeSprite and
// deleteSpriteImage release them.
SpriteImage* newSpriteImage(int32_t width, int32_t height);
void deleteSpriteImage(SpriteImage* image);

// The size a W x H picture is reduced to (longer side 512, halves rounded away from zero, each
// side at least 1); returns 0 when it needs no reduction (both sides at most 512), and then
// rw = w, rh = h.
int spriteReducedSize(int32_t w, int32_t h, int32_t& rw, int32_t& rh);

// A platform decoder. Images are opaque handles of the codec; every image that open or reduce
// hands out is given back exactly once, to finish or to release.
struct SpriteCodec {
  // Starts the graphics library once per process; 0 makes LoadSprite give up silently.
  int (*start)();
  // Decodes the file into image and sets width and height from it; image is null when the file
  // is missing, unreadable or not a picture. Returns 0 only when the path cannot even be handed
  // to the decoder (no memory for its copy): LoadSprite then gives up silently. A codec may hand
  // out an image that only knows its size when the size is beyond MaxSpriteFileSide, since
  // LoadSprite refuses it without reading its pixels.
  int (*open)(const std::string& path, void*& image, int32_t& width, int32_t& height);
  // A new rw x rh image drawn from image with a high-quality bicubic filter, or null when the
  // reduced bitmap or its drawing context cannot be made. image itself stays with the caller
  // either way (LoadSprite releases it once the reduced one exists, and keeps it otherwise).
  void* (*reduce)(void* image, int32_t rw, int32_t rh);
  // Copies the pixels of a width x height image out into a new SpriteImage (null when there is
  // no memory) and releases the codec image either way.
  SpriteImage* (*finish)(void* image, int32_t width, int32_t height);
  // Releases an image that is not finished.
  void (*release)(void* image);
};

// The codec LoadSprite uses; nullptr (the default) makes every load fail silently. The Windows
// layer and the native tools install theirs at start-up.
void setSpriteCodec(const SpriteCodec* codec);


// What an effect holds of its sprite: the picture as loaded, the path it came from, its size,
// and whether the last load failed with a message. Zero-filled: no sprite.
struct Sprite {
  std::string spritePath;        // sprite path as given; empty when none
  SpriteImage* spriteImage;      // loaded sprite pixels, owned; null when none
  int32_t spriteWidth;           // pixels
  int32_t spriteHeight;          // pixels
  int32_t spriteFailed;          // 1 when the last sprite load reported why it failed
  // A sheet of frames cut from the picture once (CutSpriteFrames); null and 0 for one picture.
  SpriteImage* spriteFrameImages;  // spriteFrameCount frames, left to right, top to bottom, owned
  int32_t spriteFrameCount;
  int32_t spriteFrameCols, spriteFrameRows;  // the layout they were cut in
};

// Cuts the held picture into cols x rows equal frames (the remainder pixels of a side that does
// not divide are left out), once: the same layout is kept, another one replaces it. 1 when the
// record holds at least two frames afterwards; a single frame, a layout beyond the picture or
// MaxSpriteFrameSide, no picture or no memory leave none (the whole picture draws).
int CutSpriteFrames(Sprite& sprite, int32_t cols, int32_t rows);
void ClearSpriteFrames(Sprite& sprite);

// The birth places of a picture mask: every pixel of a picture that is at least half opaque, as
// x | y << 16 in the picture's pixels (after the reduction to the working size), so that a birth
// place is one draw from the table. Zero-filled: no mask.
constexpr uint32_t MaskOpaqueAlpha = 128;  // alpha at least this: at least half opaque
struct EmitMask {
  std::string maskPath;     // path as given; empty when none
  uint32_t* maskPoints;     // maskPointCount places, owned (delete[])
  int32_t maskPointCount;
  int32_t maskWidth;        // pixels of the picture the places are in
  int32_t maskHeight;
  int32_t maskFailed;       // 1 when the last load reported why it failed
};

// Loads a mask picture through the sprite codec, with the sprite limits and reduction; 1 when the
// record holds a mask for path afterwards (the same path is not read again). Failures are
// reported through the LastError sink: "Failed to load emit mask: '...'", "Emit mask too large
// (...)" or "Emit mask has no opaque pixels: '...'", and set maskFailed.
int LoadEmitMask(EmitMask& mask, const std::string& path);
void FreeEmitMask(EmitMask& mask);

// Loads path into the sprite record (releasing any previous picture first, unless the same path
// is already held); 1 when the record holds a picture for path afterwards. Reports the outcome
// through the LastError sink: "Loaded sprite: ...", "Failed to load sprite: '...'" or
// "Sprite too large (...)"; a picture that decodes but whose pixels cannot be copied out reports
// "Failed to load sprite: '...'" too. spriteFailed is 1 afterwards exactly when a failure was
// reported (the plug-in's start then leaves that text in LastError). An empty path, a codec that
// cannot start or no memory for the path copy fail without a message. It is the options text's
// default loader for the `sprite` key.
int LoadSprite(Sprite& sprite, const std::string& path);
// Releases the record's picture and clears spritePath, spriteWidth and spriteHeight.
void FreeSprite(Sprite& sprite);
