// Sprite loading and release: the checks, the reduction to the working size and the outcome
// texts, over whichever platform codec is installed. State: the installed codec (set once at
// start-up by the layer above); the pictures themselves are owned by the Sprite records that hold them.
#include "config/sprite.h"

#include <cstddef>
#include <new>

#include "common/error_sink.h"
#include "common/text.h"

static const SpriteCodec* gCodec = nullptr;

void setSpriteCodec(const SpriteCodec* codec) { gCodec = codec; }

// A failure the author is told about: the start that follows must leave its text readable.
static void reportFailure(Sprite& sprite, const std::string& message) {
  sprite.spriteFailed = 1;
  reportLastError(message);
}

SpriteImage* newSpriteImage(int32_t width, int32_t height) {
  // No accepted picture is larger, and the bound keeps width * height * 4 bytes (64 MiB at
  // most) within reach of a 32-bit process: new[] must never see a size it cannot represent.
  if (width < 1 || height < 1 || width > MaxSpriteFileSide || height > MaxSpriteFileSide) return nullptr;
  SpriteImage* image = new (std::nothrow) SpriteImage();
  if (!image) return nullptr;
  image->pixels = new (std::nothrow) uint32_t[static_cast<size_t>(width) * static_cast<size_t>(height)]();
  if (!image->pixels) {
    delete image;
    return nullptr;
  }
  image->width = width;
  image->height = height;
  return image;
}

void deleteSpriteImage(SpriteImage* image) {
  if (!image) return;
  delete[] image->pixels;
  delete image;
}

int spriteReducedSize(int32_t w, int32_t h, int32_t& rw, int32_t& rh) {
  rw = w;
  rh = h;
  if (w <= SpriteWorkingSide && h <= SpriteWorkingSide) return 0;
  // The scale stays a single float, as the working size has always been computed; the products
  // are then taken exactly (double holds int x float without rounding) before the rounding.
  const float s = w >= h ? static_cast<float>(SpriteWorkingSide) / static_cast<float>(w)
                         : static_cast<float>(SpriteWorkingSide) / static_cast<float>(h);
  rw = roundHalfAway(static_cast<double>(w) * static_cast<double>(s));
  rh = roundHalfAway(static_cast<double>(h) * static_cast<double>(s));
  if (rw < 1) rw = 1;  // a 3000 x 2 strip would otherwise lose its only row
  if (rh < 1) rh = 1;
  return 1;
}

void FreeSprite(Sprite& sprite) {
  if (sprite.spriteImage) {
    deleteSpriteImage(sprite.spriteImage);
    sprite.spriteImage = nullptr;
  }
  sprite.spriteWidth = 0;
  sprite.spriteHeight = 0;
  sprite.spritePath.clear();
}

static std::string sizeText(int32_t w, int32_t h) { return std::to_string(w) + "x" + std::to_string(h); }

int LoadSprite(Sprite& sprite, const std::string& path) {
  sprite.spriteFailed = 0;
  if (path.empty()) {
    FreeSprite(sprite);
    return 0;
  }
  // The same file is not read again while its picture is held (case counts: paths are compared
  // as given).
  if (sprite.spriteImage && sprite.spritePath == path) return 1;
  // Released before the new file is read, so that a failed load leaves no stale sprite.
  FreeSprite(sprite);

  const SpriteCodec* codec = gCodec;
  if (!codec || !codec->start()) return 0;

  void* picture = nullptr;
  int32_t w = 0, h = 0;
  if (!codec->open(path, picture, w, h)) return 0;
  if (!picture) {
    reportFailure(sprite, "Failed to load sprite: '" + path + "'");
    return 0;
  }
  // A decoder never yields an empty picture; one that did could not be drawn.
  if (w < 1 || h < 1) {
    codec->release(picture);
    reportFailure(sprite, "Failed to load sprite: '" + path + "'");
    return 0;
  }
  if (w > MaxSpriteFileSide || h > MaxSpriteFileSide) {
    codec->release(picture);
    reportFailure(sprite, "Sprite too large (" + sizeText(w, h) + "). Maximum " +
                               sizeText(MaxSpriteFileSide, MaxSpriteFileSide) + "; please resize: '" + path + "'");
    return 0;
  }

  const int32_t w0 = w, h0 = h;
  int reduced = 0;
  int32_t rw = 0, rh = 0;
  if (spriteReducedSize(w, h, rw, rh)) {
    // Without a reduced bitmap the full-size picture is kept: it still draws, only slower.
    void* smaller = codec->reduce(picture, rw, rh);
    if (smaller) {
      codec->release(picture);
      picture = smaller;
      w = rw;
      h = rh;
      reduced = 1;
    }
  }

  // A picture whose pixels cannot be copied out (no memory for them, or the decoder cannot give
  // them) is as unusable as one that does not decode, and the author is told the same.
  SpriteImage* pixels = codec->finish(picture, w, h);
  // The rasterizer reads spriteWidth and spriteHeight as the size of these pixels.
  if (pixels && (pixels->width != w || pixels->height != h)) {
    deleteSpriteImage(pixels);
    pixels = nullptr;
  }
  if (!pixels) {
    reportFailure(sprite, "Failed to load sprite: '" + path + "'");
    return 0;
  }

  sprite.spriteImage = pixels;
  sprite.spriteWidth = w;
  sprite.spriteHeight = h;
  sprite.spritePath = path;
  if (reduced)
    reportLastError("Loaded sprite: " + path + " (resized " + sizeText(w0, h0) + " -> " + sizeText(w, h) +
                  " for performance)");
  else
    reportLastError("Loaded sprite: " + path + " (" + sizeText(w, h) + ")");
  return 1;
}
