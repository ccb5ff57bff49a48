// Script files: structural checks, unscrambling, binding to the command handlers and resolution of
// constant labels.
#include "script/scene_file.h"

#include <cstdio>
#include <cstring>

#include "core/error_report.h"
#include "core/byte_reader.h"
#include "script/expression_machine.h"
#include "script/format_constants.h"
#include "script/script_data.h"

namespace korvel {

namespace {

// The records a command's handler reads by position must exist.
bool HasRecordsItReads(uint8_t command, uint32_t count) {
  switch (command) {
    case kCommandIf:
    case kCommandLoop:
    case kCommandDeclareInt:
    case kCommandDeclareReal:
    case kCommandDeclareString:
      return count >= 3;
    case kCommandElseIf: return count == 0 || count >= 2;
    case kCommandAssign: return count >= 2;
    case kCommandJump: return count >= 1;
    default: return true;
  }
}

bool Fail(std::string* why, const char* text, uint32_t command) {
  char where[64];
  std::snprintf(where, sizeof where, " (コマンド %u)", command);
  *why = std::string(text) + where;
  return false;
}

bool CheckCommands(const SceneScript* s, std::string* why) {
  const uint32_t k = s->command_count;
  for (uint32_t i = 0; i < k; ++i) {
    const uint8_t number = s->command_numbers[i];
    const uint32_t count = s->arg_count_store[i];
    const CommandArgRecord* first = s->first_arg_store[i];
    if (!HasRecordsItReads(number, count)) return Fail(why, "引数の数が足りません", i);
    const size_t def_count =
        number < g_script.commands.size() ? g_script.commands[number].params.size() : 0;
    for (uint32_t p = 0; p < count; ++p) {
      const CommandArgRecord& a = first[p];
      if (number < kCommandSlotCount && a.param >= def_count) {
        return Fail(why, "コマンド定義にないパラメータです", i);
      }
      if (IsTargetRecord(number, p)) {
        if (a.length >= k) return Fail(why, "飛び先が範囲外です", i);
        continue;
      }
      if (a.type < kExprTypeInt || a.type > kExprTypeStringReal) {
        return Fail(why, "式の型が不正です", i);
      }
      if (static_cast<uint64_t>(a.offset) + a.length > s->expression_size) {
        return Fail(why, "式が式セクションの外にあります", i);
      }
      if (number == kCommandAssign && p == 0 && a.op >= kAssignOperatorCount) {
        return Fail(why, "代入演算子が不正です", i);
      }
    }
  }
  return true;
}

}  // namespace

std::string SceneFileName(uint32_t number) {
  char name[32];
  std::snprintf(name, sizeof name, kSceneFileNameFormat, number & 0xFFFFu);
  return name;
}

std::unique_ptr<SceneScript> ParseSceneFile(const uint8_t* data, size_t size, std::string* why) {
  ByteReader r(data, size);
  r.Skip(8);
  const uint32_t k = r.U32();
  const uint32_t sizes[4] = {r.U32(), r.U32(), r.U32(), r.U32()};
  r.Skip(4);
  if (!r.ok) {
    *why = "ヘッダーが短すぎます";
    return nullptr;
  }
  const uint64_t total = uint64_t{sizes[0]} + sizes[1] + sizes[2] + sizes[3];
  if (total > size - kSceneHeaderSize) {
    *why = "セクションの大きさがファイルを超えています";
    return nullptr;
  }
  if (uint64_t{k} * kCommandRecordSize > sizes[0] || uint64_t{k} * kLineRecordSize > sizes[3]) {
    *why = "コマンド数がセクションに合いません";
    return nullptr;
  }
  if (sizes[2] > kMaxExpressionSection) {
    *why = "式セクションが大きすぎます";
    return nullptr;
  }

  // Unscramble a copy of each section.
  std::vector<uint8_t> sections[4];
  size_t at = kSceneHeaderSize;
  for (int i = 0; i < 4; ++i) {
    sections[i].assign(data + at, data + at + sizes[i]);
    ScrambleSection(sections[i].data(), sections[i].size());
    at += sizes[i];
  }

  auto s = std::make_unique<SceneScript>();
  s->command_count = k;
  s->command_numbers.resize(k);
  s->arg_count_store.resize(k);
  uint64_t arg_total = 0;
  for (uint32_t i = 0; i < k; ++i) {
    s->command_numbers[i] = sections[0][i * kCommandRecordSize];
    s->arg_count_store[i] = sections[0][i * kCommandRecordSize + 1];
    arg_total += s->arg_count_store[i];
  }
  if (arg_total * kArgRecordSize > sizes[1]) {
    *why = "引数レコードが引数セクションを超えています";
    return nullptr;
  }
  s->args.resize(static_cast<size_t>(arg_total));
  for (size_t i = 0; i < s->args.size(); ++i) {
    const uint8_t* p = sections[1].data() + i * kArgRecordSize;
    CommandArgRecord& a = s->args[i];
    a.param = p[0];
    a.unused = p[1];
    a.type = p[2];
    a.op = p[3];
    a.length = LoadU32(p + 4);
    a.offset = LoadU32(p + 8);
  }
  s->first_arg_store.resize(k);
  size_t next = 0;
  for (uint32_t i = 0; i < k; ++i) {
    s->first_arg_store[i] = s->args.data() + next;
    next += s->arg_count_store[i];
  }
  s->expression_store = std::move(sections[2]);
  s->expression_size = static_cast<uint32_t>(s->expression_store.size());
  s->line_store.resize(k);
  for (uint32_t i = 0; i < k; ++i) s->line_store[i] = LoadU32(sections[3].data() + i * 4);

  if (!CheckCommands(s.get(), why)) return nullptr;

  s->wrappers.assign(k, g_command_handlers.wrapper);
  s->handlers.resize(k);
  for (uint32_t i = 0; i < k; ++i) s->handlers[i] = HandlerForCommand(s->command_numbers[i]);

  s->tables[0] = s->wrappers.data();
  s->tables[1] = s->handlers.data();
  s->arg_counts = s->arg_count_store.data();
  s->first_args = s->first_arg_store.data();
  s->expressions = s->expression_store.data();
  s->lines = s->line_store.data();
  return s;
}

namespace {

// Replaces constant label names of JUMP and CALL with their label indices.
void BindConstantLabels(SceneScript* s) {
  static char text[kStringBufferSize];
  InstallExpressionOpcodes(0);
  size_t next = 0;
  for (uint32_t i = 0; i < s->command_count; ++i) {
    const uint8_t number = s->command_numbers[i];
    CommandArgRecord* args = s->args.data() + next;
    next += s->arg_count_store[i];
    if (number != kCommandJump && number != kCommandCall) continue;
    for (uint32_t p = 0; p < s->arg_count_store[i]; ++p) {
      CommandArgRecord& a = args[p];
      if (number == kCommandJump && p != 0) break;
      if (number == kCommandCall && a.param != 0) continue;
      const uint8_t type = a.type;
      if (number == kCommandCall) SetCallLabelField(&a, 0);
      text[0] = '\0';
      const size_t n = kExpressionEvaluatorTable.to_string[type](
          text, s->expressions + a.offset, a.length);
      if (g_expr.not_constant != 0) continue;
      const int32_t index = FindLabelIndex(text, n);
      if (index < 0) continue;
      if (number == kCommandJump) {
        if (static_cast<uint32_t>(index) < kResolvedLabelFlag) {
          a.length = static_cast<uint32_t>(index) + kResolvedLabelFlag;
        }
      } else if (index >= 1 && index <= 0xFFFF) {
        SetCallLabelField(&a, static_cast<uint16_t>(index));
      }
    }
  }
  InstallExpressionOpcodes(1);
}

// Labels that point into this script file must name one of its commands.
bool LabelsFit(uint32_t number, const SceneScript& s) {
  for (const LabelRecord& label : g_script.labels) {
    if (label.script_number == number && label.command_index >= s.command_count) return false;
  }
  return true;
}

}  // namespace

const SceneScript* FindLoadedScene(uint32_t number) {
  number &= 0xFFFFu;
  return number < g_script.scenes.size() ? g_script.scenes[number].get() : nullptr;
}

int32_t LoadSceneFile(uint32_t number) {
  number &= 0xFFFFu;
  if (FindLoadedScene(number) != nullptr) return 1;
  const std::string name = SceneFileName(number);
  if (number >= g_script.scenes.size()) {
    ReportError(104060, true, name);
    return 0;
  }
  std::vector<uint8_t> file;
  if (!LoadCompiledFile(name.c_str(), &file)) return 0;
  std::string why;
  std::unique_ptr<SceneScript> scene = ParseSceneFile(file.data(), file.size(), &why);
  if (scene == nullptr) {
    ReportMalformedFile(name.c_str(), why.c_str());
    return 0;
  }
  if (!LabelsFit(number, *scene)) {
    ReportMalformedFile(name.c_str(), "ラベルのコマンド番号がスクリプトの外を指しています");
    return 0;
  }
  BindConstantLabels(scene.get());
  g_script.scenes[number] = std::move(scene);
  return InitDeclaredVariables(static_cast<int32_t>(number)) == 0 ? 1 : 0;
}

}  // namespace korvel
