// The headless backend's life cycle: control settings at start, joysticks named by the input file,
// frame dumps and the frame limit.
#include <cinttypes>
#include <cstdio>
#include <set>

#include "platform/headless/headless_state.h"

namespace korvel::platform::headless {

State g_state;

namespace {

void ResetState() {
  std::lock_guard lock(g_state.mutex);
  g_state.windows.clear();
  g_state.active = kNoWindow;
  g_state.cursor_x = g_state.cursor_y = 0;
  g_state.cursor_shown = true;
  g_state.answers.clear();
  g_state.input.clear();
  g_state.next_input = 0;
  g_state.dump_dir.clear();
  g_state.frame_limit = 0;
  g_state.drag_test = nullptr;
  g_state.screen_saver_allowed = false;
  g_state.monitors = DefaultMonitors();
  g_state.z_top = g_state.z_bottom = 0;
  g_state.clipboard.clear();
  g_state.clipboard_has_text = false;
  g_state.cursor_shape = HeadlessCursorShape{};
  g_state.image_cursor_fails = false;
}

}  // namespace

bool HeadlessBackend::Init() {
  ResetState();
  ResetJoystickTable();
  if (!LoadControl()) {
    ResetState();
    return false;
  }
  // Joysticks that the input file uses are there from the start, unless their first line plugs
  // them in.
  std::lock_guard lock(g_state.mutex);
  std::set<int32_t> seen;
  std::set<int32_t> joysticks;
  for (const InputLine& line : g_state.input) {
    const bool joystick = line.action == InputAction::kJoyAxis ||
                          line.action == InputAction::kJoyButton ||
                          line.action == InputAction::kJoyAdded ||
                          line.action == InputAction::kJoyRemoved;
    if (!joystick || !seen.insert(line.a).second) continue;
    if (line.action != InputAction::kJoyAdded) joysticks.insert(line.a);
  }
  for (int32_t index : joysticks) {
    NoteJoystickPlugged(index, true);
    Event added;
    added.kind = EventKind::kJoystickAdded;
    added.value = index;
    PostEvent(std::move(added));
  }
  return true;
}

void HeadlessBackend::Shutdown() {
  ShutdownClock();
  ResetState();
  ResetJoystickTable();
}

uint64_t HeadlessBackend::FrameLimit() {
  std::lock_guard lock(g_state.mutex);
  return g_state.frame_limit;
}

namespace {

// The window of a live id, or null.
Window* LiveWindowLocked(WindowId window) {
  if (window < 0 || static_cast<size_t>(window) >= g_state.windows.size()) return nullptr;
  Window& w = g_state.windows[static_cast<size_t>(window)];
  return w.alive ? &w : nullptr;
}

// The dump file of a window's frame, or empty when frames are not dumped.
std::string DumpPathLocked(WindowId window, uint64_t frame) {
  if (g_state.dump_dir.empty()) return {};
  Event probe;
  AddressEventLocked(&probe, window);
  if (probe.window == kNoWindow) return {};
  char name[64];
  std::snprintf(name, sizeof name, "/w%d-%06" PRIu64 ".png", probe.engine_index, frame);
  return g_state.dump_dir + name;
}

}  // namespace

// The window keeps the picture that frames drawn in place leave (of any size: a headless window
// shows what it is given), and dumps it as PresentFrame dumps a frame.
bool HeadlessBackend::DrawFrameInPlace(WindowId window, int32_t width, int32_t height,
                                       uint64_t frame, bool whole, FrameDrawFn draw,
                                       void* context) {
  if (width < 1 || height < 1 || width > 16384 || height > 16384) return false;
  uint8_t* pixels = nullptr;
  bool all = whole;
  std::string path;
  {
    std::lock_guard lock(g_state.mutex);
    Window* w = LiveWindowLocked(window);
    if (w == nullptr || w->menu_bar_height != 0) return false;
    if (w->picture_width != width || w->picture_height != height) {
      w->picture.assign(static_cast<size_t>(width) * 4 * static_cast<size_t>(height), 0);
      w->picture_width = width;
      w->picture_height = height;
      w->picture_current = false;
    }
    all = all || !w->picture_current;
    w->picture_current = true;
    pixels = w->picture.data();
    path = DumpPathLocked(window, frame);
  }
  // Only this thread presents, so the picture stays put while it is drawn.
  Rect rects[kFrameDrawRects];
  draw(context, FrameDrawTarget{pixels, width * 4, all}, rects, kFrameDrawRects);
  std::string error;
  if (!path.empty() && !WriteFramePng(path, pixels, width, height, width * 4, &error)) {
    std::fprintf(stderr, "korvel: frame dump %s not written: %s\n", path.c_str(), error.c_str());
  }
  return true;
}

void HeadlessBackend::PresentFrame(WindowId window, const uint8_t* bgra, int32_t width,
                                   int32_t height, int32_t pitch, uint64_t frame) {
  std::string path;
  {
    std::lock_guard lock(g_state.mutex);
    if (Window* w = LiveWindowLocked(window)) w->picture_current = false;
    if (g_state.dump_dir.empty()) return;
    Event probe;
    AddressEventLocked(&probe, window);
    if (probe.window == kNoWindow) return;
    char name[64];
    std::snprintf(name, sizeof name, "/w%d-%06" PRIu64 ".png", probe.engine_index, frame);
    path = g_state.dump_dir + name;
  }
  std::string error;
  if (!WriteFramePng(path, bgra, width, height, pitch, &error)) {
    std::fprintf(stderr, "korvel: frame dump %s not written: %s\n", path.c_str(), error.c_str());
  }
}

}  // namespace korvel::platform::headless

namespace korvel::platform {

std::unique_ptr<Backend> MakeHeadlessBackend() {
  return std::make_unique<headless::HeadlessBackend>();
}

}  // namespace korvel::platform
