// The menu bar strip above a window's client area: reserving it and showing its pixels.
#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {

void SdlBackend::SetWindowMenuBar(WindowId window, int32_t height) {
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr || record->bar_height == height) return;
    int w = 0, h = 0;
    SDL_GetWindowSize(record->handle, &w, &h);
    const int client_height = h - record->bar_height;
    record->bar_height = height;
    SDL_SetWindowSize(record->handle, w, client_height + height);
  });
}

int32_t SdlBackend::MenuBarHeight(WindowId window) {
  int32_t height = 0;
  OnMainThread([&] {
    if (const Window* record = FindWindow(window)) height = record->bar_height;
  });
  return height;
}

void SdlBackend::PresentMenuBar(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                                int32_t pitch) {
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr || record->bar_height <= 0) return;
    SDL_Surface* target = SDL_GetWindowSurface(record->handle);
    if (target == nullptr) return;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t*>(bgra), width, height, 32, pitch, SDL_PIXELFORMAT_BGRA32);
    if (source == nullptr) return;
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_Rect strip{0, 0, width, height < record->bar_height ? height : record->bar_height};
    SDL_Rect from{0, 0, strip.w, strip.h};
    SDL_BlitSurface(source, &from, target, &strip);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurfaceRects(record->handle, &strip, 1);
  });
}

}  // namespace korvel::platform::sdl
