// The sound device's record: its voices and the headless recorder, guarded by one mutex. Only the
// device's own file changes it; tests read it to look inside a voice.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sound_device.h"
#include "platform/sound_mixer.h"
#include "platform/wav_recorder.h"

namespace korvel::platform {

struct SoundDeviceState {
  std::mutex mutex;
  bool open = false;
  bool headless = false;
  std::map<VoiceId, std::unique_ptr<MixVoice>> voices;
  std::vector<MixVoice*> list;  // the voices in id order, for the mix
  VoiceId next_id = 1;
  uint64_t mixed_frames = 0;  // headless: since the clock started
  WavRecorder recorder;
  std::vector<int16_t> scratch;
  bool exit_hook = false;
};

extern SoundDeviceState g_sound_device;

}  // namespace korvel::platform
