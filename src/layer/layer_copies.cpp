// Layer-to-layer copies, masked copies, rule transitions, difference copies, crop and canvas.
#include "layer/layer_copies.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "layer/dirty_rects.h"
#include "layer/layer_create.h"
#include "layer/layer_record.h"
#include "pixel/pixel_kernels.h"
#include "pixel/rule_mix.h"

namespace korvel {

ClipRect g_clip_rect{};
MaskWeightTable g_rule_weights{};

namespace {

constexpr int32_t kErrorImageTooSmall = 100310;
constexpr uint32_t kTransparentColour = 0x00808080u;

uint8_t* Row(const LayerData* l, int64_t x, int64_t y) {
  return l->pixels + (static_cast<size_t>(y) * static_cast<size_t>(l->width) +
                      static_cast<size_t>(x)) * 4;
}

// A source whose pixels are also the destination's is read from a copy taken first, so a row
// written never feeds a later read.
struct SourceView {
  const LayerData* layer;
  LayerData copy{};
  std::vector<uint8_t> bytes;
  SourceView(const LayerData* source, const LayerData* dest) : layer(source) {
    if (source == nullptr || dest == nullptr || source->pixels != dest->pixels) return;
    copy = *source;
    bytes.assign(source->pixels, source->pixels + static_cast<size_t>(source->width) *
                                                      static_cast<size_t>(source->height) * 4);
    copy.pixels = bytes.data();
    layer = &copy;
  }
};

// True when `image` covers the clipped source area; else reports 100310 naming both layers.
bool CoversArea(const NamedTreeNode* node, const LayerData* image, const NamedTreeNode* source_node,
                const ClipRect& c) {
  if (int64_t{c.source_x} + c.width <= image->width &&
      int64_t{c.source_y} + c.height <= image->height) {
    return true;
  }
  ReportScriptError(kErrorImageTooSmall, true, source_node->name,
                    int64_t{c.source_x} + c.width, int64_t{c.source_y} + c.height, node->name,
                    image->width, image->height);
  return false;
}

// Runs `row_fn(dest row, source row, pixels)` over the clipped area; false when nothing is copied.
template <typename F>
bool ForClippedRows(const LayerData* source, LayerData* dest, const ClipRect& c, F&& row_fn) {
  if (c.width <= 0 || c.height <= 0) return false;
  for (int32_t r = 0; r < c.height; ++r) {
    row_fn(Row(dest, c.dest_x, int64_t{c.dest_y} + r), Row(source, c.source_x,
                                                             int64_t{c.source_y} + r),
           static_cast<size_t>(c.width), r);
  }
  return true;
}

void MarkChanged(NamedTreeNode* node) {
  MarkDirtyUpward(node);
  g_layer_state.layers_changed = 1;
}

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

// Installs a new pixel buffer of w × h in `out`, freeing the old one.
void InstallPixelsWhollyChanged(LayerData* out, uint8_t* pixels, int64_t w, int64_t h) {
  FreeBlock(out->pixels);
  out->pixels = pixels;
  out->width = static_cast<int32_t>(w);
  out->height = static_cast<int32_t>(h);
  MarkLayerWhollyChanged(out);
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

// V ≠ 256: base = (V >> 1)·t − 128·V + t; weight[i] = min(((i·V) >> 1) + base, 255) + 1 in 64
// bits, stored no lower than 0 (weights below 2 count as 0 anyway). V = 256: n = 256 − t, weight
// 0 below n and 256 from n on.
void BuildRuleRamp(MaskWeightTable& table, int64_t t, int64_t vagueness) {
  if (vagueness == 256) {
    const int64_t n = 256 - t;
    for (int i = 0; i < 256; ++i) table.weight[i] = i < n ? 0 : 256;
    return;
  }
  // |V| may be anything a script holds. Beyond 2^40 every weight is already decided: where
  // i + t − 256 ≠ 0 the term V·(i + t − 256)/2 drives it past the 0..255 range, and where it is 0
  // the weight depends only on V's parity. So V is brought into ±2^40 keeping its parity, and the
  // 64-bit products cannot overflow.
  constexpr int64_t kLimit = int64_t{1} << 40;
  int64_t v = vagueness;
  if (v > kLimit) v = kLimit + (v & 1);
  if (v < -kLimit) v = -kLimit + (v & 1);
  const int64_t base = (v >> 1) * t - 128 * v + t;
  for (int64_t i = 0; i < 256; ++i) {
    const int64_t raw = ((i * v) >> 1) + base;
    const int64_t capped = raw > 255 ? 255 : raw;
    table.weight[i] = static_cast<int32_t>(capped < -1 ? 0 : capped + 1);
  }
}

// Mix per pixel with w = weight[rule blue byte]: w < 2 → the "to" pixel; else every byte
// to − (((to − from)·w) >> 8) (arithmetic shift), so w = 256 is the "from" pixel.
int32_t RuleTransitionLayerCG(NamedTreeNode* from, NamedTreeNode* to, NamedTreeNode* rule,
                              NamedTreeNode* dest, int64_t x, int64_t y, int64_t progress,
                              int64_t vagueness) {
  const LayerData* f = LayerOf(from);
  LayerData* d = LayerOf(dest);
  if (!LayerHasPixels(f) || !LayerHasPixels(d)) return 0;
  const ClipRect c = ClipLayerRect(f, d, x, y);
  d->has_alpha = 1;
  if (c.width <= 0 || c.height <= 0) return 0;
  const int64_t t = 256 - std::clamp<int64_t>(progress, 0, 255);
  const LayerData* tl = LayerOf(to);
  const LayerData* rl = LayerOf(rule);
  const size_t bytes = static_cast<size_t>(c.width) * 4;
  const auto copy_from = [&](const LayerData* image) {
    const SourceView view(image, d);
    ForClippedRows(view.layer, d, c, [bytes](uint8_t* dr, const uint8_t* sr, size_t, int32_t) {
      g_pixel_kernels.copy_row(dr, sr, bytes);
    });
  };
  if (t == 256) {
    copy_from(f);
  } else if (t < 2) {
    if (!LayerHasPixels(tl)) return 0;
    if (!CoversArea(to, tl, from, c)) return -1;
    copy_from(tl);
  } else {
    if (!LayerHasPixels(tl) || !LayerHasPixels(rl)) return 0;
    if (!CoversArea(to, tl, from, c) || !CoversArea(rule, rl, from, c)) return -1;
    BuildRuleRamp(g_rule_weights, t, vagueness);
    const SourceView fv(f, d), tv(tl, d), rv(rl, d);
    for (int32_t r = 0; r < c.height; ++r) {
      const int64_t sy = int64_t{c.source_y} + r;
      RuleMixRow(Row(d, c.dest_x, int64_t{c.dest_y} + r), Row(fv.layer, c.source_x, sy),
                 Row(tv.layer, c.source_x, sy), Row(rv.layer, c.source_x, sy), g_rule_weights,
                 static_cast<size_t>(c.width));
    }
  }
  MarkChanged(dest);
  return 0;
}

int32_t CopyDifferingPixels(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y) {
  return CopyComparedPixels(source, dest, x, y, false);
}

int32_t CopyEqualPixels(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y) {
  return CopyComparedPixels(source, dest, x, y, true);
}

int32_t CropLayerCGToOpaque(NamedTreeNode* node, NamedTreeNode* output, bool has_output,
                            int64_t sides) {
  const LayerData* l = LayerOf(node);
  NamedTreeNode* out_node = has_output ? output : node;
  LayerData* out = LayerOf(out_node);
  if (!LayerHasPixels(l) || out == nullptr) return 0;
  int64_t x0 = l->width, y0 = l->height, x1 = -1, y1 = -1;
  for (int64_t y = 0; y < l->height; ++y) {
    const uint8_t* row = Row(l, 0, y);
    for (int64_t x = 0; x < l->width; ++x) {
      if (row[x * 4 + 3] == 0) continue;
      x0 = std::min(x0, x), x1 = std::max(x1, x);
      y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return 0;  // nothing opaque: the box is undefined, the image stays
  if ((sides & 8) == 0) y0 = 0;
  if ((sides & 4) == 0) y1 = l->height - 1;
  if ((sides & 2) == 0) x0 = 0;
  if ((sides & 1) == 0) x1 = l->width - 1;
  const int64_t w = x1 - x0 + 1, h = y1 - y0 + 1;
  MarkDirtyUpward(out_node);
  const size_t row_bytes = static_cast<size_t>(w) * 4;
  if (out != l && out->pixels != l->pixels && out->width == w && out->height == h &&
      out->pixels != nullptr) {
    for (int64_t r = 0; r < h; ++r) g_pixel_kernels.copy_row(Row(out, 0, r), Row(l, x0, y0 + r), row_bytes);
  } else {
    uint8_t* pixels = AllocLayerPixels(w, h, node->name);
    if (pixels == nullptr) return -1;
    for (int64_t r = 0; r < h; ++r) {
      g_pixel_kernels.copy_row(pixels + static_cast<size_t>(r) * row_bytes, Row(l, x0, y0 + r),
                               row_bytes);
    }
    const uint8_t has_alpha = l->has_alpha;
    InstallPixelsWhollyChanged(out, pixels, w, h);  // may free the layer's own buffer: read nothing after
    out->has_alpha = has_alpha;
  }
  MarkChanged(out_node);
  return 0;
}

int32_t ExpandLayerCanvas(NamedTreeNode* node, NamedTreeNode* output, bool has_output,
                          int64_t left, int64_t right, int64_t top, int64_t bottom) {
  const LayerData* l = LayerOf(node);
  NamedTreeNode* out_node = has_output ? output : node;
  LayerData* out = LayerOf(out_node);
  if (!LayerHasPixels(l) || out == nullptr) return 0;
  // Margins are raw script values: the sums saturate instead of wrapping.
  const int64_t w = SaturatingAdd(SaturatingAdd(left, l->width), right);
  const int64_t h = SaturatingAdd(SaturatingAdd(top, l->height), bottom);
  if (w < 1 || h < 1) {
    static const std::string text = Sjis("リサイズ後のサイズが不正です。");
    ShowMessageF("", "%s", text);
    return -1;
  }
  uint8_t* pixels = AllocLayerPixels(w, h, node->name);
  if (pixels == nullptr) return -1;
  const size_t row_bytes = static_cast<size_t>(w) * 4;
  for (int64_t r = 0; r < h; ++r) {
    g_pixel_kernels.fill_pixels(pixels + static_cast<size_t>(r) * row_bytes, row_bytes,
                                kTransparentColour);
  }
  const ClipRect c = ClipPlacement(l->width, l->height, w, h, left, top);
  for (int32_t r = 0; r < c.height; ++r) {
    g_pixel_kernels.copy_row(pixels + (static_cast<size_t>(c.dest_y + r) * static_cast<size_t>(w) +
                                       static_cast<size_t>(c.dest_x)) * 4,
                             Row(l, c.source_x, int64_t{c.source_y} + r),
                             static_cast<size_t>(c.width) * 4);
  }
  const bool grows = left > 0 || right > 0 || top > 0 || bottom > 0;
  const uint8_t has_alpha = grows ? 1 : l->has_alpha;
  MarkDirtyUpward(out_node);
  InstallPixelsWhollyChanged(out, pixels, w, h);
  out->has_alpha = has_alpha;
  MarkChanged(out_node);
  return 0;
}

}  // namespace korvel
