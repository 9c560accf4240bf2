// The options text: splitting, every key with its clamps and order effects, mode, the sprite
// hook, composing, and the editor's fixed choices.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>

#include "common/text.h"
#include "config/option_keys.h"
#include "config/options.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"

namespace {

// An emitter prepared as PlayAdvanced prepares one: preset, intensity, then the options.
std::unique_ptr<Emitter> advanced(const char* preset, int intensity, const std::string& options) {
  std::unique_ptr<Emitter> e(new Emitter());
  buildEffect(*e, EffectAdvanced, preset, intensity, options);
  return e;
}

// "field=value" pairs separated by spaces; inFront is checked too.
void expectFields(const Emitter& e, const std::string& expected) {
  for (const std::string& pair : splitText(expected, ' ')) {
    if (pair.empty()) continue;
    const size_t eq = pair.find('=');
    const std::string name = pair.substr(0, eq);
    const double want = std::stod(pair.substr(eq + 1));
    if (name == "inFront") {
      EXPECT_EQ(e.inFront, want) << name;
      continue;
    }
    const int index = configFieldIndex(name.c_str());
    ASSERT_GE(index, 0) << name;
    EXPECT_FLOAT_EQ(static_cast<float>(configFieldValue(e.system.config, index)), static_cast<float>(want))
        << name;
  }
}

}  // namespace

TEST(Options, GetOptionSplitsTrimsAndTakesFirstOccurrence) {
  struct Case { const char* options; const char* key; const char* value; };
  const Case cases[] = {
      {"a=1;b=2", "b", "2"},
      {"  MODE = burst : 75 ; Density=2", "mode", "burst : 75"},
      {"mode=x", " MODE ", "x"},
      {"density=2;density=3", "density", "2"},
      {"k=a=b", "k", "a=b"},
      {"burst;=5;k=1", "k", "1"},
      {"=5", "", ""},
      {"x=1", "", ""},
      {"", "x", ""},
      {"k=", "k", ""},
      {"k=;k=2", "k", ""},  // an empty first value still counts as the first occurrence
      {"\tk=1", "k", ""},   // tabs are not trimmed
      {"k\t=1", "k\t", "1"},
      {";;;k = 7 ;", "k", "7"},
  };
  for (const Case& k : cases)
    EXPECT_EQ(getOption(k.options, k.key), k.value) << k.options << " / " << k.key;
}

