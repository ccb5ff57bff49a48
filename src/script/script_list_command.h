// Command 77: questions about the script-file list.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandScriptFileList = 77;

// Stores into parameter 4's element: the number of script files (parameter 1), entry n's value
// (parameter 2) or source path (parameter 0), n = parameter 3 counted from 1; else 0.
int32_t RunScriptFileListCommand();

}  // namespace korvel
