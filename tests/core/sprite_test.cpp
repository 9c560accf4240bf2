// Sprite loading over a fake codec: the reduction arithmetic, and every outcome of LoadSprite
// (messages, what the sprite record holds, which files are read, that every codec image is given back).
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/sprite.h"

TEST(Sprite, ReducedSize) {
  struct Case {
    int32_t w, h;      // picture
    int reduced;       // expected result
    int32_t rw, rh;    // expected size
  };
  const Case cases[] = {
      {1000, 600, 1, 512, 307}, {600, 1000, 1, 307, 512}, {1024, 768, 1, 512, 384},
      {4096, 10, 1, 512, 1},    {513, 512, 1, 512, 511},  {3000, 2, 1, 512, 1},
      {2, 3000, 1, 1, 512},     {4096, 4096, 1, 512, 512}, {513, 1, 1, 512, 1},
      {512, 300, 0, 512, 300},  {512, 512, 0, 512, 512},  {1, 1, 0, 1, 1},
      {700, 700, 1, 512, 512},  {1536, 1023, 1, 512, 341},  // 341.0 exactly, not 341.5
      {1024, 3, 1, 512, 2},     // 1.5 rounds away from zero
  };
  for (const Case& c : cases) {
    int32_t rw = -1, rh = -1;
    EXPECT_EQ(spriteReducedSize(c.w, c.h, rw, rh), c.reduced) << c.w << "x" << c.h;
    EXPECT_EQ(rw, c.rw) << c.w << "x" << c.h;
    EXPECT_EQ(rh, c.rh) << c.w << "x" << c.h;
  }
}

namespace {

// The fake codec's disk: what open finds at a path. A path that is not listed is missing.
struct FakeFile {
  const char* path;
  int32_t w, h;  // pixels
};
const FakeFile kFiles[] = {
    {"a.png", 100, 50},           {"A.png", 60, 40},
    {"sun.png", 512, 300},        {"square.bmp", 513, 512},
    {"huge.png", 4096, 4096},     {"strip.gif", 4096, 10},
    {"wide.png", 4097, 100},      {"tall.png", 100, 4097},
    {"big.png", 1000, 600},       {"C:\\img\\wolke \xC3\xBC.png", 3000, 2},
    {"empty.png", 0, 0},
};

// Pixels tell which picture reached the record.
constexpr uint32_t DecodedPixel = 0x80112233u;
constexpr uint32_t ReducedPixel = 0x40445566u;

struct FakeImage {
  int32_t w, h;    // pixels
  uint32_t pixel;  // every pixel
};

struct FakeCodec {
  int startOk, pathCopyOk, reduceOk, finishOk;  // 0 makes that step fail
  int starts, opens, reduces;                  // calls
  int heldAtOpen;                              // the record held a picture when a file was read
  int badHandles;                              // images given back twice, unknown, or mis-sized
  std::set<FakeImage*> live;                   // images handed out and not yet given back
  Sprite* sprite;                              // the sprite record being loaded
  std::vector<std::string> messages;           // LastError texts
};
FakeCodec gFake;

FakeImage* handOut(int32_t w, int32_t h, uint32_t pixel) {
  FakeImage* image = new FakeImage{w, h, pixel};
  gFake.live.insert(image);
  return image;
}

void giveBack(void* handle) {
  FakeImage* image = static_cast<FakeImage*>(handle);
  if (!gFake.live.erase(image)) {
    ++gFake.badHandles;
    return;
  }
  delete image;
}

int fakeStart() {
  ++gFake.starts;
  return gFake.startOk;
}

int fakeOpen(const std::string& path, void*& image, int32_t& w, int32_t& h) {
  image = nullptr;
  w = h = 0;
  if (!gFake.pathCopyOk) return 0;
  ++gFake.opens;
  if (gFake.sprite && gFake.sprite->spriteImage) gFake.heldAtOpen = 1;
  for (const FakeFile& f : kFiles) {
    if (path != f.path) continue;
    image = handOut(f.w, f.h, DecodedPixel);
    w = f.w;
    h = f.h;
  }
  return 1;
}

void* fakeReduce(void* image, int32_t rw, int32_t rh) {
  ++gFake.reduces;
  if (!gFake.live.count(static_cast<FakeImage*>(image))) ++gFake.badHandles;
  if (!gFake.reduceOk) return nullptr;
  return handOut(rw, rh, ReducedPixel);
}

SpriteImage* fakeFinish(void* handle, int32_t w, int32_t h) {
  const FakeImage* image = static_cast<FakeImage*>(handle);
  SpriteImage* out = nullptr;
  if (!gFake.live.count(const_cast<FakeImage*>(image)) || image->w != w || image->h != h) {
    ++gFake.badHandles;
  } else if (gFake.finishOk) {
    out = newSpriteImage(w, h);
    for (int32_t i = 0; out && i < w * h; ++i) out->pixels[i] = image->pixel;
  }
  giveBack(handle);
  return out;
}

const SpriteCodec kFakeCodec = {fakeStart, fakeOpen, fakeReduce, fakeFinish, giveBack};

void recordMessage(const std::string& message) { gFake.messages.push_back(message); }

// Fresh counters with every step working, the fake codec and the recording sink installed.
void resetFake(Sprite* sprite) {
  gFake.startOk = gFake.pathCopyOk = gFake.reduceOk = gFake.finishOk = 1;
  gFake.starts = gFake.opens = gFake.reduces = gFake.heldAtOpen = gFake.badHandles = 0;
  gFake.messages.clear();
  gFake.sprite = sprite;
  setSpriteCodec(&kFakeCodec);
  setLastErrorSink(recordMessage);
}

}  // namespace

