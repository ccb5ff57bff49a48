// Fuzz target: krcfg.kbn, the project configuration, loaded into the project record.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/error_report.h"
#include "core/project_config.h"
#include "fuzz_support.h"
#include "platform/platform.h"
#include "script/format_constants.h"
#include "script/project_config_file.h"
#include "script/script_data.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvel::platform::InitPlatformWith(korvel::platform::BackendKind::kHeadless);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  InitErrorReporting();
  InitProjectConfig();
  fuzz::g_served = {kProjectConfigFileName, data, size};
  SetScriptDataLoader(fuzz::ServeInput);
  if (LoadProjectConfig() == 0) {
    // The title is NUL-terminated within its buffer and the screen size is usable.
    if (std::memchr(g_project.title, 0, sizeof g_project.title) == nullptr) __builtin_trap();
    if (g_project.screen_width < 128 || g_project.screen_height < 16) __builtin_trap();
  }
  SetScriptDataLoader(nullptr);
  InitProjectConfig();
  InitErrorReporting();
  return 0;
}
