// The Windows sprite codec over the GDI+ flat API: GdipLoadImageFromFile decodes (PNG, JPEG,
// BMP, GIF, TIFF, ICO, EMF and WMF), a high-quality bicubic draw into a premultiplied bitmap
// reduces, and a locked copy in straight ARGB hands the pixels to the rasterizer. State: whether
// GDI+ has been started (it is never shut down: drawing and loading may need it until the
// process ends) and the spin lock that keeps two threads from starting it at once. Codec images
// are GpImage pointers owned by the holder of the handle until finish or release.
#include "config/sprite_gdiplus.h"

#include <windows.h>

#include <gdiplus.h>

#include <climits>
#include <cstdlib>
#include <cstring>


using namespace Gdiplus;
using namespace Gdiplus::DllExports;

static volatile LONG gStartLock = 0;     // 1 while a thread is inside startGdiplus
static volatile LONG gGdiplusStarted = 0;
static ULONG_PTR gGdiplusToken = 0;

int startGdiplus() {
  if (gGdiplusStarted) return 1;
  // The user-interface thread (sprite loads) and the timer thread (frames) may both be first.
  while (InterlockedCompareExchange(&gStartLock, 1, 0) != 0) Sleep(0);
  int ok = 1;
  if (!gGdiplusStarted) {
    GdiplusStartupInput input;  // version 1, no debug callback, background thread and codecs on
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    if (GdiplusStartup(&gGdiplusToken, &input, nullptr) == Ok) {
      // Never shut down, so gdiplus.dll must never be unloaded either: unloading this library
      // would otherwise drop its last reference while GDI+'s background thread still runs.
      HMODULE pinned = nullptr;
      GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"gdiplus.dll", &pinned);
      InterlockedExchange(&gGdiplusStarted, 1);
    } else {
      ok = 0;  // left clear: the next use tries again
    }
  }
  InterlockedExchange(&gStartLock, 0);
  return ok;
}

void forgetGdiplus() { InterlockedExchange(&gGdiplusStarted, 0); }

static int openGdiplus(const std::string& path, void*& image, int32_t& width, int32_t& height) {
  image = nullptr;
  width = height = 0;
  if (path.size() >= static_cast<size_t>(INT_MAX)) return 1;  // no file has such a name
  const int bytes = static_cast<int>(path.size());
  // Our text is UTF-8; GDI+ takes a zero-terminated UTF-16 path.
  const int units = MultiByteToWideChar(CP_UTF8, 0, path.data(), bytes, nullptr, 0);
  if (units <= 0) return 1;
  WCHAR* wide = static_cast<WCHAR*>(std::malloc((static_cast<size_t>(units) + 1) * sizeof(WCHAR)));
  if (!wide) return 0;
  MultiByteToWideChar(CP_UTF8, 0, path.data(), bytes, wide, units);
  wide[units] = 0;
  GpImage* decoded = nullptr;
  const GpStatus status = GdipLoadImageFromFile(wide, &decoded);
  std::free(wide);
  if (status != Ok || !decoded) {
    if (decoded) GdipDisposeImage(decoded);
    return 1;
  }
  UINT w = 0, h = 0;
  if (GdipGetImageWidth(decoded, &w) != Ok || GdipGetImageHeight(decoded, &h) != Ok) {
    GdipDisposeImage(decoded);
    return 1;
  }
  image = decoded;
  // Sizes beyond int32 are refused as too large all the same.
  width = w > static_cast<UINT>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(w);
  height = h > static_cast<UINT>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(h);
  return 1;
}

// A new bitmap of w x h in the given format with the whole image drawn into it, or null.
static GpBitmap* drawnCopy(GpImage* image, int32_t w, int32_t h, PixelFormat format) {
  GpBitmap* bitmap = nullptr;
  if (GdipCreateBitmapFromScan0(w, h, 0, format, nullptr, &bitmap) != Ok || !bitmap) return nullptr;
  GpGraphics* graphics = nullptr;
  if (GdipGetImageGraphicsContext(bitmap, &graphics) != Ok || !graphics) {
    GdipDisposeImage(bitmap);
    return nullptr;
  }
  GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
  GdipDrawImageRectI(graphics, image, 0, 0, w, h);
  GdipDeleteGraphics(graphics);
  return bitmap;
}

static void* reduceGdiplus(void* image, int32_t rw, int32_t rh) {
  if (!image || rw < 1 || rh < 1) return nullptr;
  // Premultiplied, so that the filter weighs colours by their opacity.
  return drawnCopy(static_cast<GpImage*>(image), rw, rh, PixelFormat32bppPARGB);
}

static void releaseGdiplus(void* image) {
  if (image) GdipDisposeImage(static_cast<GpImage*>(image));
}

// The pixels of a raster bitmap as straight ARGB (GDI+ converts from whatever it decoded or
// drew: palette, 24-bit, premultiplied), or null.
static SpriteImage* copyPixels(GpBitmap* bitmap, int32_t w, int32_t h) {
  SpriteImage* out = newSpriteImage(w, h);
  if (!out) return nullptr;
  GpRect rect(0, 0, w, h);
  BitmapData data;
  std::memset(&data, 0, sizeof data);
  if (GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead, PixelFormat32bppARGB, &data) != Ok) {
    deleteSpriteImage(out);
    return nullptr;
  }
  if (data.Scan0 && static_cast<int32_t>(data.Width) >= w && static_cast<int32_t>(data.Height) >= h) {
    for (int32_t y = 0; y < h; ++y) {
      const BYTE* row = static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
      std::memcpy(out->pixels + static_cast<size_t>(y) * static_cast<size_t>(w), row,
                  static_cast<size_t>(w) * sizeof(uint32_t));
    }
  } else {
    deleteSpriteImage(out);
    out = nullptr;
  }
  GdipBitmapUnlockBits(bitmap, &data);
  return out;
}

static SpriteImage* finishGdiplus(void* image, int32_t width, int32_t height) {
  GpImage* picture = static_cast<GpImage*>(image);
  SpriteImage* out = nullptr;
  ImageType type = ImageTypeUnknown;
  if (picture && width > 0 && height > 0 && GdipGetImageType(picture, &type) == Ok) {
    if (type == ImageTypeBitmap) {
      out = copyPixels(reinterpret_cast<GpBitmap*>(picture), width, height);
    } else {
      // A metafile has no pixels to lock: render it once at its size.
      GpBitmap* raster = drawnCopy(picture, width, height, PixelFormat32bppARGB);
      if (raster) {
        out = copyPixels(raster, width, height);
        GdipDisposeImage(raster);
      }
    }
  }
  releaseGdiplus(picture);
  return out;
}

static const SpriteCodec kGdiplusCodec = {startGdiplus, openGdiplus, reduceGdiplus, finishGdiplus, releaseGdiplus};

const SpriteCodec* gdiplusSpriteCodec() { return &kGdiplusCodec; }
