// A look inside the sound device through its record.
#include "support/platform/sound_device_probe.h"

#include <mutex>

#include "platform/sound_device_state.h"

namespace korvel::test {
namespace {

using platform::g_sound_device;

// The voice after catching up with the clock (under the device mutex), or null.
const platform::MixVoice* FindVoiceLocked(platform::VoiceId voice) {
  platform::CatchUpSoundDeviceLocked();
  auto it = g_sound_device.voices.find(voice);
  return it == g_sound_device.voices.end() ? nullptr : it->second.get();
}

}  // namespace

bool VoicePlaying(platform::VoiceId voice) {
  std::lock_guard lock(g_sound_device.mutex);
  const platform::MixVoice* v = FindVoiceLocked(voice);
  return v != nullptr && v->playing;
}

void HeadlessMixToClock() {
  std::lock_guard lock(g_sound_device.mutex);
  platform::CatchUpSoundDeviceLocked();
}

uint64_t HeadlessMixedFrames() {
  std::lock_guard lock(g_sound_device.mutex);
  return g_sound_device.mixed_frames;
}

std::vector<uint8_t> VoiceRing(platform::VoiceId voice) {
  std::lock_guard lock(g_sound_device.mutex);
  const platform::MixVoice* v = FindVoiceLocked(voice);
  if (v == nullptr) return {};
  return std::vector<uint8_t>(v->ring.begin(), v->ring.end());
}

}  // namespace korvel::test
