// The editors' portable rules: what the Play and PlayAdvanced dialogs show when they open from
// the host's parameter texts, the slider encodings and texts, the direction reading, the
// twinkle presets, back to preset defaults, and the options text that OK writes.
#include <gtest/gtest.h>

#include <string>

#include "config/emitter_config.h"
#include "config/options.h"
#include "editor/editor_state.h"

namespace {

AdvancedDialogState openAdvanced(const std::string& options, const std::string& preset = "",
                                 const std::string& intensity = "") {
  const std::string slots[4] = {"Rect1", preset, intensity, options};
  AdvancedDialogState s = {};
  readAdvancedOpening(slots, s);
  return s;
}

}  // namespace

// --- Play editor ---------------------------------------------------------------------------

TEST(PlayOpening, SlotsBecomeTheDialogsFields) {
  struct Row {
    std::string slots[4];
    const char* presetText;
    int presetIndex, intensity, overrideOn, red, green, blue;
  };
  const Row rows[] = {
      {{"", "", "", ""}, "Sparkle", PresetSparkle, 50, 0, 255, 255, 255},
      {{" Rect1 ", "fire ", "250", ""}, "fire ", PresetFire, 100, 0, 255, 255, 255},
      {{"R", "MagicDust", "75", " 10 , 20 , 300 "}, "MagicDust", PresetMagicDust, 75, 1, 10, 20, 255},
      {{"R", "Nonsense", "-5", "10,,20"}, "Nonsense", PresetSparkle, 0, 0, 255, 255, 255},
      {{"R", "STARS", "$40", "0,0,0"}, "STARS", PresetStars, 64, 1, 0, 0, 0},
      {{"R", "Rain", "abc", "red"}, "Rain", PresetRain, 0, 0, 255, 255, 255},
      {{"R", "Snow", "100", "1,2"}, "Snow", PresetSnow, 100, 0, 255, 255, 255},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.slots[1] + " / " + row.slots[2] + " / " + row.slots[3]);
    PlayDialogState s = {};
    readPlayOpening(row.slots, s);
    EXPECT_EQ(s.rectangle, row.slots[0]);  // trimmed only when written back
    EXPECT_EQ(s.presetText, row.presetText);
    EXPECT_EQ(s.presetIndex, row.presetIndex);
    EXPECT_EQ(s.intensity, row.intensity);
    EXPECT_EQ(s.colorText, row.slots[3]);
    EXPECT_EQ(s.overrideOn, row.overrideOn);
    EXPECT_EQ(s.red, row.red);
    EXPECT_EQ(s.green, row.green);
    EXPECT_EQ(s.blue, row.blue);
  }
}

TEST(PlayOpening, ColorFieldsAndTheColorTextWritten) {
  struct Row {
    const char* field;
    int value;
  };
  const Row rows[] = {{"12", 12}, {" 300", 255}, {"-4", 0}, {"abc", 0}, {"", 0}, {"7x", 7}};
  for (const Row& row : rows) EXPECT_EQ(colorFieldValue(row.field), row.value) << row.field;
  EXPECT_EQ(playColorText(1, 10, 20, 255), "10,20,255");
  EXPECT_EQ(playColorText(0, 10, 20, 255), "");
}

// --- Slider encodings ----------------------------------------------------------------------

// --- List vocabulary -----------------------------------------------------------------------

TEST(ListVocabulary, ShapeNames) {
  struct Case { const char* name; int id; int position; };
  const Case cases[] = {
      {"circle", 0, 1}, {"RAY", 1, 5}, {"beam", 2, 6}, {"glow", 3, 4}, {"star", 4, 3},
      {"LightBurst", 5, 8}, {"laser", 6, 7}, {"rectangle", 7, 2}, {" rect ", 7, 2},
      {"sprite", 8, 9}, {"ring", 9, 10}, {"hexagon", -1, 0}, {"", -1, 0}, {"circles", -1, 0},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(ShapeIdFromName(k.name), k.id) << k.name;  // both lists know the same shapes
    EXPECT_EQ(ShapeChoiceFromName(k.name), k.position) << k.name;
  }
  const char* names[] = {"", "Circle", "Rectangle", "Star", "Glow", "Ray", "Beam", "Laser",
                         "LightBurst", "Sprite", "Ring"};
  for (int p = 0; p <= 10; ++p) EXPECT_EQ(ShapeChoiceName(p), names[p]);
  EXPECT_EQ(ShapeChoiceName(11), "");
  EXPECT_EQ(ShapeChoiceName(-1), "");
}


