// What a sound channel's voice holds in its ring, read from the sound device.
#include "support/sound/channel_voice_ring.h"

#include "sound/sound_stream.h"
#include "support/platform/sound_device_probe.h"

namespace korvel::test {

std::vector<uint8_t> VoiceRingContents(const SoundChannel* channel) {
  const platform::VoiceId voice = ChannelVoice(channel);
  return voice != 0 ? VoiceRing(voice) : std::vector<uint8_t>{};
}

}  // namespace korvel::test
