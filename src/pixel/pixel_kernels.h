// The 26 pixel-row kernels every bulk pixel operation goes through, and their start-up selection.
//
// Rows are BGRA byte runs; counts are bytes unless a name says pixels. Per-pixel kernels work on
// bytes / 4 whole pixels and leave any odd bytes after them. Opacities are clamped to 0..256, mask
// levels to 0..256, ramps to the 16-bit range. Destination and source rows may be the same row
// but must not partly overlap. Slot 21 reads 2 × pixels source pixels from the source row and as
// many from the row `source_pitch_pixels` further on; the mask row of slot 7 is as long as the
// others and its blue bytes index the weight table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/cpu_features.h"
#include "pixel/mask_weights.h"

namespace korvel {

// The kernel signatures, by slot: see PixelKernelTable.
using ZeroRowFn = void (*)(uint8_t* row, size_t bytes);
using FillBytesFn = void (*)(uint8_t* row, size_t bytes, uint8_t value);
using FillPixelsFn = void (*)(uint8_t* row, size_t bytes, uint32_t pixel);
using RowFn = void (*)(uint8_t* dst, const uint8_t* src, size_t bytes);
using RowOpacityFn = void (*)(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes);
using RowMaskFn = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                           const MaskWeightTable& weights, int32_t level, int32_t ramp,
                           size_t bytes);
using LerpRowsFn = void (*)(uint8_t* out, const uint8_t* first, const uint8_t* second,
                            int32_t opacity, size_t bytes);
using HalveRowsFn = void (*)(uint8_t* dst, const uint8_t* src, size_t source_pitch_pixels,
                             size_t pixels);
using RowTwoOpacityFn = void (*)(uint8_t* dst, const uint8_t* src, int32_t o1, int32_t o2,
                                 size_t bytes);

// One entry per slot, in slot order.
struct PixelKernelTable {
  ZeroRowFn zero_row;                             // 0
  FillBytesFn fill_bytes;                         // 1
  FillPixelsFn fill_pixels;                       // 2
  RowFn copy_row;                                 // 3
  RowOpacityFn blend_opacity;                     // 4
  RowFn blend_src_alpha;                          // 5
  RowOpacityFn blend_src_alpha_opacity;           // 6
  RowMaskFn blend_mask_table;                     // 7
  LerpRowsFn lerp_two_rows;                       // 8
  RowFn add_saturate;                             // 9
  RowOpacityFn add_saturate_opacity;              // 10
  RowFn add_src_alpha;                            // 11
  RowOpacityFn add_src_alpha_opacity;             // 12
  RowFn subtract_saturate;                        // 13
  RowFn multiply;                                 // 14
  RowFn screen;                                   // 15
  RowOpacityFn screen_opacity;                    // 16
  RowFn lighten;                                  // 17
  RowFn darken;                                   // 18
  RowFn linear_burn;                              // 19
  RowFn linear_light;                             // 20
  HalveRowsFn halve_rows;                         // 21
  RowFn screen_src_alpha;                         // 22
  RowOpacityFn screen_src_alpha_opacity;          // 23
  RowOpacityFn blend_alpha_table_opacity;         // 24
  RowTwoOpacityFn blend_onto_translucent;         // 25
};

inline constexpr int kPixelKernelSlots = 26;

// The two result sets: level 1 installs the MMX set, levels 2 and 3 the SSE set.
enum class KernelSet : uint8_t { kMmx = 0, kSse = 1 };

// The instruction set that carries out the chosen set (results are identical for every one).
enum class PixelIsa : uint8_t { kScalar = 0, kSse2 = 1, kAvx2 = 2 };

struct PixelKernelSelection {
  uint8_t level = 1;            // 1 (MMX set), 2 (SSE allowed), 3 (SSE2 allowed)
  KernelSet set = KernelSet::kMmx;
  PixelIsa isa = PixelIsa::kScalar;
};

// The installed kernels. Filled with the scalar MMX set before selection, so zero-fills and copies
// work from the start.
extern PixelKernelTable g_pixel_kernels;
extern PixelKernelSelection g_pixel_selection;

// Level from processor flags and the two settings switches: 1, then 2 when SSE is present and
// allowed, then 3 when SSE2 is present and allowed. Processors other than x86 count as having both.
uint8_t ChoosePixelKernelLevel(const CpuFeatures& cpu, uint32_t sse_allowed, uint32_t sse2_allowed);
inline KernelSet KernelSetForLevel(uint8_t level) {
  return level >= 2 ? KernelSet::kSse : KernelSet::kMmx;
}

// Best instruction set this processor runs; `KORVEL_PIXEL_ISA=scalar|sse2|avx2` lowers it (a
// request above what the processor has falls back to the best it has).
PixelIsa DetectPixelIsa();
bool PixelIsaSupported(PixelIsa isa);

// Fills `table` with the routines of one set on one instruction set (unsupported ISAs fall back).
void FillPixelKernelTable(PixelKernelTable& table, KernelSet set, PixelIsa isa);

// Start-up selection: detects the processor, chooses the level from the settings switches
// (settings fields 2 and 3, both 1 by default) and installs the set on the best instruction set.
PixelKernelSelection SelectPixelKernels(uint32_t sse_allowed = 1, uint32_t sse2_allowed = 1);

// Installs one set on one instruction set directly (tests and benchmarks).
void InstallPixelKernels(KernelSet set, PixelIsa isa);

const char* PixelIsaName(PixelIsa isa);

}  // namespace korvel
