// Windows only: draws the same 800 x 600 frame of 2000 soft Sparkle circles twice, once with
// GDI+ exactly as the frame would be drawn through a graphics object on the frame bitmap (path
// gradient ellipses, anti-alias, high-speed compositing and pixel offset) and once with our
// rasterizer, and prints the time per frame of each and their ratio. Goal: ours at least 100x.
#include <windows.h>
#include <gdiplus.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "common/text.h"
#include "config/sprite.h"
#include "engine/engine.h"
#include "render/render_frame.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr int kWidth = 800, kHeight = 600;

double nowMs() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// One frame through GDI+: clear, then a soft ellipse per particle (solid when small).
void drawWithGdiplus(HDC dc, uint32_t* bits, const ParticleSystem& e) {
  std::memset(bits, 0, static_cast<size_t>(kWidth) * kHeight * 4);
  GpGraphics* g = nullptr;
  if (GdipCreateFromHDC(dc, &g) != Ok) return;
  GdipSetSmoothingMode(g, SmoothingModeAntiAlias);
  GdipSetCompositingQuality(g, CompositingQualityHighSpeed);
  GdipSetPixelOffsetMode(g, PixelOffsetModeHighSpeed);
  GpSolidFill* brush = nullptr;
  GdipCreateSolidFill(0xFFFFFFFFu, &brush);
  for (const Particle& p : e.particles) {
    if (!p.active) continue;
    const int a = toByte(p.alpha * 255.0);
    if (a == 0) continue;
    const ARGB color = (static_cast<ARGB>(a) << 24) | (p.curR << 16) | (p.curG << 8) | p.curB;
    const float d = 2 * p.size, w = d * e.config.stretch, h = d;
    if (h >= 3) {
      GpPath* path = nullptr;
      if (GdipCreatePath(FillModeAlternate, &path) != Ok) continue;
      GdipAddPathEllipse(path, p.x - w / 2, p.y - h / 2, w, h);
      GpPathGradient* grad = nullptr;
      if (GdipCreatePathGradientFromPath(path, &grad) == Ok) {
        ARGB surround = color & 0x00FFFFFFu;
        INT count = 1;
        GdipSetPathGradientCenterColor(grad, color);
        GdipSetPathGradientSurroundColorsWithCount(grad, &surround, &count);
        GdipFillPath(g, grad, path);
        GdipDeleteBrush(grad);
      }
      GdipDeletePath(path);
    } else if (brush) {
      GdipSetSolidFillColor(brush, color);
      GdipFillEllipse(g, brush, p.x - w / 2, p.y - h / 2, w, h);
    }
  }
  if (brush) GdipDeleteBrush(brush);
  GdipDeleteGraphics(g);
}

}  // namespace

int main() {
  GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (GdiplusStartup(&token, &input, nullptr) != Ok) {
    std::fprintf(stderr, "gdiplus_bench: GDI+ did not start\n");
    return 1;
  }
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = kWidth;
  bi.bmiHeader.biHeight = -kHeight;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  if (!bmp || !dc || !bits) {
    std::fprintf(stderr, "gdiplus_bench: no frame bitmap\n");
    return 1;
  }
  HGDIOBJ old = SelectObject(dc, bmp);

  seedRandom(21);
  std::unique_ptr<ParticleSystem> e(new ParticleSystem());
  FrameBuffer frame = {};
  const Sprite noSprite = {};
  attachFrameBuffer(frame, static_cast<uint32_t*>(bits), kWidth, kHeight);
  e->frameWidth = kWidth;
  e->frameHeight = kHeight;
  setSystemPreset(*e, "sparkle");
  LoadPreset("Sparkle", e->config);
  e->config.emitW = e->config.emitH = 1;
  for (int i = 0; i < MaxParticles; ++i) spawnParticle(*e);
  for (Particle& p : e->particles) p.alpha = 0.8f;

  auto timeFrames = [&](int frames, auto&& draw) {
    draw();  // warm up
    const double t0 = nowMs();
    for (int i = 0; i < frames; ++i) draw();
    return (nowMs() - t0) / frames;
  };
  const double gdip = timeFrames(3, [&] { drawWithGdiplus(dc, static_cast<uint32_t*>(bits), *e); });
  const double ours = timeFrames(30, [&] {
    frame.drawnValid = 0;  // a full clear, as GDI+ gets
    renderFrame(*e, noSprite, frame);
  });
  std::printf("frame of %d soft circles at %dx%d\n", e->aliveCount, kWidth, kHeight);
  std::printf("GDI+:       %10.3f ms per frame\n", gdip);
  std::printf("rasterizer: %10.3f ms per frame\n", ours);
  std::printf("ratio:      %10.1fx (goal: at least 100x)\n", gdip / ours);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bmp);
  return 0;
}
