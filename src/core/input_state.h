// The per-frame input state: one table of 1024 key codes with edge information (keyboard, mouse
// buttons, wheel, mouse movement, joysticks), the switches that turn its parts on and off, the
// joystick records, and the cursor's show and hide requests with its auto-hide.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace korvel {

inline constexpr int32_t kKeyCodeCount = 1024;
inline constexpr int32_t kAnyKeyCode = 0;          // down while any watched key is down
inline constexpr int32_t kWheelAwayCode = 5;       // the wheel turned away from the player
inline constexpr int32_t kWheelTowardCode = 6;
inline constexpr int32_t kMouseMovedCode = 7;
inline constexpr int32_t kJoystickBaseCode = 384;  // joystick j at 384 + 36 j
inline constexpr int32_t kJoystickCodeCount = 36;  // left, right, up, down, buttons 1..32
inline constexpr int32_t kNoKeyCode = 1023;        // never set: "no key" in key lists
inline constexpr int32_t kWatchedKeyCount = 117;

// The keyboard keys that are polled and make up the any-key code, in polling order.
extern const uint8_t kWatchedKeys[kWatchedKeyCount];

enum : int8_t { kKeyStateUp = 0, kKeyStateDown = 2 };

struct KeyStateTable {
  uint8_t down[kKeyCodeCount];     // bit 7 set while down in this frame
  int8_t state[kKeyCodeCount];     // kKeyStateUp or kKeyStateDown
  int64_t counter[kKeyCodeCount];  // 1 on the press frame, +1 while held; -1 on release, -1 while up
  uint64_t presses[kKeyCodeCount];  // presses since start
};

// Read and written by the frame step's thread only (the poll and the scripts).
extern KeyStateTable g_keys;

// The four transitions, chosen by state + down bit.
using KeyEdgeHandler = void (*)(int32_t code);
void KeyEdgeIdle(int32_t code);     // up, still up: counter - 1
void KeyEdgePress(int32_t code);    // counter 1, state down, one more press
void KeyEdgeRelease(int32_t code);  // counter -1, state up
void KeyEdgeHold(int32_t code);     // counter + 1
extern KeyEdgeHandler g_key_edge_handlers[4];
void InitKeyEdgeHandlers();
// Runs the transition of one code from its state and down bit.
void RunKeyEdge(int32_t code);

// Parts of the poll that scripts switch (the cursor-settings command).
struct InputSwitches {
  std::atomic<uint8_t> keyboard{1};  // the watched keys and the any-key code
  std::atomic<uint8_t> joystick{0};
  std::atomic<uint8_t> mouse{1};     // mouse buttons, wheel and movement
};
extern InputSwitches g_input_switches;

struct JoystickRecords {
  int32_t count = 0;  // 16 when joysticks can be read, else 0
  uint8_t present[platform::kJoystickSlots] = {};
  platform::JoystickPosition position[platform::kJoystickSlots];
};
extern JoystickRecords g_joysticks;

// The key code of joystick j's direction d (0 left, 1 right, 2 up, 3 down), or -1 when j is not a
// joystick slot.
inline int64_t JoystickDirectionCode(int64_t joystick, int32_t direction) {
  if (joystick < 0 || joystick >= platform::kJoystickSlots) return -1;
  return kJoystickBaseCode + kJoystickCodeCount * joystick + direction;
}
// The key code of button e mod 32 of joystick e / 32, or -1 outside the joysticks.
inline int64_t JoystickButtonCode(int64_t element) {
  if (element < 0 || element >= int64_t{platform::kJoystickSlots} * 32) return -1;
  return kJoystickBaseCode + kJoystickCodeCount * (element / 32) + 4 + element % 32;
}

// 1 when joysticks can be read (then PollJoysticks reads all 16 slots), else 0.
int32_t InitJoysticks();
// Reads every joystick and runs the edges of its 36 codes. A joystick that cannot be read (not
// plugged, unplugged) has all its codes up.
void PollJoysticks();

// The cursor's requests, applied by the input poll, the window procedure and the dialogs.
struct CursorState {
  // Show requests not yet applied add 1, hide requests take 1: every request between two polls
  // reaches the display counter.
  std::atomic<int32_t> pending{0};
  std::atomic<uint8_t> shown{1};  // shown by request (cleared when hidden)
  std::atomic<uint8_t> mode{1};   // 0 hidden, 1 auto-hide, 2 always shown (the cursor command)
  std::atomic<uint8_t> auto_hide{1};
  std::atomic<uint32_t> auto_hide_delay{2500};  // ms a held key takes to hide the cursor
  // Show requests add 1, hide requests take 1; the cursor is visible while it is 0 or more.
  std::atomic<int32_t> display_count{0};
};
extern CursorState g_cursor;

// Unless the cursor is shown by request: clears the main window's cursor activity, requests show
// and marks it shown.
void RequestCursorShow();
// When shown by request: requests hiding and clears the mark.
void RequestCursorHide();
// Carries out the pending requests on the display counter and clears them; the cursor is shown
// while the counter is 0 or more.
void ApplyCursorRequest();

// Everything back to its start: table zeroed (all up, counters 0), handlers, switches, joysticks
// none, cursor shown with auto-hide after 2500 ms.
void InitInputState();

// Start-up: resets the input state, installs the window drag test and tells the desktop whether
// its screen saver may start.
void SetupInput();
// Start-up, after the sound device: InitJoysticks.
void OpenJoysticks();

// The per-frame update, called by the frame step: the screen buffer a restore asked for; mouse
// buttons, wheel and movement; the watched keys and the any-key code; joysticks; cursor auto-hide;
// minimised windows' focus; the engine timers' pause; the drag request.
void PollInputState();

}  // namespace korvel
