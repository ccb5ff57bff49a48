// Jumps, subroutine calls and returns by label, and the label test.
#include "script/call_commands.h"

#include "core/error_report.h"
#include "script/argument_decoder.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/expression_machine.h"
#include "script/format_constants.h"
#include "script/script_data.h"
#include "script/script_tasks.h"
#include "script/variables.h"

namespace korvel {

namespace {

int32_t ReportNesting(uint8_t command) {
  ReportScriptError(101600, true, CommandName(command), kTaskStackDepth);
  return -1;
}

int32_t ReportMissingLabel(const char* name) {
  ReportScriptError(108180, true, name);
  return -1;
}

// Fills the ten values of a frame from the decoded parameters: value k comes from parameter
// `int_base` + k - 1 (an integer), else `real_base` + k - 1 (its expression as a double), else
// `text_base` + k - 1 (a text). Values up to the highest given k are set or cleared with given 0,
// the rest cleared. False after a report.
bool FillCallValues(const ScriptTask* task, CallValue* values, int32_t int_base, int32_t real_base,
                    int32_t text_base) {
  int32_t m = 0;
  for (int32_t k = 1; k <= kTaskArgumentCount; ++k) {
    const auto i = static_cast<uint8_t>(int_base + k - 1);
    const auto r = static_cast<uint8_t>(real_base + k - 1);
    const auto t = static_cast<uint8_t>(text_base + k - 1);
    if (ArgGiven(i) || ArgGiven(r) || ArgGiven(t)) m = k;
  }
  for (int32_t k = 1; k <= kTaskArgumentCount; ++k) {
    CallValue* v = &values[k - 1];
    ClearCallValue(v);
    if (k > m) continue;
    const DecodedArgument* a = nullptr;
    if ((a = FindArg(static_cast<uint8_t>(int_base + k - 1))) != nullptr) {
      v->integer = a->value;
    } else if ((a = FindArg(static_cast<uint8_t>(real_base + k - 1))) != nullptr) {
      v->real = kExpressionEvaluatorTable.to_real[a->type](task->expressions + a->offset,
                                                           a->length);
    } else if ((a = FindArg(static_cast<uint8_t>(text_base + k - 1))) != nullptr) {
      if (!SetCallText(v, a->text != nullptr ? a->text : "", a->text_length)) return false;
    } else {
      continue;
    }
    v->given = 1;
  }
  return true;
}

// The label of the call: its resolved index, or its name looked up now. -1 after a report.
int64_t CallLabel() {
  const DecodedArgument* a = FindArg(0);
  if (a != nullptr) {
    const auto field = static_cast<uint16_t>((a->type & 0xFFu) | ((a->op & 0xFFu) << 8));
    if (field != 0 && LabelAt(field) != nullptr) return field;
  }
  const char* name = ArgText(0);
  const size_t length = a != nullptr ? a->text_length : 0;
  const int32_t index = FindLabelIndex(name, length);
  if (index < 0) {
    ReportMissingLabel(name);
    return -1;
  }
  return index;
}

}  // namespace

int32_t RunJumpCommand() {
  ScriptTask* task = CurrentTask();
  uint32_t count = 0;
  const CommandArgRecord* records = CurrentRecords(&count);
  if (task == nullptr || records == nullptr || count < 1) {
    ReportScriptErrorPlain(900000, true);
    return -1;
  }
  const CommandArgRecord& r = records[0];
  const LabelRecord* label = nullptr;
  if (r.length >= kResolvedLabelFlag) {
    label = LabelAt(r.length & (kResolvedLabelFlag - 1));
    if (label == nullptr) return ReportMissingLabel("");
  } else {
    char name[kStringBufferSize];
    name[0] = '\0';
    const size_t n =
        kExpressionEvaluatorTable.to_string[r.type](name, task->expressions + r.offset, r.length);
    label = LabelAt(FindLabelIndex(name, n));
    if (label == nullptr) return ReportMissingLabel(name);
  }

  int32_t block = label->block_depth;
  int32_t loop = label->loop_depth;
  // Inside a call the label's depths count from the depths at the call.
  if (const CallFrame* frame = CallArgumentFrame(task)) {
    block += frame->block_depth;
    loop += frame->loop_depth;
  }
  if (block >= kTaskStackDepth) return ReportNesting(kCommandIf);
  if (loop >= kTaskStackDepth) return ReportNesting(kCommandLoop);
  if (MoveTaskTo(task, label->script_number, label->command_index) != 0) return -1;
  task->block_depth = static_cast<int8_t>(block);
  task->loop_depth = static_cast<int8_t>(loop);
  return 0;
}

int32_t RunCallCommand() {
  if (DecodeCallArguments(kCommandCall) != 0) return -1;
  ScriptTask* task = CurrentTask();
  if (task == nullptr) return -1;
  const int32_t c = task->call_depth;
  // At most 63 calls are open.
  if (c < 0 || c + 1 >= kTaskStackDepth) return ReportNesting(kCommandCall);
  CallFrame* frame = EnsureCallFrame(task, c);
  if (frame == nullptr) return -1;
  if (!FillCallValues(task, frame->args, 1, 11, 21)) return -1;
  const LabelRecord* label = LabelAt(CallLabel());
  if (label == nullptr) return -1;

  const uint32_t here = g_runner.command_index;
  const uint16_t caller_script = task->script_number;
  const uint32_t caller_line = task->lines != nullptr ? task->lines[here] : 0;
  const int8_t block = task->block_depth;
  const int8_t loop = task->loop_depth;
  // The routine's file first: when it cannot be entered the task stays at the call.
  if (MoveTaskTo(task, label->script_number, label->command_index) != 0) return -1;
  frame->return_index = here + 1;
  frame->caller_script = caller_script;
  frame->caller_line = caller_line;
  frame->block_depth = static_cast<uint8_t>(block);
  frame->loop_depth = static_cast<uint8_t>(loop);
  task->call_depth = static_cast<int8_t>(c + 1);
  return 0;
}

int32_t RunReturnCommand() {
  if (DecodeCommandArguments(kCommandReturn) != 0) return -1;
  ScriptTask* task = CurrentTask();
  if (task == nullptr) return -1;
  const int32_t c = task->call_depth;
  if (c <= 0) {
    if (task->system_flag != 0) {
      ReportScriptError(101300, true, CommandName(kCommandReturn), CommandName(kCommandCall));
      return -1;
    }
    // Outside any call a return ends the task; the runner frees it after its pass.
    StopTaskNode(g_runner.node);
    return -1;
  }
  CallFrame* frame =
      c <= kTaskStackDepth && task->call_frames != nullptr ? task->call_frames[c - 1] : nullptr;
  if (frame == nullptr) {
    ReportScriptErrorPlain(900000, true);
    return -1;
  }
  if (!FillCallValues(task, frame->results, 0, 10, 20)) return -1;
  if (MoveTaskTo(task, frame->caller_script, frame->return_index) != 0) return -1;
  task->call_depth = static_cast<int8_t>(c - 1);
  // Back at the depths of the call, even when returning from inside a block or loop.
  task->block_depth = static_cast<int8_t>(frame->block_depth);
  task->loop_depth = static_cast<int8_t>(frame->loop_depth);
  return 0;
}

int32_t RunLabelLookupCommand() {
  if (DecodeCommandArguments(kCommandLabelLookup) != 0) return -1;
  if (!ArgGiven(2)) return 0;
  const DecodedArgument* name = FindArg(0);
  const bool found =
      FindLabelIndex(ArgText(0), name != nullptr ? name->text_length : 0) >= 0;
  const DecodedArgument* out = FindArg(1);
  SetVarNumberElement(out != nullptr ? out->var_number : 0, out != nullptr ? out->element_index : 0,
                      found ? 1 : 0);
  return 0;
}

}  // namespace korvel