TEST(ListVocabulary, AreasModesAndDirections) {
  EXPECT_EQ(AreaChoiceText(0), "");
  EXPECT_EQ(AreaChoiceText(1), "0.5,0.5,1.0,1.0");
  EXPECT_EQ(AreaChoiceText(7), "0.0,0.5,0.05,1.0");
  EXPECT_EQ(AreaChoiceText(10), "0.75,0.5,0.5,1.0");
  EXPECT_EQ(AreaChoiceText(11), "");
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(AreaChoiceFromText(AreaChoiceText(i)), i);
  EXPECT_EQ(AreaChoiceFromText("0.5,0.5,1,1"), AreaPositionCustom);
  EXPECT_EQ(AreaChoiceFromText(" 0.5,0.5,1.0,1.0"), AreaPositionCustom);
  EXPECT_EQ(AreaChoiceFromText("   "), 0);

  EXPECT_EQ(ModeChoiceText(0), "");
  EXPECT_EQ(ModeChoiceText(1), "Continuous");
  EXPECT_EQ(ModeChoiceText(6), "Burst:1000");
  EXPECT_EQ(ModeChoiceText(7), "");
  EXPECT_EQ(ModeChoiceFromText("burst:200"), 4);
  EXPECT_EQ(ModeChoiceFromText(" CONTINUOUS "), 1);
  EXPECT_EQ(ModeChoiceFromText("burst : 200"), ModePositionCustom);
  EXPECT_EQ(ModeChoiceFromText(""), 0);

  const float angles[] = {0, 270, 90, 180, 0, 225, 315, 135, 45, 0, 0};
  for (int i = 0; i <= 10; ++i) EXPECT_EQ(DirectionChoiceAngle(i), angles[i]) << i;
  EXPECT_EQ(DirectionChoiceAngle(-1), 0);
}

TEST(SliderTexts, MultiplierReadingAndTexts) {
  struct Row {
    const char* text;
    int position;
  };
  const Row rows[] = {{"", 10},  {"   ", 10}, {"1.5", 15}, {"0", 0},    {"-2", 0},
                      {"8", 80}, {"abc", 0},  {"1.25", 13}, {"0.04", 0}, {"2x", 20}};
  for (const Row& row : rows) EXPECT_EQ(multiplierToSlider(row.text), row.position) << row.text;

  struct Label {
    int position;
    const char* multiplier, *tenths, *hundredths;
  };
  const Label labels[] = {{0, "off", "0.0", "0.00"},
                          {5, "0.5x", "0.5", "0.05"},
                          {15, "1.5x", "1.5", "0.15"},
                          {100, "10.0x", "10.0", "1.00"}};
  for (const Label& l : labels) {
    EXPECT_EQ(multiplierLabel(l.position), l.multiplier) << l.position;
    EXPECT_EQ(tenthsText(l.position), l.tenths) << l.position;
    EXPECT_EQ(hundredthsText(l.position), l.hundredths) << l.position;
  }
  EXPECT_EQ(percentLabel(50), "50%");
  EXPECT_EQ(degreesLabel(60), "60\xC2\xB0");
  EXPECT_EQ(multiplierRowLabel({15, 1}), "preset");
  EXPECT_EQ(multiplierRowLabel({0, 0}), "off");
  EXPECT_EQ(fractionRowLabel({25, 0}), "0.25");
  EXPECT_EQ(fractionRowLabel({25, 1}), "preset");
}

TEST(SliderTexts, PrewarmAndFadeOutLabels) {
  struct Row { int position; const char* prewarm; const char* fadeOut; };
  const Row rows[] = {{0, "off", "off"}, {1, "0.1 s", "100 ms"}, {15, "1.5 s", "1500 ms"},
                      {30, "3.0 s", "3000 ms"}, {50, "5.0 s", "5000 ms"}};
  for (const Row& r : rows) {
    EXPECT_EQ(prewarmLabel(r.position), r.prewarm) << r.position;
    EXPECT_EQ(fadeOutLabel(r.position), r.fadeOut) << r.position;
  }
}

