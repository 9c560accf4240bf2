// Image output of lumivex-render: turning the engine's premultiplied 0xAARRGGBB frames into
// straight-alpha RGBA or into opaque RGB over a background, laying frames out in a grid, and
// writing PNG files (stb_image_write) and animated GIFs (giflib). Native tools only.
// Every writer returns 1 on success, 0 on failure with a message naming the path in `error`.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What a frame is composed over when it is made opaque.
enum BackgroundKind { BackgroundBlack = 0, BackgroundChecker = 1, BackgroundSolid = 2 };

struct Background {
  int kind;         // BackgroundKind
  uint8_t r, g, b;  // the colour of BackgroundSolid, 0-255
};

constexpr int CheckerSquare = 8;              // pixels per checker square
constexpr uint8_t CheckerDark = 0x30;         // grey levels of the two squares: dark enough that
constexpr uint8_t CheckerLight = 0x50;        // white and pale particles still stand out

// "black", "checker" or "#RRGGBB" (hex digits in any case); 0 for anything else.
int parseBackground(const std::string& text, Background& out);

// The background's colour at pixel (x, y), as 0xRRGGBB.
uint32_t backgroundAt(const Background& bg, int x, int y);

// count premultiplied 0xAARRGGBB words -> count * 4 bytes R, G, B, A with straight alpha.
// A pixel of alpha 0 becomes 0, 0, 0, 0; colour channels above alpha are read as equal to it.
void unpremultiplyToRgba(const uint32_t* src, int count, uint8_t* rgba);

// width x height premultiplied words composed source-over onto the background ->
// width * height * 3 bytes R, G, B, opaque.
void composeOverBackground(const uint32_t* src, int width, int height, const Background& bg,
                           uint8_t* rgb);

// Copies a tile of tileW x tileH RGB pixels into an RGB canvas canvasW pixels wide, with its
// top-left corner at (x, y); the tile must lie inside the canvas.
void blitRgb(const uint8_t* tile, int tileW, int tileH, uint8_t* canvas, int canvasW, int x, int y);

// Writes text (ASCII) into an RGB canvas with giflib's 8 x 8 font, top-left at (x, y), in the
// given colour over a one-pixel black shadow so that it reads on any frame; clipped to the canvas.
constexpr int LabelGlyphSide = 8;  // pixels per character
void drawLabel(uint8_t* canvas, int canvasW, int canvasH, int x, int y, const std::string& text,
               uint32_t rgb);

// A grid of `count` tiles of tileW x tileH with `gap` pixels between and around them.
struct GridLayout {
  int columns, rows;     // tiles
  int width, height;     // canvas pixels
};
GridLayout gridLayout(int count, int columns, int tileW, int tileH, int gap);
// Top-left pixel of tile `index` (row-major) in the layout.
void gridTileOrigin(const GridLayout& layout, int index, int tileW, int tileH, int gap, int& x,
                    int& y);

// Creates dir and any missing parents (as mkdir -p). 0 with a message when it cannot.
int makeDirectories(const std::string& dir, std::string& error);

// Opens path for writing, binary; null with a message naming the path when it cannot.
FILE* openOutput(const std::string& path, std::string& error);

// Encodes width x height pixels of `channels` bytes each (3 RGB, 4 RGBA) as PNG into file and
// closes it, whatever happens. The same pixels always give the same bytes.
int writePngFile(FILE* file, const std::string& path, int width, int height, int channels,
                 const uint8_t* pixels, std::string& error);
// openOutput + writePngFile.
int writePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
             std::string& error);

// An animated GIF being written, looping forever. Each frame gets its own palette of at most
// 256 colours (median cut over the frame's exact colours, our own: giflib's works on 5 bits per
// channel and bands dim glows). GIF delays are whole hundredths of a second and viewers slow down
// delays below 2, so a frame that would show for less than 2/100 s after the previous kept one
// is dropped, and a frame identical to the previous kept one only lengthens it: playback keeps
// the frames' own timing.
// With a delta tolerance of 0 or more, every frame after the first holds only the rectangle of
// pixels that changed against what a viewer shows at that point, and pixels within it that did
// not change are transparent (255 colours for the rest): much smaller files where most of the
// picture holds still. A pixel counts as changed when a channel differs from what is shown by
// more than the tolerance, so what is shown never differs from a frame by more than that, and a
// pixel that goes back to black is always written.
constexpr int GifWholeFrames = -1;  // delta tolerance: every frame written whole
struct GifWriter {
  void* gif;                      // giflib's GifFileType; null once closed
  FILE* file;                     // the file under it
  std::string path;               // for messages
  int width, height;              // pixels
  int deltaTolerance;             // GifWholeFrames, or 0-255 per channel (see above)
  std::vector<uint8_t> pending;   // RGB of the frame not yet written; empty when none
  long pendingStartCs;            // its start time, hundredths of a second
  std::vector<uint8_t> shown;     // RGB a viewer shows after the frames written (delta only)
  std::vector<uint8_t> changed;   // scratch: RGB of the pixels a delta frame writes
  std::vector<uint8_t> indices;   // scratch: palette indices of one frame
  std::vector<uint32_t> packed, colours, counts, order;  // scratch of the quantiser
  int failed;                     // 1 after a write error (error holds the message)
  std::string error;
};

int gifOpen(GifWriter& writer, const std::string& path, int width, int height, std::string& error,
            int deltaTolerance = GifWholeFrames);
// Adds an RGB frame (width * height * 3 bytes) that starts at startMs of the animation.
int gifAddFrame(GifWriter& writer, const uint8_t* rgb, double startMs, std::string& error);
// Writes the last frame, which lasts until endMs, and closes the file. Also releases the writer
// after a failure.
int gifClose(GifWriter& writer, double endMs, std::string& error);
