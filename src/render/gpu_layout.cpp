// GPU path arithmetic.
#include "render/gpu_layout.h"

#include <algorithm>

namespace korvel {

using platform::GpuBlendFactor;
using platform::GpuBlendOp;
using platform::GpuDrawState;
using platform::GpuProgram;
using platform::QuadVertex;

int32_t LayoutTiles(int32_t extent, int32_t device_max, int32_t layer_cap,
                    uint32_t sizes[32], int32_t* remaining) {
  static constexpr int32_t kSizes[] = {8192, 4096, 2048, 1024, 512, 256, 128, 64, 32, 16};
  int32_t count = 0;
  int32_t rest = extent;
  while (rest > 0) {
    if (count >= kMaxTilesPerAxis) {
      *remaining = rest;
      return -1;
    }
    int32_t size = 16;
    for (const int32_t s : kSizes) {
      if (s >= rest) size = s;
    }
    if (rest > 8192) size = 8192;
    for (const int32_t cap : {device_max, layer_cap}) {
      if (cap > 0) size = std::min(size, cap);
    }
    sizes[count++] = static_cast<uint32_t>(size);
    rest -= size;
  }
  *remaining = 0;
  return count;
}

int32_t FrameTextureSide(int32_t configured, int32_t logical, int32_t device_max) {
  int32_t side = configured > 0 ? configured : 256;
  while (side < logical && side < kMaxFrameTextureSide) side *= 2;
  if (device_max > 0) side = std::min(side, device_max);
  return side;
}

void FillScreenQuadVertices(QuadVertex* vertex, uint32_t diffuse, float x, float y, float z,
                            float u, float v, int8_t mode, int32_t tex_w, int32_t tex_h) {
  *vertex = QuadVertex{};
  vertex->x = x;
  vertex->y = y;
  vertex->z = z;
  vertex->rhw = 1.0f;
  vertex->diffuse = diffuse;
  const float du = 1.0f / static_cast<float>(std::max(tex_w, 1));
  const float dv = 1.0f / static_cast<float>(std::max(tex_h, 1));
  auto set = [vertex](int i, float a, float b) {
    vertex->tex[i][0] = a;
    vertex->tex[i][1] = b;
  };
  if (mode == 3) {
    for (int row = 0; row < 4; ++row) {
      set(row, u - du, v + static_cast<float>(row - 1) * dv);
      set(4 + row, u, v + static_cast<float>(row - 1) * dv);
    }
  } else if (mode == 2) {
    set(0, u, v);
    set(1, u + du, v);
    set(2, u, v + dv);
    set(3, u + du, v + dv);
  }
}

QuadRect FrameQuadRect(const FrameQuadInput& in) {
  QuadRect r;
  const int32_t ww = std::max(in.window_w, 1), wh = std::max(in.window_h, 1);
  if (in.windowed) {
    r.width = static_cast<double>(in.present_w * in.tex_w / ww);
    r.height = static_cast<double>(in.present_h * in.tex_h / wh);
    return r;
  }
  switch (in.placement) {
    case 0:
      r.x = (in.screen_w - in.window_w) * 0.5;
      r.y = (in.screen_h - in.window_h) * 0.5;
      r.width = in.tex_w;
      r.height = in.tex_h;
      break;
    case 1:
      r.y = (in.screen_h - in.window_h * in.screen_w / ww) * 0.5;
      r.width = static_cast<double>(in.tex_w * in.screen_w / ww);
      r.height = static_cast<double>(in.tex_h * in.screen_w / ww);
      break;
    case 2:
      r.x = (in.screen_w - in.window_w * in.screen_h / wh) * 0.5;
      r.width = static_cast<double>(in.tex_w * in.screen_h / wh);
      r.height = static_cast<double>(in.tex_h * in.screen_h / wh);
      break;
    default:
      r.width = static_cast<double>(in.screen_w * in.tex_w / ww);
      r.height = static_cast<double>(in.screen_h * in.tex_h / wh);
      break;
  }
  return r;
}

void QuadVertices(QuadVertex out[4], const QuadRect& rect, uint32_t diffuse, int8_t mode,
                  int32_t tex_w, int32_t tex_h) {
  const auto x0 = static_cast<float>(rect.x), y0 = static_cast<float>(rect.y);
  const auto x1 = static_cast<float>(rect.x + rect.width);
  const auto y1 = static_cast<float>(rect.y + rect.height);
  FillScreenQuadVertices(&out[0], diffuse, x0, y0, 0, 0, 0, mode, tex_w, tex_h);
  FillScreenQuadVertices(&out[1], diffuse, x1, y0, 0, 1, 0, mode, tex_w, tex_h);
  FillScreenQuadVertices(&out[2], diffuse, x0, y1, 0, 0, 1, mode, tex_w, tex_h);
  FillScreenQuadVertices(&out[3], diffuse, x1, y1, 0, 1, 1, mode, tex_w, tex_h);
}

bool PresentSourceRect(bool windowed, int32_t present_w, int32_t present_h,
                       platform::Rect* rect) {
  if (!windowed) return false;
  *rect = platform::Rect{0, 0, present_w, present_h};
  return true;
}

uint32_t LayerQuadDiffuse(int32_t blend_mode, int32_t opacity, bool visible) {
  switch (blend_mode) {
    case 0: case 1: case 2: case 3: case 5: case 6: case 7: case 9: case 98: case 100: {
      const auto o = static_cast<uint32_t>(visible ? std::clamp(opacity, 0, 255) : 0);
      return o * 0x01010101u;
    }
    default:
      return 0xFF000000u;
  }
}

bool LayerModeHasRow(int32_t blend_mode) {
  switch (blend_mode) {
    case 0: case 1: case 2: case 3: case 5: case 6: case 7: case 9: return true;
    default: return false;
  }
}

GpuDrawState LayerQuadState(int32_t blend_mode, uint32_t opacity_colour) {
  GpuDrawState s;
  s.blend = true;
  s.texture_factor = 0xFFFFFFFF;
  const auto row = [&s](GpuProgram p, GpuBlendFactor src, GpuBlendFactor dst, GpuBlendOp op) {
    s.program = p;
    s.src = src;
    s.dst = dst;
    s.op = op;
  };
  using F = GpuBlendFactor;
  using O = GpuBlendOp;
  switch (LayerModeHasRow(blend_mode) ? blend_mode : 0) {
    case 1: row(GpuProgram::kLayer1, F::kSrcAlpha, F::kOne, O::kAdd); break;
    case 2: row(GpuProgram::kLayer2, F::kZero, F::kInvSrcColor, O::kRevSubtract); break;
    case 3: row(GpuProgram::kLayer3, F::kZero, F::kSrcColor, O::kAdd); break;
    case 5: row(GpuProgram::kLayer5, F::kInvDestColor, F::kOne, O::kAdd); break;
    case 6: row(GpuProgram::kLayer6, F::kOne, F::kOne, O::kMax); break;
    case 7: row(GpuProgram::kLayer7, F::kOne, F::kOne, O::kMin); break;
    case 9: row(GpuProgram::kLayer9, F::kInvDestColor, F::kInvSrcColor, O::kAdd); break;
    default:
      row(GpuProgram::kLayer0, F::kSrcAlpha, F::kInvSrcAlpha, O::kAdd);
      s.texture_factor = opacity_colour;
      break;
  }
  return s;
}

}  // namespace korvel
