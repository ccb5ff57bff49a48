// The array declaration commands: the shape comes from a variable reference evaluated in declare
// mode (subscripts collected without bounds checks), the initial value from the second record.
#include "script/declare_commands.h"

#include "core/engine_state.h"
#include "core/error_report.h"
#include "script/argument_decoder.h"
#include "script/expression_machine.h"
#include "script/scene_file.h"
#include "script/script_tasks.h"
#include "script/variables.h"

namespace korvel {

namespace {

// The record positions the handlers read.
constexpr uint32_t kShapeRecord = 1;
constexpr uint32_t kValueRecord = 2;

struct Shape {
  uint32_t number;
  int32_t dim_count;
  uint32_t dims[kMaxDimensions];
};

// Work buffer of the string declaration's initial value.
char g_declare_text[kStringBufferSize];

uint8_t TypeOf(const CommandArgRecord& r) { return r.type <= kExprTypeStringReal ? r.type : 0; }

const uint8_t* CodeOf(const ScriptTask* task, const CommandArgRecord& r) {
  return task->expressions + r.offset;
}

// Decodes the command's arguments, then reads the shape; false after a report.
bool ReadShape(int32_t command, const CommandArgRecord** value, Shape* shape) {
  if (DecodeCommandArguments(command) != 0) return false;
  uint32_t count = 0;
  const CommandArgRecord* records = CurrentRecords(&count);
  const ScriptTask* task = CurrentTask();
  if (records == nullptr || task == nullptr || count <= kValueRecord) {
    ReportScriptErrorPlain(900000, true);
    return false;
  }
  const CommandArgRecord& r = records[kShapeRecord];
  g_expr.declare_mode = 1;
  kExpressionEvaluatorTable.to_int[TypeOf(r)](CodeOf(task, r), r.length);
  g_expr.declare_mode = 0;
  if (QuitRequested()) return false;
  shape->number = g_expr.var_number;
  shape->dim_count = g_expr.sub_count;
  for (int32_t k = 0; k < kMaxDimensions; ++k) {
    shape->dims[k] = k < shape->dim_count ? static_cast<uint32_t>(g_expr.subs[k]) : 0;
  }
  // The declaration commands make script variables; system variables keep their shapes.
  if (shape->number < kFirstScriptVariable) {
    ReportScriptErrorPlain(101150, true);
    return false;
  }
  *value = &records[kValueRecord];
  return true;
}

}  // namespace

int32_t RunCommand36() {
  const CommandArgRecord* r = nullptr;
  Shape s{};
  if (!ReadShape(kCommandDeclareInt, &r, &s)) return -1;
  const int64_t value =
      kExpressionEvaluatorTable.to_int[TypeOf(*r)](CodeOf(CurrentTask(), *r), r->length);
  if (QuitRequested()) return -1;
  return FillVarIntInit(s.number, s.dim_count, s.dims, value) == 0 ? 0 : -1;
}

int32_t RunDeclareRealVarCommand() {
  const CommandArgRecord* r = nullptr;
  Shape s{};
  if (!ReadShape(kCommandDeclareReal, &r, &s)) return -1;
  const double value =
      kExpressionEvaluatorTable.to_real[TypeOf(*r)](CodeOf(CurrentTask(), *r), r->length);
  if (QuitRequested()) return -1;
  return FillVarRealInit(s.number, s.dim_count, s.dims, value) == 0 ? 0 : -1;
}

int32_t RunVariableDeclareCommand() {
  const CommandArgRecord* r = nullptr;
  Shape s{};
  if (!ReadShape(kCommandDeclareString, &r, &s)) return -1;
  g_declare_text[0] = '\0';
  const size_t length = kExpressionEvaluatorTable.to_string[TypeOf(*r)](
      g_declare_text, CodeOf(CurrentTask(), *r), r->length);
  if (QuitRequested()) return -1;
  g_declare_text[length] = '\0';
  return FillVarStringInit(s.number, s.dim_count, s.dims, g_declare_text) == 0 ? 0 : -1;
}

}  // namespace korvel
