// Fuzz target: krl.kbn, the label table, loaded and every label found again by its name.
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
  fuzz::CompiledFileRun run(kLabelFileName, data, size);
  g_script.script_count = 4;
  g_script.scenes.resize(4);
  if (LoadLabelTable() == 0) {
    for (size_t i = 0; i < g_script.labels.size() && i < 256; ++i) {
      const LabelRecord& label = g_script.labels[i];
      const size_t length = std::strlen(label.name);
      const int32_t found = FindLabelIndex(label.name, length);
      // Whatever the file's hashes and first indices say, a hit names this label.
      if (found >= 0 &&
          std::strcmp(g_script.labels[static_cast<size_t>(found)].name, label.name) != 0) {
        __builtin_trap();
      }
    }
    (void)FindLabelIndex(kSystemStartLabel, sizeof kSystemStartLabel - 1);
  }
  return 0;
}
