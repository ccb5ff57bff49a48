// What the sound device needs from an audio output: the SDL audio device, whose callback pulls
// mixed frames. Only src/platform/sdl/ implements it.
#pragma once

#include <cstdint>

namespace korvel::platform {

using MixCallback = void (*)(int16_t* stereo, uint32_t frames);

// Opens one SDL audio device (16-bit stereo at kMixRate) whose callback calls `mix`, and starts it.
// False when SDL has no audio device.
bool OpenSdlAudio(MixCallback mix);
// Stops the callback and closes the device.
void CloseSdlAudio();

}  // namespace korvel::platform
