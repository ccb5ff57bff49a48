// A look inside the sound device: a voice's state and ring, and the headless mix.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sound_device.h"

namespace korvel::test {

// The voice plays (after the headless mix caught up with the clock); false for an unknown voice.
bool VoicePlaying(platform::VoiceId voice);
// Stereo frames the headless recorder has mixed since the virtual clock started.
uint64_t HeadlessMixedFrames();
// Mixes up to the virtual clock now, as the device does before every voice call and when it closes
// (to look at the dump).
void HeadlessMixToClock();
// A copy of the voice's ring (VoiceBufferBytes long), taken under the device's lock; empty for an
// unknown voice.
std::vector<uint8_t> VoiceRing(platform::VoiceId voice);

}  // namespace korvel::test
