// SDL windows: creation (hidden), show state, title, geometry with the window manager's frame,
// the desktop's work area and mode, and frame presentation through the window surface.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {
namespace {

struct Borders {
  int top = 0, left = 0, bottom = 0, right = 0;
};

// The frame the window manager draws around the client area (zero until it tells).
Borders BordersOf(SDL_Window* handle) {
  Borders b;
  if (SDL_GetWindowBordersSize(handle, &b.top, &b.left, &b.bottom, &b.right) != 0) return Borders{};
  return b;
}

}  // namespace

WindowId SdlBackend::CreateWindow(const WindowDesc& desc) {
  WindowId id = kNoWindow;
  OnMainThread([&] {
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (desc.resizable) flags |= SDL_WINDOW_RESIZABLE;
    if (desc.borderless) flags |= SDL_WINDOW_BORDERLESS;
    if (desc.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    if (desc.utility) flags |= SDL_WINDOW_UTILITY | SDL_WINDOW_SKIP_TASKBAR;
    if (desc.popup_menu) flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_POPUP_MENU;
    const int width = desc.client_width > 0 ? desc.client_width : 1;
    const int height = desc.client_height > 0 ? desc.client_height : 1;
    SDL_Window* handle = nullptr;
    if (desc.opengl) {
      // Drivers without OpenGL (SDL's dummy driver) refuse the flag: the window is made without it
      // and the GPU device then fails.
      handle = SDL_CreateWindow(SdlText(desc.title).c_str(), desc.x, desc.y, width, height,
                                flags | SDL_WINDOW_OPENGL);
    }
    if (handle == nullptr) {
      handle = SDL_CreateWindow(SdlText(desc.title).c_str(), desc.x, desc.y, width, height, flags);
    }
    if (handle == nullptr) return;
    InstallHitTest(handle);
    Window record;
    record.handle = handle;
    record.engine_index = desc.engine_index;
    record.accept_drops = desc.accept_drops;
    g_sdl.windows.push_back(record);
    id = static_cast<WindowId>(g_sdl.windows.size() - 1);
  });
  return id;
}

void SdlBackend::DestroyWindow(WindowId window) {
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr) return;
    DetachGlDevice(record->handle);  // its context goes before the window
    SDL_DestroyWindow(record->handle);
    *record = Window{};
    if (g_sdl.drop_window == window) {
      g_sdl.drop_window = kNoWindow;
      g_sdl.drop_paths.clear();
    }
  });
}

void SdlBackend::ShowWindow(WindowId window, ShowCommand command) {
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr) return;
    SDL_Window* handle = record->handle;
    switch (command) {
      case ShowCommand::kHide:
        SDL_HideWindow(handle);
        break;
      case ShowCommand::kShow:
        SDL_ShowWindow(handle);
        break;
      case ShowCommand::kMinimize:
        SDL_ShowWindow(handle);
        SDL_MinimizeWindow(handle);
        break;
      case ShowCommand::kRestore:
        SDL_ShowWindow(handle);
        SDL_RestoreWindow(handle);
        break;
      case ShowCommand::kMaximize:
        SDL_ShowWindow(handle);
        SDL_MaximizeWindow(handle);
        break;
    }
  });
}

bool SdlBackend::IsWindowVisible(WindowId window) {
  bool visible = false;
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) {
      visible = (SDL_GetWindowFlags(record->handle) & SDL_WINDOW_SHOWN) != 0;
    }
  });
  return visible;
}

bool SdlBackend::IsWindowMinimized(WindowId window) {
  bool minimized = false;
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) {
      minimized = (SDL_GetWindowFlags(record->handle) & SDL_WINDOW_MINIMIZED) != 0;
    }
  });
  return minimized;
}

void SdlBackend::SetWindowTitle(WindowId window, std::string_view title_sjis) {
  const std::string title = SdlText(title_sjis);
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) SDL_SetWindowTitle(record->handle, title.c_str());
  });
}

void SdlBackend::SetWindowResizable(WindowId window, bool resizable) {
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) {
      SDL_SetWindowResizable(record->handle, resizable ? SDL_TRUE : SDL_FALSE);
    }
  });
}

// `x`, `y` place the outer top-left corner, as Windows does; SDL places the client area.
void SdlBackend::SetWindowPosition(WindowId window, int32_t x, int32_t y) {
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) {
      const Borders b = BordersOf(record->handle);
      SDL_SetWindowPosition(record->handle, x + b.left, y + b.top);
    }
  });
}

void SdlBackend::SetWindowClientSize(WindowId window, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return;
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) {
      SDL_SetWindowSize(record->handle, width, height + record->bar_height);
    }
  });
}

bool SdlBackend::GetWindowRect(WindowId window, Rect* rect) {
  bool found = false;
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr) return;
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(record->handle, &x, &y);
    SDL_GetWindowSize(record->handle, &w, &h);
    const Borders b = BordersOf(record->handle);
    *rect = Rect{x - b.left, y - b.top, x + w + b.right, y + h + b.bottom};
    found = true;
  });
  return found;
}

