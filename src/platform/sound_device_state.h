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

// Under the device mutex, headless: mixes the frames the virtual clock has made due since the last
// call into the recorder (the device does this before every voice call and when it closes).
void CatchUpSoundDeviceLocked();

}  // namespace korvel::platform