TEST(Options, KeysAndTheirOrderEffects) {
  struct Case { const char* preset; int intensity; const char* options; const char* expected; };
  const Case cases[] = {
      {"Sparkle", 50, "MODE = burst : 75 ; Density=2", "spawnRate=0 burstCount=150"},
      {"Sparkle", 50, "density=2;density=3", "spawnRate=80"},
      {"Sparkle", 50, "density=-1", "spawnRate=40"},
      {"Explosion", 50, "density=abc", "spawnRate=0 burstCount=0"},
      {"Explosion", 50, "density=0.3", "burstCount=60"},
      {"PulseWave", 50, "density=1.5", "burstCount=2"},
      {"Sparkle", 50, "emitArea=0.2,,1.5", "emitX=0.2 emitY=0.5 emitW=1.5 emitH=0"},
      {"Sparkle", 50, "emitArea=-1,2,3,4", "emitX=0 emitY=1 emitW=2 emitH=2"},
      {"Fire", 50, "emitArea=0.1", "emitX=0.1 emitY=0.88 emitW=0.16 emitH=0.04"},
      {"Sparkle", 50, "direction=,90", "baseAngle=270 spreadAngle=90"},
      {"Sparkle", 50, "direction=450,400", "baseAngle=450 spreadAngle=360"},
      {"Sparkle", 50, "direction=-30", "baseAngle=-30 spreadAngle=360"},
      {"Sparkle", 50, "direction=10,-5", "baseAngle=10 spreadAngle=0"},
      {"Explosion", 50, "mode=continuous:0", "burstCount=0 spawnRate=0"},
      {"Explosion", 50, "mode=continuous", "burstCount=0 spawnRate=30"},
      {"Sparkle", 50, "mode=Continuous", "burstCount=0 spawnRate=40"},
      {"Sparkle", 50, "mode=continuous:12.5", "spawnRate=12.5"},
      {"Explosion", 100, "mode=burst", "burstCount=400 spawnRate=0"},
      {"Sparkle", 50, "mode=burst", "burstCount=200 spawnRate=0"},
      {"Sparkle", 50, "mode=Burst:200", "burstCount=200 spawnRate=0"},
      {"Sparkle", 50, "mode=burst:0", "burstCount=0 spawnRate=0"},
      {"Explosion", 50, "mode=burst:-3", "burstCount=200 spawnRate=0"},
      {"Sparkle", 50, "mode=explode:5", "burstCount=0 spawnRate=40"},
      {"Sparkle", 50, "mode=burst:50;density=2", "burstCount=100"},
      {"Fire", 50, "colorMid=none", "hasColorMid=0 colorOverride=0 colorMidR=255"},
      {"Fire", 50, "colorMid= OFF ", "hasColorMid=0 colorOverride=0"},
      {"Fire", 50, "colorMid=0,0,255",
       "hasColorMid=1 colorOverride=1 colorMidR=0 colorMidG=0 colorMidB=255"},
      {"Fire", 50, "colorMid=1,2", "hasColorMid=1 colorOverride=0 colorMidR=255"},
      {"Sparkle", 50, "colorStart=1,2,3",
       "colorStartR=1 colorStartG=2 colorStartB=3 colorEndR=255 colorOverride=1"},
      {"Sparkle", 50, "colorEnd=9,8,7;colorStart=bad", "colorEndB=7 colorStartR=255 colorOverride=1"},
      {"Sparkle", 50, "opacity=1.5", "alphaStart=1 alphaEnd=0"},
      {"Rain", 50, "opacity=0.5", "alphaStart=0.325 alphaEnd=0.05"},
      {"Rain", 50, "opacity=0", "alphaStart=0 alphaEnd=0"},
      {"Sparkle", 50, "speed=2;size=0.5;life=3", "speedMin=40 speedMax=160 sizeStartMin=1 "
                                                 "sizeStartMax=2.5 sizeEndMin=0.25 sizeEndMax=0.5 "
                                                 "lifeMin=1.5 lifeMax=4.5"},
      {"Sparkle", 50, "speed=-2;size=x", "speedMin=20 speedMax=80 sizeStartMin=0 sizeEndMax=0"},
      {"Stars", 50, "twinkle=2", "twinkleSpeed=6 pulseSpeed=0 twinkleAmount=0.7"},
      {"Laser", 50, "twinkle=2", "twinkleSpeed=0 pulseSpeed=7"},
      {"Sparkle", 50, "feather=0.25;taper=7", "feather=0.25 taper=1"},
      {"Fire", 50, "feather=-1", "feather=0"},
      {"Sparkle", 50, "taperEdge=Right", "taperEdge=3"},
      {"Sparkle", 50, "taperEdge=2", "taperEdge=2"},
      {"Sparkle", 50, "taperEdge=4", "taperEdge=0"},
      {"Sparkle", 50, "taperEdge= bottom ", "taperEdge=1"},
      {"Sparkle", 50, "orientation=horizontal;direction=90,10", "baseAngle=0 spreadAngle=10"},
      {"Sparkle", 50, "orientation=vertical;direction=90,10", "baseAngle=90"},
      {"Sparkle", 50, "shape=RECT", "shape=7"},
      {"Sparkle", 50, "shape= Ring", "shape=9"},
      {"Fire", 50, "shape=hexagon", "shape=1"},
      {"Sparkle", 50, "zOrder=Behind ", "inFront=0"},
      {"Sparkle", 50, "zOrder=back", "inFront=1"},
      {"Sparkle", 50, "burst;=5;spawnRate=10", "spawnRate=40 burstCount=0"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.preset) + " '" + k.options + "'");
    expectFields(*advanced(k.preset, k.intensity, k.options), k.expected);
  }
}

