// Project options with their defaults.
#include "core/project_config.h"

namespace korvel {

ProjectConfig g_project;

void InitProjectConfig() { g_project = ProjectConfig{}; }

}  // namespace korvel
