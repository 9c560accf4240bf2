// The options text's keys for authors, in application order (see option_keys.h): the keys of
// ApplyConfigOptions, then those ApplyOptions adds. A new key is a new row here, at the place
// where it is applied.
#include "config/option_keys.h"

#include <cstring>

const OptionKeyInfo OptionKeys[] = {
    {"colorStart", "R,G,B (each 0-255)",
     "The colour of each particle at birth; over its life it blends towards colorEnd. Any colour "
     "key also switches off the multicoloured paper of Confetti.",
     "255,255,255"},
    {"colorEnd", "R,G,B (each 0-255)", "The colour of each particle at the end of its life.", "80,160,255"},
    {"colorMid", "R,G,B, or none (also off or 0)",
     "A colour each particle passes through between colorStart and colorEnd. none, off or 0 "
     "removes the middle colour a preset has (Fire has one).",
     "255,0,255"},
    {"emitArea", "x,y,w,h (fractions of the rectangle)",
     "Where particles are born: the centre x and y of the birth area (0-1, from the left and the "
     "top) and its width and height (0-2). A field left empty keeps the preset's value, so "
     ",,1,0 only changes the size.",
     "0.5,1,1,0"},
    {"emitShape", "area, edge, ring or mask:PATH",
     "Where in the birth area particles are born: area, anywhere inside it (as without the key); "
     "edge, on its outline; ring, on the ellipse that fits inside it; mask:PATH, on the pixels of "
     "a picture (PNG, JPG, BMP or GIF) that are at least half opaque, the picture fitted into the "
     "area with its proportions kept. A picture that cannot be used plays the effect with area. "
     "An area of no width or height stays a line or a point.",
     "edge"},
    {"direction", "angle[,spread] (degrees), or outward[,spread] or inward[,spread]",
     "The launch direction (0 right, 90 down, 180 left, 270 up) and the total width of the fan "
     "of directions around it (0-360). Either field may be left empty. outward launches each "
     "particle away from the middle of the birth area through the place it is born, inward "
     "towards it; a spread widens that.",
     "180,30"},
    {"speed", "multiplier", "Multiplies the launch speed. Gravity and wind act as before.", "2"},
    {"size", "multiplier", "Multiplies the particles' size, at birth and at the end of life.", "1.5"},
    {"life", "multiplier", "Multiplies how long each particle lives: longer trails, fuller areas.", "2"},
    {"mode", "continuous[:rate] or burst[:count]",
     "continuous: a steady stream of rate particles per second (without a rate, the preset's own, "
     "or 30 when the preset is a burst). burst: count particles at once and then no more (without "
     "a count, the preset's own, or 200 when the preset is continuous). A burst has at most 2000 "
     "particles.",
     "burst:100"},
    {"zOrder", "behind (anything else: in front)",
     "behind keeps the effect's window at the bottom of the window order instead of on top of "
     "every window, so other windows that overlap it cover it.",
     "behind"},
    {"opacity", "0-1", "Multiplies the particles' opacity: 0.5 is half as opaque, 0 hides them.", "0.5"},
    {"density", "multiplier",
     "Multiplies the emission rate, or a burst's count. It acts after the intensity and after mode.", "2"},
    {"twinkle", "multiplier",
     "Multiplies the speed of the preset's twinkle (flicker) and pulse; 0 stops them. Presets "
     "without either do not change.",
     "3"},
    {"feather", "0-1",
     "Fades particles out as they come near the rectangle's edges: the width of the fading band "
     "as a fraction of the rectangle's width (left and right edges) and height (top and bottom).",
     "0.3"},
    {"taper", "0-1",
     "Narrows the place of birth towards taperEdge: particles are born across the whole rectangle "
     "at the opposite edge and across (1 - taper) of it at taperEdge, centred, so 1 makes a "
     "cone with its point at that edge. With feather too, a top or bottom taper also softens "
     "the edge of the birth area.",
     "0.8"},
    {"taperEdge", "top, bottom, left, right (or 0-3)", "The edge that taper narrows towards.", "bottom"},
    {"orientation", "horizontal",
     "Sets the launch direction to 0 degrees (to the right), whatever direction says.", "horizontal"},
    {"shape", "a shape name",
     "Draws each particle as this shape: circle, ray, beam, glow, star, lightburst, laser, "
     "rectangle (or rect), sprite or ring.",
     "star"},
    {"trail", "seconds (0-1)",
     "Each particle draws a streak through where it was over the last that many seconds, "
     "narrowing and fading from the particle to nothing at its tail: sparks, comets, a magic "
     "wand. 0 draws none.",
     "0.2"},
    {"deathBurst", "count[:speed] (count 0-50, speed 0-2000 pixels per second)",
     "When a particle's life runs out, it bursts into count smaller particles flying out evenly "
     "in every direction at about speed (without a speed, the middle of the effect's launch "
     "speeds), starting in its colour and ending in colorEnd. They never burst themselves. 0 "
     "turns it off; stopping or fading the effect bursts nothing.",
     "12:150"},
    {"spriteFrames", "COLSxROWS[@FPS] (each 1-16, FPS 1-60)",
     "With a sprite, the picture is a sheet of COLS x ROWS equal frames, read left to right and "
     "top to bottom. Without FPS each particle plays the frames once over its life; with it they "
     "loop at that rate, each particle starting at a frame of its own. 1x1 is a single picture.",
     "4x4@12"},
    {"cursor", "follow, repel[:RADIUS] or attract[:RADIUS] (RADIUS 10-1000 pixels)",
     "Answers the reader's mouse while it is over the rectangle. follow: the place of birth "
     "moves with the cursor (keeping its size), and nothing new is born while the cursor is "
     "elsewhere: a magic wand. repel and attract: particles within RADIUS of the cursor (120 "
     "without one) are pushed away from it or gather round it, the more strongly the nearer "
     "they are. none turns it off.",
     "repel:150"},
    {"click", "burst[:COUNT] (COUNT 1-500)",
     "A left click inside the rectangle bursts COUNT particles (60 without one) at the click, "
     "with the effect's own settings, whether the effect is continuous or a burst. The page "
     "still gets the click. off turns it off.",
     "burst:80"},
    {"sprite", "the path of a picture file",
     "A picture (PNG, JPG, BMP or GIF) drawn for each particle, tinted by the particle's colour, "
     "when shape is sprite. At most 4096 x 4096 pixels; a picture over 512 pixels on its longer "
     "side is reduced to 512 once, when it is loaded.",
     "heart.png"},
    {"prewarm", "seconds (0-10)",
     "A continuous effect opens as if it had already been running that long: snow already "
     "falling, stars already out. Ignored for a burst.",
     "3"},
    {"fadeOut", "milliseconds (0-5000)",
     "When Lumivex_Stop stops this effect by its rectangle's name, emission stops and the whole "
     "effect fades out over that time instead of vanishing at once. StopAll, Stop with an empty "
     "name and a second Stop of it still stop it at once.",
     "800"},
    {"onEnd", "one line of action script (no ;)",
     "When the effect ends by itself (a burst's last particle has gone, or the fade-out that "
     "Lumivex_Stop began with fadeOut is over), the effect is released and this line runs as "
     "the page's own script would, once: show a button when the fireworks are over. A Stop that "
     "stops it at once, StopAll and a new Play on the rectangle never run it.",
     "GoSub \"ShowNext\""},
    {"motion", "always",
     "Plays the effect moving even when Windows is set not to show animations. Without it, "
     "such a reader sees a continuous effect as one still frame and a burst at its fullest, "
     "fading out.",
     "always"},
};

const int OptionKeyCount = static_cast<int>(sizeof OptionKeys / sizeof OptionKeys[0]);

int optionKeyIndex(const char* key) {
  for (int i = 0; i < OptionKeyCount; ++i)
    if (std::strcmp(OptionKeys[i].key, key) == 0) return i;
  return -1;
}