TEST(Options, EmptyTextLeavesThePresetAfterIntensity) {
  for (int id = 0; id < PresetCount; ++id) {
    EmitterConfig expected;
    std::memset(&expected, 0, sizeof expected);
    LoadPreset(PresetDisplayName(id), expected);
    ApplyIntensity(expected, 80);
    std::unique_ptr<Emitter> e = advanced(PresetDisplayName(id), 80, "");
    EXPECT_EQ(std::memcmp(&expected, &e->system.config, sizeof expected), 0) << PresetDisplayName(id);
    EXPECT_EQ(e->inFront, 1);
  }
  // A behind emitter goes back to front when options without zOrder are applied again.
  std::unique_ptr<Emitter> e = advanced("Sparkle", 50, "zOrder=behind");
  ApplyOptions(*e, "speed=1");
  EXPECT_EQ(e->inFront, 1);
}

TEST(Options, HugeNumbersStayFinite) {
  std::unique_ptr<Emitter> e = advanced("Sparkle", 50, "density=1e60;speed=1e99;mode=continuous:1e45");
  EXPECT_TRUE(std::isfinite(e->system.config.spawnRate));
  EXPECT_TRUE(std::isfinite(e->system.config.speedMax));
  EXPECT_EQ(e->system.config.burstCount, 0);
  std::unique_ptr<Emitter> b = advanced("Explosion", 50, "density=1e30");
  EXPECT_EQ(b->system.config.burstCount, INT32_MAX);
}

namespace {
std::vector<std::string> gLoadedPaths;
int recordingLoader(Sprite& sprite, const std::string& path) {
  gLoadedPaths.push_back(path);
  sprite.spritePath = path;
  return 1;
}
}  // namespace

TEST(Options, SpriteKeyCallsTheInstalledLoader) {
  setSpriteLoader(nullptr);
  std::unique_ptr<Emitter> e = advanced("Sparkle", 50, "sprite=clouds.png");
  EXPECT_TRUE(e->sprite.spritePath.empty());  // no loader: nothing happens

  setSpriteLoader(recordingLoader);
  gLoadedPaths.clear();
  e = advanced("Sparkle", 50, "sprite= C:\\img\\a b.png ;shape=sprite");
  EXPECT_EQ(gLoadedPaths, std::vector<std::string>{"C:\\img\\a b.png"});
  EXPECT_EQ(e->system.config.shape, ShapeSprite);
  e = advanced("Sparkle", 50, "sprite=");
  EXPECT_EQ(gLoadedPaths.size(), 1u);  // an empty value is an absent key
  e = advanced("Fire", 50, "sprite=smoke.png");
  EXPECT_EQ(e->system.config.shape, ShapeRay);  // loading does not change the shape
  setSpriteLoader(nullptr);
}

TEST(Options, AppendOption) {
  EXPECT_EQ(appendOption("", "mode", "Burst:50"), "mode=Burst:50");
  EXPECT_EQ(appendOption("mode=Burst:50", "opacity", ""), "mode=Burst:50");
  EXPECT_EQ(appendOption("mode=Burst:50", "opacity", "0.5"), "mode=Burst:50;opacity=0.5");
  EXPECT_EQ(appendOption("", "x", ""), "");
}

TEST(Options, ShapeNames) {
  struct Case { const char* name; int id; };
  const Case cases[] = {
      {"circle", 0}, {"RAY", 1}, {"beam", 2}, {"glow", 3}, {"star", 4},
      {"LightBurst", 5}, {"laser", 6}, {"rectangle", 7}, {" rect ", 7},
      {"sprite", 8}, {"ring", 9}, {"hexagon", -1}, {"", -1}, {"circles", -1},
  };
  for (const Case& k : cases) EXPECT_EQ(ShapeIdFromName(k.name), k.id) << k.name;
}

