// Shared task helpers: records of the running command, moving between script files, call frames.
#include "script/script_tasks.h"

#include <cstring>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "script/expression_machine.h"
#include "script/script_data.h"

namespace korvel {

const CommandArgRecord* CurrentRecords(uint32_t* count) {
  *count = 0;
  const ScriptTask* task = g_runner.task;
  if (task == nullptr || task->arg_counts == nullptr) return nullptr;
  const SceneScript* scene = FindLoadedScene(task->script_number);
  if (scene == nullptr || g_runner.command_index >= scene->command_count) return nullptr;
  *count = task->arg_counts[g_runner.command_index];
  return task->first_args[g_runner.command_index];
}

int64_t EvaluateRecordInt(const ScriptTask* task, const CommandArgRecord& record) {
  return kExpressionEvaluatorTable.to_int[record.type](task->expressions + record.offset,
                                                       record.length);
}

void TakeSceneTables(ScriptTask* task, const SceneScript* scene, uint32_t number) {
  task->script_number = static_cast<uint16_t>(number);
  task->command_tables = scene->tables;
  task->arg_counts = scene->arg_counts;
  task->first_args = scene->first_args;
  task->expressions = scene->expressions;
  task->lines = scene->lines;
}

int32_t MoveTaskTo(ScriptTask* task, uint32_t number, uint32_t index) {
  number &= 0xFFFFu;
  if (number != task->script_number || task->command_tables == nullptr) {
    if (LoadSceneFile(number) != 1) return -1;
  }
  const SceneScript* scene = FindLoadedScene(number);
  if (scene == nullptr) return -1;
  if (index >= scene->command_count) {
    ReportScriptErrorPlain(900000, true);
    return -1;
  }
  TakeSceneTables(task, scene, number);
  task->command_index = index;
  return 0;
}

const LabelRecord* LabelAt(int64_t index) {
  if (index < 0 || static_cast<uint64_t>(index) >= g_script.labels.size()) return nullptr;
  return &g_script.labels[static_cast<size_t>(index)];
}

CallFrame* EnsureCallFrame(ScriptTask* task, int32_t level) {
  if (task->call_frames == nullptr || level < 0 || level >= kTaskStackDepth) return nullptr;
  CallFrame*& frame = task->call_frames[level];
  if (frame == nullptr) {
    frame = static_cast<CallFrame*>(AllocZeroed(sizeof(CallFrame)));
    if (frame == nullptr) ReportErrorPlain(100010, true);
  }
  return frame;
}

const CallFrame* CallArgumentFrame(const ScriptTask* task) {
  if (task == nullptr || task->call_frames == nullptr) return nullptr;
  const int32_t level = task->call_depth - 1;
  return level >= 0 && level < kTaskStackDepth ? task->call_frames[level] : nullptr;
}

const CallFrame* CallResultFrame(const ScriptTask* task) {
  if (task == nullptr || task->call_frames == nullptr) return nullptr;
  const int32_t level = task->call_depth;
  return level >= 0 && level < kTaskStackDepth ? task->call_frames[level] : nullptr;
}

void ClearCallValue(CallValue* value) {
  value->integer = 0;
  value->real = 0.0;
  if (value->text != nullptr) value->text[0] = '\0';
  value->given = 0;
}

bool SetCallText(CallValue* value, const char* text, size_t length) {
  if (length >= value->capacity) {
    if (length + 1 > UINT32_MAX) {
      ReportErrorPlain(100010, true);
      return false;
    }
    auto* grown = static_cast<char*>(AllocZeroed(length + 1));
    if (grown == nullptr) {
      ReportErrorPlain(100010, true);
      return false;
    }
    FreeBlock(value->text);
    value->text = grown;
    value->capacity = static_cast<uint32_t>(length + 1);
  }
  if (length != 0) std::memmove(value->text, text, length);
  value->text[length] = '\0';
  return true;
}

bool IsNodeWithin(const NamedTreeNode* node, const NamedTreeNode* ancestor) {
  for (; node != nullptr; node = node->parent) {
    if (node == ancestor) return true;
  }
  return false;
}

}  // namespace korvel
