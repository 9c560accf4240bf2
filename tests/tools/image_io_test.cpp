// Tests of lumivex-render's image output: straight-alpha and background conversion of the
// premultiplied frame words, grid layout, and the PNG and GIF files read back with independent
// decoders (stb_image, giflib's reader).
#include <gtest/gtest.h>
#include <gif_lib.h>
#include <unistd.h>

// The reader is compiled in privately here, apart from any stb the program links.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image_io.h"

namespace {

// A fresh directory under the test's temporary folder, removed at the end of each test.
class ImageIoTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumivex_image_io_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string dir;
};

struct PixelCase {
  uint32_t premultiplied;  // 0xAARRGGBB as the renderer leaves it
  uint8_t r, g, b, a;      // expected
};

TEST(ImageIo, UnpremultiplyGivesStraightAlpha) {
  const PixelCase cases[] = {
      {0x00000000, 0, 0, 0, 0},            // transparent
      {0x00102030, 0, 0, 0, 0},            // stray colour without alpha is dropped
      {0xFF123456, 0x12, 0x34, 0x56, 255}, // opaque unchanged
      {0x80800000, 255, 0, 0, 128},        // a 50 % red fill
      {0x40102030, 64, 128, 191, 64},      // c * 255 / 64 rounded: 63.75, 127.5, 191.25
      {0x01010000, 255, 0, 0, 1},          // the smallest alpha
      {0x10FF0000, 255, 0, 0, 16},         // a channel above alpha saturates
  };
  for (const PixelCase& c : cases) {
    uint8_t out[4];
    unpremultiplyToRgba(&c.premultiplied, 1, out);
    EXPECT_EQ(out[0], c.r) << std::hex << c.premultiplied;
    EXPECT_EQ(out[1], c.g) << std::hex << c.premultiplied;
    EXPECT_EQ(out[2], c.b) << std::hex << c.premultiplied;
    EXPECT_EQ(out[3], c.a) << std::hex << c.premultiplied;
  }
}

TEST(ImageIo, ComposeOverEachBackground) {
  struct Case {
    const char* background;
    uint32_t pixel;
    int x, y;            // where the pixel sits in a 16 x 16 frame
    uint8_t r, g, b;     // expected opaque colour
  } cases[] = {
      {"black", 0x80800000, 0, 0, 128, 0, 0},
      {"black", 0x00000000, 5, 5, 0, 0, 0},
      {"#FFFFFF", 0x80800000, 3, 3, 255, 127, 127},    // 128 + 255 * 127 / 255
      {"#336699", 0x00000000, 3, 3, 0x33, 0x66, 0x99}, // transparent shows the background
      {"#336699", 0xFF010203, 3, 3, 1, 2, 3},          // opaque hides it
      {"checker", 0x00000000, 0, 0, CheckerDark, CheckerDark, CheckerDark},
      {"checker", 0x00000000, 8, 0, CheckerLight, CheckerLight, CheckerLight},
      {"checker", 0x00000000, 15, 8, CheckerDark, CheckerDark, CheckerDark},
      {"checker", 0x40400000, 0, 8, 64 + (CheckerLight * 191 + 127) / 255,
       (CheckerLight * 191 + 127) / 255, (CheckerLight * 191 + 127) / 255},
  };
  for (const Case& c : cases) {
    Background bg;
    ASSERT_EQ(parseBackground(c.background, bg), 1) << c.background;
    std::vector<uint32_t> frame(16 * 16, 0);
    frame[c.y * 16 + c.x] = c.pixel;
    std::vector<uint8_t> rgb(16 * 16 * 3);
    composeOverBackground(frame.data(), 16, 16, bg, rgb.data());
    const uint8_t* p = &rgb[(c.y * 16 + c.x) * 3];
    EXPECT_EQ(p[0], c.r) << c.background << " at " << c.x << "," << c.y;
    EXPECT_EQ(p[1], c.g) << c.background << " at " << c.x << "," << c.y;
    EXPECT_EQ(p[2], c.b) << c.background << " at " << c.x << "," << c.y;
  }
}

