// Command 55: cursor mode, auto-hide delay, cursor switches, warp, standard and layer-made shapes.
#include "commands/cursor_command.h"

#include "core/display_state.h"
#include "core/input_state.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "core/window_record.h"
#include "layer/layer_data.h"
#include "layer/layer_paths.h"
#include "layer/layer_record.h"
#include "script/decoded_arguments.h"

namespace korvel {
namespace {

// A logical coordinate of window 0 in display pixels of its client area: scaled by the
// presentation size over the logical size, then moved by the display offset.
int32_t LogicalToClient(int64_t logical, int32_t logical_size, int32_t display_size,
                        int32_t offset) {
  int64_t v = logical;
  if (logical_size > 0 && display_size > 0 && display_size != logical_size) {
    v = logical * display_size / logical_size;
  }
  v += offset;
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

// Moves the cursor to a logical point of window 0; `axis` 0 sets x, 1 sets y, the other stays.
void WarpCursor(int axis, int64_t value) {
  WindowRecord* main = g_windows[0];
  if (main == nullptr) return;
  int32_t sx = 0, sy = 0;
  platform::GetCursorPos(&sx, &sy);
  // The client origin in screen coordinates.
  int32_t ox = 0, oy = 0;
  const platform::WindowId handle = main->handle.load();
  if (handle != platform::kNoWindow && platform::ScreenToClient(handle, &ox, &oy)) {
    ox = -ox;
    oy = -oy;
  }
  if (axis == 0) {
    main->mouse_x.store(static_cast<int32_t>(value));
    sx = LogicalToClient(value, main->logical_width, g_display.display_width, g_display.offset_x) +
         ox;
  } else {
    main->mouse_y.store(static_cast<int32_t>(value));
    sy = LogicalToClient(value, main->logical_height, g_display.display_height,
                         g_display.offset_y) +
         oy;
  }
  platform::SetCursorPos(sx, sy);
}

// Index 10: the layer's image becomes the cursor; a failure keeps the cursor there is.
int32_t SetLayerCursor(const char* path, int32_t hot_x, int32_t hot_y) {
  LayerPath normalised;
  if (NormalizeLayerPath(path, &normalised) != 0) return -1;
  const LayerData* layer = LayerOf(FindLayerQuiet(normalised.text, normalised.group));
  if (layer == nullptr) return 0;
  if (!LayerFitsIcon(layer, layer->width, layer->height, true)) return 0;
  if (!platform::SetImageCursor(layer->pixels, layer->width, layer->height, hot_x, hot_y)) {
    ShowMessageF("", Sjis("CURSOR CreateIconIndirect エラー"));
  }
  return 0;
}

}  // namespace

platform::SystemCursor StandardCursorFor(int64_t number) {
  using platform::SystemCursor;
  static constexpr SystemCursor kByNumber[] = {
      SystemCursor::kArrow,   SystemCursor::kIBeam,    SystemCursor::kWait,
      SystemCursor::kCross,   SystemCursor::kUpArrow,  SystemCursor::kSizeNwse,
      SystemCursor::kSizeNesw, SystemCursor::kSizeWe,  SystemCursor::kSizeNs,
      SystemCursor::kSizeAll, SystemCursor::kNo,       SystemCursor::kHand,
      SystemCursor::kAppStarting, SystemCursor::kHelp,
  };
  if (number < 1 || number > 13) return SystemCursor::kArrow;
  return kByNumber[number];
}

bool LayerFitsIcon(const LayerData* layer, int32_t width, int32_t height, bool cursor) {
  if (layer == nullptr || !LayerHasPixels(layer)) return false;
  if (layer->width != width || layer->height != height) {
    ShowMessageF("",
                 Sjis(cursor ? "CURSOR ERR.\r\nレイヤサイズが %dx%d ではありません。"
                             : "ICON ERR.\r\nレイヤサイズが %dx%d ではありません。"),
                 width, height);
    return false;
  }
  return true;
}

int32_t RunCursorCommand() {
  if (g_argument_decoder(kCommandCursor) != 0) return -1;
  WindowRecord* main = g_windows[0];
  if (ArgGiven(0)) {
    const int64_t mode = ArgValue(0);
    if (mode == 0) {
      RequestCursorHide();
      if (main != nullptr) main->cursor_activity.store(0);
      g_cursor.auto_hide.store(0);
      g_cursor.mode.store(0);
    } else if (mode == 1) {
      const bool activity = main != nullptr && main->cursor_activity.load() != 0;
      if (!activity && g_cursor.shown.load() == 0) RequestCursorShow();
      g_cursor.auto_hide.store(1);
      g_cursor.mode.store(1);
    } else if (mode == 2) {
      RequestCursorShow();
      if (main != nullptr) main->cursor_activity.store(0);
      g_cursor.auto_hide.store(0);
      g_cursor.mode.store(2);
    }
  }
  if (ArgGiven(1)) g_cursor.auto_hide_delay.store(static_cast<uint32_t>(ArgValue(1)));
  for (uint8_t i = 0; i < 3; ++i) {
    if (ArgGiven(static_cast<uint8_t>(2 + i)) && main != nullptr) {
      main->cursor_switches[i] = static_cast<uint8_t>(ArgValue(static_cast<uint8_t>(2 + i)));
    }
  }
  if (ArgGiven(5)) WarpCursor(0, static_cast<int32_t>(ArgValue(5)));
  if (ArgGiven(6)) WarpCursor(1, static_cast<int32_t>(ArgValue(6)));
  if (ArgGiven(7)) platform::SetSystemCursor(StandardCursorFor(ArgValue(7)));
  if (ArgGiven(10)) {
    const auto hot_x = static_cast<uint16_t>(ArgValue(8));
    const auto hot_y = static_cast<uint16_t>(ArgValue(9));
    return SetLayerCursor(ArgText(10), hot_x, hot_y);
  }
  return 0;
}

}  // namespace korvel
