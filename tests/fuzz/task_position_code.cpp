// Fuzz target: a task position code (as save data and the task-start command hand it over),
// decoded into a task; a code that decodes is encoded again, and that encoding must decode and
// encode to itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error_report.h"
#include "core/named_tree.h"
#include "script/task_payload.h"
#include "platform/platform.h"
#include "script/position_code.h"
#include "script/script_data.h"
#include "script/script_task.h"

namespace {

// The script files a code's path and call frames may name.
void Prepare() {
  using namespace korvel;
  InitScriptData();
  g_script.script_count = 3;
  g_script.scenes.resize(3);
  g_script.script_paths = {"main.kas", "SUB\\b.kas", std::string(300, 'x') + ".kas"};
  g_script.script_values.assign(3, 0);
}

std::string Encode(const korvel::ScriptTask* task) {
  std::vector<char> buffer(korvel::kMaxPositionCodeLength + 512);
  const int32_t n = korvel::EncodeTaskPositionCode(buffer.data(), buffer.size(), task);
  if (n <= 0) __builtin_trap();  // a decoded task always has a code
  return std::string(buffer.data(), static_cast<size_t>(n));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvel::platform::InitPlatformWith(korvel::platform::BackendKind::kHeadless);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  InitErrorReporting();
  Prepare();
  NamedTreeNode* first = AllocTreeNode("first", false);
  NamedTreeNode* second = AllocTreeNode("second", false);
  ScriptTask* a = CreateScriptTask(first);
  ScriptTask* b = CreateScriptTask(second);
  if (a == nullptr || b == nullptr) __builtin_trap();
  const char* text = reinterpret_cast<const char*>(data);
  const int32_t read = DecodeTaskPositionCode(text, size, a);
  if (read > 0) {
    if (static_cast<size_t>(read) != size) __builtin_trap();
    const std::string code = Encode(a);
    if (DecodeTaskPositionCode(code.data(), code.size(), b) != static_cast<int32_t>(code.size())) {
      __builtin_trap();
    }
    if (Encode(b) != code) __builtin_trap();
  }
  DestroyTreeNode(first, FreeTaskPayload);
  DestroyTreeNode(second, FreeTaskPayload);
  ShutdownScriptData();
  InitErrorReporting();
  return 0;
}