TEST(SliderTexts, TrailAndBurstOnDeathLabels) {
  struct Row { int position; const char* trail; const char* burst; };
  const Row rows[] = {{0, "off", "off"}, {1, "0.05 s", "1"}, {5, "0.25 s", "5"}, {20, "1.00 s", "20"},
                      {50, "2.50 s", "50"}};
  for (const Row& r : rows) {
    EXPECT_EQ(trailLabel(r.position), r.trail) << r.position;
    EXPECT_EQ(deathBurstLabel(r.position), r.burst) << r.position;
  }
}

TEST(SliderTexts, DirectionChoiceAndSpread) {
  struct Row {
    const char* text;
    int position, spread;
  };
  constexpr int Custom = DirectionPositionCustom, Out = DirectionPositionOutward, In = DirectionPositionInward;
  const Row rows[] = {
      {"", 0, 60},        {"  ", 0, 60},       {",90", 0, 60},     {"271,30", Custom, 30},
      {"90,400", 9, 360}, {"90", 2, 0},        {"270,60", 1, 60},  {" 45.4 , 10 ", 8, 10},
      {"360,10", Custom, 10}, {"0,359", 9, 359}, {"-90,20", Custom, 20}, {"abc,20", 4, 20},
      {"180,-5", 3, 0},   {"225,358", 5, 358}, {"315,x", 6, 0},    {"135,45,9", 7, 45},
      {"outward", Out, 0}, {" Outward , 30", Out, 30}, {"inward,400", In, 360}, {"inwards", 4, 0},
  };
  for (const Row& row : rows) {
    int spread = -1;
    EXPECT_EQ(directionChoiceFromText(row.text, spread), row.position) << row.text;
    EXPECT_EQ(spread, row.spread) << row.text;
  }
}

TEST(SliderTexts, TaperEdgeZOrderAndTwinklePresets) {
  struct Row {
    const char* text;
    int edge;
  };
  const Row edges[] = {{"", 0},  {"top", 0},      {"Bottom", 1}, {" 1 ", 1}, {"LEFT", 2},
                       {"2", 2}, {"right ", 3},   {"3", 3},      {"4", 0},   {"middle", 0}};
  for (const Row& row : edges) EXPECT_EQ(taperEdgeChoiceFromText(row.text), row.edge) << row.text;

  EXPECT_EQ(zOrderChoiceFromText(" Behind "), 1);
  EXPECT_EQ(zOrderChoiceFromText("back"), 0);
  EXPECT_EQ(zOrderChoiceFromText(""), 0);

  for (int id = 0; id < PresetCount; ++id) {
    const std::string name = PresetDisplayName(id);
    const bool twinkles = id == PresetStars || id == PresetGlow || id == PresetLightBeams ||
                          id == PresetGodRays || id == PresetLaser || id == PresetAurora ||
                          id == PresetShimmer;
    EXPECT_EQ(isTwinklePreset(name), twinkles ? 1 : 0) << name;
  }
  EXPECT_EQ(isTwinklePreset(" stars "), 1);
  EXPECT_EQ(isTwinklePreset("AuroraBorealis"), 0);
}

// --- PlayAdvanced opening and the options text written by OK ---------------------------------

