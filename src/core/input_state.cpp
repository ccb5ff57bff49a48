// The key table and its per-frame update, joysticks, and the cursor's requests and auto-hide.
#include "core/input_state.h"

#include <cstring>
#include <mutex>

#include "core/display_state.h"
#include "core/engine_timers.h"
#include "core/frame_pacer.h"
#include "core/frame_step.h"
#include "core/window_proc.h"
#include "core/window_record.h"

namespace korvel {

// Backspace, Tab, Enter; Shift, Ctrl, Alt, Pause; Esc; Space to Down; Print to Help; 0-9; A-Z
// (with the Windows and application keys, 0x5B..0x5F); keypad and F1-F24 (0x60..0x87); Num Lock,
// Scroll Lock; the sided modifiers; the OEM keys; the 102nd key.
const uint8_t kWatchedKeys[kWatchedKeyCount] = {
    0x08, 0x09, 0x0D, 0x10, 0x11, 0x12, 0x13, 0x1B, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,
    0x27, 0x28, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38,
    0x39, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E,
    0x4F, 0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x60, 0x61, 0x62,
    0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0x70, 0x71,
    0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F, 0x80,
    0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x90, 0x91, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5,
    0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE, 0xE2,
};

KeyStateTable g_keys;
KeyEdgeHandler g_key_edge_handlers[4] = {KeyEdgeIdle, KeyEdgePress, KeyEdgeRelease, KeyEdgeHold};
InputSwitches g_input_switches;
JoystickRecords g_joysticks;
CursorState g_cursor;

namespace {

constexpr uint8_t kDownBit = 0x80;

// Scripts may write counters: the running count wraps instead of overflowing.
int64_t WrapAdd(int64_t value, int64_t delta) {
  return static_cast<int64_t>(static_cast<uint64_t>(value) + static_cast<uint64_t>(delta));
}

// Mouse buttons, wheel and movement into codes 1..7. A press (or turn, or move) while the cursor is
// far outside the focused window does not count; a button held from inside stays held.
void SetMouseCodes() {
  KeyStateTable& t = g_keys;
  const int32_t wheel = g_window_messages.wheel_delta.exchange(0);
  const uint8_t moved = g_window_messages.mouse_moved.exchange(0);
  t.down[kWheelAwayCode] = t.down[kWheelTowardCode] = t.down[kMouseMovedCode] = 0;
  const int32_t focus = g_frame.focus_window.load();
  const WindowRecord* focused = focus >= 0 && focus < kWindowCount ? g_windows[focus] : nullptr;
  if (g_input_switches.mouse.load() == 0 || focused == nullptr) return;
  if (focused->mouse_outside_wide.load() != 0) {
    for (const int32_t code : {1, 2, 4}) {
      if (t.counter[code] <= 0) t.down[code] = 0;
    }
    return;
  }
  if (wheel > 0) t.down[kWheelAwayCode] = kDownBit;
  if (wheel < 0) t.down[kWheelTowardCode] = kDownBit;
  t.down[kMouseMovedCode] = moved & kDownBit;
}

// Auto-hide: a held key starts the count; after the delay (on the pacer's clock) the cursor hides.
// Leaving the window, the full-screen menu bar, or mouse activity that the main window's switches
// allow shows it again.
void UpdateCursorAutoHide() {
  WindowRecord* main = g_windows[0];
  if (g_cursor.auto_hide.load() == 0 || main == nullptr) return;
  const KeyStateTable& t = g_keys;
  if (main->cursor_activity.load() == 0 && t.counter[kAnyKeyCode] > 0) {
    main->cursor_activity_stamp = platform::NowMs();
    main->cursor_activity.store(1);
  }
  if (main->cursor_activity.load() != 0 && g_cursor.shown.load() != 0) {
    // Signed difference: a stamp ahead of the pacer's last stamp is no time at all.
    const uint32_t elapsed = g_pacer.last_stamp - main->cursor_activity_stamp;
    if (static_cast<int32_t>(elapsed) > 0 && elapsed > g_cursor.auto_hide_delay.load()) {
      g_cursor.pending.fetch_sub(1);
      g_cursor.shown.store(0);
    }
  }
  const bool button_held = t.counter[1] > 0 || t.counter[2] > 0 || t.counter[4] > 0;
  const bool wheel_turned = t.counter[kWheelAwayCode] > 0 || t.counter[kWheelTowardCode] > 0;
  if (main->mouse_outside_wide.load() != 0 || g_display.menu_bar_shown != 0 ||
      (t.counter[kMouseMovedCode] > 0 && main->cursor_switches[0] != 0) ||
      (button_held && main->cursor_switches[1] != 0) ||
      (wheel_turned && main->cursor_switches[2] != 0)) {
    main->cursor_activity.store(0);
    RequestCursorShow();
  }
}

}  // namespace

void KeyEdgeIdle(int32_t code) { g_keys.counter[code] = WrapAdd(g_keys.counter[code], -1); }

void KeyEdgePress(int32_t code) {
  g_keys.counter[code] = 1;
  g_keys.state[code] = kKeyStateDown;
  g_keys.presses[code] += 1;
}

void KeyEdgeRelease(int32_t code) {
  g_keys.counter[code] = -1;
  g_keys.state[code] = kKeyStateUp;
}

void KeyEdgeHold(int32_t code) { g_keys.counter[code] = WrapAdd(g_keys.counter[code], 1); }

void InitKeyEdgeHandlers() {
  g_key_edge_handlers[0] = KeyEdgeIdle;
  g_key_edge_handlers[1] = KeyEdgePress;
  g_key_edge_handlers[2] = KeyEdgeRelease;
  g_key_edge_handlers[3] = KeyEdgeHold;
}

void RunKeyEdge(int32_t code) {
  if (code < 0 || code >= kKeyCodeCount) return;
  // A state other than up or down (a script wrote it) counts as up.
  const int index = (g_keys.state[code] == kKeyStateDown ? 2 : 0) +
                    ((g_keys.down[code] & kDownBit) != 0 ? 1 : 0);
  g_key_edge_handlers[index](code);
}

int32_t InitJoysticks() {
  g_joysticks = JoystickRecords{};
  g_joysticks.count = platform::JoysticksAvailable() ? platform::kJoystickSlots : 0;
  return g_joysticks.count > 0 ? 1 : 0;
}

void PollJoysticks() {
  if (g_joysticks.count == 0) return;
  for (auto& present : g_joysticks.present) present = 0;
  for (int32_t j = 0; j < g_joysticks.count; ++j) {
    platform::JoystickPosition position;
    if (platform::ReadJoystick(j, &position)) g_joysticks.present[j] = 1;
    // A joystick that cannot be read is centred with no button held: no key stays stuck.
    g_joysticks.position[j] = position;
    uint8_t* down = g_keys.down + kJoystickBaseCode + kJoystickCodeCount * j;
    down[0] = position.x < 32767 ? kDownBit : 0;
    down[1] = position.x >= 32768 ? kDownBit : 0;
    down[2] = position.y < 32767 ? kDownBit : 0;
    down[3] = position.y >= 32768 ? kDownBit : 0;
    for (int32_t b = 0; b < 32; ++b) {
      down[4 + b] = (position.buttons & (1u << b)) != 0 ? kDownBit : 0;
    }
    for (int32_t c = 0; c < kJoystickCodeCount; ++c) {
      RunKeyEdge(kJoystickBaseCode + kJoystickCodeCount * j + c);
    }
  }
}

void RequestCursorShow() {
  if (g_cursor.shown.load() != 0) return;
  if (g_windows[0] != nullptr) g_windows[0]->cursor_activity.store(0);
  g_cursor.pending.fetch_add(1);
  g_cursor.shown.store(1);
}

void RequestCursorHide() {
  if (g_cursor.shown.load() == 0) return;
  g_cursor.pending.fetch_sub(1);
  g_cursor.shown.store(0);
}

void ApplyCursorRequest() {
  const int32_t step = g_cursor.pending.exchange(0);
  if (step == 0) return;
  const int32_t count = g_cursor.display_count.fetch_add(step) + step;
  platform::ShowCursor(count >= 0);
}

void InitInputState() {
  std::memset(&g_keys, 0, sizeof g_keys);
  InitKeyEdgeHandlers();
  g_input_switches.keyboard.store(1);
  g_input_switches.joystick.store(0);
  g_input_switches.mouse.store(1);
  g_joysticks = JoystickRecords{};
  g_cursor.pending.store(0);
  g_cursor.shown.store(1);
  g_cursor.mode.store(1);
  g_cursor.auto_hide.store(1);
  g_cursor.auto_hide_delay.store(2500);
  g_cursor.display_count.store(0);
}

void SetupInput() {
  InitInputState();
  platform::SetDragTest(EngineDragTest);
  ApplyScreenSaverPermission();
}

void OpenJoysticks() { InitJoysticks(); }

void PollInputState() {
  KeyStateTable& t = g_keys;
  {
    std::lock_guard lock(g_frame.key_snapshot_lock);
    std::memcpy(t.down, g_frame.key_snapshot, 256);
  }

  SetMouseCodes();
  for (int32_t code = 1; code <= kMouseMovedCode; ++code) RunKeyEdge(code);

  if (g_input_switches.keyboard.load() != 0) {
    uint8_t any = 0;
    for (const uint8_t vk : kWatchedKeys) {
      RunKeyEdge(vk);
      any |= t.down[vk];
    }
    t.down[kAnyKeyCode] = any & kDownBit;
    RunKeyEdge(kAnyKeyCode);
  }

  if (g_input_switches.joystick.load() != 0) PollJoysticks();

  UpdateCursorAutoHide();
  ApplyCursorRequest();

  for (WindowRecord* w : g_windows) {
    if (w == nullptr) continue;
    const platform::WindowId handle = w->handle.load();
    if (handle != platform::kNoWindow && platform::IsWindowMinimized(handle)) w->focus.store(0);
  }

  UpdatePauseTimers(g_windows[0] != nullptr && g_windows[0]->focus.load() != 0);

  // The window system started the move when the press came; nothing is left to post.
  g_window_messages.drag_request.store(0);
}

}  // namespace korvel