bool SdlBackend::GetClientRect(WindowId window, Rect* rect) {
  bool found = false;
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr) return;
    int w = 0, h = 0;
    SDL_GetWindowSize(record->handle, &w, &h);
    *rect = Rect{0, 0, w, h - record->bar_height};
    found = true;
  });
  return found;
}

bool SdlBackend::ScreenToClient(WindowId window, int32_t* x, int32_t* y) {
  bool found = false;
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr) return;
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(record->handle, &wx, &wy);
    *x -= wx;
    *y -= wy + record->bar_height;
    found = true;
  });
  return found;
}

void SdlBackend::RaiseWindow(WindowId window) {
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) SDL_RaiseWindow(record->handle);
  });
}

bool SdlBackend::GetWorkArea(Rect* area) {
  bool found = false;
  OnMainThread([&] {
    SDL_Rect bounds;
    if (SDL_GetDisplayUsableBounds(0, &bounds) != 0) return;
    *area = Rect{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
    found = true;
  });
  return found;
}

DisplayMode SdlBackend::GetDesktopMode() {
  DisplayMode result;
  OnMainThread([&] {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return;
    result.width = mode.w;
    result.height = mode.h;
    // Windows counts the padding byte: a 24-bit X visual is a 32-bit desktop.
    result.bits_per_pixel = static_cast<int32_t>(SDL_BYTESPERPIXEL(mode.format)) * 8;
    result.refresh_hz = mode.refresh_rate;
  });
  return result;
}

namespace {

constexpr int kTile = 64;

bool FrameArgumentsValid(const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch) {
  return bgra != nullptr && width > 0 && height > 0 &&
         static_cast<int64_t>(pitch) >= static_cast<int64_t>(width) * 4;
}

// Whether the surface keeps pixels as blue, green, red and a fourth byte in memory, as frames do.
bool SurfaceLikeFrame(const SDL_Surface* surface) {
  const Uint32 f = surface->format->format;
  return f == SDL_PIXELFORMAT_BGRA32 ||
         (SDL_BYTEORDER == SDL_LIL_ENDIAN && f == SDL_PIXELFORMAT_RGB888);
}

// Whether a row segment of the frame differs from the surface in colour (the fourth byte is not
// shown). Pairs of pixels are compared as 64-bit words with the fourth bytes masked off.
bool SegmentDiffers(const uint8_t* frame, const uint8_t* shown, int32_t pixels) {
  // The surface holds the frame's own bytes (rows are copied whole), so equal bytes are the rule.
  if (std::memcmp(frame, shown, static_cast<size_t>(pixels) * 4) == 0) return false;
  constexpr uint64_t kColour = 0x00FFFFFF00FFFFFFull;
  int32_t i = 0;
  uint64_t diff = 0;
  for (; i + 2 <= pixels; i += 2) {
    uint64_t a, b;
    std::memcpy(&a, frame + i * 4, 8);
    std::memcpy(&b, shown + i * 4, 8);
    diff |= (a ^ b) & kColour;
  }
  if (i < pixels) {
    uint32_t a, b;
    std::memcpy(&a, frame + i * 4, 4);
    std::memcpy(&b, shown + i * 4, 4);
    diff |= (a ^ b) & 0x00FFFFFFu;
  }
  return diff != 0;
}

// The whole frame to the window.
void PresentWhole(Window* record, const uint8_t* bgra, int32_t width, int32_t height,
                  int32_t pitch) {
  SDL_Surface* target = SDL_GetWindowSurface(record->handle);
  if (target == nullptr) return;
  if (target->w == width && target->h == height && SurfaceLikeFrame(target)) {
    // The same layout: rows are copied as they are.
    if (SDL_MUSTLOCK(target)) SDL_LockSurface(target);
    for (int32_t y = 0; y < height; ++y) {
      std::memcpy(static_cast<uint8_t*>(target->pixels) + static_cast<size_t>(y) * target->pitch,
                  bgra + static_cast<size_t>(y) * pitch, static_cast<size_t>(width) * 4);
    }
    if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
    record->surface_current = SDL_UpdateWindowSurface(record->handle) == 0;
    return;
  }
  // BGRA bytes in memory are SDL's BGRA32 on any byte order (ARGB8888 on little-endian).
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(bgra), width, height, 32, pitch, SDL_PIXELFORMAT_BGRA32);
  if (source == nullptr) return;
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
  SDL_Rect below_bar{0, record->bar_height, width, height};
  SDL_BlitSurface(source, nullptr, target, &below_bar);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(record->handle);
  record->surface_current = false;  // converted or clipped: not the frame's own bytes
}

// Only the tiles of `r` whose colours differ from what the surface holds are copied to it; they are
// added to `rects` as rectangles merged along each band of tiles.
void CopyChangedTiles(SDL_Surface* target, const uint8_t* bgra, int32_t pitch, const Rect& r,
                      std::vector<SDL_Rect>& rects) {
  auto* pixels = static_cast<uint8_t*>(target->pixels);
  for (int32_t band = r.top; band < r.bottom; band += kTile) {
    const int32_t band_h = std::min(kTile, r.bottom - band);
    int32_t run_start = -1;
    for (int32_t x = r.left; x < r.right; x += kTile) {
      const int32_t tile_w = std::min(kTile, r.right - x);
      bool differs = false;
      for (int32_t y = band; y < band + band_h && !differs; ++y) {
        differs = SegmentDiffers(bgra + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * 4,
                                 pixels + static_cast<size_t>(y) * target->pitch +
                                     static_cast<size_t>(x) * 4,
                                 tile_w);
      }
      if (differs) {
        for (int32_t y = band; y < band + band_h; ++y) {
          std::memcpy(pixels + static_cast<size_t>(y) * target->pitch + static_cast<size_t>(x) * 4,
                      bgra + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * 4,
                      static_cast<size_t>(tile_w) * 4);
        }
        if (run_start < 0) run_start = x;
      } else if (run_start >= 0) {
        rects.push_back(SDL_Rect{run_start, band, x - run_start, band_h});
        run_start = -1;
      }
    }
    if (run_start >= 0) rects.push_back(SDL_Rect{run_start, band, r.right - run_start, band_h});
  }
}

// The changed tiles of every rectangle go to the window system in one update.
void PresentChanged(SDL_Surface* target, Window* record, const uint8_t* bgra, int32_t pitch,
                    std::span<const Rect> changed) {
  std::vector<SDL_Rect> rects;
  if (SDL_MUSTLOCK(target)) SDL_LockSurface(target);
  for (const Rect& r : changed) CopyChangedTiles(target, bgra, pitch, r, rects);
  if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
  if (rects.empty()) return;
  if (SDL_UpdateWindowSurfaceRects(record->handle, rects.data(), static_cast<int>(rects.size())) !=
      0) {
    record->surface_current = false;
  }
}

}  // namespace

