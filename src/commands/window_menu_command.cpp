// Command 88's menu-name parameter: the window record keeps the name and its bar is rebuilt.
#include "commands/window_menu_command.h"

#include <cstring>

#include "commands/menu_bar.h"
#include "commands/menu_item.h"
#include "core/error_report.h"
#include "core/window_record.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"

namespace korvel {

int32_t RunWindowMenuCommand() {
  if (g_argument_decoder(kCommandWindowMenu) != 0) return -1;
  const int64_t w = ArgValue(0);
  if (w < 0 || w >= kWindowCount) {
    ReportScriptErrorPlain(101000, true);
    return -1;
  }
  WindowRecord* record = g_windows[w];
  if (record == nullptr || !ArgGiven(22)) return 0;
  const char* name = ArgText(22);
  const size_t n = MenuTextLength(name);
  std::memcpy(record->menu_name, name, n);
  record->menu_name[n] = '\0';
  return RebuildMenuBar(record->menu_name, static_cast<int32_t>(w)) == 0 ? 0 : -1;
}

void RegisterWindowMenuCommand() {
  SetCommandHandlerOverride(kCommandWindowMenu, RunWindowMenuCommand);
  g_command_handlers.slots[kCommandWindowMenu] = RunWindowMenuCommand;
}

}  // namespace korvel
