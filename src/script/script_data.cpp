// The script data loader: the compiled-file source, LoadScriptData and the engine's reset.
#include "script/script_data.h"

#include <cstring>

#include "core/error_report.h"
#include "core/named_tree.h"
#include "core/sjis_text.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/expression_machine.h"
#include "script/variables.h"
#include "script/script_task.h"

namespace korvel {

ScriptData g_script;

namespace {

DataFileLoader g_loader = nullptr;

void ResetScriptData() {
  g_script.command_file.clear();
  g_script.commands.clear();
  for (auto& text : g_script.runtime_errors) text = "";
  std::memset(g_script.key_map, 0, sizeof g_script.key_map);
  g_script.script_count = 0;
  g_script.script_paths.clear();
  g_script.script_values.clear();
  g_script.scenes.clear();
  g_script.declaration_file.clear();
  g_script.declarations.clear();
  g_script.labels.clear();
  std::memset(g_script.first_index, 0, sizeof g_script.first_index);
}

// The task SYSTEM: a leaf directly below the task tree's root.
ScriptTask* FindSystemTask() {
  if (g_task_tree.root == nullptr) return nullptr;
  for (NamedTreeNode* n = g_task_tree.root->first_child; n != nullptr; n = n->next_sibling) {
    if (n->kind == kNodeLeaf && n->name_length == 6 && std::memcmp(n->name, "SYSTEM", 6) == 0) {
      return static_cast<ScriptTask*>(n->payload);
    }
  }
  return nullptr;
}

}  // namespace

void SetScriptDataLoader(DataFileLoader loader) {
  g_loader = loader;
  SetErrorTextLoader(loader);
}

bool LoadCompiledFile(const char* name, std::vector<uint8_t>* out) {
  const DataFileLoader loader = g_loader != nullptr ? g_loader : LoadDataFileFromDisk;
  const int result = loader(name, out);
  if (result == 0) return true;
  out->clear();
  ReportError(result == -1 ? 104060 : result == -3 ? 901040 : 104010, true, name);
  return false;
}

void ReportMalformedFile(const char* name, const char* why_utf8) {
  ReportError(104070, true, name, Sjis(why_utf8));
}

int LoadScriptData() {
  ResetScriptData();
  InstallExpressionOpcodes(1);
  if (LoadErrorMessages() != 0) return 1;
  if (LoadCommandTable() != 0) return 1;
  if (LoadVariableTable() != 0) return 1;
  if (LoadScriptFileList() != 0) return 1;
  if (LoadVariableDeclarations() != 0) return 1;
  if (InitDeclaredVariables(-1) != 0) return 1;
  if (LoadLabelTable() != 0) return 1;

  const int32_t index = FindLabelIndex(kSystemStartLabel, sizeof kSystemStartLabel - 1);
  if (index < 0) {
    ReportError(108180, true, kSystemStartLabel);
    return 1;
  }
  ScriptTask* task = FindSystemTask();
  if (task == nullptr) return -1;
  const LabelRecord& label = g_script.labels[static_cast<size_t>(index)];
  if (LoadSceneFile(label.script_number) != 1) return 1;
  const SceneScript* scene = FindLoadedScene(label.script_number);
  task->script_number = label.script_number;
  task->command_tables = scene->tables;
  task->arg_counts = scene->arg_counts;
  task->first_args = scene->first_args;
  task->expressions = scene->expressions;
  task->lines = scene->lines;
  task->command_index = label.command_index;
  task->block_depth = static_cast<int8_t>(label.block_depth);
  task->loop_depth = static_cast<int8_t>(label.loop_depth);
  return 0;
}

const ParameterDefinition* FindParameter(uint32_t command, uint32_t param) {
  if (command >= g_script.commands.size()) return nullptr;
  const auto& params = g_script.commands[command].params;
  return param < params.size() ? &params[param] : nullptr;
}

const char* CommandName(uint32_t command) {
  if (command >= g_script.commands.size() || g_script.commands[command].name == nullptr) return "";
  return g_script.commands[command].name;
}

const char* ParameterName(uint32_t command, uint32_t param) {
  const ParameterDefinition* p = FindParameter(command, param);
  return p != nullptr && p->name != nullptr ? p->name : "";
}

const char* ScriptSourcePath(uint32_t number) {
  return number < g_script.script_paths.size() ? g_script.script_paths[number].c_str() : "";
}

void InitScriptData() {
  ResetScriptData();
  FreeVariableRecords();
  ResetSystemVariableReaders();
  InitExpressionMachine();
  ClearDecodedArguments();
  InitCommandHandlerTable();
}

void ShutdownScriptData() {
  ResetScriptData();
  FreeVariableRecords();
  ShutdownExpressionMachine();
  FreeDecodedArguments();
  InitCommandHandlerTable();
  g_loader = nullptr;
}

}  // namespace korvel
