// Blend-span kernels of the nineteen blend modes and the table the worker jobs look them up in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/mask_weights.h"
#include "pixel/pixel_kernels.h"

namespace korvel {

// What weights the source: tables A (opaque source), B (source alpha), C (mask weight) and
// D (mask weight × source alpha).
enum class BlendFamily : uint8_t { kOpaque = 0, kAlpha = 1, kMasked = 2, kMaskedAlpha = 3 };

// Tables A and B: (destination row, source row, opacity, byte count).
using BlendSpanFn = void (*)(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes);
// Tables C and D: (destination row, source row, mask row, weights, mask level, mask ramp, bytes).
using BlendMaskSpanFn = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                                 const MaskWeightTable& weights, int32_t level, int32_t ramp,
                                 size_t bytes);

// Where an entry leads: a pixel-kernel slot (0..25), or one of these.
inline constexpr int8_t kRouteGeneric = -1;     // the mode's generic kernel of the family
inline constexpr int8_t kRouteMaskNormal = -2;  // mode 0's own mask kernel (C column 0, D)
inline constexpr int8_t kRouteEmpty = -3;       // row 19 and table D column 1

struct BlendKernelEntry {
  BlendSpanFn span = nullptr;          // tables A and B
  BlendMaskSpanFn mask_span = nullptr;  // tables C and D
  int8_t route = kRouteEmpty;
};

// Four tables of 20 rows (blend mode; row 19 empty) by 2 columns (opacity >> 8).
struct BlendKernelTable {
  BlendKernelEntry entry[4][20][2];
};

// The table of the instruction set chosen at start-up (SelectPixelKernels), and of any one.
// Entries routed to pixel-kernel slots call the installed PixelKernelTable.
const BlendKernelTable& GetBlendKernelTable();
const BlendKernelTable& GetBlendKernelTableFor(PixelIsa isa);

// The kernel for a family, mode and opacity. Total: a mode outside 0..18 is mode 0, the opacity
// is clamped to 0..256, and table D always uses column 0, so an empty entry is never returned.
const BlendKernelEntry& LookupBlendKernel(BlendFamily family, int mode, int opacity);

}  // namespace korvel
