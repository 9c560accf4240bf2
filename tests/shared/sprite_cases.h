// The picture files both sprite codecs (stb_image natively, GDI+ under Wine) are tried on, and
// what LoadSprite must make of each: one table, so that the two codecs are held to the same
// sizes, reductions, refusals, messages and pixels. Each test writes the files with its own
// encoders (stb_image_write, GDI+); a row names the codecs that can write and read its file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/sprite.h"
#include "runtime/emitter.h"

enum SpriteFormat { SpritePng, SpriteBmp, SpriteGif, SpriteJpeg, SpriteText, SpriteMissing };

enum SpritePattern {
  Quarters,  // left: half-transparent 0x80204060; right: opaque green; bottom half: clear
  Halves,    // left half opaque blue, right half opaque yellow
  RedClear,  // left half opaque red, right half fully transparent green
  RedBlue,   // left half opaque red, right half opaque blue
  Veil,      // half-transparent orange 0x80FF8040 throughout
  Grey,      // opaque 0xFF808080 throughout
};

// Straight 0xAARRGGBB of the pattern at (x, y) of a w x h picture.
inline uint32_t spritePatternPixel(SpritePattern p, int32_t x, int32_t y, int32_t w, int32_t h) {
  switch (p) {
    case Quarters:
      if (y >= h / 2) return 0x00000000u;
      return x < w / 2 ? 0x80204060u : 0xFF00FF00u;
    case Halves: return x < w / 2 ? 0xFF0000FFu : 0xFFFFFF00u;
    case RedClear: return x < w / 2 ? 0xFFFF0000u : 0x0000FF00u;
    case RedBlue: return x < w / 2 ? 0xFFFF0000u : 0xFF0000FFu;
    case Veil: return 0x80FF8040u;
    case Grey: return 0xFF808080u;
  }
  return 0;
}

enum SpriteCodecBit { CodecStb = 1, CodecGdiplus = 2, CodecBoth = 3 };

struct SpritePixelCheck {
  int32_t x, y;   // in the loaded sprite
  uint32_t argb;  // expected, straight
};

struct SpriteFileCase {
  const char* name;       // file name in the scratch directory, UTF-8
  int codecs;             // SpriteCodecBit: who runs the row
  SpriteFormat format;
  SpritePattern pattern;
  int32_t w, h;           // written size
  int result;             // LoadSprite's answer
  int32_t sw, sh;         // sprite size afterwards (0 x 0 when none)
  const char* message;    // the outcome text; "{}" stands for the path
  int stbTolerance;       // per channel: lossy formats and filtered reductions
  int gdiplusTolerance;
  std::vector<SpritePixelCheck> pixels;
};