TEST(ImageIo, ParseBackgroundAcceptsOnlyTheThreeForms) {
  const struct {
    const char* text;
    int ok, kind;
  } cases[] = {
      {"black", 1, BackgroundBlack}, {"checker", 1, BackgroundChecker}, {"#a0B1c2", 1, BackgroundSolid},
      {"Black", 0, 0},  {"#12345", 0, 0}, {"#1234567", 0, 0}, {"#12345g", 0, 0},
      {"123456", 0, 0}, {"", 0, 0},
  };
  for (const auto& c : cases) {
    Background bg;
    EXPECT_EQ(parseBackground(c.text, bg), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(bg.kind, c.kind) << c.text;
    }
  }
  Background bg;
  ASSERT_EQ(parseBackground("#a0B1c2", bg), 1);
  EXPECT_EQ(backgroundAt(bg, 7, 9), 0xA0B1C2u);
}

TEST(ImageIo, GridLayoutAndTileOrigins) {
  const struct {
    int count, columns, tileW, tileH, gap;
    int cols, rows, width, height;
    int index, x, y;  // one tile's origin
  } cases[] = {
      {16, 4, 10, 5, 4, 4, 4, 60, 40, 5, 18, 13},
      {3, 4, 10, 5, 4, 3, 1, 46, 13, 2, 32, 4},
      {19, 5, 320, 240, 4, 5, 4, 1624, 980, 18, 976, 736},
      {1, 4, 7, 7, 0, 1, 1, 7, 7, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const GridLayout g = gridLayout(c.count, c.columns, c.tileW, c.tileH, c.gap);
    EXPECT_EQ(g.columns, c.cols);
    EXPECT_EQ(g.rows, c.rows);
    EXPECT_EQ(g.width, c.width);
    EXPECT_EQ(g.height, c.height);
    int x = -1, y = -1;
    gridTileOrigin(g, c.index, c.tileW, c.tileH, c.gap, x, y);
    EXPECT_EQ(x, c.x) << c.count << " tiles, tile " << c.index;
    EXPECT_EQ(y, c.y) << c.count << " tiles, tile " << c.index;
    // The last tile ends inside the canvas, one gap from its edges at most.
    gridTileOrigin(g, c.count - 1, c.tileW, c.tileH, c.gap, x, y);
    EXPECT_LE(x + c.tileW + c.gap, g.width);
    EXPECT_LE(y + c.tileH + c.gap, g.height);
  }
}

TEST_F(ImageIoTest, PngRoundTripKeepsStraightAlphaAndOpaqueRgb) {
  // Premultiplied frame words -> straight RGBA -> PNG -> stb_image.
  const uint32_t frame[6] = {0x80800000, 0x00000000, 0xFF00FF00, 0x40102030, 0xFFFFFFFF, 0x01010101};
  uint8_t rgba[6 * 4];
  unpremultiplyToRgba(frame, 6, rgba);
  std::string error;
  const std::string path = dir + "/rgba.png";
  ASSERT_EQ(writePng(path, 3, 2, 4, rgba, error), 1) << error;
  int w = 0, h = 0, channels = 0;
  unsigned char* back = stbi_load(path.c_str(), &w, &h, &channels, 0);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(channels, 4);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 24), std::vector<uint8_t>(rgba, rgba + 24));
  EXPECT_EQ(back[0], 255);  // the half-transparent red pixel is stored as full red, alpha 128
  EXPECT_EQ(back[3], 128);
  stbi_image_free(back);

  uint8_t rgb[6 * 3];
  Background black = {BackgroundBlack, 0, 0, 0};
  composeOverBackground(frame, 3, 2, black, rgb);
  const std::string opaque = dir + "/rgb.png";
  ASSERT_EQ(writePng(opaque, 3, 2, 3, rgb, error), 1) << error;
  back = stbi_load(opaque.c_str(), &w, &h, &channels, 0);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(channels, 3);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 18), std::vector<uint8_t>(rgb, rgb + 18));
  stbi_image_free(back);
}

