// Sprite loading through the stb codec on real files written at run time (PNG, BMP, JPEG, a
// text file, a missing file): sizes, reduction, refusal, messages and pixels, and the `sprite`
// key of the options text reaching LoadSprite with no set-up.
#include <gtest/gtest.h>

#include <stb/stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/emitter_config.h"
#include "config/options.h"
#include "config/sprite.h"
#include "config/sprite_stb.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"

namespace {

enum Format { Png, Bmp, Jpeg, Text, Missing };
enum Pattern {
  Quarters,  // left: half-transparent 0x80204060; right: opaque green; bottom half: clear white
  Halves,    // left half opaque blue, right half opaque yellow
  RedClear,  // left half opaque red, right half fully transparent green
  Grey,      // opaque 0xFF808080 throughout
};

uint32_t patternPixel(Pattern p, int32_t x, int32_t y, int32_t w, int32_t h) {
  switch (p) {
    case Quarters:
      if (y >= h / 2) return 0x00FFFFFFu;
      return x < w / 2 ? 0x80204060u : 0xFF00FF00u;
    case Halves: return x < w / 2 ? 0xFF0000FFu : 0xFFFFFF00u;
    case RedClear: return x < w / 2 ? 0xFFFF0000u : 0x0000FF00u;
    case Grey: return 0xFF808080u;
  }
  return 0;
}

// Writes a picture (or text, or nothing) at path; 1 on success.
int writeFile(const std::string& path, Format format, Pattern pattern, int32_t w, int32_t h) {
  if (format == Missing) return 1;
  if (format == Text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fputs("sprite=clouds.png\nnot a picture\n", f);
    return std::fclose(f) == 0;
  }
  const int channels = format == Png ? 4 : 3;
  std::vector<unsigned char> bytes(static_cast<size_t>(w) * h * channels);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = patternPixel(pattern, x, y, w, h);
      unsigned char* d = &bytes[(static_cast<size_t>(y) * w + x) * channels];
      d[0] = (c >> 16) & 255;
      d[1] = (c >> 8) & 255;
      d[2] = c & 255;
      if (channels == 4) d[3] = c >> 24;
    }
  switch (format) {
    case Png: return stbi_write_png(path.c_str(), w, h, channels, bytes.data(), w * channels);
    case Bmp: return stbi_write_bmp(path.c_str(), w, h, channels, bytes.data());
    case Jpeg: return stbi_write_jpg(path.c_str(), w, h, channels, bytes.data(), 95);
    default: return 0;
  }
}

// A directory of its own for this run's files.
std::string scratchDir() {
  static std::string dir;
  if (dir.empty()) {
    std::string templ = ::testing::TempDir() + "lumivex-sprite-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back(0);
    if (mkdtemp(buf.data())) dir = buf.data();
  }
  return dir;
}

std::vector<std::string> gMessages;
void recordMessage(const std::string& message) { gMessages.push_back(message); }

// "{}" in pattern replaced by path.
std::string withPath(const char* pattern, const std::string& path) {
  std::string s = pattern;
  const size_t at = s.find("{}");
  if (at != std::string::npos) s.replace(at, 2, path);
  return s;
}

int channelOf(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 255); }

}  // namespace

TEST(SpriteStb, LoadsFiles) {
  struct PixelCheck {
    int32_t x, y;      // in the loaded sprite
    uint32_t argb;     // expected, straight
  };
  struct Case {
    const char* name;      // file name in the scratch directory
    Format format;
    Pattern pattern;
    int32_t w, h;          // written size
    int result;
    int32_t sw, sh;        // sprite size afterwards (0 x 0 when none)
    const char* message;   // "{}" stands for the path
    int tolerance;         // per channel, for lossy formats
    std::vector<PixelCheck> pixels;
  };
  const std::vector<Case> cases = {
      {"sun.png", Png, Quarters, 512, 300, 1, 512, 300, "Loaded sprite: {} (512x300)", 0,
       {{0, 0, 0x80204060u}, {255, 149, 0x80204060u}, {256, 0, 0xFF00FF00u}, {511, 299, 0x00FFFFFFu}}},
      {"square.bmp", Bmp, Halves, 513, 512, 1, 512, 511,
       "Loaded sprite: {} (resized 513x512 -> 512x511 for performance)", 0,
       {{0, 0, 0xFF0000FFu}, {200, 300, 0xFF0000FFu}, {300, 300, 0xFFFFFF00u}, {511, 510, 0xFFFFFF00u}}},
      {"strip.png", Png, RedClear, 4096, 10, 1, 512, 1,
       "Loaded sprite: {} (resized 4096x10 -> 512x1 for performance)", 0,
       {{0, 0, 0xFFFF0000u}, {200, 0, 0xFFFF0000u}, {300, 0, 0x0000FF00u}, {511, 0, 0x0000FF00u}}},
      {"grey.jpg", Jpeg, Grey, 64, 48, 1, 64, 48, "Loaded sprite: {} (64x48)", 3,
       {{0, 0, 0xFF808080u}, {63, 47, 0xFF808080u}}},
      {"wide.png", Png, Grey, 4097, 100, 0, 0, 0,
       "Sprite too large (4097x100). Maximum 4096x4096; please resize: '{}'", 0, {}},
      {"notes.txt", Text, Grey, 0, 0, 0, 0, 0, "Failed to load sprite: '{}'", 0, {}},
      {"missing.png", Missing, Grey, 0, 0, 0, 0, 0, "Failed to load sprite: '{}'", 0, {}},
  };
  const std::string dir = scratchDir();
  ASSERT_FALSE(dir.empty());
  setSpriteCodec(stbSpriteCodec());
  setLastErrorSink(recordMessage);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir + "/" + c.name;
    ASSERT_EQ(writeFile(path, c.format, c.pattern, c.w, c.h), 1);
    std::unique_ptr<Emitter> e(new Emitter());
    gMessages.clear();
    EXPECT_EQ(LoadSprite(*e, path), c.result);
    EXPECT_EQ(gMessages, std::vector<std::string>{withPath(c.message, path)});
    EXPECT_EQ(e->spriteWidth, c.sw);
    EXPECT_EQ(e->spriteHeight, c.sh);
    EXPECT_EQ(e->spritePath, c.result ? path : std::string());
    if (!c.result) {
      EXPECT_EQ(e->spriteImage, nullptr);
      continue;
    }
    ASSERT_NE(e->spriteImage, nullptr);
    ASSERT_EQ(e->spriteImage->width, c.sw);
    ASSERT_EQ(e->spriteImage->height, c.sh);
    for (const PixelCheck& p : c.pixels) {
      const uint32_t got = e->spriteImage->pixels[p.y * c.sw + p.x];
      for (int shift = 0; shift < 32; shift += 8)
        EXPECT_NEAR(channelOf(got, shift), channelOf(p.argb, shift), c.tolerance)
            << "pixel " << p.x << "," << p.y << " is " << std::hex << got;
    }
    FreeSprite(*e);
    std::remove(path.c_str());
  }
  setSpriteCodec(nullptr);
  setLastErrorSink(nullptr);
}

