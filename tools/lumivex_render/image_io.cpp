// Image output of lumivex-render: pixel conversions, grid layout and the PNG and GIF writers.
// Files are encoded in memory or through our own FILE*, so that every failure is reported with
// the path and the system's reason, and nothing here keeps state between calls.
#include "image_io.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <gif_lib.h>

// stb_image_write compiled into this file only, with private linkage, so that it can never clash
// with another copy of stb in the program.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

static int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int parseBackground(const std::string& text, Background& out) {
  out = Background{BackgroundBlack, 0, 0, 0};
  if (text == "black") return 1;
  if (text == "checker") {
    out.kind = BackgroundChecker;
    return 1;
  }
  if (text.size() != 7 || text[0] != '#') return 0;
  int v[6];
  for (int i = 0; i < 6; ++i)
    if ((v[i] = hexDigit(text[1 + i])) < 0) return 0;
  out.kind = BackgroundSolid;
  out.r = static_cast<uint8_t>(v[0] * 16 + v[1]);
  out.g = static_cast<uint8_t>(v[2] * 16 + v[3]);
  out.b = static_cast<uint8_t>(v[4] * 16 + v[5]);
  return 1;
}

uint32_t backgroundAt(const Background& bg, int x, int y) {
  switch (bg.kind) {
    case BackgroundChecker: {
      const uint32_t g = ((x / CheckerSquare + y / CheckerSquare) & 1) ? CheckerLight : CheckerDark;
      return g << 16 | g << 8 | g;
    }
    case BackgroundSolid:
      return static_cast<uint32_t>(bg.r) << 16 | static_cast<uint32_t>(bg.g) << 8 | bg.b;
    default:
      return 0;
  }
}

void composeOverBackground(const uint32_t* src, int width, int height, const Background& bg,
                           uint8_t* rgb) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x, rgb += 3) {
      const uint32_t p = src[static_cast<size_t>(y) * width + x];
      const uint32_t inv = 255 - (p >> 24);
      const uint32_t back = backgroundAt(bg, x, y);
      for (int k = 0; k < 3; ++k) {
        const int shift = 16 - 8 * k;
        // Premultiplied source-over: the source already carries its own alpha.
        const uint32_t v = ((p >> shift) & 255) + (((back >> shift) & 255) * inv + 127) / 255;
        rgb[k] = static_cast<uint8_t>(v > 255 ? 255 : v);
      }
    }
  }
}

void blitRgb(const uint8_t* tile, int tileW, int tileH, uint8_t* canvas, int canvasW, int x, int y) {
  for (int row = 0; row < tileH; ++row)
    std::memcpy(canvas + (static_cast<size_t>(y + row) * canvasW + x) * 3,
                tile + static_cast<size_t>(row) * tileW * 3, static_cast<size_t>(tileW) * 3);
}

static void drawGlyphs(uint8_t* canvas, int canvasW, int canvasH, int x, int y, const std::string& text,
                       uint32_t rgb) {
  for (size_t k = 0; k < text.size(); ++k) {
    const unsigned ch = static_cast<unsigned char>(text[k]);
    if (ch >= 128) continue;
    const int left = x + static_cast<int>(k) * LabelGlyphSide;
    for (int row = 0; row < LabelGlyphSide; ++row) {
      const int py = y + row;
      if (py < 0 || py >= canvasH) continue;
      const uint8_t bits = GifAsciiTable8x8[ch][row];
      for (int col = 0; col < LabelGlyphSide; ++col) {
        const int px = left + col;
        if (!(bits & (0x80 >> col)) || px < 0 || px >= canvasW) continue;
        uint8_t* p = canvas + (static_cast<size_t>(py) * canvasW + px) * 3;
        p[0] = static_cast<uint8_t>(rgb >> 16);
        p[1] = static_cast<uint8_t>(rgb >> 8);
        p[2] = static_cast<uint8_t>(rgb);
      }
    }
  }
}

void drawLabel(uint8_t* canvas, int canvasW, int canvasH, int x, int y, const std::string& text,
               uint32_t rgb) {
  drawGlyphs(canvas, canvasW, canvasH, x + 1, y + 1, text, 0);
  drawGlyphs(canvas, canvasW, canvasH, x, y, text, rgb);
}

