// The fourteen request handlers the sound thread runs from the ring. Each returns 1 (done), 0 (run
// again next pass, nothing behind it overtakes it) or a negative error.
#include <cstring>

#include "platform/platform.h"
#include "sound/sound_channel_ops.h"
#include "sound/sound_command_ring.h"
#include "sound/sound_engine.h"
#include "sound/sound_tree_pause.h"
#include "sound/sound_opcodes.h"
#include "sound/sound_stream_ops.h"

namespace korvel {

namespace {

void ResetPositions(SoundChannel* channel) {
  channel->played_bytes = 0;
  channel->pending_loop_start_ms = 0;
  channel->pending_loop_end_ms = 0;
  channel->wraps_ahead = 0;
  channel->last_cursor = 0;
}

// Turns the channel back to idle, keeping its name and settings.
void Unload(NamedTreeNode* node, SoundChannel* channel) {
  MuteChannel(node);
  ReleaseChannel(channel);
  channel->state = kSoundIdle;
  channel->pause_tick = 0;
}

// Starts the voice (loading first from state 0) and fades in from 0 to the fade target.
int32_t StartPlaying(NamedTreeNode* node, SoundChannel* channel, int32_t fade_ms, bool load) {
  ResetPositions(channel);
  if (load && g_sound_stream_ops.load != nullptr) {
    const int32_t result = g_sound_stream_ops.load(channel, node->order_key);
    if (result < 0) return result;
  }
  if (g_sound_stream_ops.start != nullptr) {
    const int32_t result = g_sound_stream_ops.start(channel);
    if (result == -1) return load ? -110 : -120;
    if (result < 0) return result;
  }
  MuteChannel(node);
  ApplyPan(channel);
  ApplySpeed(channel);
  channel->volume = 0;
  channel->fade_from = 0;
  channel->fade_time_ms = fade_ms;
  channel->fade_rate = FadeRate(channel->fade_to, fade_ms);
  channel->fade_start_tick = platform::NowMs();
  channel->fade_end_tick = 0;
  channel->state = kSoundFadingIn;
  // Play on a paused channel (or one whose group is paused, or while focus-paused) stays paused.
  if (PausedUpTree(node) || g_sound_engine.focus_paused != 0) PauseChannel(node);
  return 1;
}

int32_t OpLoad(NamedTreeNode* node, SoundChannel* channel, const SoundCommandSlot& slot) {
  if (channel->state != kSoundIdle) {
    Unload(node, channel);
    return 0;
  }
  const size_t length = strnlen(slot.text, kSoundRingTextBytes - 1);
  std::memcpy(channel->file_name, slot.text, length);
  channel->file_name[length] = '\0';
  channel->loop_count = 0;
  channel->pan = channel->speed = 256;
  channel->start_ms = channel->loop_start_ms = channel->loop_end_ms = 0;
  channel->length_ms = 0;
  ResetPositions(channel);
  if (g_sound_stream_ops.load != nullptr) {
    const int32_t result = g_sound_stream_ops.load(channel, node->order_key);
    if (result < 0) return result;
  }
  channel->state = kSoundLoaded;
  return 1;
}

int32_t OpPlay(NamedTreeNode* node, SoundChannel* channel, const SoundCommandSlot& slot) {
  const int32_t fade_ms = slot.parameter;
  switch (channel->state) {
    case kSoundIdle:
      if (channel->file_name[0] == '\0') return 1;
      return StartPlaying(node, channel, fade_ms, true);
    case kSoundLoaded:
      return StartPlaying(node, channel, fade_ms, false);
    case kSoundFadingIn: {
      channel->fade_start_tick = platform::NowMs();
      channel->fade_end_tick = 0;
      channel->fade_from = channel->volume;
      channel->fade_time_ms = fade_ms;
      int32_t rate = FadeRate(channel->fade_to - channel->previous_target, fade_ms);
      // Same target as before while still short of it: fade the rest of the way.
      if (channel->fade_to == channel->previous_target) {
        rate = FadeRate(channel->fade_to - channel->volume, fade_ms);
      }
      channel->fade_rate = rate;
      return 1;
    }
    case kSoundPlaying:
      channel->fade_start_tick = platform::NowMs();
      channel->fade_end_tick = 0;
      channel->fade_from = channel->volume;
      channel->fade_time_ms = fade_ms;
      channel->fade_rate = FadeRate(channel->fade_to - channel->volume, fade_ms);
      channel->state = kSoundFadingIn;
      return 1;
    default: {  // fading out: start again, fading in to the volume the fade-out began at
      const int32_t from = channel->fade_from;
      channel->fade_from = channel->fade_to;
      channel->fade_to = from;
      Unload(node, channel);
      return 0;
    }
  }
}

int32_t OpPause(NamedTreeNode* node, SoundChannel* channel, const SoundCommandSlot& slot) {
  channel->paused = static_cast<uint8_t>(slot.parameter);
  SetNodePaused(node, slot.parameter != 0 ? 1 : 0);
  return 1;
}

int32_t OpFadeOutStop(NamedTreeNode*, SoundChannel* channel, const SoundCommandSlot& slot) {
  if (channel->state < kSoundFadingIn) return 1;
  const int32_t time = slot.parameter;
  // Fading in, the rate follows the previous target, so the fade lasts volume / target × time.
  const int32_t basis = channel->state == kSoundFadingIn ? channel->previous_target : channel->volume;
  channel->fade_time_ms = time;
  channel->fade_start_tick = platform::NowMs();
  channel->fade_end_tick = 0;
  channel->fade_from = channel->volume;
  channel->fade_to = 0;
  channel->fade_rate = FadeRate(-(basis > 0 ? basis : channel->volume), time);
  channel->state = kSoundFadingOut;
  return 1;
}

int32_t OpSetVolume(NamedTreeNode* node, SoundChannel* channel, const SoundCommandSlot& slot) {
  channel->volume = channel->fade_to = channel->previous_target = slot.parameter;
  ApplyVolume(node);
  return 1;
}

int32_t OpSetFadeTarget(NamedTreeNode*, SoundChannel* channel, const SoundCommandSlot& slot) {
  channel->previous_target = channel->fade_to;
  channel->fade_to = slot.parameter;
  return 1;
}

int32_t OpSetting(NamedTreeNode*, SoundChannel* channel, const SoundCommandSlot& slot) {
  if (channel->state == kSoundIdle) return 1;
  const int32_t value = slot.parameter;
  const int64_t length = channel->length_ms;
  switch (slot.opcode) {
    case kSoundOpSetLoopCount: channel->loop_count = value; break;
    case kSoundOpSetLoopEnd:
      channel->loop_end_ms = static_cast<int32_t>(value < length ? value : length);
      break;
    case kSoundOpSetStart: channel->start_ms = value < length ? value : 0; break;
    case kSoundOpSetLoopStart: channel->loop_start_ms = value < length ? value : 0; break;
    case kSoundOpSetPan: channel->pan = value; ApplyPan(channel); break;
    case kSoundOpSetSpeed: channel->speed = value; ApplySpeed(channel); break;
    default: break;
  }
  return 1;
}

int32_t OpSync(NamedTreeNode*, SoundChannel*, const SoundCommandSlot&) { return 1; }

int32_t OpStop(NamedTreeNode* node, SoundChannel* channel, const SoundCommandSlot&) {
  if (channel->state == kSoundIdle) return 1;
  channel->file_name[0] = '\0';
  Unload(node, channel);
  return 1;
}

using Handler = int32_t (*)(NamedTreeNode*, SoundChannel*, const SoundCommandSlot&);

constexpr Handler kHandlers[15] = {
    nullptr,    OpLoad,     OpPlay,     OpPause,    OpFadeOutStop, OpSetVolume, OpSetFadeTarget,
    OpSetting,  OpSetting,  OpSetting,  OpSetting,  OpSetting,     OpSetting,   OpSync,
    OpStop,
};

}  // namespace

int32_t RunSoundRequest(const SoundCommandSlot& slot) {
  SoundChannel* channel = ChannelOf(slot.node);
  if (channel == nullptr || slot.opcode == 0 || slot.opcode > kSoundOpStop) return 1;
  return kHandlers[slot.opcode](slot.node, channel, slot);
}

}  // namespace korvel
