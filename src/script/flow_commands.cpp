// Conditional blocks and counted loops. The compiler resolved every target to a command index of the
// same script file (kept in the records' length fields); the handlers keep the task's block and loop
// stacks and jump by setting the task's next command.
#include "script/flow_commands.h"

#include "core/error_report.h"
#include "script/argument_decoder.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/format_constants.h"
#include "script/script_arith.h"
#include "script/script_data.h"
#include "script/script_tasks.h"

namespace korvel {

namespace {

// At most 63 levels are open: the 64th opening is refused before anything changes.
constexpr int32_t kMaxOpenLevels = kTaskStackDepth - 1;

int32_t ReportNesting(uint8_t command) {
  ReportScriptError(101600, true, CommandName(command), kTaskStackDepth);
  return -1;
}

int32_t ReportUnmatched(uint8_t command, uint8_t opener) {
  ReportScriptError(101300, true, CommandName(command), CommandName(opener));
  return -1;
}

// A depth whose innermost level can be read.
bool HasLevel(int32_t depth) { return depth >= 1 && depth <= kTaskStackDepth; }

// The running task and its command's records (at least `needed` of them); null after a report.
ScriptTask* TaskWithRecords(uint32_t needed, const CommandArgRecord** records, uint32_t* count) {
  ScriptTask* task = CurrentTask();
  *records = CurrentRecords(count);
  if (task == nullptr || (*count < needed) || (needed > 0 && *records == nullptr)) {
    ReportScriptErrorPlain(900000, true);
    return nullptr;
  }
  return task;
}

// The level count n of commands 32, 33, 42 and 43 (parameter 0, default 1); false when below 1,
// which makes the command do nothing.
bool LevelCount(int64_t* n) {
  *n = ArgGiven(0) ? ArgValue(0) : 1;
  return *n >= 1;
}

}  // namespace

int32_t RunIfCommand() {
  const CommandArgRecord* r = nullptr;
  uint32_t count = 0;
  ScriptTask* task = TaskWithRecords(3, &r, &count);
  if (task == nullptr) return -1;
  const int32_t d = task->block_depth;
  if (d < 0 || d >= kMaxOpenLevels) return ReportNesting(kCommandIf);
  task->block_open_index[d] = g_runner.command_index;
  task->block_loop_depth[d] = static_cast<uint8_t>(task->loop_depth);
  task->block_end_target[d] = r[2].length;
  task->block_depth = static_cast<int8_t>(d + 1);
  if (EvaluateRecordInt(task, r[0]) == 0) {
    task->command_index = r[1].length != 0 ? r[1].length : r[2].length;
  }
  return 0;
}

int32_t RunElseIfCommand() {
  const CommandArgRecord* r = nullptr;
  uint32_t count = 0;
  ScriptTask* task = TaskWithRecords(0, &r, &count);
  if (task == nullptr) return -1;
  const int32_t d = task->block_depth;
  if (!HasLevel(d)) return ReportUnmatched(kCommandElseIf, kCommandIf);
  if (count == 0) return 0;  // a plain else: its branch runs
  if (count < 2) {
    ReportScriptErrorPlain(900000, true);
    return -1;
  }
  if (EvaluateRecordInt(task, r[0]) == 0) {
    task->command_index = r[1].length != 0 ? r[1].length : task->block_end_target[d - 1];
  }
  return 0;
}

int32_t RunElseCommand() {
  ScriptTask* task = CurrentTask();
  if (task == nullptr) return -1;
  const int32_t d = task->block_depth;
  if (!HasLevel(d)) return ReportUnmatched(kCommandElse, kCommandIf);
  task->command_index = task->block_end_target[d - 1];
  return 0;
}

int32_t RunBlockEndCommand() {
  ScriptTask* task = CurrentTask();
  if (task == nullptr) return -1;
  const int32_t d = task->block_depth;
  if (!HasLevel(d)) return ReportUnmatched(kCommandBlockEnd, kCommandIf);
  task->block_depth = static_cast<int8_t>(d - 1);
  task->block_end_target[d - 1] = 0;
  return 0;
}

int32_t RunBlockBreakCommand() {
  if (DecodeCommandArguments(kCommandBlockBreak) != 0) return -1;
  ScriptTask* task = CurrentTask();
  if (task == nullptr) return -1;
  int64_t n = 0;
  if (!LevelCount(&n)) return 0;
  const int32_t d = task->block_depth;
  if (!HasLevel(d) || n > d) return ReportUnmatched(kCommandBlockBreak, kCommandIf);
  const int32_t k = d - static_cast<int32_t>(n);
  // The n-th block stays open for its closing command at the end target.
  task->block_depth = static_cast<int8_t>(k + 1);
  task->command_index = task->block_end_target[k];
  task->loop_depth = static_cast<int8_t>(task->block_loop_depth[k]);
  return 0;
}

int32_t RunBlockRetestCommand() {
  if (DecodeCommandArguments(kCommandBlockRetest) != 0) return -1;
  ScriptTask* task = CurrentTask();
  if (task == nullptr) return -1;
  int64_t n = 0;
  if (!LevelCount(&n)) return 0;
  const int32_t d = task->block_depth;
  if (!HasLevel(d) || n > d) return ReportUnmatched(kCommandBlockRetest, kCommandIf);
  const int32_t k = d - static_cast<int32_t>(n);
  // The opening command tests its condition again and re-opens the block.
  task->command_index = task->block_open_index[k];
  task->loop_depth = static_cast<int8_t>(task->block_loop_depth[k]);
  task->block_depth = static_cast<int8_t>(k);
  return 0;
}

int32_t RunLoopCommand() {
  if (DecodeCommandArguments(kCommandLoop) != 0) return -1;
  const CommandArgRecord* r = nullptr;
  uint32_t count = 0;
  ScriptTask* task = TaskWithRecords(3, &r, &count);
  if (task == nullptr) return -1;
  const int32_t l = task->loop_depth;
  if (l < 0 || l >= kMaxOpenLevels) return ReportNesting(kCommandLoop);
  const int64_t times = EvaluateRecordInt(task, r[1]);
  task->loop_start_index[l] = g_runner.command_index + 1;
  task->loop_block_depth[l] = static_cast<uint8_t>(task->block_depth);
  task->loop_end_index[l] = r[2].length;
  task->loop_counter[l] = 1;
  task->loop_count[l] = times;
  task->loop_depth = static_cast<int8_t>(l + 1);
  if (times == 0) {
    // The end command closes the loop at once.
    task->loop_counter[l] = 0;
    task->loop_count[l] = 0;
    task->command_index = r[2].length;
  }
  return 0;
}

int32_t RunLoopEndCommand() {
  ScriptTask* task = CurrentTask();
  if (task == nullptr) return -1;
  const int32_t l = task->loop_depth;
  if (!HasLevel(l)) {
    ReportScriptErrorPlain(108120, true);
    return -1;
  }
  const int32_t i = l - 1;
  if (task->loop_count[i] != -1 && task->loop_counter[i] >= task->loop_count[i]) {
    task->loop_depth = static_cast<int8_t>(i);
    task->loop_counter[i] = 0;
    task->loop_count[i] = 0;
    task->loop_start_index[i] = 0;
    return 0;
  }
  task->loop_counter[i] = WrapAdd(task->loop_counter[i], 1);
  task->command_index = task->loop_start_index[i];
  task->block_depth = static_cast<int8_t>(task->loop_block_depth[i]);
  return 0;
}

namespace {

// Commands 42 and 43: to the end command of the n-th enclosing loop; a break also empties its count
// so that the end command closes it.
int32_t LeaveLoops(uint8_t command, bool break_out) {
  if (DecodeCommandArguments(command) != 0) return -1;
  ScriptTask* task = CurrentTask();
  if (task == nullptr) return -1;
  int64_t n = 0;
  if (!LevelCount(&n)) return 0;
  const int32_t l = task->loop_depth;
  if (!HasLevel(l) || n > l) return ReportUnmatched(command, kCommandLoop);
  const int32_t k = l - static_cast<int32_t>(n);
  task->loop_depth = static_cast<int8_t>(k + 1);
  task->command_index = task->loop_end_index[k];
  task->block_depth = static_cast<int8_t>(task->loop_block_depth[k]);
  if (break_out) {
    task->loop_counter[k] = 0;
    task->loop_count[k] = 0;
  }
  return 0;
}

}  // namespace

int32_t RunLoopBreakCommand() { return LeaveLoops(kCommandLoopBreak, true); }

int32_t RunLoopContinueCommand() { return LeaveLoops(kCommandLoopContinue, false); }

}  // namespace korvel
