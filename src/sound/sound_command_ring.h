// The request ring between script commands and the sound thread: posting, and the waits for a
// request's done flag or a channel's state, which never hold the engine lock.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvel {

struct NamedTreeNode;

inline constexpr uint32_t kSoundRingSlots = 1024;
inline constexpr uint32_t kSoundRingTextBytes = 256;

enum SoundOpcode : uint8_t {
  kSoundOpLoad = 1,
  kSoundOpPlay = 2,
  kSoundOpPause = 3,
  kSoundOpFadeOutStop = 4,
  kSoundOpSetVolume = 5,
  kSoundOpSetFadeTarget = 6,
  kSoundOpSetLoopCount = 7,
  kSoundOpSetLoopEnd = 8,
  kSoundOpSetStart = 9,
  kSoundOpSetLoopStart = 10,
  kSoundOpSetPan = 11,
  kSoundOpSetSpeed = 12,
  kSoundOpSync = 13,
  kSoundOpStop = 14,
};

struct SoundCommandSlot {
  NamedTreeNode* node;
  uint8_t opcode;
  char text[kSoundRingTextBytes];
  int32_t parameter;
  std::atomic<uint32_t> done;  // 0 when posted, 1 once the sound thread has run it
};

// Empty when read == write; one slot stays free, so 1023 requests fit. Engine lock.
struct SoundCommandRing {
  SoundCommandSlot slots[kSoundRingSlots];
  uint32_t read;
  uint32_t write;
  uint8_t overflow_reported;  // 110200 reported for the current full spell
};

extern SoundCommandRing g_sound_ring;

// Empties the ring (start-up, tests).
void InitSoundRing();

// Posts a request and returns its slot index. A full ring reports 110200 once and waits, without the
// lock, for the sound thread to make room, so no request is ever dropped; -1 when the wait ends
// because the program quits or the sound thread has ended. `text` may be null.
int32_t PostSoundRequest(NamedTreeNode* node, uint8_t opcode, int32_t parameter,
                         const char* text = nullptr);

// Polls the slot's done flag every millisecond without the lock. 0 when done; -1 when the program
// quits or the sound thread ends first.
int32_t WaitSoundRequest(int32_t slot);

// Polls the node's channel every millisecond without the lock until its state is 0. 0, or -1 as above.
int32_t WaitSoundIdle(NamedTreeNode* node);

// True when a waiting command has to give up: the quit flag or the sound thread's ended flag is set.
bool SoundWaitAbandoned();

}  // namespace korvel
