// The sound pass's fade step.
#include "sound/sound_fades.h"

#include "platform/platform.h"
#include "sound/sound_channel_ops.h"
#include "sound/sound_engine.h"
#include "sound/sound_tree_walk.h"

namespace korvel {

namespace {

void FadeChannel(NamedTreeNode* node, SoundChannel* channel, uint32_t now) {
  if (channel->pause_tick != 0) {
    // A paused fade stands still: its start moves forward by the time spent paused.
    channel->fade_start_tick += now - channel->pause_tick;
    channel->pause_tick = now == 0 ? 1 : now;
    return;
  }
  if (g_sound_engine.focus_paused != 0) return;
  const int64_t elapsed = static_cast<uint32_t>(now - channel->fade_start_tick);
  int64_t volume = channel->fade_from + elapsed * channel->fade_rate / 1024;
  const bool falling = channel->fade_rate < 0;
  if (channel->fade_time_ms <= 0 || (falling ? volume <= channel->fade_to
                                             : volume >= channel->fade_to)) {
    volume = channel->fade_to;
    channel->fade_end_tick = now == 0 ? 1 : now;
  }
  channel->volume = static_cast<int32_t>(volume);
  ApplyVolume(node);
  if (channel->fade_end_tick == 0) return;
  channel->fade_end_tick = 0;
  if (channel->state == kSoundFadingIn) {
    channel->state = kSoundPlaying;
    return;
  }
  channel->volume = channel->fade_to = channel->previous_target = 256;
  channel->fade_from = 0;
  channel->state = kSoundIdle;
  channel->pause_tick = 0;
  ReleaseChannel(channel);
}

}  // namespace

void UpdateFades(NamedTreeNode* node) {
  const uint32_t now = platform::NowMs();
  auto visit = [now](NamedTreeNode* n) {
    SoundChannel* channel = ChannelOf(n);
    if (channel != nullptr &&
        (channel->state == kSoundFadingIn || channel->state == kSoundFadingOut)) {
      FadeChannel(n, channel, now);
    }
    return 0;
  };
  WalkSoundTree(node, visit);
}

}  // namespace korvel
