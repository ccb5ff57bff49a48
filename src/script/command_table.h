// The command handler table: one handler per command number 0..103, bound into every loaded script
// file. A handler returns 0 to let its task go on, non-zero to end the task's turn.
#pragma once

#include <cstdint>

#include "script/format_constants.h"

namespace korvel {

using CommandHandler = int32_t (*)();

struct CommandHandlerTable {
  CommandHandler slots[kCommandSlotCount];
  // The per-command wrapper used while the engine is paused.
  CommandHandler wrapper;
};

extern CommandHandlerTable g_command_handlers;

// Reports 900050 (fatal) and ends the turn.
int32_t RunUnknownCommand();
int32_t EmptyCommandHandler();

// Every slot gets the unknown-command handler, then the handlers that exist are stored.
void InitCommandHandlerTable();

// The handler that a command number binds to: numbers past the table bind to the unknown-command
// handler.
inline CommandHandler HandlerForCommand(uint8_t number) {
  return number < kCommandSlotCount ? g_command_handlers.slots[number] : RunUnknownCommand;
}

}  // namespace korvel
