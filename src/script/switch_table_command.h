// Command 13 and the 128-byte switch table it sets, which other commands read.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandSwitchTable = 13;
inline constexpr int32_t kSwitchTableSize = 128;

// Entry n for command n; every entry is 1 at start-up.
struct CommandSwitchTable {
  uint8_t entries[kSwitchTableSize];
};
extern CommandSwitchTable g_command_switches;

// Entry `index` of the switch table (0 outside it).
inline uint8_t CommandSwitch(int32_t index) {
  return index >= 0 && index < kSwitchTableSize ? g_command_switches.entries[index] : 0;
}

// Parameter k + 2 sets entry k + 1 of the switch table (its low byte), k = 0..103.
int32_t RunSwitchTableCommand();

// Every switch-table entry back to 1.
void InitCommandSwitchTable();

}  // namespace korvel
