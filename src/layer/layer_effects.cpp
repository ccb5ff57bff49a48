// The effect dispatcher, rotation and rectangle scaling on layer records: buffers, cutting,
// output layers and dirty marking around the pixel routines.
#include "layer/layer_effects.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "pixel/frame_scalers.h"
#include "pixel/pixel_effect_random.h"
#include "pixel/pixel_effects.h"
#include "pixel/pixel_resample.h"
#include "pixel/pixel_rotate.h"
#include "script/script_data.h"

namespace korvel {

namespace {

constexpr uint32_t kCommandDraw = 2;
constexpr uint32_t kParamX1 = 10, kParamY1 = 11, kParamX1Hundredths = 16,
                   kParamY1Hundredths = 17;
constexpr int32_t kErrorOutOfRange = 101000;
constexpr int32_t kErrorNoMemory = 104030;

// The block shuffle's own generator (never the scripts' sequence), an MT19937 seeded as an
// unseeded std::mt19937.
ShuffleRandom& EffectRandom() {
  static ShuffleRandom generator = [] {
    ShuffleRandom r;
    SeedShuffleRandom(r, 5489u);
    return r;
  }();
  return generator;
}
uint32_t NextEffectRandom() { return NextShuffleRandom(EffectRandom()); }
void FillEffectRandom(uint32_t* out, size_t n) { FillShuffleRandom(EffectRandom(), out, n); }

// A reversed rectangle: 101000 naming x1 or y1, with the lower bound it missed.
bool RectReversed(int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t px, uint32_t py) {
  if (x1 >= x0 && y1 >= y0) return false;
  const bool x_bad = x1 < x0;
  ReportScriptError(kErrorOutOfRange, true, CommandName(kCommandDraw),
                    ParameterName(kCommandDraw, x_bad ? px : py), x_bad ? x1 : y1,
                    x_bad ? x0 : y0, int64_t{kMaxLayerSide - 1});
  return true;
}

// A zeroed layer buffer of width x height (one spare row and pixel); both sides 1..8192, else the
// size message and 100010; 104030 when memory runs out.
uint8_t* NewLayerBuffer(int64_t width, int64_t height) {
  const size_t bytes = LayerBufferBytes(width, height);
  if (bytes == 0) {
    ReportImageSizeTooLarge(width, height);
    return nullptr;
  }
  auto* buffer = static_cast<uint8_t*>(AllocZeroed(bytes));
  if (buffer == nullptr) {
    static const std::string text = Sjis("メモリ確保エラーです。[%s](%d, %d)");
    ShowMessageF("", text, "CG", width, height);
    ReportError(kErrorNoMemory, true, "CG");
  }
  return buffer;
}

// Frees the layer's pixels and installs `buffer` of width x height.
void SwapPixelBuffer(LayerData* layer, uint8_t* buffer, int32_t width, int32_t height) {
  if (layer->pixels != buffer) FreeBlock(layer->pixels);
  layer->pixels = buffer;
  layer->width = width;
  layer->height = height;
}

void CopyString(char*& to, const char* from) {
  if (from == nullptr) return;
  if (to == nullptr) to = static_cast<char*>(AllocZeroed(kLayerStringCapacity));
  if (to != nullptr && to != from) std::memcpy(to, from, kLayerStringCapacity);
}

// Mode 6's settings: placement, visibility, opacity, mask, blend, has-alpha and the two strings.
void CopyPlacement(LayerData* to, const LayerData* from) {
  if (to == from) return;
  to->visible = from->visible;
  to->opacity = from->opacity;
  to->x = from->x;
  to->y = from->y;
  to->mask_level = from->mask_level;
  to->mask_ramp = from->mask_ramp;
  to->blend_mode = from->blend_mode;
  to->has_alpha = from->has_alpha;
  CopyString(to->mask_path, from->mask_path);
  CopyString(to->second_string, from->second_string);
}

// Fill variants 2 and 3: has-alpha 0 when alpha 255 covered the whole image, else 1.
void FillAlphaRule(LayerData* written, uint8_t variant, int64_t a, bool whole) {
  if (variant != 2 && variant != 3) return;
  const auto alpha = static_cast<uint8_t>(variant == 2 ? (a & 255) : ((a >> 24) & 255));
  written->has_alpha = (alpha == 255 && whole) ? 0 : 1;
}

int64_t FloorDiv100(int64_t v) { return v >= 0 ? v / 100 : -((-v + 99) / 100); }

// Nearest neighbour for source spans the frame scaler refuses (wider or higher than 8192): the
// same 16.16 steps, sources outside the image 0.
void ScaleNearestWide(uint8_t* dst, int32_t dw, int32_t dh, const LayerData* src, int64_t x0,
                      int64_t y0, int64_t x1, int64_t y1) {
  const int64_t step_x = ((x1 - x0 + 1) << 16) / dw, step_y = ((y1 - y0 + 1) << 16) / dh;
  for (int64_t y = 0; y < dh; ++y) {
    const int64_t sy = y0 + ((y * step_y) >> 16);
    uint8_t* row = dst + static_cast<size_t>(y) * static_cast<size_t>(dw) * 4;
    for (int64_t x = 0; x < dw; ++x) {
      const int64_t sx = x0 + ((x * step_x) >> 16);
      if (sx < 0 || sy < 0 || sx >= src->width || sy >= src->height) {
        std::memset(row + x * 4, 0, 4);
      } else {
        std::memcpy(row + x * 4,
                    src->pixels + (static_cast<size_t>(sy) * static_cast<size_t>(src->width) +
                                   static_cast<size_t>(sx)) * 4,
                    4);
      }
    }
  }
}

}  // namespace

void SeedEffectRandom(uint32_t seed) { SeedShuffleRandom(EffectRandom(), seed); }

int32_t ApplyCGEffect(uint8_t mode, NamedTreeNode* node, NamedTreeNode* output_node, int64_t x0,
                      int64_t y0, int64_t x1, int64_t y1, int64_t value_a, int64_t value_b,
                      int32_t has_output, uint8_t variant) {
  LayerData* layer = LayerOf(node);
  if (!LayerHasPixels(layer)) return 0;
  if (RectReversed(x0, y0, x1, y1, kParamX1, kParamY1)) return -1;
  LayerData* output = has_output != 0 ? LayerOf(output_node) : nullptr;
  if (has_output != 0 && output == nullptr) return 0;
  // The caller clamps; a rectangle that still leaves the image is cut to it.
  x0 = std::clamp<int64_t>(x0, 0, layer->width - 1);
  x1 = std::clamp<int64_t>(x1, 0, layer->width - 1);
  y0 = std::clamp<int64_t>(y0, 0, layer->height - 1);
  y1 = std::clamp<int64_t>(y1, 0, layer->height - 1);
  EffectCall call;
  call.in = layer->pixels;
  call.width = layer->width;
  call.height = layer->height;
  call.x0 = static_cast<int32_t>(x0);
  call.y0 = static_cast<int32_t>(y0);
  call.x1 = static_cast<int32_t>(x1);
  call.y1 = static_cast<int32_t>(y1);
  call.a = value_a;
  call.b = value_b;
  call.variant = variant;
  call.has_alpha = layer->has_alpha;
  call.next_random = NextEffectRandom;
  call.fill_random = FillEffectRandom;
  const bool whole = EffectKeepsWholeImage(mode);
  const bool whole_rect = x0 == 0 && y0 == 0 && x1 == layer->width - 1 && y1 == layer->height - 1;
  if (whole && output == nullptr) {
    // Threshold and fill change the image itself.
    call.out = layer->pixels;
    call.out_width = layer->width;
    if (!RunPixelEffect(mode, call)) return 0;
    if (mode == 22) FillAlphaRule(layer, variant, value_a, whole_rect);
    MarkDirtyUpward(node);
    return 0;
  }
  const int32_t rw = whole ? layer->width : static_cast<int32_t>(x1 - x0 + 1);
  const int32_t rh = whole ? layer->height : static_cast<int32_t>(y1 - y0 + 1);
  uint8_t* buffer = NewLayerBuffer(rw, rh);
  if (buffer == nullptr) return -1;
  if (whole) std::memcpy(buffer, layer->pixels, static_cast<size_t>(rw) * rh * 4);
  call.out = buffer;
  call.out_width = rw;
  if (!RunPixelEffect(mode, call)) {
    FreeBlock(buffer);
    return 0;
  }
  if (output == nullptr) {
    MarkDirtyUpward(node);  // the old area
    SwapPixelBuffer(layer, buffer, rw, rh);
    MarkDirtyUpward(node);
    return 0;
  }
  const uint8_t source_alpha = layer->has_alpha;
  MarkDirtyUpward(output_node);  // the output's old area
  if (mode == 6) CopyPlacement(output, layer);
  SwapPixelBuffer(output, buffer, rw, rh);
  // Another node sharing the record saw its pixels replaced too; nothing else held them.
  output->has_alpha = source_alpha;
  if (mode == 22) FillAlphaRule(output, variant, value_a, whole_rect);
  MarkDirtyUpward(output_node);
  return 0;
}

int32_t RotateLayerCG(NamedTreeNode* node, NamedTreeNode* output_node, int64_t, int64_t, int64_t,
                      int64_t, int64_t angle, int32_t has_output, int32_t mode) {
  LayerData* layer = LayerOf(node);
  if (!LayerHasPixels(layer) || (mode != 11 && mode != 12)) return 0;
  NamedTreeNode* written_node = has_output != 0 ? output_node : node;
  LayerData* written = LayerOf(written_node);
  if (written == nullptr) return 0;
  const int32_t w = layer->width, h = layer->height;
  const size_t bytes = LayerBufferBytes(w, h);
  // An output buffer of the same pixel bytes is rotated into (it takes the source's width and
  // height), unless it holds the source itself or is too short for the spare row.
  const bool reuse = written != layer && written->pixels != nullptr &&
                     written->pixels != layer->pixels &&
                     int64_t{written->width} * written->height == int64_t{w} * h &&
                     LayerBufferBytes(written->width, written->height) >= bytes;
  uint8_t* target = reuse ? written->pixels : NewLayerBuffer(w, h);
  if (target == nullptr) return -1;
  RotatePixels(target, layer->pixels, w, h, angle, mode);
  const int64_t remainder = RotationStepsOf(angle).remainder;
  const uint8_t alpha = remainder % 180 == 0 ? layer->has_alpha : 1;
  MarkDirtyUpward(written_node);
  SwapPixelBuffer(written, target, w, h);
  written->has_alpha = alpha;
  MarkDirtyUpward(written_node);
  return 0;
}

namespace {

// Where a scale writes: the written layer's own buffer when an output layer of the right size (or
// a larger kept pitch) can take it, else a new buffer; a buffer that holds the source is written
// through a temporary.
struct ScaleTarget {
  uint8_t* pixels = nullptr;
  bool reuse = false;            // the written layer keeps its buffer
  bool keep_pitch_only = false;  // ... and only its width and height change
  bool shared = false;           // the written buffer is the source's
};

bool PrepareScaleTarget(const LayerData* layer, LayerData* written, int32_t has_output,
                        int64_t w, int64_t h, ScaleTarget* target) {
  target->shared = written == layer || written->pixels == layer->pixels;
  if (has_output != 0 && written->pixels != nullptr && w >= 1 && h >= 1) {
    if (written->width == w && written->height == h) {
      target->reuse = true;
    } else if (written->value_slot28 == 1 && written->width > w && written->height > h) {
      target->reuse = target->keep_pitch_only = true;
    }
  }
  if (target->reuse && !target->shared) {
    target->pixels = written->pixels;
    return true;
  }
  target->pixels = NewLayerBuffer(w, h);
  return target->pixels != nullptr;
}

// The source rectangle (hundredths of a pixel) scaled by `mode` into a dw x dh target; a scaler
// that refuses the rectangle leaves the target cleared.
void ScaleRectInto(uint8_t* target, int32_t dw, int32_t dh, const LayerData& layer, int64_t x0,
                   int64_t y0, int64_t x1, int64_t y1, int32_t mode) {
  const size_t target_bytes = static_cast<size_t>(dw) * static_cast<size_t>(dh) * 4;
  // Rectangles far outside any image are held to a range where no product overflows; such a
  // rectangle reads nothing inside the image anyway.
  constexpr int64_t kLimit = int64_t{100} * 4 * kMaxLayerSide;
  if (std::max({std::llabs(x0), std::llabs(y0), std::llabs(x1), std::llabs(y1)}) > kLimit) {
    std::memset(target, 0, target_bytes);
    return;
  }
  const auto hx0 = static_cast<int32_t>(x0), hy0 = static_cast<int32_t>(y0);
  const auto hx1 = static_cast<int32_t>(x1), hy1 = static_cast<int32_t>(y1);
  int32_t result = 0;
  if (mode == 10) {
    result = ScaleFrameNearest(target, layer.pixels, static_cast<int32_t>(FloorDiv100(x0)),
                               static_cast<int32_t>(FloorDiv100(y0)),
                               static_cast<int32_t>(FloorDiv100(x1)),
                               static_cast<int32_t>(FloorDiv100(y1)), layer.width, layer.height,
                               dw, dh);
    if (result == kScaleRefused) {
      ScaleNearestWide(target, dw, dh, &layer, FloorDiv100(x0), FloorDiv100(y0), FloorDiv100(x1),
                       FloorDiv100(y1));
      result = 0;
    }
  } else if (mode == 21) {
    result = ScaleFrameSmooth(target, layer.pixels, hx0, hy0, hx1, hy1, layer.width, layer.height,
                              dw * 100, dh * 100);
  } else if (mode == 41) {
    result = ScaleFrameSmoothContrast(target, layer.pixels, hx0, hy0, hx1, hy1, layer.width,
                                      layer.height, dw * 100, dh * 100);
  } else {
    ResampleSource src;
    src.pixels = layer.pixels;
    src.width = layer.width;
    src.height = layer.height;
    src.x0 = FloorDiv100(x0);
    src.y0 = FloorDiv100(y0);
    src.span_x = FloorDiv100(x1) - src.x0 + 1;
    src.span_y = FloorDiv100(y1) - src.y0 + 1;
    if (mode == 31) {
      ResampleBicubic(target, dw, dh, src);
    } else {
      ResampleLanczos(target, dw, dh, src);
    }
  }
  if (result != 0) std::memset(target, 0, target_bytes);
}

// Puts the scaled pixels in the written layer: copied into its own buffer when that was kept,
// else installed as its new buffer with the source's has-alpha.
void InstallScaledPixels(ScaleTarget* target, LayerData* written, const LayerData* layer,
                         int32_t dw, int32_t dh) {
  if (!target->reuse) {
    const uint8_t alpha = layer->has_alpha;
    SwapPixelBuffer(written, target->pixels, dw, dh);
    written->has_alpha = alpha;
    return;
  }
  if (target->shared) {
    std::memcpy(written->pixels, target->pixels, static_cast<size_t>(dw) * dh * 4);
    FreeBlock(target->pixels);
    target->pixels = written->pixels;
  }
  if (target->keep_pitch_only) {
    written->width = dw;
    written->height = dh;
  }
}

}  // namespace

int32_t CopyScaleCGRect(NamedTreeNode* node, NamedTreeNode* output_node, int64_t x0, int64_t y0,
                        int64_t x1, int64_t y1, int64_t width, int64_t height,
                        int32_t has_output, int32_t mode) {
  LayerData* layer = LayerOf(node);
  if (!LayerHasPixels(layer)) return 0;
  if (RectReversed(x0, y0, x1, y1, kParamX1Hundredths, kParamY1Hundredths)) return -1;
  if (mode != 10 && mode != 21 && mode != 31 && mode != 41 && mode != 51) return 0;
  NamedTreeNode* written_node = has_output != 0 ? output_node : node;
  LayerData* written = LayerOf(written_node);
  if (written == nullptr) return 0;
  const int64_t w = width / 100, h = height / 100;
  ScaleTarget target;
  if (!PrepareScaleTarget(layer, written, has_output, w, h, &target)) return -1;
  const auto dw = static_cast<int32_t>(w), dh = static_cast<int32_t>(h);
  ScaleRectInto(target.pixels, dw, dh, *layer, x0, y0, x1, y1, mode);
  MarkDirtyUpward(written_node);
  InstallScaledPixels(&target, written, layer, dw, dh);
  MarkDirtyUpward(written_node);
  return 0;
}

}  // namespace korvel
