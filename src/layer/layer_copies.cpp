// Layer-to-layer copies: plain, blended, masked, and of differing or equal pixels.
#include "layer/layer_copies.h"

#include <algorithm>
#include <cstring>

#include "core/error_report.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "layer/layer_rows.h"
#include "pixel/pixel_kernels.h"

namespace korvel {

ClipRect g_clip_rect{};

namespace {

constexpr int32_t kErrorImageTooSmall = 100310;

// Shared start of the two-layer copies: records, pixels, clip. Null when there is nothing to do.
LayerData* PrepareCopy(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y,
                       const LayerData** src_out) {
  const LayerData* s = LayerOf(source);
  LayerData* d = LayerOf(dest);
  if (!LayerHasPixels(s) || !LayerHasPixels(d)) return nullptr;
  ClipLayerRect(s, d, x, y);
  *src_out = s;
  return d;
}

// Keeps a destination pixel that equals (keep_equal) or differs from the source pixel, else 0.
int32_t CopyComparedPixels(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y,
                           bool keep_equal) {
  const LayerData* s = nullptr;
  LayerData* d = PrepareCopy(source, dest, x, y, &s);
  if (d == nullptr) return 0;
  d->has_alpha = 1;
  const SourceView view(s, d);
  ForClippedRows(view.layer, d, g_clip_rect,
                 [keep_equal](uint8_t* dr, const uint8_t* sr, size_t n, int32_t) {
                   for (size_t i = 0; i < n; ++i) {
                     uint32_t dp, sp;
                     std::memcpy(&dp, dr + i * 4, 4);
                     std::memcpy(&sp, sr + i * 4, 4);
                     const uint32_t out = (dp == sp) == keep_equal ? (keep_equal ? dp : sp) : 0;
                     std::memcpy(dr + i * 4, &out, 4);
                   }
                 });
  MarkChanged(dest);
  return 0;
}

}  // namespace

// Per axis, with source size s, destination size D and position p: neither edge bit → width s,
// dest p, source 0; low edge (p < 0) → width s + p, dest 0, source −p; high edge (p + s > D) →
// width D − p, dest p, source 0; both → width D, dest 0, source −p.
ClipRect ClipPlacement(int64_t sw, int64_t sh, int64_t dw, int64_t dh, int64_t x, int64_t y) {
  ClipRect c{};
  const auto axis = [](int64_t s, int64_t dsize, int64_t p, bool high, bool low, int32_t* src,
                       int32_t* dst, int32_t* len) {
    int64_t n = s, d = p;
    if (low && high) {
      n = dsize, d = 0;
    } else if (low) {
      n = s + p, d = 0;
    } else if (high) {
      n = dsize - p;
    }
    if (n <= 0) {
      *src = *dst = *len = 0;
      return;
    }
    // Here a low edge means −s < p < 0, so the negation cannot overflow.
    const int64_t o = low ? -p : 0;
    *src = static_cast<int32_t>(o);
    *dst = static_cast<int32_t>(d);
    *len = static_cast<int32_t>(std::min(n, dsize));
  };
  // Positions are script values: the sums are taken saturating so no edge test overflows.
  const bool right = SaturatingAdd(x, sw) > dw, left = x < 0;
  const bool bottom = SaturatingAdd(y, sh) > dh, top = y < 0;
  c.code = (right ? 8 : 0) | (left ? 4 : 0) | (bottom ? 2 : 0) | (top ? 1 : 0);
  axis(sw, dw, x, right, left, &c.source_x, &c.dest_x, &c.width);
  axis(sh, dh, y, bottom, top, &c.source_y, &c.dest_y, &c.height);
  if (c.width == 0 || c.height == 0) c.width = c.height = 0;
  return c;
}

const ClipRect& ClipLayerRect(const LayerData* source, const LayerData* dest, int64_t x,
                              int64_t y) {
  g_clip_rect = ClipPlacement(source->width, source->height, dest->width, dest->height, x, y);
  return g_clip_rect;
}

int32_t CopyLayerCGRect(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y) {
  const LayerData* s = nullptr;
  LayerData* d = PrepareCopy(source, dest, x, y, &s);
  if (d == nullptr || s->opacity <= 0) return 0;
  const SourceView view(s, d);
  const int32_t o = s->opacity;
  const bool copied = ForClippedRows(view.layer, d, g_clip_rect,
                                     [o](uint8_t* dr, const uint8_t* sr, size_t n, int32_t) {
                                       if (o >= 256) {
                                         g_pixel_kernels.screen_src_alpha(dr, sr, n * 4);
                                       } else {
                                         g_pixel_kernels.screen_src_alpha_opacity(dr, sr, o, n * 4);
                                       }
                                     });
  if (copied) d->has_alpha = 1;
  MarkChanged(dest);
  return 0;
}

int32_t BlendLayerCGRect(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y) {
  const LayerData* s = nullptr;
  LayerData* d = PrepareCopy(source, dest, x, y, &s);
  if (d == nullptr) return 0;
  d->has_alpha = 1;
  const SourceView view(s, d);
  const int32_t so = s->opacity, dop = d->opacity;
  ForClippedRows(view.layer, d, g_clip_rect,
                 [so, dop](uint8_t* dr, const uint8_t* sr, size_t n, int32_t) {
                   if (so >= 256) {
                     g_pixel_kernels.blend_alpha_table_opacity(dr, sr, dop, n * 4);
                   } else {
                     g_pixel_kernels.blend_onto_translucent(dr, sr, dop, so, n * 4);
                   }
                 });
  MarkChanged(dest);
  return 0;
}

// Per pixel, with m the mask's blue byte and L = min(level, 255) + 1 (level below 0 counts as 0):
// w = ((m + 1)·L) >> 8; every byte d + (((s − d)·w) >> 8) (arithmetic shift).
int32_t MaskCopyLayerCGRect(NamedTreeNode* source, NamedTreeNode* mask, NamedTreeNode* dest,
                            int64_t x, int64_t y, int64_t level) {
  const LayerData* s = nullptr;
  LayerData* d = PrepareCopy(source, dest, x, y, &s);
  if (d == nullptr) return 0;
  d->has_alpha = 1;
  const LayerData* m = LayerOf(mask);
  const ClipRect c = g_clip_rect;
  if (c.width <= 0 || c.height <= 0) return 0;
  if (!LayerHasPixels(m)) {
    ReportScriptError(kErrorImageTooSmall, true, source->name, int64_t{c.source_x} + c.width,
                      int64_t{c.source_y} + c.height, mask->name, 0, 0);
    return -1;
  }
  if (!CoversArea(mask, m, source, c)) return -1;
  const SourceView sv(s, d);
  const SourceView mv(m, d);
  const int32_t weight = static_cast<int32_t>(std::clamp<int64_t>(level, 0, 255)) + 1;
  ForClippedRows(sv.layer, d, c,
                 [&](uint8_t* dr, const uint8_t* sr, size_t n, int32_t r) {
                   const uint8_t* mr = Row(mv.layer, c.source_x, int64_t{c.source_y} + r);
                   for (size_t i = 0; i < n; ++i) {
                     const int w = ((mr[i * 4] + 1) * weight) >> 8;
                     for (size_t b = 0; b < 4; ++b) {
                       const int dv = dr[i * 4 + b];
                       dr[i * 4 + b] = static_cast<uint8_t>(dv + (((sr[i * 4 + b] - dv) * w) >> 8));
                     }
                   }
                 });
  MarkChanged(dest);
  return 0;
}

int32_t CopyDifferingPixels(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y) {
  return CopyComparedPixels(source, dest, x, y, false);
}

int32_t CopyEqualPixels(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y) {
  return CopyComparedPixels(source, dest, x, y, true);
}

}  // namespace korvel
