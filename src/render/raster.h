// The rasterizer: anti-aliased primitives composited source-over into a premultiplied 0xAARRGGBB
// buffer, with the conventions of GDI+ in anti-alias mode with high-speed pixel offset: pixel
// centres at integer coordinates (pixel (0,0) covers -0.5..0.5) and coverage evaluated there.
// Each primitive clips its bounding box to the canvas once, narrows it per row, then walks row
// pointers. Colours are given straight (not premultiplied) as A, R, G, B bytes.
#pragma once

#include <cstdint>

struct SpriteImage;

struct Canvas {
  uint32_t* pixels;  // width * height words, 0xAARRGGBB premultiplied, top row first
  int32_t width;     // pixels
  int32_t height;    // pixels
  // Bounding box of every pixel a primitive has written since the canvas was set up
  // (x1, y1 exclusive); empty while x0 >= x1.
  int32_t touchedX0, touchedY0, touchedX1, touchedY1;
};

// The widest pixel groups the primitives may use: 8 lanes where the processor has AVX2, else 4
// (SSE2). The pixels are the same either way; tests compare the two. Returns the width now in
// use (never more than the processor has).
int32_t setRasterLanes(int32_t lanes);

// A canvas over a buffer, with nothing touched yet.
Canvas makeCanvas(uint32_t* pixels, int32_t width, int32_t height);

// Where a shape's local coordinates land in the frame: frame = origin + rotate(angle) * local.
struct LocalSpace {
  float ox, oy;  // frame position of the local origin, pixels
  float c, s;    // cosine and sine of the rotation
};
LocalSpace frameSpace();                                      // identity
LocalSpace particleSpace(float px, float py, float degrees);  // translated, then rotated

// A straight colour. The alpha byte A scales every coverage value.
struct Rgba {
  int32_t a, r, g, b;  // 0-255 each
};

// Ellipse with bounding box (x, y, w, h) in local space, filled solid with anti-aliased edges.
void fillEllipse(Canvas& canvas, const LocalSpace& space, float x, float y, float w, float h, Rgba color);
// The same ellipse filled with a radial fade: alpha A x (1 - t) where t is the normalised
// elliptic radius from the ellipse's centre, reaching 0 at the rim; the colour stays.
void fillSoftEllipse(Canvas& canvas, const LocalSpace& space, float x, float y, float w, float h, Rgba color);
// A soft ellipse of width w and height outerH, then a thinner one of height innerH over it, both
// centred on the local line y = cy and spanning x .. x + w: the halo and core of a long shape,
// drawn in one pass with exactly the result of two.
void fillSoftEllipsePair(Canvas& canvas, const LocalSpace& space, float x, float cy, float w, float outerH,
                         Rgba outer, float innerH, Rgba inner);
// Rectangle (x, y, w, h) in local space, filled solid with anti-aliased edges.
void fillRectangle(Canvas& canvas, const LocalSpace& space, float x, float y, float w, float h, Rgba color);
// Line from (x0, y0) to (x1, y1) in local space with a pen of the given width and flat caps:
// nothing is drawn beyond the end points. Widths below 1 draw as 1.
void drawLine(Canvas& canvas, const LocalSpace& space, float x0, float y0, float x1, float y1,
              float width, Rgba color);
// A line of outerWidth, then the same line of innerWidth over it, in one pass.
void drawLinePair(Canvas& canvas, const LocalSpace& space, float x0, float y0, float x1, float y1,
                  float outerWidth, Rgba outer, float innerWidth, Rgba inner);
// drawLinePair in each of `count` spaces, in order, with the set-up they share worked out once
// (the rays of a burst).
void drawLinePairs(Canvas& canvas, const LocalSpace* spaces, int32_t count, float x0, float y0, float x1, float y1,
                   float outerWidth, Rgba outer, float innerWidth, Rgba inner);
// Outline of the ellipse (x, y, w, h) in frame space, the pen centred on the ellipse; pens
// thinner than 1 draw as 1.
void drawEllipseOutline(Canvas& canvas, float x, float y, float w, float h, float penWidth, Rgba color);
// The whole sprite drawn into the local rectangle (dx, dy, dw, dh) with nearest-neighbour
// sampling, each texel multiplied by (R/255, G/255, B/255, A/255) in straight colour first.
void drawSprite(Canvas& canvas, const LocalSpace& space, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                const SpriteImage& sprite, Rgba tint);

// Raises the alpha of every pixel of [x0, x1) x [y0, y1) by a quarter (a + a div 4, capped at
// 255), leaving the colour bytes as they are: the additive look of a finished frame.
void brightenRect(Canvas& canvas, int32_t x0, int32_t y0, int32_t x1, int32_t y1);

