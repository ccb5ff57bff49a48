// Registration of the dialog, clipboard, cursor and desktop commands.
#include "commands/dialog_commands.h"

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

namespace {

// Kept across every later table reset, and stored now.
void Register(uint8_t number, CommandHandler handler) {
  SetCommandHandlerOverride(number, handler);
  g_command_handlers.slots[number] = handler;
}

}  // namespace

void RegisterDialogCommandHandlers() {
  Register(kCommandLayerQuery, RunLayerQueryCommand);
  Register(kCommandClipboardSet, RunClipboardSetCommand);
  Register(kCommandClipboardGet, RunClipboardGetCommand);
  Register(kCommandTextFile, RunTextFileCommand);
  Register(kCommandMessageBox, RunMessageBoxCommand);
  Register(kCommandCursor, RunCursorCommand);
  Register(kCommandScreenSettings, RunScreenSettingsCommand);
  Register(kCommandTray, RunTrayCommand);
  g_hooks.remove_tray_icon = RemoveTrayIcon;
}

}  // namespace korvel
