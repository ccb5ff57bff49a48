// Glyph blitters: gradient corners, coverage or ink per pixel, rotation, overwrite or blend.
#include "text/glyph_blit.h"

#include <algorithm>

#include "core/named_tree.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "text/font_registry.h"
#include "text/glyph_cache.h"
#include "text/glyph_tables.h"

namespace korvel {

namespace {

// Corner rows by direction 1..8: which of a (0), b (1), m (2) goes to TL, TR, BL, BR.
constexpr uint8_t kCornerRows[8][4] = {
    {0, 0, 1, 1}, {1, 1, 0, 0}, {0, 1, 0, 1}, {1, 0, 1, 0},
    {0, 2, 2, 1}, {2, 0, 1, 2}, {1, 2, 2, 0}, {2, 1, 0, 2},
};
// The row each direction 1..8 uses under rotations 1, 2 and 3.
constexpr uint8_t kRotatedDirection[3][8] = {
    {3, 4, 2, 1, 8, 5, 6, 7},
    {2, 1, 4, 3, 7, 8, 5, 6},
    {4, 3, 1, 2, 6, 7, 8, 5},
};

inline int32_t DivTrunc(int32_t n, int32_t d) { return DivideTruncating(n, d); }

int32_t Channel(uint32_t c, int shift) { return static_cast<int32_t>((c >> shift) & 0xFFu); }

struct Rgb {
  int32_t r, g, b;
};
Rgb Split(uint32_t c) { return {Channel(c, 16), Channel(c, 8), Channel(c, 0)}; }

// a + (b − a) × n / d per channel, truncating; d of 0 gives a (a one-pixel run has no slope).
Rgb Lerp(Rgb a, Rgb b, int32_t n, int32_t d) {
  if (d <= 0) return a;
  return {a.r + DivTrunc((b.r - a.r) * n, d), a.g + DivTrunc((b.g - a.g) * n, d),
          a.b + DivTrunc((b.b - a.b) * n, d)};
}

bool SameRgb(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// What both blitters share: the layer, the tested box, the corners, the current slot's canvas.
struct BlitBox {
  LayerData* layer = nullptr;
  Rgb tl{}, tr{}, bl{}, br{};
  bool flat = false;
  uint8_t rotation = 0;
  const uint8_t* canvas = nullptr;
  int32_t side = 0, stride = 0;  // canvas side in pixels, row length in bytes

  // Colours at the left and right end of glyph row r of `rows`.
  void RowEnds(int32_t r, int32_t rows, Rgb* left, Rgb* right) const {
    *left = flat ? tl : Lerp(tl, bl, r, rows - 1);
    *right = flat ? tr : Lerp(tr, br, r, rows - 1);
  }
  const uint8_t* CanvasRow(int32_t y) const {
    return canvas + static_cast<size_t>(y) * static_cast<size_t>(stride);
  }
};

// False when nothing may be drawn: no pixels, or the box (turned by the rotation) leaves the layer.
bool PrepareBox(uint32_t colour, uint32_t second_colour, uint8_t direction, uint8_t rotation,
                int32_t cols, int32_t rows, int32_t x, int32_t y, NamedTreeNode* node,
                BlitBox* box) {
  LayerData* layer = LayerOf(node);
  if (layer == nullptr || layer->pixels == nullptr || cols < 1) return false;
  box->rotation = rotation >= 1 && rotation <= 3 ? rotation : 0;
  const bool turned = box->rotation == 1 || box->rotation == 3;
  const int64_t box_w = turned ? rows : cols;
  const int64_t box_h = turned ? cols : rows;
  if (x < 0 || y < 0 || x + box_w - 1 >= layer->width || y + box_h - 1 >= layer->height) {
    return false;
  }
  uint32_t corners[4];
  BuildGlyphCorners(direction, rotation, colour, second_colour, corners);
  box->layer = layer;
  box->tl = Split(corners[0]);
  box->tr = Split(corners[1]);
  box->bl = Split(corners[2]);
  box->br = Split(corners[3]);
  box->flat = corners[0] == corners[1] && corners[0] == corners[2] && corners[0] == corners[3];
  const GlyphCacheEntry& cache = g_glyph_cache[g_fonts.current_slot];
  box->canvas = cache.canvas;
  box->side = cache.canvas != nullptr ? cache.side : 0;
  box->stride = box->side / 8;
  return true;
}

// Bytes from one column of the glyph to the next in the layer.
ptrdiff_t ColumnStep(const BlitBox& box) {
  const auto row = static_cast<ptrdiff_t>(box.layer->width) * 4;
  switch (box.rotation) {
    case 1: return row;
    case 2: return -4;
    case 3: return -row;
    default: return 4;
  }
}

uint8_t* Destination(const BlitBox& box, int32_t x, int32_t y, int32_t cols, int32_t rows,
                     int32_t r, int32_t c) {
  int32_t dx = x + c, dy = y + r;
  switch (box.rotation) {
    case 1: dx = x + rows - 1 - r; dy = y + c; break;
    case 2: dx = x + cols - 1 - c; dy = y + rows - 1 - r; break;
    case 3: dx = x + r; dy = y + cols - 1 - c; break;
    default: break;
  }
  return box.layer->pixels +
         (static_cast<size_t>(dy) * static_cast<size_t>(box.layer->width) + static_cast<size_t>(dx)) * 4;
}

void WriteOver(uint8_t* d, Rgb s, uint8_t alpha) {
  d[0] = static_cast<uint8_t>(s.b);
  d[1] = static_cast<uint8_t>(s.g);
  d[2] = static_cast<uint8_t>(s.r);
  d[3] = alpha;
}

// new alpha = D + A − D·A/256 − 1; channel = d + (s − d)·A / (new alpha + 1), with A = alpha + 1.
void WriteBlend(uint8_t* d, Rgb s, uint8_t alpha) {
  const int32_t a = alpha + 1;
  const int32_t da = d[3];
  // Exact shortcuts: over alpha 0 the result is the source; alpha 0 over an opaque pixel moves
  // each channel by (s − d) / 256, which truncates to nothing.
  if (da == 0) {
    WriteOver(d, s, alpha);
    return;
  }
  if (da == 255 && alpha == 0) return;
  if (alpha == 255) {  // A = 256: alpha 255 and the source colour, whatever lay below
    WriteOver(d, s, 255);
    return;
  }
  const int32_t na = da + a - (da * a) / 256 - 1;
  const int32_t div = na + 1;  // 1..256
  d[0] = static_cast<uint8_t>(d[0] + DivTrunc((s.b - d[0]) * a, div));
  d[1] = static_cast<uint8_t>(d[1] + DivTrunc((s.g - d[1]) * a, div));
  d[2] = static_cast<uint8_t>(d[2] + DivTrunc((s.r - d[2]) * a, div));
  d[3] = static_cast<uint8_t>(na);
}

}  // namespace

void BuildGlyphCorners(uint8_t direction, uint8_t rotation, uint32_t colour, uint32_t second_colour,
                       uint32_t corners[4]) {
  const uint32_t a = colour & 0xFFFFFFu;
  const uint32_t b = second_colour == 0xFFFFFFFFu ? a : (second_colour & 0xFFFFFFu);
  if (direction < 1 || direction > 8) {
    corners[0] = corners[1] = corners[2] = corners[3] = a;
    return;
  }
  uint32_t m = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int32_t ca = Channel(a, shift), cb = Channel(b, shift);
    m |= static_cast<uint32_t>(ca + (cb - ca) / 2) << shift;
  }
  const uint8_t row = rotation >= 1 && rotation <= 3 ? kRotatedDirection[rotation - 1][direction - 1]
                                                     : direction;
  const uint32_t pick[3] = {a, b, m};
  for (int i = 0; i < 4; ++i) corners[i] = pick[kCornerRows[row - 1][i]];
}

void BlitGlyphSmooth(uint32_t colour, uint32_t second_colour, uint8_t direction, uint8_t rotation,
                     int32_t width, int32_t height, int32_t x, int32_t y, uint8_t blend,
                     NamedTreeNode* layer) {
  BlitBox box;
  if (!PrepareBox(colour, second_colour, direction, rotation, width, height, x, y, layer, &box)) {
    return;
  }
  box.layer->has_alpha = 1;
  const uint32_t* coverage = g_glyph_tables.coverage;
  const uint8_t* ramp = g_glyph_tables.ramp;
  for (int32_t r = 0; r < height; ++r) {
    Rgb left, right;
    box.RowEnds(r, height, &left, &right);
    const uint8_t* rows[4];
    int32_t row_count = 0;
    for (int32_t k = 0; k < 4; ++k) {
      const int32_t cy = 4 * r + k;
      if (cy < box.side) rows[row_count++] = box.CanvasRow(cy);
    }
    // Alphas of the row first: one canvas byte holds the 4-pixel groups of columns c and c + 1.
    // Columns from 512 on lie past every canvas (at most 1088 / 4 pixels wide): no ink.
    uint8_t alphas[2 * kMaxGlyphSize + 2];
    const int32_t run = std::min(width, 2 * kMaxGlyphSize);
    for (int32_t c = 0; c < run; c += 2) {
      uint32_t sum = 0;
      const int32_t byte = c / 2;
      if (byte < box.stride) {
        for (int32_t k = 0; k < row_count; ++k) sum += coverage[rows[k][byte]];
      }
      alphas[c] = ramp[sum >> 8];
      alphas[c + 1] = ramp[sum & 0xFFu];
    }
    uint8_t* d = Destination(box, x, y, width, height, r, 0);
    const ptrdiff_t step = ColumnStep(box);
    const bool flat_row = SameRgb(left, right);
    for (int32_t c = 0; c < width; ++c, d += step) {
      const uint8_t alpha = c < run ? alphas[c] : uint8_t{0};
      const Rgb s = flat_row ? left : Lerp(left, right, c, width - 1);
      if (blend == 1) {
        WriteBlend(d, s, alpha);
      } else {
        WriteOver(d, s, alpha);
      }
    }
  }
  MarkDirtyUpward(layer);
}

void BlitGlyphHard(uint32_t colour, uint32_t second_colour, uint8_t direction, uint8_t rotation,
                   int32_t width, int32_t height, int32_t x, int32_t y, uint8_t blend,
                   NamedTreeNode* layer) {
  BlitBox box;
  if (!PrepareBox(colour, second_colour, direction, rotation, width, height, x, y, layer, &box)) {
    return;
  }
  for (int32_t r = 0; r < height; ++r) {
    Rgb left, right;
    box.RowEnds(r, height, &left, &right);
    const uint8_t* row = r < box.side ? box.CanvasRow(r) : nullptr;
    const bool flat_row = SameRgb(left, right);
    uint8_t* d = Destination(box, x, y, width, height, r, 0);
    const ptrdiff_t step = ColumnStep(box);
    // Eight columns per canvas byte; pixels past the canvas have no ink.
    for (int32_t c0 = 0; c0 < width; c0 += 8) {
      const uint8_t bits = row != nullptr && c0 < box.side ? row[c0 >> 3] : uint8_t{0xFF};
      const int32_t count = std::min(8, width - c0);
      if (bits == 0xFF && blend == 1) {  // no ink: blending writes nothing
        d += step * count;
        continue;
      }
      for (int32_t k = 0; k < count; ++k, d += step) {
        if ((bits & (0x80 >> k)) == 0) {
          WriteOver(d, flat_row ? left : Lerp(left, right, c0 + k, width - 1), 255);
        } else if (blend != 1) {
          d[0] = d[1] = d[2] = 0;
          d[3] = 255;
        }
      }
    }
  }
  MarkDirtyUpward(layer);
}

}  // namespace korvel
