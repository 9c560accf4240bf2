// The author's guide: one HTML page and its pictures, written from the code's own tables. The
// preset list, the facts about each preset, the options keys in the order they are applied, the
// shapes and emit areas, the worked example of key order and the intensity readings all come from
// the core (LoadPreset, ApplyOptions, OptionKeys, ErrorTexts, ...); what this file adds is words
// and the choice of pictures: a description and variations per preset, the pictures per key.
// Every picture is rendered here with a fixed seed, so the guide is the same on every machine.
// State: none between runs; one Guide record while the guide is written.
#include "guide.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/error_texts.h"
#include "common/text.h"
#include "config/emitter_config.h"
#include "config/option_keys.h"
#include "config/options.h"
#include "config/sprite.h"
#include "editor/editor_state.h"
#include "image_io.h"
#include "playground_page.h"
#include "reader_replay.h"
#include "render_run.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"

namespace {

// ---- Pictures -----------------------------------------------------------------------------------

constexpr int PictureWidth = 240;       // pixels of a preset's picture
constexpr int PictureHeight = 160;
constexpr int SmallWidth = 180;         // pixels of an option's picture
constexpr int SmallHeight = 120;
constexpr int PictureFrames = 50;       // two seconds...
constexpr double PictureFps = 25;       // ...at the frame rate of the GIFs (delays of 4/100 s)
// GIF frames hold only what changed by more than this (per channel, 0-255): the pictures are a
// third to half the size, and no pixel is ever further than this from the frame.
constexpr int PictureTolerance = 8;
constexpr uint64_t PictureSeed = 1;
constexpr double MaxWarmupSeconds = 5;  // a continuous effect is shown once it has filled in
constexpr int SampleIntensity = 50;     // the preset as designed
const char* const SampleRect = "Rect1";

// The playground: its page (the template compiled in, playground_page.cpp) and the two modules
// it loads, copied from the folder of the browser build.
const char* const PlaygroundPage = "playground.html";
const char* const PlaygroundModules[] = {"lumivex_playground_simd.js", "lumivex_playground.js"};

// The sprite picture the guide draws itself, and how the examples name it.
constexpr int SpriteSide = 64;          // pixels
const char* const SpriteFile = "heart.png";
const char* const SpriteToken = "@SPRITE@";  // stands for the picture's path in an options text
const char* const SpriteShownPath = "C:\\Effects\\heart.png";
// The pictures of emitShape=mask and spriteFrames, drawn like the heart when the guide is written.
const char* const MaskFile = "hello.png";
const char* const MaskToken = "@MASK@";
const char* const MaskShownPath = "C:\\Effects\\hello.png";
const char* const SheetFile = "propeller.png";
const char* const SheetToken = "@SHEET@";
const char* const SheetShownPath = "C:\\Effects\\propeller.png";

// ---- What the guide says about each preset -------------------------------------------------------

struct Variation {
  const char* label;    // null: no variation in this slot
  const char* options;  // PlayAdvanced's options text
};

struct PresetNote {
  const char* preset;         // display name, as PresetDisplayName spells it
  const char* description;
  Variation variations[3];
};

const PresetNote kPresetNotes[] = {
    {"Sparkle", "Bright points bursting out of the middle in every direction and fading fast.",
     {{"Gold, over the whole area", "colorStart=255,215,0;colorEnd=255,120,0;emitArea=0.5,0.5,1,1"},
      {"One burst of stars", "mode=burst:150;shape=star"},
      {"Rising, in blue", "direction=270,40;colorStart=200,230,255;colorEnd=80,160,255"}}},
    {"Fire", "Flames rising from the bottom centre, yellow to orange to a dark red.",
     {{"Blue gas flame", "colorStart=200,240,255;colorMid=80,140,255;colorEnd=20,20,120"},
      {"A wall of fire", "emitArea=0.5,0.9,1,0.05;density=3"},
      {"Embers", "shape=circle;size=0.4;speed=0.6;colorMid=none"}}},
    {"Rain", "Streaks falling straight down over the whole width.",
     {{"Slanting in the wind", "direction=110"},
      {"Green code rain", "colorStart=120,255,140;colorEnd=0,120,40;speed=0.5"},
      {"Drizzle", "density=0.3;speed=0.6;opacity=0.6"}}},
    {"Snow", "Soft flakes drifting down from the top edge.",
     {{"Blizzard", "density=3;direction=60,30;speed=2"},
      {"Falling petals", "colorStart=255,170,200;colorEnd=255,120,170;shape=rectangle"},
      {"Light snowfall", "density=0.4;size=0.7"}}},
    {"Confetti", "Paper pieces of five colours spinning down from the top.",
     {{"Gold and silver", "colorStart=255,215,0;colorEnd=220,220,235"},
      {"One burst from the middle", "mode=burst:300;emitArea=0.5,0.5,0,0;direction=270,120;speed=3"},
      {"Stars instead of paper", "shape=star"}}},
    {"MagicDust", "Drifting specks of light in violet and blue, floating gently upwards.",
     {{"Fairy green", "colorStart=180,255,150;colorEnd=40,200,120"},
      {"Rising from the bottom", "emitArea=0.5,1,1,0.05;direction=270,30;speed=3"},
      {"Glitter stars", "shape=star;size=1.5"}}},
    {"Explosion", "One burst of 200 sparks from the middle; it plays once.",
     {{"Blue plasma", "colorStart=220,240,255;colorEnd=40,80,255"},
      {"A burst of stars", "shape=star;mode=burst:120;speed=0.7"},
      {"A fountain that keeps going", "mode=continuous:80;emitArea=0.5,1,0,0;direction=270,60"}}},
    {"LightRays", "Warm rays of light falling from the top.",
     {{"Sunset", "colorStart=255,180,100;colorEnd=255,100,60"},
      {"From the left", "emitArea=0,0.5,0.05,0.6;direction=0,40"},
      {"Denser and longer", "density=3;life=1.5"}}},
    {"Beams", "A few long, faint beams of light from the top.",
     {{"Cold blue light", "colorStart=200,220,255;colorEnd=150,180,255"},
      {"Stage lights from below", "emitArea=0.5,1,0.8,0.02;direction=270,20"},
      {"More of them, wider", "direction=90,60;density=3"}}},
    {"Glow", "Large soft glows that drift and flicker slowly.",
     {{"Warm embers", "colorStart=255,150,50;colorEnd=255,60,0"},
      {"Faster flicker", "twinkle=4"},
      {"Rings", "shape=ring"}}},
    {"Stars", "Twinkling stars appearing all over the area.",
     {{"Warm and cold stars", "colorStart=255,200,120;colorEnd=150,200,255"},
      {"Calmer twinkle", "twinkle=0.3"},
      {"A starry top half", "emitArea=0.5,0.25,1,0.5;size=0.6;density=2"}}},
    {"LightBeams", "Slow shafts of light rising over the whole area, pulsing softly.",
     {{"Golden hour", "colorStart=255,210,130;colorEnd=255,160,80"},
      {"Sideways", "orientation=horizontal"},
      {"Narrowing to the top", "taper=0.8;taperEdge=top"}}},
    {"GodRays", "Bursts of rays from one point in the middle, pulsing.",
     {{"Pink halo", "colorStart=255,200,230;colorEnd=255,120,200"},
      {"From a corner", "emitArea=0.15,0.15,0,0"},
      {"Bigger and denser", "size=1.5;density=2"}}},
    {"Laser", "Fast bolts shot to the right from the middle.",
     {{"Green laser", "colorStart=120,255,120;colorEnd=0,200,60"},
      {"Down from the top", "emitArea=0.5,0,0,0;direction=90,30"},
      {"Bolts in every direction", "direction=0,360"}}},
    {"Bubbles", "Rings rising slowly from the bottom edge.",
     {{"Soap bubbles", "size=2;colorStart=255,220,255;colorEnd=200,255,255"},
      {"Bubbles everywhere", "emitArea=0.5,0.5,1,1;density=3"},
      {"Champagne", "colorStart=255,230,150;colorEnd=255,245,200;size=0.4;density=6;speed=2"}}},
    {"PulseWave", "One soft pulse of light in the middle; it plays once.",
     {{"Red alert", "colorStart=255,80,80;colorEnd=255,0,0"},
      {"Pulsing on", "mode=continuous:2"},
      {"Ripples", "shape=ring;mode=continuous:3"}}},
    {"Aurora", "Faint curtains of green and violet light, rising and pulsing.",
     {{"Pink and violet", "colorStart=255,120,200;colorEnd=120,80,255"},
      {"High in the sky", "emitArea=0.5,0.2,1,0.1"},
      {"Brighter", "density=3"}}},
    {"Shimmer", "Pale streaks of light rising over the whole area, faded at the edges.",
     {{"Golden", "colorStart=255,230,160;colorEnd=255,190,80"},
      {"Sideways", "orientation=horizontal"},
      {"Faster", "speed=4"}}},
    {"AuroraBorealis", "Northern lights: green and violet curtains over the whole area.",
     {{"Red aurora", "colorStart=255,90,120;colorEnd=255,160,60"},
      {"Stronger", "density=3"},
      {"Over the lower half", "emitArea=0.5,0.75,1,0.5"}}},
    {"Fireworks", "Rockets rising from the bottom edge, each bursting high up into a round shell of "
                  "sparks in a colour of its own; the sparks fall, twinkle and fade.",
     {{"All gold", "colorStart=255,210,90;colorEnd=160,80,20"},
      {"A big finale", "density=4;deathBurst=50:220"},
      {"Long trails", "trail=0.5"}}},
};
constexpr int PresetNoteCount = static_cast<int>(sizeof kPresetNotes / sizeof kPresetNotes[0]);

// ---- Pictures of the options -------------------------------------------------------------------

struct OptionPicture {
  const char* key;         // the option key it illustrates
  const char* caption;
  const char* preset;
  const char* options;     // SpriteToken stands for the sprite picture's path
  bool fromStart = false;  // shown from Play on, not once the effect has filled in
  int stopFrame = -1;      // picture frame at which Lumivex_Stop stops it; -1: never
  // The reader's mouse replayed over the picture, as lumivex-render's --cursor and --clicks read
  // them (picture frames; the warm-up has the cursor elsewhere), and drawn into it.
  const char* cursorPath = nullptr;
  const char* clicks = nullptr;
};

constexpr int StopFrame = 20;  // 0.8 s into a picture

// Shapes and emit areas have a picture each, generated from the code's lists below this table.
// A picture with a replayed mouse shows it as lumivex-render's --cursor-marker draws it.
const OptionPicture kOptionPictures[] = {
    {"colorMid", "Fire as designed: yellow, orange, dark red", "Fire", ""},
    {"colorMid", "Fire without its middle colour", "Fire", "colorMid=none"},
    {"colorMid", "A violet middle colour", "Fire", "colorMid=255,0,255"},
    {"direction", "Right, a narrow fan", "Sparkle", "direction=0,20;speed=2"},
    {"direction", "Up, a wide fan", "Sparkle", "direction=270,90;speed=2"},
    {"direction", "Down-left, no spread", "Sparkle", "direction=135,0;speed=2"},
    {"mode", "Continuous, 40 a second", "Explosion", "mode=continuous:40"},
    {"mode", "One burst of 100", "Sparkle", "mode=burst:100"},
    {"opacity", "Fire as designed", "Fire", ""},
    {"opacity", "Fire at 0.35", "Fire", "opacity=0.35"},
    {"twinkle", "Stars without twinkle", "Stars", "twinkle=0"},
    {"twinkle", "Stars twinkling three times as fast", "Stars", "twinkle=3"},
    {"feather", "Snow without feather", "Snow", "feather=0"},
    {"feather", "Snow fading at the edges", "Snow", "feather=0.3"},
    {"taper", "Born over the whole area", "MagicDust", "emitArea=0.5,0.5,1,1"},
    {"taper", "Narrowing to the top", "MagicDust", "emitArea=0.5,0.5,1,1;taper=0.9;taperEdge=top"},
    {"taperEdge", "Narrowing to the left", "MagicDust", "emitArea=0.5,0.5,1,1;taper=0.9;taperEdge=left"},
    {"taperEdge", "Narrowing to the bottom, with feather", "MagicDust",
     "emitArea=0.5,0.5,1,1;taper=0.9;taperEdge=bottom;feather=0.2"},
    {"trail", "Fire's sparks without trails", "Fire", "shape=circle;size=0.4;colorMid=none"},
    {"trail", "The same sparks with trail=0.3", "Fire", "shape=circle;size=0.4;colorMid=none;trail=0.3"},
    {"trail", "A comet: one slow glow with a long trail", "Sparkle",
     "mode=continuous:3;direction=0,10;emitArea=0.1,0.5,0,0.6;speed=2;life=3;trail=0.8;size=1.5"},
    {"deathBurst", "Sparkle as designed", "Sparkle", ""},
    {"deathBurst", "Each spark bursts into 12", "Sparkle", "deathBurst=12:60"},
    {"deathBurst", "One burst of 20, each into 30", "Explosion", "mode=burst:20;deathBurst=30:160;trail=0.15"},
    {"emitShape", "Sparkles running round a button", "Sparkle",
     "emitArea=0.5,0.5,0.6,0.3;emitShape=edge;speed=0.05;size=0.8;density=3"},
    {"emitShape", "A word made of glitter (a picture mask)", "MagicDust",
     "emitArea=0.5,0.5,0.9,0.7;emitShape=mask:@MASK@;density=5;speed=0.15;size=0.8"},
    {"emitShape", "A ring of stars", "Stars", "emitArea=0.5,0.5,0.7,0.7;emitShape=ring;density=3"},
    {"direction", "Stars bursting outward from a badge", "Sparkle",
     "emitArea=0.5,0.5,0.25,0.25;emitShape=ring;direction=outward,10;shape=star;size=1.5;speed=1.5"},
    {"direction", "Drawn in from the edges", "MagicDust", "emitShape=edge;emitArea=0.5,0.5,1,1;direction=inward;speed=3;density=4;size=1.5"},
    {"spriteFrames", "A 4 x 4 sheet looping at 12 frames a second", "Snow",
     "shape=sprite;sprite=@SHEET@;spriteFrames=4x4@12;density=0.1;colorStart=255,230,150;colorEnd=255,200,120"},
    {"spriteFrames", "The same sheet played once over each life", "Snow",
     "shape=sprite;sprite=@SHEET@;spriteFrames=4x4;density=0.1;colorStart=160,220,255;colorEnd=160,220,255"},
    {"prewarm", "As Play opens Snow: empty at first", "Snow", "", true},
    {"prewarm", "Already falling when it opens", "Snow", "prewarm=5", true},
    {"fadeOut", "Lumivex_Stop after 0.8 s: gone at once", "Fire", "", false, StopFrame},
    {"fadeOut", "Lumivex_Stop after 0.8 s: fades out over 0.8 s", "Fire", "fadeOut=800", false, StopFrame},
    {"cursor", "follow: a wand of sparkles; nothing new once the mouse leaves", "Sparkle", "cursor=follow", false, -1,
     "0:20,95;15:70,30;30:120,90;40:165,35;44:-"},
    {"cursor", "repel: the snow parts round the mouse and flows past it", "Snow", "cursor=repel:40", false, -1,
     "0:-;4:15,45;20:90,45"},
    {"cursor", "attract: the dust gathers round the mouse", "MagicDust", "cursor=attract:80;density=2", false, -1,
     "0:-;5:30,90;18:90,60"},
    {"click", "Two clicks after the explosion: a new one at each", "Explosion", "click=burst:80", false, -1,
     "0:-;6:70,55;14:45,40;22:135,85;36:135,85;42:-", "14:45,40;28:135,85"},
};

// What the guide says of a key beyond its row of OptionKeys: HTML after the key's description.
struct KeyNote {
  const char* key;
  const char* html;
};

const KeyNote kKeyNotes[] = {
    {"cursor",
     "<p>The pictures replay a mouse moving over the rectangle: the white ring shows where the "
     "pointer is (on the page the reader sees only their own pointer), and no ring means the "
     "pointer is elsewhere. Only the pointer over the effect's own rectangle counts, and only "
     "while no other window covers the rectangle there. A burst that follows "
     "starts round the pointer when it is over the rectangle at Play, else in its own place.</p>\n"},
    {"click",
     "<p>A spreading ring in the picture marks each click. Each click bursts once, round the click "
     "with the size of the effect's emit area, and works with every <code>cursor</code> mode and "
     "with none; an effect fading out after <code>Lumivex_Stop</code> no longer answers clicks.</p>\n"},
    {"motion",
     "<p><b>Readers who turn animations off.</b> When \"Show animations in Windows\" is off "
     "(Windows 10: Ease of Access, Display; Windows 11: Accessibility, Visual effects, Animation "
     "effects), Lumivex does not animate. A continuous effect "
     "shows one still frame of its steady state; a burst shows its fullest frame and fades it out "
     "over what was left of its particles' lives, then ends as a burst does (its "
     "<code>onEnd</code> line runs then). Such a still effect does not answer the mouse or "
     "clicks. <code>motion=always</code> plays the effect moving all the same: keep it for effects "
     "the page cannot do without. The setting is read when the effect starts.</p>\n"},
};

const KeyNote* keyNote(const char* key) {
  for (const KeyNote& n : kKeyNotes)
    if (std::strcmp(n.key, key) == 0) return &n;
  return nullptr;
}

// The worked example of onEnd: a button shown once the fireworks are over.
const char* const EndPreset = "Fireworks";
const char* const EndOptions = "mode=burst:6;onEnd=GoSub \"ShowNext\"";

// The shape pictures: Sparkle spread over most of the area, larger than usual, in each shape.
const char* const ShapeBaseOptions = "emitArea=0.5,0.5,0.7,0.7;size=2;shape=";
const char* const ShapePreset = "Sparkle";
// The emit area pictures: MagicDust's slow specks show where they are born.
const char* const AreaPreset = "MagicDust";

// ---- The worked example of key order ---------------------------------------------------------

struct OrderExample {
  const char* point;     // what the pair shows
  const char* preset;
  int intensity;
  const char* first;     // two options texts...
  const char* second;
  const char* fields;    // ...compared on these fields, space-separated
  bool compare;          // say whether the two build the same effect
};

const OrderExample kOrderExamples[] = {
    {"Where a key stands in the text does not matter: colorStart after shape or before it.",
     "Sparkle", 50, "shape=star;colorStart=255,80,0", "colorStart=255,80,0;shape=star",
     "shape colorStartR colorStartG colorStartB", true},
    {"mode is applied before density, so density multiplies the count that mode set.", "Sparkle", 50,
     "density=2;mode=burst:100", "mode=burst:100;density=2", "burstCount", true},
    {"orientation is applied after direction and wins over its angle (the spread stays).", "Sparkle", 50,
     "orientation=horizontal;direction=45,20", "direction=45,20;orientation=horizontal",
     "baseAngle spreadAngle", true},
    {"A key given twice counts once: its first occurrence.", "Sparkle", 50,
     "colorStart=255,0,0;colorStart=0,0,255", "colorStart=0,0,255;colorStart=255,0,0",
     "colorStartR colorStartB", false},
    {"The intensity comes first and the multipliers act on what it left: Sparkle emits 40 a second "
     "at intensity 50, twice as many at 100, and density doubles that.",
     "Sparkle", 100, "", "density=2", "spawnRate", false},
};

// ---- Actions ------------------------------------------------------------------------------------

struct ActionNote {
  const char* name;
  const char* parameters;  // HTML
  const char* what;        // HTML
};

const ActionNote kActions[] = {
    {"Lumivex_Play",
     "rectangle, preset, intensity, colour",
     "Plays a preset over the rectangle. Returns 1, or 0 with the reason in "
     "<code>[Lumivex.LastError]</code>."},
    {"Lumivex_PlayAdvanced",
     "rectangle, preset, intensity, options",
     "As Play, then adjusts the preset with the <a href=\"#options\">options text</a>."},
    {"Lumivex_Stop", "rectangle",
     "Stops the effect on that rectangle; an empty name stops every effect. Always returns 1."},
    {"Lumivex_StopAll", "(none)",
     "Stops every effect at once and releases its windows: use it in exit and clean-up handlers. "
     "Returns 1."},
};

struct ParameterNote {
  const char* name;
  const char* whenEmpty;   // HTML
  const char* reading;     // HTML
};

const ParameterNote kParameters[] = {
    {"rectangle", "an error (\"Empty rectangle name.\")",
     "The name of a Rectangle object of the page; case and surrounding spaces do not matter. One "
     "rectangle holds one effect: playing again on it replaces the effect."},
    {"preset", "Sparkle", "One of the <a href=\"#presets\">20 presets</a>, in any case; an unknown name plays Sparkle."},
    {"intensity", "50",
     "0-100: how many particles are emitted. 50 is the preset as designed, 100 twice as many, 0 "
     "none. The leading number is read and held to 0-100 (see the readings below)."},
    {"colour (Play)", "the preset's own colours",
     "<code>R,G,B</code>, for example <code>255,120,0</code>: one solid colour from birth to the "
     "end of life, instead of the preset's colours."},
    {"options (PlayAdvanced)", "the preset as designed",
     "<code>key=value;key=value;...</code>: see <a href=\"#options\">Options</a>."},
};

// Intensity texts whose readings the guide shows, as the actions read them.
const char* const kIntensitySamples[] = {"80", "250", "-20", "lots", "$40", "75%"};

// ---- Editors --------------------------------------------------------------------------------

struct EditorNote {
  const char* file;   // screenshot's file name in the --editors folder
  const char* title;  // the dialog's caption
  const char* what;   // HTML
};

const EditorNote kEditors[] = {
    {"play.png", "Lumivex - Play",
     "The rectangle (with <b>Select...</b> to pick it on the page), the preset list, the "
     "intensity slider and an override colour with <b>Pick...</b>. The preview plays the effect "
     "as the controls change."},
    {"stop.png", "Lumivex - Stop", "The rectangle whose effect stops; empty stops every effect."},
    {"advanced.png", "Lumivex - PlayAdvanced",
     "Every options key as a control: colours, emit area, direction and spread, sliders for "
     "speed, size, life, density, twinkle, opacity, feather and taper (each with a <b>Preset</b> "
     "box that leaves the key out), taper edge, mode, shape, the sprite file with "
     "<b>Browse...</b>, z-order, <b>Prewarm</b> and <b>Fade out</b>, and <b>Reset</b> back to the "
     "preset. OK writes the options text into the action."},
};

// ---- Writing ------------------------------------------------------------------------------------

struct Guide {
  std::string outDir;      // where index.html goes
  std::string imgDir;      // outDir + "/img"
  std::string editorsDir;  // empty: no screenshots to copy
  std::string playgroundDir;  // the browser build's modules (lumivex_playground*.js)
  std::string spritePath;  // the heart picture, as the renderer opens it
  std::string maskPath;    // the word of the mask pictures
  std::string sheetPath;   // the sprite sheet
  std::string html;        // the page being written
  int pictures;            // GIFs rendered
  std::string error;       // why the guide could not be written
};

std::string esc(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string numberText(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
    text.replace(p, from.size(), to);
  return text;
}

// A script line for HTML, with places to wrap between its parameters and after each ';' of its
// options (line breaking never breaks next to a straight quote on its own).
std::string lineHtml(const std::string& line) {
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    out += esc(line.substr(i, 1));
    if (line[i] == ';' || (line[i] == ' ' && i + 1 < line.size() && line[i + 1] == '"')) out += "<wbr>";
  }
  return out;
}

// A name usable in a file name and an anchor: lower-case letters, digits and dashes.
std::string slug(const std::string& text) {
  std::string out;
  for (char c : toLowerText(text)) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += c;
    else if (!out.empty() && out.back() != '-') out += '-';
  }
  while (!out.empty() && out.back() == '-') out.pop_back();
  return out;
}

