// Commands 78, 79 and 80: tasks by path in the task tree.
#include "script/task_commands.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/named_tree.h"
#include "script/task_payload.h"
#include "script/argument_decoder.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/position_code.h"
#include "script/script_data.h"
#include "script/script_tasks.h"
#include "script/value_ops.h"
#include "script/variables.h"

namespace korvel {

namespace {

constexpr char kSystemTaskName[] = "SYSTEM";

std::string_view GivenText(uint8_t param) {
  const DecodedArgument* a = FindArg(param);
  if (a == nullptr || a->text == nullptr) return {};
  return {a->text, a->text_length};
}

// Parameter 0 normalised against the task tree's base into `path` (kObjectPathCapacity bytes).
// Returns 0 for a task, 1 for a group path (it ended with '/'), -1 when the command ends (reported).
int32_t NormalizedTaskPath(char* path) {
  const std::string_view name = GivenText(0);
  const int32_t kind =
      NormalizeObjectPath(path, kObjectPathCapacity, name, g_task_tree.base_path, true);
  if (kind < 0) return -1;
  if (path[0] == '\0') {
    ReportScriptError(101293, true, name);
    return -1;
  }
  return kind;
}

// Looks the path up: true with `node` (null when missing) once the path's groups exist; false after
// the lookup's report of a missing group.
bool LookUpTask(const char* path, int32_t kind, NamedTreeNode** node) {
  *node = nullptr;
  if (FindNodeByPath(path, g_task_tree.root) == nullptr) return false;
  *node = FindObjectByPath(g_task_tree.root, path, kind == 1 ? kFindGroup : kFindLeaf);
  return true;
}

void ClearTaskArguments(ScriptTask* task) {
  for (int32_t k = 0; k < kTaskArgumentCount; ++k) {
    task->int_args[k] = 0;
    task->double_args[k] = 0.0;
    task->text_args[k] = nullptr;
  }
}

// Places the task (created when `*node` is null) at the label given by parameter 34.
int32_t PlaceAtLabel(const char* path, bool group, int64_t key, NamedTreeNode** node,
                     ScriptTask** task) {
  const std::string_view name = GivenText(34);
  const LabelRecord* label = LabelAt(FindLabelIndex(name.data() != nullptr ? name.data() : "",
                                                    name.size()));
  if (label == nullptr) {
    ReportScriptError(108180, true, name);
    return -1;
  }
  if (label->block_depth >= kTaskStackDepth || label->loop_depth >= kTaskStackDepth) {
    ReportScriptError(101600, true,
                      CommandName(label->block_depth >= kTaskStackDepth ? kCommandIf
                                                                        : kCommandLoop),
                      kTaskStackDepth);
    return -1;
  }
  // The file first: a task is neither created nor moved when it cannot be entered.
  if (LoadSceneFile(label->script_number) != 1) return -1;
  const SceneScript* scene = FindLoadedScene(label->script_number);
  if (scene == nullptr || label->command_index >= scene->command_count) {
    ReportScriptErrorPlain(900000, true);
    return -1;
  }
  if (*node == nullptr) {
    *node = CreateTreeNode(g_task_tree.root, path, group, key);
    if (*node == nullptr) return -1;
    *task = CreateScriptTask(*node);
    if (*task == nullptr) {
      DestroyTreeNode(*node, FreeTaskPayload);
      *node = nullptr;
      return -1;
    }
  }
  ScriptTask* t = *task;
  TakeSceneTables(t, scene, label->script_number);
  t->command_index = label->command_index;
  t->block_depth = static_cast<int8_t>(label->block_depth);
  t->loop_depth = static_cast<int8_t>(label->loop_depth);
  // A start is a fresh start: no call of the task's earlier life stays open.
  t->call_depth = 0;
  ClearTaskArguments(t);
  for (int32_t k = 0; k < kTaskArgumentCount; ++k) {
    t->int_args[k] = ArgValue(static_cast<uint8_t>(4 + k));
    t->double_args[k] = static_cast<double>(ArgValue(static_cast<uint8_t>(14 + k)));
  }
  return 0;
}

// Restores the task's position from the code of parameter 35; the task is untouched on failure.
int32_t RestorePosition(ScriptTask* task) {
  const std::string_view code = GivenText(35);
  TaskPosition position{};
  if (ParseTaskPositionCode(code.data() != nullptr ? code.data() : "", code.size(), &position) <= 0) {
    return -1;
  }
  if (position.script_number != task->script_number || task->command_tables == nullptr) {
    if (LoadSceneFile(position.script_number) != 1) return -1;
  }
  const SceneScript* scene = FindLoadedScene(position.script_number);
  if (scene == nullptr) return -1;
  if (position.command_index >= scene->command_count) {
    ReportErrorPlain(900000, true);
    return -1;
  }
  if (ApplyTaskPosition(task, position) != 0) return -1;
  TakeSceneTables(task, scene, position.script_number);
  return 0;
}

}  // namespace

int32_t RunTaskStartCommand() {
  if (DecodeCommandArguments(kCommandTaskStart) != 0) return -1;
  NamedTreeNode* node = g_runner.node;
  ScriptTask* task = CurrentTask();
  char path[kObjectPathCapacity] = {};
  bool group = false;
  if (ArgGiven(0)) {
    const int32_t kind = NormalizedTaskPath(path);
    if (kind < 0) return -1;
    group = kind == 1;
    if (!LookUpTask(path, kind, &node)) return -1;
    task = node != nullptr ? static_cast<ScriptTask*>(node->payload) : nullptr;
    if (node != nullptr && task == nullptr) {
      ReportScriptErrorPlain(900000, true);
      return -1;
    }
  } else if (node == nullptr || task == nullptr) {
    return -1;
  }

  int64_t key = node != nullptr ? node->order_key : 1;
  if (const DecodedArgument* order = FindArg(3)) {
    // Subtracting, multiplying and dividing never take the key below 1.
    key = ApplyValueOpMin(static_cast<uint8_t>(order->op), key, order->value, 1);
    if (node != nullptr && node->parent != nullptr) {
      NamedTreeNode* parent = node->parent;
      UnlinkTreeNode(node);
      InsertChildNode(parent, node, key);
    }
  }

  if (ArgGiven(34)) {
    if (PlaceAtLabel(path, group, key, &node, &task) != 0) return -1;
  } else if (node == nullptr) {
    ReportScriptError(101400, true, GivenText(0));
    return -1;
  }

  if (ArgGiven(1)) task->enabled = static_cast<uint8_t>(ArgValue(1));
  if (ArgGiven(2)) task->active = static_cast<uint8_t>(ArgValue(2));
  if (ArgGiven(35) && RestorePosition(task) != 0) return -1;
  if (ArgGiven(37)) g_frame.repeat_tick.store(1);
  return 0;
}

int32_t RunTaskStopCommand() {
  if (DecodeCommandArguments(kCommandTaskStop) != 0) return -1;
  if (!ArgGiven(0)) {
    ScriptTask* task = CurrentTask();
    if (task == nullptr || g_runner.node == nullptr) return -1;
    if (task->system_flag != 0) {
      ReportScriptErrorPlain(101420, true);
      return -1;
    }
    StopTaskNode(g_runner.node);
    return -1;
  }
  char path[kObjectPathCapacity] = {};
  const int32_t kind = NormalizedTaskPath(path);
  if (kind < 0) return -1;
  NamedTreeNode* node = nullptr;
  if (!LookUpTask(path, kind, &node)) return -1;
  const auto* task = node != nullptr ? static_cast<const ScriptTask*>(node->payload) : nullptr;
  if (std::strcmp(path, kSystemTaskName) == 0 || (task != nullptr && task->system_flag != 0)) {
    ReportScriptErrorPlain(101420, true);
    return -1;
  }
  if (node == nullptr) {
    ReportScriptError(101400, true, GivenText(0));
    return -1;
  }
  // Stopping the running task, or a group that holds it, ends its turn.
  const bool ends_turn = IsNodeWithin(g_runner.node, node);
  StopTaskNode(node);
  return ends_turn ? -1 : 0;
}

namespace {

uint32_t SourceLine(const ScriptTask* task, uint32_t index) {
  const SceneScript* scene = FindLoadedScene(task->script_number);
  if (scene == nullptr || task->lines == nullptr || index >= scene->command_count) return 0;
  return task->lines[index];
}

bool IsStringVariable(uint32_t number) {
  const VariableRecord* v = FindVariable(number);
  return v != nullptr && v->type == kVarString;
}

void StorePath(uint32_t number, int64_t index, uint32_t script) {
  if (!IsStringVariable(number)) return;
  const std::string_view path =
      script < g_script.script_paths.size() ? std::string_view(g_script.script_paths[script])
                                            : std::string_view();
  SetVarStringElementBytes(number, index, path.empty() ? "" : path.data(), path.size());
}

}  // namespace

int32_t RunTaskInfoCommand() {
  if (DecodeCommandArguments(kCommandTaskInfo) != 0) return -1;
  const DecodedArgument* out = FindArg(1);
  const uint32_t number = out != nullptr ? out->var_number : 0;
  const int64_t index = out != nullptr ? out->element_index : 0;
  NamedTreeNode* node = g_runner.node;
  const ScriptTask* task = CurrentTask();
  if (ArgGiven(0)) {
    char path[kObjectPathCapacity] = {};
    const int32_t kind = NormalizedTaskPath(path);
    if (kind < 0) return -1;
    if (!LookUpTask(path, kind, &node)) return -1;
    task = node != nullptr ? static_cast<const ScriptTask*>(node->payload) : nullptr;
  }
  if (task == nullptr || node == nullptr) {
    SetVarElementEmpty(number, index);
    return 0;
  }

  const CallFrame* outer =
      task->call_depth > 0 && task->call_frames != nullptr ? task->call_frames[0] : nullptr;
  const uint32_t line_index =
      task == CurrentTask() ? g_runner.command_index : task->command_index - 1;
  if (ArgGiven(2)) {
    SetVarNumberElement(number, index, 1);
  } else if (ArgGiven(3)) {
    SetVarNumberElement(number, index, task->enabled);
  } else if (ArgGiven(4)) {
    SetVarNumberElement(number, index, task->active);
  } else if (ArgGiven(5)) {
    SetVarNumberElement(number, index, node->order_key);
  } else if (ArgGiven(6)) {
    StorePath(number, index, task->script_number);
  } else if (ArgGiven(9)) {
    StorePath(number, index, outer != nullptr ? outer->caller_script : task->script_number);
  } else if (ArgGiven(8)) {
    SetVarNumberElement(number, index, SourceLine(task, line_index));
  } else if (ArgGiven(11)) {
    SetVarNumberElement(number, index,
                        outer != nullptr ? outer->caller_line : SourceLine(task, line_index));
  } else if (ArgGiven(12)) {
    SetVarNumberElement(number, index, static_cast<int32_t>(task->message_position[0]));
  } else if (ArgGiven(13)) {
    SetVarNumberElement(number, index, static_cast<int32_t>(task->message_position[1]));
  } else if (ArgGiven(16)) {
    SetVarNumberElement(number, index, task->block_depth);
  } else if (ArgGiven(17)) {
    SetVarNumberElement(number, index, task->call_depth);
  } else if (ArgGiven(18)) {
    SetVarNumberElement(number, index, task->loop_depth);
  } else if (ArgGiven(7)) {
    SetVarNumberElement(number, index, task->script_number);
  } else {
    // With both, a text destination takes the position code alone.
    if (ArgGiven(10) && !(ArgGiven(19) && IsStringVariable(number))) {
      SetVarNumberElement(number, index,
                          outer != nullptr ? outer->caller_script : task->script_number);
    }
    if (ArgGiven(19) && IsStringVariable(number)) {
      const size_t path_size = task->script_number < g_script.script_paths.size()
                                   ? g_script.script_paths[task->script_number].size()
                                   : 0;
      std::vector<char> code(kMaxPositionCodeLength + path_size);
      const int32_t n = EncodeTaskPositionCode(code.data(), code.size(), task);
      if (n < 0) return -1;
      SetVarStringElementBytes(number, index, code.data(), static_cast<size_t>(n));
    }
  }
  return 0;
}

}  // namespace korvel
