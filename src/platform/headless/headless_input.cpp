// Scripted input of headless runs: each line of the input file is applied before its frame's input
// poll, updating the keyboard snapshot and the cursor and posting the event a window would get.
#include <algorithm>

#include "platform/headless/headless_api.h"
#include "platform/headless/headless_state.h"

namespace korvel::platform::headless {
namespace {

// Posts an event addressed to window 0 (the main window); mouse events carry the cursor in its
// client coordinates.
void PostToMain(EventKind kind, int32_t value, bool with_cursor,
                std::vector<std::string> paths = {}) {
  const WindowId main = MainWindowLocked();
  Event event;
  event.kind = kind;
  event.value = value;
  AddressEventLocked(&event, main);
  if (with_cursor) {
    event.x = g_state.cursor_x;
    event.y = g_state.cursor_y;
    if (main != kNoWindow) {
      event.x = CoordinateSum(event.x, -int64_t{g_state.windows[static_cast<size_t>(main)].x});
      event.y = CoordinateSum(event.y, -int64_t{g_state.windows[static_cast<size_t>(main)].y});
    }
  }
  event.paths = std::move(paths);
  PostEvent(std::move(event));
}

void PostJoystick(EventKind kind, int32_t index, int32_t x, int32_t y) {
  Event event;
  event.kind = kind;
  event.value = index;
  event.x = x;
  event.y = y;
  PostEvent(std::move(event));
}

// The main window's client point under the cursor. Lock held.
void CursorInMainLocked(WindowId main, int32_t* x, int32_t* y) {
  *x = g_state.cursor_x;
  *y = g_state.cursor_y;
  if (main != kNoWindow) {
    *x = CoordinateSum(*x, -int64_t{g_state.windows[static_cast<size_t>(main)].x});
    *y = CoordinateSum(*y, -int64_t{g_state.windows[static_cast<size_t>(main)].y});
  }
}

void PlugJoystick(int32_t index, bool plugged) {
  NoteJoystickPlugged(index, plugged);
  PostJoystick(plugged ? EventKind::kJoystickAdded : EventKind::kJoystickRemoved, index, 0, 0);
}

// A player's click on a window button of the main window: the window changes, then the event.
void WindowButtonLocked(ShowCommand command, EventKind kind) {
  const WindowId main = MainWindowLocked();
  if (main == kNoWindow) return;
  ShowWindowLocked(main, command);
  PostToMain(kind, 0, false);
}

// `drag`: the press fell on a drag area, so the window system takes it (as SDL's hit test does).
void ApplyLocked(const InputLine& line, bool drag) {
  switch (line.action) {
    case InputAction::kKeyDown:
    case InputAction::kKeyUp: {
      const bool down = line.action == InputAction::kKeyDown;
      NoteKeyTransition(line.a, down);
      PostToMain(down ? EventKind::kKeyDown : EventKind::kKeyUp, line.a, false);
      break;
    }
    case InputAction::kMouseMove: {
      const WindowId main = MainWindowLocked();
      g_state.cursor_x = line.a;
      g_state.cursor_y = line.b;
      if (main != kNoWindow) {
        g_state.cursor_x = CoordinateSum(line.a, g_state.windows[static_cast<size_t>(main)].x);
        g_state.cursor_y = CoordinateSum(line.b, g_state.windows[static_cast<size_t>(main)].y);
      }
      PostToMain(EventKind::kMouseMove, 0, true);
      break;
    }
    case InputAction::kMouseDown:
    case InputAction::kMouseUp: {
      const bool down = line.action == InputAction::kMouseDown;
      if (drag) {
        PostToMain(EventKind::kDragStart, 1, true);
        break;
      }
      NoteKeyTransition(line.a, down);
      PostToMain(down ? EventKind::kMouseDown : EventKind::kMouseUp, line.a, true);
      break;
    }
    case InputAction::kWheel:
      PostToMain(EventKind::kMouseWheel, line.a, true);
      break;
    case InputAction::kFocusLost:
    case InputAction::kFocusGained: {
      const bool gained = line.action == InputAction::kFocusGained;
      const WindowId main = MainWindowLocked();
      g_state.active = gained ? main : kNoWindow;
      PostToMain(EventKind::kActivate, gained ? 1 : 0, false);
      break;
    }
    case InputAction::kClose:
      PostToMain(EventKind::kCloseButton, 0, false);
      break;
    case InputAction::kMenuBar:
      PostToMain(EventKind::kMenuBarChoice, line.a, false);
      break;
    case InputAction::kDrop:
      PostToMain(EventKind::kDropFiles, 0, true, line.paths);
      break;
    case InputAction::kJoyAxis:
      NoteJoystickAxis(line.a, line.b, line.c);
      PostJoystick(EventKind::kJoystickAxis, line.a, line.b, line.c);
      break;
    case InputAction::kJoyButton:
      NoteJoystickButton(line.a, line.b, line.c != 0);
      PostJoystick(EventKind::kJoystickButton, line.a, line.b, line.c);
      break;
    case InputAction::kJoyAdded:
    case InputAction::kJoyRemoved:
      PlugJoystick(line.a, line.action == InputAction::kJoyAdded);
      break;
    case InputAction::kMinimize:
      WindowButtonLocked(ShowCommand::kMinimize, EventKind::kMinimize);
      break;
    case InputAction::kMaximize:
      WindowButtonLocked(ShowCommand::kMaximize, EventKind::kMaximize);
      break;
    case InputAction::kRestore:
      WindowButtonLocked(ShowCommand::kRestore, EventKind::kRestore);
      break;
  }
}

}  // namespace

void ApplyInput(uint64_t frame) {
  // Lines of frames that were never begun are applied with the next frame, in order. The drag test
  // is the engine's code: it runs without the lock.
  for (;;) {
    InputLine line;
    DragTest test = nullptr;
    WindowId main = kNoWindow;
    int32_t x = 0, y = 0;
    {
      std::lock_guard lock(g_state.mutex);
      if (g_state.next_input >= g_state.input.size() ||
          g_state.input[g_state.next_input].frame > frame) {
        return;
      }
      line = g_state.input[g_state.next_input++];
      if (line.action == InputAction::kMouseDown && line.a == 1) {
        test = g_state.drag_test;
        main = MainWindowLocked();
        CursorInMainLocked(main, &x, &y);
      }
    }
    const bool drag = test != nullptr && main != kNoWindow && test(main, x, y);
    std::lock_guard lock(g_state.mutex);
    ApplyLocked(line, drag);
  }
}

}  // namespace korvel::platform::headless

namespace korvel::platform {

bool QueueHeadlessInput(std::string_view text, std::string* error) {
  using namespace headless;
  InputLine line;
  bool empty = false;
  if (!ParseInputLine(text, &line, &empty, error)) return false;
  if (empty) return true;
  std::lock_guard lock(g_state.mutex);
  // Keep the pending part sorted by frame; equal frames keep the order of arrival.
  auto pending_begin = g_state.input.begin() + static_cast<std::ptrdiff_t>(g_state.next_input);
  auto at = std::upper_bound(pending_begin, g_state.input.end(), line.frame,
                             [](uint64_t f, const InputLine& l) { return f < l.frame; });
  g_state.input.insert(at, std::move(line));
  return true;
}

}  // namespace korvel::platform
