// Window 0's presentation placement.
#include "core/display_state.h"

#include "core/published_placement.h"

namespace korvel {

DisplayState g_display;

void SetWindowedDisplay(int32_t width, int32_t height) {
  g_display.offset_x = 0;
  g_display.offset_y = 0;
  g_display.display_width = width;
  g_display.display_height = height;
  g_display.full_screen = 0;
  g_display.maximised = 0;
}

void InitDisplayState() {
  SetWindowedDisplay(0, 0);
  g_display.menu_bar_height = 0;
  g_display.menu_bar_exists = 0;
  g_display.menu_bar_shown = 0;
  g_display.desktop_width = 0;
  g_display.desktop_height = 0;
  g_display.desktop_bits = 32;
  g_display.desktop_refresh = 60;
  ResetWindowPlacement();
}

}  // namespace korvel