// The script line that plays the effect, as an author writes it in the action list.
std::string playLine(const char* preset, int intensity) {
  return std::string("Lumivex_Play \"") + SampleRect + "\" \"" + preset + "\" \"" + std::to_string(intensity) +
         "\" \"\"";
}
std::string advancedLine(const char* preset, int intensity, const std::string& options) {
  return std::string("Lumivex_PlayAdvanced \"") + SampleRect + "\" \"" + preset + "\" \"" +
         std::to_string(intensity) + "\" \"" +
         replaceAll(replaceAll(replaceAll(options, SpriteToken, SpriteShownPath), MaskToken, MaskShownPath),
                    SheetToken, SheetShownPath) +
         "\"";
}

// The configuration an action builds (without loading sprites or masks: the emitters it fills
// are thrown away without releasing pictures).
void buildConfig(const EffectArgs& effect, Emitter& e) {
  setSpriteLoader(nullptr);
  setMaskLoader(nullptr);
  buildArgsEffect(effect, e);
  setSpriteLoader(LoadSprite);
  setMaskLoader(LoadEmitMask);
}

EffectArgs effectOf(const char* preset, int intensity, const char* options) {
  EffectArgs effect;
  effect.preset = preset;
  effect.intensityText = std::to_string(intensity);
  if (options) {
    effect.optionsText = replaceAll(replaceAll(replaceAll(options, SpriteToken, ""), MaskToken, ""), SheetToken, "");
    effect.hasOptions = true;
  }
  return effect;
}

