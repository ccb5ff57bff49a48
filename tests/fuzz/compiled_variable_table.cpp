// Fuzz target: krt.kbn, the variable table header, loaded and the variable records it sizes made.
#include <cstddef>
#include <cstdint>

#include "compiled_file_run.h"
#include "script/format_constants.h"
#include "script/script_data.h"
#include "script/variables.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvel::fuzz::InitHeadlessPlatform();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  fuzz::CompiledFileRun run(kVariableTableFileName, data, size);
  if (LoadVariableTable() == 0) {
    // The highest variable number the file declares exists and no higher one does.
    const uint32_t highest = g_variables.count - 1;
    if (FindVariable(highest) == nullptr || FindVariable(highest + 1) != nullptr) __builtin_trap();
  }
  return 0;
}
