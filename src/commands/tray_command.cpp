// Command 83: the tray icon, its tip cut to the tip field, its icon checked against 16 x 16; shown
// where the desktop has a notification area, kept as state everywhere.
#include "commands/tray_command.h"

#include "commands/cursor_command.h"
#include "core/window_record.h"
#include "layer/layer_data.h"
#include "layer/layer_paths.h"
#include "layer/layer_record.h"
#include "platform/text_encoding.h"
#include "platform/tray_icon.h"
#include "script/decoded_arguments.h"

namespace korvel {

TrayState g_tray;

namespace {

void KeepMenuNode(const char* /*node_path*/) {}

}  // namespace

TrayMenuBuilder g_tray_menu_builder = KeepMenuNode;

void InitTrayState() {
  g_tray.shown.store(false);
  g_tray.tip.clear();
  g_tray.icon_from_layer.store(false);
  g_tray.menu_node.clear();
}

void RemoveTrayIcon() {
  if (!g_tray.shown.exchange(false)) return;
  g_tray.icon_from_layer.store(false);
  platform::RemoveTrayIcon();
}

int32_t RunTrayCommand() {
  if (g_argument_decoder(kCommandTray) != 0) return -1;
  const LayerData* icon_layer = nullptr;
  if (ArgGiven(2)) {
    LayerPath path;
    if (NormalizeLayerPath(ArgText(2), &path) != 0) return -1;
    icon_layer = LayerOf(FindLayerQuiet(path.text, path.group));
    if (icon_layer == nullptr) return 0;
  }
  std::string tip = g_tray.tip;
  if (ArgGiven(1)) {
    const std::string_view text = ArgText(1);
    tip.assign(text.substr(0, platform::Cp932PrefixWithin(text, kTrayTipCapacity - 1)));
  }
  if (ArgGiven(0)) {
    if (ArgValue(0) == 1) {
      g_tray.tip = tip;
      // Without a fitting layer the program's own icon is used.
      const bool from_layer = icon_layer != nullptr &&
                              LayerFitsIcon(icon_layer, kTrayIconSide, kTrayIconSide, false);
      g_tray.icon_from_layer = from_layer;
      g_tray.shown = true;
      // Clicks go to the main window, as the icon's messages do.
      const WindowRecord* main = g_windows[0];
      platform::ShowTrayIcon(main != nullptr ? main->handle.load() : platform::kNoWindow,
                             from_layer ? icon_layer->pixels : nullptr, tip);
    } else {
      RemoveTrayIcon();
    }
  }
  if (ArgGiven(3)) {
    g_tray.menu_node = ArgText(3);
    g_tray_menu_builder(ArgText(3));
  }
  return 0;
}

}  // namespace korvel