// Reducing a picture whose visible half meets a transparent half of another colour: the edge
// fades in opacity only, and the transparent colour never shows.
TEST(SpriteStb, ReductionKeepsTransparentColoursOut) {
  const std::string path = scratchDir() + "/edge.png";
  ASSERT_EQ(writeFile(path, Png, RedClear, 4096, 10), 1);
  setSpriteCodec(stbSpriteCodec());
  std::unique_ptr<Emitter> e(new Emitter());
  ASSERT_EQ(LoadSprite(*e, path), 1);
  ASSERT_EQ(e->spriteWidth, 512);
  ASSERT_EQ(e->spriteHeight, 1);
  int partial = 0;
  for (int32_t x = 0; x < 512; ++x) {
    const uint32_t c = e->spriteImage->pixels[x];
    const int a = channelOf(c, 24);
    if (a > 0 && a < 255) ++partial;
    if (a == 0) continue;
    EXPECT_GE(channelOf(c, 16), 254) << x;  // red stays red
    EXPECT_LE(channelOf(c, 8), 1) << x;     // no green from the clear half
    EXPECT_LE(channelOf(c, 0), 1) << x;
  }
  EXPECT_GT(partial, 0);  // the filter did blend across the edge
  FreeSprite(*e);
  setSpriteCodec(nullptr);
  std::remove(path.c_str());
}

// The `sprite` key loads through LoadSprite without any set-up call and leaves the shape alone;
// with no codec it loads nothing and says nothing.
TEST(SpriteStb, OptionsTextLoadsTheSprite) {
  const std::string path = scratchDir() + "/clouds.png";
  ASSERT_EQ(writeFile(path, Png, Quarters, 40, 30), 1);
  setLastErrorSink(recordMessage);
  struct Case {
    const char* name;
    int codec;            // 1: the stb codec installed
    const char* options;  // "{}" stands for the path
    int32_t shape;        // expected shape afterwards
    int held;             // 1 when the sprite is loaded
    const char* message;  // expected LastError text, or nullptr for none
  };
  const Case cases[] = {
      {"sprite alone", 1, "sprite={}", ShapeRay, 1, "Loaded sprite: {} (40x30)"},
      {"with its shape", 1, "shape=sprite;sprite= {} ", ShapeSprite, 1, "Loaded sprite: {} (40x30)"},
      {"no codec", 0, "shape=sprite;sprite={}", ShapeSprite, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setSpriteCodec(c.codec ? stbSpriteCodec() : nullptr);
    gMessages.clear();
    std::unique_ptr<Emitter> e(new Emitter());
    LoadPreset("Fire", e->config);  // Fire draws rays
    ApplyOptions(*e, withPath(c.options, path));
    EXPECT_EQ(e->config.shape, c.shape);
    EXPECT_EQ(e->spriteImage != nullptr, c.held != 0);
    EXPECT_EQ(e->spritePath, c.held ? path : std::string());
    if (c.message) {
      EXPECT_EQ(gMessages, std::vector<std::string>{withPath(c.message, path)});
    } else {
      EXPECT_TRUE(gMessages.empty());
    }
    FreeSprite(*e);
  }
  setSpriteCodec(nullptr);
  setLastErrorSink(nullptr);
  std::remove(path.c_str());
}
