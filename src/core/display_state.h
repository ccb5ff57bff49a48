// Where window 0's composed frame sits inside its client area: the display offset and the
// presentation size, plus the display-state flags the shell reads. The display code keeps them; a
// plain windowed window shows its frame at 1:1 from the client origin.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvel {

// The placement belongs to the frame step's thread: the main thread maps the mouse with the copy
// that thread publishes (published_placement.h), never with these fields. The two state flags are read
// by the main thread's window messages too: atomics. The main thread records what a window message
// asks for (window_proc.h).
struct DisplayState {
  int32_t offset_x = 0, offset_y = 0;              // frame origin in window 0's client area
  int32_t display_width = 0, display_height = 0;   // presentation size (0: logical)
  std::atomic<uint8_t> full_screen{0};
  std::atomic<uint8_t> maximised{0};
  int32_t menu_bar_height = 0;
  std::atomic<uint8_t> menu_bar_exists{0};  // cleared on the main thread when the menus go
  // The frame step shows and hides the bar; the main thread clears it when the menus go.
  std::atomic<uint8_t> menu_bar_shown{0};
  int32_t desktop_width = 0, desktop_height = 0, desktop_bits = 32, desktop_refresh = 60;
};

extern DisplayState g_display;

// Plain windowed display of a width × height frame: offset 0, presentation size = logical size.
void SetWindowedDisplay(int32_t width, int32_t height);
void InitDisplayState();

}  // namespace korvel
