// What the other SDL-based parts of the platform layer (GPU path, audio, cursors) need from the
// SDL backend. Only files in src/platform/sdl/ include this.
#pragma once

#include "platform/platform.h"

struct SDL_Window;

namespace korvel::platform {

// The SDL window of a platform window; null when there is none or SDL is not the active backend.
// Main thread only.
SDL_Window* SdlWindowOf(WindowId window);

// Tests: a virtual joystick (SDL's own, two axes and 32 buttons) plugged into the SDL backend, so
// the real hot-plug and event path runs without a device. Attach returns its SDL device index, or
// -1 (SDL not active, or built without virtual joysticks). The setters act on the joystick in an
// engine slot; Detach unplugs the virtual joystick. Any thread.
int AttachTestJoystick();
bool SetTestJoystickAxis(int32_t slot, int32_t axis, int16_t value);
bool SetTestJoystickButton(int32_t slot, int32_t button, bool down);
bool DetachTestJoystick();

}  // namespace korvel::platform
