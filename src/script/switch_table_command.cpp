// Command 13: the switch table.
#include "script/switch_table_command.h"

#include "script/argument_decoder.h"
#include "script/decoded_arguments.h"

namespace korvel {

CommandSwitchTable g_command_switches{};

namespace {

// The first switch-table parameter and how many follow it.
constexpr uint8_t kFirstSwitchParam = 2;
constexpr int32_t kSwitchParamCount = 104;

}  // namespace

void InitCommandSwitchTable() {
  for (auto& entry : g_command_switches.entries) entry = 1;
}

int32_t RunSwitchTableCommand() {
  if (DecodeCommandArguments(kCommandSwitchTable) != 0) return -1;
  for (int32_t k = 0; k < kSwitchParamCount; ++k) {
    const auto param = static_cast<uint8_t>(kFirstSwitchParam + k);
    if (ArgGiven(param)) g_command_switches.entries[k + 1] = static_cast<uint8_t>(ArgValue(param));
  }
  return 0;
}

}  // namespace korvel