// Renders the effect into img/<name>.gif and returns its <img> element; empty after a failure
// (g.error says why).
std::string picture(Guide& g, const std::string& name, const char* preset, int intensity, const char* options,
                    int width, int height, const std::string& alt, bool fromStart, int stopFrame,
                    const char* cursorPath, const char* clicks) {
  EffectArgs effect = effectOf(preset, intensity, options);
  if (options)
    effect.optionsText = replaceAll(replaceAll(replaceAll(options, SpriteToken, g.spritePath), MaskToken, g.maskPath),
                                    SheetToken, g.sheetPath);

  // A continuous effect is shown once it has filled in (as long as its particles live, at most
  // MaxWarmupSeconds); a burst from its start.
  std::unique_ptr<Emitter> probe(new Emitter());
  buildConfig(effect, *probe);
  double warmup = 0;
  if (probe->system.config.burstCount <= 0 && !fromStart) {
    warmup = probe->system.config.lifeMax;
    if (!(warmup <= MaxWarmupSeconds)) warmup = MaxWarmupSeconds;
    if (warmup < 0) warmup = 0;
  }

  RunArgs run;
  run.width = width;
  run.height = height;
  run.frames = PictureFrames;
  run.warmupFrames = static_cast<int>(warmup * PictureFps + 0.5);
  run.fps = PictureFps;
  run.hasSeed = true;
  run.seed = PictureSeed;
  run.gifDeltaTolerance = PictureTolerance;
  run.stopFrame = stopFrame;
  // The replay is the guide's own text: a mistake in it is the guide's, reported as such.
  std::string problem;
  if ((cursorPath && !parseCursorPath(cursorPath, run.reader.path, problem)) ||
      (clicks && !parseClicks(clicks, run.reader.clicks, problem)) ||
      !replayFitsFrame(run.reader, width, height, problem)) {
    g.error = "the mouse of the picture " + name + ": " + problem;
    return std::string();
  }
  run.reader.marker = cursorPath || clicks;
  const std::string file = "img/" + name + ".gif";
  RunOutputs out{std::string(), g.outDir + "/" + file, std::string(), nullptr};
  if (!renderEffect(effect, run, out, g.error)) return std::string();
  ++g.pictures;
  return "<img src=\"" + file + "\" width=\"" + std::to_string(width) + "\" height=\"" +
         std::to_string(height) + "\" alt=\"" + esc(alt) + "\">";
}

