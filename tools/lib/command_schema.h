// The command-definition schema: the 104 command slots with each command's parameters (index,
// evaluation kind, range class). krc.kbn is written from it.
#pragma once

#include <string_view>
#include <vector>

#include "krbin_writer.h"

namespace korvel::tools {

// All 104 slots, by command number. Slots without a command have no parameters.
const std::vector<CommandSpec>& CommandSchema();

// The command number of a command name (case-insensitive), or -1.
int FindCommandByName(std::string_view name);
// The parameter index of a parameter name of a command, or -1.
int FindParameterByName(int command, std::string_view name);

}  // namespace korvel::tools
