// Command 61: one registry value into a variable element, from the game's `registry.reg`.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

inline constexpr uint8_t kCommandRegistry = 61;

int32_t RunRegistryCommand();

// The folder that holds `registry.reg` (read once, at the first command 61 of a run; empty: the
// game folder); forgets what was read.
void ResetRegistry(const std::string& game_folder);

// Stores the handler and forgets the registry read before.
void RegisterRegistryCommandHandler();

}  // namespace korvel
