// Sprite loading and release: the checks, the reduction to the working size and the outcome
// texts, over whichever platform codec is installed. State: the installed codec (set once at
// start-up by the layer above); the pictures themselves are owned by the Sprite records that hold them.
#include "config/sprite.h"

#include <cstddef>
#include <new>

#include "common/error_sink.h"
#include "common/text.h"
#include "config/emitter_config.h"

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
  ClearSpriteFrames(sprite);
}

static std::string sizeText(int32_t w, int32_t h) { return std::to_string(w) + "x" + std::to_string(h); }

// The outcome texts of one kind of picture: the fixed words before the path or the size.
struct PictureTexts {
  const char* failed;    // "Failed to load sprite: '"
  const char* tooLarge;  // "Sprite too large ("
  int reportLoaded;      // 1: a picture that loads is reported too ("Loaded sprite: ...")
};
static const PictureTexts kSpriteTexts = {"Failed to load sprite: '", "Sprite too large (", 1};
static const PictureTexts kMaskTexts = {"Failed to load emit mask: '", "Emit mask too large (", 0};

// Decodes path through the installed codec, reduced to the working size, into sprite (which holds
// nothing on entry): the checks and the outcome texts of every picture Lumivex reads.
static int loadPicture(Sprite& sprite, const std::string& path, const PictureTexts& texts) {
  const SpriteCodec* codec = gCodec;
  if (!codec || !codec->start()) return 0;

  void* picture = nullptr;
  int32_t w = 0, h = 0;
  if (!codec->open(path, picture, w, h)) return 0;
  if (!picture) {
    reportFailure(sprite, texts.failed + path + "'");
    return 0;
  }
  // A decoder never yields an empty picture; one that did could not be drawn.
  if (w < 1 || h < 1) {
    codec->release(picture);
    reportFailure(sprite, texts.failed + path + "'");
    return 0;
  }
  if (w > MaxSpriteFileSide || h > MaxSpriteFileSide) {
    codec->release(picture);
    reportFailure(sprite, texts.tooLarge + sizeText(w, h) + "). Maximum " +
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
    reportFailure(sprite, texts.failed + path + "'");
    return 0;
  }

  sprite.spriteImage = pixels;
  sprite.spriteWidth = w;
  sprite.spriteHeight = h;
  sprite.spritePath = path;
  if (!texts.reportLoaded) return 1;
  if (reduced)
    reportLastError("Loaded sprite: " + path + " (resized " + sizeText(w0, h0) + " -> " + sizeText(w, h) +
                  " for performance)");
  else
    reportLastError("Loaded sprite: " + path + " (" + sizeText(w, h) + ")");
  return 1;
}

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

  return loadPicture(sprite, path, kSpriteTexts);
}

void ClearSpriteFrames(Sprite& sprite) {
  if (sprite.spriteFrameImages) {
    for (int32_t i = 0; i < sprite.spriteFrameCount; ++i) delete[] sprite.spriteFrameImages[i].pixels;
    delete[] sprite.spriteFrameImages;
  }
  sprite.spriteFrameImages = nullptr;
  sprite.spriteFrameCount = 0;
  sprite.spriteFrameCols = 0;
  sprite.spriteFrameRows = 0;
}

int CutSpriteFrames(Sprite& sprite, int32_t cols, int32_t rows) {
  const SpriteImage* sheet = sprite.spriteImage;
  if (!sheet || cols < 1 || rows < 1 || cols > MaxSpriteFrameSide || rows > MaxSpriteFrameSide ||
      cols * rows < 2 || cols > sheet->width || rows > sheet->height) {
    ClearSpriteFrames(sprite);
    return 0;
  }
  if (sprite.spriteFrameImages && sprite.spriteFrameCols == cols && sprite.spriteFrameRows == rows) return 1;
  ClearSpriteFrames(sprite);
  const int32_t n = cols * rows, fw = sheet->width / cols, fh = sheet->height / rows;
  SpriteImage* frames = new (std::nothrow) SpriteImage[n]();
  if (!frames) return 0;
  for (int32_t k = 0; k < n; ++k) {
    uint32_t* pixels = new (std::nothrow) uint32_t[static_cast<size_t>(fw) * static_cast<size_t>(fh)];
    if (!pixels) {
      for (int32_t j = 0; j < k; ++j) delete[] frames[j].pixels;
      delete[] frames;
      return 0;
    }
    const int32_t x0 = (k % cols) * fw, y0 = (k / cols) * fh;
    for (int32_t y = 0; y < fh; ++y)
      for (int32_t x = 0; x < fw; ++x)
        pixels[static_cast<size_t>(y) * fw + x] = sheet->pixels[static_cast<size_t>(y0 + y) * sheet->width + x0 + x];
    frames[k] = SpriteImage{fw, fh, pixels};
  }
  sprite.spriteFrameImages = frames;
  sprite.spriteFrameCount = n;
  sprite.spriteFrameCols = cols;
  sprite.spriteFrameRows = rows;
  return 1;
}

void FreeEmitMask(EmitMask& mask) {
  delete[] mask.maskPoints;
  mask.maskPoints = nullptr;
  mask.maskPointCount = 0;
  mask.maskWidth = 0;
  mask.maskHeight = 0;
  mask.maskPath.clear();
}

int LoadEmitMask(EmitMask& mask, const std::string& path) {
  mask.maskFailed = 0;
  if (path.empty()) {
    FreeEmitMask(mask);
    return 0;
  }
  if (mask.maskPoints && mask.maskPath == path) return 1;
  FreeEmitMask(mask);
  Sprite picture = {};
  if (!loadPicture(picture, path, kMaskTexts)) {
    mask.maskFailed = picture.spriteFailed;
    return 0;
  }
  const SpriteImage& image = *picture.spriteImage;
  const size_t area = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  int32_t count = 0;
  for (size_t i = 0; i < area; ++i) count += (image.pixels[i] >> 24) >= MaskOpaqueAlpha;
  uint32_t* points = count > 0 ? new (std::nothrow) uint32_t[static_cast<size_t>(count)] : nullptr;
  if (count > 0 && points) {
    int32_t k = 0;
    for (int32_t y = 0; y < image.height; ++y)
      for (int32_t x = 0; x < image.width; ++x)
        if ((image.pixels[static_cast<size_t>(y) * image.width + x] >> 24) >= MaskOpaqueAlpha)
          points[k++] = static_cast<uint32_t>(x) | static_cast<uint32_t>(y) << 16;
  }
  const int32_t w = image.width, h = image.height;
  FreeSprite(picture);
  if (count == 0) {
    mask.maskFailed = 1;
    reportLastError("Emit mask has no opaque pixels: '" + path + "'");
    return 0;
  }
  if (!points) {  // no memory for the table: as unusable as a picture that does not decode
    mask.maskFailed = 1;
    reportLastError(std::string(kMaskTexts.failed) + path + "'");
    return 0;
  }
  mask.maskPoints = points;
  mask.maskPointCount = count;
  mask.maskWidth = w;
  mask.maskHeight = h;
  mask.maskPath = path;
  return 1;
}
