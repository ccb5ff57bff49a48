// A virtual SDL joystick for tests: plugged, moved and unplugged through SDL itself, so the
// backend's hot-plug and event handling run as with a real device.
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_state.h"

namespace korvel::platform {
namespace {

SDL_JoystickID g_test_joystick = -1;

bool ActiveSdl() { return ActiveBackend() == BackendKind::kSdl && sdl::g_sdl.joysticks_ready; }

SDL_Joystick* SlotHandle(int32_t slot) {
  if (slot < 0 || slot >= sdl::kMaxJoysticks) return nullptr;
  return sdl::g_sdl.joysticks[slot].handle;
}

}  // namespace

int AttachTestJoystick() {
  int device = -1;
  if (!ActiveSdl()) return device;
  OnMainThread([&] {
    device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 32, 0);
    if (device >= 0) g_test_joystick = SDL_JoystickGetDeviceInstanceID(device);
  });
  return device;
}

bool SetTestJoystickAxis(int32_t slot, int32_t axis, int16_t value) {
  bool done = false;
  if (!ActiveSdl()) return done;
  OnMainThread([&] {
    SDL_Joystick* handle = SlotHandle(slot);
    done = handle != nullptr && SDL_JoystickSetVirtualAxis(handle, axis, value) == 0;
  });
  return done;
}

bool SetTestJoystickButton(int32_t slot, int32_t button, bool down) {
  bool done = false;
  if (!ActiveSdl()) return done;
  OnMainThread([&] {
    SDL_Joystick* handle = SlotHandle(slot);
    done = handle != nullptr &&
           SDL_JoystickSetVirtualButton(handle, button, down ? SDL_PRESSED : SDL_RELEASED) == 0;
  });
  return done;
}

bool DetachTestJoystick() {
  bool done = false;
  if (!ActiveSdl()) return done;
  OnMainThread([&] {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == g_test_joystick) {
        done = SDL_JoystickDetachVirtual(i) == 0;
        break;
      }
    }
    g_test_joystick = -1;
  });
  return done;
}

}  // namespace korvel::platform
