// SDL displays as the engine's monitors, their display modes, and full screen in a chosen mode.
#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {

std::vector<MonitorInfo> SdlBackend::GetMonitors() {
  std::vector<MonitorInfo> out;
  OnMainThread([&] {
    const int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count && i < kMaxMonitors; ++i) {
      SDL_Rect b{}, u{};
      if (SDL_GetDisplayBounds(i, &b) != 0) b = SDL_Rect{0, 0, 0, 0};
      if (SDL_GetDisplayUsableBounds(i, &u) != 0) u = b;
      out.push_back(MonitorInfo{Rect{b.x, b.y, b.x + b.w, b.y + b.h},
                                Rect{u.x, u.y, u.x + u.w, u.y + u.h}});
    }
  });
  return out;
}

std::vector<DisplayMode> SdlBackend::GetDisplayModes(int32_t monitor) {
  std::vector<DisplayMode> out;
  OnMainThread([&] {
    const int count = SDL_GetNumDisplayModes(monitor);
    for (int i = 0; i < count; ++i) {
      SDL_DisplayMode mode;
      if (SDL_GetDisplayMode(monitor, i, &mode) != 0) continue;
      // Windows counts the padding byte: a 24-bit X visual is a 32-bit mode.
      out.push_back(DisplayMode{mode.w, mode.h,
                                static_cast<int32_t>(SDL_BYTESPERPIXEL(mode.format)) * 8,
                                mode.refresh_rate});
    }
  });
  return out;
}

bool SdlBackend::EnterFullScreen(WindowId window, int32_t monitor, const DisplayMode& mode) {
  bool done = false;
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr) return;
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(monitor, &bounds) != 0) return;
    SDL_DisplayMode wanted{};
    wanted.w = mode.width;
    wanted.h = mode.height;
    SDL_DisplayMode closest;
    if (SDL_GetClosestDisplayMode(monitor, &wanted, &closest) == nullptr ||
        closest.w != mode.width || closest.h != mode.height) {
      return;
    }
    SDL_SetWindowPosition(record->handle, bounds.x, bounds.y);
    if (SDL_SetWindowDisplayMode(record->handle, &closest) != 0) return;
    done = SDL_SetWindowFullscreen(record->handle, SDL_WINDOW_FULLSCREEN) == 0;
  });
  return done;
}

void SdlBackend::LeaveFullScreen(WindowId window) {
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) SDL_SetWindowFullscreen(record->handle, 0);
  });
}

void SdlBackend::SetWindowBorderless(WindowId window, bool borderless) {
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) {
      SDL_SetWindowBordered(record->handle, borderless ? SDL_FALSE : SDL_TRUE);
    }
  });
}

void SdlBackend::FlashWindow(WindowId window, uint32_t flags, uint32_t count) {
  // FlashWindowEx: flags 0 stops; FLASHW_TIMER (4) or FLASHW_TIMERNOFG (12) flash until stopped or
  // focused; otherwise `count` flashes, which SDL shows as one brief flash.
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr) return;
    SDL_FlashOperation op = SDL_FLASH_BRIEFLY;
    if ((flags & 3u) == 0) op = SDL_FLASH_CANCEL;
    else if ((flags & 4u) != 0 || count > 1) op = SDL_FLASH_UNTIL_FOCUSED;
    SDL_FlashWindow(record->handle, op);
  });
}

}  // namespace korvel::platform::sdl
