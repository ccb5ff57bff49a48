// The sound commands: 72 creates and drives a sound node, 73 deletes nodes, 74 reads a node.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandSound = 72;
inline constexpr uint8_t kCommandSoundDelete = 73;
inline constexpr uint8_t kCommandSoundInfo = 74;

int32_t RunSoundCreateCommand();
int32_t RunSoundDeleteCommand();
int32_t RunSoundInfoCommand();

// Installs the three handlers in the command table.
void RegisterSoundCommandHandlers();

}  // namespace korvel
