// The command handler table: one handler per command number 0..103, bound into every loaded script
// file. A handler returns 0 to let its task go on, non-zero to end the task's turn.
#pragma once

#include <cstdint>

#include "script/format_constants.h"

namespace korvel {

using CommandHandler = int32_t (*)();

// Command numbers of the handlers the runner's subsystem installs (the loader's own are in
// format_constants.h).
inline constexpr uint8_t kCommandArgsOnly = 0;
inline constexpr uint8_t kCommandQuit = 12;
inline constexpr uint8_t kCommandBlockBreak = 32;
inline constexpr uint8_t kCommandBlockRetest = 33;
inline constexpr uint8_t kCommandLabelLookup = 38;
inline constexpr uint8_t kCommandLoopBreak = 42;
inline constexpr uint8_t kCommandLoopContinue = 43;
inline constexpr uint8_t kCommandTaskStart = 78;
inline constexpr uint8_t kCommandTaskStop = 79;
inline constexpr uint8_t kCommandTaskInfo = 80;
inline constexpr uint8_t kCommandWait = 87;
// The message commands (installed by the text code).
inline constexpr uint8_t kCommandMessageEnd = 64;
inline constexpr uint8_t kCommandMessageSet = 81;
inline constexpr uint8_t kCommandMessageGet = 82;
inline constexpr uint8_t kCommandMessageText = 91;
inline constexpr uint8_t kCommandMessageValue = 95;

struct CommandHandlerTable {
  CommandHandler slots[kCommandSlotCount];
  // The per-command wrapper used while the engine is paused.
  CommandHandler wrapper;
};

extern CommandHandlerTable g_command_handlers;

// Reports 900050 (fatal) and ends the turn.
int32_t RunUnknownCommand();
int32_t EmptyCommandHandler();

// Every slot gets the unknown-command handler, then the handlers that exist are stored, then the
// overrides below. Also installs the argument decoder and the system-variable readers, and resets
// the commands' engine values (switch table, text values).
void InitCommandHandlerTable();

// Tests and tools: a handler stored over slot `number` by every later InitCommandHandlerTable (null
// removes the override). Overrides stay until cleared.
void SetCommandHandlerOverride(uint8_t number, CommandHandler handler);
void ClearCommandHandlerOverrides();
// A subsystem's own handler: stored over slot `number` now and kept as an override across every
// later table reset. Numbers past the table are ignored.
void RegisterCommandHandler(uint8_t number, CommandHandler handler);

// The handler that a command number binds to: numbers past the table bind to the unknown-command
// handler.
inline CommandHandler HandlerForCommand(uint8_t number) {
  return number < kCommandSlotCount ? g_command_handlers.slots[number] : RunUnknownCommand;
}

}  // namespace korvel
