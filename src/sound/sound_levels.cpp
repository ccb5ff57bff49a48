// Millibel conversion of volume and pan, the speed's frequency and the volume walk up the tree.
#include "sound/sound_levels.h"

#include "core/named_tree.h"
#include "sound/sound_channel.h"

namespace korvel {

namespace {

int32_t OwnVolume(const NamedTreeNode* node) {
  const auto* channel = static_cast<const SoundChannel*>(node->payload);
  if (channel == nullptr) return 256;
  return channel->enabled == 1 ? channel->volume : 0;
}

}  // namespace

int32_t PanToMillibels(int32_t pan) {
  if (pan < 0 || pan > 512) pan = 256;
  const int32_t side = pan <= 256 ? pan : 512 - pan;
  const int32_t mb = VolumeToMillibels(side);
  return pan > 256 ? -mb : mb;
}

uint32_t SpeedToFrequency(uint32_t rate, int32_t speed) {
  if (speed < 0 || speed > 512) speed = 256;
  const int64_t r = rate;
  return static_cast<uint32_t>(r + ((speed - 256) * (r / 2)) / 256);
}

int32_t EffectiveVolume(const NamedTreeNode* node) {
  const int64_t own = OwnVolume(node);
  if (!HasName(node->parent)) return static_cast<int32_t>(own);
  return static_cast<int32_t>(own * EffectiveVolume(node->parent) / 256);
}

int32_t ParentVolume(const NamedTreeNode* node) {
  return HasName(node->parent) ? EffectiveVolume(node->parent) : 256;
}

}  // namespace korvel