GridLayout gridLayout(int count, int columns, int tileW, int tileH, int gap) {
  GridLayout g;
  g.columns = count < columns ? (count < 1 ? 1 : count) : columns;
  g.rows = count < 1 ? 1 : (count + g.columns - 1) / g.columns;
  g.width = g.columns * (tileW + gap) + gap;
  g.height = g.rows * (tileH + gap) + gap;
  return g;
}

void gridTileOrigin(const GridLayout& layout, int index, int tileW, int tileH, int gap, int& x,
                    int& y) {
  x = gap + (index % layout.columns) * (tileW + gap);
  y = gap + (index / layout.columns) * (tileH + gap);
}

int makeDirectories(const std::string& dir, std::string& error) {
  // Each prefix ending before a '/' (and the whole path) in turn; existing ones are fine here,
  // and the last one is checked to be a directory below.
  for (size_t i = 1; i <= dir.size(); ++i) {
    if (i < dir.size() && dir[i] != '/') continue;
    const std::string part = dir.substr(0, i);
    if (mkdir(part.c_str(), 0777) == 0 || errno == EEXIST) continue;
    error = "cannot create directory '" + part + "': " + std::strerror(errno);
    return 0;
  }
  struct stat st;
  if (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return 1;
  error = "cannot create directory '" + dir + "': " + std::strerror(ENOTDIR);
  return 0;
}

FILE* openOutput(const std::string& path, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) error = "cannot write '" + path + "': " + std::strerror(errno);
  return f;
}

static void appendBytes(void* context, void* data, int size) {
  std::vector<uint8_t>* out = static_cast<std::vector<uint8_t>*>(context);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

// Writes and closes; 0 with a message when either fails (a full disk shows up at fclose too).
static int finishFile(FILE* file, const std::string& path, const void* data, size_t size,
                      std::string& error) {
  const bool wrote = std::fwrite(data, 1, size, file) == size;
  const int writeErrno = errno;
  const bool closed = std::fclose(file) == 0;
  if (wrote && closed) return 1;
  error = "cannot write '" + path + "': " + std::strerror(wrote ? errno : writeErrno);
  return 0;
}

int writePngFile(FILE* file, const std::string& path, int width, int height, int channels,
                 const uint8_t* pixels, std::string& error) {
  std::vector<uint8_t> png;
  if (!stbi_write_png_to_func(appendBytes, &png, width, height, channels, pixels, width * channels)) {
    std::fclose(file);
    error = "cannot encode '" + path + "'";
    return 0;
  }
  return finishFile(file, path, png.data(), png.size(), error);
}

int writePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
             std::string& error) {
  FILE* f = openOutput(path, error);
  if (!f) return 0;
  return writePngFile(f, path, width, height, channels, pixels, error);
}

// ---- GIF ----

static int gifWrite(GifFileType* gif, const GifByteType* data, int size) {
  return static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(size), static_cast<FILE*>(gif->UserData)));
}

static int gifFail(GifWriter& w, const char* what, std::string& error) {
  if (!w.failed) {
    w.failed = 1;
    w.error = "cannot write '" + w.path + "': " + what;
  }
  error = w.error;
  return 0;
}

// ---- Palette: median cut over the frame's own colours ----
//
// Frames of particles are mostly a flat background with a few glowing hues fading into it, often
// dim, so the palette follows where the colours are and keeps full 8-bit precision: the distinct
// colours of the frame are counted; the box of colours with the largest count-weighted variance
// is split at its count median along its widest axis until there are 256 boxes (a frame of at
// most 256 colours thus keeps every one exactly); each pixel takes its box's index and each
// palette entry is the exact mean of its pixels.

struct QuantScratch {
  std::vector<uint32_t>& packed;   // per pixel 0xRRGGBB
  std::vector<uint32_t>& colours;  // distinct colours, ascending
  std::vector<uint32_t>& counts;   // pixels of each distinct colour
  std::vector<uint32_t>& order;    // colour numbers, grouped by box
};

static inline int channelOf(uint32_t colour, int axis) { return static_cast<int>((colour >> (16 - 8 * axis)) & 255); }

struct QuantBox {
  uint32_t begin, end;  // range of `order`
  double score;         // count-weighted variance summed over the axes; 0: cannot split
  int axis;             // the axis of largest spread
};