TEST(AdvancedOptions, OpeningThenOkWritesTheComposedText) {
  struct Row {
    const char* options;
    const char* written;  // composeOptions with the z-order, as OK writes slot 3
  };
  const Row rows[] = {
      {"", ""},
      {"foo=1;colorMid=1,2,3;orientation=horizontal;spawnRate=10", ""},
      {"emitArea=0.5,1.0,1.0,0.05", "emitArea=0.5,1.0,1.0,0.05"},
      {"emitArea=0.5,1,1,0.05", "emitArea=0.5,1,1,0.05"},
      {"direction=271,30", "direction=271,30"},
      {"direction=90,400", "direction=0,360"},
      {"direction=90", "direction=90,0"},
      {"direction=,90", ""},
      {"mode=burst:200", "mode=Burst:200"},
      {"mode=burst", "mode=burst"},
      {"mode= Continuous ", "mode=Continuous"},
      {"speed=0", "speed=0.0"},
      {"speed=-2", "speed=0.0"},
      {"speed=8", "speed=5.0"},
      {"density=12", "density=10.0"},
      {"life=1.25;twinkle=0.5;density=2.5;size=abc", "size=0.0;life=1.3;density=2.5;twinkle=0.5"},
      {"opacity=1", ""},
      {"opacity=1.5", ""},
      {"opacity=0.8", "opacity=0.80"},
      {"opacity=-1", "opacity=0.00"},
      {"feather=0.333", "feather=0.33"},
      {"feather=0.9", "feather=0.50"},
      {"taper=0.5;taperEdge=left", "taper=0.50;taperEdge=Left"},
      {"taperEdge=right", ""},
      {"taper=0.2;taperEdge=top", "taper=0.20"},
      {"shape=hexagon;zOrder=back;taperEdge=4;taper=0.2", "taper=0.20"},
      {"shape=RECT;sprite= C:\\a b.png ", "shape=Rectangle;sprite=C:\\a b.png"},
      {"colorStart= 255,80,0 ;colorEnd=bogus", "colorStart=255,80,0;colorEnd=bogus"},
      {"COLORSTART=1,2,3;colorstart=4,5,6", "colorStart=1,2,3"},
      {"colorStart=255,80,0;emitArea=0.5,1.0,1.0,0.05;direction=270,60;mode=Burst:200;zOrder=behind",
       "colorStart=255,80,0;emitArea=0.5,1.0,1.0,0.05;direction=270,60;mode=Burst:200;zOrder=Behind"},
      {"opacity=0.8;zOrder=Behind;mode=Burst:200;speed=1.5;direction=270,60",
       "direction=270,60;speed=1.5;mode=Burst:200;zOrder=Behind;opacity=0.80"},
      // The effect's start and stop come last, only when not off, in the sliders' steps.
      {"prewarm=1.5;fadeOut=800", "prewarm=1.5;fadeOut=800"},
      {"fadeOut=800;opacity=0.5;prewarm=3", "opacity=0.50;prewarm=3;fadeOut=800"},
      {"prewarm=0;fadeOut=0", ""},
      {"prewarm=-1;fadeOut=-100", ""},
      {"prewarm=9;fadeOut=9000", "prewarm=5;fadeOut=3000"},
      {"prewarm=1.56;fadeOut=849", "prewarm=1.6;fadeOut=800"},
      {"prewarm=0.04;fadeOut=49", ""},
      // Streaks and bursts on death follow, only when not off; a burst's speed is kept as written.
      {"deathBurst=12:150;trail=0.25", "trail=0.25;deathBurst=12:150"},
      {"trail=0.2;fadeOut=800;deathBurst=8", "fadeOut=800;trail=0.20;deathBurst=8"},
      {"trail=0.01;deathBurst=0:300", "trail=0.05"},
      {"trail=5;deathBurst=900", "trail=1.00;deathBurst=50"},
      {"trail=0.33;deathBurst= 7 : 99.5 ", "trail=0.35;deathBurst=7:99.5"},
      {"trail=0;trail=0.5;deathBurst=-3", ""},
      // Where particles are born and a sprite sheet's frames follow, as written.
      {"emitShape=Edge;direction=outward", "direction=outward;emitShape=edge"},
      {"direction=inward,40;emitShape=ring", "direction=inward,40;emitShape=ring"},
      {"emitShape=mask: C:\\img\\word.png ", "emitShape=mask:C:\\img\\word.png"},
      {"emitShape=mask:;emitShape=edge", ""},
      {"emitShape=area;emitShape=blob", ""},
      {"spriteFrames=4x4@12;shape=sprite;sprite=a.png", "shape=Sprite;sprite=a.png;spriteFrames=4x4@12"},
      {"spriteFrames= 8x2 ", "spriteFrames=8x2"},
  };
  for (const Row& row : rows) {
    const AdvancedDialogState s = openAdvanced(row.options);
    EXPECT_EQ(composeOptions(s, 1), row.written) << row.options;
  }
}

