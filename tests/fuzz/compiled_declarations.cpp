// Fuzz target: krv.kbn, the variable declarations, loaded and applied (the global ones and those of
// each script file), string initial values evaluated by the expression machine.
#include <cstddef>
#include <cstdint>

#include "compiled_file_run.h"
#include "script/format_constants.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace {

// The elements all declarations would make together: a file may legally declare many large arrays,
// so the target applies only files that stay within a bound (memory per input stays small).
int64_t TotalElements() {
  using namespace korvel;
  const std::vector<uint8_t>& file = g_script.declaration_file;
  int64_t total = 0;
  for (const size_t offset : g_script.declarations) {
    // scope u8, script u16, number u16, type u8, dimension count u8, then the dimensions (u32).
    const uint8_t dim_count = file[offset + 6];
    uint32_t dims[kMaxDimensions] = {};
    for (uint8_t k = 0; k < dim_count; ++k) {
      const uint8_t* p = &file[offset + 7 + 4 * k];
      dims[k] = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }
    // Shapes the engine refuses (a dimension of 0 or above 2^31 - 1, too many elements) make none.
    int64_t count = 1;
    for (uint8_t k = 0; k < dim_count && count != 0; ++k) {
      count = dims[k] == 0 || dims[k] > INT32_MAX ? 0 : count * dims[k];
      if (count > kMaxElementCount) count = 0;
    }
    total += count;
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvel::fuzz::InitHeadlessPlatform();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  fuzz::CompiledFileRun run(kDeclarationFileName, data, size);
  CreateVariableRecords(1100);
  g_script.script_count = 3;
  g_script.scenes.resize(3);
  if (LoadVariableDeclarations() == 0 && TotalElements() <= 1000000) {
    for (int32_t script = -1; script < 3; ++script) InitDeclaredVariables(script);
  }
  return 0;
}
