// Small script commands: the frame rate and frame skipping (23), input polling and cursor switches
// (35), the switch table (13), the script-file list (77), and the commands whose handler only
// decodes and checks its arguments (14, 52, 53, 54, 59, 71, 84).
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandSwitchTable = 13;
inline constexpr uint8_t kCommandArgsOnly14 = 14;
inline constexpr uint8_t kCommandFrameRate = 23;
inline constexpr uint8_t kCommandCursorSettings = 35;
inline constexpr uint8_t kCommandArgsOnly52 = 52;
inline constexpr uint8_t kCommandArgsOnly53 = 53;
inline constexpr uint8_t kCommandArgsOnly54 = 54;
inline constexpr uint8_t kCommandArgsOnly59 = 59;
inline constexpr uint8_t kCommandArgsOnly71 = 71;
inline constexpr uint8_t kCommandScriptFileList = 77;
inline constexpr uint8_t kCommandArgsOnly84 = 84;

inline constexpr int32_t kSwitchTableSize = 128;
inline constexpr int32_t kMinFrameRate = 1;
inline constexpr int32_t kMaxFrameRate = 1000;

// The 128-byte switch table that command 13 sets and other commands read (entry n for command n);
// every entry is 1 at start-up.
struct CommandSwitchTable {
  uint8_t entries[kSwitchTableSize];
};
extern CommandSwitchTable g_command_switches;

// Entry `index` of the switch table (0 outside it).
inline uint8_t CommandSwitch(int32_t index) {
  return index >= 0 && index < kSwitchTableSize ? g_command_switches.entries[index] : 0;
}

// Parameter 0: frames per second (1..1000, else 101000), restarting the pacer's per-second counts;
// parameter 1: frame skipping on (non-zero) or off.
int32_t RunFrameRateCommand();
// Parameters 0 and 1 switch the keyboard and joystick polling; parameter 2 shows or hides the
// cursor through its requests.
int32_t RunCursorSettingsCommand();
// Parameter k + 2 sets entry k + 1 of the switch table (its low byte), k = 0..103.
int32_t RunSwitchTableCommand();
// Stores into parameter 4's element: the number of script files (parameter 1), entry n's value
// (parameter 2) or source path (parameter 0), n = parameter 3 counted from 1; else 0.
int32_t RunScriptFileListCommand();

int32_t RunArgsOnlyCommand14();
int32_t RunArgsOnlyCommand52();
int32_t RunArgsOnlyCommand53();
int32_t RunArgsOnlyCommand54();
int32_t RunArgsOnlyCommand59();
int32_t RunArgsOnlyCommand71();
int32_t RunArgsOnlyCommand84();

// Every switch-table entry back to 1.
void InitCommandSwitchTable();

}  // namespace korvel
