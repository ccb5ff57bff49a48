// Command 76: screen settings and engine timer switches.
#include "commands/screen_settings_command.h"

#include "core/display_state.h"
#include "core/engine_state.h"
#include "core/engine_timers.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/project_config.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "core/window_proc.h"
#include "core/window_record.h"
#include "layer/layer_command.h"
#include "platform/platform.h"
#include "script/decoded_arguments.h"

namespace korvel {

namespace {

// Window 0 takes a new logical size: its root layer, the display size and, when windowed, the
// screen buffer, which is cleared and shown.
int32_t ApplyLogicalSize(int32_t width, int32_t height) {
  WindowRecord* main = g_windows[0];
  if (main == nullptr) return 0;
  main->logical_width = width;
  main->logical_height = height;
  g_display.display_width = width;
  g_display.display_height = height;
  if (main->root_layer != nullptr) {
    LayerCommandArgs root;
    root.Text(kLayerPath, ":W0/").Set(kLayerWidth, width).Set(kLayerHeight, height);
    if (ApplyLayerCommand(root) != 0) return -1;
  }
  if (g_display.full_screen == 0 && g_display.maximised == 0) {
    if (AllocateScreenBuffer(width, height) != 0) return -1;
    PresentScreenBuffer(0);
  }
  return 0;
}

}  // namespace

int32_t RunScreenSettingsCommand() {
  if (g_argument_decoder(kCommandScreenSettings) != 0) return -1;
  const bool size_given = ArgGiven(2) && ArgGiven(3);
  const int64_t width = ArgValue(2), height = ArgValue(3);
  const bool resize = size_given && width >= 1 && height >= 1;
  if (resize && (width > kMaxLogicalSide || height > kMaxLogicalSide)) {
    ReportImageSizeTooLarge(width, height);
    return -1;
  }
  if (ArgGiven(0)) {
    g_project.allow_screen_saver = static_cast<uint8_t>(ArgValue(0));
    ApplyScreenSaverPermission();
  }
  WindowRecord* main = g_windows[0];
  if (ArgGiven(1) && main != nullptr && main->focus.load() != 0) {
    g_keep_running_inactive.store(static_cast<uint8_t>(ArgValue(1)));
  }
  if (resize && ApplyLogicalSize(static_cast<int32_t>(width), static_cast<int32_t>(height)) != 0) {
    return -1;
  }
  for (int32_t t = 0; t < kEngineTimerCount; ++t) {
    const auto param = static_cast<uint8_t>(4 + t);
    if (ArgGiven(param)) SwitchEngineTimer(t, static_cast<uint8_t>(ArgValue(param)) != 0);
  }
  return 0;
}

}  // namespace korvel