TEST_F(ImageIoTest, UnwritablePathsFailNamingThePath) {
  std::string error;
  const uint8_t px[4] = {1, 2, 3, 4};
  const std::string missing = dir + "/no/such/dir/x.png";
  EXPECT_EQ(writePng(missing, 1, 1, 4, px, error), 0);
  EXPECT_NE(error.find(missing), std::string::npos) << error;

  // A regular file where a directory should be: mkdir -p fails at that component.
  const std::string file = dir + "/plain";
  std::ofstream(file) << "x";
  error.clear();
  EXPECT_EQ(makeDirectories(file + "/sub", error), 0);
  EXPECT_NE(error.find(file), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(makeDirectories(file, error), 0);
  EXPECT_NE(error.find(file), std::string::npos) << error;

  GifWriter gif;
  error.clear();
  EXPECT_EQ(gifOpen(gif, missing + ".gif", 2, 2, error), 0);
  EXPECT_NE(error.find(missing + ".gif"), std::string::npos) << error;

  error.clear();
  EXPECT_EQ(makeDirectories(dir + "/a/b/c", error), 1) << error;
  EXPECT_EQ(makeDirectories(dir + "/a/b/c", error), 1) << error;  // existing is fine
  EXPECT_EQ(writePng(dir + "/a/b/c/x.png", 1, 1, 4, px, error), 1) << error;
}

// One decoded GIF frame: its delay and the colour of its first pixel.
struct GifFrame {
  int delayCs;
  uint8_t r, g, b;
};

std::vector<GifFrame> readGif(const std::string& path, int& width, int& height) {
  std::vector<GifFrame> frames;
  int code = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &code);
  if (!gif) return frames;
  if (DGifSlurp(gif) == GIF_OK) {
    width = gif->SWidth;
    height = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& im = gif->SavedImages[i];
      GraphicsControlBlock gcb;
      DGifSavedExtensionToGCB(gif, i, &gcb);
      const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
      const GifColorType c = map->Colors[im.RasterBits[0]];
      frames.push_back(GifFrame{gcb.DelayTime, c.Red, c.Green, c.Blue});
    }
  }
  DGifCloseFile(gif, &code);
  return frames;
}

TEST_F(ImageIoTest, GifKeepsTimingMergesRepeatsAndDropsTooShortFrames) {
  struct Input {
    uint8_t grey;  // a flat frame of this grey
    double ms;     // its start time
  };
  const struct {
    const char* what;
    std::vector<Input> frames;
    double endMs;
    std::vector<GifFrame> expected;
  } cases[] = {
      {"60 fps, a repeated frame lengthens the previous one",
       {{10, 0}, {200, 1000.0 / 60}, {200, 2000.0 / 60}, {255, 3000.0 / 60}}, 4000.0 / 60,
       {{2, 10, 10, 10}, {3, 200, 200, 200}, {2, 255, 255, 255}}},
      {"a frame 1/100 s after the previous one is dropped",
       {{10, 0}, {20, 10}, {30, 20}, {40, 40}}, 60,
       {{2, 10, 10, 10}, {2, 30, 30, 30}, {2, 40, 40, 40}}},
      {"10 fps; the last frame lasts to the end",
       {{1, 0}, {2, 100}}, 200,
       {{10, 1, 1, 1}, {10, 2, 2, 2}}},
      {"a single frame shorter than 2/100 s still shows for 2",
       {{7, 0}}, 5,
       {{2, 7, 7, 7}}},
  };
  for (const auto& c : cases) {
    const std::string path = dir + "/t.gif";
    GifWriter w;
    std::string error;
    ASSERT_EQ(gifOpen(w, path, 4, 3, error), 1) << error;
    for (const Input& in : c.frames) {
      const std::vector<uint8_t> rgb(4 * 3 * 3, in.grey);
      ASSERT_EQ(gifAddFrame(w, rgb.data(), in.ms, error), 1) << error;
    }
    ASSERT_EQ(gifClose(w, c.endMs, error), 1) << error;
    int width = 0, height = 0;
    const std::vector<GifFrame> got = readGif(path, width, height);
    EXPECT_EQ(width, 4) << c.what;
    EXPECT_EQ(height, 3) << c.what;
    ASSERT_EQ(got.size(), c.expected.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].delayCs, c.expected[i].delayCs) << c.what << ", frame " << i;
      EXPECT_EQ(got[i].r, c.expected[i].r) << c.what << ", frame " << i;  // flat colours exact
      EXPECT_EQ(got[i].g, c.expected[i].g) << c.what << ", frame " << i;
      EXPECT_EQ(got[i].b, c.expected[i].b) << c.what << ", frame " << i;
    }
    // Loops forever: the NETSCAPE2.0 application block is there.
    std::ifstream f(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find("NETSCAPE2.0\x03\x01\x00\x00", 0, 15), std::string::npos) << c.what;
  }
}

