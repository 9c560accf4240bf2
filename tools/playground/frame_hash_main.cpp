// lumivex-frame-hash: prints the frame hash (frame_hash.h) of each PNG file named, as
// "HASH PATH" with the hash in eight hexadecimal digits, so that a test can compare
// lumivex-render's frames with the playground page's. Pictures are read with stb_image as RGBA.
// Exit 1 when a file cannot be read, 2 without arguments.
#include <stb/stb_image.h>

#include <cstdio>

#include "frame_hash.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: lumivex-frame-hash FILE.png...\n");
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    int w = 0, h = 0, channels = 0;
    unsigned char* rgba = stbi_load(argv[i], &w, &h, &channels, 4);
    if (!rgba) {
      std::fprintf(stderr, "lumivex-frame-hash: cannot read %s: %s\n", argv[i], stbi_failure_reason());
      status = 1;
      continue;
    }
    std::printf("%08x %s\n", frameHash(rgba, static_cast<size_t>(w) * h * 4), argv[i]);
    stbi_image_free(rgba);
  }
  return status;
}