// The keys of the effect's start and stop: read, clamped, first occurrence counts, and nothing of
// the configuration changes with them.
TEST(Options, PrewarmAndFadeOut) {
  struct Case { const char* options; float prewarm; int32_t fadeOut; };
  const Case cases[] = {
      {"", 0, 0},
      {"prewarm=1.5;fadeOut=800", 1.5f, 800},
      {" PREWARM = 3 ; fadeout = 250 ", 3, 250},
      {"prewarm=30;fadeOut=9000", 10, 5000},         // clamped to 10 s and 5 s
      {"prewarm=-2;fadeOut=-1", 0, 0},
      {"prewarm=abc;fadeOut=1e3", 0, 1},              // fadeOut is an integer: "1e3" reads 1
      {"prewarm=2;prewarm=4;fadeOut=100;fadeOut=300", 2, 100},
      {"fadeOut=$100", 0, 256},
  };
  const std::unique_ptr<Emitter> plain = advanced("Snow", 50, "");
  for (const Case& c : cases) {
    const std::unique_ptr<Emitter> e = advanced("Snow", 50, c.options);
    EXPECT_FLOAT_EQ(e->prewarmSeconds, c.prewarm) << c.options;
    EXPECT_EQ(e->fadeOutMs, c.fadeOut) << c.options;
    EXPECT_EQ(std::memcmp(&e->system.config, &plain->system.config, sizeof(EmitterConfig)), 0) << c.options;
  }
  // Play has no options: a later build without them leaves neither behind.
  std::unique_ptr<Emitter> e = advanced("Snow", 50, "prewarm=2;fadeOut=100");
  buildEffect(*e, EffectPlay, "Snow", 50, "");
  EXPECT_EQ(e->prewarmSeconds, 0);
  EXPECT_EQ(e->fadeOutMs, 0);
}

// The table of keys that the author's guide prints (config/option_keys.h), held to ApplyOptions:
// each row names a key that ApplyOptions reads (its example changes some preset), no key twice,
// and keys that set the same thing stand in the order they are applied.
TEST(OptionKeys, EveryRowIsAKeyTheOptionsTextReads) {
  setSpriteLoader(recordingLoader);
  ASSERT_GE(OptionKeyCount, 21);
  for (int k = 0; k < OptionKeyCount; ++k) {
    const OptionKeyInfo& row = OptionKeys[k];
    EXPECT_EQ(optionKeyIndex(row.key), k) << row.key << " is in the table twice";
    bool changed = false;
    for (int id = 0; id < PresetCount && !changed; ++id) {
      std::unique_ptr<Emitter> plain = advanced(PresetDisplayName(id), 50, "");
      std::unique_ptr<Emitter> keyed =
          advanced(PresetDisplayName(id), 50, std::string(row.key) + "=" + row.example);
      changed = std::memcmp(&plain->system.config, &keyed->system.config, sizeof(EmitterConfig)) != 0 ||
                plain->inFront != keyed->inFront || plain->sprite.spritePath != keyed->sprite.spritePath ||
                plain->prewarmSeconds != keyed->prewarmSeconds || plain->fadeOutMs != keyed->fadeOutMs ||
                plain->onEndAction != keyed->onEndAction || plain->motionAlways != keyed->motionAlways;
    }
    EXPECT_TRUE(changed) << row.key << "=" << row.example << " changes no preset";
  }
  EXPECT_EQ(optionKeyIndex("nosuchkey"), -1);
  setSpriteLoader(nullptr);
}

TEST(OptionKeys, TableOrderIsTheOrderOfApplication) {
  // In each text the later key is written first; the result shows it was applied last anyway.
  struct Case { const char* earlier; const char* later; const char* options; const char* fields; };
  const Case cases[] = {
      {"mode", "density", "density=2;mode=burst:100", "burstCount=200"},
      {"direction", "orientation", "orientation=horizontal;direction=45,20", "baseAngle=0 spreadAngle=20"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    expectFields(*advanced("Sparkle", 50, c.options), c.fields);
    ASSERT_GE(optionKeyIndex(c.earlier), 0);
    EXPECT_LT(optionKeyIndex(c.earlier), optionKeyIndex(c.later));
  }
}