TEST_F(ImageIoTest, GifPaletteStaysCloseOnAGradient) {
  // 64 x 64 pixels of 4096 colours: far more than one palette holds.
  const int side = 64;
  std::vector<uint8_t> rgb(side * side * 3);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      uint8_t* p = &rgb[(y * side + x) * 3];
      p[0] = static_cast<uint8_t>(x * 4);
      p[1] = static_cast<uint8_t>(y * 4);
      p[2] = static_cast<uint8_t>((x + y) * 2);
    }
  const std::string path = dir + "/g.gif";
  GifWriter w;
  std::string error;
  ASSERT_EQ(gifOpen(w, path, side, side, error), 1) << error;
  ASSERT_EQ(gifAddFrame(w, rgb.data(), 0, error), 1) << error;
  ASSERT_EQ(gifClose(w, 100, error), 1) << error;

  int code = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &code);
  ASSERT_NE(gif, nullptr);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK);
  ASSERT_EQ(gif->ImageCount, 1);
  const SavedImage& im = gif->SavedImages[0];
  ASSERT_NE(im.ImageDesc.ColorMap, nullptr);
  int worst = 0;
  for (int i = 0; i < side * side; ++i) {
    const GifColorType c = im.ImageDesc.ColorMap->Colors[im.RasterBits[i]];
    const int d[3] = {std::abs(c.Red - rgb[i * 3]), std::abs(c.Green - rgb[i * 3 + 1]),
                      std::abs(c.Blue - rgb[i * 3 + 2])};
    for (int k : d) worst = k > worst ? k : worst;
  }
  DGifCloseFile(gif, &code);
  // 4096 colours in 256 entries: boxes of about 4 x 4 gradient steps, so a few levels off at
  // most (a 5-bit median cut is off by up to 46 here).
  EXPECT_LE(worst, 8);

  // A frame of exactly 256 colours, dim ones among them, keeps every one.
  std::vector<uint8_t> few(16 * 16 * 3);
  for (int i = 0; i < 256; ++i) {
    few[i * 3] = static_cast<uint8_t>(i);
    few[i * 3 + 1] = static_cast<uint8_t>(i < 128 ? i / 16 : 255 - i);
    few[i * 3 + 2] = static_cast<uint8_t>(i % 7);
  }
  ASSERT_EQ(gifOpen(w, path, 16, 16, error), 1) << error;
  ASSERT_EQ(gifAddFrame(w, few.data(), 0, error), 1) << error;
  ASSERT_EQ(gifClose(w, 100, error), 1) << error;
  gif = DGifOpenFileName(path.c_str(), &code);
  ASSERT_NE(gif, nullptr);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK);
  const SavedImage& exact = gif->SavedImages[0];
  int wrong = 0;
  for (int i = 0; i < 256; ++i) {
    const GifColorType c = exact.ImageDesc.ColorMap->Colors[exact.RasterBits[i]];
    wrong += c.Red != few[i * 3] || c.Green != few[i * 3 + 1] || c.Blue != few[i * 3 + 2];
  }
  DGifCloseFile(gif, &code);
  EXPECT_EQ(wrong, 0);
}

}  // namespace

namespace {

// What a viewer shows after each frame of a GIF: every frame's rectangle painted over the last,
// its transparent pixels leaving what was there. Empty when the file cannot be read.
std::vector<std::vector<uint8_t>> composeGif(const std::string& path, std::vector<int>* areas) {
  std::vector<std::vector<uint8_t>> shown;
  int code = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &code);
  if (!gif) return shown;
  if (DGifSlurp(gif) == GIF_OK) {
    std::vector<uint8_t> canvas(static_cast<size_t>(gif->SWidth) * gif->SHeight * 3, 0);
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& im = gif->SavedImages[i];
      GraphicsControlBlock gcb;
      DGifSavedExtensionToGCB(gif, i, &gcb);
      const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
      const GifImageDesc& d = im.ImageDesc;
      for (int y = 0; y < d.Height; ++y)
        for (int x = 0; x < d.Width; ++x) {
          const int k = im.RasterBits[y * d.Width + x];
          if (k == gcb.TransparentColor) continue;
          uint8_t* p = &canvas[((d.Top + y) * gif->SWidth + d.Left + x) * 3];
          p[0] = map->Colors[k].Red, p[1] = map->Colors[k].Green, p[2] = map->Colors[k].Blue;
        }
      if (areas) areas->push_back(d.Width * d.Height);
      shown.push_back(canvas);
    }
  }
  DGifCloseFile(gif, &code);
  return shown;
}

}  // namespace