void SdlBackend::PresentFrame(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                              int32_t pitch, uint64_t /*frame*/) {
  if (!FrameArgumentsValid(bgra, width, height, pitch)) return;
  OnMainThread([&] {
    if (Window* record = FindWindow(window)) PresentWhole(record, bgra, width, height, pitch);
  });
}

void SdlBackend::PresentFrameRects(WindowId window, const uint8_t* bgra, int32_t width,
                                   int32_t height, int32_t pitch, uint64_t /*frame*/,
                                   std::span<const Rect> changed) {
  if (!FrameArgumentsValid(bgra, width, height, pitch)) return;
  // Each rectangle cut to the frame; empty ones dropped.
  std::vector<Rect> parts;
  parts.reserve(changed.size());
  for (const Rect& c : changed) {
    const Rect r{std::max(c.left, 0), std::max(c.top, 0), std::min(c.right, width),
                 std::min(c.bottom, height)};
    if (r.left < r.right && r.top < r.bottom) parts.push_back(r);
  }
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr) return;
    SDL_Surface* target = record->surface_current ? SDL_GetWindowSurface(record->handle) : nullptr;
    if (target == nullptr || target->w != width || target->h != height ||
        !SurfaceLikeFrame(target)) {
      PresentWhole(record, bgra, width, height, pitch);
      return;
    }
    if (parts.empty()) return;  // nothing changed
    PresentChanged(target, record, bgra, pitch, parts);
  });
}

bool SdlBackend::DrawFrameInPlace(WindowId window, int32_t width, int32_t height,
                                  uint64_t /*frame*/, bool whole, FrameDrawFn draw,
                                  void* context) {
  bool drawn = false;
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr || record->bar_height != 0) return;
    SDL_Surface* target = SDL_GetWindowSurface(record->handle);
    if (target == nullptr || target->w != width || target->h != height ||
        !SurfaceLikeFrame(target)) {
      return;
    }
    // A surface that may not hold the last frame (new, converted into, resized) is drawn whole.
    const bool all = whole || !record->surface_current;
    Rect rects[kFrameDrawRects];
    if (SDL_MUSTLOCK(target)) SDL_LockSurface(target);
    const int32_t count = draw(
        context, FrameDrawTarget{static_cast<uint8_t*>(target->pixels), target->pitch, all},
        rects, kFrameDrawRects);
    if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
    drawn = true;
    if (all) {
      record->surface_current = SDL_UpdateWindowSurface(record->handle) == 0;
      return;
    }
    SDL_Rect shown[kFrameDrawRects];
    int n = 0;
    for (int32_t i = 0; i < std::min(count, kFrameDrawRects); ++i) {
      const Rect& r = rects[i];
      const int x0 = std::max(r.left, 0), y0 = std::max(r.top, 0);
      const int x1 = std::min(r.right, width), y1 = std::min(r.bottom, height);
      if (x0 < x1 && y0 < y1) shown[n++] = SDL_Rect{x0, y0, x1 - x0, y1 - y0};
    }
    if (n > 0 && SDL_UpdateWindowSurfaceRects(record->handle, shown, n) != 0) {
      record->surface_current = false;
    }
  });
  return drawn;
}

}  // namespace korvel::platform::sdl