// A figure: the picture and, under it, a caption and the script line.
// Text for the address of a page argument: letters, digits and "-_.~" as they are, the rest
// %-encoded.
std::string urlEncode(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c && std::strchr("-_.~", c))) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// The playground's address for an effect (its arguments after "#", see playground.html).
std::string playgroundLink(const char* preset, int intensity, const char* options) {
  std::string link = std::string(PlaygroundPage) + "#preset=" + urlEncode(preset) + "&intensity=" + std::to_string(intensity);
  if (options) link += "&options=" + urlEncode(options);
  return link;
}

int figure(Guide& g, const std::string& name, const char* preset, int intensity, const char* options, int width,
           int height, const std::string& caption, bool fromStart = false, int stopFrame = -1,
           const char* cursorPath = nullptr, const char* clicks = nullptr) {
  const std::string line = options ? advancedLine(preset, intensity, options) : playLine(preset, intensity);
  const std::string img =
      picture(g, name, preset, intensity, options, width, height, caption, fromStart, stopFrame, cursorPath, clicks);
  if (img.empty()) return 0;
  g.html += "<figure id=\"fig-" + name + "\">" + img + "<figcaption>";
  if (!caption.empty()) g.html += "<span class=\"cap\">" + esc(caption) + "</span>";
  g.html += "<code class=\"line\">" + lineHtml(line) + "</code>";
  if (stopFrame >= 0)
    g.html += "<code class=\"line\">" + lineHtml(std::string("Lumivex_Stop \"") + SampleRect + "\"") + "</code>";
  // The same effect in the playground (which reads no pictures, so not the sprite's, and has no
  // replayed mouse: a following effect would show nothing there).
  else if (!cursorPath && !clicks && (!options || !std::strstr(options, SpriteToken)))
    g.html += "<a class=\"try\" href=\"" + esc(playgroundLink(preset, intensity, options)) + "\">try it in the playground</a>";
  g.html += "</figcaption></figure>\n";
  return 1;
}

// The heart the sprite pictures draw: white, so that the particles' colours tint it, with a soft
// edge (4 x 4 samples per pixel of the curve (x^2 + y^2 - 1)^3 - x^2 y^3 <= 0).
int writeSpritePicture(Guide& g) {
  std::vector<uint8_t> rgba(static_cast<size_t>(SpriteSide) * SpriteSide * 4);
  for (int py = 0; py < SpriteSide; ++py) {
    for (int px = 0; px < SpriteSide; ++px) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double x = ((px + (sx + 0.5) / 4) / SpriteSide - 0.5) * 2.6;
          const double y = (0.5 - (py + (sy + 0.5) / 4) / SpriteSide) * 2.6 + 0.15;
          const double a = x * x + y * y - 1;
          if (a * a * a - x * x * y * y * y <= 0) ++inside;
        }
      }
      uint8_t* p = &rgba[(static_cast<size_t>(py) * SpriteSide + px) * 4];
      p[0] = p[1] = p[2] = 255;
      p[3] = static_cast<uint8_t>(inside * 255 / 16);
    }
  }
  return writePng(g.imgDir + "/" + SpriteFile, SpriteSide, SpriteSide, 4, rgba.data(), g.error);
}

// The word of the mask pictures, "HELLO" in a 5 x 7 pixel font, each font pixel MaskCell
// pixels wide, opaque white on transparent.
constexpr int MaskCell = 12;
int writeMaskPicture(Guide& g) {
  static const char* const kGlyphs[5][7] = {
      {"X...X", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"},  // H
      {"XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"},  // E
      {"X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"},  // L
      {"X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"},  // L
      {".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."},  // O
  };
  const int cols = 5 * 6 - 1, w = cols * MaskCell, h = 7 * MaskCell;
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int c = x / MaskCell, glyph = c / 6, gx = c % 6, gy = y / MaskCell;
      if (gx == 5 || kGlyphs[glyph][gy][gx] != 'X') continue;
      uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = p[1] = p[2] = p[3] = 255;
    }
  return writePng(g.imgDir + "/" + MaskFile, w, h, 4, rgba.data(), g.error);
}

