// The resizable main window's aspect fitting, sizing limits and resizing.
#include "render/window_sizing.h"

#include <algorithm>

#include "core/display_state.h"
#include "core/frame_step.h"
#include "core/window_record.h"
#include "render/presentation_size.h"
#include "render/screen_state.h"

namespace korvel {

void LargestAspectClient(int32_t logical_width, int32_t logical_height, int32_t bound_width,
                         int32_t bound_height, int32_t* width, int32_t* height) {
  if (logical_width < 1 || logical_height < 1 || bound_width < 1 || bound_height < 1) {
    *width = std::max(bound_width, 1);
    *height = std::max(bound_height, 1);
    return;
  }
  const double aspect = static_cast<double>(logical_width) / logical_height;
  if (bound_width / aspect <= bound_height) {
    *width = bound_width;
    *height = std::max(1, static_cast<int32_t>(bound_width / aspect + 0.5));
  } else {
    *height = bound_height;
    *width = std::max(1, static_cast<int32_t>(bound_height * aspect + 0.5));
  }
  *width = std::min(*width, bound_width);
  *height = std::min(*height, bound_height);
}

void SetWindowTrackLimits() {
  WindowRecord* main = ShownMainWindow();
  if (main == nullptr || g_display.full_screen != 0 || g_display.maximised != 0) return;
  const int32_t lw = main->logical_width, lh = main->logical_height;
  if (lw < 1 || lh < 1) return;
  // The shorter logical side at a quarter, the other side from the aspect ratio.
  const double aspect = static_cast<double>(lw) / lh;
  if (lw <= lh) {
    g_screen.min_client_width = std::max(1, lw / 4);
    g_screen.min_client_height = std::max(1, static_cast<int32_t>(g_screen.min_client_width /
                                                                  aspect + 0.5));
  } else {
    g_screen.min_client_height = std::max(1, lh / 4);
    g_screen.min_client_width = std::max(1, static_cast<int32_t>(g_screen.min_client_height *
                                                                 aspect + 0.5));
  }
  LargestAspectClient(lw, lh, g_screen.screen_width - g_screen.frame_extra_width,
                      g_screen.screen_height - g_screen.frame_extra_height,
                      &g_screen.max_client_width, &g_screen.max_client_height);
  ReallocateScaledBuffer(g_screen.max_client_width, g_screen.max_client_height);
}

void FitRectToAspect(int32_t edge, platform::Rect* client) {
  const WindowRecord* main = g_windows[0];
  if (main == nullptr || main->logical_width < 1 || main->logical_height < 1) return;
  const double aspect = static_cast<double>(main->logical_width) / main->logical_height;
  const int32_t width = client->right - client->left;
  const int32_t height = client->bottom - client->top;
  switch (edge) {
    case 3:  // top
    case kSizingEdgeBottom:
      client->right = client->left + static_cast<int32_t>(height * aspect + 0.5);
      break;
    default:  // left, right and the corners move the bottom edge
      client->bottom = client->top + static_cast<int32_t>(width / aspect + 0.5);
      break;
  }
}

void ResizeWindowToScreen(int32_t client_width, int32_t client_height) {
  WindowRecord* main = ShownMainWindow();
  if (main == nullptr || g_display.full_screen != 0 || g_display.maximised != 0) return;
  if (g_frame.countdown_border != 0) return;
  if (client_width < 1 || client_height < 1) return;
  const int32_t lw = main->logical_width, lh = main->logical_height;
  if (lw < 1 || lh < 1) return;
  // The window system reports only the size a drag ended with: a drag that changed the height
  // alone was on the top or bottom edge, and the width follows it; otherwise the width leads. All
  // within the screen.
  const bool height_alone =
      client_width == g_display.display_width && client_height != g_display.display_height;
  platform::Rect fitted{0, 0, client_width, client_height};
  FitRectToAspect(height_alone ? kSizingEdgeBottom : kSizingEdgeRight, &fitted);
  int32_t width = fitted.right;
  int32_t height = fitted.bottom;
  const int32_t bound_w = std::max(g_screen.screen_width - g_screen.frame_extra_width, 1);
  const int32_t bound_h = std::max(g_screen.screen_height - g_screen.frame_extra_height, 1);
  if (width > bound_w || height > bound_h) {
    LargestAspectClient(lw, lh, bound_w, bound_h, &width, &height);
  }
  if (width != client_width || height != client_height) {
    platform::SetWindowClientSize(main->handle, width, height);
  }
  g_display.display_width = width;
  g_display.display_height = height;
  if (width != lw || height != lh) ReallocateScaledBuffer(width, height);
}

}  // namespace korvel
