// The sound channel record: the payload of every sound node (file, state, loops, fades, pan and
// speed), and the sound tree's owner. The streaming fields are added with the sound engine.
#pragma once

#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

inline constexpr int32_t kSoundNameCapacity = 261;

enum SoundChannelState : int8_t {
  kSoundIdle = 0,
  kSoundLoaded = 1,
  kSoundFadingIn = 2,
  kSoundPlaying = 3,
  kSoundFadingOut = 4,
};

struct SoundChannel {
  char file_name[kSoundNameCapacity];
  uint8_t kind;   // 1 Ogg Vorbis, 2 WAV
  int8_t enabled;  // 1: the volume counts; 0 mutes this channel and everything below it
  int8_t state;    // SoundChannelState
  uint8_t paused;
  uint32_t loop_limit;  // passes after which the tracker releases the channel; 0 never
  uint32_t loops_done;
  int32_t loop_count;     // 0 endless
  int64_t played_bytes;   // since the last seek
  int64_t length_ms;
  int32_t start_ms, loop_start_ms, loop_end_ms;
  uint32_t pause_tick;  // 0 while not paused
  int32_t pending_loop_start_ms, pending_loop_end_ms;
  uint32_t wraps_ahead;  // loop ends the decoder has wrapped at that the voice has not reached yet
  int32_t pan;     // 0..512, 256 centre
  int32_t speed;   // 0..512, 256 normal
  int32_t volume;  // 0..256
  int32_t fade_from, fade_to, previous_target;
  int32_t fade_time_ms;
  int32_t fade_rate;  // volume units * 1024 per millisecond
  uint32_t fade_start_tick, fade_end_tick;
  // Streaming: the voice and decode state belong to the streaming code.
  void* stream;
  int64_t bytes_per_second;  // block align × rate; 0 while no format is known
  uint32_t buffer_size;      // one second of the voice's format
  uint32_t last_cursor;      // play cursor at the last position reading
  uint32_t sample_rate;
  uint16_t channels, bits;
  uint8_t stream_format;     // 0 PCM WAV, 1 Ogg Vorbis, 2 WAV converted to PCM
};

// A zero-filled channel with volume, fade target, previous target, pan and speed 256 and the enabled
// flag 1, attached as the node's payload. Null after reporting 100010 (fatal).
SoundChannel* CreateSoundChannel(NamedTreeNode* node);

// A node of the sound tree with a name: a channel or a named group. Walks up the tree stop at the
// nameless root, whose volume and flags take no part.
inline bool HasName(const NamedTreeNode* node) { return node != nullptr && node->name_length != 0; }

// The sound tree's payload release: frees one channel.
void FreeSoundPayload(void* payload);

// Makes the sound code the owner of the sound tree: a zero-filled root channel, then the group "S0"
// (order key 1) with a default channel.
void RegisterSoundTree();

}  // namespace korvel
