// Fuzz target: a script file as the loader reads it (structure checks, unscrambling, binding).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/error_report.h"
#include "script/format_constants.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;

int ServeInput(const char*, std::vector<uint8_t>* out) {
  out->assign(g_data, g_data + g_size);
  return 0;
}

void Prepare() {
  using namespace korvel;
  InitErrorReporting();
  InitScriptData();
  CreateVariableRecords(1100);
  // Every command number has 256 numeric parameters, so argument records pass the definition check
  // and reach the deeper checks.
  g_script.commands.resize(kCommandSlotCount);
  for (auto& c : g_script.commands) c.params.assign(256, ParameterDefinition{"p", 0, 0});
  g_script.script_count = 1;
  g_script.scenes.resize(1);
  g_script.labels.push_back(LabelRecord{"L", 0, 0, 0, 0, 0});
  SetScriptDataLoader(ServeInput);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool prepared = (Prepare(), true);
  (void)prepared;
  g_data = data;
  g_size = size;
  korvel::LoadSceneFile(0);
  korvel::g_script.scenes[0].reset();
  return 0;
}
