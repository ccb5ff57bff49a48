// Window 0's presentation size, frame placement and scaling buffer.
#include "render/presentation_size.h"

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/show_message.h"
#include "core/gpu_requests.h"
#include "render/scaled_frame_buffer.h"
#include "render/screen_state.h"

namespace korvel {

namespace {

constexpr int32_t kMaxSide = 8192;

// The frame's offset in the client area: centred in full screen and maximised state.
void CentreFrame(int32_t area_width, int32_t area_height) {
  if (g_display.full_screen != 0 || g_display.maximised != 0) {
    g_display.offset_x = (area_width - g_display.display_width) / 2;
    g_display.offset_y = (area_height - g_display.display_height) / 2;
  } else {
    g_display.offset_x = g_display.offset_y = 0;
  }
}

}  // namespace

int32_t ReallocateScaledBuffer(int32_t width, int32_t height) {
  if (width > kMaxSide || height > kMaxSide) {
    ReportImageSizeTooLarge(width, height);
    return -1;
  }
  if (width < 1 || height < 1) return 0;  // nothing to scale into
  return EnsureScaledFrameBuffer(width, height) != nullptr ? 0 : -1;
}

int32_t AllocateScreenBuffers(int32_t frame_width, int32_t frame_height, int32_t area_width,
                              int32_t area_height) {
  const int32_t fw = frame_width != 0 ? frame_width : 1;
  const double fit = static_cast<double>(frame_height) * area_width / fw;
  const uint8_t option = g_display.maximised != 0 ? 1 : g_settings.scaling_mode;
  int32_t width = frame_width, height = frame_height;
  uint8_t placement = kPlacementNone;
  const auto by_width = [&] {
    placement = kPlacementFitWidth;
    width = area_width;
    height = frame_width != 0
                 ? static_cast<int32_t>(int64_t{frame_height} * area_width / frame_width)
                 : area_height;
  };
  const auto by_height = [&] {
    placement = kPlacementFitHeight;
    width = frame_height != 0
                ? static_cast<int32_t>(int64_t{frame_width} * area_height / frame_height)
                : area_width;
    height = area_height;
  };
  switch (option) {
    case 1:
      if (area_height > fit) by_width(); else by_height();
      break;
    case 2:
      if (area_height > fit) by_height(); else by_width();
      break;
    case 3:
      placement = kPlacementStretch;
      width = area_width;
      height = area_height;
      break;
    default:
      break;
  }
  if (option != 2 && (width > g_screen.screen_width || height > g_screen.screen_height)) {
    width = g_screen.screen_width / 2;
    height = g_screen.screen_height / 2;
  }
  g_gpu_requests.frame_placement.store(static_cast<int8_t>(placement));
  g_display.display_width = width;
  g_display.display_height = height;
  CentreFrame(area_width, area_height);
  // A frame shown at its own size needs no scaling buffer.
  if (width == frame_width && height == frame_height) return 0;
  return ReallocateScaledBuffer(width, height);
}

}  // namespace korvel
