// The native sprite codec: decoding with stb_image, reduction with stb_image_resize. Used by the
// native tools and tests; the plug-in decodes through GDI+ instead (config/sprite_gdiplus.h).
#pragma once

#include "config/sprite.h"

// The codec record to hand to setSpriteCodec. Its start always succeeds.
const SpriteCodec* stbSpriteCodec();