// The sprite sheet: 4 x 4 frames of SpriteSide pixels, a white propeller (two crossed blades)
// turning by a sixteenth of a half turn from frame to frame, with soft edges.
int writeSheetPicture(Guide& g) {
  const int side = SpriteSide, w = 4 * side, h = 4 * side;
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4, 0);
  for (int k = 0; k < 16; ++k) {
    const double turn = 3.14159265358979 / 16 * k, c = std::cos(turn), s = std::sin(turn);
    const int x0 = (k % 4) * side, y0 = (k / 4) * side;
    for (int py = 0; py < side; ++py)
      for (int px = 0; px < side; ++px) {
        int inside = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx) {
            const double x = (px + (sx + 0.5) / 4) / side * 2 - 1, y = (py + (sy + 0.5) / 4) / side * 2 - 1;
            const double u = x * c + y * s, v = -x * s + y * c;  // the blades' own axes
            const bool blade = (std::fabs(u) < 0.9 && std::fabs(v) < 0.14) || (std::fabs(v) < 0.9 && std::fabs(u) < 0.14);
            if (blade || u * u + v * v < 0.06) ++inside;
          }
        uint8_t* p = &rgba[(static_cast<size_t>(y0 + py) * w + x0 + px) * 4];
        p[0] = p[1] = p[2] = 255;
        p[3] = static_cast<uint8_t>(inside * 255 / 16);
      }
  }
  return writePng(g.imgDir + "/" + SheetFile, w, h, 4, rgba.data(), g.error);
}

// An editor screenshot shows the whole screen: the dialog and the page behind it over an even
// background. Copies it cropped to what differs from the background (the top-left pixel), with
// a margin; 0 when it cannot be read (nothing written) or written (error says why then).
constexpr int ShotMargin = 12;  // pixels kept around the content
int copyScreenshot(const std::string& from, const std::string& to, std::string& error) {
  int w = 0, h = 0, channels = 0;
  unsigned char* rgb = stbi_load(from.c_str(), &w, &h, &channels, 3);
  if (!rgb) return 0;
  int x0 = w, y0 = h, x1 = 0, y1 = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (std::memcmp(rgb + (static_cast<size_t>(y) * w + x) * 3, rgb, 3) != 0) {
        if (x < x0) x0 = x;
        if (x >= x1) x1 = x + 1;
        if (y < y0) y0 = y;
        y1 = y + 1;
      }
  if (x1 <= x0) x0 = 0, y0 = 0, x1 = w, y1 = h;  // all background: keep it whole
  x0 = std::max(0, x0 - ShotMargin), y0 = std::max(0, y0 - ShotMargin);
  x1 = std::min(w, x1 + ShotMargin), y1 = std::min(h, y1 + ShotMargin);
  const int cw = x1 - x0, ch = y1 - y0;
  std::vector<uint8_t> crop(static_cast<size_t>(cw) * ch * 3);
  for (int y = 0; y < ch; ++y)
    std::memcpy(&crop[static_cast<size_t>(y) * cw * 3], rgb + (static_cast<size_t>(y0 + y) * w + x0) * 3,
                static_cast<size_t>(cw) * 3);
  stbi_image_free(rgb);
  return writePng(to, cw, ch, 3, crop.data(), error);
}

// The name of a ShapeId as the options text spells it.
std::string shapeName(int shape) {
  for (int i = 1; i < ShapeChoiceCount; ++i) {
    const std::string name = toLowerText(ShapeChoiceName(i));
    if (ShapeIdFromName(name) == shape) return name;
  }
  return "?";
}

const PresetNote* presetNote(const char* name) {
  for (const PresetNote& n : kPresetNotes)
    if (std::strcmp(n.preset, name) == 0) return &n;
  return nullptr;
}

// ---- The page --------------------------------------------------------------------------------

const char* const kStyle = R"CSS(
:root { --bg: #111318; --panel: #1a1d24; --line: #2c313b; --text: #e7e9ee; --muted: #a3abb8;
        --accent: #ffb45c; --code: #0a0b0e; --codetext: #cfe2ff; }
* { box-sizing: border-box; }
html { -webkit-text-size-adjust: 100%; }
body { margin: 0; background: var(--bg); color: var(--text);
       font: 16px/1.55 system-ui, -apple-system, "Segoe UI", Roboto, "DejaVu Sans", sans-serif; }
header, main, footer { max-width: 1080px; margin: 0 auto; padding: 0 16px; }
header { padding-top: 24px; }
h1 { font-size: 2em; margin: 0 0 4px; }
h2 { font-size: 1.5em; margin: 48px 0 12px; padding-top: 8px; border-top: 1px solid var(--line); }
h3 { font-size: 1.2em; margin: 32px 0 8px; }
a { color: var(--accent); }
p { max-width: 75ch; }
code, pre, .line { font-family: ui-monospace, "Cascadia Mono", Consolas, "DejaVu Sans Mono", monospace;
                   font-size: 0.88em; }
code { background: var(--code); color: var(--codetext); padding: 0.1em 0.35em; border-radius: 4px;
       overflow-wrap: anywhere; }
pre { background: var(--code); color: var(--codetext); padding: 10px 12px; border-radius: 6px;
      white-space: pre-wrap; overflow-wrap: anywhere; }
img { max-width: 100%; height: auto; }
nav.toc { background: var(--panel); border: 1px solid var(--line); border-radius: 8px;
          padding: 8px 16px; margin: 16px 0; }
nav.toc ul { margin: 4px 0; padding-left: 20px; }
nav.toc li { margin: 2px 0; }
.thumbs { display: grid; grid-template-columns: repeat(auto-fill, minmax(150px, 1fr)); gap: 8px; }
.thumbs a { display: block; text-decoration: none; color: var(--text); background: var(--panel);
            border: 1px solid var(--line); border-radius: 6px; overflow: hidden; }
.thumbs img { display: block; width: 100%; }
.thumbs span { display: block; padding: 2px 8px 4px; font-size: 0.9em; }
.cards { display: grid; grid-template-columns: repeat(auto-fill, minmax(240px, 1fr)); gap: 14px; }
.cards.small { grid-template-columns: repeat(auto-fill, minmax(180px, 1fr)); }
figure { margin: 0; background: var(--panel); border: 1px solid var(--line); border-radius: 8px;
         overflow: hidden; }
figure img { display: block; width: 100%; }
figcaption { padding: 8px 10px 10px; font-size: 0.92em; }
figcaption .cap { display: block; margin-bottom: 6px; }
code.line { display: block; padding: 6px 8px; background: var(--code); }
a.try { display: block; padding: 4px 8px 0; font-size: 0.9em; }
code.line + code.line { margin-top: 4px; }
.facts { color: var(--muted); }
.shot { margin: 12px 0 20px; }
.shot img { border: 1px solid var(--line); border-radius: 4px; }
table { border-collapse: collapse; width: 100%; margin: 8px 0 16px; }
th, td { border-bottom: 1px solid var(--line); padding: 7px 8px; text-align: left; vertical-align: top; }
th { color: var(--muted); font-weight: 600; }
td.k code { white-space: nowrap; overflow-wrap: normal; }
tr th[colspan] { color: var(--text); padding-top: 14px; }
var { font-style: italic; color: var(--accent); font-family: inherit; }
.top { font-size: 0.85em; }
footer { color: var(--muted); padding-bottom: 32px; font-size: 0.9em; }
@media (max-width: 640px) {
  body { font-size: 15px; }
  h1 { font-size: 1.6em; }
  .cards, .cards.small { grid-template-columns: 1fr; }
  .thumbs { grid-template-columns: repeat(2, 1fr); }
  table.stack thead { display: none; }
  table.stack tr { display: block; border-bottom: 1px solid var(--line); padding: 6px 0; }
  table.stack td { display: block; border: 0; padding: 3px 4px; }
  table.stack td[data-label]::before { content: attr(data-label); display: block; color: var(--muted);
                                       font-size: 0.85em; }
}
)CSS";

