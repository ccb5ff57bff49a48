// The compiled script data shared by every script file: command definitions (krc.kbn), the
// script-file list (krt_list.kbn), the variable declarations (krv.kbn), the labels (krl.kbn) and the
// cache of loaded script files; and the loader that reads them at start-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/error_texts.h"
#include "script/format_constants.h"
#include "script/scene_file.h"

namespace korvel {

struct ParameterDefinition {
  const char* name;  // into the kept krc.kbn data
  uint8_t kind;      // kKindNumber, kKindString, kKindRaw
  uint8_t range_class;
};

struct CommandDefinition {
  const char* name;
  std::vector<ParameterDefinition> params;
};

struct LabelRecord {
  char name[256];  // NUL-terminated
  uint32_t hash;
  uint32_t command_index;
  uint16_t script_number;
  uint8_t block_depth;
  uint8_t loop_depth;
};

struct ScriptData {
  // krc.kbn, kept for the run (names point into it).
  std::vector<uint8_t> command_file;
  std::vector<CommandDefinition> commands;  // by command number
  const char* runtime_errors[kRuntimeErrorTextCount];
  uint8_t key_map[kKeyMapSize];

  // krt_list.kbn
  uint32_t script_count;
  std::vector<std::string> script_paths;  // by script number (code page 932)
  std::vector<uint32_t> script_values;    // by record position
  std::vector<std::unique_ptr<SceneScript>> scenes;  // the cache, by script number

  // krv.kbn, kept for the run; the offsets of its records, checked when it loaded.
  std::vector<uint8_t> declaration_file;
  std::vector<size_t> declarations;

  // krl.kbn
  std::vector<LabelRecord> labels;
  uint32_t first_index[256];
};

extern ScriptData g_script;

// Where compiled files come from: `name` is the bare file name ("krc.kbn"); 0, -1 not found, -2
// unreadable, -3 its pack cannot be opened. The default reads <game folder>/krbin/<name>. Setting it
// also sets the error-text loader; null restores the default.
void SetScriptDataLoader(DataFileLoader loader);
// Loads a compiled file whole; false after a fatal report (104060, 104010 or 901040).
bool LoadCompiledFile(const char* name, std::vector<uint8_t>* out);
// Reports a compiled file whose content is malformed (104070, fatal): the file and the reason.
void ReportMalformedFile(const char* name, const char* why_utf8);

// The readers of the shared files; 0, or -1 after a fatal report.
int32_t LoadCommandTable();
int32_t LoadVariableTable();
int32_t LoadScriptFileList();
int32_t LoadVariableDeclarations();
int32_t LoadLabelTable();
// Parsers behind them, on bytes in memory: false with a reason (UTF-8) when malformed.
bool ParseCommandDefinitions(std::vector<uint8_t> file, ScriptData* out, std::string* why);
bool ParseLabelTable(const uint8_t* data, size_t size, ScriptData* out, std::string* why);

// Reads every shared file in order (kre, krc, krt, krt_list, krv, the global declarations, krl),
// then places the task SYSTEM at "SYSTEM_START". 0; 1 when a file failed; -1 without SYSTEM.
int LoadScriptData();

// Applies the declarations of script `script` (-1: the global ones): 0, or -1 after a report.
int32_t InitDeclaredVariables(int32_t script);

// The index of a label by name, or -1.
int32_t FindLabelIndex(const char* name, size_t length);

// Names for messages: the command's and a parameter's name ("" when not defined).
const char* CommandName(uint32_t command);
const char* ParameterName(uint32_t command, uint32_t param);
const ParameterDefinition* FindParameter(uint32_t command, uint32_t param);
// The source path of a script number ("" when none).
const char* ScriptSourcePath(uint32_t number);

// Resets the script engine's state: loaded data, variables, evaluator, decoded arguments, handler
// table. Shutdown also frees the evaluator's string slots.
void InitScriptData();
void ShutdownScriptData();

}  // namespace korvel