TEST(AdvancedOptions, TheListsAndRowsShownWhenOpening) {
  AdvancedDialogState s = openAdvanced("");
  EXPECT_EQ(s.presetText, "Sparkle");
  EXPECT_EQ(s.presetIndex, PresetSparkle);
  EXPECT_EQ(s.intensity, 50);
  EXPECT_EQ(s.area, 0);
  EXPECT_EQ(s.direction, 0);
  EXPECT_EQ(s.spread, 60);
  for (const PresetSlider& m : s.multiplier) EXPECT_EQ(multiplierRowLabel(m), "preset");
  for (const PresetSlider& m : s.multiplier) EXPECT_EQ(m.position, 10);
  for (const PresetSlider& f : s.fraction) EXPECT_EQ(f.position, 0);
  for (const PresetSlider& f : s.fraction) EXPECT_EQ(f.presetChecked, 1);
  EXPECT_EQ(s.opacity, 100);
  EXPECT_EQ(s.zOrder, 0);

  s = openAdvanced("emitArea=0.5,1,1,0.05;direction=271,30;mode=burst;speed=0;feather=0.333;"
                   "taper=0.5;taperEdge=left;shape=sprite;zOrder=behind;opacity=0.25",
                   "glow ", "250");
  EXPECT_EQ(s.presetIndex, PresetGlow);
  EXPECT_EQ(s.intensity, 100);
  EXPECT_EQ(s.area, AreaPositionCustom);
  EXPECT_EQ(s.customArea, "0.5,1,1,0.05");
  EXPECT_EQ(s.direction, DirectionPositionCustom);
  EXPECT_EQ(s.customDirection, "271,30");
  EXPECT_EQ(s.spread, 30);
  EXPECT_EQ(s.mode, ModePositionCustom);
  EXPECT_EQ(s.customMode, "burst");
  EXPECT_EQ(s.multiplier[RowSpeed].presetChecked, 0);
  EXPECT_EQ(multiplierRowLabel(s.multiplier[RowSpeed]), "off");
  EXPECT_EQ(fractionRowLabel(s.fraction[RowFeather]), "0.33");
  EXPECT_EQ(fractionRowLabel(s.fraction[RowTaper]), "0.50");
  EXPECT_EQ(s.taperEdge, 2);
  EXPECT_EQ(s.shape, ShapePositionSprite);
  EXPECT_EQ(s.zOrder, 1);
  EXPECT_EQ(s.opacity, 25);

  // The slider moved while the custom direction is selected does not change what is written.
  s.spread = 200;
  EXPECT_EQ(composeOptions(s, 0),
            "emitArea=0.5,1,1,0.05;direction=271,30;speed=0.0;feather=0.33;taper=0.50;"
            "taperEdge=Left;shape=Sprite;mode=burst;opacity=0.25");
}

TEST(AdvancedOptions, ZOrderOnlyWithTheZOrderKey) {
  const AdvancedDialogState s = openAdvanced("zOrder=behind;opacity=0.5;mode=burst:50");
  EXPECT_EQ(composeOptions(s, 1), "mode=Burst:50;zOrder=Behind;opacity=0.50");
  EXPECT_EQ(composeOptions(s, 0), "mode=Burst:50;opacity=0.50");
}

TEST(AdvancedOptions, CheckingAPresetBoxDropsItsKey) {
  AdvancedDialogState s = openAdvanced("taper=0.5;taperEdge=left;speed=2;feather=0.1");
  EXPECT_EQ(composeOptions(s, 1), "speed=2.0;feather=0.10;taper=0.50;taperEdge=Left");
  s.fraction[RowTaper].presetChecked = 1;
  s.multiplier[RowSpeed].presetChecked = 1;
  EXPECT_EQ(composeOptions(s, 1), "feather=0.10");
  // Unchecking a box writes the slider as it stands.
  s.multiplier[RowDensity].presetChecked = 0;
  s.multiplier[RowDensity].position = 0;
  EXPECT_EQ(composeOptions(s, 1), "density=0.0;feather=0.10");
}

