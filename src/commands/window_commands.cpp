// Commands 88, 89 and 90.
#include "commands/window_commands.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "commands/window_shape.h"
#include "core/display_state.h"
#include "core/engine_window.h"
#include "core/error_report.h"
#include "core/gpu_requests.h"
#include "core/project_config.h"
#include "core/window_proc.h"
#include "core/window_record.h"
#include "layer/dirty_rects.h"
#include "layer/layer_paths.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "render/drawing_mode.h"
#include "render/full_screen.h"
#include "render/monitor_table.h"
#include "render/screen_state.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace korvel {

namespace {

int32_t NoMenuBar(const char* /*menu_name*/, int32_t /*window*/) { return 0; }

constexpr int32_t kErrorOutOfRange = 101000;
constexpr int32_t kErrorNoSuchLayer = 101250;
constexpr int32_t kErrorBadWindowValue = 101310;
constexpr int32_t kErrorNoTitle = 101320;
constexpr int32_t kErrorHideMainWindow = 101330;
constexpr int32_t kMaxLogicalSide = 8192;
constexpr int32_t kDefaultExtraSide = 128;
constexpr size_t kMaxTitle = 260;

// Parameters of command 88.
enum : uint8_t {
  kWindowNumber = 0, kTitle = 1, kDisplayValue = 2, kShowFirst = 3, kX = 4, kY = 5, kZOrder = 6,
  kWidth = 7, kHeight = 8, kDisplayWidth = 9, kDisplayHeight = 10, kForeground = 11,
  kMaximizeBox = 12, kFullScreen = 13, kMinimize = 14, kMaximize = 15, kMainFlag = 16,
  kMinimiseAllowed = 17, kState = 18, kFlashCount = 19, kFlashFlags = 20, kRootLayer = 21,
  kMenuName = 22, kShapeLayer = 23, kPickLayer = 24, kResizable = 25,
};

void ReportRange(uint8_t command, uint8_t param, int64_t value, int64_t low, int64_t high) {
  ReportScriptError(kErrorOutOfRange, true, CommandName(command), ParameterName(command, param),
                    value, low, high);
}

// The window number of parameter 0 (0 when absent); -1 after 101000.
int32_t WindowNumber(uint8_t command) {
  const int64_t w = ArgValue(kWindowNumber);
  if (w < 0 || w >= kWindowCount) {
    ReportRange(command, kWindowNumber, w, 0, kWindowCount - 1);
    return -1;
  }
  return static_cast<int32_t>(w);
}

bool IsOpen(const WindowRecord* w) {
  return w != nullptr && w->handle != platform::kNoWindow &&
         (w->index == 0 || g_window_slots[w->index] != -1);
}

// A text cut to `limit` bytes without splitting a double-byte character.
std::string CutText(const char* text, size_t limit) {
  return std::string(text, platform::Cp932PrefixWithin(text, limit));
}

void CopyText(char (&out)[261], const std::string& text) {
  const size_t n = std::min(text.size(), sizeof(out) - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// A layer named by a parameter: the image layer, else the group; null after 101250.
NamedTreeNode* NamedLayer(uint8_t param) {
  const char* text = ArgText(param);
  LayerPath path{};
  NamedTreeNode* node = NormalizeLayerPath(text, &path) == 0 ? FindLayerOrGroup(path) : nullptr;
  if (node == nullptr) {
    ReportScriptError(kErrorNoSuchLayer, true, CommandName(kCommandWindow), std::string(text));
    return nullptr;
  }
  return node;
}

// The layer's whole area changes: marked up the tree and redrawn whole.
void MarkWhole(NamedTreeNode* node) {
  LayerData* l = LayerOf(node);
  if (l == nullptr) return;
  l->resized = 1;
  l->needs_redraw = 1;
  SetWholeFrameRect(l);
  MarkSubtreeWhollyChanged(node);
  MarkDirtyUpward(node);
}

// Whether another window than `except` has `layer` as its root.
bool RootOfAnother(const LayerData* layer, int32_t except) {
  for (const WindowRecord* w : g_windows) {
    if (w != nullptr && w->index != except && w->root_layer != nullptr &&
        LayerOf(w->root_layer) == layer) {
      return true;
    }
  }
  return false;
}

bool FullOrMaximised() { return g_display.full_screen != 0 || g_display.maximised != 0; }

// A new client size, the outer rectangle's top-left corner kept.
void ResizeClient(WindowRecord* w, int32_t width, int32_t height) {
  platform::Rect before;
  const bool known = platform::GetWindowRect(w->handle, &before);
  platform::SetWindowClientSize(w->handle, width, height);
  if (known) platform::SetWindowPosition(w->handle, before.left, before.top);
  ++w->size_changes;
}

int32_t OpenWindow(WindowRecord* w, int32_t number) {
  if (!ArgGiven(kTitle)) {
    ReportScriptError(kErrorNoTitle, true, CommandName(kCommandWindow),
                      ParameterName(kCommandWindow, kTitle));
    return -1;
  }
  w->x = w->y = 0;
  if (!ArgGiven(kWidth) || ArgValue(kWidth) == -1) w->logical_width = kDefaultExtraSide;
  if (!ArgGiven(kHeight) || ArgValue(kHeight) == -1) w->logical_height = kDefaultExtraSide;
  std::string title = CutText(ArgText(kTitle), kMaxTitle);
  if (title.empty()) title = " ";
  if (CreateEngineWindow(w, title.c_str()) != 1) return -1;
  if (number != 0) platform::ShowWindow(w->handle, platform::ShowCommand::kShow);
  InitWindowObject(w, title.c_str());
  g_window_slots[number] = 1;
  return 0;
}

int32_t SetRootLayer(WindowRecord* w) {
  NamedTreeNode* node = NamedLayer(kRootLayer);
  if (node == nullptr) return -1;
  if (w->root_layer != nullptr && w->root_layer != node) {
    LayerData* old = LayerOf(w->root_layer);
    // A layer that still shows in another window keeps its mark.
    if (old != nullptr && !RootOfAnother(old, w->index)) old->is_window_root = 0;
  }
  w->root_layer = node;
  LayerOf(node)->is_window_root = 1;
  MarkWhole(node);
  return 0;
}

int32_t SetShape(const WindowRecord* w) {
  NamedTreeNode* node = NamedLayer(kShapeLayer);
  if (node == nullptr) return -1;
  const LayerData* l = LayerOf(node);
  std::vector<platform::Rect> rects;
  if (!BuildWindowShape(l->pixels, l->width, l->height, &rects)) return 1;  // the old shape stays
  // The shape goes to the main window, whichever window the command names.
  const WindowRecord* main = g_windows[0];
  const platform::WindowId target = IsOpen(main) ? main->handle : w->handle;
  if (!platform::SetWindowShape(target, rects)) return 1;
  return 0;
}

void SetZOrder(const WindowRecord* w, int64_t order) {
  using platform::WindowOrder;
  if (order == 1) {
    platform::SetWindowOrder(w->handle, WindowOrder::kTopmost, platform::kNoWindow);
    return;
  }
  platform::SetWindowOrder(w->handle, WindowOrder::kNotTopmost, platform::kNoWindow);
  if (order == 0) {
    platform::SetWindowOrder(w->handle, WindowOrder::kTop, platform::kNoWindow);
  } else if (order == 2) {
    platform::SetWindowOrder(w->handle, WindowOrder::kBottom, platform::kNoWindow);
  } else if (order == 3 && g_windows[0] != nullptr) {
    platform::SetWindowOrder(w->handle, WindowOrder::kBehind, g_windows[0]->handle);
  }
}

// Full screen (1) or windowed (0); the root layer is redrawn whole when the state changed.
void SetFullScreen(WindowRecord* w, bool full) {
  const uint8_t before = g_display.full_screen;
  if (full) {
    if (before != 0) return;
    g_display.full_screen = 1;
    SwitchToFullScreen();
  } else {
    if (before == 0) return;
    SwitchToWindowed();
    g_display.full_screen = 0;
    g_display.maximised = 0;
  }
  if (g_display.full_screen != before && w->root_layer != nullptr) MarkWhole(w->root_layer);
}

void SetResizableFrame(WindowRecord* w, int64_t value) {
  const uint8_t resizable = static_cast<uint8_t>(value);
  if (resizable == g_project.resizable_main_window) return;
  g_project.resizable_main_window = resizable;
  if (g_display.full_screen == 0) {
    platform::Rect outer, client;
    if (platform::GetWindowRect(w->handle, &outer) && platform::GetClientRect(w->handle, &client)) {
      g_screen.frame_extra_width = (outer.right - outer.left) - (client.right - client.left);
      g_screen.frame_extra_height = (outer.bottom - outer.top) - (client.bottom - client.top);
    }
    platform::SetWindowResizable(w->handle, resizable != 0);
  }
  if (g_drawing.gpu != 0) RequestGpuReset();
}

// The logical size (parameters 7 and 8, -1 keeping a side): the client follows when the window is
// open. A full-screen or maximised main window (`frozen`) keeps its size. -1 after 101000.
int32_t SetLogicalSize(WindowRecord* w, int32_t number, bool open, bool frozen) {
  if (!ArgGiven(kWidth) && !ArgGiven(kHeight)) return 0;
  int32_t size[2] = {w->logical_width, w->logical_height};
  const uint8_t params[2] = {kWidth, kHeight};
  for (int i = 0; i < 2; ++i) {
    if (!ArgGiven(params[i]) || ArgValue(params[i]) == -1) continue;
    const int64_t v = ArgValue(params[i]);
    if (v < 1 || v > kMaxLogicalSide) {
      ReportRange(kCommandWindow, params[i], v, 1, kMaxLogicalSide);
      return -1;
    }
    size[i] = static_cast<int32_t>(v);
  }
  if (!frozen && (size[0] != w->logical_width || size[1] != w->logical_height)) {
    w->logical_width = size[0];
    w->logical_height = size[1];
    if (open) {
      ResizeClient(w, size[0], size[1]);
      w->client_rect = platform::Rect{0, 0, size[0], size[1]};
      if (number == 0) SetWindowedDisplay(size[0], size[1]);
    }
  }
  return 0;
}

// The display size of an open window (parameters 9 and 10): the other side follows the logical
// aspect ratio, within the screen. Below 1 is ignored.
void SetDisplaySize(WindowRecord* w, int32_t number) {
  for (const uint8_t param : {kDisplayWidth, kDisplayHeight}) {
    if (!ArgGiven(param)) continue;
    const int64_t v = ArgValue(param);
    if (v < 1 || w->logical_width < 1 || w->logical_height < 1) continue;
    if (g_screen.screen_width < 1) RefreshScreenSize(w->handle);
    int32_t dw = 0, dh = 0;
    if (param == kDisplayWidth) {
      dw = static_cast<int32_t>(std::min<int64_t>(v, g_screen.screen_width));
      dh = static_cast<int32_t>(int64_t{dw} * w->logical_height / w->logical_width);
    } else {
      dh = static_cast<int32_t>(std::min<int64_t>(v, g_screen.screen_height));
      dw = static_cast<int32_t>(int64_t{dh} * w->logical_width / w->logical_height);
    }
    if (dw < 1 || dh < 1) continue;
    ResizeClient(w, dw, dh);
    if (number == 0) {
      g_display.display_width = dw;
      g_display.display_height = dh;
    }
  }
}

// The title, display value, first-frame showing and position.
void SetTitleAndPosition(WindowRecord* w) {
  if (ArgGiven(kTitle)) {
    std::string title = CutText(ArgText(kTitle), kMaxTitle);
    if (title.empty()) title = " ";
    StoreWindowTitle(w, title);
    platform::SetWindowTitle(w->handle, title);
  }
  if (ArgGiven(kDisplayValue)) w->display_value = static_cast<uint32_t>(ArgValue(kDisplayValue));
  if (ArgGiven(kShowFirst)) {
    const uint8_t show = static_cast<uint8_t>(ArgValue(kShowFirst));
    if (show != w->show_on_first_frame) {
      w->show_on_first_frame = show;
      platform::ShowWindow(w->handle,
                           show < 1 ? platform::ShowCommand::kHide : platform::ShowCommand::kShow);
    }
  }
  if (ArgGiven(kX) || ArgGiven(kY)) {
    if (ArgGiven(kX)) w->x = static_cast<int32_t>(ArgValue(kX));
    if (ArgGiven(kY)) w->y = static_cast<int32_t>(ArgValue(kY));
    platform::SetWindowPosition(w->handle, w->x, w->y);
    ++w->position_changes;
  }
}

// The z order, the main and minimise flags, the state and flashing. -1 after 101310 (the main
// window behind itself, or a main-window state above 2).
int32_t SetOrderAndState(WindowRecord* w, int32_t number) {
  if (ArgGiven(kZOrder)) {
    const int64_t order = ArgValue(kZOrder);
    if (order == 3 && number == 0) {
      ReportScriptError(kErrorBadWindowValue, true, CommandName(kCommandWindow),
                        ParameterName(kCommandWindow, kZOrder), order);
      return -1;
    }
    SetZOrder(w, order);
  }
  if (ArgGiven(kMainFlag)) w->main_flag = static_cast<uint8_t>(ArgValue(kMainFlag));
  if (ArgGiven(kMinimiseAllowed)) {
    w->minimise_allowed = static_cast<uint8_t>(ArgValue(kMinimiseAllowed));
  }
  if (ArgGiven(kState)) {
    const uint8_t state = static_cast<uint8_t>(ArgValue(kState));
    if (number == 0 && state > 2) {
      ReportScriptError(kErrorBadWindowValue, true, CommandName(kCommandWindow),
                        ParameterName(kCommandWindow, kState), int64_t{state});
      return -1;
    }
    w->state = state;
  }
  if (ArgGiven(kFlashCount) || ArgGiven(kFlashFlags)) {
    platform::FlashWindow(w->handle, static_cast<uint32_t>(ArgValue(kFlashFlags)),
                          static_cast<uint32_t>(ArgValue(kFlashCount)));
  }
  return 0;
}

// The root layer, the menu bar, the shape layer and the drag-pick layer. 0; -1 after an error;
// 1 when the shape could not be made (the old one stays).
int32_t SetLayersAndMenu(WindowRecord* w, int32_t number) {
  if (ArgGiven(kRootLayer) && SetRootLayer(w) != 0) return -1;
  if (ArgGiven(kMenuName)) {
    CopyText(w->menu_name, CutText(ArgText(kMenuName), kMaxTitle));
    if (g_rebuild_menu_bar(w->menu_name, number) != 0) return -1;
  }
  if (ArgGiven(kShapeLayer)) {
    const int32_t shaped = SetShape(w);
    if (shaped != 0) return shaped;
  }
  if (ArgGiven(kPickLayer)) {
    if (NamedLayer(kPickLayer) == nullptr) return -1;
    SetWindowDrag(true, ArgText(kPickLayer));
  }
  return 0;
}

// The maximise box, raising, full screen, minimising, maximising and the resizable frame.
void SetShowState(WindowRecord* w, int32_t number) {
  if (ArgGiven(kMaximizeBox) && g_display.full_screen == 0) {
    platform::SetWindowMaximizable(w->handle, ArgValue(kMaximizeBox) == 1);
  }
  if (ArgGiven(kForeground) && ArgValue(kForeground) == 1) platform::RaiseWindow(w->handle);
  if (ArgGiven(kFullScreen) && number == 0) {
    SetFullScreen(w, static_cast<uint8_t>(ArgValue(kFullScreen)) != 0);
  }
  if (ArgGiven(kMinimize)) {
    const int64_t v = ArgValue(kMinimize);
    if (v == 1) {
      platform::ShowWindow(w->handle, platform::ShowCommand::kMinimize);
      platform::ShowWindow(w->handle, platform::ShowCommand::kHide);
    } else if (v == 0) {
      platform::ShowWindow(w->handle, platform::ShowCommand::kRestore);
      g_display.maximised = 0;
      if (g_drawing.gpu != 0) RequestGpuReset();
      UpdateWindowMonitor(w->handle);
    }
  }
  if (ArgGiven(kMaximize)) {
    if (g_display.maximised == 0) {
      platform::ShowWindow(w->handle, platform::ShowCommand::kMaximize);
    } else {
      g_window_sizing.restore_pending = 1;
      platform::ShowWindow(w->handle, platform::ShowCommand::kRestore);
    }
  }
  if (ArgGiven(kResizable)) SetResizableFrame(w, ArgValue(kResizable));
}

}  // namespace

RebuildMenuBarFn g_rebuild_menu_bar = NoMenuBar;

// The sizes come first (a window not yet open opens at them), then the window is opened, then the
// other settings group by group; the first error ends the command.
int32_t ApplyWindowCommand() {
  const int32_t number = WindowNumber(kCommandWindow);
  if (number < 0) return -1;
  WindowRecord* w = g_windows[number];
  if (w == nullptr) return -1;
  const bool open = IsOpen(w);
  const bool frozen = number == 0 && FullOrMaximised();
  if (SetLogicalSize(w, number, open, frozen) != 0) return -1;
  if (open && !frozen) SetDisplaySize(w, number);
  if (!open && OpenWindow(w, number) != 0) return -1;
  SetTitleAndPosition(w);
  if (SetOrderAndState(w, number) != 0) return -1;
  const int32_t layers = SetLayersAndMenu(w, number);
  if (layers != 0) return layers;
  SetShowState(w, number);
  return 0;
}

int32_t ApplyHideWindowCommand() {
  if (!ArgGiven(kWindowNumber)) return 0;
  const int32_t number = WindowNumber(kCommandHideWindow);
  if (number < 0) return -1;
  if (number == 0) {
    ReportScriptError(kErrorHideMainWindow, true, CommandName(kCommandHideWindow),
                      ParameterName(kCommandHideWindow, kWindowNumber), int64_t{0});
    return -1;
  }
  const WindowRecord* w = g_windows[number];
  if (IsOpen(w)) platform::ShowWindow(w->handle, platform::ShowCommand::kHide);
  return 0;
}

int32_t ApplyWindowInfoCommand() {
  const int32_t number = WindowNumber(kCommandWindowInfo);
  if (number < 0) return -1;
  const DecodedArgument* out = FindArg(1);
  if (out == nullptr) return 0;
  const uint32_t var = out->var_number;
  const int64_t element = out->element_index;
  const VariableRecord* record = FindVariable(var);
  const uint8_t type = record != nullptr ? record->type : uint8_t{kVarUndeclared};
  WindowRecord* w = g_windows[number];
  // A closed window answers 0 or the empty text, whatever was asked.
  if (!IsOpen(w)) {
    SetVarElementEmpty(var, element);
    return 0;
  }
  const auto answer = [&](int64_t value) {
    return SetVarNumberElement(var, element, value) == -1 && type != kVarInt && type != kVarReal
               ? -1
               : 0;
  };
  platform::Rect r;
  if (ArgGiven(2)) return answer(1);
  if (ArgGiven(3)) return answer(w->display_value);
  if (ArgGiven(4)) return answer(w->show_on_first_frame);
  if (ArgGiven(5)) return answer(w->focus.load());
  if (ArgGiven(6)) {
    if (type == kVarString) SetVarStringElement(var, element, w->title);
    return 0;
  }
  if (ArgGiven(7) || ArgGiven(8)) {
    if (platform::GetWindowRect(w->handle, &r)) {
      w->x = r.left;
      w->y = r.top;
    }
    return answer(ArgGiven(7) ? w->x : w->y);
  }
  if (ArgGiven(10)) return answer(w->logical_width);
  if (ArgGiven(11)) return answer(w->logical_height);
  if (ArgGiven(12) || ArgGiven(13)) {
    if (!platform::GetClientRect(w->handle, &r)) r = platform::Rect{};
    return answer(ArgGiven(12) ? r.right - r.left : r.bottom - r.top);
  }
  if (ArgGiven(14)) {
    EnumerateMonitors();
    const WindowRecord* main = g_windows[0];
    return answer(MonitorOfWindow(main != nullptr ? main->handle.load() : platform::kNoWindow));
  }
  if (ArgGiven(15)) return answer(g_display.full_screen);
  if (ArgGiven(16)) return answer(g_display.maximised);
  if (ArgGiven(17)) return answer(platform::IsWindowMinimized(w->handle) ? 1 : 0);
  return 0;
}

namespace {

int32_t RunWindowCommand() {
  if (g_argument_decoder(kCommandWindow) != 0) return -1;
  return ApplyWindowCommand();
}

int32_t RunHideWindowCommand() {
  if (g_argument_decoder(kCommandHideWindow) != 0) return -1;
  return ApplyHideWindowCommand();
}

int32_t RunWindowInfoCommand() {
  if (g_argument_decoder(kCommandWindowInfo) != 0) return -1;
  return ApplyWindowInfoCommand();
}

}  // namespace

void RegisterWindowCommandHandlers() {
  RegisterCommandHandler(kCommandWindow, RunWindowCommand);
  RegisterCommandHandler(kCommandHideWindow, RunHideWindowCommand);
  RegisterCommandHandler(kCommandWindowInfo, RunWindowInfoCommand);
}

}  // namespace korvel
