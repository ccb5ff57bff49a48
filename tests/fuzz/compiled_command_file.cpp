// Fuzz target: krc.kbn, the command definitions, runtime error texts and key map, loaded and then
// read through the name lookups the runner's messages use.
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
  fuzz::CompiledFileRun run(kCommandFileName, data, size);
  if (LoadCommandTable() == 0) {
    size_t total = 0;
    for (uint32_t c = 0; c < 257; ++c) {
      total += std::strlen(CommandName(c));
      for (uint32_t p = 0; p < 257; p += 16) total += std::strlen(ParameterName(c, p));
    }
    for (const char* text : g_script.runtime_errors) total += std::strlen(text);
    (void)total;
  }
  return 0;
}
