// Sprite loading through GDI+ on files written at run time by GDI+'s encoders (PNG, BMP, GIF,
// JPEG), a text file, a missing file and an enhanced metafile: sizes, reduction, refusal, the
// exact messages and pixels in straight ARGB, and a UTF-8 path outside ASCII.
#include <gtest/gtest.h>

#include <windows.h>

#include <gdiplus.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/sprite.h"
#include "config/sprite_gdiplus.h"
#include "runtime/emitter.h"
#include "shared/sprite_cases.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// Indexed by SpriteFormat, up to the last picture format.
const WCHAR* const kMimeTypes[] = {L"image/png", L"image/bmp", L"image/gif", L"image/jpeg"};

// The class id of GDI+'s encoder for a MIME type; 0 when there is none.
int encoderFor(const WCHAR* mime, CLSID& clsid) {
  UINT count = 0, bytes = 0;
  if (GdipGetImageEncodersSize(&count, &bytes) != Ok || count == 0) return 0;
  std::vector<BYTE> buffer(bytes);
  ImageCodecInfo* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.data());
  if (GdipGetImageEncoders(count, bytes, codecs) != Ok) return 0;
  for (UINT i = 0; i < count; ++i)
    if (codecs[i].MimeType && lstrcmpiW(codecs[i].MimeType, mime) == 0) {
      clsid = codecs[i].Clsid;
      return 1;
    }
  return 0;
}

// Writes a picture (or text, or nothing) at path; 1 on success, otherwise 0 (text), -1 (no
// encoder), -2 (no bitmap), -3 (too many colours for a GIF) or -100 - the status of the save, so
// that a failure says which.
int writeFile(const std::wstring& path, SpriteFormat format, SpritePattern pattern, int32_t w, int32_t h) {
  if (format == SpriteMissing) return 1;
  if (format == SpriteText) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return 0;
    std::fputs("sprite=clouds.png\r\nnot a picture\r\n", f);
    return std::fclose(f) == 0;
  }
  CLSID clsid;
  if (!encoderFor(kMimeTypes[format], clsid)) return -1;
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = spritePatternPixel(pattern, x, y, w, h);
  GpBitmap* bitmap = nullptr;
  // GIF goes through a palette bitmap of the pattern's own colours: GDI+ would otherwise choose
  // a palette itself (and Wine's GIF encoder writes no pixels from a 32-bit bitmap).
  std::vector<BYTE> indices;
  struct {
    UINT Flags, Count;
    ARGB Entries[256];
  } palette = {0, 0, {}};
  if (format == SpriteGif) {
    indices.resize(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
      UINT k = 0;
      while (k < palette.Count && palette.Entries[k] != pixels[i]) ++k;
      if (k == palette.Count) {
        if (k == 256) return -3;
        palette.Entries[palette.Count++] = pixels[i];
      }
      indices[i] = static_cast<BYTE>(k);
    }
    if (GdipCreateBitmapFromScan0(w, h, w, PixelFormat8bppIndexed, indices.data(), &bitmap) != Ok) return -2;
    if (GdipSetImagePalette(bitmap, reinterpret_cast<ColorPalette*>(&palette)) != Ok) {
      GdipDisposeImage(bitmap);
      return -2;
    }
  } else if (GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(pixels.data()),
                                       &bitmap) != Ok) {
    return -2;
  }
  const GpStatus saved = GdipSaveImageToFile(bitmap, path.c_str(), &clsid, nullptr);
  GdipDisposeImage(bitmap);
  return saved == Ok ? 1 : -100 - saved;
}

// A small enhanced metafile: a filled red rectangle over a 2 x 1 inch frame.
int writeMetafile(const std::wstring& path) {
  RECT frame = {0, 0, 5080, 2540};  // .01 mm
  HDC dc = CreateEnhMetaFileW(nullptr, path.c_str(), &frame, nullptr);
  if (!dc) return 0;
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all = {0, 0, 4000, 4000};
  FillRect(dc, &all, red);
  DeleteObject(red);
  HENHMETAFILE emf = CloseEnhMetaFile(dc);
  if (!emf) return 0;
  DeleteEnhMetaFile(emf);
  return 1;
}

std::string utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// A directory of its own for this run's files, ending in a backslash.
std::wstring scratchDir() {
  static std::wstring dir;
  if (dir.empty()) {
    WCHAR temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return dir;
    std::wstring d = std::wstring(temp) + L"lumivex-sprite-" + std::to_wstring(GetCurrentProcessId());
    if (!CreateDirectoryW(d.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return dir;
    dir = d + L"\\";
  }
  return dir;
}

std::vector<std::string> gMessages;
void recordMessage(const std::string& message) { gMessages.push_back(message); }


std::wstring wide(const std::string& utf8Text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8Text.c_str(), static_cast<int>(utf8Text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8Text.c_str(), static_cast<int>(utf8Text.size()), &out[0], n);
  return out;
}

class GdiplusSprite : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(startGdiplus(), 1);
    ASSERT_EQ(startGdiplus(), 1);  // once started, stays started
    ASSERT_FALSE(scratchDir().empty());
    setSpriteCodec(gdiplusSpriteCodec());
    setLastErrorSink(recordMessage);
    gMessages.clear();
  }
  void TearDown() override {
    setSpriteCodec(nullptr);
    setLastErrorSink(nullptr);
  }
};

}  // namespace

TEST_F(GdiplusSprite, LoadsFiles) {
  for (const SpriteFileCase& c : spriteFileCases()) {
    if (!(c.codecs & CodecGdiplus)) continue;
    const std::wstring wide = scratchDir() + ::wide(c.name);
    const std::string path = utf8(wide);
    SCOPED_TRACE(path);
    ASSERT_EQ(writeFile(wide, c.format, c.pattern, c.w, c.h), 1);
    expectSpriteFileLoads(c, path, c.gdiplusTolerance, gMessages);
    // The file is no longer held open once the sprite is loaded or refused.
    if (c.format != SpriteMissing) {
      EXPECT_NE(DeleteFileW(wide.c_str()), 0);
    }
  }
}

// A vector picture has no pixels of its own: it is drawn once at its size.
TEST_F(GdiplusSprite, LoadsAMetafile) {
  const std::wstring wide = scratchDir() + L"frame.emf";
  ASSERT_EQ(writeMetafile(wide), 1);
  const std::string path = utf8(wide);
  std::unique_ptr<Emitter> e(new Emitter());
  ASSERT_EQ(LoadSprite(e->sprite, path), 1);
  ASSERT_NE(e->sprite.spriteImage, nullptr);
  const int32_t w = e->sprite.spriteWidth, h = e->sprite.spriteHeight;
  EXPECT_GT(w, 0);
  EXPECT_GT(h, 0);
  EXPECT_EQ(gMessages, std::vector<std::string>{"Loaded sprite: " + path + " (" + std::to_string(w) + "x" +
                                                std::to_string(h) + ")"});
  EXPECT_EQ(e->sprite.spriteImage->pixels[(h / 2) * w + w / 2], 0xFFFF0000u);
  FreeSprite(e->sprite);
  EXPECT_NE(DeleteFileW(wide.c_str()), 0);
}