void startPage(Guide& g) {
  g.html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<title>Lumivex: the author's guide</title>\n<style>";
  g.html += kStyle;
  g.html += "</style>\n</head>\n<body>\n<header id=\"top\">\n<h1>Lumivex: the author's guide</h1>\n"
            "<p>Lumivex plays particle effects (sparkles, fire, rain, snow, confetti, beams, auroras "
            "and more) over the Rectangle objects of a page. This guide shows every preset and what "
            "each option does, as moving pictures. Every picture below was made by Lumivex's own "
            "engine from the script line under it.</p>\n";
  g.html += "<nav class=\"toc\" aria-label=\"Contents\"><ul>\n"
            "<li><a href=\"#start\">Getting started</a></li>\n"
            "<li><a href=\"#presets\">The presets</a></li>\n"
            "<li><a href=\"#options\">Options of PlayAdvanced</a> (<a href=\"#order\">key order</a>)</li>\n"
            "<li><a href=\"#actions\">Actions and parameters</a></li>\n"
            "<li><a href=\"#editors\">The action editors</a></li>\n"
            "<li><a href=\"#errors\">Lumivex.LastError</a></li>\n"
            "<li><a href=\"" + std::string(PlaygroundPage) + "\">The playground</a>: any preset and options "
            "text, played live in the browser by the same engine</li>\n"
            "</ul></nav>\n</header>\n<main>\n";
}

void writeStart(Guide& g) {
  g.html += "<h2 id=\"start\">Getting started</h2>\n"
            "<p><b>Install.</b> Copy <code>Lumivex.dll</code> into the authoring application's "
            "plug-in folder and add it in its plug-ins dialog (in VisualNEO Win: Tools, Plug-Ins, "
            "Add). The four actions then appear in the action list.</p>\n"
            "<p><b>Place.</b> Draw a Rectangle object on the page and give it a name. An effect plays "
            "over its area, follows it when it moves or is resized, and disappears when it stops. "
            "The examples here use a rectangle named <code>";
  g.html += SampleRect;
  g.html += "</code>.</p>\n<p><b>Play.</b> One line starts an effect, another stops it:</p>\n<pre>";
  g.html += esc(playLine("Fire", 80)) + "\n";
  g.html += esc(advancedLine("Snow", 60, "zOrder=behind;speed=0.5;size=1.5;prewarm=3")) + "\n";
  g.html += "Lumivex_Stop \"" + std::string(SampleRect) + "\"\nLumivex_StopAll</pre>\n";
  g.html += "<p><b>Try.</b> The <a href=\"" + std::string(PlaygroundPage) + "\">playground</a> plays any "
            "preset live in your browser, with a control for every parameter and option, and shows "
            "the script line that makes what you see, ready to copy. It runs Lumivex's own engine, "
            "so the effect looks there as it will on the page; it needs no connection.</p>\n";
  g.html += "<p>The pictures play two seconds of each effect on black, once it has filled its "
            "rectangle (a burst, and the pictures of <code>prewarm</code>, from the start); on the "
            "page the effect's background is the page itself.</p>\n";
}

int writePresets(Guide& g) {
  g.html += "<h2 id=\"presets\">The presets</h2>\n<p>" + std::to_string(PresetCount) +
            " presets; names are matched without regard to case, and an unknown name plays " +
            PresetDisplayName(PresetSparkle) + ". Each one below with the Play line that makes it "
            "and a few variations through PlayAdvanced.</p>\n<div class=\"thumbs\">\n";
  for (int id = 0; id < PresetCount; ++id) {
    const std::string name = PresetDisplayName(id);
    g.html += "<a href=\"#preset-" + slug(name) + "\"><img src=\"img/preset-" + slug(name) +
              ".gif\" width=\"" + std::to_string(PictureWidth) + "\" height=\"" +
              std::to_string(PictureHeight) + "\" alt=\"" + esc(name) + "\"><span>" + esc(name) +
              "</span></a>\n";
  }
  g.html += "</div>\n";

  for (int id = 0; id < PresetCount; ++id) {
    const char* name = PresetDisplayName(id);
    const PresetNote* note = presetNote(name);
    if (!note) {
      g.error = std::string("the guide has no description of the preset ") + name;
      return 0;
    }
    const std::string s = slug(name);
    std::unique_ptr<Emitter> e(new Emitter());
    buildConfig(effectOf(name, SampleIntensity, nullptr), *e);
    const EmitterConfig& c = e->system.config;
    std::string facts = c.burstCount > 0
                            ? "one burst of " + std::to_string(c.burstCount) + " particle" +
                                  (c.burstCount == 1 ? "" : "s")
                            : "continuous, " + numberText(c.spawnRate) + " particles a second";
    facts += "; shape " + shapeName(c.shape) + "; each lives " + numberText(c.lifeMin) + "-" +
             numberText(c.lifeMax) + " s";
    if (c.twinkleSpeed > 0 && c.twinkleAmount > 0) facts += "; twinkles";
    if (c.pulseSpeed > 0 && c.pulseAmount > 0) facts += "; pulses";
    g.html += "<section id=\"preset-" + s + "\">\n<h3>" + esc(name) + "</h3>\n<p>" + esc(note->description) +
              "</p>\n<p class=\"facts\">At intensity " + std::to_string(SampleIntensity) + ": " + esc(facts) +
              ".</p>\n<p><a href=\"" + esc(playgroundLink(name, SampleIntensity, nullptr)) +
              "\">open in the playground</a></p>\n<div class=\"cards\">\n";
    if (!figure(g, "preset-" + s, name, SampleIntensity, nullptr, PictureWidth, PictureHeight, "As designed"))
      return 0;
    int variations = 0;
    for (const Variation& v : note->variations) {
      if (!v.label) continue;
      ++variations;
      if (!figure(g, "preset-" + s + "-" + std::to_string(variations), name, SampleIntensity, v.options,
                  PictureWidth, PictureHeight, v.label))
        return 0;
    }
    g.html += "</div>\n<p class=\"top\"><a href=\"#presets\">All presets</a> &middot; <a href=\"#top\">Top</a></p>\n"
              "</section>\n";
  }
  return 1;
}

// The pictures of one key: its rows of kOptionPictures, and the generated ones of shape and
// emitArea.
int writeKeyPictures(Guide& g, const std::string& key) {
  const size_t mark = g.html.size();
  g.html += "<div class=\"cards small\">\n";
  int count = 0;
  for (const OptionPicture& p : kOptionPictures) {
    if (key != p.key) continue;
    if (!figure(g, "opt-" + slug(key) + "-" + std::to_string(++count), p.preset, SampleIntensity, p.options,
                SmallWidth, SmallHeight, p.caption, p.fromStart, p.stopFrame, p.cursorPath, p.clicks))
      return 0;
  }
  if (key == "shape") {
    for (int i = 1; i < ShapeChoiceCount; ++i) {
      const std::string name = toLowerText(ShapeChoiceName(i));
      std::string options = ShapeBaseOptions + name;
      if (ShapeIdFromName(name) == ShapeSprite)
        options += std::string(";sprite=") + SpriteToken + ";colorStart=255,120,170;colorEnd=255,60,120";
      if (!figure(g, "opt-shape-" + slug(name), ShapePreset, SampleIntensity, options.c_str(), SmallWidth,
                  SmallHeight, name))
        return 0;
      ++count;
    }
  }
  if (key == "emitArea") {
    for (int i = 1; i < AreaChoiceCount; ++i) {
      const std::string options = "emitArea=" + AreaChoiceText(i);
      if (!figure(g, "opt-emitarea-" + slug(AreaChoices[i].label), AreaPreset, SampleIntensity, options.c_str(),
                  SmallWidth, SmallHeight, AreaChoices[i].label))
        return 0;
      ++count;
    }
  }
  if (count == 0) g.html.resize(mark);
  else g.html += "</div>\n";
  return 1;
}

