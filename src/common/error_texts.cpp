// The [Lumivex.LastError] texts for authors (see error_texts.h). {NAME} is the rectangle name as
// the script gave it, {KEY} the same name trimmed and lower-cased, {PATH} the sprite or mask path as
// written in the options, {W}x{H} a picture's size in pixels and {MAX} the largest side accepted.
#include "common/error_texts.h"

const ErrorTextInfo ErrorTexts[] = {
    {"empty-rectangle", "Empty rectangle name.",
     "Play or PlayAdvanced was given no rectangle name (or only spaces).",
     "Give the name of a Rectangle object of the page as the first parameter; in the action's "
     "editor, \"Select...\" picks one."},
    {"rectangle-not-found", "Rectangle '{NAME}' not found.",
     "No object of the current page has that name. An effect that was playing under the same "
     "name has been stopped.",
     "Check the spelling against the object's name (case and surrounding spaces do not matter) "
     "and that the object is on the page that is showing when the action runs."},
    {"zero-size", "Rectangle has zero size.",
     "The rectangle is 0 pixels wide or 0 pixels high.",
     "Give the rectangle a size before playing on it, or play after the script has sized it."},
    {"dib-failed", "Failed to create DIB for particles.",
     "Windows refused the picture memory for the effect's frames (out of memory or of graphics "
     "objects).",
     "Stop effects that are no longer needed (Lumivex_Stop, Lumivex_StopAll), use smaller "
     "rectangles, and try again."},
    {"overlay-failed", "Failed to create overlay window.",
     "Windows refused the window the effect is drawn in.",
     "As above: stop effects that are no longer needed and try again; restart the application if "
     "it persists."},
    {"timer-failed", "Failed to start shared multimedia timer.",
     "Windows gave no multimedia timer (other programs may hold them all).",
     "Try again later or close other programs; no effect can run without the timer."},
    {"out-of-memory", "Out of memory.",
     "Memory ran out during the action; it answered 0 and left nothing half-made.",
     "Stop effects that are no longer needed and try again: the same call works once memory is "
     "free."},
    {"stop-unknown", "Stop: no active emitter on rectangle '{KEY}'",
     "Lumivex_Stop named a rectangle on which no effect is playing. Stop still returns 1.",
     "Nothing is wrong if the effect had already been stopped or replaced; otherwise check the "
     "name given to Play."},
    {"sprite-loaded", "Loaded sprite: {PATH} ({W}x{H})",
     "PlayAdvanced loaded the sprite picture. Not an error: the successful start that follows "
     "empties LastError again.",
     "Nothing to do."},
    {"sprite-reduced", "Loaded sprite: {PATH} (resized {W}x{H} -> {W}x{H} for performance)",
     "PlayAdvanced loaded a sprite picture larger than 512 pixels on a side and reduced it once. "
     "Not an error: the successful start that follows empties LastError again.",
     "Nothing to do; a picture of 512 pixels or less on its longer side loads faster."},
    {"sprite-failed", "Failed to load sprite: '{PATH}'",
     "The sprite picture is missing, unreadable or not a picture. The effect plays without it, "
     "and the text stays after the effect has started.",
     "Check the path (a full path such as C:\\Effects\\heart.png is safest) and that the file is "
     "a PNG, JPG, BMP or GIF picture."},
    {"sprite-too-large", "Sprite too large ({W}x{H}). Maximum {MAX}x{MAX}; please resize: '{PATH}'",
     "The sprite picture is wider or taller than 4096 pixels. The effect plays without it, and "
     "the text stays after the effect has started.",
     "Make the picture smaller (512 pixels on its longer side is plenty) and save it again."},
    {"mask-failed", "Failed to load emit mask: '{PATH}'",
     "The picture of emitShape=mask:PATH is missing, unreadable or not a picture. The effect is "
     "born over its whole area instead, and the text stays after the effect has started.",
     "Check the path (a full path is safest) and that the file is a PNG, JPG, BMP or GIF picture."},
    {"mask-too-large", "Emit mask too large ({W}x{H}). Maximum {MAX}x{MAX}; please resize: '{PATH}'",
     "The mask picture is wider or taller than 4096 pixels. The effect is born over its whole "
     "area instead, and the text stays after the effect has started.",
     "Make the picture smaller (512 pixels on its longer side is plenty) and save it again."},
    {"mask-empty", "Emit mask has no opaque pixels: '{PATH}'",
     "No pixel of the mask picture is at least half opaque, so there is nowhere to be born. The "
     "effect is born over its whole area instead, and the text stays after the effect has started.",
     "Draw the shape opaque on a transparent background (a PNG with transparency)."},
};

const int ErrorTextCount = static_cast<int>(sizeof ErrorTexts / sizeof ErrorTexts[0]);
