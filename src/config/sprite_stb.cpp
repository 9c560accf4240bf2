// The native sprite codec over stb_image (PNG, JPEG, BMP, GIF's first frame, and the other
// formats stb decodes) and stb_image_resize. No state: every image is a StbPicture owned by
// whoever holds its handle until finish or release.
#include "config/sprite_stb.h"

#include <cstdlib>
#include <new>

#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

namespace {

struct StbPicture {
  int32_t width;         // pixels
  int32_t height;        // pixels
  unsigned char* rgba;   // width * height * 4 bytes, straight alpha, top row first; null when
                         // only the size is known (a picture too large to be accepted)
  int fromStbi;          // 1: rgba came from stbi_load (stbi_image_free); 0: from malloc
};

void releasePicture(void* image) {
  StbPicture* p = static_cast<StbPicture*>(image);
  if (!p) return;
  if (p->rgba) {
    if (p->fromStbi) stbi_image_free(p->rgba);
    else std::free(p->rgba);
  }
  delete p;
}

int startStb() { return 1; }

int openStb(const std::string& path, void*& image, int32_t& width, int32_t& height) {
  image = nullptr;
  width = height = 0;
  StbPicture* p = new (std::nothrow) StbPicture();
  if (!p) return 0;
  // The header first: a picture that will be refused for its size is never decoded, so a file
  // that claims an enormous size cannot make us allocate for it.
  int w = 0, h = 0, channels = 0;
  if (!stbi_info(path.c_str(), &w, &h, &channels) || w < 1 || h < 1) {
    delete p;
    return 1;
  }
  if (w <= MaxSpriteFileSide && h <= MaxSpriteFileSide) {
    int dw = 0, dh = 0;
    p->rgba = stbi_load(path.c_str(), &dw, &dh, &channels, 4);
    p->fromStbi = 1;
    if (!p->rgba || dw != w || dh != h) {  // corrupt data after a readable header
      releasePicture(p);
      return 1;
    }
  }
  p->width = w;
  p->height = h;
  image = p;
  width = w;
  height = h;
  return 1;
}

void* reduceStb(void* image, int32_t rw, int32_t rh) {
  const StbPicture* src = static_cast<const StbPicture*>(image);
  if (!src || !src->rgba || rw < 1 || rh < 1) return nullptr;
  if (rw > MaxSpriteFileSide || rh > MaxSpriteFileSide) return nullptr;  // keeps rw * rh * 4 small
  StbPicture* dst = new (std::nothrow) StbPicture();
  if (!dst) return nullptr;
  dst->rgba = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(rw) * static_cast<size_t>(rh) * 4));
  if (!dst->rgba) {
    delete dst;
    return nullptr;
  }
  dst->width = rw;
  dst->height = rh;
  // Catmull-Rom, the interpolating cubic. Naming alpha channel 3 without the premultiplied flag
  // makes stb weight every colour by its alpha (premultiply, filter, divide back), so the colours
  // of transparent pixels do not bleed into the edges of what is visible. Edges are clamped so
  // that the border of the picture does not fade towards transparency.
  if (!stbir_resize_uint8_generic(src->rgba, src->width, src->height, 0, dst->rgba, rw, rh, 0, 4, 3, 0,
                                  STBIR_EDGE_CLAMP, STBIR_FILTER_CATMULLROM, STBIR_COLORSPACE_LINEAR,
                                  nullptr)) {
    releasePicture(dst);
    return nullptr;
  }
  return dst;
}

SpriteImage* finishStb(void* image, int32_t width, int32_t height) {
  StbPicture* p = static_cast<StbPicture*>(image);
  SpriteImage* out = nullptr;
  if (p && p->rgba && p->width == width && p->height == height) {
    out = newSpriteImage(width, height);
    if (out) {
      const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
      const unsigned char* s = p->rgba;
      for (size_t i = 0; i < n; ++i, s += 4)
        out->pixels[i] = (static_cast<uint32_t>(s[3]) << 24) | (static_cast<uint32_t>(s[0]) << 16) |
                         (static_cast<uint32_t>(s[1]) << 8) | s[2];
    }
  }
  releasePicture(p);
  return out;
}

const SpriteCodec kStbCodec = {startStb, openStb, reduceStb, finishStb, releasePicture};

}  // namespace

const SpriteCodec* stbSpriteCodec() { return &kStbCodec; }