// Field values of a configuration as "name=value" pairs.
std::string fieldsText(const Emitter& e, const std::string& fields) {
  std::string out;
  for (const std::string& f : splitText(fields, ' ')) {
    const int index = configFieldIndex(f.c_str());
    if (index < 0) continue;
    if (!out.empty()) out += ", ";
    double v = configFieldValue(e.system.config, index);
    out += f + " = " + (f == "shape" ? shapeName(static_cast<int>(v)) : numberText(v));
  }
  return out;
}

int writeOrder(Guide& g) {
  g.html += "<h3 id=\"order\">Key order: a worked example</h3>\n"
            "<p>PlayAdvanced reads each key once, at its first occurrence in the text, and applies the "
            "keys in the fixed order of the list above (";
  for (int i = 0; i < OptionKeyCount; ++i) {
    if (i) g.html += ", ";
    g.html += "<code>" + esc(OptionKeys[i].key) + "</code>";
  }
  g.html += "), on top of the preset and the intensity, whatever their order in the text. So moving a "
            "key within the text changes nothing; where two keys set the same thing, the one later in "
            "that list wins. The values below are what PlayAdvanced builds from each text.</p>\n"
            "<table class=\"stack\"><thead><tr><th>script line</th><th>builds</th></tr></thead><tbody>\n";
  for (const OrderExample& x : kOrderExamples) {
    std::unique_ptr<Emitter> a(new Emitter()), b(new Emitter());
    buildConfig(effectOf(x.preset, x.intensity, x.first), *a);
    buildConfig(effectOf(x.preset, x.intensity, x.second), *b);
    const bool same =
        std::memcmp(&a->system.config, &b->system.config, sizeof(EmitterConfig)) == 0 && a->inFront == b->inFront;
    std::string verdict;
    if (x.compare) verdict = same ? " (the same effect as the line above)" : " (a different effect from the line above)";
    g.html += "<tr><th colspan=\"2\">" + esc(x.point) + "</th></tr>\n";
    g.html += "<tr><td data-label=\"script line\"><code>" + lineHtml(advancedLine(x.preset, x.intensity, x.first)) +
              "</code></td><td data-label=\"builds\">" + esc(fieldsText(*a, x.fields)) + "</td></tr>\n";
    g.html += "<tr><td data-label=\"script line\"><code>" + lineHtml(advancedLine(x.preset, x.intensity, x.second)) +
              "</code></td><td data-label=\"builds\">" + esc(fieldsText(*b, x.fields) + verdict) + "</td></tr>\n";
  }
  g.html += "</tbody></table>\n<div class=\"cards small\">\n";
  const OrderExample& x = kOrderExamples[0];
  if (!figure(g, "order-1", x.preset, x.intensity, x.first, SmallWidth, SmallHeight, "shape first") ||
      !figure(g, "order-2", x.preset, x.intensity, x.second, SmallWidth, SmallHeight, "colorStart first"))
    return 0;
  g.html += "</div>\n";
  return 1;
}

// onEnd's example: the script of a page whose Next button appears once its fireworks are over.
void writeEndExample(Guide& g) {
  g.html += "<p><b>A button after the fireworks.</b> The page starts a burst of six rockets, and its "
            "<b>Next</b> button, hidden until then, appears once the last spark has gone:</p>\n<pre>" +
            esc(advancedLine(EndPreset, SampleIntensity, EndOptions)) +
            "\n\n:ShowNext\nShowObject \"NextButton\" \"None\" \"0\"\nReturn</pre>\n"
            "<p>The line runs once, after the effect has ended by itself and been released (so the "
            "rectangle is free again: the line may play a new effect on it). It runs on the page's "
            "own thread, as the page's own script would. A <code>Lumivex_Stop</code> that removes the effect at once, "
            "<code>Lumivex_StopAll</code> and a new Play or PlayAdvanced on the rectangle never run it: "
            "they end the effect, it does not end by itself. A continuous effect ends by itself only "
            "through <code>fadeOut</code>: once the fade that <code>Lumivex_Stop</code> began is over, the "
            "line runs. "
            "The line cannot contain <code>;</code>, which separates the options: to do more than "
            "one thing, call a subroutine as here.</p>\n";
}

int writeOptions(Guide& g) {
  g.html += "<h2 id=\"options\">Options of PlayAdvanced</h2>\n"
            "<p>The fourth parameter of <code>Lumivex_PlayAdvanced</code> is a text of "
            "<code>key=value</code> pairs separated by <code>;</code>. Keys ignore case and the spaces "
            "around them; unknown keys, empty values and fields without <code>=</code> are ignored; a "
            "key given twice counts once (the first). A multiplier acts on the preset after the "
            "intensity: a negative one changes nothing, 0 zeroes. The editor of PlayAdvanced writes "
            "this text for you.</p>\n"
            "<table class=\"stack\"><thead><tr><th>key</th><th>value</th><th>what it does</th></tr></thead><tbody>\n";
  for (int i = 0; i < OptionKeyCount; ++i) {
    const OptionKeyInfo& k = OptionKeys[i];
    g.html += "<tr><td class=\"k\" data-label=\"key\"><a href=\"#opt-" + esc(k.key) + "\"><code>" + esc(k.key) +
              "</code></a></td><td data-label=\"value\">" + esc(k.valueForm) + "</td><td data-label=\"what it does\">" +
              esc(k.effect) + "</td></tr>\n";
  }
  g.html += "</tbody></table>\n";
  for (int i = 0; i < OptionKeyCount; ++i) {
    const OptionKeyInfo& k = OptionKeys[i];
    std::string example = std::string(k.key) + "=" + k.example;
    if (std::strcmp(k.key, "sprite") == 0) example = "shape=sprite;sprite=" + std::string(SpriteShownPath);
    g.html += "<section id=\"opt-" + esc(k.key) + "\">\n<h3><code>" + esc(k.key) + "</code></h3>\n<p><b>Value:</b> " +
              esc(k.valueForm) + ". " + esc(k.effect) + "</p>\n<p><b>For example:</b> <code>" + esc(example) +
              "</code></p>\n";
    if (std::strcmp(k.key, "sprite") == 0)
      g.html += "<p>The picture of the example is <a href=\"img/" + std::string(SpriteFile) +
                "\">img/" + SpriteFile + "</a> beside this guide; its <a href=\"#fig-opt-shape-sprite\">"
                "picture with shape=sprite</a> is with the shapes.</p>\n";
    if (const KeyNote* note = keyNote(k.key)) g.html += note->html;
    if (std::strcmp(k.key, "onEnd") == 0) writeEndExample(g);
    if (!writeKeyPictures(g, k.key)) return 0;
    g.html += "</section>\n";
  }
  if (!writeOrder(g)) return 0;
  g.html += "<p class=\"top\"><a href=\"#options\">Options</a> &middot; <a href=\"#top\">Top</a></p>\n";
  return 1;
}

void writeActions(Guide& g) {
  g.html += "<h2 id=\"actions\">Actions and parameters</h2>\n"
            "<table class=\"stack\"><thead><tr><th>action</th><th>parameters</th><th>what it does</th></tr></thead><tbody>\n";
  for (const ActionNote& a : kActions)
    g.html += "<tr><td class=\"k\" data-label=\"action\"><code>" + esc(a.name) + "</code></td><td data-label=\"parameters\">" +
              a.parameters + "</td><td data-label=\"what it does\">" + a.what + "</td></tr>\n";
  g.html += "</tbody></table>\n"
            "<table class=\"stack\"><thead><tr><th>parameter</th><th>when empty</th><th>how it is read</th></tr></thead><tbody>\n";
  for (const ParameterNote& p : kParameters)
    g.html += "<tr><td data-label=\"parameter\">" + esc(p.name) + "</td><td data-label=\"when empty\">" + p.whenEmpty +
              "</td><td data-label=\"how it is read\">" + p.reading + "</td></tr>\n";
  g.html += "</tbody></table>\n<p>How intensity texts read:";
  bool firstSample = true;
  for (const char* t : kIntensitySamples) {
    g.html += firstSample ? " " : ", ";
    firstSample = false;
    g.html += "<code>" + esc(t) + "</code> reads as " + std::to_string(clampInt(readLeadingInt(t), 0, 100));
  }
  g.html += ".</p>\n<p>While the authoring application has switched play off (for example while the "
            "page is being edited), Play and PlayAdvanced return 0 and play nothing. Effects hide while "
            "the host hides them or the mouse is over the application's title bar, and stop when the "
            "page closes.</p>\n";
}