static void measureBox(QuantBox& box, const QuantScratch& q) {
  double n = 0, sum[3] = {0, 0, 0}, sq[3] = {0, 0, 0};
  for (uint32_t i = box.begin; i < box.end; ++i) {
    const double c = q.counts[q.order[i]];
    n += c;
    for (int a = 0; a < 3; ++a) {
      const double v = channelOf(q.colours[q.order[i]], a);
      sum[a] += c * v;
      sq[a] += c * v * v;
    }
  }
  box.score = 0;
  box.axis = 0;
  double widest = -1;
  for (int a = 0; a < 3; ++a) {
    const double spread = sq[a] - sum[a] * sum[a] / n;  // count times the variance
    box.score += spread;
    if (spread > widest) widest = spread, box.axis = a;
  }
  if (box.end - box.begin < 2) box.score = 0;
}

// Maps every pixel of rgb (count pixels, at least 1) to a palette index; returns the palette
// size (1-maxColours, at most 256).
static int quantize(const uint8_t* rgb, size_t count, QuantScratch q, uint8_t* indices, size_t maxColours) {
  q.packed.resize(count);
  for (size_t i = 0; i < count; ++i)
    q.packed[i] = static_cast<uint32_t>(rgb[i * 3]) << 16 | static_cast<uint32_t>(rgb[i * 3 + 1]) << 8 | rgb[i * 3 + 2];
  q.colours = q.packed;
  std::sort(q.colours.begin(), q.colours.end());
  q.counts.clear();
  size_t distinct = 0;
  for (size_t i = 0; i < q.colours.size(); ++i) {
    if (i > 0 && q.colours[i] == q.colours[distinct - 1]) {
      ++q.counts[distinct - 1];
    } else {
      q.colours[distinct++] = q.colours[i];
      q.counts.push_back(1);
    }
  }
  q.colours.resize(distinct);
  q.order.resize(distinct);
  for (uint32_t e = 0; e < distinct; ++e) q.order[e] = e;

  std::vector<QuantBox> boxes;
  boxes.push_back(QuantBox{0, static_cast<uint32_t>(distinct), 0, 0});
  measureBox(boxes[0], q);
  while (boxes.size() < maxColours) {
    size_t pick = 0;
    for (size_t k = 1; k < boxes.size(); ++k)
      if (boxes[k].score > boxes[pick].score) pick = k;
    QuantBox& box = boxes[pick];
    if (box.score <= 0) break;
    const int axis = box.axis;
    const std::vector<uint32_t>& colours = q.colours;
    // Colour numbers are unique, so ties fall back to them and the order is fully determined.
    std::sort(q.order.begin() + box.begin, q.order.begin() + box.end, [&colours, axis](uint32_t a, uint32_t b) {
      const int ca = channelOf(colours[a], axis), cb = channelOf(colours[b], axis);
      return ca != cb ? ca < cb : a < b;
    });
    uint64_t total = 0, below = 0;
    for (uint32_t i = box.begin; i < box.end; ++i) total += q.counts[q.order[i]];
    uint32_t cut = box.begin + 1;
    for (uint32_t i = box.begin; i + 1 < box.end; ++i) {
      below += q.counts[q.order[i]];
      cut = i + 1;
      if (2 * below >= total) break;
    }
    QuantBox upper{cut, box.end, 0, 0};
    box.end = cut;
    measureBox(box, q);
    measureBox(upper, q);
    boxes.push_back(upper);
  }
  // counts is done with: it now holds each colour's palette index.
  for (size_t k = 0; k < boxes.size(); ++k)
    for (uint32_t i = boxes[k].begin; i < boxes[k].end; ++i) q.counts[q.order[i]] = static_cast<uint32_t>(k);
  for (size_t i = 0; i < count; ++i) {
    const size_t e = static_cast<size_t>(std::lower_bound(q.colours.begin(), q.colours.end(), q.packed[i]) - q.colours.begin());
    indices[i] = static_cast<uint8_t>(q.counts[e]);
  }
  return static_cast<int>(boxes.size());
}

