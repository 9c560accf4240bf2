// Sprite images: loading a picture file into an emitter (limits, reduction to a working size,
// outcome messages) and releasing it. Decoding is done by a platform codec: GDI+ in the Windows
// build, stb_image in the native tools. The emitter's spriteImage points at a SpriteImage.
#pragma once

#include <cstdint>
#include <string>

struct Emitter;

constexpr int32_t MaxSpriteFileSide = 4096;  // pixels; wider or taller pictures are refused
constexpr int32_t SpriteWorkingSide = 512;   // pixels; larger pictures are reduced to this

// The pixels the rasterizer draws from: straight (not premultiplied) 0xAARRGGBB, top row first.
struct SpriteImage {
  int32_t width;      // pixels
  int32_t height;     // pixels
  uint32_t* pixels;   // width * height words, owned (delete[])
};

// The size a W x H picture is reduced to (longer side 512, halves rounded away from zero, each
// side at least 1); returns 0 when it needs no reduction (both sides at most 512).
int spriteReducedSize(int32_t w, int32_t h, int32_t& rw, int32_t& rh);

// A platform decoder. Images are opaque handles of the codec.
struct SpriteCodec {
  // Starts the graphics library once per process; 0 makes LoadSprite give up silently.
  int (*start)();
  // Decodes the file; null when it cannot be read or is not a picture. Sets its size.
  void* (*open)(const std::string& path, int32_t& width, int32_t& height);
  // A new image of rw x rh drawn from image with a high-quality bicubic filter, or null when
  // the reduced bitmap or its drawing context cannot be made (the caller keeps the original).
  void* (*reduce)(void* image, int32_t rw, int32_t rh);
  // Copies the pixels out into a new SpriteImage (null when there is no memory) and releases
  // the codec image either way.
  SpriteImage* (*finish)(void* image, int32_t width, int32_t height);
  // Releases an image that is not finished.
  void (*release)(void* image);
};

// The codec LoadSprite uses; nullptr (the default) makes every load fail silently. The Windows
// layer and the native tools install theirs at start-up.
void setSpriteCodec(const SpriteCodec* codec);

// Where outcome texts go: the host's LastError variable in the plug-in, stderr in the tools.
typedef void (*LastErrorFn)(const std::string& message);
void setLastErrorSink(LastErrorFn sink);

// Loads path into the emitter (releasing any previous sprite first); 1 when the emitter holds a
// sprite for path afterwards. Reports the outcome through the LastError sink.
int LoadSprite(Emitter& emitter, const std::string& path);
// Releases the emitter's sprite and clears spritePath, spriteWidth and spriteHeight.
void FreeSprite(Emitter& emitter);