TEST(Sprite, LoadSpriteOutcomes) {
  enum Fault { None, NoCodec, StartFails, NoPathMemory, ReduceFails, NoPixelMemory };
  struct Case {
    const char* name;
    const char* before;    // path loaded first with everything working; "" for none
    const char* path;
    Fault fault;           // what goes wrong in the call under test
    int result;
    int32_t w, h;          // sprite held afterwards; 0 x 0 when none
    const char* heldPath;  // spritePath afterwards
    uint32_t pixel;        // the held picture's pixels: DecodedPixel or ReducedPixel
    int opens;             // files read by the call
    const char* message;   // the only LastError text written, or nullptr for none
  };
  const Case cases[] = {
      {"kept as decoded", "", "sun.png", None, 1, 512, 300, "sun.png", DecodedPixel, 1,
       "Loaded sprite: sun.png (512x300)"},
      {"one pixel over", "", "square.bmp", None, 1, 512, 511, "square.bmp", ReducedPixel, 1,
       "Loaded sprite: square.bmp (resized 513x512 -> 512x511 for performance)"},
      {"largest accepted", "", "huge.png", None, 1, 512, 512, "huge.png", ReducedPixel, 1,
       "Loaded sprite: huge.png (resized 4096x4096 -> 512x512 for performance)"},
      {"strip", "", "strip.gif", None, 1, 512, 1, "strip.gif", ReducedPixel, 1,
       "Loaded sprite: strip.gif (resized 4096x10 -> 512x1 for performance)"},
      {"path as given", "", "C:\\img\\wolke \xC3\xBC.png", None, 1, 512, 1, "C:\\img\\wolke \xC3\xBC.png",
       ReducedPixel, 1, "Loaded sprite: C:\\img\\wolke \xC3\xBC.png (resized 3000x2 -> 512x1 for performance)"},
      {"too wide", "a.png", "wide.png", None, 0, 0, 0, "", 0, 1,
       "Sprite too large (4097x100). Maximum 4096x4096; please resize: 'wide.png'"},
      {"too tall", "", "tall.png", None, 0, 0, 0, "", 0, 1,
       "Sprite too large (100x4097). Maximum 4096x4096; please resize: 'tall.png'"},
      {"missing, after another", "a.png", "missing.png", None, 0, 0, 0, "", 0, 1,
       "Failed to load sprite: 'missing.png'"},
      {"empty picture", "", "empty.png", None, 0, 0, 0, "", 0, 1, "Failed to load sprite: 'empty.png'"},
      {"same path again", "a.png", "a.png", None, 1, 100, 50, "a.png", DecodedPixel, 0, nullptr},
      {"same path, other case", "a.png", "A.png", None, 1, 60, 40, "A.png", DecodedPixel, 1,
       "Loaded sprite: A.png (60x40)"},
      {"empty path", "a.png", "", None, 0, 0, 0, "", 0, 0, nullptr},
      {"no codec", "a.png", "sun.png", NoCodec, 0, 0, 0, "", 0, 0, nullptr},
      {"codec cannot start", "a.png", "sun.png", StartFails, 0, 0, 0, "", 0, 0, nullptr},
      {"no memory for the path", "a.png", "sun.png", NoPathMemory, 0, 0, 0, "", 0, 0, nullptr},
      {"reduction fails", "", "big.png", ReduceFails, 1, 1000, 600, "big.png", DecodedPixel, 1,
       "Loaded sprite: big.png (1000x600)"},
      {"no memory for the pixels", "a.png", "big.png", NoPixelMemory, 0, 0, 0, "", 0, 1,
       "Failed to load sprite: 'big.png'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<Sprite> e(new Sprite());
    resetFake(e.get());
    if (*c.before) {
      ASSERT_EQ(LoadSprite(*e, c.before), 1);
    }
    const SpriteImage* first = e->spriteImage;

    resetFake(e.get());
    gFake.startOk = c.fault != StartFails;
    gFake.pathCopyOk = c.fault != NoPathMemory;
    gFake.reduceOk = c.fault != ReduceFails;
    gFake.finishOk = c.fault != NoPixelMemory;
    if (c.fault == NoCodec) setSpriteCodec(nullptr);
    e->spriteFailed = 1;  // left over from an earlier load: every call decides afresh

    EXPECT_EQ(LoadSprite(*e, c.path), c.result);
    // Set exactly when a failure was reported: the start that follows keeps that text.
    EXPECT_EQ(e->spriteFailed, c.result == 0 && c.message ? 1 : 0);
    EXPECT_EQ(e->spriteWidth, c.w);
    EXPECT_EQ(e->spriteHeight, c.h);
    EXPECT_EQ(e->spritePath, c.heldPath);
    if (c.w) {
      ASSERT_NE(e->spriteImage, nullptr);
      EXPECT_EQ(e->spriteImage->width, c.w);
      EXPECT_EQ(e->spriteImage->height, c.h);
      EXPECT_EQ(e->spriteImage->pixels[0], c.pixel);
      EXPECT_EQ(e->spriteImage->pixels[c.w * c.h - 1], c.pixel);
    } else {
      EXPECT_EQ(e->spriteImage, nullptr);
    }
    if (c.opens == 0 && c.result) {
      EXPECT_EQ(e->spriteImage, first);  // the same picture, untouched
    }
    EXPECT_EQ(gFake.opens, c.opens);
    EXPECT_EQ(gFake.heldAtOpen, 0);  // the previous picture goes before the new file is read
    EXPECT_EQ(gFake.badHandles, 0);
    EXPECT_TRUE(gFake.live.empty());  // every codec image was finished or released
    if (c.message) {
      EXPECT_EQ(gFake.messages, std::vector<std::string>{c.message});
    } else {
      EXPECT_TRUE(gFake.messages.empty()) << gFake.messages[0];
    }
    FreeSprite(*e);
  }
  setSpriteCodec(nullptr);
  setLastErrorSink(nullptr);
}

TEST(Sprite, FreeSpriteClearsEverything) {
  std::unique_ptr<Sprite> e(new Sprite());
  resetFake(e.get());
  setLastErrorSink(nullptr);  // outcomes with no sink go nowhere
  ASSERT_EQ(LoadSprite(*e, "strip.gif"), 1);
  EXPECT_TRUE(gFake.messages.empty());
  FreeSprite(*e);
  EXPECT_EQ(e->spriteImage, nullptr);
  EXPECT_EQ(e->spriteWidth, 0);
  EXPECT_EQ(e->spriteHeight, 0);
  EXPECT_TRUE(e->spritePath.empty());
  FreeSprite(*e);  // nothing held: still fine
  EXPECT_EQ(e->spriteImage, nullptr);
  // After a release the same path is read again.
  ASSERT_EQ(LoadSprite(*e, "strip.gif"), 1);
  EXPECT_EQ(gFake.opens, 2);
  FreeSprite(*e);
  setSpriteCodec(nullptr);
}

TEST(Sprite, NewSpriteImageChecksItsSize) {
  struct Case {
    int32_t w, h;
    int made;
  };
  const Case cases[] = {{1, 1, 1},  {512, 511, 1},  {4096, 4096, 1}, {0, 5, 0},         {5, 0, 0},
                        {-1, 5, 0}, {5, -1, 0},     {4097, 1, 0},    {1, 4097, 0},      {INT32_MAX, INT32_MAX, 0}};
  for (const Case& c : cases) {
    SpriteImage* image = newSpriteImage(c.w, c.h);
    EXPECT_EQ(image != nullptr, c.made != 0) << c.w << "x" << c.h;  // and no exception
    if (!image) continue;
    EXPECT_EQ(image->width, c.w);
    EXPECT_EQ(image->height, c.h);
    EXPECT_EQ(image->pixels[0], 0u);
    EXPECT_EQ(image->pixels[c.w * c.h - 1], 0u);
    deleteSpriteImage(image);
  }
}