// Whether pixel i of the pending frame differs from what is shown by more than the tolerance,
// or has gone back to black from anything else: a faded particle leaves no faint ghost on a
// black background.
static bool pixelChanged(const GifWriter& w, size_t i) {
  const uint8_t* a = &w.pending[i * 3];
  const uint8_t* b = &w.shown[i * 3];
  const int t = (a[0] | a[1] | a[2]) == 0 ? 0 : w.deltaTolerance;
  return std::abs(a[0] - b[0]) > t || std::abs(a[1] - b[1]) > t || std::abs(a[2] - b[2]) > t;
}

// Quantises the pending frame (a delta frame: its changed pixels) to its own palette and writes
// it with the given delay.
static int gifFlush(GifWriter& w, long delayCs, std::string& error) {
  GifFileType* gif = static_cast<GifFileType*>(w.gif);
  const int W = w.width, H = w.height;
  const bool delta = w.deltaTolerance >= 0 && !w.shown.empty();
  // The rectangle [x0, x1) x [y0, y1) written: the whole frame, or the changed pixels' bounds.
  int x0 = 0, y0 = 0, x1 = W, y1 = H;
  if (delta) {
    x0 = W, y0 = H, x1 = 0, y1 = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (pixelChanged(w, static_cast<size_t>(y) * W + x)) {
          if (x < x0) x0 = x;
          if (x >= x1) x1 = x + 1;
          if (y < y0) y0 = y;
          y1 = y + 1;
        }
    // Nothing changed beyond the tolerance: one transparent pixel carries the delay.
    if (x1 <= x0) x0 = 0, y0 = 0, x1 = 1, y1 = 1;
  }
  const int bw = x1 - x0, bh = y1 - y0;
  w.changed.clear();
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const size_t i = static_cast<size_t>(y) * W + x;
      if (!delta || pixelChanged(w, i)) w.changed.insert(w.changed.end(), &w.pending[i * 3], &w.pending[i * 3 + 3]);
    }
  const size_t n = w.changed.size() / 3;
  w.indices.resize(n > 0 ? n : 1);
  const int colorCount = n == 0 ? 0
                                : quantize(w.changed.data(), n, QuantScratch{w.packed, w.colours, w.counts, w.order},
                                           w.indices.data(), delta ? 255 : 256);
  const int transparent = colorCount;  // the first unused entry; delta frames leave one free
  // Each entry is the exact mean of the pixels mapped to it.
  GifColorType colors[256];
  uint64_t sum[256][3] = {};
  uint32_t count[256] = {};
  for (size_t i = 0; i < n; ++i) {
    const uint8_t k = w.indices[i];
    sum[k][0] += w.changed[i * 3];
    sum[k][1] += w.changed[i * 3 + 1];
    sum[k][2] += w.changed[i * 3 + 2];
    ++count[k];
  }
  for (int k = 0; k < 256; ++k) {
    if (k >= colorCount || count[k] == 0) {
      colors[k] = GifColorType{0, 0, 0};
      continue;
    }
    colors[k].Red = static_cast<GifByteType>((sum[k][0] + count[k] / 2) / count[k]);
    colors[k].Green = static_cast<GifByteType>((sum[k][1] + count[k] / 2) / count[k]);
    colors[k].Blue = static_cast<GifByteType>((sum[k][2] + count[k] / 2) / count[k]);
  }
  ColorMapObject* map = GifMakeMapObject(256, colors);
  if (!map) return gifFail(w, "out of memory", error);

  // The rectangle's raster: changed pixels take their entries in order, the others are
  // transparent. What is shown follows.
  std::vector<uint8_t> raster(static_cast<size_t>(bw) * bh);
  const bool track = w.deltaTolerance >= 0;
  if (track && w.shown.empty()) w.shown.assign(static_cast<size_t>(W) * H * 3, 0);
  size_t next = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const size_t i = static_cast<size_t>(y) * W + x;
      uint8_t& r = raster[static_cast<size_t>(y - y0) * bw + (x - x0)];
      if (delta && (next >= n || !pixelChanged(w, i))) {
        r = static_cast<uint8_t>(transparent);
        continue;
      }
      r = w.indices[next++];
      if (track) {
        w.shown[i * 3] = colors[r].Red;
        w.shown[i * 3 + 1] = colors[r].Green;
        w.shown[i * 3 + 2] = colors[r].Blue;
      }
    }

  GraphicsControlBlock gcb;
  gcb.DisposalMode = DISPOSE_DO_NOT;
  gcb.UserInputFlag = false;
  gcb.DelayTime = static_cast<int>(delayCs > 65535 ? 65535 : delayCs);
  gcb.TransparentColor = delta ? transparent : NO_TRANSPARENT_COLOR;
  GifByteType ext[4];
  const size_t extLen = EGifGCBToExtension(&gcb, ext);
  int ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extLen), ext) == GIF_OK &&
           EGifPutImageDesc(gif, x0, y0, bw, bh, false, map) == GIF_OK;
  for (int y = 0; ok && y < bh; ++y)
    ok = EGifPutLine(gif, raster.data() + static_cast<size_t>(y) * bw, bw) == GIF_OK;
  GifFreeMapObject(map);
  w.pending.clear();
  if (!ok) return gifFail(w, GifErrorString(gif->Error), error);
  if (std::ferror(w.file)) return gifFail(w, std::strerror(errno), error);
  return 1;
}

