// Volume, pan and speed of a channel as the device takes them: millibels and a frequency in Hz.
#pragma once

#include <cstdint>

#include "core/volume_millibels.h"

namespace korvel {

struct NamedTreeNode;

inline constexpr int32_t kSilentMillibels = -10000;

// 0..512 pan (256 centre; outside the range counts as centre) to the device's pan in millibels, the
// lowered side by the volume law: negative turns the right side down, positive the left; -10000 at
// 0, 10000 at 512.
int32_t PanToMillibels(int32_t pan);
// 0..512 speed (256 normal; outside the range counts as normal) to a playback rate: 0 plays at half,
// 512 at one and a half times `rate`.
uint32_t SpeedToFrequency(uint32_t rate, int32_t speed);
// The node's effective volume: its own (0 when its enabled flag is not 1) scaled by every named
// ancestor's enabled volume / 256.
int32_t EffectiveVolume(const NamedTreeNode* node);
// The volume of the node's parent chain that scales a channel (256 under a nameless parent).
int32_t ParentVolume(const NamedTreeNode* node);

}  // namespace korvel