TEST(AdvancedOptions, BackToPresetDefaultsKeepsRectanglePresetZOrderAndCustomTexts) {
  AdvancedDialogState s = openAdvanced(
      "colorStart=1,2,3;colorEnd=4,5,6;emitArea=0.1,0.1,1,1;direction=10,20;speed=2;size=3;"
      "life=0.5;density=4;twinkle=2;feather=0.2;taper=0.3;taperEdge=right;mode=burst:7;"
      "shape=star;sprite=a.png;zOrder=behind;opacity=0.3;trail=0.5;deathBurst=9:120",
      "Stars", "90");
  ASSERT_EQ(s.area, AreaPositionCustom);
  ASSERT_EQ(s.trail, 10);
  ASSERT_EQ(s.deathBurst, 9);
  backToPresetDefaults(s);
  EXPECT_EQ(s.rectangle, "Rect1");
  EXPECT_EQ(s.presetIndex, PresetStars);
  EXPECT_EQ(s.intensity, 50);
  EXPECT_EQ(s.spread, 60);
  EXPECT_EQ(s.taperEdge, 0);
  for (const PresetSlider& m : s.multiplier) {
    EXPECT_EQ(m.position, 10);
    EXPECT_EQ(m.presetChecked, 1);
  }
  for (const PresetSlider& f : s.fraction) {
    EXPECT_EQ(f.position, 0);
    EXPECT_EQ(f.presetChecked, 1);
  }
  EXPECT_EQ(composeOptions(s, 1), "zOrder=Behind");
  EXPECT_EQ(composeOptions(s, 0), "");
  // The custom entries stay in their lists and can be chosen again.
  EXPECT_EQ(s.customArea, "0.1,0.1,1,1");
  EXPECT_EQ(s.customDirection, "10,20");
  EXPECT_EQ(s.customMode, "burst:7");
  s.mode = ModePositionCustom;
  EXPECT_EQ(composeOptions(s, 0), "mode=burst:7");
}

// --- The reader's rows: Cursor, Click, When it ends ----------------------------------------

namespace {

// What the options reader makes of a text's reader keys, over the Sparkle preset.
EmitterConfig readerConfig(const std::string& options) {
  EmitterConfig c = {};
  LoadPreset("Sparkle", c);
  int32_t inFront = 1;
  ApplyConfigOptions(c, inFront, options);
  return c;
}

}  // namespace

// Each row opens the dialog from an options text, checks the rows it shows, and what OK (and the
// preview) writes; the effect of the written text is the effect of the text read, to the pixel
// the radius field shows.
TEST(AdvancedOptions, ReaderRowsOpenAndWriteAsTheEffectPlaysThem) {
  struct Row {
    const char* options;
    int cursor, radius, click, count;
    const char* onEnd;
    const char* written;
  };
  const Row rows[] = {
      {"", CursorNone, 120, 0, 60, "", ""},
      {"cursor=follow", CursorFollow, 120, 0, 60, "", "cursor=follow"},
      {"cursor= Repel ", CursorRepel, 120, 0, 60, "", "cursor=repel:120"},
      {"cursor=attract:250", CursorAttract, 250, 0, 60, "", "cursor=attract:250"},
      {"cursor=REPEL: 5", CursorRepel, 10, 0, 60, "", "cursor=repel:10"},
      {"cursor=attract:5000", CursorAttract, 1000, 0, 60, "", "cursor=attract:1000"},
      {"cursor=repel:abc", CursorRepel, 10, 0, 60, "", "cursor=repel:10"},
      {"cursor=repel:", CursorRepel, 120, 0, 60, "", "cursor=repel:120"},
      {"cursor=repel:150.4", CursorRepel, 150, 0, 60, "", "cursor=repel:150"},
      {"cursor=none", CursorNone, 120, 0, 60, "", ""},
      {"cursor=follow:30", CursorNone, 120, 0, 60, "", ""},
      {"cursor=wiggle:30", CursorNone, 120, 0, 60, "", ""},
      {"click=burst", CursorNone, 120, 1, 60, "", "click=burst:60"},
      {"click= BURST : 80 ", CursorNone, 120, 1, 80, "", "click=burst:80"},
      {"click=burst:0", CursorNone, 120, 1, 1, "", "click=burst:1"},
      {"click=burst:900", CursorNone, 120, 1, 500, "", "click=burst:500"},
      {"click=burst:x", CursorNone, 120, 1, 1, "", "click=burst:1"},
      {"click=off", CursorNone, 120, 0, 60, "", ""},
      {"click=tap:5", CursorNone, 120, 0, 60, "", ""},
      {"onEnd= GoSub \"ShowNext\" ", CursorNone, 120, 0, 60, "GoSub \"ShowNext\"", "onEnd=GoSub \"ShowNext\""},
      {"onEnd=SetVar \"[a]\" \"b=c\"", CursorNone, 120, 0, 60, "SetVar \"[a]\" \"b=c\"",
       "onEnd=SetVar \"[a]\" \"b=c\""},
      // After every other key, in the order the effect applies them.
      {"motion=always;onEnd=X;click=burst:5;cursor=follow;speed=2", CursorFollow, 120, 1, 5, "X",
       "speed=2.0;cursor=follow;click=burst:5;onEnd=X;motion=always"},
      {"motion=sometimes;cursor=Attract:90;fadeOut=800", CursorAttract, 90, 0, 60, "",
       "fadeOut=800;cursor=attract:90"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.options);
    const AdvancedDialogState s = openAdvanced(row.options);
    EXPECT_EQ(s.cursorMode, row.cursor);
    EXPECT_EQ(s.cursorRadius, row.radius);
    EXPECT_EQ(s.clickBurst, row.click);
    EXPECT_EQ(s.clickCount, row.count);
    EXPECT_EQ(s.onEnd, row.onEnd);
    EXPECT_EQ(composeOptions(s, 1), row.written);
    EXPECT_EQ(composeOptions(s, 0), row.written) << "the preview answers the reader as the page does";
    const EmitterConfig read = readerConfig(row.options), written = readerConfig(row.written);
    EXPECT_EQ(written.cursorMode, read.cursorMode);
    EXPECT_NEAR(written.cursorRadius, read.cursorRadius, 0.5f);
    EXPECT_EQ(written.clickBurst, read.clickBurst);
  }
}

