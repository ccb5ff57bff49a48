// Registers the small commands through which scripts talk to the player and the desktop.
#include "commands/desktop_command_handlers.h"

#include "commands/clipboard_commands.h"
#include "commands/cursor_command.h"
#include "commands/layer_query_command.h"
#include "commands/message_box_command.h"
#include "commands/screen_settings_command.h"
#include "commands/text_file_command.h"
#include "commands/tray_command.h"
#include "core/subsystem_hooks.h"
#include "script/command_table.h"

namespace korvel {

void RegisterDesktopCommandHandlers() {
  RegisterCommandHandler(kCommandLayerQuery, RunLayerQueryCommand);
  RegisterCommandHandler(kCommandClipboardSet, RunClipboardSetCommand);
  RegisterCommandHandler(kCommandClipboardGet, RunClipboardGetCommand);
  RegisterCommandHandler(kCommandTextFile, RunTextFileCommand);
  RegisterCommandHandler(kCommandMessageBox, RunMessageBoxCommand);
  RegisterCommandHandler(kCommandCursor, RunCursorCommand);
  RegisterCommandHandler(kCommandScreenSettings, RunScreenSettingsCommand);
  RegisterCommandHandler(kCommandTray, RunTrayCommand);
  g_hooks.remove_tray_icon = RemoveTrayIcon;
}

}  // namespace korvel
