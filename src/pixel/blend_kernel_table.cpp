// The blend kernel table: which kernel draws each mode, family and opacity column.
#include <memory>

#include "pixel/blend_generic.h"
#include "pixel/blend_kernels.h"
#include "pixel/blend_modes.h"
#include "pixel/pixel_kernels.h"

namespace korvel {

namespace {

// Entries routed to pixel-kernel slots call through the installed table, so they follow the
// set chosen at start-up.
template <RowFn PixelKernelTable::*Slot>
void RouteRow(uint8_t* dst, const uint8_t* src, int32_t, size_t bytes) {
  (g_pixel_kernels.*Slot)(dst, src, bytes);
}

template <RowOpacityFn PixelKernelTable::*Slot>
void RouteRowOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  (g_pixel_kernels.*Slot)(dst, src, opacity, bytes);
}

void RouteMaskTable(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                    const MaskWeightTable& weights, int32_t level, int32_t ramp, size_t bytes) {
  g_pixel_kernels.blend_mask_table(dst, src, mask, weights, level, ramp, bytes);
}

struct Route {
  int8_t slot;
  BlendSpanFn fn;
};

// Table A column 1 (opacity 256) by mode; slot -1 means generic.
Route OpaqueFullRoute(int mode) {
  switch (mode) {
    case kBlendNormal: return {3, RouteRow<&PixelKernelTable::copy_row>};
    case kBlendAdd: return {9, RouteRow<&PixelKernelTable::add_saturate>};
    case kBlendSubtract: return {13, RouteRow<&PixelKernelTable::subtract_saturate>};
    case kBlendMultiply: return {14, RouteRow<&PixelKernelTable::multiply>};
    case kBlendScreen: return {15, RouteRow<&PixelKernelTable::screen>};
    case kBlendLighten: return {17, RouteRow<&PixelKernelTable::lighten>};
    case kBlendDarken: return {18, RouteRow<&PixelKernelTable::darken>};
    case kBlendLinearBurn: return {19, RouteRow<&PixelKernelTable::linear_burn>};
    case kBlendLinearLight: return {20, RouteRow<&PixelKernelTable::linear_light>};
    default: return {kRouteGeneric, nullptr};
  }
}

Route OpaqueOpacityRoute(int mode) {
  switch (mode) {
    case kBlendNormal: return {4, RouteRowOpacity<&PixelKernelTable::blend_opacity>};
    case kBlendAdd: return {10, RouteRowOpacity<&PixelKernelTable::add_saturate_opacity>};
    case kBlendScreen: return {16, RouteRowOpacity<&PixelKernelTable::screen_opacity>};
    default: return {kRouteGeneric, nullptr};
  }
}

Route AlphaRoute(int mode, int column) {
  if (column == 1) {
    if (mode == kBlendNormal) return {5, RouteRow<&PixelKernelTable::blend_src_alpha>};
    if (mode == kBlendAdd) return {11, RouteRow<&PixelKernelTable::add_src_alpha>};
  } else {
    if (mode == kBlendNormal) {
      return {6, RouteRowOpacity<&PixelKernelTable::blend_src_alpha_opacity>};
    }
    if (mode == kBlendAdd) return {12, RouteRowOpacity<&PixelKernelTable::add_src_alpha_opacity>};
  }
  return {kRouteGeneric, nullptr};
}

BlendKernelEntry SpanEntry(Route r, BlendSpanFn generic) {
  BlendKernelEntry e;
  e.route = r.slot;
  e.span = r.fn ? r.fn : generic;
  return e;
}

BlendKernelEntry MaskEntry(int8_t route, BlendMaskSpanFn fn) {
  BlendKernelEntry e;
  e.route = route;
  e.mask_span = fn;
  return e;
}

std::unique_ptr<BlendKernelTable> BuildTable(PixelIsa isa) {
  const blend_generic::GenericKernels& g = blend_generic::KernelsFor(isa);
  auto t = std::make_unique<BlendKernelTable>();
  constexpr int kA = static_cast<int>(BlendFamily::kOpaque);
  constexpr int kB = static_cast<int>(BlendFamily::kAlpha);
  constexpr int kC = static_cast<int>(BlendFamily::kMasked);
  constexpr int kD = static_cast<int>(BlendFamily::kMaskedAlpha);
  for (int m = 0; m < kBlendModeCount; ++m) {
    t->entry[kA][m][1] = SpanEntry(OpaqueFullRoute(m), g.opaque[1][m]);
    t->entry[kA][m][0] = SpanEntry(OpaqueOpacityRoute(m), g.opaque[0][m]);
    t->entry[kB][m][1] = SpanEntry(AlphaRoute(m, 1), g.alpha[1][m]);
    t->entry[kB][m][0] = SpanEntry(AlphaRoute(m, 0), g.alpha[0][m]);
    if (m == kBlendNormal) {
      t->entry[kC][m][1] = MaskEntry(7, RouteMaskTable);
      t->entry[kC][m][0] = MaskEntry(kRouteMaskNormal, g.masked[m]);
      t->entry[kD][m][0] = MaskEntry(kRouteMaskNormal, g.masked_alpha[m]);
    } else {
      t->entry[kC][m][1] = MaskEntry(kRouteGeneric, g.masked[m]);
      t->entry[kC][m][0] = t->entry[kC][m][1];
      t->entry[kD][m][0] = MaskEntry(kRouteGeneric, g.masked_alpha[m]);
    }
  }
  return t;
}

}  // namespace

const BlendKernelTable& GetBlendKernelTableFor(PixelIsa isa) {
  static const std::unique_ptr<BlendKernelTable> tables[3] = {
      BuildTable(PixelIsa::kScalar), BuildTable(PixelIsa::kSse2), BuildTable(PixelIsa::kAvx2)};
  return *tables[static_cast<int>(isa) % 3];
}

const BlendKernelTable& GetBlendKernelTable() {
  return GetBlendKernelTableFor(g_pixel_selection.isa);
}

const BlendKernelEntry& LookupBlendKernel(BlendFamily family, int mode, int opacity) {
  const int f = static_cast<int>(family) & 3;
  const int column = family == BlendFamily::kMaskedAlpha ? 0 : ClampOpacity(opacity) >> 8;
  return GetBlendKernelTable().entry[f][ClampBlendMode(mode)][column];
}

}  // namespace korvel
