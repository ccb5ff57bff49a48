// What the sound thread asks of a channel's voice and stream: a table the streaming code fills when
// a device is open. With the table empty (sound off) channels keep their state but make no sound.
#pragma once

#include <cstdint>

namespace korvel {

struct SoundChannel;

struct SoundStreamOps {
  // Reads the whole file (or builds the silent sound for `id` 999999999) and opens its stream.
  // 0, or a negative sound error.
  int32_t (*load)(SoundChannel* channel, int64_t id);
  // Seeks to the start position, fills the first half and starts the voice looping. 0 or negative.
  int32_t (*start)(SoundChannel* channel);
  // Stops and frees the voice, the decode buffers and the file image.
  void (*release)(SoundChannel* channel);
  // Stops and frees the voice and decode buffers, keeping the image; saves the played position.
  void (*pause)(SoundChannel* channel);
  // Re-creates the voice at the saved position and starts it. 0 or negative.
  int32_t (*resume)(SoundChannel* channel);
  bool (*has_voice)(const SoundChannel* channel);
  void (*set_volume)(SoundChannel* channel, int32_t millibels);
  void (*set_pan)(SoundChannel* channel, int32_t millibels);
  void (*set_speed)(SoundChannel* channel, int32_t speed);
  // The voice's play cursor in bytes; false when it cannot be read.
  bool (*play_cursor)(const SoundChannel* channel, uint32_t* cursor);
  // Refills the half the voice has left. 0 or negative.
  int32_t (*refill)(SoundChannel* channel);
  // The sample of channel `index` (0 or 1) at the play cursor as a level, -1 when none.
  int32_t (*level)(const SoundChannel* channel, int32_t index);
};

// Null entries while sound is off.
extern SoundStreamOps g_sound_stream_ops;

}  // namespace korvel
