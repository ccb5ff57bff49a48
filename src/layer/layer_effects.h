// The pixel operations of the draw command on layer images: numbered effects, rotation and
// rectangle scaling, each reading one layer and writing it in place or into an output layer.
#pragma once

#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

// Effect modes (the draw command's flag in brackets).
enum EffectMode : uint8_t {
  kEffectBrightness = 1,   // 38
  kEffectBoxBlur = 2,      // 43
  kEffectBlurRows = 3,     // 44
  kEffectBlurColumns = 4,  // 45
  kEffectBlur = 5,         // 46
  kEffectCopyPlaced = 6,   // 58: rectangle copy that also copies placement and settings
  kEffectCopy = 7,         // 59
  kEffectShuffle = 8,      // 47: 2 x 2 block shuffle, whole image
  kEffectMirror = 9,       // 41
  kEffectTone = 10,        // 28
  kEffectThreshold = 17,   // 39
  kEffectMosaic = 18,      // 42: whole image
  kEffectRowWave = 19,     // 48
  kEffectColumnWave = 20,  // 49
  kEffectBothWaves = 21,   // 50
  kEffectFill = 22,        // 52, 53, 54 (variant 1, 2, 3)
  kEffectNegative = 25,    // 51
  kEffectSaturation = 27,  // 27
  kEffectFlip = 35,        // 40
  kEffectSepia = 36,       // 29
  kEffectSwirl = 37,       // 55
};

// Applies effect `mode` to the inclusive rectangle x0, y0, x1, y1 of `layer`'s image (clamped into
// the layer by the caller). has_output 0: the layer is replaced by the result (cut to the
// rectangle, except modes 17 and 22, which keep the whole image); otherwise the result becomes
// `output`'s image. `variant` selects mode 22's fill. A layer without pixels, or a mode without
// an effect, is nothing to do (0). A reversed rectangle reports 101000; a buffer that cannot be
// had reports 100010 or 104030. 0, or -1 (the layers keep their images).
int32_t ApplyCGEffect(uint8_t mode, NamedTreeNode* layer, NamedTreeNode* output, int64_t x0,
                      int64_t y0, int64_t x1, int64_t y1, int64_t value_a, int64_t value_b,
                      int32_t has_output, uint8_t variant);

// Turns `layer`'s image by `angle` degrees about its centre into `output` (has_output non-zero)
// or into the layer itself. mode 11 tests each pixel, 12 works per row span; any other mode
// changes nothing (0). The rectangle is not used. 0, or -1.
int32_t RotateLayerCG(NamedTreeNode* layer, NamedTreeNode* output, int64_t x0, int64_t y0,
                      int64_t x1, int64_t y1, int64_t angle, int32_t has_output, int32_t mode);

// Scales the source rectangle x0, y0, x1, y1 (hundredths of a pixel, not clamped: parts outside
// the image read as 0) of `layer` to width / 100 x height / 100 pixels into `output` or the layer
// itself. mode 10 nearest, 21 smooth, 31 bicubic, 41 threaded smooth with contrast, 51 Lanczos;
// any other mode changes nothing (0). A reversed rectangle reports 101000. 0, or -1.
int32_t CopyScaleCGRect(NamedTreeNode* layer, NamedTreeNode* output, int64_t x0, int64_t y0,
                        int64_t x1, int64_t y1, int64_t width, int64_t height,
                        int32_t has_output, int32_t mode);

// Seeds the generator of the block shuffle (mode 8), which the engine owns apart from the
// scripts' random numbers. Start-up seeds it once.
void SeedEffectRandom(uint32_t seed);

}  // namespace korvel
