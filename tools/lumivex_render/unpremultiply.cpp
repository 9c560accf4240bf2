// Straight-alpha pixels out of the engine's premultiplied frame: the form of lumivex-render's PNG
// frames, and of the playground page's canvas (its frames are compared with those byte for
// byte). A file of its own, with no image library, so that the browser build compiles it too.
// No state.
#include "image_io.h"

void unpremultiplyToRgba(const uint32_t* src, int count, uint8_t* rgba) {
  for (int i = 0; i < count; ++i, rgba += 4) {
    const uint32_t p = src[i];
    const uint32_t a = p >> 24;
    if (a == 0) {
      rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
      continue;
    }
    const uint32_t c[3] = {(p >> 16) & 255, (p >> 8) & 255, p & 255};
    for (int k = 0; k < 3; ++k) {
      // Rounded c * 255 / a; a channel above alpha (not a valid premultiplied value) saturates.
      const uint32_t v = (c[k] * 255 + a / 2) / a;
      rgba[k] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    rgba[3] = static_cast<uint8_t>(a);
  }
}
