// The joystick table shared by both backends: what each of the 16 slots holds (plugged, x and y
// axis, 32 buttons), kept from the backend's events and read as joyGetPosEx would report it.
#include <mutex>

#include "platform/backend.h"

namespace korvel::platform {
namespace {

struct JoystickSlot {
  bool plugged = false;
  int32_t x = 0, y = 0;  // axis values -32768..32767
  uint32_t buttons = 0;
};

struct JoystickTable {
  std::mutex mutex;
  JoystickSlot slots[kJoystickSlots];
};

JoystickTable g_joysticks;

bool ValidSlot(int32_t slot) { return slot >= 0 && slot < kJoystickSlots; }

}  // namespace

uint32_t JoystickAxisPosition(int32_t value) {
  const int64_t position = static_cast<int64_t>(value) + 32767;
  if (position < 0) return 0;
  if (position > 65535) return 65535;
  return static_cast<uint32_t>(position);
}

void ResetJoystickTable() {
  std::lock_guard lock(g_joysticks.mutex);
  for (JoystickSlot& slot : g_joysticks.slots) slot = JoystickSlot{};
}

void NoteJoystickPlugged(int32_t slot, bool plugged) {
  if (!ValidSlot(slot)) return;
  std::lock_guard lock(g_joysticks.mutex);
  g_joysticks.slots[slot] = JoystickSlot{};
  g_joysticks.slots[slot].plugged = plugged;
}

void NoteJoystickAxis(int32_t slot, int32_t axis, int32_t value) {
  if (!ValidSlot(slot) || axis < 0 || axis > 1) return;
  std::lock_guard lock(g_joysticks.mutex);
  (axis == 0 ? g_joysticks.slots[slot].x : g_joysticks.slots[slot].y) = value;
}

void NoteJoystickButton(int32_t slot, int32_t button, bool down) {
  if (!ValidSlot(slot) || button < 0 || button > 31) return;
  const uint32_t bit = 1u << button;
  std::lock_guard lock(g_joysticks.mutex);
  uint32_t& buttons = g_joysticks.slots[slot].buttons;
  buttons = down ? (buttons | bit) : (buttons & ~bit);
}

bool ReadJoystick(int32_t slot, JoystickPosition* position) {
  if (!ValidSlot(slot)) return false;
  std::lock_guard lock(g_joysticks.mutex);
  const JoystickSlot& s = g_joysticks.slots[slot];
  if (!s.plugged) return false;
  position->x = JoystickAxisPosition(s.x);
  position->y = JoystickAxisPosition(s.y);
  position->buttons = s.buttons;
  return true;
}

}  // namespace korvel::platform
