// renderFrame: the frame pipeline over the rasterizer (being written).
#include "render/render_frame.h"

#include <chrono>

#include "runtime/emitter.h"

static TickSourceFn gTickSource = nullptr;

void setTickSource(TickSourceFn source) { gTickSource = source; }

int32_t currentTickMs() {
  if (gTickSource) return gTickSource();
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<int32_t>(
      static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
}

void renderFrame(Emitter& emitter) { (void)emitter; }