int writeEditors(Guide& g) {
  g.html += "<h2 id=\"editors\">The action editors</h2>\n<p>When an action is edited in the script "
            "editor, Lumivex opens its own dialog instead of the plain parameter list. OK writes the "
            "parameters back into the action; Cancel leaves it as it was. Effects already playing on "
            "the page keep playing meanwhile.</p>\n";
  for (const EditorNote& ed : kEditors) {
    g.html += "<h3 id=\"editor-" + slug(ed.file) + "\">" + esc(ed.title) + "</h3>\n<p>" + ed.what + "</p>\n";
    if (g.editorsDir.empty()) continue;
    const std::string file = "img/editor-" + std::string(ed.file);
    std::string error;
    if (copyScreenshot(g.editorsDir + "/" + ed.file, g.outDir + "/" + file, error)) {
      // A link to the picture itself: on a phone the dialog is small, so a tap shows it whole.
      g.html += "<div class=\"shot\"><a href=\"" + file + "\"><img src=\"" + file + "\" alt=\"" + esc(ed.title) +
                " dialog\"></a></div>\n";
    } else if (!error.empty()) {
      g.error = error;
      return 0;
    }
  }
  return 1;
}

// An error text with its {WORD} parts marked; {MAX} is the largest sprite side.
std::string errorTextHtml(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('{', i);
    const size_t close = open == std::string::npos ? std::string::npos : text.find('}', open);
    if (close == std::string::npos) {
      out += esc(text.substr(i));
      break;
    }
    out += esc(text.substr(i, open - i));
    const std::string word = text.substr(open + 1, close - open - 1);
    out += "<var>" + esc(word == "MAX" ? std::to_string(MaxSpriteFileSide) : word) + "</var>";
    i = close + 1;
  }
  return out;
}

void writeErrors(Guide& g) {
  g.html += "<h2 id=\"errors\">Lumivex.LastError</h2>\n<p>Play and PlayAdvanced return 1 when the "
            "effect starts and 0 when it cannot; the reason is then in the script variable "
            "<code>[Lumivex.LastError]</code>, which a successful start empties (unless the sprite "
            "failed to load: that text stays). These are all the texts it can hold; the "
            "<var>marked</var> parts are filled in at the time.</p>\n"
            "<table class=\"stack\"><thead><tr><th>text</th><th>when</th><th>what to do</th></tr></thead><tbody>\n";
  for (int i = 0; i < ErrorTextCount; ++i) {
    const ErrorTextInfo& e = ErrorTexts[i];
    g.html += "<tr id=\"error-" + esc(e.id) + "\"><td data-label=\"text\"><code class=\"lasterror\">" +
              errorTextHtml(e.text) + "</code></td><td data-label=\"when\">" + esc(e.when) +
              "</td><td data-label=\"what to do\">" + esc(e.advice) + "</td></tr>\n";
  }
  g.html += "</tbody></table>\n";
}

void endPage(Guide& g) {
  g.html += "</main>\n<footer><p>Written by <code>lumivex-render guide</code> from Lumivex's own tables; "
            "every picture is " + std::to_string(PictureFrames) + " frames at " + numberText(PictureFps) +
            " frames per second, random seed " + std::to_string(PictureSeed) +
            ". <a href=\"#top\">Top</a></p></footer>\n</body>\n</html>\n";
}

int copyFile(const std::string& from, const std::string& to, std::string& error) {
  FILE* in = std::fopen(from.c_str(), "rb");
  if (!in) {
    error = "cannot read '" + from + "'";
    return 0;
  }
  std::string data;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) data.append(buffer, n);
  std::fclose(in);
  FILE* out = openOutput(to, error);
  if (!out) return 0;
  const bool ok = std::fwrite(data.data(), 1, data.size(), out) == data.size();
  if (std::fclose(out) != 0 || !ok) {
    error = "cannot write '" + to + "'";
    return 0;
  }
  return 1;
}

// playground.html and the modules beside it.
int writePlayground(Guide& g) {
  for (const char* module : PlaygroundModules) {
    const std::string from = g.playgroundDir + "/" + module;
    FILE* probe = std::fopen(from.c_str(), "rb");
    if (!probe) {
      g.error = "the playground's module '" + from + "' is missing (scripts/build.sh wasm builds it)";
      return 0;
    }
    std::fclose(probe);
    if (!copyFile(from, g.outDir + "/" + module, g.error)) return 0;
  }
  const std::string path = g.outDir + "/" + PlaygroundPage;
  FILE* f = openOutput(path, g.error);
  if (!f) return 0;
  const size_t size = std::strlen(PlaygroundPageHtml);
  const bool ok = std::fwrite(PlaygroundPageHtml, 1, size, f) == size;
  if (std::fclose(f) != 0 || !ok) {
    g.error = "cannot write '" + path + "'";
    return 0;
  }
  return 1;
}

int writeGuide(Guide& g) {
  if (!makeDirectories(g.imgDir, g.error)) return 0;
  if (!writeSpritePicture(g) || !writeMaskPicture(g) || !writeSheetPicture(g)) return 0;
  startPage(g);
  writeStart(g);
  if (!writePresets(g) || !writeOptions(g)) return 0;
  writeActions(g);
  if (!writeEditors(g)) return 0;
  writeErrors(g);
  endPage(g);
  if (!writePlayground(g)) return 0;
  const std::string path = g.outDir + "/index.html";
  FILE* f = openOutput(path, g.error);
  if (!f) return 0;
  const bool ok = std::fwrite(g.html.data(), 1, g.html.size(), f) == g.html.size();
  if (std::fclose(f) != 0 || !ok) {
    g.error = "cannot write '" + path + "'";
    return 0;
  }
  return 1;
}

int usage(const std::string& problem) {
  std::fprintf(stderr, "lumivex-render: %s\nusage: lumivex-render guide --out DIR [--editors DIR] [--playground DIR]\n",
               problem.c_str());
  return 2;
}

}  // namespace

int runGuide(const std::vector<std::string>& args) {
  Guide g;
  g.pictures = 0;
  g.playgroundDir = LUMIVEX_PLAYGROUND_MODULES;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a != "--out" && a != "--editors" && a != "--playground")
      return usage("unknown argument '" + a + "' for guide");
    if (i + 1 >= args.size() || args[i + 1].empty()) return usage("missing value for " + a);
    (a == "--out" ? g.outDir : a == "--editors" ? g.editorsDir : g.playgroundDir) = args[++i];
  }
  if (g.outDir.empty()) return usage("missing --out DIR");
  g.imgDir = g.outDir + "/img";
  g.spritePath = g.imgDir + "/" + SpriteFile;
  g.maskPath = g.imgDir + "/" + MaskFile;
  g.sheetPath = g.imgDir + "/" + SheetFile;
  // Outcome texts of the sprite loads are not news here.
  setLastErrorSink(nullptr);
  if (PresetNoteCount != PresetCount)
    std::fprintf(stderr, "lumivex-render: the guide describes %d presets, the code has %d\n", PresetNoteCount,
                 static_cast<int>(PresetCount));
  if (!writeGuide(g)) {
    std::fprintf(stderr, "lumivex-render: %s\n", g.error.c_str());
    return 1;
  }
  std::fprintf(stderr, "lumivex-render: guide: %s/index.html, %d pictures\n", g.outDir.c_str(), g.pictures);
  return 0;
}
