// The SDL backend's life cycle, event pump and cursor. SDL runs on the main thread; the backend's
// methods hand their SDL calls to it.
#include "platform/sdl/sdl_backend.h"

#include "platform/sdl/sdl_state.h"
#include "platform/text_encoding.h"

namespace korvel::platform::sdl {

State g_sdl;

Window* FindWindow(WindowId window) {
  if (window < 0 || static_cast<size_t>(window) >= g_sdl.windows.size()) return nullptr;
  Window& record = g_sdl.windows[static_cast<size_t>(window)];
  return record.handle != nullptr ? &record : nullptr;
}

WindowId WindowFromSdlId(uint32_t sdl_id) {
  SDL_Window* handle = SDL_GetWindowFromID(sdl_id);
  if (handle == nullptr) return kNoWindow;
  for (size_t i = 0; i < g_sdl.windows.size(); ++i) {
    if (g_sdl.windows[i].handle == handle) return static_cast<WindowId>(i);
  }
  return kNoWindow;
}

void AddressEvent(Event* event, WindowId window) {
  const Window* record = FindWindow(window);
  event->window = record != nullptr ? window : kNoWindow;
  event->engine_index = record != nullptr ? record->engine_index : -1;
}

std::string SdlText(std::string_view sjis) {
  const std::string utf8 = Cp932ToUtf8(sjis);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    out += utf8[i];
  }
  return out;
}

bool SdlBackend::Init() {
  g_sdl = State{};
  // Signals are ours (termination handlers); closing the last window is a close request, not
  // SDL_QUIT.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // The window surface is plain memory blitted by the video driver: no hidden OpenGL renderer
  // behind it that the GPU path's context would have to share the window with.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  FilterX11Errors();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    g_sdl.init_error = SDL_GetError();
    return false;
  }
  // SDL falls back to its display-less drivers by itself; they count only when asked for.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* requested = SDL_getenv("SDL_VIDEODRIVER");
  const bool displayless = driver != nullptr && (SDL_strcmp(driver, "offscreen") == 0 ||
                                                 SDL_strcmp(driver, "dummy") == 0);
  if (SDL_GetNumVideoDisplays() < 1 ||
      (displayless && (requested == nullptr || *requested == '\0'))) {
    g_sdl.init_error = displayless ? std::string("only SDL's ") + driver + " driver is available"
                                   : std::string("no display");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
    return false;
  }
  // Joysticks are read whether or not a window has the focus, as joyGetPosEx reads them.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  ResetJoystickTable();
  g_sdl.joysticks_ready = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  // Key events only; an input method would otherwise take the keys.
  SDL_StopTextInput();
  CheckKeyboardLayout();
  return true;
}

void SdlBackend::Shutdown() {
  OnMainThread([] {
    CloseTray();
    for (Window& window : g_sdl.windows) {
      if (window.handle != nullptr) {
        DetachGlDevice(window.handle);
        SDL_DestroyWindow(window.handle);
      }
    }
    CloseJoysticks();
    FreeCursors();
    ResetJoystickTable();
    if (g_sdl.joysticks_ready) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
    g_sdl = State{};
  });
}

void SdlBackend::PumpEvents() {
  if (!IsMainThread()) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) TranslateEvent(event);
  PumpTrayEvents();
}

void SdlBackend::GetCursorPos(int32_t* x, int32_t* y) {
  int sx = 0, sy = 0;
  OnMainThread([&] { SDL_GetGlobalMouseState(&sx, &sy); });
  *x = sx;
  *y = sy;
}

void SdlBackend::SetCursorPos(int32_t x, int32_t y) {
  OnMainThread([&] { SDL_WarpMouseGlobal(x, y); });
}

namespace {

// SDL's hit test: a press on a drag area becomes a window move started by the window system.
SDL_HitTestResult HitTest(SDL_Window* handle, const SDL_Point* point, void* /*data*/) {
  const DragTest test = g_sdl.drag_test;
  if (test == nullptr) return SDL_HITTEST_NORMAL;
  WindowId window = kNoWindow;
  for (size_t i = 0; i < g_sdl.windows.size(); ++i) {
    if (g_sdl.windows[i].handle == handle) window = static_cast<WindowId>(i);
  }
  const int32_t bar = window != kNoWindow ? g_sdl.windows[static_cast<size_t>(window)].bar_height : 0;
  if (window == kNoWindow || point->y < bar || !test(window, point->x, point->y - bar)) {
    return SDL_HITTEST_NORMAL;
  }
  g_sdl.drag_x = point->x;
  g_sdl.drag_y = point->y;
  return SDL_HITTEST_DRAGGABLE;
}

}  // namespace

void InstallHitTest(SDL_Window* handle) {
  SDL_SetWindowHitTest(handle, g_sdl.drag_test != nullptr ? HitTest : nullptr, nullptr);
}

void SdlBackend::SetDragTest(DragTest test) {
  OnMainThread([&] {
    g_sdl.drag_test = test;
    for (Window& window : g_sdl.windows) {
      if (window.handle != nullptr) InstallHitTest(window.handle);
    }
  });
}

void SdlBackend::AllowScreenSaver(bool allow) {
  OnMainThread([&] {
    if (allow) {
      SDL_EnableScreenSaver();
    } else {
      SDL_DisableScreenSaver();
    }
  });
}

void SdlBackend::ShowCursor(bool show) {
  OnMainThread([&] { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); });
}

}  // namespace korvel::platform::sdl

namespace korvel::platform {

SDL_Window* SdlWindowOf(WindowId window) {
  const sdl::Window* record = sdl::FindWindow(window);
  return record != nullptr ? record->handle : nullptr;
}

std::unique_ptr<Backend> MakeSdlBackend() { return std::make_unique<sdl::SdlBackend>(); }

}  // namespace korvel::platform
