// Volume, mute, release, pause and resume of one channel.
#include "sound/sound_channel_ops.h"

#include <algorithm>

#include "core/engine_state.h"
#include "platform/platform.h"
#include "sound/live_channel_walks.h"
#include "sound/sound_engine.h"
#include "sound/sound_levels.h"
#include "sound/sound_stream_ops.h"

namespace korvel {

namespace {

int32_t g_pending_error = 0;

void SetVoiceVolume(SoundChannel* channel, int32_t volume) {
  if (channel != nullptr && channel->stream != nullptr && g_sound_stream_ops.set_volume != nullptr) {
    g_sound_stream_ops.set_volume(channel, VolumeToMillibels(volume));
  }
}

void ApplySubtree(NamedTreeNode* node) {
  SetVoiceVolume(ChannelOf(node), EffectiveVolume(node));
  for (NamedTreeNode* child = node->first_child; child != nullptr; child = child->next_sibling) {
    ApplySubtree(child);
  }
}

}  // namespace

uint32_t NonZeroNow() {
  const uint32_t now = platform::NowMs();
  return now == 0 ? 1 : now;
}

int32_t FadeRate(int32_t delta, int32_t time_ms) {
  const int64_t scaled = static_cast<int64_t>(delta) * 1024;
  int64_t rate = time_ms > 0 ? scaled / time_ms : scaled;
  if (rate == 0 && delta != 0) rate = delta > 0 ? 1 : -1;
  return static_cast<int32_t>(std::clamp<int64_t>(rate, INT32_MIN, INT32_MAX));
}

void ApplyVolume(NamedTreeNode* node) {
  if (node == nullptr) return;
  if (node->first_child != nullptr) {
    ApplySubtree(node);
  } else {
    SetVoiceVolume(ChannelOf(node), EffectiveVolume(node));
  }
}

void MuteChannel(NamedTreeNode* node) {
  if (node->first_child != nullptr) {
    ApplySubtree(node);
  } else {
    SetVoiceVolume(ChannelOf(node), 0);
  }
}

void QuietChannel(NamedTreeNode* node) {
  SoundChannel* channel = ChannelOf(node);
  if (channel == nullptr) return;
  if (node->first_child != nullptr) {
    ApplySubtree(node);
  } else {
    SetVoiceVolume(channel, HasName(node->parent) ? 2 * ParentVolume(node) / 256 : 2);
  }
  channel->state = kSoundIdle;
}

void ReleaseChannel(SoundChannel* channel) {
  if (channel->stream != nullptr && g_sound_stream_ops.release != nullptr) {
    g_sound_stream_ops.release(channel);
  }
  channel->stream = nullptr;
  channel->start_ms = 0;
  channel->loop_start_ms = 0;
}

void ApplyPan(SoundChannel* channel) {
  if (channel->stream != nullptr && g_sound_stream_ops.set_pan != nullptr) {
    g_sound_stream_ops.set_pan(channel, PanToMillibels(channel->pan));
  }
}

void ApplySpeed(SoundChannel* channel) {
  if (channel->stream != nullptr && g_sound_stream_ops.set_speed != nullptr) {
    g_sound_stream_ops.set_speed(channel, channel->speed);
  }
}

bool PausedUpTree(const NamedTreeNode* node) {
  for (const NamedTreeNode* n = node; HasName(n); n = n->parent) {
    const SoundChannel* channel = ChannelOf(n);
    if (channel != nullptr && channel->paused != 0) return true;
  }
  return false;
}

void PauseChannel(NamedTreeNode* node) {
  SoundChannel* channel = ChannelOf(node);
  if (channel == nullptr || channel->state < kSoundFadingIn || channel->pause_tick != 0) return;
  if (QuitRequested()) {
    QuietChannel(node);
    return;
  }
  // Loop ends the voice passed since the last pass are counted first (the release at the loop limit
  // included), so the saved position lies in the pass the voice is playing.
  if (g_sound_stream_ops.has_voice != nullptr && g_sound_stream_ops.has_voice(channel)) {
    TrackChannelPosition(channel);
    if (channel->state < kSoundFadingIn) return;
  }
  if (channel->stream != nullptr && g_sound_stream_ops.pause != nullptr) {
    g_sound_stream_ops.pause(channel);
  }
  channel->pause_tick = NonZeroNow();
}

void ResumeChannel(NamedTreeNode* node) {
  SoundChannel* channel = ChannelOf(node);
  // Only a paused channel resumes: a live one keeps its voice.
  if (channel == nullptr || channel->pause_tick == 0) return;
  if (g_sound_engine.focus_paused != 0 || PausedUpTree(node)) return;
  for (const NamedTreeNode* n = node; HasName(n); n = n->parent) {
    const SoundChannel* up = ChannelOf(n);
    if (up != nullptr && up->enabled != 1) return;
  }
  if (channel->state >= kSoundFadingIn && g_sound_stream_ops.resume != nullptr) {
    const int32_t result = g_sound_stream_ops.resume(channel);
    if (result < 0) {
      NoteSoundError(result);
      return;
    }
    ApplyVolume(node);
    ApplyPan(channel);
    ApplySpeed(channel);
  }
  channel->pause_tick = 0;
}

void NoteSoundError(int32_t code) {
  if (g_pending_error == 0) g_pending_error = code;
}

int32_t TakeSoundError() {
  const int32_t code = g_pending_error;
  g_pending_error = 0;
  return code;
}

}  // namespace korvel
