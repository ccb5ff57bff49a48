// The GPU path runs on OpenGL through the platform's device, under Direct3D-era names.
// The arithmetic of the GPU path, free of any device: tile layout, frame-texture size, quad
// vertices and rectangles, the layer quads' diffuse colour and blend states.
#pragma once

#include <cstdint>

#include "platform/gpu_device.h"

namespace korvel {

inline constexpr int32_t kMaxTilesPerAxis = 31;   // the 32nd tile is an overflow
inline constexpr int32_t kMaxTilesPerLayer = 256;  // the layer's texture slots
inline constexpr int32_t kMaxFrameTextureSide = 8192;

// Splits `extent` pixels into tiles: each the smallest of 8192 ... 16 not below what remains (16
// for 16 or less), capped by the device's maximum and the layer's own cap, each when positive. Returns the tile count, or -1 when a 32nd tile
// would be needed; `remaining` gets what was still to cover then. `sizes` holds 32 entries.
int32_t LayoutTiles(int32_t extent, int32_t device_max, int32_t layer_cap,
                    uint32_t sizes[32], int32_t* remaining);

// The frame texture's side for a logical side: the configured size, made larger (a power of two
// up to 8192) when the logical side outgrows it, and never above the device's maximum.
int32_t FrameTextureSide(int32_t configured, int32_t logical, int32_t device_max);

// One pre-transformed vertex: position (x, y, z), rhw 1, the colour, and the coordinate sets of
// the drawing mode over a texW × texH texture (mode 3: eight, mode 2: four, other modes: none).
void FillScreenQuadVertices(platform::QuadVertex* vertex, uint32_t diffuse, float x, float y,
                            float z, float u, float v, int8_t mode, int32_t tex_w, int32_t tex_h);

struct QuadRect {
  double x = 0, y = 0, width = 0, height = 0;
};

// Where the frame texture's quad goes (it covers the whole texture, so its size is the texture
// size scaled as the frame is).
struct FrameQuadInput {
  bool windowed = true;  // neither full screen nor maximised
  int8_t placement = 0;  // FramePlacement 0..3
  int32_t screen_w = 0, screen_h = 0;
  int32_t window_w = 0, window_h = 0;  // window 0's logical size
  int32_t present_w = 0, present_h = 0;
  int32_t tex_w = 0, tex_h = 0;
};
QuadRect FrameQuadRect(const FrameQuadInput& in);

// The four corners of a rectangle as a triangle strip, texture coordinates 0 to 1 (pixel centres
// on texel centres).
void QuadVertices(platform::QuadVertex out[4], const QuadRect& rect, uint32_t diffuse, int8_t mode,
                  int32_t tex_w, int32_t tex_h);

// The part of the drawable that holds the frame: the presentation size when windowed, else all
// (false: no rectangle).
bool PresentSourceRect(bool windowed, int32_t present_w, int32_t present_h, platform::Rect* rect);

// The diffuse colour of a layer quad: opacity clamped to 0..255 (0 when hidden) in all four bytes
// for modes 0, 1, 2, 3, 5, 6, 7, 9, 98 and 100; 0xFF000000 for any other mode.
uint32_t LayerQuadDiffuse(int32_t blend_mode, int32_t opacity, bool visible);

// The states of a layer quad by blend mode; modes without a row draw as mode 0, whose texture
// factor is `opacity_colour` (the opacity in all four bytes).
platform::GpuDrawState LayerQuadState(int32_t blend_mode, uint32_t opacity_colour);
// Whether the mode has a row of its own.
bool LayerModeHasRow(int32_t blend_mode);

}  // namespace korvel
