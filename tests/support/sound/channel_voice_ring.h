// What a sound channel's voice holds in its ring.
#pragma once

#include <cstdint>

#include "sound/sound_channel.h"

namespace korvel::test {

// The bytes of the channel's voice ring (the channel's buffer size long), null without a voice.
const uint8_t* VoiceRingContents(const SoundChannel* channel);

}  // namespace korvel::test
