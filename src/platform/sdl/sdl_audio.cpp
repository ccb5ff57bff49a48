// The SDL audio output: one device whose callback pulls frames from our mixer.
#include <SDL.h>

#include "platform/sound_device.h"
#include "platform/sound_output.h"

namespace korvel::platform {
namespace {

struct SdlAudio {
  SDL_AudioDeviceID device = 0;
  MixCallback mix = nullptr;
  bool subsystem = false;
};

SdlAudio g_audio;

void Callback(void* /*user*/, Uint8* stream, int length) {
  g_audio.mix(reinterpret_cast<int16_t*>(stream), static_cast<uint32_t>(length) / 4);
}

}  // namespace

bool OpenSdlAudio(MixCallback mix) {
  if (g_audio.device != 0) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  g_audio.subsystem = true;
  g_audio.mix = mix;
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(kMixRate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = Callback;
  SDL_AudioSpec have{};
  g_audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (g_audio.device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_audio.subsystem = false;
    return false;
  }
  SDL_PauseAudioDevice(g_audio.device, 0);
  return true;
}

void CloseSdlAudio() {
  if (g_audio.device != 0) {
    SDL_CloseAudioDevice(g_audio.device);
    g_audio.device = 0;
  }
  if (g_audio.subsystem) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_audio.subsystem = false;
  }
}

}  // namespace korvel::platform