inline const std::vector<SpriteFileCase>& spriteFileCases() {
  static const std::vector<SpriteFileCase> cases = {
      {"sun.png", CodecBoth, SpritePng, Quarters, 512, 300, 1, 512, 300, "Loaded sprite: {} (512x300)", 0, 0,
       {{0, 0, 0x80204060u}, {255, 149, 0x80204060u}, {256, 0, 0xFF00FF00u}, {511, 299, 0x00000000u}}},
      {"square.bmp", CodecBoth, SpriteBmp, Halves, 513, 512, 1, 512, 511,
       "Loaded sprite: {} (resized 513x512 -> 512x511 for performance)", 0, 1,
       {{0, 0, 0xFF0000FFu}, {100, 100, 0xFF0000FFu}, {200, 300, 0xFF0000FFu}, {300, 300, 0xFFFFFF00u},
        {400, 400, 0xFFFFFF00u}, {511, 510, 0xFFFFFF00u}}},
      // The longest picture accepted, reduced to a single row.
      {"strip.png", CodecStb, SpritePng, RedClear, 4096, 10, 1, 512, 1,
       "Loaded sprite: {} (resized 4096x10 -> 512x1 for performance)", 0, 0,
       {{0, 0, 0xFFFF0000u}, {200, 0, 0xFFFF0000u}, {300, 0, 0x0000FF00u}, {511, 0, 0x0000FF00u}}},
      {"strip.gif", CodecGdiplus, SpriteGif, RedBlue, 4096, 10, 1, 512, 1,
       "Loaded sprite: {} (resized 4096x10 -> 512x1 for performance)", 0, 1,
       {{100, 0, 0xFFFF0000u}, {200, 0, 0xFFFF0000u}, {300, 0, 0xFF0000FFu}, {400, 0, 0xFF0000FFu}}},
      // Reduced through a premultiplied bitmap and read back straight.
      {"veil.png", CodecGdiplus, SpritePng, Veil, 1024, 20, 1, 512, 10,
       "Loaded sprite: {} (resized 1024x20 -> 512x10 for performance)", 0, 2,
       {{100, 5, 0x80FF8040u}, {256, 4, 0x80FF8040u}, {400, 5, 0x80FF8040u}}},
      // A path outside ASCII.
      {"wolke-\xc3\xbc\xe2\x98\xbc.jpg", CodecBoth, SpriteJpeg, Grey, 64, 48, 1, 64, 48,
       "Loaded sprite: {} (64x48)", 3, 3, {{0, 0, 0xFF808080u}, {63, 47, 0xFF808080u}}},
      {"wide.png", CodecBoth, SpritePng, Grey, 4097, 100, 0, 0, 0,
       "Sprite too large (4097x100). Maximum 4096x4096; please resize: '{}'", 0, 0, {}},
      {"notes.txt", CodecBoth, SpriteText, Grey, 0, 0, 0, 0, 0, "Failed to load sprite: '{}'", 0, 0, {}},
      {"missing.png", CodecBoth, SpriteMissing, Grey, 0, 0, 0, 0, 0, "Failed to load sprite: '{}'", 0, 0, {}},
  };
  return cases;
}

// pattern with "{}" replaced by path.
inline std::string spriteTextWithPath(const char* pattern, const std::string& path) {
  std::string s = pattern;
  const size_t at = s.find("{}");
  if (at != std::string::npos) s.replace(at, 2, path);
  return s;
}

inline int spriteChannel(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 255); }

// Loads the row's file (already written at path) with the installed codec and checks what
// LoadSprite answers, reports (messages collects the LastError sink's texts) and leaves in the
// emitter: size, path and pixels within tolerance. The sprite is released afterwards.
inline void expectSpriteFileLoads(const SpriteFileCase& c, const std::string& path, int tolerance,
                                  std::vector<std::string>& messages) {
  std::unique_ptr<Emitter> e(new Emitter());
  messages.clear();
  EXPECT_EQ(LoadSprite(e->sprite, path), c.result);
  EXPECT_EQ(messages, std::vector<std::string>{spriteTextWithPath(c.message, path)});
  EXPECT_EQ(e->sprite.spriteWidth, c.sw);
  EXPECT_EQ(e->sprite.spriteHeight, c.sh);
  EXPECT_EQ(e->sprite.spritePath, c.result ? path : std::string());
  if (!c.result) {
    EXPECT_EQ(e->sprite.spriteImage, nullptr);
    return;
  }
  ASSERT_NE(e->sprite.spriteImage, nullptr);
  ASSERT_EQ(e->sprite.spriteImage->width, c.sw);
  ASSERT_EQ(e->sprite.spriteImage->height, c.sh);
  for (const SpritePixelCheck& p : c.pixels) {
    const uint32_t got = e->sprite.spriteImage->pixels[p.y * c.sw + p.x];
    for (int shift = 0; shift < 32; shift += 8)
      EXPECT_NEAR(spriteChannel(got, shift), spriteChannel(p.argb, shift), tolerance)
          << "pixel " << p.x << "," << p.y << " is " << std::hex << got;
  }
  FreeSprite(e->sprite);
}
