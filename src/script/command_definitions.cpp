// krc.kbn: the command definitions (names, parameter kinds and range classes), the C runtime error
// texts and the key map.
#include <cstring>

#include "core/byte_reader.h"
#include "script/command_table.h"
#include "script/script_data.h"

namespace korvel {

bool ParseCommandDefinitions(std::vector<uint8_t> file, ScriptData* out, std::string* why) {
  out->command_file = std::move(file);
  out->commands.clear();
  ByteReader r(out->command_file.data(), out->command_file.size());
  r.Skip(8);
  const int32_t n = r.I32();
  r.Skip(4);
  if (!r.ok) {
    *why = "ヘッダーが短すぎます";
    return false;
  }
  // Every command record takes at least two bytes.
  const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
  if (count > 256 || count * 2 > r.Remaining()) {
    *why = "コマンド定義の数が不正です";
    return false;
  }
  out->commands.resize(count);
  for (size_t c = 0; c < count; ++c) {
    CommandDefinition& def = out->commands[c];
    size_t length = 0;
    if (!r.CString(&def.name, &length)) break;
    const uint8_t params = r.U8();
    def.params.resize(params);
    for (ParameterDefinition& p : def.params) {
      if (!r.CString(&p.name, &length)) break;
      p.kind = r.U8();
      p.range_class = r.U8();
      if (r.ok && (p.kind > kKindRaw || p.range_class > kMaxRangeClass)) {
        *why = "パラメータの種類または範囲の指定が不正です";
        return false;
      }
    }
  }
  for (auto& text : out->runtime_errors) {
    size_t length = 0;
    if (!r.CString(&text, &length)) text = "";
  }
  const uint8_t* key_map = r.Bytes(kKeyMapSize);
  if (!r.ok) {
    *why = "ファイルが途中で切れています";
    return false;
  }
  std::memcpy(out->key_map, key_map, kKeyMapSize);
  return true;
}

int32_t LoadCommandTable() {
  InitCommandHandlerTable();
  std::vector<uint8_t> file;
  if (!LoadCompiledFile(kCommandFileName, &file)) return -1;
  std::string why;
  if (!ParseCommandDefinitions(std::move(file), &g_script, &why)) {
    g_script.commands.clear();
    ReportMalformedFile(kCommandFileName, why.c_str());
    return -1;
  }
  return 0;
}

}  // namespace korvel
