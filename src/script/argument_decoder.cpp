// The argument decoder and the range classes of command parameters.
#include "script/argument_decoder.h"

#include <cstdlib>
#include <cstring>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/project_config.h"
#include "core/window_record.h"
#include "script/decoded_arguments.h"
#include "script/expression_machine.h"
#include "script/scene_file.h"
#include "script/script_data.h"
#include "script/task_runner.h"

namespace korvel {

namespace {

enum class RangeRule : uint8_t {
  kNone,
  kAtLeast,      // signed 64-bit value >= low (101010)
  kLow32Range,   // low 32 bits, unsigned, within low..high (101000)
  kPlusOne,      // (low 32 bits + 1) mod 2^32 <= high (101020)
  kLow32Max,     // low 32 bits <= high (101030)
  kWindowWidth,  // low 32 bits within 0..main window width - 1 (101000)
  kWindowHeight,
  kSmallIndex,   // signed: not negative (101220), below 4 (101210)
};

struct RangeClass {
  RangeRule rule;
  int64_t low;
  int64_t high;
};

constexpr RangeClass kRangeClasses[] = {
    {RangeRule::kNone, 0, 0},             // 0
    {RangeRule::kAtLeast, 0, 0},          // 1
    {RangeRule::kAtLeast, 1, 0},          // 2
    {RangeRule::kLow32Range, 0, 1},       // 3
    {RangeRule::kLow32Range, 0, 2},       // 4
    {RangeRule::kLow32Range, 0, 3},       // 5
    {RangeRule::kLow32Range, 1, 3},       // 6
    {RangeRule::kLow32Range, 0, 4},       // 7
    {RangeRule::kLow32Range, 0, 8},       // 8
    {RangeRule::kLow32Range, 1, 8},       // 9
    {RangeRule::kLow32Range, 0, 15},      // 10
    {RangeRule::kLow32Range, 0, 18},      // 11
    {RangeRule::kLow32Range, 0, 256},     // 12
    {RangeRule::kLow32Range, 1, 256},     // 13
    {RangeRule::kLow32Range, 0, 512},     // 14
    {RangeRule::kLow32Range, 0, 1024},    // 15
    {RangeRule::kLow32Range, 1, 1024},    // 16
    {RangeRule::kLow32Range, 128, 1024},  // 17
    {RangeRule::kLow32Range, 0, 2048},    // 18
    {RangeRule::kLow32Range, 1, 2048},    // 19
    {RangeRule::kLow32Range, 0, 8192},    // 20
    {RangeRule::kLow32Range, 1, 8192},    // 21
    {RangeRule::kLow32Range, 16, 8192},   // 22
    {RangeRule::kLow32Range, 128, 8192},  // 23
    {RangeRule::kPlusOne, 0, 0x1000000},  // 24
    {RangeRule::kLow32Max, 0, 0xFFFFFF},  // 25
    {RangeRule::kWindowWidth, 0, 0},      // 26
    {RangeRule::kWindowHeight, 0, 0},     // 27
    {RangeRule::kSmallIndex, 0, 3},       // 28
};
constexpr size_t kRangeClassCount = sizeof kRangeClasses / sizeof kRangeClasses[0];
static_assert(kRangeClassCount == kMaxRangeClass + 1);

int64_t MainWindowExtent(bool width) {
  const WindowRecord* main = g_windows[0];
  if (main != nullptr) return width ? main->logical_width : main->logical_height;
  return width ? g_project.screen_width : g_project.screen_height;
}

RangeClass ClassOf(uint8_t range_class) {
  if (range_class >= kRangeClassCount) return kRangeClasses[0];
  RangeClass c = kRangeClasses[range_class];
  if (c.rule == RangeRule::kWindowWidth || c.rule == RangeRule::kWindowHeight) {
    c.high = MainWindowExtent(c.rule == RangeRule::kWindowWidth) - 1;
  }
  return c;
}

void ReportRangeError(int32_t code, int32_t command, uint32_t param, int64_t value,
                      uint8_t range_class) {
  int64_t low = 0, high = 0;
  ArgumentRangeBounds(range_class, &low, &high);
  const char* name = CommandName(static_cast<uint32_t>(command));
  const char* param_name = ParameterName(static_cast<uint32_t>(command), param);
  switch (code) {
    case 101000:
      ReportScriptError(code, true, name, param_name, value, low, high);
      break;
    case 101010:
      ReportScriptError(code, true, name, param_name, value, low);
      break;
    default:
      ReportScriptError(code, true, name, param_name, value);
      break;
  }
}

void CopyReferenceRegisters(DecodedArgument* a) {
  a->var_number = g_expr.var_number;
  a->element_index = g_expr.element_index;
  a->whole = g_expr.whole;
}

int32_t Decode(int32_t command, bool call_mode) {
  std::memset(g_args.presence, 0, sizeof g_args.presence);
  g_args.count = 0;
  const ScriptTask* task = g_runner.task;
  if (task == nullptr || task->arg_counts == nullptr) return 0;
  const SceneScript* scene = FindLoadedScene(task->script_number);
  const uint32_t index = g_runner.command_index;
  if (scene == nullptr || index >= scene->command_count) return 0;
  const uint32_t count = task->arg_counts[index];
  const CommandArgRecord* records = task->first_args[index];
  const uint8_t* expressions = task->expressions;
  const uint64_t section = scene->expression_size;
  const uint8_t script_command = scene->command_numbers[index];
  g_args.count = static_cast<int32_t>(count);

  for (uint32_t p = 1; p <= count; ++p) {
    const CommandArgRecord& r = records[p - 1];
    DecodedArgument& a = g_args.at[p];
    ResetArgumentFromRecord(&a, r);
    g_args.presence[r.param] = static_cast<uint8_t>(p);

    const ParameterDefinition* def = FindParameter(static_cast<uint32_t>(command), r.param);
    const uint8_t kind = def != nullptr ? def->kind : kKindNumber;
    const uint8_t range_class = def != nullptr ? def->range_class : 0;
    const bool in_section = uint64_t{r.offset} + r.length <= section;
    if (kind == kKindRaw || IsTargetRecord(script_command, p - 1)) {
      // Flow records keep command indices in the length field: only real bytecode gets a pointer.
      a.raw = in_section ? expressions + r.offset : nullptr;
      continue;
    }
    const bool string_kind = kind == kKindString;
    const uint8_t type = string_kind && call_mode ? kExprTypeStringInt : r.type;
    if (!in_section || type < kExprTypeInt || type > kExprTypeStringReal) {
      ReportScriptErrorPlain(900000, true);
      return -1;
    }
    const uint8_t* code = expressions + r.offset;
    if (string_kind) {
      if (a.text == nullptr) {
        a.text = static_cast<char*>(std::malloc(kStringBufferSize));
        if (a.text == nullptr) {
          ReportErrorPlain(100010, true);
          return -1;
        }
      }
      a.text[0] = '\0';  // a numeric result leaves no text behind
      a.text_length = kExpressionEvaluatorTable.to_string[type](a.text, code, r.length);
    } else {
      a.value = kExpressionEvaluatorTable.to_int[type](code, r.length);
    }
    CopyReferenceRegisters(&a);
    // An evaluation error was reported and ends the run: the handler must not act on its result.
    if (QuitRequested()) return -1;
    if (range_class != 0) {
      const int32_t error = CheckArgumentRange(range_class, a.value);
      if (error != 0) {
        ReportRangeError(error, command, r.param, a.value, range_class);
        return -1;
      }
    }
  }
  return 0;
}

}  // namespace

int32_t CheckArgumentRange(uint8_t range_class, int64_t value) {
  const RangeClass c = ClassOf(range_class);
  const auto low32 = static_cast<uint32_t>(static_cast<uint64_t>(value));
  switch (c.rule) {
    case RangeRule::kNone:
      return 0;
    case RangeRule::kAtLeast:
      return value >= c.low ? 0 : 101010;
    case RangeRule::kLow32Range:
    case RangeRule::kWindowWidth:
    case RangeRule::kWindowHeight:
      return int64_t{low32} >= c.low && int64_t{low32} <= c.high ? 0 : 101000;
    case RangeRule::kPlusOne:
      return int64_t{static_cast<uint32_t>(low32 + 1u)} <= c.high ? 0 : 101020;
    case RangeRule::kLow32Max:
      return int64_t{low32} <= c.high ? 0 : 101030;
    case RangeRule::kSmallIndex:
      if (value < 0) return 101220;
      return value <= c.high ? 0 : 101210;
  }
  return 0;
}

void ArgumentRangeBounds(uint8_t range_class, int64_t* low, int64_t* high) {
  const RangeClass c = ClassOf(range_class);
  *low = c.low;
  *high = c.high;
}

void ResetArgumentFromRecord(DecodedArgument* a, const CommandArgRecord& r) {
  a->param = r.param;
  a->type = r.type;
  a->op = r.op;
  a->length = r.length;
  a->offset = r.offset;
  a->value = 0;
  a->text_length = 0;
  a->raw = nullptr;
  a->var_number = 0;
  a->element_index = 0;
  a->whole = 0;
}

int32_t DecodeCommandArguments(int32_t command) { return Decode(command, false); }

int32_t DecodeCallArguments(int32_t command) { return Decode(command, true); }

int32_t RunCommandArgsOnly() { return DecodeCommandArguments(0) != 0 ? -1 : 0; }

}  // namespace korvel
