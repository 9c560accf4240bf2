// The hash of a frame that the playground page and the native tools agree on: 32-bit FNV-1a over
// the frame's unpremultiplied RGBA bytes (row by row, top row first, R G B A per pixel, as
// lumivex-render writes them to PNG). Tests compare the page's frames with lumivex-render's
// through it. No state.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t FrameHashBasis = 2166136261u;  // FNV-1a offset basis
constexpr uint32_t FrameHashPrime = 16777619u;

inline uint32_t frameHash(const uint8_t* rgba, size_t bytes) {
  uint32_t h = FrameHashBasis;
  for (size_t i = 0; i < bytes; ++i) h = (h ^ rgba[i]) * FrameHashPrime;
  return h;
}
