// Golden images: every preset rendered at 160 x 120 with a fixed seed after a fixed number of
// frames, compared with the committed PNGs (straight RGBA) within a small tolerance. On a
// mismatch the actual image and a diff image go to out/golden/. To refresh the goldens after an
// intended change of the look: LUMIVEX_UPDATE_GOLDEN=1 build/native/bin/golden_tests
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include "engine/engine.h"
#include "image_io.h"
#include "render/render_frame.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"
#include "runtime/frame_step.h"

namespace {

constexpr int kWidth = 160, kHeight = 120, kFrames = 45;
constexpr int kTolerance = 3;  // per channel, for rounding differences between builds

int32_t gTick = 0;
int32_t goldenTick() { return gTick; }

// Runs a preset as Play starts it and the frame step advances it, in steps of 1/60 s, and
// returns the last frame as straight RGBA bytes.
std::vector<unsigned char> renderPreset(int id) {
  seedRandom(1000 + id);
  gTick = 0;
  setTickSource(goldenTick);
  std::unique_ptr<Emitter> e(new Emitter());
  std::vector<uint32_t> pixels(kWidth * kHeight);
  attachFrameBuffer(e->frame, pixels.data(), kWidth, kHeight);
  buildEffect(*e, EffectPlay, PresetDisplayName(id), DefaultIntensity, "");
  startParticles(*e);
  e->renderingEnabled = 1;
  for (int f = 0; f < kFrames; ++f) {
    gTick = f * 1000 / 60;
    advanceEmitterBy(*e, 1 / 60.0f);
  }
  setTickSource(nullptr);
  std::vector<unsigned char> rgba(kWidth * kHeight * 4);
  unpremultiplyToRgba(pixels.data(), kWidth * kHeight, rgba.data());
  return rgba;
}

std::string goldenPath(int id) { return std::string(LUMIVEX_GOLDEN_DIR) + "/" + PresetDisplayName(id) + ".png"; }

}  // namespace

class GoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(GoldenTest, MatchesCommittedImage) {
  const int id = GetParam();
  const std::vector<unsigned char> actual = renderPreset(id);
  const std::string path = goldenPath(id);
  if (std::getenv("LUMIVEX_UPDATE_GOLDEN")) {
    std::string error;
    ASSERT_TRUE(writePng(path, kWidth, kHeight, 4, actual.data(), error)) << error;
    GTEST_SKIP() << "golden written: " << path;
  }
  int w = 0, h = 0, n = 0;
  unsigned char* golden = stbi_load(path.c_str(), &w, &h, &n, 4);
  ASSERT_NE(golden, nullptr) << "no golden image " << path
                             << " (LUMIVEX_UPDATE_GOLDEN=1 build/native/bin/golden_tests writes it)";
  ASSERT_EQ(w, kWidth);
  ASSERT_EQ(h, kHeight);
  int worst = 0, differing = 0, lit = 0;
  std::vector<unsigned char> diff(actual.size(), 0);
  for (size_t i = 0; i < actual.size(); i += 4) {
    int d = 0;
    for (int k = 0; k < 4; ++k) d = std::max(d, std::abs(int(actual[i + k]) - int(golden[i + k])));
    worst = std::max(worst, d);
    if (d > kTolerance) ++differing;
    if (actual[i + 3]) ++lit;
    diff[i] = static_cast<unsigned char>(std::min(255, d * 16));
    diff[i + 3] = 255;
  }
  stbi_image_free(golden);
  EXPECT_GT(lit, 0) << "the preset drew nothing";
  if (worst > kTolerance) {
    const std::string out = std::string(LUMIVEX_OUT_DIR) + "/golden";
    mkdir(LUMIVEX_OUT_DIR, 0755);
    mkdir(out.c_str(), 0755);
    const std::string name = out + "/" + PresetDisplayName(id);
    std::string error;
    writePng(name + "_actual.png", kWidth, kHeight, 4, actual.data(), error);
    writePng(name + "_diff.png", kWidth, kHeight, 4, diff.data(), error);
    ADD_FAILURE() << PresetDisplayName(id) << ": " << differing << " pixels differ by more than " << kTolerance
                  << " (worst " << worst << "); see " << name << "_actual.png and _diff.png. If the change "
                  << "is intended: LUMIVEX_UPDATE_GOLDEN=1 build/native/bin/golden_tests, then commit "
                  << "tests/golden/data/.";
  }
}

INSTANTIATE_TEST_SUITE_P(Presets, GoldenTest, ::testing::Range(0, static_cast<int>(PresetCount)),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(PresetDisplayName(info.param));
                         });
