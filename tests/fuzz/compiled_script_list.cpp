// Fuzz target: krt_list.kbn, the script-file list, loaded and every path read back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "compiled_file_run.h"
#include "script/format_constants.h"
#include "script/script_data.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvel::fuzz::InitHeadlessPlatform();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  fuzz::CompiledFileRun run(kScriptListFileName, data, size);
  if (LoadScriptFileList() == 0) {
    if (g_script.scenes.size() != g_script.script_count ||
        g_script.script_paths.size() != g_script.script_count) {
      __builtin_trap();
    }
    size_t total = 0;
    for (uint32_t n = 0; n <= g_script.script_count; ++n) total += std::strlen(ScriptSourcePath(n));
    (void)total;
  }
  return 0;
}
