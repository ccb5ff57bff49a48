// The four engine windows (window 0 is the main window) and the message results they share with the
// input poll and the script engine.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace korvel {

struct NamedTreeNode;

inline constexpr int kWindowCount = 4;

// Window states.
enum : uint8_t {
  kWindowStateScriptClose = 0,  // the close button only raises the close-requested flag
  kWindowStateNormal = 1,       // the close button asks the player first
  kWindowStateClosing = 2,      // set by RequestQuit
  kWindowStateDetached = 3,     // destroying the window does not end the program
};

// Fields that the main thread writes and the game thread reads (or the reverse) are atomics, so
// the threaded frame loop shares them without a lock.
// The logical size belongs to the frame step's thread; the main thread maps the mouse with the
// copy published to it (published_placement.h).
struct WindowRecord {
  int32_t index = 0;
  int32_t logical_width = 0;
  int32_t logical_height = 0;
  uint32_t display_value = 256;     // set to 256 at initialisation; scripts may change it
  uint8_t show_on_first_frame = 0;
  std::atomic<uint8_t> state{0};
  std::atomic<uint8_t> main_flag{0};         // read by the sound thread
  std::atomic<uint8_t> minimise_allowed{0};  // read by the main thread's minimise message
  uint8_t creation_byte = 0;        // 1 once the window has been created through the platform
  // Code page 932. The frame step's thread writes it under the lock (StoreWindowTitle); other
  // threads read it only through WindowTitle.
  char title[261] = {};
  mutable std::mutex title_lock;
  NamedTreeNode* root_layer = nullptr;
  char menu_name[261] = {};
  platform::Rect client_rect{};
  std::atomic<platform::WindowId> handle{platform::kNoWindow};
  std::atomic<uint8_t> focus{0};
  std::atomic<int32_t> mouse_x{0}, mouse_y{0};
  std::atomic<uint8_t> mouse_outside{1};       // outside 0..width-1 / 0..height-1
  std::atomic<uint8_t> mouse_outside_wide{1};  // outside the area widened by the display offset
  // Cursor switches: a mouse move, a held button, a wheel turn shows an auto-hidden cursor.
  uint8_t cursor_switches[3] = {};
  std::atomic<uint8_t> cursor_activity{0};  // a key was held: auto-hide counts from the stamp
  uint32_t cursor_activity_stamp = 0;
  uint8_t minimised = 0;            // the window system minimised the window (main thread)
  int32_t x = 0, y = 0;             // window position kept by the window command
  // Counts of the client-size and position changes commands made, so that a display-mode change
  // puts back only what no command changed while it lasted.
  uint32_t size_changes = 0, position_changes = 0;
};

// Results of window messages, read by the input poll and the system variables.
struct WindowMessageState {
  std::atomic<uint32_t> last_key{0};
  std::atomic<uint32_t> last_mouse_button{0};  // 1 left, 2 right, 4 middle
  std::atomic<uint8_t> mouse_moved{0};         // 0x80 when the mouse moved since the last frame
  std::atomic<int16_t> wheel_delta{0};
  std::atomic<uint64_t> menu_command{0};
  std::atomic<uint8_t> close_requested{0};
  std::atomic<uint8_t> minimise_request{0};    // window index + 1
  std::atomic<uint8_t> maximise_request{0};
  std::atomic<uint8_t> caption_double_click{0};
  // A press on the drag layer: window index + 1 and the client point. The window system moves the
  // window itself; the input poll clears the request.
  std::atomic<uint8_t> drag_request{0};
  std::atomic<int32_t> drag_x{0}, drag_y{0};
  // A restore of the maximised main window was taken on the main thread: the frame step's thread
  // puts the saved display back and makes the screen buffer again, as it is the one drawing into
  // it. Raised before the maximised flag is cleared.
  std::atomic<uint8_t> restore_recorded{0};
  // A maximise that added the sizing frame has ended: the frame step's thread takes the frame off
  // again unless the project lets the player size the window (a flag that thread owns).
  std::atomic<uint8_t> sizing_frame_end_pending{0};
  // What a size or move message of window 0 left for the frame step's thread, which owns the
  // scaling buffer and the monitor table: the new client size (width << 32 | height, 0: none) and
  // a due look at the window's monitor.
  std::atomic<uint64_t> display_client_size{0};
  std::atomic<uint8_t> monitor_check_pending{0};
  // A right or double click on the tray icon asked for the tray's popup menu at this screen point
  // (the cursor less the display offset); the frame step's thread shows it.
  std::atomic<uint8_t> tray_popup_request{0};
  std::atomic<int32_t> tray_popup_x{0}, tray_popup_y{0};
  std::mutex dropped_lock;          // the game thread reads the list
  std::vector<std::string> dropped_files;  // code page 932, at most 65536 names of 1..260 bytes
};

// Window dragging, switched by a script command: a left-button press on a non-transparent pixel of
// the named layer moves the window.
struct WindowDragSettings {
  std::atomic<uint8_t> enabled{0};
  std::mutex lock;         // the hit test reads the name on the main thread
  std::string layer_path;  // code page 932
};

// Main window maximise and restore: what a restore takes back.
struct WindowSizingState {
  uint8_t maximise_in_progress = 0;  // main thread
  // The next size or move message takes the restore (the main thread, or a script command).
  std::atomic<uint8_t> restore_pending{0};
  // The client size while maximised (the main thread), set back to the saved display size by the
  // restore (the frame step's thread).
  std::atomic<int32_t> client_width{0}, client_height{0};
  // The frame step's thread alone: the windowed display, saved at the first frame that sees the
  // maximised flag.
  uint8_t display_saved = 0;
  int32_t saved_offset_x = 0, saved_offset_y = 0;
  int32_t saved_display_width = 0, saved_display_height = 0;
};

inline constexpr size_t kMaxDroppedFiles = 65536;
inline constexpr size_t kMaxDroppedName = 260;

extern WindowRecord* g_windows[kWindowCount];
// Per window: kNoWindow-like -1 while closed, 1 once opened by the window command.
extern std::atomic<int32_t> g_window_slots[kWindowCount];
extern WindowMessageState g_window_messages;
extern WindowDragSettings g_window_drag;
extern WindowSizingState g_window_sizing;

// Allocates the four records, clears the handle slots and runs InitWindowRecord on each.
int CreateWindowRecords();
void FreeWindowRecords();
void InitWindowRecord(WindowRecord* record, int32_t index);
// Title (code page 932), client rectangle, state 1 and the switches set when a window is opened.
void InitWindowObject(WindowRecord* record, const char* title);

// Sets the title (cut to the 260 bytes the field holds); WindowTitle copies it out, from any thread.
void StoreWindowTitle(WindowRecord* record, std::string_view title);
std::string WindowTitle(const WindowRecord* record);

// The record whose platform window is `window`, or null.
WindowRecord* FindWindowRecord(platform::WindowId window);

// Clears the shared message results, the drag settings and the maximise state.
void ResetWindowMessages();

// The dropped-file list, read under its lock: the count, and name k (false when k is out of
// range).
size_t DroppedFileCount();
bool GetDroppedFile(size_t k, std::string* name);

}  // namespace korvel
