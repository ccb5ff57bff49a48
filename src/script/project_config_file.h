// Reading the project configuration krcfg.kbn into g_project.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

struct ProjectConfig;

// Checks and applies a whole krcfg.kbn: 0, or -1 after a fatal report (901020 for a screen size or
// threaded value out of bounds, 901000 for a title longer than 128 bytes, 104070 when cut short).
int32_t ParseProjectConfig(const uint8_t* data, size_t size, ProjectConfig* config);

// Loads krcfg.kbn through the compiled-file source into g_project; 0 or -1.
int LoadProjectConfig();

}  // namespace korvel
