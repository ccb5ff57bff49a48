// SDL events as the Windows messages the engine handles: close, activation, keys (virtual-key
// codes through the keymap), mouse, wheel, dropped files, window state and joysticks. Key and
// button events also keep the keyboard snapshot.
#include <cmath>

#include "platform/sdl/sdl_keymap.h"
#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {
namespace {

// Windows keeps at most this many names of one drop.
constexpr size_t kMaxDroppedFiles = 65536;

void Post(EventKind kind, WindowId window, int32_t value = 0, int32_t x = 0, int32_t y = 0) {
  Event event;
  event.kind = kind;
  event.value = value;
  event.x = x;
  event.y = y;
  AddressEvent(&event, window);
  // The client area starts below the menu bar.
  if (const Window* record = FindWindow(window); record != nullptr && record->bar_height > 0) {
    if (kind == EventKind::kMoved) event.y += record->bar_height;
    if (kind == EventKind::kMouseMove || kind == EventKind::kMouseDown ||
        kind == EventKind::kMouseUp || kind == EventKind::kMouseWheel ||
        kind == EventKind::kDragStart || kind == EventKind::kSized) {
      event.y -= record->bar_height;
    }
  }
  PostEvent(std::move(event));
}

void OnWindowEvent(const SDL_WindowEvent& e) {
  const WindowId window = WindowFromSdlId(e.windowID);
  if (window == kNoWindow) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE: Post(EventKind::kCloseButton, window); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: Post(EventKind::kActivate, window, 1); break;
    case SDL_WINDOWEVENT_FOCUS_LOST: Post(EventKind::kActivate, window, 0); break;
    case SDL_WINDOWEVENT_MINIMIZED: Post(EventKind::kMinimize, window); break;
    case SDL_WINDOWEVENT_MAXIMIZED: Post(EventKind::kMaximize, window); break;
    case SDL_WINDOWEVENT_RESTORED: Post(EventKind::kRestore, window); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      if (Window* record = FindWindow(window)) record->surface_current = false;
      Post(EventKind::kSized, window, 0, e.data1, e.data2);
      break;
    case SDL_WINDOWEVENT_MOVED: Post(EventKind::kMoved, window, 0, e.data1, e.data2); break;
    case SDL_WINDOWEVENT_EXPOSED:
      if (Window* record = FindWindow(window)) record->surface_current = false;
      Post(EventKind::kExposed, window);
      break;
    case SDL_WINDOWEVENT_HIT_TEST:
      Post(EventKind::kDragStart, window, 1, g_sdl.drag_x, g_sdl.drag_y);
      break;
    default: break;
  }
}

// Shift, Control and Alt: the sided code and the generic one, which stays down while either side
// is down. The event carries the generic code, as WM_KEYDOWN does.
void OnKey(const SDL_KeyboardEvent& e) {
  const int vk = VirtualKeyFromSdl(e.keysym.scancode, e.keysym.sym, g_sdl.japanese_layout);
  if (vk == 0) return;
  const bool down = e.type == SDL_KEYDOWN;
  int reported = vk;
  if (e.repeat == 0) NoteKeyTransition(vk, down);
  if (const int generic = GenericModifierKey(vk)) {
    reported = generic;
    uint8_t keys[256];
    GetKeyboardState(keys);
    const int other = vk ^ 1;  // the other side: 0xA0 <-> 0xA1 and so on
    const bool any_down = down || (keys[other] & 0x80) != 0;
    if (e.repeat == 0 && any_down != ((keys[generic] & 0x80) != 0)) {
      NoteKeyTransition(generic, any_down);
    }
  }
  Post(down ? EventKind::kKeyDown : EventKind::kKeyUp, WindowFromSdlId(e.windowID), reported);
}

int ButtonKey(uint8_t button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 4;
    default: return 0;
  }
}

void OnMouseButton(const SDL_MouseButtonEvent& e) {
  const int vk = ButtonKey(e.button);
  if (vk == 0 || e.which == SDL_TOUCH_MOUSEID) return;
  const bool down = e.type == SDL_MOUSEBUTTONDOWN;
  NoteKeyTransition(vk, down);
  Post(down ? EventKind::kMouseDown : EventKind::kMouseUp, WindowFromSdlId(e.windowID), vk, e.x,
       e.y);
}

