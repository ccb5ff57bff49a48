// Channel steps shared by the request handlers and the walkers: volume application, muting, release,
// pausing and resuming, and the fade rate.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "sound/sound_channel.h"

namespace korvel {

inline SoundChannel* ChannelOf(const NamedTreeNode* node) {
  return node != nullptr ? static_cast<SoundChannel*>(node->payload) : nullptr;
}

// The clock now, never 0: a tick of 0 means "not set".
uint32_t NonZeroNow();

// Volume units × 1024 per millisecond that move `delta` over `time_ms` (the whole delta in one
// millisecond for time 0). Never 0 while delta is not: a slow fade still arrives.
int32_t FadeRate(int32_t delta, int32_t time_ms);

// Applies the channel's effective volume (or its subtree's) to its voice.
void ApplyVolume(NamedTreeNode* node);
// Sets a leaf's voice to silence, or re-applies the effective volumes of a group's subtree.
void MuteChannel(NamedTreeNode* node);
// Turns a channel down to near silence (quit) and sets it idle.
void QuietChannel(NamedTreeNode* node);
// Frees the voice, decode buffers and file image; start position and loop start back to 0.
void ReleaseChannel(SoundChannel* channel);
void ApplyPan(SoundChannel* channel);
void ApplySpeed(SoundChannel* channel);

// True when the node or an ancestor (below the nameless root) has its paused flag set.
bool PausedUpTree(const NamedTreeNode* node);
void PauseChannel(NamedTreeNode* node);
void ResumeChannel(NamedTreeNode* node);

// An error met where the caller cannot return it (resume inside a walk); the pass returns it.
void NoteSoundError(int32_t code);
int32_t TakeSoundError();

}  // namespace korvel
