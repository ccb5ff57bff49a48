// What a sound channel's voice holds in its ring.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/sound_channel.h"

namespace korvel::test {

// A copy of the channel's voice ring, empty without a voice.
std::vector<uint8_t> VoiceRingContents(const SoundChannel* channel);

}  // namespace korvel::test
