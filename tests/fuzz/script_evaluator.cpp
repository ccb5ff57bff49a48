// Fuzz target: expression bytecode through every evaluator entry, over a few declared variables.
#include <cstddef>
#include <cstdint>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "script/expression_machine.h"
#include "script/format_constants.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace {

void Prepare() {
  using namespace korvel;
  InitErrorReporting();
  InitScriptData();
  CreateVariableRecords(1100);
  const uint32_t dims[] = {3, 4};
  FillVarIntInit(1000, 2, dims, 5);
  FillVarRealInit(1001, 0, nullptr, 2.5);
  FillVarStringInit(1002, 1, dims, "text");
  FillVarIntInit(5, 1, dims, 1);  // a system variable
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  static bool prepared = (Prepare(), true);
  (void)prepared;
  if (size == 0) return 0;
  // The first byte picks the entry and the declare mode; the rest is bytecode.
  const uint8_t pick = data[0];
  const uint8_t* code = data + 1;
  const size_t length = size - 1;
  g_expr.declare_mode = (pick & 0x80) != 0;
  const int type = 1 + (pick & 3);
  char buffer[kStringBufferSize];
  switch ((pick >> 2) & 3) {
    case 0: kExpressionEvaluatorTable.to_int[type](code, length); break;
    case 1: kExpressionEvaluatorTable.to_real[type](code, length); break;
    case 2: kExpressionEvaluatorTable.to_real_only[type](code, length); break;
    default: kExpressionEvaluatorTable.to_string[type](buffer, code, length); break;
  }
  g_expr.declare_mode = 0;
  g_engine.quit_flag.store(0);
  return 0;
}
