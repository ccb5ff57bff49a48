// The posted-event queue and the keyboard snapshot, shared by both backends and safe from any
// thread.
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/backend.h"

namespace korvel::platform {
namespace {

// Windows refuses to post beyond 10000 messages per queue; the engine may rely on a bound too.
constexpr size_t kQueueLimit = 10000;

struct EventQueue {
  std::mutex mutex;
  std::deque<Event> events;
};

struct KeyboardSnapshot {
  std::mutex mutex;
  uint8_t keys[256] = {};
};

EventQueue g_events;
KeyboardSnapshot g_keyboard;

}  // namespace

void PostEvent(Event event) {
  std::lock_guard lock(g_events.mutex);
  if (g_events.events.size() >= kQueueLimit) return;
  g_events.events.push_back(std::move(event));
}

bool PopEvent(Event* event) {
  std::lock_guard lock(g_events.mutex);
  if (g_events.events.empty()) return false;
  *event = std::move(g_events.events.front());
  g_events.events.pop_front();
  return true;
}

void ClearEventQueue() {
  std::lock_guard lock(g_events.mutex);
  g_events.events.clear();
}

void NoteKeyTransition(int virtual_key, bool down) {
  if (virtual_key <= 0 || virtual_key > 255) return;
  std::lock_guard lock(g_keyboard.mutex);
  uint8_t& key = g_keyboard.keys[virtual_key];
  if (down) {
    if ((key & 0x80) == 0) key ^= 0x01;
    key |= 0x80;
  } else {
    key &= static_cast<uint8_t>(~0x80);
  }
}

void ClearKeyboardSnapshot() {
  std::lock_guard lock(g_keyboard.mutex);
  std::memset(g_keyboard.keys, 0, sizeof g_keyboard.keys);
}

void GetKeyboardState(uint8_t keys[256]) {
  std::lock_guard lock(g_keyboard.mutex);
  std::memcpy(keys, g_keyboard.keys, sizeof g_keyboard.keys);
}

void SetKeyboardState(const uint8_t keys[256]) {
  std::lock_guard lock(g_keyboard.mutex);
  std::memcpy(g_keyboard.keys, keys, sizeof g_keyboard.keys);
}

}  // namespace korvel::platform