int gifOpen(GifWriter& w, const std::string& path, int width, int height, std::string& error,
            int deltaTolerance) {
  w.gif = nullptr;
  w.path = path;
  w.width = width;
  w.height = height;
  w.deltaTolerance = deltaTolerance < 0 ? GifWholeFrames : (deltaTolerance > 255 ? 255 : deltaTolerance);
  w.pending.clear();
  w.shown.clear();
  w.pendingStartCs = 0;
  w.failed = 0;
  w.error.clear();
  w.file = openOutput(path, error);
  if (!w.file) return 0;
  int code = 0;
  GifFileType* gif = EGifOpen(w.file, gifWrite, &code);
  if (!gif) {
    std::fclose(w.file);
    w.file = nullptr;
    error = "cannot write '" + path + "': " + GifErrorString(code);
    return 0;
  }
  w.gif = gif;
  EGifSetGifVersion(gif, true);
  // No global palette (each frame has its own); then the NETSCAPE2.0 block: loop forever.
  static const GifByteType loop[3] = {1, 0, 0};
  const int ok = EGifPutScreenDesc(gif, width, height, 8, 0, nullptr) == GIF_OK &&
                 EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
                 EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK &&
                 EGifPutExtensionBlock(gif, 3, loop) == GIF_OK &&
                 EGifPutExtensionTrailer(gif) == GIF_OK;
  if (!ok) {
    gifFail(w, GifErrorString(gif->Error), error);
    gifClose(w, 0, error);
    error = w.error;
    return 0;
  }
  return 1;
}

static long toCentiseconds(double ms) { return static_cast<long>(ms / 10.0 + 0.5); }

int gifAddFrame(GifWriter& w, const uint8_t* rgb, double startMs, std::string& error) {
  if (w.failed) {
    error = w.error;
    return 0;
  }
  const size_t bytes = static_cast<size_t>(w.width) * w.height * 3;
  const long start = toCentiseconds(startMs);
  if (!w.pending.empty()) {
    // Too soon to show, or nothing new: the pending frame simply stays on screen longer.
    if (start - w.pendingStartCs < 2 || std::memcmp(w.pending.data(), rgb, bytes) == 0) return 1;
    if (!gifFlush(w, start - w.pendingStartCs, error)) return 0;
  }
  w.pending.assign(rgb, rgb + bytes);
  w.pendingStartCs = start;
  return 1;
}

int gifClose(GifWriter& w, double endMs, std::string& error) {
  GifFileType* gif = static_cast<GifFileType*>(w.gif);
  if (!w.failed && !w.pending.empty()) {
    long delay = toCentiseconds(endMs) - w.pendingStartCs;
    gifFlush(w, delay < 2 ? 2 : delay, error);
  }
  int code = 0;
  if (gif && EGifCloseFile(gif, &code) == GIF_ERROR && !w.failed) gifFail(w, GifErrorString(code), error);
  w.gif = nullptr;
  // giflib's close writes the trailer but leaves our FILE* open.
  if (w.file && std::fclose(w.file) != 0 && !w.failed) gifFail(w, std::strerror(errno), error);
  w.file = nullptr;
  w.pending.clear();
  if (w.failed) {
    error = w.error;
    return 0;
  }
  return 1;
}
