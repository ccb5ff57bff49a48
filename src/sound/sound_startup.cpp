// Opening and closing the sound device at start-up and shutdown.
#include "sound/sound_startup.h"

#include "core/project_config.h"
#include "platform/sound_device.h"
#include "sound/sound_engine.h"
#include "sound/sound_stream.h"

namespace korvel {

int32_t CreateSoundDevice() {
  const bool on = g_project.sound_on != 0 && platform::OpenSoundDevice();
  g_project.sound_on = on ? 1 : 0;
  g_sound_engine.sound_on = on ? 1 : 0;
  InstallSoundStreams(on);
  return on ? 0 : -1;
}

void ReleaseSoundDevice() {
  StopSoundEngine();
  InstallSoundStreams(false);
  g_sound_engine.sound_on = 0;
  platform::CloseSoundDevice();
}

}  // namespace korvel
