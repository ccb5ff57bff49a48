// krt.kbn (the variable table), krv.kbn (the variable declarations) and the declared variables'
// initial values.
#include <cstdlib>
#include <cstring>

#include "core/error_report.h"
#include "core/byte_reader.h"
#include "script/expression_machine.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace korvel {

namespace {

enum : uint8_t { kScopeGlobal = 1, kScopeScript = 2 };

struct Declaration {
  uint8_t scope;
  uint16_t script;
  uint16_t number;
  uint8_t type;
  uint8_t dim_count;
  uint32_t dims[kMaxDimensions];
  int64_t int_value;
  double real_value;
  const uint8_t* code;  // type 3: the initial value's bytecode
  uint16_t code_length;
};

// Reads one declaration; false when it is cut short or has more than eight dimensions.
bool ReadDeclaration(ByteReader* r, Declaration* d) {
  d->scope = r->U8();
  d->script = r->U16();
  d->number = r->U16();
  d->type = r->U8();
  d->dim_count = r->U8();
  if (!r->ok || d->dim_count > kMaxDimensions) return false;
  for (uint8_t k = 0; k < d->dim_count; ++k) d->dims[k] = r->U32();
  switch (d->type) {
    case kVarInt:
      d->int_value = r->I64();
      break;
    case kVarReal:
      d->real_value = r->F64();
      break;
    case kVarString:
      d->code_length = r->U16();
      d->code = r->Bytes(d->code_length);
      break;
    default:
      break;
  }
  return r->ok;
}

}  // namespace

int32_t LoadVariableTable() {
  std::vector<uint8_t> file;
  if (!LoadCompiledFile(kVariableTableFileName, &file)) return -1;
  ByteReader r(file.data(), file.size());
  r.Skip(4);
  const uint32_t format = r.U32();
  const uint32_t highest = r.U32();
  const uint32_t system_value = r.U32();
  if (!r.ok) {
    ReportMalformedFile(kVariableTableFileName, "ヘッダーが短すぎます");
    return -1;
  }
  if (format != kVariableTableFormat) {
    ReportErrorPlain(105000, true);
    return -1;
  }
  if (highest < kMinHighestVariable || highest > kMaxHighestVariable) {
    ReportMalformedFile(kVariableTableFileName, "変数の数が範囲外です (999..65535)");
    return -1;
  }
  if (CreateVariableRecords(highest + 1) != 0) return -1;
  g_variables.system_value = system_value;
  return 0;
}

int32_t LoadVariableDeclarations() {
  std::vector<uint8_t> file;
  if (!LoadCompiledFile(kDeclarationFileName, &file)) return -1;
  g_script.declaration_file = std::move(file);
  g_script.declarations.clear();
  ByteReader r(g_script.declaration_file.data(), g_script.declaration_file.size());
  r.Skip(8);
  const uint16_t count = r.U16();
  const char* why = nullptr;
  if (!r.ok) why = "ヘッダーが短すぎます";
  for (uint16_t i = 0; why == nullptr && i < count; ++i) {
    const size_t start = r.pos;
    Declaration d{};
    if (!ReadDeclaration(&r, &d)) {
      why = "変数宣言が途中で切れているか、次元が 8 を超えています";
    } else if (d.scope == kScopeScript && d.script >= g_script.script_count) {
      why = "変数宣言のスクリプト番号が範囲外です";
    } else {
      g_script.declarations.push_back(start);
    }
  }
  if (why != nullptr) {
    g_script.declarations.clear();
    ReportMalformedFile(kDeclarationFileName, why);
    return -1;
  }
  return 0;
}

int32_t InitDeclaredVariables(int32_t script) {
  char* work = static_cast<char*>(std::malloc(kStringBufferSize));
  if (work == nullptr) {
    ReportErrorPlain(100010, true);
    return -1;
  }
  int32_t result = 0;
  const std::vector<uint8_t>& file = g_script.declaration_file;
  for (const size_t offset : g_script.declarations) {
    ByteReader r(file.data(), file.size());
    r.Seek(offset);
    Declaration d{};
    ReadDeclaration(&r, &d);  // checked when the file loaded
    if (d.number >= g_variables.count) {
      ReportError(900070, true, static_cast<int32_t>(d.number));
      result = -1;
      break;
    }
    const bool applies = (script == -1 && d.scope == kScopeGlobal) ||
                         (d.scope == kScopeScript && static_cast<int32_t>(d.script) == script);
    if (!applies) continue;
    int32_t status = 0;
    if (d.type == kVarInt) {
      status = FillVarIntInit(d.number, d.dim_count, d.dims, d.int_value);
    } else if (d.type == kVarReal) {
      status = FillVarRealInit(d.number, d.dim_count, d.dims, d.real_value);
    } else if (d.type == kVarString) {
      work[0] = '\0';
      EvaluateStringExpression(work, d.code, d.code_length);
      status = FillVarStringInit(d.number, d.dim_count, d.dims, work);
    }
    if (status != 0) {
      result = -1;
      break;
    }
  }
  std::free(work);
  return result;
}

}  // namespace korvel
