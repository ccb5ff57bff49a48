// krl.kbn: the labels in hash order behind a first-index table by the hash's top byte, and the
// lookup by name.
#include <cstring>

#include "core/murmur_hash.h"
#include "core/byte_reader.h"
#include "script/script_data.h"

namespace korvel {

bool ParseLabelTable(const uint8_t* data, size_t size, ScriptData* out, std::string* why) {
  ByteReader r(data, size);
  r.Skip(8);
  const uint32_t count = r.U32();
  for (uint32_t& first : out->first_index) first = r.U32();
  if (!r.ok) {
    *why = "ヘッダーが短すぎます";
    return false;
  }
  if (static_cast<uint64_t>(count) * kLabelRecordFixedSize > r.Remaining()) {
    *why = "ラベルの数が不正です";
    return false;
  }
  out->first_index[0] = 0;
  out->labels.assign(count, LabelRecord{});
  for (LabelRecord& label : out->labels) {
    const uint8_t length = r.U8();
    const uint8_t* name = r.Bytes(length);
    label.hash = r.U32();
    label.command_index = r.U32();
    label.script_number = r.U16();
    label.block_depth = r.U8();
    label.loop_depth = r.U8();
    if (!r.ok) {
      *why = "ラベルが途中で切れています";
      return false;
    }
    if (length != 0) std::memcpy(label.name, name, length);
    label.name[length] = '\0';
    if (label.script_number >= out->script_count) {
      *why = "ラベルのスクリプト番号が範囲外です";
      return false;
    }
  }
  return true;
}

int32_t LoadLabelTable() {
  std::vector<uint8_t> file;
  if (!LoadCompiledFile(kLabelFileName, &file)) return -1;
  std::string why;
  if (!ParseLabelTable(file.data(), file.size(), &g_script, &why)) {
    g_script.labels.clear();
    ReportMalformedFile(kLabelFileName, why.c_str());
    return -1;
  }
  return 0;
}

int32_t FindLabelIndex(const char* name, size_t length) {
  const uint32_t hash = MurmurHash2(name, length);
  const size_t count = g_script.labels.size();
  const uint32_t first = g_script.first_index[hash >> 24];
  if (first >= count) return -1;
  // The scan runs to the end of the table: a wrong first index still finds the label further on.
  for (size_t i = first; i < count; ++i) {
    const LabelRecord& label = g_script.labels[i];
    if (label.hash == hash && std::strlen(label.name) == length &&
        std::memcmp(label.name, name, length) == 0) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

}  // namespace korvel