void OnWheel(const SDL_MouseWheelEvent& e) {
  float notches = e.preciseY;
  if (e.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
  const long delta = std::lround(static_cast<double>(notches) * 120.0);
  if (delta == 0) return;
  const int32_t clamped =
      static_cast<int32_t>(delta < -32768 ? -32768 : delta > 32767 ? 32767 : delta);
  int x = 0, y = 0;
  SDL_GetMouseState(&x, &y);
  Post(EventKind::kMouseWheel, WindowFromSdlId(e.windowID), clamped, x, y);
}

void OnDrop(const SDL_DropEvent& e) {
  if (e.type == SDL_DROPBEGIN) {
    g_sdl.drop_paths.clear();
    g_sdl.drop_window = WindowFromSdlId(e.windowID);
  } else if (e.type == SDL_DROPFILE && e.file != nullptr) {
    if (g_sdl.drop_window == kNoWindow) g_sdl.drop_window = WindowFromSdlId(e.windowID);
    if (g_sdl.drop_paths.size() < kMaxDroppedFiles) g_sdl.drop_paths.emplace_back(e.file);
  } else if (e.type == SDL_DROPCOMPLETE) {
    const WindowId window = g_sdl.drop_window;
    const Window* record = FindWindow(window);
    if (record != nullptr && record->accept_drops && !g_sdl.drop_paths.empty()) {
      Event event;
      event.kind = EventKind::kDropFiles;
      AddressEvent(&event, window);
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      event.x = x;
      event.y = y - record->bar_height;
      event.paths = std::move(g_sdl.drop_paths);
      PostEvent(std::move(event));
    }
    g_sdl.drop_paths.clear();
    g_sdl.drop_window = kNoWindow;
  }
  if (e.file != nullptr) SDL_free(e.file);
}

int JoystickSlot(SDL_JoystickID id) {
  for (int i = 0; i < kMaxJoysticks; ++i) {
    if (g_sdl.joysticks[i].handle != nullptr && g_sdl.joysticks[i].id == id) return i;
  }
  return -1;
}

// Opens a plugged joystick into the first free slot and takes its present position (SDL sends
// motion events only for later changes). A device already open keeps its slot.
void OnJoystickAdded(int device_index) {
  const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(device_index);
  if (id >= 0 && JoystickSlot(id) >= 0) return;
  for (int i = 0; i < kMaxJoysticks; ++i) {
    if (g_sdl.joysticks[i].handle != nullptr) continue;
    SDL_Joystick* handle = SDL_JoystickOpen(device_index);
    if (handle == nullptr) return;
    g_sdl.joysticks[i] = Joystick{handle, SDL_JoystickInstanceID(handle)};
    NoteJoystickPlugged(i, true);
    const int axes = SDL_JoystickNumAxes(handle);
    for (int axis = 0; axis < 2 && axis < axes; ++axis) {
      NoteJoystickAxis(i, axis, SDL_JoystickGetAxis(handle, axis));
    }
    const int buttons = SDL_JoystickNumButtons(handle);
    for (int button = 0; button < 32 && button < buttons; ++button) {
      NoteJoystickButton(i, button, SDL_JoystickGetButton(handle, button) != 0);
    }
    Post(EventKind::kJoystickAdded, kNoWindow, i);
    return;
  }
}

void OnJoystickRemoved(SDL_JoystickID id) {
  const int slot = JoystickSlot(id);
  if (slot < 0) return;
  SDL_JoystickClose(g_sdl.joysticks[slot].handle);
  g_sdl.joysticks[slot] = Joystick{};
  NoteJoystickPlugged(slot, false);
  Post(EventKind::kJoystickRemoved, kNoWindow, slot);
}

}  // namespace

void CheckKeyboardLayout() {
  g_sdl.japanese_layout = IsJapaneseLayout(SDL_GetKeyFromScancode(SDL_SCANCODE_LEFTBRACKET),
                                           SDL_GetKeyFromScancode(SDL_SCANCODE_APOSTROPHE));
}

void CloseJoysticks() {
  for (Joystick& joystick : g_sdl.joysticks) {
    if (joystick.handle != nullptr) SDL_JoystickClose(joystick.handle);
    joystick = Joystick{};
  }
}

void TranslateEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT: {
      // Only a close request of the main window can end the engine; it decides.
      for (size_t i = 0; i < g_sdl.windows.size(); ++i) {
        if (g_sdl.windows[i].handle != nullptr && g_sdl.windows[i].engine_index == 0) {
          Post(EventKind::kCloseButton, static_cast<WindowId>(i));
          break;
        }
      }
      break;
    }
    case SDL_WINDOWEVENT: OnWindowEvent(e.window); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: OnKey(e.key); break;
    case SDL_KEYMAPCHANGED: CheckKeyboardLayout(); break;
    case SDL_MOUSEMOTION:
      if (e.motion.which != SDL_TOUCH_MOUSEID) {
        Post(EventKind::kMouseMove, WindowFromSdlId(e.motion.windowID), 0, e.motion.x, e.motion.y);
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: OnMouseButton(e.button); break;
    case SDL_MOUSEWHEEL: OnWheel(e.wheel); break;
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE: OnDrop(e.drop); break;
    case SDL_JOYDEVICEADDED: OnJoystickAdded(e.jdevice.which); break;
    case SDL_JOYDEVICEREMOVED: OnJoystickRemoved(e.jdevice.which); break;
    case SDL_JOYAXISMOTION: {
      const int slot = JoystickSlot(e.jaxis.which);
      if (slot >= 0) {
        NoteJoystickAxis(slot, e.jaxis.axis, e.jaxis.value);
        Post(EventKind::kJoystickAxis, kNoWindow, slot, e.jaxis.axis, e.jaxis.value);
      }
      break;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
      const int slot = JoystickSlot(e.jbutton.which);
      if (slot >= 0) {
        NoteJoystickButton(slot, e.jbutton.button, e.jbutton.state == SDL_PRESSED);
        Post(EventKind::kJoystickButton, kNoWindow, slot, e.jbutton.button,
             e.jbutton.state == SDL_PRESSED ? 1 : 0);
      }
      break;
    }
    default: break;
  }
}

}  // namespace korvel::platform::sdl
