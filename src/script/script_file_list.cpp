// krt_list.kbn: the script files' source paths and values, and the script-file cache.
#include "core/error_report.h"
#include "core/byte_reader.h"
#include "script/script_data.h"

namespace korvel {

int32_t LoadScriptFileList() {
  std::vector<uint8_t> file;
  if (!LoadCompiledFile(kScriptListFileName, &file)) return -1;
  ByteReader r(file.data(), file.size());
  r.Skip(8);
  const uint32_t count = r.U32();
  if (!r.ok) {
    ReportMalformedFile(kScriptListFileName, "ヘッダーが短すぎます");
    return -1;
  }
  // Script numbers are 16-bit, and every record takes at least 28 bytes.
  if (count > 65536 || static_cast<uint64_t>(count) * 28 > r.Remaining()) {
    ReportMalformedFile(kScriptListFileName, "スクリプトファイルの数が不正です");
    return -1;
  }
  g_script.script_count = count;
  g_script.scenes.clear();
  g_script.scenes.resize(count);
  g_script.script_paths.assign(count, std::string());
  g_script.script_values.assign(count, 0);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t number = r.U32();
    const uint32_t length = r.U32();
    const uint8_t* path = r.Bytes(length);
    r.Skip(16);
    const uint32_t value = r.U32();
    if (!r.ok) {
      ReportMalformedFile(kScriptListFileName, "レコードが途中で切れています");
      return -1;
    }
    if (number >= count) {
      ReportError(901030, true, static_cast<int32_t>(number), static_cast<int32_t>(count));
      return -1;
    }
    g_script.script_paths[number].assign(reinterpret_cast<const char*>(path), length);
    g_script.script_values[i] = value;
  }
  return 0;
}

}  // namespace korvel