// The radius and count fields read as the options reader reads the number after the colon.
TEST(AdvancedOptions, RadiusAndCountFields) {
  struct Row {
    const char* field;
    int radius, count;
  };
  const Row rows[] = {
      {"", 120, 60},    {"   ", 120, 60}, {"150", 150, 150}, {" 80px", 80, 80},   {"5", 10, 5},
      {"0", 10, 1},     {"-20", 10, 1},   {"abc", 10, 1},    {"1e30", 1000, 1},  {"2000", 1000, 500},
      {"10.5", 11, 10}, {"999.6", 1000, 500},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(cursorRadiusFromText(row.field), row.radius) << row.field;
    EXPECT_EQ(clickCountFromText(row.field), row.count) << row.field;
  }
}

// A `;` typed into the action line cannot end it nor start a key of its own: every one is
// stripped, and reading the written text back gives the whole line.
TEST(AdvancedOptions, AnActionLineNeverBreaksTheOptionsText) {
  struct Row {
    const char* typed;
    const char* written;
  };
  const Row rows[] = {
      {"GoSub \"Next\"", "speed=2.0;onEnd=GoSub \"Next\""},
      {"AlertBox \"Done\" \"Well done; see you\"", "speed=2.0;onEnd=AlertBox \"Done\" \"Well done see you\""},
      {"GoSub \"A\";click=burst:500", "speed=2.0;onEnd=GoSub \"A\"click=burst:500"},
      {";cursor=repel", "speed=2.0;onEnd=cursor=repel"},
      {"  ; ;; ", "speed=2.0"},
      {"", "speed=2.0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    AdvancedDialogState s = openAdvanced("speed=2");
    s.onEnd = row.typed;
    const std::string written = composeOptions(s, 1);
    EXPECT_EQ(written, row.written);
    EXPECT_EQ(getOption(written, "click"), "");
    EXPECT_EQ(getOption(written, "cursor"), "");
    EXPECT_EQ(openAdvanced(written).onEnd, onEndText(row.typed));
  }
}

TEST(AdvancedOptions, BackToPresetDefaultsTurnsTheReaderOffAndKeepsTheEnd) {
  AdvancedDialogState s = openAdvanced("cursor=repel:300;click=burst:9;onEnd=GoSub \"Next\";motion=always");
  ASSERT_EQ(s.cursorMode, CursorRepel);
  ASSERT_EQ(s.clickBurst, 1);
  backToPresetDefaults(s);
  EXPECT_EQ(s.cursorMode, CursorNone);
  EXPECT_EQ(s.cursorRadius, 120);
  EXPECT_EQ(s.clickBurst, 0);
  EXPECT_EQ(s.clickCount, 60);
  EXPECT_EQ(composeOptions(s, 1), "onEnd=GoSub \"Next\";motion=always");
}
