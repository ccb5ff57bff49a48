// The sound pass's walks over the channels that play: play-position tracking and stream refills.
#include "sound/live_channel_walks.h"

#include <algorithm>

#include "core/engine_state.h"
#include "sound/sound_channel_ops.h"
#include "sound/sound_engine.h"
#include "sound/sound_stream_ops.h"
#include "sound/sound_tree_walk.h"

namespace korvel {

namespace {

bool Sounding(const SoundChannel* channel) {
  return channel != nullptr && channel->state >= kSoundFadingIn;
}

bool Live(const SoundChannel* channel) {
  return Sounding(channel) && channel->pause_tick == 0 && g_sound_engine.focus_paused == 0;
}

// Loop ends counted at one reading: a loop of a millisecond read 20 ms apart passes 20 of them.
constexpr int kMaxLoopEndsPerReading = 4096;

}  // namespace

int32_t TrackChannelPosition(SoundChannel* channel) {
  if (!g_sound_stream_ops.has_voice(channel)) return -310;
  uint32_t cursor = 0;
  if (!g_sound_stream_ops.play_cursor(channel, &cursor)) return -320;
  int64_t advance = static_cast<int64_t>(cursor) - channel->last_cursor;
  if (advance < 0) advance += channel->buffer_size;
  channel->last_cursor = cursor;
  int64_t total = channel->played_bytes + advance;
  const int64_t bps = channel->bytes_per_second;
  for (int passed = 0; bps > 0 && passed < kMaxLoopEndsPerReading; ++passed) {
    int32_t loop_start = channel->loop_start_ms, loop_end = channel->loop_end_ms;
    if (channel->pending_loop_end_ms != 0) {
      loop_start = channel->pending_loop_start_ms;
      loop_end = channel->pending_loop_end_ms;
    }
    if (total * 1000 / bps < loop_end) break;
    channel->pending_loop_start_ms = channel->pending_loop_end_ms = 0;
    if (channel->wraps_ahead > 0) --channel->wraps_ahead;
    if (channel->loops_done + 1 == channel->loop_limit) {
      channel->loop_limit = channel->loops_done = 0;
      channel->played_bytes = 0;
      channel->wraps_ahead = 0;
      ReleaseChannel(channel);
      channel->state = kSoundIdle;
      return 0;
    }
    ++channel->loops_done;
    // The voice went on past the loop end into the next pass (the decoder wrapped there, with a
    // start not below the end taken as 0): what it played beyond the end counts in that pass.
    if (loop_start < 0 || loop_start >= loop_end) loop_start = 0;
    const int64_t start_bytes = static_cast<int64_t>(loop_start) * bps / 1000;
    const int64_t end_bytes = static_cast<int64_t>(loop_end) * bps / 1000;
    if (end_bytes <= start_bytes) {
      total = start_bytes;  // an empty pass: one per reading
      break;
    }
    total = start_bytes + std::max<int64_t>(total - end_bytes, 0);
  }
  channel->played_bytes = total;
  return 0;
}

// Walks the live channels with `step`; once the program quits, every channel that sounds is turned
// down to near silence and set idle instead.
namespace {

int32_t WalkLiveChannels(NamedTreeNode* node, bool has_step, int32_t (*step)(SoundChannel*)) {
  const bool quit = QuitRequested();
  auto visit = [quit, has_step, step](NamedTreeNode* n) -> int32_t {
    SoundChannel* channel = ChannelOf(n);
    if (channel == nullptr) return 0;
    if (quit) {
      if (channel->state > kSoundIdle) QuietChannel(n);
      return 0;
    }
    if (!Live(channel) || !has_step) return 0;
    return step(channel);
  };
  return WalkSoundTree(node, visit);
}

}  // namespace

int32_t TrackPlayPositions(NamedTreeNode* node) {
  return WalkLiveChannels(node, g_sound_stream_ops.play_cursor != nullptr, TrackChannelPosition);
}

int32_t RefillStreams(NamedTreeNode* node) {
  return WalkLiveChannels(node, g_sound_stream_ops.refill != nullptr,
                          [](SoundChannel* channel) { return g_sound_stream_ops.refill(channel); });
}

}  // namespace korvel
