// Posting requests into the sound ring and waiting for them without the engine lock.
#include "sound/sound_command_ring.h"

#include <cstring>
#include <mutex>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/named_tree.h"
#include "platform/platform.h"
#include "sound/sound_channel.h"

namespace korvel {

SoundCommandRing g_sound_ring;

void InitSoundRing() {
  std::lock_guard lock(EngineLock());
  for (SoundCommandSlot& slot : g_sound_ring.slots) {
    slot.node = nullptr;
    slot.opcode = 0;
    slot.text[0] = '\0';
    slot.parameter = 0;
    slot.done.store(0);
  }
  g_sound_ring.read = 0;
  g_sound_ring.write = 0;
  g_sound_ring.overflow_reported = 0;
}

bool SoundWaitAbandoned() {
  // No engine lock: the sound thread may hold it while it waits for the main thread, which may be
  // the thread asking here.
  return QuitRequested() || g_engine.sound_thread_ended.load() == 1;
}

int32_t PostSoundRequest(NamedTreeNode* node, uint8_t opcode, int32_t parameter, const char* text) {
  for (;;) {
    bool report = false;
    {
      std::lock_guard lock(EngineLock());
      SoundCommandRing& ring = g_sound_ring;
      const uint32_t next = (ring.write + 1) % kSoundRingSlots;
      if (next != ring.read) {
        const uint32_t index = ring.write;
        SoundCommandSlot& slot = ring.slots[index];
        slot.node = node;
        slot.opcode = opcode;
        slot.parameter = parameter;
        slot.text[0] = '\0';
        if (text != nullptr) {
          const size_t length = strnlen(text, kSoundRingTextBytes - 1);
          std::memcpy(slot.text, text, length);
          slot.text[length] = '\0';
        }
        slot.done.store(0);
        ring.write = next;
        ring.overflow_reported = 0;
        return static_cast<int32_t>(index);
      }
      report = ring.overflow_reported == 0;
      ring.overflow_reported = 1;
    }
    // Reported outside the lock: the dialog must not hold up the sound thread.
    if (report) ReportErrorPlain(110200, false);
    if (SoundWaitAbandoned()) return -1;
    platform::SleepMs(1);
  }
}

int32_t WaitSoundRequest(int32_t slot) {
  if (slot < 0 || slot >= static_cast<int32_t>(kSoundRingSlots)) return -1;
  while (g_sound_ring.slots[slot].done.load() == 0) {
    if (SoundWaitAbandoned()) return -1;
    // The sound pass may be showing a dialog through the main thread: serve it while waiting.
    platform::ServeMainThreadRequests();
    platform::SleepMs(1);
  }
  return 0;
}

int32_t WaitSoundIdle(NamedTreeNode* node) {
  for (;;) {
    {
      std::lock_guard lock(EngineLock());
      const auto* channel = static_cast<const SoundChannel*>(node->payload);
      if (channel == nullptr || channel->state == kSoundIdle) return 0;
    }
    if (SoundWaitAbandoned()) return -1;
    platform::SleepMs(1);
  }
}

}  // namespace korvel