TEST_F(ImageIoTest, GifDeltaFramesShowEveryFrameWithinTheTolerance) {
  // A still pattern of 25 colours, a square moving over it, and a patch brightening by 3 levels a frame:
  // below a tolerance of 8 until it has drifted far enough, always above a tolerance of 0.
  const int W = 40, H = 30, frames = 8;
  std::vector<std::vector<uint8_t>> input;
  for (int f = 0; f < frames; ++f) {
    std::vector<uint8_t> rgb(W * H * 3);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        uint8_t* p = &rgb[(y * W + x) * 3];
        p[0] = static_cast<uint8_t>(x / 8 * 40), p[1] = static_cast<uint8_t>(y / 6 * 40), p[2] = 40;
        if (x >= 30 && y >= 20) p[2] = static_cast<uint8_t>(100 + 3 * f);
        if (x >= 4 * f && x < 4 * f + 6 && y >= 5 && y < 11) p[0] = 255, p[1] = 255, p[2] = 0;
      }
    input.push_back(rgb);
  }
  long wholeSize = 0;
  for (int tolerance : {GifWholeFrames, 0, 8}) {
    SCOPED_TRACE(tolerance);
    const std::string path = dir + "/d" + std::to_string(tolerance) + ".gif";
    GifWriter w;
    std::string error;
    ASSERT_EQ(gifOpen(w, path, W, H, error, tolerance), 1) << error;
    for (int f = 0; f < frames; ++f) ASSERT_EQ(gifAddFrame(w, input[f].data(), f * 40.0, error), 1) << error;
    ASSERT_EQ(gifClose(w, frames * 40.0, error), 1) << error;

    std::vector<int> areas;
    const std::vector<std::vector<uint8_t>> shown = composeGif(path, &areas);
    ASSERT_EQ(shown.size(), static_cast<size_t>(frames));
    const int allowed = tolerance < 0 ? 0 : tolerance;  // fewer than 256 colours: exact palettes
    for (int f = 0; f < frames; ++f) {
      int worst = 0;
      for (size_t i = 0; i < shown[f].size(); ++i) worst = std::max(worst, std::abs(shown[f][i] - input[f][i]));
      EXPECT_LE(worst, allowed) << "frame " << f;
    }
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const long size = static_cast<long>(file.tellg());
    if (tolerance < 0) {
      wholeSize = size;
      for (int a : areas) EXPECT_EQ(a, W * H);
    } else {
      // The first frame whole, then the rectangle around what changed: the square's old and
      // new place (10 x 6), and out to the patch in the corner whenever the patch is written:
      // every frame at tolerance 0, every third (9 levels of drift) at tolerance 8.
      EXPECT_EQ(areas[0], W * H);
      for (int f = 1; f < frames; ++f) {
        const bool patch = tolerance == 0 || f % 3 == 0;
        EXPECT_EQ(areas[f], patch ? (W - 4 * (f - 1)) * (H - 5) : 10 * 6) << "frame " << f;
      }
      EXPECT_LT(size, wholeSize);
    }
  }
}

TEST_F(ImageIoTest, GifDeltaFramesLeaveNoGhostOnBlack) {
  // Two pixels at tolerance 8: a faint spark that goes out, and a grey that drifts by 3. The
  // spark's return to black is written although it is only 6 levels; the drift is not.
  const uint8_t frames[3][6] = {{6, 6, 6, 50, 50, 50}, {0, 0, 0, 53, 53, 53}, {3, 3, 3, 53, 53, 53}};
  const uint8_t expected[3][6] = {{6, 6, 6, 50, 50, 50}, {0, 0, 0, 50, 50, 50}, {0, 0, 0, 50, 50, 50}};
  const std::string path = dir + "/ghost.gif";
  GifWriter w;
  std::string error;
  ASSERT_EQ(gifOpen(w, path, 2, 1, error, 8), 1) << error;
  for (int f = 0; f < 3; ++f) ASSERT_EQ(gifAddFrame(w, frames[f], f * 40.0, error), 1) << error;
  ASSERT_EQ(gifClose(w, 120, error), 1) << error;
  const std::vector<std::vector<uint8_t>> shown = composeGif(path, nullptr);
  ASSERT_EQ(shown.size(), 3u);
  for (int f = 0; f < 3; ++f)
    EXPECT_EQ(shown[f], std::vector<uint8_t>(expected[f], expected[f] + 6)) << "frame " << f;
}
