// The Flash window: commands 17 (set the rectangle and movie, open), 18 (close) and 19 (query).
// The window is drawn as a black rectangle over window 0's frame; a control is hosted only when
// the Flash host serves one (the engine's own host never does).
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandFlashOpen = 17;
inline constexpr uint8_t kCommandFlashClose = 18;
inline constexpr uint8_t kCommandFlashQuery = 19;

inline constexpr int32_t kFlashNameCapacity = 260;  // 259 bytes and the NUL

struct FlashWindowState {
  char file_name[kFlashNameCapacity];  // code page 932, '\' separators; empty: no movie set
  uint8_t open;
  int32_t x, y, width, height;  // window 0's logical pixels
  int32_t user_value;
  int32_t frame_count;
  int32_t window;  // 1 while the window exists, 0 when none
  int32_t control_count;
  uint8_t library_tried;
  uint8_t library_loaded;
};

extern FlashWindowState g_flash;

int32_t RunFlashOpenCommand();
int32_t RunFlashCloseCommand();
int32_t RunFlashQueryCommand();

// Hosts the control in the window: the total frame count, or 0 when no control was hosted. The
// first call of the run loads the host's library and, when it is missing, says so once.
int32_t HostFlashControl(const char* movie_path);
// With a control counted: the count goes down and the control is released. 0.
int32_t ReleaseSharedComObject();

// The window's rectangle in window 0's client area for a frame placed at (left, top): x and y
// unscaled, the sides scaled by the presentation size over the logical size (64-bit arithmetic,
// a logical side of 0 leaves its side unscaled). False while no window exists.
bool FlashWindowRect(int32_t left, int32_t top, int64_t* rx, int64_t* ry, int64_t* rw,
                     int64_t* rh);

// Window 0's overlay while the window exists: paints the window's rectangle black, for the
// frame at the display offset of the client area (which starts at row `client_top`).
void DrawFlashOverlay(uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                      int32_t client_top);

// Shutdown: the control released once, the window gone. Init also clears the run's state.
void ReleaseFlashWindow();
void InitFlashWindow();

// Installs the three handlers.
void RegisterFlashCommandHandlers();

}  // namespace korvel
