// The assignment command: it reads its two argument records itself (no argument decoder), finds the
// element through the evaluator's reference registers and applies the operator by element type.
#include "script/assign_command.h"

#include <cstring>
#include <string_view>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/text_format.h"
#include "script/argument_decoder.h"
#include "script/decoded_arguments.h"
#include "script/element_operators.h"
#include "script/expression_machine.h"
#include "script/scene_file.h"
#include "script/script_arith.h"
#include "script/script_tasks.h"
#include "script/system_variable_writes.h"
#include "script/system_variables.h"
#include "script/variables.h"

namespace korvel {

namespace {

constexpr size_t kMaxText = kStringBufferSize - 1;

// Work buffers of the string operators: the value's text and the text being built.
struct AssignBuffers {
  char value[kStringBufferSize];
  char work[kStringBufferSize];
};
AssignBuffers g_assign{};

uint8_t TypeOf(const CommandArgRecord& r) { return r.type <= kExprTypeStringReal ? r.type : 0; }

int64_t EvaluateInt(const ScriptTask* task, const CommandArgRecord& r) {
  return kExpressionEvaluatorTable.to_int[TypeOf(r)](task->expressions + r.offset, r.length);
}

double EvaluateReal(const ScriptTask* task, const CommandArgRecord& r) {
  return kExpressionEvaluatorTable.to_real[TypeOf(r)](task->expressions + r.offset, r.length);
}

// The record's text into the value buffer; its length (0 for a number).
size_t EvaluateText(const ScriptTask* task, const CommandArgRecord& r) {
  g_assign.value[0] = '\0';
  return kExpressionEvaluatorTable.to_string[TypeOf(r)](g_assign.value,
                                                        task->expressions + r.offset, r.length);
}

// `current` followed by the value buffer's `added` bytes in the work buffer, cut to 4095 bytes on a
// character boundary; returns the length.
size_t Append(std::string_view current, size_t added) {
  const size_t kept = SjisPrefixLength(current, kMaxText);
  std::memcpy(g_assign.work, current.data(), kept);
  const size_t tail = SjisPrefixLength(std::string_view(g_assign.value, added), kMaxText - kept);
  std::memcpy(g_assign.work + kept, g_assign.value, tail);
  g_assign.work[kept + tail] = '\0';
  return kept + tail;
}

int32_t NotAssignable() {
  ReportScriptErrorPlain(101140, true);
  return -1;
}

// The records as the argument decoder would leave them (nothing is evaluated).
void PublishRecords(const CommandArgRecord* records, uint32_t count) {
  std::memset(g_args.presence, 0, sizeof g_args.presence);
  g_args.count = static_cast<int32_t>(count);
  for (uint32_t p = 1; p <= count && p <= kMaxArgumentPositions; ++p) {
    const CommandArgRecord& r = records[p - 1];
    ResetArgumentFromRecord(&g_args.at[p], r);
    g_args.presence[r.param] = static_cast<uint8_t>(p);
  }
}

int32_t AssignString(const ScriptTask* task, const CommandArgRecord& value, uint8_t op,
                     uint32_t number, int64_t index) {
  if (op > 1) return NotAssignable();
  const size_t length = EvaluateText(task, value);
  if (QuitRequested()) return -1;
  if (op == 0) {
    SetVarStringElementBytes(number, index, g_assign.value, length);
    return 0;
  }
  const char* current = GetVarStringElement(number, index);
  if (current == nullptr) return 0;  // no such element
  const size_t built = Append(current, length);
  SetVarStringElementBytes(number, index, g_assign.work, built);
  return 0;
}

int32_t AssignSystemVariable(const ScriptTask* task, const CommandArgRecord& value, uint8_t op,
                             uint32_t id, int64_t index) {
  switch (SystemVariableWriteKind(id, index)) {
    case SystemWriteKind::kInteger: {
      int64_t v = EvaluateInt(task, value);
      if (QuitRequested()) return -1;
      if (op != 0) v = ApplyIntegerOperator(op, GetSystemValueById(id, index), v);
      return WriteSystemValueById(id, index, v) == 0 ? 0 : -1;
    }
    case SystemWriteKind::kText: {
      if (op > 1) return NotAssignable();
      size_t length = EvaluateText(task, value);
      if (QuitRequested()) return -1;
      const char* text = g_assign.value;
      if (op == 1) {
        char current[kStringBufferSize];
        const size_t current_length = ReadSystemStringVariable(id, index, current);
        length = Append(std::string_view(current, current_length), length);
        text = g_assign.work;
      }
      return WriteSystemTextById(id, text, length) == 0 ? 0 : -1;
    }
    case SystemWriteKind::kNone: break;
  }
  ReportScriptErrorPlain(101150, true);
  return -1;
}

}  // namespace

int32_t RunAssignCommand() {
  uint32_t count = 0;
  const CommandArgRecord* records = CurrentRecords(&count);
  const ScriptTask* task = CurrentTask();
  if (records == nullptr || task == nullptr || count < 2) {
    ReportScriptErrorPlain(900000, true);
    return -1;
  }
  PublishRecords(records, count);
  const CommandArgRecord& target = records[0];
  const CommandArgRecord& value = records[1];
  const uint8_t op = target.op;
  if (op >= kAssignOperatorCount) return NotAssignable();

  EvaluateInt(task, target);
  if (QuitRequested()) return -1;
  const uint32_t number = g_expr.var_number;
  const int64_t index = g_expr.element_index;
  if (number < kFirstScriptVariable) return AssignSystemVariable(task, value, op, number, index);

  const VariableRecord* v = FindVariable(number);
  switch (v != nullptr ? v->type : uint8_t{kVarUndeclared}) {
    case kVarInt: {
      ElementOperand operand{};
      operand.integer = EvaluateInt(task, value);
      if (QuitRequested()) return -1;
      kElementOperatorTable[op](number, index, operand);
      return 0;
    }
    case kVarReal: {
      ElementOperand operand{};
      operand.real = EvaluateReal(task, value);
      if (QuitRequested()) return -1;
      kElementOperatorTable[kRealOperatorBase + op](number, index, operand);
      return 0;
    }
    case kVarString: return AssignString(task, value, op, number, index);
    default: return NotAssignable();
  }
}

}  // namespace korvel
