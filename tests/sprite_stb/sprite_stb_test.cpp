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
#include "shared/sprite_cases.h"

namespace {

// Writes a picture (or text, or nothing) at path; 1 on success.
int writeFile(const std::string& path, SpriteFormat format, SpritePattern pattern, int32_t w, int32_t h) {
  if (format == SpriteMissing) return 1;
  if (format == SpriteText) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fputs("sprite=clouds.png\nnot a picture\n", f);
    return std::fclose(f) == 0;
  }
  const int channels = format == SpritePng ? 4 : 3;
  std::vector<unsigned char> bytes(static_cast<size_t>(w) * h * channels);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = spritePatternPixel(pattern, x, y, w, h);
      unsigned char* d = &bytes[(static_cast<size_t>(y) * w + x) * channels];
      d[0] = (c >> 16) & 255;
      d[1] = (c >> 8) & 255;
      d[2] = c & 255;
      if (channels == 4) d[3] = c >> 24;
    }
  switch (format) {
    case SpritePng: return stbi_write_png(path.c_str(), w, h, channels, bytes.data(), w * channels);
    case SpriteBmp: return stbi_write_bmp(path.c_str(), w, h, channels, bytes.data());
    case SpriteJpeg: return stbi_write_jpg(path.c_str(), w, h, channels, bytes.data(), 95);
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

std::string withPath(const char* pattern, const std::string& path) { return spriteTextWithPath(pattern, path); }
int channelOf(uint32_t c, int shift) { return spriteChannel(c, shift); }

}  // namespace

TEST(SpriteStb, LoadsFiles) {
  const std::string dir = scratchDir();
  ASSERT_FALSE(dir.empty());
  setSpriteCodec(stbSpriteCodec());
  setLastErrorSink(recordMessage);
  for (const SpriteFileCase& c : spriteFileCases()) {
    if (!(c.codecs & CodecStb)) continue;
    SCOPED_TRACE(c.name);
    const std::string path = dir + "/" + c.name;
    ASSERT_EQ(writeFile(path, c.format, c.pattern, c.w, c.h), 1);
    expectSpriteFileLoads(c, path, c.stbTolerance, gMessages);
    std::remove(path.c_str());
  }
  setSpriteCodec(nullptr);
  setLastErrorSink(nullptr);
}

// Reducing a picture whose visible half meets a transparent half of another colour: the edge
// fades in opacity only, and the transparent colour never shows.
TEST(SpriteStb, ReductionKeepsTransparentColoursOut) {
  const std::string path = scratchDir() + "/edge.png";
  ASSERT_EQ(writeFile(path, SpritePng, RedClear, 4096, 10), 1);
  setSpriteCodec(stbSpriteCodec());
  std::unique_ptr<Emitter> e(new Emitter());
  ASSERT_EQ(LoadSprite(e->sprite, path), 1);
  ASSERT_EQ(e->sprite.spriteWidth, 512);
  ASSERT_EQ(e->sprite.spriteHeight, 1);
  int partial = 0;
  for (int32_t x = 0; x < 512; ++x) {
    const uint32_t c = e->sprite.spriteImage->pixels[x];
    const int a = channelOf(c, 24);
    if (a > 0 && a < 255) ++partial;
    if (a == 0) continue;
    EXPECT_GE(channelOf(c, 16), 254) << x;  // red stays red
    EXPECT_LE(channelOf(c, 8), 1) << x;     // no green from the clear half
    EXPECT_LE(channelOf(c, 0), 1) << x;
  }
  EXPECT_GT(partial, 0);  // the filter did blend across the edge
  FreeSprite(e->sprite);
  setSpriteCodec(nullptr);
  std::remove(path.c_str());
}

// The `sprite` key loads through LoadSprite without any set-up call and leaves the shape alone;
// with no codec it loads nothing and says nothing.
TEST(SpriteStb, OptionsTextLoadsTheSprite) {
  const std::string path = scratchDir() + "/clouds.png";
  ASSERT_EQ(writeFile(path, SpritePng, Quarters, 40, 30), 1);
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
    LoadPreset("Fire", e->system.config);  // Fire draws rays
    ApplyOptions(*e, withPath(c.options, path));
    EXPECT_EQ(e->system.config.shape, c.shape);
    EXPECT_EQ(e->sprite.spriteImage != nullptr, c.held != 0);
    EXPECT_EQ(e->sprite.spritePath, c.held ? path : std::string());
    if (c.message) {
      EXPECT_EQ(gMessages, std::vector<std::string>{withPath(c.message, path)});
    } else {
      EXPECT_TRUE(gMessages.empty());
    }
    FreeSprite(e->sprite);
  }
  setSpriteCodec(nullptr);
  setLastErrorSink(nullptr);
  std::remove(path.c_str());
}
