// What the other SDL-based parts of the platform layer (GPU path, audio, cursors) need from the
// SDL backend. Only files in src/platform/sdl/ include this.
#pragma once

#include "platform/platform.h"

struct SDL_Window;

namespace korvel::platform {

// The SDL window of a platform window; null when there is none or SDL is not the active backend.
// Main thread only.
SDL_Window* SdlWindowOf(WindowId window);

}  // namespace korvel::platform
